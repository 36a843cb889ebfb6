#!/usr/bin/env bash
# The plug-in as the editor uses it, under Wine and Xvfb: tarnix-host loads
# the DLL, serves the crate sample scene and drives the export dialog (see
# tools/tarnix_host/TarnixHost.cpp). Then the repository the plug-in wrote is
# compared byte for byte with the one the native command line writes for the
# same scene, and the warnings the dialog showed with those the tool prints;
# a last export with the dialog's "Optimise for drawing" checked is compared
# with what the tool writes with --optimize.
# The dialog's screenshot is left in the build folder as plugin-dialog.png.
#
#   plugin_dialog_test.sh SOURCE_DIR BUILD_DIR DLL HOST_EXE NATIVE_TOOL
set -euo pipefail
source_dir="$1" build_dir="$2" dll="$3" host="$4" native_tool="$5"
source "$(dirname "$0")/common.sh"

if [ ! -x "$native_tool" ]; then
  echo "the native veldara-export is missing at $native_tool: build the release preset first" >&2
  exit 1
fi

work="$build_dir/wine-tests/plugin-dialog"
fresh_folder "$work"
# The crate sample with one more collision volume, a sphere without vertices,
# which the export skips with a warning: the dialog must show it.
scene="$work/crate-with-warning.xml"
sed 's|</primitives>|<primitive id="broken" name="vdcv_broken" type="sphere" visible="true" snap="none" autoUV="false"><vertices /><polygons /></primitive></primitives>|' \
  "$source_dir/examples/crate.xml" > "$scene"

# The plug-in in a folder of its own, beside its stand-in editor, so that its
# settings file starts afresh beside it.
mkdir -p "$work/plugin"
cp "$dll" "$host" "$work/plugin/"

# The editor's install folder with its settings: textures in the samples folder.
mkdir -p "$work/tarnix"
printf '[Dirs]\r\ntexturefiles=%s\\\r\n' "$(winpath "$source_dir/examples")" > "$work/tarnix/Tarnix.ini"

make_repository "$work/repo-native"
make_repository "$work/repo-native-optimized"

echo "== native: veldara-export export, and with --optimize"
"$native_tool" export "$scene" --repository "$work/repo-native" --asset Crate --category Props --scale 10 \
  --texture-dir "$source_dir/examples/" > "$work/native.out" 2> "$work/native.err"
"$native_tool" export "$scene" --repository "$work/repo-native-optimized" --asset Crate --category Props --scale 10 \
  --texture-dir "$source_dir/examples/" --optimize > /dev/null 2>&1

echo "== Wine: tarnix-host drives the dialog"
# A Wine prefix of its own: its programs live on this test's X display, which
# ends with the test, so its server must not linger for other tests.
export VELDARA_WINEPREFIX="$build_dir/wineprefix-gui" VELDARA_WINE_LINGER=0
# The plug-in's repositories lie on the prefix's drive C:, as C:\Veldara\Assets
# (the registry's default, which the dialog opens on and so its screenshot
# shows, with no path of the build machine) and C:\Veldara\Export (typed in
# the dialog, where the export goes). So the prefix is made first:
# wine-run.sh makes it on first use. Its server, which has no display, is
# gone before the one on the test's display starts.
"$build_dir/wine-run.sh" cmd /c exit
WINEPREFIX="$VELDARA_WINEPREFIX" timeout 60 wineserver -w || true
veldara="$VELDARA_WINEPREFIX/drive_c/Veldara"
rm -rf "$veldara"
repo_default="$veldara/Assets" repo_default_windows='C:\Veldara\Assets'
repo_plugin="$veldara/Export" repo_plugin_windows='C:\Veldara\Export'
repo_optimized="$veldara/Optimized" repo_optimized_windows='C:\Veldara\Optimized'
make_repository "$repo_default"
make_repository "$repo_plugin"
make_repository "$repo_optimized"
# Wine's folder dialog finds its starting folder in its tree by comparing
# item identifiers, which hold each folder's last access time; a folder read
# for the first time since it was made gets a new one (relatime) between the
# two, and the dialog would stop short of it. Read once, they stay put.
ls -R "$veldara" > /dev/null
status=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$@"
  status=$?
  # Let the prefix'\''s Wine server and its programs end while the display is there.
  WINEPREFIX="$VELDARA_WINEPREFIX" timeout 30 wineserver -k >/dev/null 2>&1 || true
  exit $status' _ \
  "$build_dir/wine-run.sh" "$work/plugin/tarnix-host.exe" \
  --scene "$(winpath "$scene")" \
  --install-dir "$(winpath "$work/tarnix")" \
  --repository "$repo_plugin_windows" \
  --default-repository "$repo_default_windows" \
  --optimized-repository "$repo_optimized_windows" \
  --screenshot "$(winpath "$work/dialog.bmp")" \
  --warnings "$(winpath "$work/warnings.txt")" || status=$?
if [ "$status" -ne 0 ]; then
  echo "tarnix-host failed (status $status)" >&2
  exit 1
fi

if [ -f "$work/dialog.bmp" ]; then
  # Without the time stamps ImageMagick adds, the same dialog gives the same
  # file, so a copy into docs/ changes only when the dialog does.
  convert "$work/dialog.bmp" -define png:exclude-chunks=date,time "$build_dir/plugin-dialog.png"
  echo "screenshot: $build_dir/plugin-dialog.png"
fi

echo "== the plug-in's repository against the native tool's"
diff -r "$work/repo-native" "$repo_plugin"
find "$repo_plugin" -type f | sort | sed "s|$repo_plugin/|  same: |"
echo "== the plug-in's optimized export against the native tool's --optimize"
diff -r "$work/repo-native-optimized" "$repo_optimized"
if cmp -s "$work/repo-native/Meshes/Crate.mesh" "$repo_optimized/Meshes/Crate.mesh"; then
  echo "the check box changed nothing: the optimized mesh is the plain one" >&2
  exit 1
fi
echo "  same: the optimized asset, byte for byte"
if [ -n "$(ls -A "$repo_default/Meshes")" ]; then
  echo "the plug-in wrote into the default repository, not the one typed" >&2
  exit 1
fi

echo "== warnings"
# The tool's last line counts its warnings; the dialog's heading does that.
sed -n 's/^warning: //p' "$work/native.err" | { grep -Ev '^[0-9]+ warnings?$' || true; } > "$work/native-warnings.txt"
# The dialog lists the warnings under one heading line and a blank line.
tr -d '\r' < "$work/warnings.txt" | awk 'NR > 2' > "$work/dialog-warnings.txt"
if ! diff "$work/native-warnings.txt" "$work/dialog-warnings.txt"; then
  echo "the dialog showed other warnings than the tool printed" >&2
  exit 1
fi
if [ ! -s "$work/native-warnings.txt" ]; then
  echo "the scene gave no warning, so the dialog's message box went untested" >&2
  exit 1
fi
echo "$(wc -l < "$work/native-warnings.txt") warning(s), the same in both:"
sed 's/^/  /' "$work/dialog-warnings.txt"
echo "1 passed, 0 failed"
