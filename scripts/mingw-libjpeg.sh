#!/usr/bin/env bash
# Cross-builds libjpeg for the Windows plug-in as a static library: for 32-bit
# Windows, or with VELDARA_MINGW_ARCH=x86_64 for 64-bit Windows, the build
# that runs the Windows tests on a machine that cannot run 32-bit programs.
#
# Debian ships no mingw-w64 build of libjpeg, so this fetches Debian's own
# libjpeg-turbo source package, the one behind the machine's libjpeg62-turbo,
# and builds its plain C code (no SIMD) with the mingw-w64 cross compiler. The
# source entry comes from the machine's Debian entry, turned into a deb-src
# entry inside a private apt configuration under the build folder: the
# machine's own apt configuration and package lists stay as they are.
#
# Result: $VELDARA_MINGW_DEPS (default build/mingw-deps, or build/mingw-deps-x86_64)
# holds include/ and
# lib/libjpeg.a. Safe to run again: a finished build is kept.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
arch="${VELDARA_MINGW_ARCH:-i686}"
case "$arch" in
  i686) default_deps="$root/build/mingw-deps" ;;
  x86_64) default_deps="$root/build/mingw-deps-x86_64" ;;
  *) echo "mingw-libjpeg: VELDARA_MINGW_ARCH must be i686 or x86_64, not $arch" >&2; exit 1 ;;
esac
deps="${VELDARA_MINGW_DEPS:-$default_deps}"
stamp="$deps/libjpeg.done"

if [ -f "$stamp" ] && [ -f "$deps/lib/libjpeg.a" ] && [ -f "$deps/include/jpeglib.h" ]; then
  exit 0
fi

machine_sources=/etc/apt/sources.list.d/debian.sources
if [ ! -f "$machine_sources" ]; then
  echo "mingw-libjpeg: $machine_sources not found; it names the Debian archive the source package comes from" >&2
  exit 1
fi

apt_dir="$deps/apt"
work="$deps/work"
rm -rf "$apt_dir" "$work" "$deps/include" "$deps/lib" "$stamp"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$work"

# The same archives, suites, components and keys as the machine's entry, for
# source packages only.
sed -E 's/^Types:.*/Types: deb-src/' "$machine_sources" > "$apt_dir/sources.list.d/debian-src.sources"

apt_private=(
  -o "Dir::Etc::SourceList=/dev/null"
  -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o "Dir::Cache::pkgcache="
  -o "Dir::Cache::srcpkgcache="
  -o "APT::Sandbox::User=root"
  -q
)

echo "mingw-libjpeg: fetching Debian's libjpeg-turbo source package"
apt-get "${apt_private[@]}" update >"$work/apt-update.log" 2>&1 || {
  cat "$work/apt-update.log" >&2
  echo "mingw-libjpeg: could not read the Debian source lists" >&2
  exit 1
}
(cd "$work" && apt-get "${apt_private[@]}" source libjpeg-turbo) >"$work/apt-source.log" 2>&1 || {
  cat "$work/apt-source.log" >&2
  echo "mingw-libjpeg: could not fetch the libjpeg-turbo source package" >&2
  exit 1
}

src="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)"
if [ -z "$src" ]; then
  echo "mingw-libjpeg: the source package unpacked into no libjpeg-turbo folder" >&2
  exit 1
fi

echo "mingw-libjpeg: cross-building $(basename "$src") for $arch Windows"
# The same floating-point flags as the plug-in itself.
cmake -S "$src" -B "$work/build" -G Ninja \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$arch" \
  -DCMAKE_C_COMPILER="$arch-w64-mingw32-gcc" -DCMAKE_RC_COMPILER="$arch-w64-mingw32-windres" \
  -DCMAKE_C_FLAGS="-msse2 -mfpmath=sse" -DCMAKE_BUILD_TYPE=Release \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
  -DCMAKE_INSTALL_PREFIX="$deps" -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include \
  >"$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" --target jpeg-static >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }

# Only what the plug-in links: the library and its four public headers.
mkdir -p "$deps/include" "$deps/lib"
cp "$work/build/libjpeg.a" "$deps/lib/libjpeg.a"
cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$work/build/jconfig.h" "$deps/include/"
basename "$src" > "$stamp"
echo "mingw-libjpeg: $deps/lib/libjpeg.a ready"
