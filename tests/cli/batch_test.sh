#!/bin/bash
# batch_test.sh EXPORT GENERATE [WORK_PARENT]
#
# Runs the real veldara-export's batch as a process and kills it (SIGKILL) at
# a random moment while it exports, to prove that a killed batch leaves every
# asset either wholly old or wholly new, and that the next batch finishes
# the job:
#   - a repository holds the old assets of a batch, and its cache their
#     records; the batch of the new scenes is killed;
#   - every asset is then the old one or the new one, file for file (a kill
#     inside the renames of one asset's commit, which can leave that asset
#     part old and part new with its remaining new files complete beside
#     them, is counted and shown, as the transaction test does);
#   - the next batch, with --changed-only, succeeds, skips only assets that
#     were wholly new already, and leaves every asset new, with no temporary
#     file and no lock behind.
# Every failed check prints a line starting with "FAIL"; the script ends with
# a summary and a non-zero status if anything failed.
#
# EXPORT and GENERATE are the paths of veldara-export and generate-scene.
# The work happens in a fresh folder under WORK_PARENT (default: the
# system's temporary folder), removed at the end unless KEEP_WORK is set.
# SEED fixes the kill moments (printed at the start); ROUNDS changes how
# many batches are killed.

set -u
shopt -s nullglob

