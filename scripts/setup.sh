#!/usr/bin/env bash
# Installs what the demo (setup.sh demo) or the build, every test and the
# benchmarks (setup.sh test, the default) need on a Debian 12 machine. The
# demo needs no Wine and no cross compiler. Safe to run again: when every
# package and the test locale are present it changes nothing and asks no
# package server.
set -euo pipefail

# What the native build and the demo need: the tool, its tests' libraries
# (the release build builds them), OGRE and the preview's OpenGL on Xvfb.
demo_packages=(
  cmake ninja-build g++ make
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  # OGRE's XML converter and its main library: the integration tests load our
  # meshes and material scripts in OGRE itself.
  ogre-1.12-tools libogre-1.12-dev
  # The preview (veldara-export preview) and its render tests: OGRE's OpenGL
  # render system (in libogre1.12.10) draws through libGL on a private Xvfb
  # (xvfb, below), and Mesa's GLX and software drivers (llvmpipe) do the
  # drawing. libogre1.12.10 pulls them in through libgl1 -> libglx0 ->
  # libglx-mesa0 -> libgl1-mesa-dri even without recommends; named here so
  # that the preview does not rest on that chain.
  libgl1 libglx-mesa0 libgl1-mesa-dri xvfb xauth
  # The banner generator encodes its JPEG with the build machine's libjpeg.
  libjpeg62-turbo-dev
  # The option that optimizes a mesh for drawing orders its triangles and
  # vertices with meshoptimizer (the Windows build cross-builds its own).
  libmeshoptimizer-dev
  # inspect --json writes its document with nlohmann-json (header-only; the
  # Windows build takes the same headers).
  nlohmann-json3-dev
)

# What every test and the benchmarks need on top.
test_packages=(
  locales
  # clang with libFuzzer and the sanitizer runtimes, for the fuzz targets in fuzz/.
  clang libclang-rt-14-dev
  # The 32-bit Windows plug-in: the i686 mingw-w64 cross compiler (POSIX
  # threads model, whose C++ library is complete; linked statically), Wine to
  # run what it builds, ImageMagick for the dialog's screenshot, and dpkg-dev
  # to unpack the libjpeg-turbo source package.
  g++-mingw-w64-i686-posix wine imagemagick dpkg-dev
  # Where 32-bit Windows programs cannot run (no wine32, below, or a kernel
  # without 32-bit support), the Windows tests run on a 64-bit build of the
  # same code under wine64 (scripts/windows-tests.sh).
  g++-mingw-w64-x86-64-posix wine64
  # The fonts Wine draws the dialog with: its own Marlett for the frame's
  # symbols (which cmake/wine-run.sh.in puts into the prefix, where Wine looks
  # for it), and Liberation Sans, which stands in for Arial and MS Sans Serif.
  fonts-wine fonts-liberation
  # assimp's command line: a reader of binary meshes other than OGRE's, which
  # the integration tests let read the 1.8 format.
  assimp-utils
  # Only the benchmarks: pugixml as the end-to-end script's yardstick parser
  # (bench/run-benchmarks.sh), and GNU time for the plug-in's peak memory
  # under Wine (bench/plugin-under-wine.sh).
  libpugixml-dev time
)
# Wine's 32-bit half runs the plug-in as it ships. It is an i386 package, and
# while the archive's i386 and amd64 copies of a library disagree it cannot be
# installed: then the Windows tests run under wine64 instead.
optional_test_packages=(wine32:i386)

mode="${1:-test}"
case "$mode" in
  demo) bash "$(dirname "$0")/install-packages.sh" "${demo_packages[@]}"; exit ;;
  test) ;;
  *) echo "usage: setup.sh [demo|test]" >&2; exit 2 ;;
esac

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# wine32 is an i386 package: the architecture must be known before the update.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture for wine32"
  as_root dpkg --add-architecture i386
fi
bash "$(dirname "$0")/install-packages.sh" "${demo_packages[@]}" "${test_packages[@]}" \
  --optional "${optional_test_packages[@]}"

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
