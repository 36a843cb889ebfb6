#!/bin/bash
# transaction_test.sh EXPORT GENERATE [WORK_PARENT]
#
# Runs the real veldara-export as separate processes to prove that exporting
# an asset is one transaction:
#   1. two exports of the same asset started together: the asset ends up
#      wholly the one of either scene, the loser fails at once with the lock
#      message, nothing temporary is left;
#   2. an export killed (SIGKILL) at a random moment leaves the old asset
#      wholly old or wholly new, but for a kill inside the renames that put
#      the complete files in place (counted, and rare), and the next export
#      succeeds, cleans up and writes the whole new asset;
#   3. exports of two different assets into one repository run in parallel
#      and both succeed;
#   4. while a long export runs, a second export of its asset fails at once
#      with status 1 and the lock message.
# Every failed check prints a line starting with "FAIL"; the script ends with
# a summary and a non-zero status if anything failed.
#
# EXPORT and GENERATE are the paths of veldara-export and generate-scene. The
# work happens in a fresh folder under WORK_PARENT (default: the system's
# temporary folder), removed at the end unless KEEP_WORK is set. SEED fixes
# the random kill moments (printed at the start, so a failing run can be
# repeated); CONCURRENT_ROUNDS, KILL_ROUNDS and PARALLEL_ROUNDS change how
# many rounds run; VERBOSE prints every round of the kills and of the two
# assets.

set -u
shopt -s nullglob dotglob

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
WORK=$(mktemp -d "$PARENT/transaction.XXXXXX") || exit 1

CONCURRENT_ROUNDS=${CONCURRENT_ROUNDS:-20}
KILL_ROUNDS=${KILL_ROUNDS:-30}
PARALLEL_ROUNDS=${PARALLEL_ROUNDS:-6}
SEED=${SEED:-$((${EPOCHREALTIME/[.,]/} % 32768))}
RANDOM=$SEED

ASSET=Level

# Background processes: exports (EXPORTS), and subshells that each run one
# export and note how it ended (LAUNCHERS). Whatever way the script ends,
# none may outlive it: the exports are killed, and a subshell whose export
# is killed notes it and ends by itself, so that the shell reaps every one
# and leaves no zombie behind. A process is only killed while /proc still
# shows it as this shell's child (or grandchild through a subshell), never
# an unrelated one that came to reuse its id. (The shell's own list of jobs
# is no help here: bash 5.2 can crash taking it in an exit trap after a
# signal broke into a timed read.)
EXPORTS=() LAUNCHERS=()
# parent_of PID: sets PARENT to the process's parent, fails if it has ended.
parent_of() {
  local stat
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }
  stat=${stat#* }
  PARENT=${stat%% *}
}
cleanup() {
  local pid
  local -a ours=()
  for pid in "${EXPORTS[@]}"; do
    parent_of "$pid" && ((PARENT == $$)) && kill -KILL "$pid" 2>/dev/null && ours+=("$pid")
  done
  for pid in "${LAUNCHERS[@]}"; do
    parent_of "$pid" && ((PARENT == $$)) && ours+=("$pid") && pkill -KILL -P "$pid" 2>/dev/null
  done
  for pid in "${ours[@]}"; do
    wait "$pid" 2>/dev/null
  done
  exec 9>&- 2>/dev/null
  if [[ -n ${KEEP_WORK:-} ]]; then
    echo "work folder kept: $WORK"
  else
    rm -rf "$WORK"
  fi
}
trap cleanup EXIT
trap 'echo "interrupted" >&2; exit 130' INT TERM HUP

# Sleeping without starting a process: a read with a time-out on a FIFO that
# this shell holds open for writing too, so it never sees an end of file.
mkfifo "$WORK/.nap"
exec 9<>"$WORK/.nap"
# nap MICROSECONDS
nap() {
  local seconds
  printf -v seconds '%d.%06d' $(($1 / 1000000)) $(($1 % 1000000))
  read -r -t "$seconds" -u 9 _ || true
}

