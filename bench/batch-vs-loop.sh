#!/usr/bin/env bash
# What `veldara-export batch` gains over a shell loop of single exports, on
# two sets of scenes: many small ones (copies of examples/crate.xml with its
# textures) and a few large ones (tools/generate-scene 100000, their textures
# made up). Each set is exported into a fresh repository, alternately by the
# loop (one `export` process per scene) and by one `batch -j JOBS`, RUNS
# times each; the table shows the median wall time of each, the speed-up,
# and the totals of the batch's report. The two repositories are then
# compared file for file: the batch must write what the loop writes.
#
#   bench/batch-vs-loop.sh                          (after a release build)
#   SMALL=300 LARGE=20 RUNS=3 JOBS=2 bench/batch-vs-loop.sh
#
# The scenes are kept in build/batch-bench/scenes between runs (the large
# ones take about 900 MB).
set -euo pipefail
cd "$(dirname "$0")/.."

SMALL=${SMALL:-300}
LARGE=${LARGE:-20}
LARGE_POLYGONS=${LARGE_POLYGONS:-100000}
RUNS=${RUNS:-3}
JOBS=${JOBS:-2}
TOOL=${TOOL:-build/release/src/cli/veldara-export}
GENERATE=${GENERATE:-build/release/tools/generate-scene}
WORK=${WORK:-build/batch-bench}
for program in "$TOOL" "$GENERATE"; do
  [ -x "$program" ] || { echo "batch-vs-loop: $program is missing (cmake --preset release && cmake --build --preset release)" >&2; exit 1; }
done
SCENES=$WORK/scenes
mkdir -p "$SCENES"

# The small set: the crate and its two textures, SMALL times, in ten folders
# (asset names with folders, as a real repository has them).
small=$SCENES/small-$SMALL
if [ ! -e "$small/.done" ]; then
  rm -rf "$small"
  for ((i = 0; i < SMALL; ++i)); do
    folder=$small/Set$((i % 10))
    mkdir -p "$folder"
    cp examples/crate.xml "$folder/Crate$(printf '%04d' "$i").xml"
  done
  for folder in "$small"/Set*; do cp "examples/crate wood.png" examples/lm_crate.png "$folder/"; done
  touch "$small/.done"
fi

# The large set: generated levels of different seeds, and the textures they
# name, made up once (the same folder for every scene).
large=$SCENES/large-$LARGE-$LARGE_POLYGONS
if [ ! -e "$large/.done" ]; then
  rm -rf "$large"
  mkdir -p "$large/scenes" "$large/textures/textures" "$large/textures/lightmaps"
  for ((i = 1; i <= LARGE; ++i)); do
    "$GENERATE" "$LARGE_POLYGONS" "$i" >"$large/scenes/Level$(printf '%02d' "$i").xml"
  done
  for i in $(seq -w 0 23); do
    head -c 65536 /dev/urandom >"$large/textures/textures/stone_$i.jpg"
    head -c 32768 /dev/urandom >"$large/textures/lightmaps/lm_$i.png"
  done
  touch "$large/.done"
fi

now() { date +%s.%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# loop SOURCE REPOSITORY [EXPORT OPTION...]: one export per scene, named by
# its path below SOURCE, as the batch names it.
loop() {
  local source=$1 repository=$2 scene name
  shift 2
  while IFS= read -r -d '' scene; do
    name=${scene#"$source"/}
    name=${name%.xml}
    mkdir -p "$repository/Meshes/$(dirname "$name")" "$repository/AssetDefinitions/$(dirname "$name")" \
      "$repository/Physics/$(dirname "$name")"
    "$TOOL" export "$scene" --repository "$repository" --asset "$name" --init "$@" >/dev/null
  done < <(find "$source" -name '*.xml' -print0 | LC_ALL=C sort -z)
}

# measure LABEL SOURCE [EXPORT OPTION...]: prints "LABEL loop batch report".
measure() {
  local label=$1 source=$2 run start end loops=() batches=()
  shift 2
  for ((run = 1; run <= RUNS; ++run)); do
    rm -rf "$WORK/loop" "$WORK/batch"
    sync
    start=$(now)
    loop "$source" "$WORK/loop" "$@"
    end=$(now)
    loops+=("$(echo "$end - $start" | bc)")
    sync
    start=$(now)
    "$TOOL" batch "$source" --repository "$WORK/batch" --init -j "$JOBS" --report "$WORK/$label.json" "$@" \
      2>"$WORK/$label.err"
    end=$(now)
    batches+=("$(echo "$end - $start" | bc)")
  done
  if ! diff -r "$WORK/loop" "$WORK/batch" >/dev/null; then
    echo "batch-vs-loop: the batch of the $label set did not write what the loop wrote" >&2
    exit 1
  fi
  # The median of each, and every run to the hundredth, joined by commas.
  printf '%s %s %s %s %s\n' "$label" "$(printf '%s\n' "${loops[@]}" | median)" \
    "$(printf '%s\n' "${batches[@]}" | median)" "$(printf '%.2f\n' "${loops[@]}" | paste -sd,)" \
    "$(printf '%.2f\n' "${batches[@]}" | paste -sd,)"
}

echo "batch-vs-loop: $SMALL small and $LARGE large scenes, $RUNS runs each, batch -j $JOBS, $(nproc) processors"
echo "load before: $(uptime | sed 's/.*load average/load average/')"
results=()
results+=("$(measure small "$small")")
results+=("$(measure large "$large/scenes" --texture-dir "$large/textures")")
echo "load after:  $(uptime | sed 's/.*load average/load average/')"
echo
echo "| scenes | assets | polygons each | loop of \`export\` | \`batch -j $JOBS\` | speed-up | runs (loop / batch, s) |"
echo "|---|---|---|---|---|---|---|"
for result in "${results[@]}"; do
  read -r label loopTime batchTime loopRuns batchRuns <<<"$result"
  polygons=$(awk -F'[:,]' '/"polygons"/ { print $2; exit }' "$WORK/$label.json" | tr -d ' ')
  assets=$(awk -F'[:,]' '/^    "assets"/ { print $2; exit }' "$WORK/$label.json" | tr -d ' ')
  printf '| %s | %s | %s | %.2f s | %.2f s | %.2fx | %s / %s |\n' "$label" "$assets" "$polygons" "$loopTime" \
    "$batchTime" "$(echo "$loopTime / $batchTime" | bc -l)" "$loopRuns" "$batchRuns"
done
echo
for result in "${results[@]}"; do
  label=${result%% *}
  echo "$label: $(tail -n 1 "$WORK/$label.err")"
  awk '/"totals"/ { on = 1 } on' "$WORK/$label.json" | tr -d '\n ' | sed 's/^/  report /; s/$/\n/'
done
