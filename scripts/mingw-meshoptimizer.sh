#!/usr/bin/env bash
# Cross-builds meshoptimizer for the Windows build as a static library: for
# 32-bit Windows, or with VELDARA_MINGW_ARCH=x86_64 for 64-bit Windows.
#
# Debian ships meshoptimizer for the build machine only (libmeshoptimizer-dev),
# so this fetches Debian's own meshoptimizer source package, the one behind
# that package (scripts/debian-source.sh), and builds it with the project's
# own mingw-w64 toolchain file: the same compiler and the same SSE2
# arithmetic as the plug-in, so that the Windows build orders a mesh exactly
# as the native one does.
#
# Result: $VELDARA_MINGW_DEPS (default build/mingw-deps, or
# build/mingw-deps-x86_64) holds include/meshoptimizer.h and
# lib/libmeshoptimizer.a. Safe to run again: a finished build is kept.
set -euo pipefail

source "$(dirname "$0")/debian-source.sh"
mingw_target mingw-meshoptimizer
stamp="$deps/meshoptimizer.done"

if [ -f "$stamp" ] && [ -f "$deps/lib/libmeshoptimizer.a" ] && [ -f "$deps/include/meshoptimizer.h" ]; then
  exit 0
fi

apt_dir="$deps/apt-meshoptimizer"
work="$deps/work-meshoptimizer"
rm -f "$deps/include/meshoptimizer.h" "$deps/lib/libmeshoptimizer.a" "$stamp"
src="$(fetch_debian_source mingw-meshoptimizer meshoptimizer "$apt_dir" "$work")"

echo "mingw-meshoptimizer: cross-building $(basename "$src") for $arch Windows"
cmake -S "$src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DMESHOPT_BUILD_SHARED_LIBS=OFF -DMESHOPT_BUILD_DEMO=OFF -DMESHOPT_BUILD_GLTFPACK=OFF \
  >"$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" --target meshoptimizer >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }

mkdir -p "$deps/include" "$deps/lib"
cp "$work/build/libmeshoptimizer.a" "$deps/lib/libmeshoptimizer.a"
cp "$src/src/meshoptimizer.h" "$deps/include/"
basename "$src" > "$stamp"
echo "mingw-meshoptimizer: $deps/lib/libmeshoptimizer.a ready"
