#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not yet
# installed:
#   install-packages.sh REQUIRED... [--optional OPTIONAL...]
#
# A package archive is not always consistent: while a mirror synchronises,
# one of its indexes may fail to download (apt-get update then exits with an
# error) and the packages of one architecture may lag behind the other's, so
# that an i386 package cannot be installed beside its amd64 libraries. So:
# - the index is updated up to three times, and then used as it is;
# - what cannot be installed is named with apt's own reason, in one line;
# - a required package that cannot be installed stops the script (status 1),
#   an optional one only says so and the rest is installed all the same.
# When everything is installed already, no package server is asked.
set -euo pipefail

required=() optional=()
target=required
for arg in "$@"; do
  if [ "$arg" = --optional ]; then target=optional; continue; fi
  if [ "$target" = required ]; then required+=("$arg"); else optional+=("$arg"); fi
done

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing_of() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

mapfile -t missing_required < <(missing_of "${required[@]}")
mapfile -t missing_optional < <(missing_of "${optional[@]+"${optional[@]}"}")
[ ${#missing_required[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
pause="${SETUP_RETRY_PAUSE:-10}"
updated=no
for attempt in 1 2 3; do
  if as_root apt-get update -q; then updated=yes; break; fi
  [ "$attempt" -lt 3 ] && sleep "$pause"
done
if [ "$updated" = no ]; then
  echo "setup: the package index could not be updated completely (three tries); going on with the index this machine has"
fi

# apt's reason why PACKAGE cannot be installed, from its output: the line
# about the package itself, else the first unmet dependency, else the first
# error.
reason_of() {
  local package="$1" output="$2" line
  line="$(grep -m1 -F " ${package} : " <<<"$output" || true)"
  [ -n "$line" ] || line="$(grep -m1 -E '^ +[^ ]+ : (Pre-)?Depends: ' <<<"$output" || true)"
  [ -n "$line" ] || line="$(grep -m1 '^E: ' <<<"$output" || true)"
  [ -n "$line" ] || line="apt-get install failed"
  echo "$line" | sed 's/^ *//; s/  */ /g'
}

install() { as_root apt-get install -y -q --no-install-recommends "$@" 2>&1; }

all=("${missing_required[@]+"${missing_required[@]}"}" "${missing_optional[@]+"${missing_optional[@]}"}")
echo "setup: installing ${all[*]}"
install "${all[@]}" >/dev/null && exit 0

# Something cannot be installed: the required packages together first, then
# each optional one on its own, so that one broken package keeps none of the
# others out.
if [ ${#missing_required[@]} -gt 0 ]; then
  if ! output="$(install "${missing_required[@]}")"; then
    for p in "${missing_required[@]}"; do
      installed "$p" && continue
      if ! one="$(install "$p")"; then
        echo "setup: cannot install the package $p: $(reason_of "$p" "$one")" >&2
        exit 1
      fi
    done
    echo "setup: cannot install the packages ${missing_required[*]} together: $(reason_of "${missing_required[0]}" "$output")" >&2
    exit 1
  fi
fi
for p in "${missing_optional[@]+"${missing_optional[@]}"}"; do
  if ! one="$(install "$p")"; then
    echo "setup: left out the optional package $p: $(reason_of "$p" "$one")"
  fi
done
exit 0
