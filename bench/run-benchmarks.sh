#!/usr/bin/env bash
# The end-to-end benchmark: for generated levels of about 10 thousand, 100
# thousand, 1 million and 3 million polygons and a terrain of 250 thousand
# (25 tiles of 100 x 100 quads sharing their corners, where welding
# dominates), it measures, in the same run,
#   - `veldara-export export` from the scene file to the finished repository
#     (wall time, CPU time and peak resident memory of the process, by
#     bench/run_timed.cpp),
#     and the same with `--optimize`, the two in turn;
#   - pugixml parsing the same document (bench/pugixml_parse.cpp), the
#     yardstick of a fast DOM parser: cold, one parse per process as our
#     export runs (the median CPU time of RUNS processes), and warm, the best
#     wall time of 5 parses in one process of the text already in memory,
#     the floor any reader that builds a tree pays, whatever the machine's
#     page faults cost;
#   - OgreXMLConverter turning into a binary mesh the XML mesh that our `mesh`
#     subcommand writes for the same scene, the reference tool's own cost for
#     comparable geometry;
# takes the median of RUNS runs (3 by default) of each (of the converter only
# LARGE_CONVERTER_RUNS runs, 1 by default, above a million polygons, where it
# takes minutes and gigabytes), prints one table with
# the ratios and writes it, with the machine's description and load, into
# bench/RESULTS.md between the table markers (the rest of that file is kept).
#
#   bench/run-benchmarks.sh                   all five scenes
#   SIZES="10000 terrain250000" RUNS=5 bench/run-benchmarks.sh
#
# The documents are generated once and cached in build/bench-scenes (the 3M
# one is 1.3 GB); the export's output goes to build/bench-work and is removed.
# Ratios use CPU time (user + system) so that other work on the machine moves
# them less than it moves the wall times, which the table shows as well.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-3}
LARGE_CONVERTER_RUNS=${LARGE_CONVERTER_RUNS:-1}
SIZES=${SIZES:-"10000 100000 1000000 3000000 terrain250000"}
RESULTS=${RESULTS:-bench/RESULTS.md}
BIN=build/release
SCENES=build/bench-scenes
WORK=build/bench-work

cmake --preset release >/dev/null
cmake --build --preset release
for tool in "$BIN/src/cli/veldara-export" "$BIN/tools/generate-scene" "$BIN/bench/pugixml-parse" "$BIN/bench/run-timed"; do
  [ -x "$tool" ] || { echo "run-benchmarks: $tool is missing (run scripts/setup.sh)" >&2; exit 1; }
done
command -v OgreXMLConverter >/dev/null || { echo "run-benchmarks: OgreXMLConverter is missing (run scripts/setup.sh)" >&2; exit 1; }

mkdir -p "$SCENES"
rm -rf "$WORK"
mkdir -p "$WORK"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# The median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Runs a command under bench/run-timed, which appends "wall cpu peak_kB" to
# file $1: the process's own wall and CPU seconds and peak memory, without
# the start of a timing program of its own (GNU time's took a millisecond).
# Warnings (the generated scenes' textures do not exist) go to a log. A
# failed or stopped command has no figures; the caller decides.
timed() {
  local into=$1
  shift
  "$BIN/bench/run-timed" "$into" "$@" >/dev/null 2>>"$WORK/stderr.log"
}

