#!/usr/bin/env bash
# The 32-bit plug-in exporting a large scene inside its editor, under Wine:
# does it fit into the editor's address space, how long does it take, and
# does it write what the native command line writes?
#
#   bench/plugin-under-wine.sh [SIZE]        SIZE polygons, 1000000 by default
#   HOSTS=tarnix-host bench/plugin-under-wine.sh 100000
#   PRESET=mingw-x86_64 HOSTS=tarnix-host bench/plugin-under-wine.sh
#
# It builds what it needs (the release preset for generate-scene and the
# command line, the mingw-i686 preset for the DLL and tarnix-host), generates
# the scene document into build/bench-scenes (the cache that
# bench/run-benchmarks.sh uses), then for each host program in HOSTS lets
# `tarnix-host --export-only` (tools/tarnix_host/ExportRun.h) make the export
# through the dialog under Wine and Xvfb. The editor's program is the process
# the plug-in runs in, so it decides the plug-in's address space: tarnix-host
# is a plain 32-bit program (2 GB), tarnix-host-laa is large-address-aware
# (4 GB under a 64-bit system); both run by default. Each repository the
# plug-in wrote is compared byte for byte with the one that
# `veldara-export export SCENE --repository DIR --asset Level --init` writes
# with the category and scale that the dialog exported with.
#
# Prints one table row per host (and one for the native tool): wall time of
# the export (from OK until the dialog closed), peak working set and private
# bytes, the address space in use at its peak and the least that the largest
# free block of it came down to (what a large allocation needs), and whether
# the output matched. The hosts' full reports and their memory logs (a
# sample every 100 ms) stay in build/bench-wine, the repositories are removed
# unless KEEP=1.
# Exit status 0 when every export succeeded and matched the native one.
#
# PRESET (mingw-i686) picks the Windows build. The 64-bit one (mingw-x86_64,
# under wine64) has no address-space limit to meet, but runs where 32-bit
# programs cannot, and its peak address space per polygon is an upper bound
# of the 32-bit plug-in's: the same model with wider pointers.
#
# CATEGORY and SCALE, when set, are chosen in the dialog; otherwise the
# dialog's own values (a fresh plug-in: no category, scale 10) stay.
# TIMEOUT_MINUTES (30) bounds each export.
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/wine/common.sh

SIZE=${1:-1000000}
HOSTS=${HOSTS:-"tarnix-host tarnix-host-laa"}
TIMEOUT_MINUTES=${TIMEOUT_MINUTES:-30}
RELEASE=build/release
PRESET=${PRESET:-mingw-i686}
CROSS=build/$PRESET
SCENES=build/bench-scenes
WORK=build/bench-wine

# The presets are configured when they are not yet; building is quick when
# nothing changed.
[ -f "$RELEASE/CMakeCache.txt" ] || cmake --preset release >/dev/null
cmake --build --preset release --target generate-scene veldara-export
[ -f "$CROSS/CMakeCache.txt" ] || cmake --preset "$PRESET" >/dev/null
# shellcheck disable=SC2086
cmake --build --preset "$PRESET" --target ExportVeldaraMesh $HOSTS
for tool in xvfb-run wine /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "plugin-under-wine: $tool is missing (run scripts/setup.sh)" >&2; exit 1; }
done

mkdir -p "$SCENES"
scene="$SCENES/scene-$SIZE.xml"
# Regenerated whenever the generator is newer than the cached document.
if [ ! -s "$scene" ] || [ "$RELEASE/tools/generate-scene" -nt "$scene" ]; then
  echo "generating $scene" >&2
  "$RELEASE/tools/generate-scene" "$SIZE" >"$scene.tmp"
  mv "$scene.tmp" "$scene"
fi
scene=$(realpath "$scene")
bytes=$(stat -c %s "$scene")

rm -rf "$WORK"
mkdir -p "$WORK"
work=$(realpath "$WORK")

# The editor's install folder: its settings name the scene's folder for
# textures, the folder the command line looks in by default.
mkdir -p "$work/tarnix"
printf '[Dirs]\r\ntexturefiles=%s\\\r\n' "$(winpath "$(dirname "$scene")")" >"$work/tarnix/Tarnix.ini"

# A Wine prefix of its own, whose server ends with each run's X display.
export VELDARA_WINEPREFIX="$PWD/$CROSS/wineprefix-bench" VELDARA_WINE_LINGER=0
export VELDARA_WINE_TIMEOUT=$((TIMEOUT_MINUTES * 60 + 300))

mb() { awk -v b="$1" 'BEGIN { printf "%.0f", b / 1048576 }'; }
rows="$work/rows.txt"
: >"$rows"
failed=0
native_done=""

