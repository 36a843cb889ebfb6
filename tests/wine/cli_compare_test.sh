#!/usr/bin/env bash
# The command line cross-built for Windows does under Wine what the native
# one does: the same summary from `inspect`, the same files from `mesh` and
# `export` (byte for byte), also optimized for drawing, the same warnings and
# the same refusals.
#
#   cli_compare_test.sh SOURCE_DIR BUILD_DIR WINDOWS_TOOL NATIVE_TOOL
set -euo pipefail
source_dir="$1" build_dir="$2" windows_tool="$3" native_tool="$4"
source "$(dirname "$0")/common.sh"

if [ ! -x "$native_tool" ]; then
  echo "the native veldara-export is missing at $native_tool: build the release preset first" >&2
  exit 1
fi

work="$build_dir/wine-tests/cli-compare"
fresh_folder "$work"
passed=0 failed=0
ok() { echo "ok: $1"; passed=$((passed + 1)); }
bad() { echo "FAIL: $1"; failed=$((failed + 1)); }

native() { "$native_tool" "$@"; }
windows() { "$build_dir/wine-run.sh" "$windows_tool" "$@" | tr -d '\r'; }

for sample in crate tile courtyard; do
  scene="$source_dir/examples/$sample.xml"
  if diff <(native inspect "$scene" --draw-calls) <(windows inspect "$(winpath "$scene")" --draw-calls); then
    ok "inspect $sample: the same summary"
  else
    bad "inspect $sample: the summaries differ"
  fi

  make_repository "$work/$sample-native"
  make_repository "$work/$sample-windows"
  native export "$scene" --repository "$work/$sample-native" --asset "$sample" --category Props \
    --texture-dir "$source_dir/examples/" > /dev/null 2> "$work/$sample-native.err"
  windows export "$(winpath "$scene")" --repository "$(winpath "$work/$sample-windows")" --asset "$sample" \
    --category Props --texture-dir "$(winpath "$source_dir/examples")\\" > /dev/null 2> "$work/$sample-windows.err"
  if diff -r "$work/$sample-native" "$work/$sample-windows"; then
    ok "export $sample: the same $(find "$work/$sample-native" -type f | wc -l) files, byte for byte"
  else
    bad "export $sample: the repositories differ"
  fi
  if diff <(grep '^warning: ' "$work/$sample-native.err" || true) \
          <(tr -d '\r' < "$work/$sample-windows.err" | grep '^warning: ' || true); then
    ok "export $sample: the same warnings"
  else
    bad "export $sample: the warnings differ"
  fi

  mkdir -p "$work/$sample-mesh-native" "$work/$sample-mesh-windows"
  native mesh "$scene" "$work/$sample-mesh-native/$sample.mesh.xml" --texture-dir "$source_dir/examples/" \
    > /dev/null 2>&1 || true
  windows mesh "$(winpath "$scene")" "$(winpath "$work/$sample-mesh-windows/$sample.mesh.xml")" \
    --texture-dir "$(winpath "$source_dir/examples")\\" > /dev/null 2>&1 || true
  if [ -s "$work/$sample-mesh-native/$sample.mesh.xml" ] && diff -r "$work/$sample-mesh-native" "$work/$sample-mesh-windows"; then
    ok "mesh $sample: the same XML mesh, material script and textures"
  else
    bad "mesh $sample: the outputs differ"
  fi
done

# Optimized for drawing: the same bytes from both, on samples and on a
# generated level of many primitives sharing a few materials, whose merged
# terrain material passes what 16-bit indices address and is cut. The
# ordering computes in floating point: the SSE2 arithmetic of both builds
# must give the same order.
native_generator="$(dirname "$native_tool")/../../tools/generate-scene"
if [ ! -x "$native_generator" ]; then
  echo "the native generate-scene is missing at $native_generator: build the release preset first" >&2
  exit 1
fi
"$native_generator" 200000 > "$work/level.xml"
for sample in crate courtyard level; do
  scene="$source_dir/examples/$sample.xml"
  [ "$sample" = level ] && scene="$work/level.xml"
  make_repository "$work/$sample-optimized-native"
  make_repository "$work/$sample-optimized-windows"
  native export "$scene" --repository "$work/$sample-optimized-native" --asset "$sample" --category Props \
    --texture-dir "$source_dir/examples/" --optimize > /dev/null 2>&1
  windows export "$(winpath "$scene")" --repository "$(winpath "$work/$sample-optimized-windows")" --asset "$sample" \
    --category Props --texture-dir "$(winpath "$source_dir/examples")\\" --optimize > /dev/null 2>&1
  if [ -s "$work/$sample-optimized-native/Meshes/$sample.mesh" ] &&
     diff -r "$work/$sample-optimized-native" "$work/$sample-optimized-windows"; then
    ok "export --optimize $sample: the same files, byte for byte"
  else
    bad "export --optimize $sample: the repositories differ"
  fi
done
# Levels of detail: meshoptimizer's simplification computes in floating point
# too, plainly and after the optimisation.
for options in "--lod 3" "--lod 3 --optimize"; do
  name="lod-${options// /}"
  make_repository "$work/$name-native"
  make_repository "$work/$name-windows"
  # shellcheck disable=SC2086
  native export "$work/level.xml" --repository "$work/$name-native" --asset level --category Props $options \
    > /dev/null 2>&1
  # shellcheck disable=SC2086
  windows export "$(winpath "$work/level.xml")" --repository "$(winpath "$work/$name-windows")" --asset level \
    --category Props $options > /dev/null 2>&1
  if [ -s "$work/$name-native/Meshes/level.mesh" ] && diff -r "$work/$name-native" "$work/$name-windows"; then
    ok "export $options level: the same files, byte for byte"
  else
    bad "export $options level: the repositories differ"
  fi
done
if diff <(native inspect "$work/level.xml" --draw-calls) <(windows inspect "$(winpath "$work/level.xml")" --draw-calls); then
  ok "inspect --draw-calls level: the same counts"
else
  bad "inspect --draw-calls level: the counts differ"
fi

# Refusals: the same message and exit status.
for args in "export $source_dir/examples/crate.xml --repository $work/none --asset A --scale 1,5" \
            "export $source_dir/examples/crate.xml --repository $work/none --asset A"; do
  # shellcheck disable=SC2086
  set -- $args
  native_status=0; native "$@" > /dev/null 2> "$work/refusal-native.err" || native_status=$?
  windows_args=("$1" "$(winpath "$2")" "$3" "$(winpath "$4")" "${@:5}")
  windows_status=0; windows "${windows_args[@]}" > /dev/null 2> "$work/refusal-windows.err" || windows_status=$?
  native_last=$(tail -n 1 "$work/refusal-native.err")
  windows_last=$(tr -d '\r' < "$work/refusal-windows.err" | tail -n 1 | sed 's|Z:\\|/|; s|\\|/|g')
  if [ "$native_status" = "$windows_status" ] && [ "$native_last" = "$windows_last" ]; then
    ok "refusal '${*:5}': status $native_status, $native_last"
  else
    bad "refusal '${*:5}': native $native_status '$native_last', Windows $windows_status '$windows_last'"
  fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
