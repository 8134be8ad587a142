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

# Crops the screen to the rectangle "left top right bottom".
shot()
{
  local l=$1 t=$2 r=${3} b=${4%$'\r'} out=$5  # the Windows console ends lines with CR LF
  xwd -root -silent | convert xwd:- -crop "$((r - l))x$((b - t))+$l+$t" +repage "$out"
  echo "screenshots: $out"
}

# Takes the screen that the driver reports next, past the test runner's own
# lines, and lets it go on.
next_shot()
{
  local what l t r b
  while read -r what l t r b <&"${POSE[0]}"; do
    if [ "$what" = "$1" ]; then
      shot "$l" "$t" "$r" "$b" "$2"
      echo >&"${POSE[1]}"
      return
    fi
  done
  echo "screenshots: the driver ended before showing the $1" >&2
  return 1
}

mkdir -p docs
coproc POSE { as_wine_user "$XCONV_WINE" "$build/tests/e2e/xconv_e2e.exe" --gtest_also_run_disabled_tests \
  --gtest_filter=XConvTest.DISABLED_Pose "$build/ui/XConv.exe"; }
next_shot dialog docs/dialog.png
next_shot box docs/done.png
wait "$POSE_PID"