for host in $HOSTS; do
  echo "== $host: the export through the dialog under Wine ($SIZE polygons, $((bytes / 1000000)) MB)" >&2
  # The plug-in in a folder of its own beside its host, so that its settings
  # file starts afresh.
  folder="$work/$host"
  mkdir -p "$folder"
  cp "$CROSS/src/ExportVeldaraMesh.dll" "$CROSS/tools/tarnix_host/$host.exe" "$folder/"
  make_repository "$folder/repository"
  options=(--export-only --scene "$(winpath "$scene")" --install-dir "$(winpath "$work/tarnix")"
    --repository "$(winpath "$folder/repository")" --asset Level --timeout-minutes "$TIMEOUT_MINUTES"
    --memory-log "$(winpath "$work/$host-memory.log")")
  [ -n "${CATEGORY:-}" ] && options+=(--category "$CATEGORY")
  [ -n "${SCALE:-}" ] && options+=(--scale "$SCALE")
  status=0
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$@"
    status=$?
    # Let the prefix'\''s Wine server and its programs end while the display is there.
    WINEPREFIX="$VELDARA_WINEPREFIX" timeout 30 wineserver -k >/dev/null 2>&1 || true
    exit $status' _ \
    "$CROSS/wine-run.sh" "$folder/$host.exe" "${options[@]}" >"$work/$host.out" 2>"$work/$host.err" || status=$?
  tr -d '\r' <"$work/$host.out" >"$work/$host.report"
  cat "$work/$host.report" >&2
  value() { sed -n "s/^$1: //p" "$work/$host.report"; }

  result=$(value result)
  if [ -z "$result" ]; then
    result="no report (status $status)"
    tail -n 5 "$work/$host.err" >&2
  fi
  identical=no
  if [ "$result" = success ]; then
    if [ -z "$native_done" ]; then
      echo "== native: veldara-export export" >&2
      category=$(value category) scale=$(value scale)
      /usr/bin/time -f "%e %M" -o "$work/native.time" "$RELEASE/src/cli/veldara-export" export "$scene" \
        --repository "$work/native" --asset Level --category "$category" --scale "$scale" --init \
        >/dev/null 2>"$work/native.err"
      read -r native_wall native_kb <"$work/native.time"
      echo "$SIZE native - success $native_wall $(mb $((native_kb * 1024))) - - - -" >>"$rows"
      native_done="category '$category', scale $scale"
      native_warnings=$(grep -c '^warning: ' "$work/native.err" || true)
    fi
    # The same files, byte for byte, and as many warnings as the tool printed
    # (the dialog's message box heads them with their count).
    dialog_warnings=$(value warnings | sed -n 's/^The asset was exported with \([0-9]*\) warnings:$/\1/p;
      s/^The asset was exported with a warning:$/1/p; s/^none$/0/p')
    if ! diff -r "$work/native" "$folder/repository" >"$work/$host.diff"; then
      identical="no (see $WORK/$host.diff)"
    elif [ "$dialog_warnings" != "$native_warnings" ]; then
      identical="no ($dialog_warnings warnings, the tool's $native_warnings)"
    else
      identical=yes
    fi
  fi
  # A stand-in editor that cannot hold the scene never ran the plug-in: the
  # table says so, and it is no failure of the plug-in's.
  if [ "$result" = "the stand-in editor could not hold the scene" ]; then
    identical="- (the plug-in did not run)"
  elif [ "$result" != success ] || [ "$identical" != yes ]; then
    failed=1
  fi
  echo "$SIZE $host $(value large-address-aware) $(tr ' ' _ <<<"$result") $(value export-seconds)" \
    "$(mb "$(value peak-working-set-bytes)")" "$(mb "$(value peak-private-bytes)")" \
    "$(mb "$(value peak-address-space-used-bytes)")/$(mb "$(value address-space-bytes)")" \
    "$(mb "$(value least-largest-free-bytes)")" "$(tr ' ' _ <<<"$identical")" >>"$rows"
  [ "${KEEP:-0}" = 1 ] || rm -rf "$folder/repository"
done
[ "${KEEP:-0}" = 1 ] || rm -rf "$work/native"

echo
echo "Scene: $scene ($bytes bytes), exported as Level${native_done:+ with $native_done}"
echo
awk '
  BEGIN {
    print "| Size | Program | Large-address-aware | Result | Wall s | Peak working set MB | Peak private MB | Peak address space used / available MB | Least largest free block MB | Identical |"
    print "|---:|---|---|---|---:|---:|---:|---:|---:|---|"
  }
  {
    gsub("_", " ", $4); gsub("_", " ", $10)
    printf "| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6, $7, $8, $9, $10
  }' "$rows"
echo
echo "Reports and memory logs: $WORK/" >&2
exit "$failed"
