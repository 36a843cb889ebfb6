#!/usr/bin/env bash
# What the warning about a replaced shared texture costs. Textures/ is shared
# by every asset, and an export that replaces a texture with other bytes
# reads every material definition of the repository to name the assets
# using it. This fills a repository with N assets (their definitions, 1 in 10
# in a folder of its own; 1 in 100 lists the crate's wood texture) and
# exports the crate into it RUNS times as each case needs, printing the
# median wall time of: an export whose textures are already there with the
# same bytes (no definition is read), and one whose wood texture replaces a
# different file (every definition is read, and the users are named).
#
#   bench/texture-users.sh                       (after a release build)
#   N=5000 RUNS=7 TOOL=build/debug/src/cli/veldara-export bench/texture-users.sh
set -euo pipefail
cd "$(dirname "$0")/.."

N=${N:-5000}
RUNS=${RUNS:-7}
TOOL=${TOOL:-build/release/src/cli/veldara-export}
WORK=${WORK:-build/texture-users}
[ -x "$TOOL" ] || { echo "texture-users: $TOOL is missing (cmake --preset release && cmake --build --preset release)" >&2; exit 1; }
rm -rf "$WORK" && mkdir -p "$WORK"
REPO=$WORK/Repository
mkdir -p "$REPO"/{Meshes,Materials,Textures,Physics,AssetDefinitions/Folder}

# The definitions as the exporter writes them, one pair per asset.
awk -v n="$N" -v root="$REPO/AssetDefinitions" 'BEGIN {
  for (i = 0; i < n; i++) {
    folder = i % 10 == 0 ? "Folder/" : ""
    texture = i % 100 == 0 ? "crate_wood.png" : "t" i ".png"
    file = root "/" folder "A" i "_Material.asset"
    printf "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<AssetDefinition>\r\n  <Name>A%d_Material</Name>\r\n  <Description>A%d</Description>\r\n  <Type>Material</Type>\r\n  <Category>Props</Category>\r\n  <Files>\r\n    <AssetFile>\r\n      <TargetFile>Materials\\A%d.material</TargetFile>\r\n      <FileType>Material</FileType>\r\n    </AssetFile>\r\n    <AssetFile>\r\n      <TargetFile>Textures\\%s</TargetFile>\r\n      <FileType>Texture</FileType>\r\n    </AssetFile>\r\n  </Files>\r\n</AssetDefinition>\r\n", i, i, i, texture > file
    close(file)
    file = root "/" folder "A" i "_Mesh.asset"
    printf "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<AssetDefinition>\r\n  <Name>A%d_Mesh</Name>\r\n  <Files>\r\n    <AssetFile>\r\n      <TargetFile>Meshes\\A%d.mesh</TargetFile>\r\n      <FileType>Mesh</FileType>\r\n    </AssetFile>\r\n  </Files>\r\n</AssetDefinition>\r\n", i, i > file
    close(file)
  }
}'

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Milliseconds of one export of the crate; SAME=1 leaves the wood texture
# as the export writes it, SAME=0 puts other bytes there first.
export_once() {
  [ "$1" = 1 ] || printf 'other bytes' > "$REPO/Textures/crate_wood.png"
  local start end
  start=$(date +%s%N)
  "$TOOL" export examples/crate.xml --repository "$REPO" --asset Crate --quiet > /dev/null 2> "$WORK/err"
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

export_once 1 > /dev/null  # the crate's own files in place, caches warm
for same in 1 0; do
  times=$(for _ in $(seq "$RUNS"); do export_once "$same"; done | median)
  if [ "$same" = 1 ]; then
    echo "textures unchanged:            $times ms (median of $RUNS)"
  else
    echo "wood texture replaced, warned: $times ms (median of $RUNS; $N assets' definitions read)"
  fi
done
echo "the warning: $(grep -c 'replaces a different file' "$WORK/err") line(s), naming $(grep -o 'used by .*' "$WORK/err" | tr ',' '\n' | wc -l) assets"
