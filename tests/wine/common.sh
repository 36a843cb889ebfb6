# Shared by the Wine tests: paths as Wine's programs see them, and a fresh
# work folder. Sourced, not run.

# A POSIX path as a Windows path on Wine's Z: drive, which maps "/".
winpath() {
  local path="$1"
  printf 'Z:%s' "${path//\//\\}"
}

# An empty work folder for one test under the build folder.
fresh_folder() {
  rm -rf "$1"
  mkdir -p "$1"
}

# The repository folders the export needs (what `export --init` creates).
make_repository() {
  mkdir -p "$1/Meshes" "$1/Materials" "$1/Textures" "$1/Physics" "$1/AssetDefinitions"
}