rows="$WORK/rows.txt"
: >"$rows"
for size in $SIZES; do
  scene="$SCENES/scene-$size.xml"
  # Regenerated whenever the generator is newer than the cached document.
  if [ ! -s "$scene" ] || [ "$BIN/tools/generate-scene" -nt "$scene" ]; then
    echo "generating $scene" >&2
    case "$size" in
      terrain*) "$BIN/tools/generate-scene" --terrain "${size#terrain}" >"$scene.tmp" ;;
      *) "$BIN/tools/generate-scene" "$size" >"$scene.tmp" ;;
    esac
    mv "$scene.tmp" "$scene"
  fi
  bytes=$(stat -c %s "$scene")
  polygons=$(grep -c '<poly ' "$scene")

  # The plain export and the one with --optimize take turns, so that the
  # ratio of the two compares runs made under the same load of the machine.
  echo "== $size polygons: veldara-export export, without and with --optimize in turn" >&2
  : >"$WORK/export.txt"
  : >"$WORK/optimize.txt"
  for ((run = 1; run <= RUNS; run++)); do
    rm -rf "$WORK/Repository"
    timed "$WORK/export.txt" "$BIN/src/cli/veldara-export" export "$scene" --repository "$WORK/Repository" \
      --asset Level --category Benchmark --init
    rm -rf "$WORK/Repository"
    timed "$WORK/optimize.txt" "$BIN/src/cli/veldara-export" export "$scene" --repository "$WORK/Repository" \
      --asset Level --category Benchmark --init --optimize
  done

  echo "== $size polygons: pugixml" >&2
  # One parse per process, as our export runs, so that pugixml too starts on
  # memory the system has yet to hand over: parses repeated in one process
  # reuse the pages of the one before and run up to twice as fast.
  : >"$WORK/pugixml.txt"
  for ((run = 1; run <= RUNS; run++)); do
    "$BIN/bench/pugixml-parse" "$scene" 1 | sed 's/.*cpu=\([0-9.]*\).*/\1/' >>"$WORK/pugixml.txt"
  done
  pugi=$(median <"$WORK/pugixml.txt")
  warm=$("$BIN/bench/pugixml-parse" "$scene" 5 | sed 's/.*best=\([0-9.]*\).*/\1/')

  echo "== $size polygons: OgreXMLConverter" >&2
  rm -rf "$WORK/mesh"
  mkdir -p "$WORK/mesh"
  "$BIN/src/cli/veldara-export" mesh "$scene" "$WORK/mesh/Level.mesh.xml" >/dev/null 2>>"$WORK/stderr.log"
  # OGRE 1.12's converter refuses a mesh whose sub-meshes share a material
  # name ("Material with the name ... already exists"), as ours do when many
  # primitives use one material; each sub-mesh gets a name of its own, which
  # leaves the geometry to convert as it was.
  awk '{ if (match($0, /material="[^"]*"/)) { n++; $0 = substr($0, 1, RSTART + RLENGTH - 2) "#" n substr($0, RSTART + RLENGTH - 1) } print }' \
    "$WORK/mesh/Level.mesh.xml" >"$WORK/mesh/Converter.mesh.xml"
  rm "$WORK/mesh/Level.mesh.xml"
  : >"$WORK/converter.txt"
  converterRuns=$RUNS
  [ "$polygons" -gt 1000000 ] && converterRuns=$LARGE_CONVERTER_RUNS
  for ((run = 1; run <= converterRuns; run++)); do
    rm -f "$WORK/mesh/Converter.mesh"
    # The converter slows down more than linearly on meshes of very many
    # sub-meshes (at 3M polygons it had not finished after 16 minutes): it is
    # stopped after CONVERTER_TIMEOUT seconds and the table says so.
    if ! timed "$WORK/converter.txt" timeout "${CONVERTER_TIMEOUT:-600}" OgreXMLConverter -q \
      -log "$WORK/mesh/converter.log" "$WORK/mesh/Converter.mesh.xml" "$WORK/mesh/Converter.mesh"; then
      echo "-1 -1 0" >"$WORK/converter.txt"
      break
    fi
    if grep -q 'Error: ' "$WORK/mesh/converter.log"; then
      grep 'Error: ' "$WORK/mesh/converter.log" >&2
      exit 1
    fi
  done
  rm -rf "$WORK/mesh" "$WORK/Repository"

  echo "$size $bytes $polygons" \
    "$(awk '{ print $1 }' "$WORK/export.txt" | median)" \
    "$(awk '{ print $2 }' "$WORK/export.txt" | median)" \
    "$(awk '{ print $3 }' "$WORK/export.txt" | median)" \
    "$pugi" "$warm" \
    "$(awk '{ print $1 }' "$WORK/converter.txt" | median)" \
    "$(awk '{ print $2 }' "$WORK/converter.txt" | median)" "$converterRuns" \
    "$(awk '{ print $1 }' "$WORK/optimize.txt" | median)" >>"$rows"
done

