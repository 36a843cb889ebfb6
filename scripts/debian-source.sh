# What the scripts that cross-build a library for Windows share: which
# Windows they build for and where the result goes, and fetching the Debian
# source package they build (Debian ships no mingw-w64 build of these
# libraries). Sourced by scripts/mingw-*.sh, not run.
#
# The source entry comes from the machine's Debian entry, turned into a
# deb-src entry inside a private apt configuration: the machine's own apt
# configuration and package lists stay as they are.

# mingw_target TAG
# Sets `root` (the checkout), `arch` (VELDARA_MINGW_ARCH: i686, the default,
# or x86_64) and `deps` (VELDARA_MINGW_DEPS, by default build/mingw-deps for
# i686 and build/mingw-deps-x86_64 for x86_64). TAG starts the messages.
mingw_target() {
  local tag="$1" default_deps
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  arch="${VELDARA_MINGW_ARCH:-i686}"
  case "$arch" in
    i686) default_deps="$root/build/mingw-deps" ;;
    x86_64) default_deps="$root/build/mingw-deps-x86_64" ;;
    *) echo "$tag: VELDARA_MINGW_ARCH must be i686 or x86_64, not $arch" >&2; return 1 ;;
  esac
  deps="${VELDARA_MINGW_DEPS:-$default_deps}"
}

# fetch_debian_source TAG PACKAGE APT_DIR WORK_DIR
# Unpacks the source package PACKAGE into WORK_DIR and prints the folder it
# unpacked into. TAG starts the script's messages. Both folders are made
# afresh.
fetch_debian_source() {
  local tag="$1" package="$2" apt_dir="$3" work="$4"
  local machine_sources=/etc/apt/sources.list.d/debian.sources
  if [ ! -f "$machine_sources" ]; then
    echo "$tag: $machine_sources not found; it names the Debian archive the source package comes from" >&2
    return 1
  fi
  rm -rf "$apt_dir" "$work"
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$work"

  # The same archives, suites, components and keys as the machine's entry, for
  # source packages only.
  sed -E 's/^Types:.*/Types: deb-src/' "$machine_sources" > "$apt_dir/sources.list.d/debian-src.sources"

  local apt_private=(
    -o "Dir::Etc::SourceList=/dev/null"
    -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
    -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache=$apt_dir/cache"
    -o "Dir::Cache::pkgcache="
    -o "Dir::Cache::srcpkgcache="
    -o "APT::Sandbox::User=root"
    -q
  )

  echo "$tag: fetching Debian's $package source package" >&2
  apt-get "${apt_private[@]}" update >"$work/apt-update.log" 2>&1 || {
    cat "$work/apt-update.log" >&2
    echo "$tag: could not read the Debian source lists" >&2
    return 1
  }
  (cd "$work" && apt-get "${apt_private[@]}" source "$package") >"$work/apt-source.log" 2>&1 || {
    cat "$work/apt-source.log" >&2
    echo "$tag: could not fetch the $package source package" >&2
    return 1
  }

  local src
  src="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1)"
  if [ -z "$src" ]; then
    echo "$tag: the source package unpacked into no $package folder" >&2
    return 1
  fi
  printf '%s\n' "$src"
}