if (($# < 2 || $# > 3)); then
  echo "usage: $0 EXPORT GENERATE [WORK_PARENT]" >&2
  exit 2
fi
EXPORT=$1
GENERATE=$2
for tool in "$EXPORT" "$GENERATE"; do
  [[ -x $tool ]] || { echo "error: $tool is not an executable" >&2; exit 2; }
done
PARENT=${3:-${TMPDIR:-/tmp}}
mkdir -p "$PARENT"
WORK=$(mktemp -d "$PARENT/batch.XXXXXX") || exit 1
ROUNDS=${ROUNDS:-8}
SEED=${SEED:-$((${EPOCHREALTIME/[.,]/} % 32768))}
RANDOM=$SEED

# The batch being killed, if one runs: it must not outlive the script.
BATCH=
cleanup() {
  [[ -n $BATCH ]] && kill -KILL "$BATCH" 2>/dev/null && wait "$BATCH" 2>/dev/null
  if [[ -n ${KEEP_WORK:-} ]]; then
    echo "work folder kept: $WORK"
  else
    rm -rf "$WORK"
  fi
}
trap cleanup EXIT
trap 'echo "interrupted" >&2; exit 130' INT TERM HUP

FAILURES=0
fail() {
  FAILURES=$((FAILURES + 1))
  echo "FAIL $*"
}
die() {
  echo "error: $*" >&2
  exit 1
}
now() { NOW=${EPOCHREALTIME/[.,]/}; }

# --- Scenes and references ----------------------------------------------------

# Two sets of the same assets, old and new scenes of other sizes and seeds,
# half of them in a folder. The textures are one folder's for both sets, so
# that the exports warn of nothing (an asset whose export warned is never
# skipped) and a texture is the same file for every asset: each asset's own
# files (mesh, script, physics file, definitions) tell whether it is old or
# new.
mkdir -p "$WORK/tex/textures" "$WORK/tex/lightmaps"
for i in $(seq -w 0 23); do
  head -c 4096 /dev/urandom >"$WORK/tex/textures/stone_$i.jpg"
  head -c 2048 /dev/urandom >"$WORK/tex/lightmaps/lm_$i.png"
done
ASSETS=()
for i in $(seq -w 1 16); do
  name=A$i
  ((10#$i % 2)) && name=Props/B$i
  ASSETS+=("$name")
  mkdir -p "$WORK/old/Props" "$WORK/new/Props"
  "$GENERATE" $((2500 + 10#$i * 50)) "$((10#$i))" >"$WORK/old/$name.xml" || die "generate-scene failed"
  "$GENERATE" $((2800 + 10#$i * 50)) $((10#$i + 100)) >"$WORK/new/$name.xml" || die "generate-scene failed"
done

# The files of one asset in a repository with their SHA-256 sums, one
# "sum  path" line each.
asset_sums() {
  local repository=$1 name=$2 file
  for file in "Meshes/$name.mesh" "Materials/$name.material" "Physics/$name.physics" \
    "AssetDefinitions/${name}_Mesh.asset" "AssetDefinitions/${name}_Material.asset"; do
    [[ -f $repository/$file ]] && (cd "$repository" && sha256sum "$file")
  done
}

# The statuses in a report, one "name status" line an asset (the report
# writes each asset's name before its status).
statuses() {
  awk -F'"' '/^      "name": / { name = $4 } /^      "status": / { print name, $4 }' "$1"
}

# The references: each set exported whole into a fresh repository, with a
# cache of its records (the old one's is the start of every round). The new
# batch's time, the cache's work included, is the span the kills land in.
"$EXPORT" batch "$WORK/old" --texture-dir "$WORK/tex" --repository "$WORK/ref-old" --init -j 2 --cache "$WORK/cache-old" \
  >/dev/null 2>"$WORK/ref-old.err" || die "the old batch failed: $(tail -n 1 "$WORK/ref-old.err")"
now
start=$NOW
"$EXPORT" batch "$WORK/new" --texture-dir "$WORK/tex" --repository "$WORK/ref-new" --init -j 2 --cache "$WORK/cache-new" \
  >/dev/null 2>"$WORK/ref-new.err" || die "the new batch failed: $(tail -n 1 "$WORK/ref-new.err")"
now
RUN=$((NOW - start))
declare -A OLD=() NEW=()
for name in "${ASSETS[@]}"; do
  OLD[$name]=$(asset_sums "$WORK/ref-old" "$name")
  NEW[$name]=$(asset_sums "$WORK/ref-new" "$name")
  [[ -n ${OLD[$name]} && ${OLD[$name]} != "${NEW[$name]}" ]] || die "the old and new $name cannot be told apart"
done
grep -q '^warning' "$WORK/ref-new.err" && die "the new batch warned: $(grep -m 1 '^warning' "$WORK/ref-new.err")"
echo "batch test: seed $SEED, ${#ASSETS[@]} assets, the new batch alone takes $((RUN / 1000)) ms"

# --- Kills ------------------------------------------------------------------------

# state REPOSITORY NAME: old, new, renaming (a kill inside the asset's
# commit: each file wholly old or new, the new ones still missing complete
# in temporary files beside them) or mixed.
state() {
  local repository=$1 name=$2 current sum path pending
  current=$(asset_sums "$repository" "$name")
  [[ $current == "${OLD[$name]}" ]] && { echo old; return; }
  [[ $current == "${NEW[$name]}" ]] && { echo new; return; }
  pending=$(cd "$repository" && find . -name '*.tmp' -print0 | xargs -0r sha256sum | awk '{ print $1 }')
  local -A was=() is=()
  while read -r sum path; do [[ -n $path ]] && was[$path]=$sum; done <<<"${OLD[$name]}"
  while read -r sum path; do [[ -n $path ]] && is[$path]=$sum; done <<<"$current"
  while read -r sum path; do
    [[ -n $path ]] || continue
    [[ ${is[$path]:-} == "$sum" ]] && continue
    [[ ${is[$path]:-} == "${was[$path]:-}" ]] && grep -qx "$sum" <<<"$pending" && continue
    echo mixed
    return
  done <<<"${NEW[$name]}"
  echo renaming
}

renaming=0 killed_after=0
for ((round = 1; round <= ROUNDS; ++round)); do
  repository=$WORK/round-$round
  cache=$WORK/cache-$round
  cp -a "$WORK/ref-old" "$repository"
  cp -a "$WORK/cache-old" "$cache"
  # Anywhere from the start to the end of the batch alone.
  delay=$((RANDOM * RUN / 32768))
  "$EXPORT" batch "$WORK/new" --texture-dir "$WORK/tex" --repository "$repository" -j 2 --cache "$cache" >/dev/null 2>"$repository.err" &
  BATCH=$!
  sleep "$((delay / 1000000)).$(printf '%06d' $((delay % 1000000)))"
  if kill -KILL "$BATCH" 2>/dev/null; then
    wait "$BATCH" 2>/dev/null
  else
    wait "$BATCH"
    killed_after=$((killed_after + 1))
  fi
  BATCH=
  declare -A after=() count=([old]=0 [new]=0 [renaming]=0 [mixed]=0)
  for name in "${ASSETS[@]}"; do
    after[$name]=$(state "$repository" "$name")
    count[${after[$name]}]=$((count[${after[$name]}] + 1))
    case ${after[$name]} in
    renaming) renaming=$((renaming + 1)) ;;
    mixed) fail "round $round: $name is neither wholly old nor wholly new after the kill at $((delay / 1000)) ms" ;;
    esac
  done
  echo -n "  round $round: killed at $((delay / 1000)) ms: ${count[old]} old, ${count[new]} new," \
    "${count[renaming]} inside their renames, ${count[mixed]} mixed;"

  # The next batch finishes the job, skipping only what was wholly new.
  "$EXPORT" batch "$WORK/new" --texture-dir "$WORK/tex" --repository "$repository" -j 2 --cache "$cache" \
    --changed-only \
    --report "$repository.json" >/dev/null 2>"$repository.next.err"
  status=$?
  ((status == 0)) || fail "round $round: the next batch ended with status $status: $(tail -n 1 "$repository.next.err")"
  skipped=0
  while read -r name outcome; do
    [[ $outcome == skipped ]] || continue
    skipped=$((skipped + 1))
    [[ ${after[$name]:-} == new ]] ||
      fail "round $round: the next batch skipped $name, which the kill left ${after[$name]:-unknown}"
  done < <(statuses "$repository.json")
  echo " the next batch skipped $skipped"
  for name in "${ASSETS[@]}"; do
    [[ $(state "$repository" "$name") == new ]] || fail "round $round: $name is not the new asset after the next batch"
  done
  left=$(find "$repository" -name '*.tmp' -o -name '*.old' -o -name '.*.lock')
  [[ -z $left ]] || fail "round $round: left behind after the next batch:" $left
  rm -rf "$repository" "$cache"
done

echo "kills inside an asset's renames: $renaming; batches that ended before their kill: $killed_after"
if ((FAILURES)); then
  echo "FAILED: $FAILURES failed checks"
  exit 1
fi
echo "all batch checks passed"
