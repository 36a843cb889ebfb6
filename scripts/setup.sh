#!/usr/bin/env bash
# Installs everything the build, the tests and the benchmarks need on a Debian 12
# machine. Safe to run again: when every package and the test locale are present
# it changes nothing and asks no package server.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  locales
  # clang with libFuzzer and the sanitizer runtimes, for the fuzz targets in fuzz/.
  clang libclang-rt-14-dev
  # OGRE's XML converter and its main library: the integration tests load our
  # meshes and material scripts in OGRE itself.
  ogre-1.12-tools libogre-1.12-dev
  # The preview (veldara-export preview) and its render tests: OGRE's OpenGL
  # render system (in libogre1.12.10) draws through libGL on a private Xvfb
  # (xvfb, below), and Mesa's GLX and software drivers (llvmpipe) do the
  # drawing. libogre1.12.10 pulls them in through libgl1 -> libglx0 ->
  # libglx-mesa0 -> libgl1-mesa-dri even without recommends; named here so
  # that the preview does not rest on that chain.
  libgl1 libglx-mesa0 libgl1-mesa-dri
  # The 32-bit Windows plug-in: the i686 mingw-w64 cross compiler (POSIX
  # threads model, whose C++ library is complete; linked statically), Wine to
  # run what it builds, Xvfb for the dialog's window (and the preview's
  # OpenGL), ImageMagick for the screenshot's PNG, and dpkg-dev to unpack the
  # libjpeg-turbo source package.
  g++-mingw-w64-i686-posix wine wine32:i386 xvfb xauth imagemagick dpkg-dev
  # On a machine whose kernel runs no 32-bit programs, the Windows tests run
  # on a 64-bit build of the same code under wine64 (scripts/windows-tests.sh).
  g++-mingw-w64-x86-64-posix wine64
  # The fonts Wine draws the dialog with: its own Marlett for the frame's
  # symbols (which cmake/wine-run.sh.in puts into the prefix, where Wine looks
  # for it), and Liberation Sans, which stands in for Arial and MS Sans Serif.
  fonts-wine fonts-liberation
  # The banner generator encodes its JPEG with the build machine's libjpeg.
  libjpeg62-turbo-dev
  # The option that optimises a mesh for drawing orders its triangles and
  # vertices with meshoptimizer (the Windows build cross-builds its own, below).
  libmeshoptimizer-dev
  # Only the end-to-end benchmark (bench/run-benchmarks.sh): pugixml as the
  # yardstick parser, and GNU time for wall time, CPU time and peak memory.
  libpugixml-dev time
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# wine32 is an i386 package: the architecture must be known before the update.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture for wine32"
  as_root dpkg --add-architecture i386
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -q
  as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The number tests run under a locale whose decimal separator is a comma, to
# prove that the process locale never changes how numbers are read or written.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "setup: generating the de_DE.UTF-8 locale"
  if ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  fi
  as_root locale-gen >/dev/null
fi

# libjpeg and meshoptimizer for the plug-in, cross-built from Debian's own
# source packages.
bash "$(dirname "$0")/mingw-libjpeg.sh"
bash "$(dirname "$0")/mingw-meshoptimizer.sh"
