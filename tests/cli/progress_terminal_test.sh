#!/usr/bin/env bash
# The tool's progress line as a person at a terminal sees it, and as a
# pipeline does not: a generated scene long enough to pass the half-second
# delay is exported with standard error on a pseudo-terminal (made by
# util-linux's `script`), on a pipe, and on the terminal with --quiet.
#
#   progress_terminal_test.sh VELDARA_EXPORT GENERATE_SCENE WORK_DIR
set -euo pipefail
export_tool="$1" generate="$2" work="$3/progress-terminal"
rm -rf "$work"
mkdir -p "$work"
# 200 thousand polygons take seconds to export, also in a release build.
"$generate" 200000 > "$work/scene.xml"

failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# What a terminal shows of a log at the end, line by line: after each
# carriage return the text overwrites the line, so the last piece with
# anything but blanks in it is what stays visible.
shown() {
  awk '{ n = split($0, piece, "\r"); line = "";
         for (i = n; i >= 1; i--) if (piece[i] ~ /[^ ]/) { line = piece[i]; break }
         sub(/ +$/, "", line); print line }' "$1"
}

# Runs the export with standard error (and input) on a pseudo-terminal;
# standard output goes to a file, so the log holds only standard error.
on_terminal() {
  local name="$1"
  shift
  EXPORT="$export_tool" SCENE="$work/scene.xml" REPO="$work/Repo-$name" OUT="$work/$name.out" \
    script -q -e -c 'exec "$EXPORT" export "$SCENE" --repository "$REPO" --asset Level --init '"$*"' > "$OUT"' \
    "$work/$name.log" > /dev/null
  # The log's first line and its last two (an empty one and the closing
  # note) are script's own; the pseudo-terminal ends lines with a carriage
  # return and a line feed.
  sed '1d' "$work/$name.log" | sed '$d' | sed '$d' | sed 's/\r$//' > "$work/$name.err"
}

echo "== on a terminal"
on_terminal tty
grep -a -q $'\rProcessing primitives\\.\\.\\. [0-9]*%' "$work/tty.err" || fail "no progress line on the terminal"
grep -a -q $'\rReading scene file\\.\\.\\. [0-9]*%' "$work/tty.err" || fail "the reading of the scene shows no progress"
if shown "$work/tty.err" | grep -q '%$'; then
  fail "a progress line stays on the terminal:"
  shown "$work/tty.err" | grep '%$' >&2
fi
first_warning="$(grep -a -m 1 'warning: ' "$work/tty.err" || true)"
[ -n "$first_warning" ] || fail "the scene gave no warning, so the erasing before one went untested"
case "$first_warning" in
  warning:*) fail "the first warning came without the progress line erased before it" ;;
  *$'\r'*$'\r'warning:*) ;;
  *) fail "the line before the first warning was not erased: $(printf '%q' "$first_warning")" ;;
esac

echo "== on a pipe"
"$export_tool" export "$work/scene.xml" --repository "$work/Repo-ppe" --asset Level --init \
  > "$work/pipe.out" 2> "$work/pipe.err"
if grep -a -q $'\r' "$work/pipe.err" || grep -a -v -q '^warning: ' "$work/pipe.err"; then
  fail "standard error on a pipe holds more than the warnings:"
  head -c 400 "$work/pipe.err" | od -c | head -n 10 >&2
fi
shown "$work/tty.err" | grep -v '^$' > "$work/tty-shown.txt" || true
diff "$work/pipe.err" "$work/tty-shown.txt" > /dev/null || fail "the terminal shows other warnings than the pipe gets"
sed 's/Repo-ppe/Repo-tty/' "$work/pipe.out" | diff - "$work/tty.out" > /dev/null ||
  fail "standard output differs between the terminal and the pipe"

echo "== on a terminal, --quiet"
on_terminal quiet --quiet
if grep -a -q $'\r[A-Z][a-z]* [a-z]* *[a-z]*\\.\\.\\. [0-9]*%' "$work/quiet.err"; then
  fail "--quiet shows progress"
fi
diff "$work/pipe.err" "$work/quiet.err" > /dev/null || fail "--quiet on a terminal shows other text than a pipe gets"

[ "$failed" -ne 0 ] || rm -rf "$work"
if [ "$failed" -ne 0 ]; then
  echo "0 passed, 1 failed"
  exit 1
fi
echo "1 passed, 0 failed"
