#!/bin/sh
# The confirmation dialog and the image view rendered by medley.exe into PNG files (kept in the
# build folder to be looked at), and their pixels checked: the dialog's cut corners are
# transparent, its ground is the template's colour, its buttons show their pictures; the view
# shows its picture where it was placed.  (Where the message is drawn is checked in process.)
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
"$run" "$exe" ui snapshot confirm "$dir/ui-confirm.png"
"$run" "$exe" ui snapshot confirm-yesno "$dir/ui-confirm-yesno.png"
"$run" "$exe" ui snapshot view "$dir/ui-view.png"

for f in ui-confirm.png ui-confirm-yesno.png; do
  p="$dir/$f"
  expect "$p" 0 0 "0,0,0,0" "a cut corner"
  expect "$p" 359 139 "0,0,0,0" "a cut corner"
  expect "$p" 180 20 "30,60,110,255" "the template's ground"
done
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
