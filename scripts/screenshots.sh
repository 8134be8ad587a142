#!/usr/bin/env bash
# Takes the README's two screenshots under a private Xvfb display: the dialog
# filled in (docs/dialog.png) and the completion box over it (docs/done.png).
# The e2e driver works the program and says when each screen is ready.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh

cmake --preset "$XCONV_PRESET" >/dev/null
cmake --build --preset "$XCONV_PRESET" --target XConv xconv_e2e
root=$PWD
build=$root/build/$XCONV_PRESET

# The box shows at the centre of the screen: just below the dialog.
start_xvfb 468x650
if [ "$(id -u)" = 0 ]; then
  mkdir -p "build/$XCONV_PREFIX"
  chown "$XCONV_USER:" "build/$XCONV_PREFIX"
fi
as_wine_user bash -c '. scripts/wine-env.sh && make_prefix "$PWD/build/$XCONV_PREFIX" unmanaged'
export WINEPREFIX=$root/build/$XCONV_PREFIX

# The program converts a small model in a folder of its own.
work=$(mktemp -d)
trap 'rm -rf "$work"; kill "$XVFB_PID" 2>/dev/null || true' EXIT
printf ' MeshMaterialList {\n   TextureFilename {\n    "wood.bmp";\n MeshNormals {\n' >"$work/model.x"
[ "$(id -u)" = 0 ] && chown -R "$XCONV_USER:" "$work"

# Crops the screen to the rectangle "left top right bottom".
shot()
{
  local l=$1 t=$2 r=${3} b=${4%$'\r'} out=$5  # the Windows console ends lines with CR LF
  xwd -root -silent | convert xwd:- -crop "$((r - l))x$((b - t))+$l+$t" +repage "$out"
  echo "screenshots: $out"
}

mkdir -p docs
coproc POSE { cd "$work" && as_wine_user "$XCONV_WINE" "$build/tests/e2e/xconv_e2e.exe" --pose "$build/ui/XConv.exe"; }
read -r what l t r b <&"${POSE[0]}" && [ "$what" = dialog ]
shot "$l" "$t" "$r" "$b" docs/dialog.png
echo >&"${POSE[1]}"
read -r what l t r b <&"${POSE[0]}" && [ "$what" = box ]
shot "$l" "$t" "$r" "$b" docs/done.png
echo >&"${POSE[1]}"
wait "$POSE_PID"
