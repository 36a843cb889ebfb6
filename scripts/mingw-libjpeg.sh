#!/usr/bin/env bash
# Cross-builds libjpeg for the Windows plug-in as a static library: for 32-bit
# Windows, or with VELDARA_MINGW_ARCH=x86_64 for 64-bit Windows, the build
# that runs the Windows tests on a machine that cannot run 32-bit programs.
#
# Debian ships no mingw-w64 build of libjpeg, so this fetches Debian's own
# libjpeg-turbo source package, the one behind the machine's libjpeg62-turbo
# (scripts/debian-source.sh, through a private apt configuration under the
# build folder), and builds its plain C code (no SIMD) with the mingw-w64
# cross compiler.
#
# Result: $VELDARA_MINGW_DEPS (default build/mingw-deps, or build/mingw-deps-x86_64)
# holds include/ and
# lib/libjpeg.a. Safe to run again: a finished build is kept.
set -euo pipefail

source "$(dirname "$0")/debian-source.sh"
mingw_target mingw-libjpeg
stamp="$deps/libjpeg.done"

if [ -f "$stamp" ] && [ -f "$deps/lib/libjpeg.a" ] && [ -f "$deps/include/jpeglib.h" ]; then
  exit 0
fi

apt_dir="$deps/apt"
work="$deps/work"
rm -rf "$deps/include/jpeglib.h" "$deps/include/jmorecfg.h" "$deps/include/jerror.h" "$deps/include/jconfig.h" \
  "$deps/lib/libjpeg.a" "$stamp"
src="$(fetch_debian_source mingw-libjpeg libjpeg-turbo "$apt_dir" "$work")"

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