# running PID: whether a child of this shell still runs. One that ended
# stays a zombie until the shell reaps it, which a shell waiting in a timed
# read may put off for good, and kill -0 takes a zombie for a live process;
# its state in /proc tells them apart.
running() {
  local stat
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }
  [[ ${stat:0:1} != Z ]]
}

# Microseconds since the epoch, without a process.
now() { NOW=${EPOCHREALTIME/[.,]/}; }
ms() { echo $((($1 + 500) / 1000)); }

declare -A FAILED=()
FAILURES=0
# fail CHECK MESSAGE...: one failed check, counted by its name for the summary.
fail() {
  local check=$1
  shift
  FAILED[$check]=$((${FAILED[$check]:-0} + 1))
  FAILURES=$((FAILURES + 1))
  echo "FAIL [$check] $*"
}

# Setting up (generating scenes, the reference exports) must work, or nothing
# that follows means anything.
die() {
  echo "error: $*" >&2
  exit 1
}

LOCK_MESSAGE="error: The asset \"$ASSET\" is being exported by another process."

# --- Scenes, textures and reference repositories -----------------------------

# Two scenes of different sizes whose exports take about the same time, so
# that their writing overlaps when they start together, and a larger one for
# the lock test. Each scene has its own textures (same names, other bytes)
# and its own category, so that every file of the asset, the definitions and
# the textures included, tells which scene it came from. The textures are
# large enough that copying them takes a while, as real ones do, so that a
# copy can be caught half done.
SIZE_A=2400 SIZE_B=2800 SIZE_LONG=8000
"$GENERATE" "$SIZE_A" 11 >"$WORK/a.xml" || die "generate-scene $SIZE_A failed"
"$GENERATE" "$SIZE_B" 12 >"$WORK/b.xml" || die "generate-scene $SIZE_B failed"
"$GENERATE" "$SIZE_LONG" 13 >"$WORK/long.xml" || die "generate-scene $SIZE_LONG failed"
make_textures() {
  local dir=$1 i
  mkdir -p "$dir/textures" "$dir/lightmaps"
  for i in $(seq -w 0 23); do
    head -c 65536 /dev/urandom >"$dir/textures/stone_$i.jpg"
    head -c 32768 /dev/urandom >"$dir/lightmaps/lm_$i.png"
  done
}
make_textures "$WORK/tex-a"
make_textures "$WORK/tex-b"

# Scene by label: the document and the texture folder; the category is
# "scene LABEL".
declare -A SCENE=([A]="$WORK/a.xml" [B]="$WORK/b.xml" [L]="$WORK/long.xml")
declare -A TEXTURES=([A]="$WORK/tex-a" [B]="$WORK/tex-b" [L]="$WORK/tex-a")

# The files of the assets in a repository with their SHA-256 sums, one
# "sum  ./path" line each, sorted. Hidden files (an export's lock and
# temporary files) and ".tmp" leftovers belong to no asset; they have checks
# of their own.
asset_sums() {
  (cd "$1" && find . -type f ! -name '.*' ! -name '*.tmp' -print0 | LC_ALL=C sort -z | xargs -0r sha256sum)
}

# holds SUMS REFERENCE: whether every file of the reference asset (one
# "sum  ./path" line each, as asset_sums prints them) is among SUMS, the
# repository's, with the same bytes. An asset is its own files: one that an
# export of another scene placed and this scene does not use (a texture of a
# material only that scene has) stays in the repository and does not count.
holds() {
  local -A present=()
  local sum path
  while read -r sum path; do
    [[ -n $path ]] && present[$path]=$sum
  done <<<"$1"
  while read -r sum path; do
    [[ -n $path ]] || continue
    [[ ${present[$path]:-} == "$sum" ]] || return 1
  done <<<"$2"
  return 0
}

# asset_state REPOSITORY A_NAME B_NAME: A_NAME when the repository holds scene
# A's asset wholly, B_NAME when it holds scene B's, and "mixed" otherwise.
asset_state() {
  local sums
  sums=$(asset_sums "$1")
  if holds "$sums" "${SUMS[A]}"; then
    echo "$2"
  elif holds "$sums" "${SUMS[B]}"; then
    echo "$3"
  else
    echo mixed
  fi
}

