#!/usr/bin/env bash
# Lookups by name that run once per entry must take constant time, so that a
# scene of many distinct textures or categories costs in proportion to its
# size. This exports scenes of N materials, each with a texture of its own
# (or each in a category of its own), used by one triangle each, for N = 1K,
# 10K and 100K, and prints the CPU time of each export (user + system, median
# of RUNS) with the time per material: flat across the sizes when the
# lookups are constant time, growing tenfold per row when one is linear.
#
#   bench/lookup-scaling.sh            (after a release build)
#   SIZES="1000 10000" RUNS=5 bench/lookup-scaling.sh
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-3}
SIZES=${SIZES:-"1000 10000 100000"}
TOOL=build/release/src/cli/veldara-export
WORK=build/lookup-scaling
[ -x "$TOOL" ] || { echo "lookup-scaling: $TOOL is missing (cmake --preset release && cmake --build --preset release)" >&2; exit 1; }
rm -rf "$WORK" && mkdir -p "$WORK"

# KIND is "textures" (one category, N textures) or "categories" (N
# categories, one shared texture).
scene() {
  awk -v n="$1" -v kind="$2" 'BEGIN {
    printf "<scene><materials>"
    if (kind == "textures") printf "<category name=\"C\">"
    for (i = 0; i < n; i++) {
      if (kind == "categories") printf "<category name=\"C%d\">", i
      texture = kind == "textures" ? "t" i ".png" : "shared.png"
      printf "<material id=\"m%d\" name=\"M%d\" used=\"true\"><layer type=\"texture\" blend=\"replace\"><texture file=\"%s\" /></layer></material>", i, i, texture
      if (kind == "categories") printf "</category>"
    }
    if (kind == "textures") printf "</category>"
    printf "</materials><primitives><primitive id=\"p\" name=\"P\" type=\"userdefined\" visible=\"true\" snap=\"none\" autoUV=\"false\"><vertices>"
    # Three vertices of its own for each triangle: smoothing looks at the
    # polygons that meet at a vertex, and these should not all meet at one.
    for (i = 0; i < n; i++)
      printf "<vertex id=\"a%d\" x=\"%d\" y=\"0\" z=\"0\" /><vertex id=\"b%d\" x=\"%d\" y=\"0\" z=\"1\" /><vertex id=\"c%d\" x=\"%d\" y=\"1\" z=\"0\" />", i, 2 * i, i, 2 * i + 1, i, 2 * i
    printf "</vertices><polygons>"
    for (i = 0; i < n; i++)
      printf "<poly mid=\"m%d\"><vertex vid=\"a%d\" u0=\"0\" v0=\"0\" /><vertex vid=\"b%d\" u0=\"1\" v0=\"0\" /><vertex vid=\"c%d\" u0=\"0\" v0=\"1\" /></poly>", i, i, i, i
    printf "</polygons></primitive></primitives><lights></lights></scene>\n"
  }'
}

# CPU seconds of one export, from bash's own clock of its children.
cpu_seconds() {
  local self=$BASHPID before after
  before=$(awk '{print $14 + $15 + $16 + $17}' "/proc/$self/stat")
  "$@" >/dev/null 2>&1 || { echo "lookup-scaling: the export failed: $*" >&2; exit 1; }
  after=$(awk '{print $14 + $15 + $16 + $17}' "/proc/$self/stat")
  awk -v t="$((after - before))" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.3f", t / hz }'
}

median() { tr ' ' '\n' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "| Scene | Materials | Export CPU s (median of $RUNS) | us per material |"
echo "|---|---:|---:|---:|"
for kind in textures categories; do
  for n in $SIZES; do
    scene "$n" "$kind" > "$WORK/scene.xml"
    times=""
    for _ in $(seq "$RUNS"); do
      rm -rf "$WORK/Repo"
      times="$times $(cpu_seconds "$TOOL" export "$WORK/scene.xml" --repository "$WORK/Repo" --asset A --init --quiet)"
    done
    t=$(echo $times | median)
    echo "| distinct $kind | $n | $t | $(awk -v t="$t" -v n="$n" 'BEGIN { printf "%.1f", t * 1e6 / n }') |"
  done
done
rm -rf "$WORK"