# The smallest scene against the process's own start-up: the 4 KB crate
# example exported, and the same binary asked for its version (a no-op that
# still loads every library and runs every static initialiser), each run
# SMALL_RUNS times, one process per run; CPU milliseconds, medians.
echo "== smallest scene: examples/crate.xml against --version" >&2
SMALL_RUNS=${SMALL_RUNS:-41}
: >"$WORK/small-export.txt"
: >"$WORK/small-start.txt"
# Timed by bash alone (no GNU time around them, whose own start-up would
# blur milliseconds); appends the CPU milliseconds to file $1.
cpuMilliseconds() {
  local into=$1 TIMEFORMAT='%3U %3S'
  shift
  { time "$@" >/dev/null 2>>"$WORK/stderr.log"; } 2>"$WORK/time.txt"
  awk '{ printf "%.1f\n", ($1 + $2) * 1000 }' "$WORK/time.txt" >>"$into"
}
for ((run = 1; run <= SMALL_RUNS; run++)); do
  cpuMilliseconds "$WORK/small-export.txt" "$BIN/src/cli/veldara-export" export examples/crate.xml \
    --repository "$WORK/Small" --asset Crate --init
  cpuMilliseconds "$WORK/small-start.txt" "$BIN/src/cli/veldara-export" --version
done
rm -rf "$WORK/Small"
smallExport=$(median <"$WORK/small-export.txt")
smallStart=$(median <"$WORK/small-start.txt")
small=$(awk -v e="$smallExport" -v s="$smallStart" 'BEGIN {
  printf "Smallest scene (examples/crate.xml, %d bytes): export %.1f ms CPU, start-up (`veldara-export --version`) %.1f ms CPU, median of '"$SMALL_RUNS"' runs each: %.2f x start-up\n", '"$(stat -c %s examples/crate.xml)"', e, s, e / s }')
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

table=$(awk '
  BEGIN {
    print "| Size | Polygons | Scene MB | Export wall s | Export CPU s | MB/s (CPU) | MB/s (wall) | Peak RSS MB | Peak / scene | pugixml cold CPU s | x pugixml cold (CPU) | pugixml warm s (best of 5) | x pugixml warm (wall) | --optimize wall s | x plain (wall) | Converter CPU s (runs) | x converter | ns / polygon |"
    print "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  }
  {
    size = $1; bytes = $2; polygons = $3; wall = $4; cpu = $5; rss = $6 * 1024; pugi = $7; warm = $8; convWall = $9; conv = $10
    optimized = $12
    mb = bytes / 1e6
    if (conv > 0) { convText = sprintf("%.2f (%d)", conv, $11); convRatio = sprintf("%.2f", cpu / conv) }
    else { convText = "stopped after '"${CONVERTER_TIMEOUT:-600}"' s"; convRatio = "-" }
    printf "| %s | %d | %.1f | %.3f | %.2f | %.0f | %.0f | %.0f | %.2f | %.3f | %.2f | %.3f | %.2f | %.3f | %.2f | %s | %s | %.0f |\n",
      size, polygons, mb, wall, cpu, mb / cpu, mb / wall, rss / 1e6, rss / bytes, pugi, cpu / pugi, warm, wall / warm,
      optimized, optimized / wall, convText, convRatio, cpu / polygons * 1e9
  }' "$WORK/rows.txt")

machine=$(
  echo "- CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores available"
  echo "- Memory: $(free -h | awk '/^Mem:/ { print $2 }') total"
  echo "- System: $(uname -sr), $(g++ --version | head -1)"
  echo "- Threads of the export: ${VELDARA_THREADS:-$(nproc) (all cores)}"
  echo "- Load average (1, 5, 15 min) before the run: $load_before; after: $load_after"
  echo "- Commit $(git rev-parse --short HEAD)$(git diff --quiet HEAD -- src tools bench ':!bench/RESULTS.md' || echo ' with local changes'), $(date -u '+%Y-%m-%d %H:%M UTC'), median of $RUNS runs"
)

echo
echo "$machine"
echo
echo "$table"
echo
echo "$small"

# The table and the machine replace what stood between the markers.
block="$WORK/block.md"
{
  echo "<!-- table:begin (written by bench/run-benchmarks.sh) -->"
  echo "$machine"
  echo
  echo "$table"
  echo
  echo "$small"
  echo "<!-- table:end -->"
} >"$block"
if [ -f "$RESULTS" ] && grep -q '<!-- table:begin' "$RESULTS"; then
  awk -v block="$block" '
    /<!-- table:begin/ { while ((getline line < block) > 0) print line; skip = 1; next }
    /<!-- table:end/ { skip = 0; next }
    !skip { print }' "$RESULTS" >"$RESULTS.tmp"
  mv "$RESULTS.tmp" "$RESULTS"
else
  { echo "# End-to-end benchmark results"; echo; cat "$block"; } >"$RESULTS"
fi
rm -rf "$WORK"
echo >&2
echo "written to $RESULTS" >&2
