#!/bin/bash
# install_packages_test.sh SCRIPT
#
# The decisions of scripts/install-packages.sh, made against a fake apt-get
# and dpkg-query on the PATH that play a package archive in trouble: an index
# that fails to download, a package that cannot be installed. Nothing of the
# machine's own packages is touched. Every failed check prints a line
# starting with "FAIL"; the script ends with a summary and a non-zero status
# if anything failed.
set -u
script="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

# The fake tools read their behaviour from files in $work:
#   installed        the packages dpkg-query reports as installed, one a line
#   update-failures  how many more calls of apt-get update fail
#   broken           packages apt-get install refuses, with apt's reason
# and log every apt-get call to calls.
mkdir -p "$work/bin"
cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/bash
package="${@: -1}"
grep -qxF "$package" "$FAKE/installed" 2>/dev/null && { printf 'install ok installed'; exit 0; }
exit 1
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/bash
echo "apt-get $*" >>"$FAKE/calls"
if [ "$1" = update ]; then
  left="$(cat "$FAKE/update-failures" 2>/dev/null || echo 0)"
  if [ "$left" -gt 0 ]; then
    echo $((left - 1)) >"$FAKE/update-failures"
    echo "E: Failed to fetch binary-i386/Packages.xz  File has unexpected size. Mirror sync in progress?" >&2
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    exit 100
  fi
  exit 0
fi
shift  # install
packages=()
for arg in "$@"; do case "$arg" in -*) ;; *) packages+=("$arg") ;; esac; done
for p in "${packages[@]}"; do
  if grep -q "^$p " "$FAKE/broken" 2>/dev/null; then
    echo "The following packages have unmet dependencies:"
    echo " $(grep "^$p " "$FAKE/broken")"
    echo "E: Unable to correct problems, you have held broken packages." >&2
    exit 100
  fi
done
printf '%s\n' "${packages[@]}" >>"$FAKE/installed"
EOF
chmod +x "$work/bin/"*

# run NAME ARGS...: runs the script in a fresh fake archive set up by the
# files already written to $work/NAME; sets out and status.
run() {
  local case="$1"
  shift
  export FAKE="$work/$case"
  mkdir -p "$FAKE"
  out="$(PATH="$work/bin:$PATH" SETUP_RETRY_PAUSE=0 bash "$script" "$@" 2>&1)"
  status=$?
}
check() {  # check DESCRIPTION CONDITION...
  local description="$1"
  shift
  if "$@"; then passed=$((passed + 1)); else
    failed=$((failed + 1))
    echo "FAIL: $description"
    echo "  output: $out"
    echo "  apt-get calls: $(tr '\n' ';' <"$FAKE/calls" 2>/dev/null)"
  fi
}
calls() { grep -c "$1" "$FAKE/calls" 2>/dev/null || true; }
is_installed() { grep -qxF "$1" "$FAKE/installed"; }

# Everything installed already: no package server is asked.
mkdir -p "$work/present" && printf 'a\nb\n' >"$work/present/installed"
run present a b
check "nothing missing: status 0" [ "$status" -eq 0 ]
check "nothing missing: apt-get is not called" [ ! -e "$FAKE/calls" ]

# An index that fails twice: the update is tried again, the packages installed.
mkdir -p "$work/flaky" && echo 2 >"$work/flaky/update-failures"
run flaky a b
check "flaky index: status 0" [ "$status" -eq 0 ]
check "flaky index: update tried three times" [ "$(calls 'apt-get update')" -eq 3 ]
check "flaky index: both installed" bash -c "grep -qx a '$FAKE/installed' && grep -qx b '$FAKE/installed'"
check "flaky index: no complaint when the update finally worked" bash -c "! grep -q 'could not be updated' <<<\"\$0\"" "$out"

# An index that never downloads whole: the script goes on with what it has.
mkdir -p "$work/stale" && echo 99 >"$work/stale/update-failures"
run stale a
check "stale index: status 0 when the packages are installable" [ "$status" -eq 0 ]
check "stale index: said once, in one line" [ "$(grep -c 'could not be updated' <<<"$out")" -eq 1 ]
check "stale index: installed all the same" is_installed a

# An optional package that cannot be installed: named with apt's reason, the rest installed.
mkdir -p "$work/skew" && echo 99 >"$work/skew/update-failures"
echo "wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed" >"$work/skew/broken"
run skew a b --optional wine32:i386
check "optional broken: status 0" [ "$status" -eq 0 ]
check "optional broken: the required packages installed" bash -c "grep -qx a '$FAKE/installed' && grep -qx b '$FAKE/installed'"
check "optional broken: named with the reason in one line" \
  bash -c "grep -q '^setup: left out the optional package wine32:i386: wine32:i386 : Depends: libwine:i386' <<<\"\$0\"" "$out"

# A required package that cannot be installed: status 1, the package and why.
mkdir -p "$work/broken"
echo "libogre-1.12-dev : Depends: libogre1.12.10 (= 1.12.10+dfsg2-1+b1) but 1.12.10+dfsg2-1 is to be installed" \
  >"$work/broken/broken"
run broken cmake libogre-1.12-dev
check "required broken: status 1" [ "$status" -eq 1 ]
check "required broken: names the package and apt's reason" \
  bash -c "grep -q '^setup: cannot install the package libogre-1.12-dev: libogre-1.12-dev : Depends: libogre1.12.10' <<<\"\$0\"" "$out"
check "required broken: the installable one is not blamed" bash -c "! grep -q 'package cmake' <<<\"\$0\"" "$out"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
