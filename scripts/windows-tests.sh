#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: those of the 32-bit build, which
# is what ships, where this machine runs 32-bit programs. Where it cannot (a
# kernel built without 32-bit support gives "Exec format error"; without the
# wine32 package there is no 32-bit loader, and `wine` itself still answers
# through wine64), the same code is built for 64-bit Windows and its tests run
# under wine64, so that every Windows code path is still run, and this says
# so. The 32-bit build itself is made in either case.
set -euo pipefail
cd "$(dirname "$0")/.."

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  ctest --preset mingw-i686 -j2
  exit
fi

echo "windows-tests: this machine cannot run 32-bit Windows programs (no wine32, or no 32-bit kernel support), so the Windows tests"
echo "windows-tests: run on the 64-bit Windows build under wine64; the 32-bit build was made but not run"
VELDARA_MINGW_ARCH=x86_64 bash scripts/mingw-libjpeg.sh
VELDARA_MINGW_ARCH=x86_64 bash scripts/mingw-meshoptimizer.sh
cmake --preset mingw-x86_64
cmake --build --preset mingw-x86_64
ctest --preset mingw-x86_64 -j2
