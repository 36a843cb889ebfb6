#!/usr/bin/env bash
# Runs one fuzz target for a bounded time on its seeds and a working corpus,
# and prints one line with the number of executions. Any crash, leak, timeout,
# memory blow-up or failed property ends the run with a non-zero status; the
# input that did it is kept in WORK_DIR/artifacts and the log's tail printed.
#
#   run-target.sh NAME BINARY_DIR SECONDS WORK_DIR [more libFuzzer flags...]
set -euo pipefail
if [ $# -lt 4 ]; then
  echo "usage: $0 NAME BINARY_DIR SECONDS WORK_DIR [libFuzzer flags...]" >&2
  exit 2
fi
name=$1 bin=$2 seconds=$3 work=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)

# Sizes bounded so that each run stays fast: documents of tens of kilobytes
# already reach every element, attribute and keyword.
case $name in
  fuzz_xml_reader | fuzz_scene_reader) seeds=$here/seeds/scenes max_len=65536 ;;
  fuzz_export) seeds=$here/seeds/scenes max_len=32768 ;;
  fuzz_properties) seeds=$here/seeds/properties max_len=4096 ;;
  fuzz_numbers) seeds=$here/seeds/numbers max_len=512 ;;
  *) echo "unknown fuzz target $name" >&2; exit 2 ;;
esac

corpus=$work/corpus/$name
mkdir -p "$corpus" "$work/artifacts"
log=$work/$name.log
status=0
"$bin/$name" -max_total_time="$seconds" -dict="$here/scene.dict" -max_len="$max_len" \
  -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/$name-" "$@" "$corpus" "$seeds" > "$log" 2>&1 || status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
inputs=$(find "$corpus" -type f | wc -l)
if [ "$status" -ne 0 ]; then
  echo "$name: FAILED with status $status after ${runs:-?} executions; the log ends:"
  tail -n 60 "$log"
  exit "$status"
fi
echo "$name: ${runs:-0} executions in $seconds s, $inputs inputs in the working corpus"
