#!/usr/bin/env bash
# What --lod costs and gives: for the generated level of 100 thousand polygons
# and the terrain of 250 thousand (25 tiles of 100 x 100 quads), it exports
# the mesh (`veldara-export mesh SCENE OUT.mesh`, release build) with
# --lod 0 to --lod LEVELS (4 by default), the median CPU time of RUNS runs
# (3 by default) each, and loads the mesh with all the levels in OGRE
# (tools/ogre/mesh_check) to count each level's triangles and read where it
# starts. One row per level: its triangles, their share of the full mesh's,
# the distance at which it starts, the export's CPU time with the levels up
# to it, and what that level added. The table goes on standard output and
# into bench/RESULTS.md between its own markers (the rest of the file,
# the main table included, is kept).
#
#   bench/lod-benchmark.sh
#   SIZES="terrain250000" LEVELS=6 RUNS=5 bench/lod-benchmark.sh
#
# The documents are cached in build/bench-scenes, shared with
# bench/run-benchmarks.sh; the meshes go to build/bench-lod and are removed.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-3}
LEVELS=${LEVELS:-4}
SIZES=${SIZES:-"100000 terrain250000"}
RESULTS=${RESULTS:-bench/RESULTS.md}
BIN=build/release
SCENES=build/bench-scenes
WORK=build/bench-lod

cmake --preset release >/dev/null
cmake --build --preset release
for tool in "$BIN/src/cli/veldara-export" "$BIN/tools/generate-scene" "$BIN/tools/mesh_check"; do
  [ -x "$tool" ] || { echo "lod-benchmark: $tool is missing (run scripts/setup.sh)" >&2; exit 1; }
done

mkdir -p "$SCENES"
rm -rf "$WORK"
mkdir -p "$WORK"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The CPU time (user + system) of one export of $1 with --lod $2.
export_cpu() {
  local TIMEFORMAT='%3U %3S'
  { time "$BIN/src/cli/veldara-export" mesh "$1" "$WORK/Level.mesh" --lod "$2" --quiet >/dev/null 2>>"$WORK/stderr.log"; } \
    2>"$WORK/time.txt"
  awk '{ printf "%.3f\n", $1 + $2 }' "$WORK/time.txt"
}

rows="$WORK/rows.txt"
: >"$rows"
for size in $SIZES; do
  scene="$SCENES/scene-$size.xml"
  if [ ! -s "$scene" ] || [ "$BIN/tools/generate-scene" -nt "$scene" ]; then
    echo "generating $scene" >&2
    case "$size" in
      terrain*) "$BIN/tools/generate-scene" --terrain "${size#terrain}" >"$scene.tmp" ;;
      *) "$BIN/tools/generate-scene" "$size" >"$scene.tmp" ;;
    esac
    mv "$scene.tmp" "$scene"
  fi

  # The export's CPU time with the levels 0 to k, for every k.
  declare -a cpu=()
  for ((k = 0; k <= LEVELS; k++)); do
    : >"$WORK/cpu.txt"
    for ((r = 0; r < RUNS; r++)); do export_cpu "$scene" "$k" >>"$WORK/cpu.txt"; done
    cpu[k]=$(median <"$WORK/cpu.txt")
    echo "$size --lod $k: ${cpu[k]} s CPU" >&2
  done
  mesh_bytes_with_levels=$(stat -c %s "$WORK/Level.mesh")

  # The last export has every level: OGRE counts them.
  "$BIN/tools/mesh_check" "$WORK/Level.mesh" >"$WORK/check.txt"
  awk -v size="$size" -v bytes="$mesh_bytes_with_levels" -v cpus="${cpu[*]}" '
    BEGIN { split(cpus, cpu, " ") }
    $1 == "lod" && $2 ~ /^[0-9]+$/ {
      k = $2; sub("value=", "", $3); sub("triangles=", "", $4)
      n = split($4, counts, ","); total = 0
      for (i = 1; i <= n; i++) total += counts[i]
      if (k == 0) full = total
      added = k == 0 ? "-" : sprintf("%.3f", cpu[k + 1] - cpu[k])
      printf "| %s | %d | %d | %.1f%% | %s | %.3f | %s |\n", size, k, total, 100 * total / full,
             k == 0 ? "0" : sprintf("%.1f", $3 / 1000), cpu[k + 1], added
    }' "$WORK/check.txt" >>"$rows"
  "$BIN/src/cli/veldara-export" mesh "$scene" "$WORK/Level.mesh" --quiet >/dev/null 2>>"$WORK/stderr.log"
  awk -v size="$size" -v plain="$(stat -c %s "$WORK/Level.mesh")" -v levels="$mesh_bytes_with_levels" -v n="$LEVELS" \
    'BEGIN { printf "- %s: the mesh file has %.1f MB without levels, %.1f MB with %d (%.2f x)\n", size, plain / 1e6,
             levels / 1e6, n, levels / plain }' >>"$WORK/sizes.txt"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

table="$WORK/table.md"
{
  echo "- CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//' | awk '{print $1, $2}'), $(nproc) cores available"
  echo "- Load average (1, 5, 15 min) before the run: $load_before; after: $load_after"
  echo "- Commit $(git rev-parse --short HEAD), $(date -u '+%Y-%m-%d %H:%M') UTC, median of $RUNS runs"
  echo
  echo "| Scene | Level | Triangles | Of the full mesh | Starts at (m) | Export CPU s with levels 0 to this | CPU s this level added |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
  cat "$rows"
  echo
  cat "$WORK/sizes.txt"
} >"$table"
cat "$table"

if [ -f "$RESULTS" ] && grep -q '<!-- lod:begin' "$RESULTS"; then
  awk -v table="$table" '
    /<!-- lod:begin/ { print; while ((getline line < table) > 0) print line; skip = 1; next }
    /<!-- lod:end/ { skip = 0 }
    !skip' "$RESULTS" >"$RESULTS.tmp" && mv "$RESULTS.tmp" "$RESULTS"
else
  {
    echo
    echo "<!-- lod:begin (written by bench/lod-benchmark.sh) -->"
    cat "$table"
    echo "<!-- lod:end -->"
  } >>"$RESULTS"
fi
rm -rf "$WORK"