# Which reference each file of the repository matches, grouped, for a
# failure message: explain REPOSITORY LABEL SUMS [LABEL SUMS]...
explain() {
  local repository=$1
  shift
  local -A from=() all=() seen=() group=()
  local label sums sum path kind
  while (($#)); do
    label=$1 sums=$2
    shift 2
    while read -r sum path; do
      [[ -n $path ]] || continue
      all[$path]=1
      [[ -n ${from[$sum $path]:-} ]] && from[$sum $path]+=" and $label" || from[$sum $path]=$label
    done <<<"$sums"
  done
  while read -r sum path; do
    [[ -n $path ]] || continue
    seen[$path]=1
    if [[ -n ${from[$sum $path]:-} ]]; then
      kind="as in ${from[$sum $path]}"
    elif [[ -n ${all[$path]:-} ]]; then
      kind="in no reference (torn or mixed)"
    else
      kind="not a file of the asset"
    fi
    group[$kind]+=" ${path#./}"
  done <<<"$(asset_sums "$repository")"
  for path in "${!all[@]}"; do
    [[ -n ${seen[$path]:-} ]] || group[missing]+=" ${path#./}"
  done
  for kind in "${!group[@]}"; do
    echo "      $kind:${group[$kind]}"
  done | LC_ALL=C sort
}

# interrupted_commit REPOSITORY OLD_SUMS NEW_SUMS: whether a mixed asset is
# one whose export was stopped between the renames that put its files in
# place: every file is wholly old or wholly new, and each old one has its
# new bytes complete in a temporary file in its folder. That still breaks
# the promise of an untouched old asset, but it is a different fault from a
# file renamed into place before the others were written, or a torn file,
# and the failure message says which.
interrupted_commit() {
  local repository=$1 old=$2 new=$3 sum path
  local -A pending=() current=() was=()
  while read -r sum path; do
    [[ -n $path ]] && pending["$sum ${path%/*}"]=1
  done <<<"$(cd "$repository" && find . -type f -name '*.tmp' -print0 | xargs -0r sha256sum)"
  while read -r sum path; do
    [[ -n $path ]] && was[$path]=$sum
  done <<<"$old"
  while read -r sum path; do
    [[ -n $path ]] && current[$path]=$sum
  done <<<"$(asset_sums "$repository")"
  while read -r sum path; do
    [[ -n $path ]] || continue
    [[ ${current[$path]:-} == "$sum" ]] && continue
    [[ ${current[$path]:-} == "${was[$path]:-}" && -n ${pending["$sum ${path%/*}"]:-} ]] || return 1
  done <<<"$new"
  return 0
}

# Temporary files anywhere in the repository, one per line.
temporaries() { find "$1" -name '*.tmp' -printf '%P\n'; }

# After an export that was not killed, neither its temporary files nor its
# lock file may remain.
check_clean() {
  local check=$1 context=$2 repository=$3 left
  left=$(temporaries "$repository")
  [[ -z $left ]] || fail "$check" "$context: temporary files left:" $left
  left=$(find "$repository/AssetDefinitions" -maxdepth 1 -name '.*' ! -name '*.tmp' -printf '%P\n')
  [[ -z $left ]] || fail "$check" "$context: hidden files (a lock?) left in AssetDefinitions:" $left
}

# note FILE DEFAULT: sets NOTE to what a launched export noted in FILE, or
# to DEFAULT if it noted nothing (it was lost). Read without a process.
note() {
  NOTE=$2
  [[ -s $1 ]] && read -r NOTE <"$1"
  return 0
}

# The last line of a file, and the last line of it that reports an error.
last_line() { [[ -s $1 ]] && tail -n 1 "$1"; }
last_error() { grep '^error:' "$1" | tail -n 1; }

# run_export LABEL REPOSITORY OUT [EXTRA ARGUMENT...]: one export of the
# scene LABEL as the asset, in the foreground; its status is returned.
run_export() {
  local label=$1 repository=$2 out=$3
  shift 3
  "$EXPORT" export "${SCENE[$label]}" --repository "$repository" --asset "$ASSET" \
    --texture-dir "${TEXTURES[$label]}" --category "scene $label" "$@" >"$out.out" 2>"$out.err"
}

# launch LABEL REPOSITORY OUT [EXTRA...]: the same in the background, in a
# subshell that notes the status in OUT.rc and the moment it ended in OUT.end.
# Sets LAUNCHED to the subshell.
launch() {
  local out=$3
  rm -f "$out.rc" "$out.end"
  (
    run_export "$@"
    echo $? >"$out.rc"
    echo "${EPOCHREALTIME/[.,]/}" >"$out.end"
  ) &
  LAUNCHED=$!
  LAUNCHERS+=("$LAUNCHED")
}

# timed_export LABEL REPOSITORY OUT [EXTRA...]: an export in the background,
# watched: sets STATUS, T_END (microseconds from start to end), T_TMP and
# T_LAST_TMP (to the first and the last moment a temporary file was seen,
# empty if none was). The writing of an asset starts with its first
# temporary file and ends with the last one renamed; everything before is
# reading, everything after is the end of the process.
timed_export() {
  local repository=$2 start pid temps
  now
  start=$NOW
  T_TMP= T_LAST_TMP=
  "$EXPORT" export "${SCENE[$1]}" --repository "$repository" --asset "$ASSET" \
    --texture-dir "${TEXTURES[$1]}" --category "scene $1" "${@:4}" >"$3.out" 2>"$3.err" &
  pid=$!
  EXPORTS+=("$pid")
  while running "$pid"; do
    temps=("$repository"/*/*.tmp)
    if ((${#temps[@]})); then
      now
      T_LAST_TMP=$((NOW - start))
      T_TMP=${T_TMP:-$T_LAST_TMP}
    fi
    nap 2000
  done
  wait "$pid"
  STATUS=$?
  now
  T_END=$((NOW - start))
}

T0=${EPOCHREALTIME/[.,]/}
LAP=$T0
# How long the part that just ended took.
lap() {
  now
  echo "   ($(ms $((NOW - LAP))) ms)"
  LAP=$NOW
}
echo "transaction test: seed $SEED, work folder $WORK"

# The references: each scene exported alone into a fresh repository. Their
# timings, when the writing starts and ends, decide when the rounds below
# start a second export or kill one.
declare -A SUMS=() WRITE_FROM=() WRITE_TO=() RUN=()
for label in A B L; do
  timed_export "$label" "$WORK/ref-$label" "$WORK/ref-$label" --init
  ((STATUS == 0)) || die "the reference export of scene $label failed ($STATUS): $(last_line "$WORK/ref-$label.err")"
  [[ -s $WORK/ref-$label/Physics/$ASSET.physics && -n $(ls "$WORK/ref-$label/Textures") ]] ||
    die "the reference export of scene $label lacks its physics file or textures"
  SUMS[$label]=$(asset_sums "$WORK/ref-$label")
  WRITE_FROM[$label]=${T_TMP:-$T_END}
  WRITE_TO[$label]=${T_LAST_TMP:-$T_END}
  RUN[$label]=$T_END
  echo "  scene $label alone: $(ms "$T_END") ms, writing from $(ms "${WRITE_FROM[$label]}") to" \
    "$(ms "${WRITE_TO[$label]}") ms, $(wc -l <<<"${SUMS[$label]}") files"
done
[[ ${SUMS[A]} != "${SUMS[B]}" ]] || die "scenes A and B give the same asset; the test could not tell them apart"

# --- 1. Two exports of one asset started together ---------------------------

lap
echo "1. two exports of the asset \"$ASSET\" at the same time, $CONCURRENT_ROUNDS rounds"
declare -A RC=() END=()
both_ok=0 one_ok=0 none_ok=0
REPO=$WORK/concurrent
JITTER=$((WRITE_TO[A] - WRITE_FROM[A] + 20000))
echo "   the second starts up to $(ms "$JITTER") ms after the first; alone, A writes from" \
  "$(ms "${WRITE_FROM[A]}") to $(ms "${WRITE_TO[A]}") ms, B from $(ms "${WRITE_FROM[B]}") to $(ms "${WRITE_TO[B]}") ms"
overlapped=0
cp -a "$WORK/ref-A" "$REPO"
for ((round = 1; round <= CONCURRENT_ROUNDS; ++round)); do
  context="round $round"
  # Alternate which one starts first, so that neither always wins the lock,
  # and hold the second back by a random moment up to the length of the
  # writing: the two then write at the same time in some rounds however the
  # lengths of their reading differ.
  if ((round % 2)); then order=(A B); else order=(B A); fi
  launch "${order[0]}" "$REPO" "$WORK/c-${order[0]}"
  pids=("$LAUNCHED")
  nap $((RANDOM * JITTER / 32768))
  now
  second_start=$NOW
  launch "${order[1]}" "$REPO" "$WORK/c-${order[1]}"
  pids+=("$LAUNCHED")
  wait "${pids[@]}"
  note "$WORK/c-${order[0]}.end" 0
  first_end=$NOTE
  ((second_start > first_end)) || overlapped=$((overlapped + 1))
  winners=()
  for label in A B; do
    note "$WORK/c-$label.rc" lost
    RC[$label]=$NOTE
    note "$WORK/c-$label.end" 0
    END[$label]=$NOTE
    if [[ ${RC[$label]} == 0 ]]; then
      winners+=("$label")
    elif [[ ${RC[$label]} == 1 && $(last_line "$WORK/c-$label.err") == "$LOCK_MESSAGE" ]]; then
      : # locked out, as it should be
    else
      message=$(last_error "$WORK/c-$label.err")
      fail concurrent "$context: the export of scene $label ended with status ${RC[$label]}:" \
        "${message:-$(last_line "$WORK/c-$label.err")}"
    fi
  done

  state=$(asset_state "$REPO" A B)
  if [[ $state == mixed ]]; then
    fail concurrent "$context: the asset is neither wholly scene A's nor wholly scene B's" \
      "(statuses: A ${RC[A]}, B ${RC[B]}):"
    explain "$REPO" A "${SUMS[A]}" B "${SUMS[B]}"
  fi

  case ${#winners[@]} in
  1)
    one_ok=$((one_ok + 1))
    [[ $state == mixed || $state == "${winners[0]}" ]] ||
      fail concurrent "$context: only the export of scene ${winners[0]} succeeded, but the asset is scene $state's"
    ;;
  2)
    both_ok=$((both_ok + 1))
    # Each holds the lock for its whole run, so both can succeed only one
    # after the other: the later one then did a whole export after the
    # earlier one ended, which takes far longer than a quarter of the
    # quicker export alone.
    if ((END[A] > END[B])); then last=A first=B; else last=B first=A; fi
    gap=$((END[$last] - END[$first]))
    quick=$((RUN[A] < RUN[B] ? RUN[A] : RUN[B]))
    if ((gap < quick / 4)); then
      fail concurrent "$context: both exports succeeded, ending $(ms "$gap") ms apart: they ran at the same time"
    fi
    [[ $state == mixed || $state == "$last" ]] ||
      fail concurrent "$context: both succeeded; scene $last's ended last, but the asset is scene $state's"
    ;;
  *) none_ok=$((none_ok + 1)) ;;
  esac
  if ((${#winners[@]} == 0)); then
    fail concurrent "$context: neither export succeeded (statuses: A ${RC[A]}, B ${RC[B]})"
  fi
  check_clean concurrent "$context" "$REPO"
done
echo "   one succeeded: $one_ok rounds, both: $both_ok, neither: $none_ok;" \
  "the second started before the first ended in $overlapped rounds"
# A round whose second export started late proves nothing about two at once.
((overlapped * 2 >= CONCURRENT_ROUNDS)) ||
  fail concurrent "the two exports ran at the same time in only $overlapped of $CONCURRENT_ROUNDS rounds"

# --- 2. An export killed at a random moment ----------------------------------

lap
echo "2. an export of scene B over scene A's asset killed at a random moment, $KILL_ROUNDS rounds or more"
# One kill in four comes at a random moment of the whole run, as the export
# last took from start to end. The others wait for the first temporary file,
# where the writing starts, and come a random moment after it, within a
# quarter more than the writing last took: timed from that file rather than
# from the start, they still land in the writing when other work on the
# machine stretches or shrinks the reading before it.
run=${RUN[B]} write=$((WRITE_TO[B] - WRITE_FROM[B]))
in_writing=0 before_writing=0 finished=0 in_renames=0
# A sixth of the kills must hit the writing, or the rounds proved little.
MIN_IN_WRITING=$(((KILL_ROUNDS + 5) / 6)) EXTRA_ROUNDS=20
REPO=$WORK/killed
for ((round = 1; round <= KILL_ROUNDS + EXTRA_ROUNDS; ++round)); do
  if ((round > KILL_ROUNDS)); then
    # Extra rounds only while too few kills have hit the writing.
    ((in_writing < MIN_IN_WRITING)) || break
  fi
  context="round $round"
  rm -rf "$REPO"
  cp -a "$WORK/ref-A" "$REPO"

  now
  started=$NOW
  "$EXPORT" export "${SCENE[B]}" --repository "$REPO" --asset "$ASSET" \
    --texture-dir "${TEXTURES[B]}" --category "scene B" >"$WORK/k.out" 2>"$WORK/k.err" &
  pid=$!
  EXPORTS+=("$pid")
  if ((round % 4 == 1 && round <= KILL_ROUNDS)); then
    nap $((RANDOM * run / 32768))
  else
    while running "$pid"; do
      seen=("$REPO"/*/*.tmp)
      ((${#seen[@]} == 0)) || break
      nap 2000
    done
    nap $((RANDOM * (write + write / 4 + 2000) / 32768))
  fi
  # Only while it is still this shell's child, ended or not: never another
  # process that took over its id.
  parent_of "$pid" && ((PARENT == $$)) && kill -KILL "$pid" 2>/dev/null
  now
  delay=$((NOW - started))
  # Braced so that the shell's own notice of the killed job stays quiet.
  { wait "$pid"; } 2>/dev/null
  status=$?

  temps=$(temporaries "$REPO")
  state=$(asset_state "$REPO" old new)
  if ((status != 137)); then
    finished=$((finished + 1))
    ((status == 0)) || fail killed "$context: the export ended with status $status before the kill:" \
      "$(last_line "$WORK/k.err")"
  elif [[ -n $temps || $state != old ]]; then
    in_writing=$((in_writing + 1))
  else
    before_writing=$((before_writing + 1))
  fi
  [[ -z ${VERBOSE:-} ]] || echo "   $context: kill after $(ms "$delay") ms, status $status, asset $state," \
    "$(wc -w <<<"$temps") temporary files"
  if [[ $state == mixed ]]; then
    if interrupted_commit "$REPO" "${SUMS[A]}" "${SUMS[B]}"; then
      # The one moment a kill can mix an asset: between the renames that put
      # the complete new files in place, a window of one rename per file. It
      # is counted, and the export that follows must still repair it.
      in_renames=$((in_renames + 1))
      [[ -z ${VERBOSE:-} ]] || echo "   $context: killed inside the renames after $(ms "$delay") ms"
    else
      fail killed "$context: killed after $(ms "$delay") ms (status $status), the asset is neither wholly old" \
        "nor wholly new:"
      explain "$REPO" old "${SUMS[A]}" new "${SUMS[B]}"
    fi
  fi

  # The next export must not be stopped by what the killed one left, must
  # clear its temporary files and must write the whole new asset.
  timed_export B "$REPO" "$WORK/k2"
  if ((STATUS != 0)); then
    fail killed "$context: the export after the kill failed ($STATUS): $(last_line "$WORK/k2.err")"
  else
    run=$T_END
    # Temporary files the kill left would pass for this export's writing.
    [[ -n $temps || -z $T_TMP ]] || write=$((T_LAST_TMP - T_TMP))
  fi
  if ! holds "$(asset_sums "$REPO")" "${SUMS[B]}"; then
    fail killed "$context: after the export that followed the kill, the asset is not wholly the new one:"
    explain "$REPO" old "${SUMS[A]}" new "${SUMS[B]}"
  fi
  check_clean killed "$context, the export after the kill" "$REPO"
done
echo "   kills before the writing: $before_writing, during it: $in_writing (inside the renames: $in_renames)," \
  "export already ended: $finished (last timing: $(ms "$run") ms, $(ms "$write") ms of writing)"
# The renames are a small part of the writing: kills landing there in more
# than a quarter of the rounds would mean that the asset is not written whole
# before it is put in place.
if ((in_renames * 4 > in_writing)); then
  fail killed-renaming "$in_renames of $in_writing kills in the writing left an asset part old, part new"
fi
if ((in_writing < MIN_IN_WRITING)); then
  fail killed "only $in_writing kills hit an export while it wrote, fewer than $MIN_IN_WRITING; the rounds proved little"
fi

# --- 3. Two different assets in parallel --------------------------------------

lap
echo "3. exports of two different assets into one repository at the same time, $PARALLEL_ROUNDS rounds"
# The reference: Alpha from scene A, then Beta from scene B, one after the
# other. Both use the same textures, which the two assets share in the
# repository's Textures folder.
TEXTURES[B2]=${TEXTURES[A]}
SCENE[B2]=${SCENE[B]}
export_as() { # LABEL NAME REPOSITORY OUT [EXTRA...]
  local label=$1 name=$2 repository=$3 out=$4
  shift 4
  "$EXPORT" export "${SCENE[$label]}" --repository "$repository" --asset "$name" \
    --texture-dir "${TEXTURES[$label]}" --category "scene $label" "$@" >"$out.out" 2>"$out.err"
}
export_as A Alpha "$WORK/ref-two" "$WORK/ref-two-alpha" --init ||
  die "the reference export of Alpha failed: $(last_line "$WORK/ref-two-alpha.err")"
export_as B2 Beta "$WORK/ref-two" "$WORK/ref-two-beta" ||
  die "the reference export of Beta failed: $(last_line "$WORK/ref-two-beta.err")"
SUMS_TWO=$(asset_sums "$WORK/ref-two")
REPO=$WORK/two
# The first round starts both together. In the others, one (each in turn)
# starts later, at a random moment from a little before the other's writing
# to its end, so that its start, where it takes its lock and clears what a
# killed export of its asset left, falls at times into the other's writing:
# clearing must not touch the other asset's temporary files.
declare -A PID=()
for ((round = 1; round <= PARALLEL_ROUNDS; ++round)); do
  context="round $round"
  rm -rf "$REPO"
  mkdir -p "$REPO"/{Meshes,Materials,Textures,Physics,AssetDefinitions}
  if ((round % 2)); then order=(Alpha Beta); else order=(Beta Alpha); fi
  delay=0
  if ((round > 1)); then
    [[ ${order[0]} == Alpha ]] && lead=A || lead=B
    low=$((WRITE_FROM[$lead] > 120000 ? WRITE_FROM[$lead] - 120000 : 0))
    delay=$((low + RANDOM * (WRITE_TO[$lead] - low) / 32768))
  fi
  for name in "${order[@]}"; do
    [[ $name == Alpha ]] && label=A || label=B2
    "$EXPORT" export "${SCENE[$label]}" --repository "$REPO" --asset "$name" \
      --texture-dir "${TEXTURES[$label]}" --category "scene $label" >"$WORK/p-$name.out" 2>"$WORK/p-$name.err" &
    PID[$name]=$!
    EXPORTS+=("${PID[$name]}")
    [[ $name != "${order[0]}" ]] || nap "$delay"
  done
  wait "${PID[Alpha]}"
  alpha_status=$?
  wait "${PID[Beta]}"
  beta_status=$?
  [[ -z ${VERBOSE:-} ]] || echo "   $context: ${order[1]} $(ms "$delay") ms after ${order[0]}," \
    "statuses: Alpha $alpha_status, Beta $beta_status"
  ((alpha_status == 0)) || fail parallel "$context: the export of Alpha failed ($alpha_status):" \
    "$(last_line "$WORK/p-Alpha.err")"
  ((beta_status == 0)) || fail parallel "$context: the export of Beta failed ($beta_status):" \
    "$(last_line "$WORK/p-Beta.err")"
  if [[ $(asset_sums "$REPO") != "$SUMS_TWO" ]]; then
    fail parallel "$context: the two assets differ from the ones exported one after the other:"
    explain "$REPO" reference "$SUMS_TWO"
  fi
  check_clean parallel "$context" "$REPO"
done

# --- 4. The lock -------------------------------------------------------------

lap
echo "4. a second export of the asset while a long one runs"
REPO=$WORK/locked
cp -a "$WORK/ref-A" "$REPO"
launch L "$REPO" "$WORK/l-first"
first=$!
now
started=$NOW
# The second starts once the first holds its lock (a hidden file in
# AssetDefinitions), or, should none appear by then, three quarters of the
# way to the first's writing, which is still long before it ends. The
# watching for the lock goes on until the first ends.
lock_seen= second=
while [[ ! -e $WORK/l-first.end ]]; do
  if [[ -z $lock_seen ]]; then
    for lock in "$REPO"/AssetDefinitions/.*; do
      [[ $lock == */. || $lock == */.. || $lock == *.tmp ]] || lock_seen=$lock
    done
  fi
  if [[ -z $second ]]; then
    now
    if [[ -n $lock_seen ]] || ((NOW - started >= WRITE_FROM[L] * 3 / 4)); then
      launch L "$REPO" "$WORK/l-second"
      second=$LAUNCHED
    fi
  fi
  nap 2000
done
if [[ -z $second ]]; then
  note "$WORK/l-first.rc" lost
  die "the long export ended before the second one could start (status $NOTE)"
fi
[[ -n $lock_seen ]] || fail lock "no hidden lock file appeared in AssetDefinitions while the first export ran"
wait "$second"
wait "$first"
note "$WORK/l-second.rc" lost
second_status=$NOTE
note "$WORK/l-first.rc" lost
first_status=$NOTE
note "$WORK/l-second.end" 0
second_end=$NOTE
note "$WORK/l-first.end" 0
first_end=$NOTE
echo "   second export: status $second_status after $(ms $((second_end - started))) ms;" \
  "first: status $first_status after $(ms $((first_end - started))) ms"
((second_status == 1)) || fail lock "the second export ended with status $second_status instead of 1"
line=$(last_line "$WORK/l-second.err")
[[ $line == "$LOCK_MESSAGE" ]] ||
  fail lock "the second export's last line of standard error is \"$line\", not \"$LOCK_MESSAGE\""
((second_end < first_end)) || fail lock "the second export did not fail at once: it ended after the first"
((first_status == 0)) || fail lock "the first export failed ($first_status): $(last_line "$WORK/l-first.err")"
if ! holds "$(asset_sums "$REPO")" "${SUMS[L]}"; then
  fail lock "the asset is not wholly the first export's:"
  explain "$REPO" new "${SUMS[L]}" old "${SUMS[A]}"
fi
check_clean lock "after both exports" "$REPO"

# --- Summary -----------------------------------------------------------------

lap
now
echo "ran $(ms $((NOW - T0))) ms"
if ((FAILURES)); then
  echo "FAILED: $FAILURES failed checks:"
  for check in concurrent killed killed-renaming parallel lock; do
    [[ -z ${FAILED[$check]:-} ]] || echo "  $check: ${FAILED[$check]}"
  done
  exit 1
fi
echo "all transaction checks passed"
