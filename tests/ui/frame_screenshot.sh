#!/bin/sh
# Screenshot of a window whose corners are cut by the UI folder's default corner masks, on a
# real X server (Xvfb) with Wine's x11 driver; checks that the corners show the screen behind.
#
# usage: frame_screenshot.sh MEDLEY_EXE OUT_PNG
# Needs xvfb-run, ImageMagick's import and convert, and wine.  The Wine prefix is its own
# (beside OUT_PNG), since the tests' prefix uses the null graphics driver.
set -e
exe=$1
out=$2
dir=$(dirname "$out")
export WINEPREFIX="$dir/wineprefix-x11"
export WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/.medley-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 </dev/null || true
  wineserver -w
  touch "$WINEPREFIX/.medley-ready"
fi
# The window: 240 x 160 at (100, 100) on a black screen.
xvfb-run -a -s "-screen 0 640x400x24" sh -c '
  rm -f "$1.window.png"
  wine "$0" ui frame "$1.window.png" --at 100 100 --size 240 160 --hold 5000 &
  # The window is up once its own picture is written.
  n=0
  while [ ! -f "$1.window.png" ] && [ $n -lt 600 ]; do sleep 0.1; n=$((n + 1)); done
  sleep 0.5
  import -window root "$1"
  wait
  wineserver -w' "$exe" "$out"
conv=/usr/bin/convert
[ -x "$conv" ] || conv=convert
pixel() { "$conv" "$out" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:; }
status=0
# Cut corners: the black screen shows through at each corner of the window.
for xy in "100 100" "339 100" "339 259" "100 259"; do
  set -- $xy
  p=$(pixel "$1" "$2")
  [ "$p" = "0,0,0" ] || { echo "corner ($1, $2) is $p, not the screen behind"; status=1; }
done
# Inside, and along the edges away from the corners: the window's own paint.
for xy in "220 180" "220 100" "100 180"; do
  set -- $xy
  p=$(pixel "$1" "$2")
  [ "$p" != "0,0,0" ] || { echo "($1, $2) should be the window"; status=1; }
done
[ $status -eq 0 ] && echo "corners cut: $out"
exit $status
