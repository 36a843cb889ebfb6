#!/usr/bin/env bash
# A deeper fuzzing campaign than CI's minute per target: builds the fuzz
# preset, then runs every target (or the ones named) for SECONDS each, two at a
# time, on a corpus kept in build/fuzz-campaign between campaigns. Prints the
# executions of each target at the end; crashes land in
# build/fuzz-campaign/artifacts and make the script fail.
#
#   fuzz/run-campaign.sh [SECONDS] [TARGET...]     (default: 1800 s, all targets)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_xml_reader fuzz_scene_reader fuzz_properties fuzz_numbers fuzz_export)
fi

cmake --preset fuzz > /dev/null
cmake --build --preset fuzz
work=$PWD/build/fuzz-campaign
mkdir -p "$work"
echo "campaign: ${targets[*]}, $seconds s each, two at a time"
printf '%s\n' "${targets[@]}" |
  xargs -P 2 -I{} fuzz/run-target.sh {} build/fuzz/fuzz "$seconds" "$work" | tee "$work/summary.txt"
