#!/bin/sh
# The confirmation dialog and the image view rendered by medley.exe into PNG files (kept in the
# build folder to be looked at), and their pixels checked: the dialog's cut corners are
# transparent, its ground is the template's colour, the one-line message sits centred and the
# two-line one starts at the area's top-left; the view shows its picture where it was placed.
#
# usage: snapshot_check.sh WINE_RUN MEDLEY_EXE OUT_DIR
set -e
run=$1
exe=$2
dir=$3
mkdir -p "$dir"
conv=/usr/bin/convert
[ -x "$conv" ] || conv=convert
status=0
pixel() { "$conv" "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)],%[fx:int(255*p{$2,$3}.a)]" info:; }
expect() {  # file x y want what
  got=$(pixel "$1" "$2" "$3")
  [ "$got" = "$4" ] || { echo "$(basename "$1") ($2, $3) is $got, not $4: $5"; status=1; }
}
# The white pixels' bounding box inside a rectangle: "left top right bottom" (inclusive).
white_box() {
  "$conv" "$1" -crop "$4x$5+$2+$3" +repage -fx "(r>0.8&&g>0.8&&b>0.8)?1:0" -format "%@" info:
}

"$run" "$exe" ui snapshot confirm "$dir/ui-confirm.png"
"$run" "$exe" ui snapshot confirm-yesno "$dir/ui-confirm-yesno.png"
"$run" "$exe" ui snapshot view "$dir/ui-view.png"

for f in ui-confirm.png ui-confirm-yesno.png; do
  p="$dir/$f"
  expect "$p" 0 0 "0,0,0,0" "a cut corner"
  expect "$p" 359 139 "0,0,0,0" "a cut corner"
  expect "$p" 180 20 "30,60,110,255" "the template's ground"
done
# The message area is (16, 32)-(344, 94): 328 x 62.
one=$(white_box "$dir/ui-confirm.png" 16 32 328 62)   # WxH+X+Y of the text
two=$(white_box "$dir/ui-confirm-yesno.png" 16 32 328 62)
echo "one line: $one; two lines: $two"
w1=${one%%x*}; r1=${one#*x}; h1=${r1%%+*}; r1=${r1#*+}; x1=${r1%%+*}; y1=${r1#*+}
w2=${two%%x*}; r2=${two#*x}; h2=${r2%%+*}; r2=${r2#*+}; x2=${r2%%+*}; y2=${r2#*+}
# Centred: equal margins left and right, above and below (within 6 and 3 pixels: the ink of
# the last letter ends before its advance).
d=$(( x1 - (328 - x1 - w1) )); [ ${d#-} -le 6 ] || { echo "one line not centred across ($one)"; status=1; }
d=$(( y1 - (62 - y1 - h1) )); [ ${d#-} -le 3 ] || { echo "one line not centred down ($one)"; status=1; }
# From the top-left, on two lines.
[ "$x2" -le 2 ] && [ "$y2" -le 4 ] || { echo "two lines do not start at the top-left ($two)"; status=1; }
[ "$h2" -gt $(( h1 + 4 )) ] || { echo "two lines are not taller than one ($two, $one)"; status=1; }
# OK style: b_OK (96, 104) is the grey blank "invalid" picture, b_Cancel (192, 104) the blue OK.
expect "$dir/ui-confirm.png" 100 122 "106,106,106,255" "b_OK shows invalid.bmp"
expect "$dir/ui-confirm.png" 196 122 "58,120,200,255" "b_Cancel shows ok1.bmp"
expect "$dir/ui-confirm-yesno.png" 100 122 "46,139,87,255" "b_OK shows Yes1.bmp"
expect "$dir/ui-confirm-yesno.png" 196 122 "176,58,58,255" "b_Cancel shows no1.bmp"
# The view at (40, 30)-(200, 150) shows the ramp with its white frame; outside is the window.
expect "$dir/ui-view.png" 40 30 "255,255,255,255" "the picture's frame at the view's corner"
expect "$dir/ui-view.png" 199 149 "255,255,255,255" "the picture's frame at the view's far corner"
[ "$(pixel "$dir/ui-view.png" 39 29)" != "255,255,255,255" ] || { echo "the picture reaches outside the view"; status=1; }
[ $status -eq 0 ] && echo "snapshots OK: $dir/ui-confirm.png $dir/ui-confirm-yesno.png $dir/ui-view.png"
exit $status
