#!/bin/sh
# Regenerates the resource fuzz corpus (fuzz/corpus/resource/): the module's own compiled
# resources from a build folder, plus small .res files compiled from the scripts below.
#   fuzz/make_res_corpus.sh <build-folder>     (needs x86_64-w64-mingw32-windres, python3)
set -eu
build=${1:?usage: make_res_corpus.sh <build-folder>}
here=$(cd "$(dirname "$0")" && pwd)
out=$here/corpus/resource
windres=${WINDRES:-x86_64-w64-mingw32-windres}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

cp "$build/plugin/redll.res" "$out/redll.res"

# Tiny pictures the scripts refer to: a 16x16 two-colour cursor and icon, a 4x2 24-bit bitmap.
python3 - "$work" <<'PY'
import struct, sys
d = sys.argv[1]
def dib1(w, h):
    hdr = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 1, 0, 0, 0, 0, 2, 0)
    pal = b'\x00\x00\x00\x00\xff\xff\xff\x00'
    xor = bytes([0x0F, 0xF0, 0, 0] * h)
    andm = bytes([0xF0, 0x0F, 0, 0] * h)
    return hdr + pal + xor + andm
img = dib1(16, 16)
with open(d + '/tiny.cur', 'wb') as f:
    f.write(struct.pack('<HHH', 0, 2, 1))
    f.write(struct.pack('<BBBBHHII', 16, 16, 2, 0, 3, 5, len(img), 22))
    f.write(img)
with open(d + '/tiny.ico', 'wb') as f:
    f.write(struct.pack('<HHH', 0, 1, 1))
    f.write(struct.pack('<BBBBHHII', 16, 16, 2, 0, 1, 1, len(img), 22))
    f.write(img)
rows = bytes([0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255]) * 2
bmi = struct.pack('<IiiHHIIiiII', 40, 4, 2, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
with open(d + '/tiny.bmp', 'wb') as f:
    f.write(b'BM' + struct.pack('<IHHI', 14 + 40 + len(rows), 0, 0, 54) + bmi + rows)
PY

cat > "$work/strings.rc" <<'RC'
LANGUAGE 9, 1
STRINGTABLE
BEGIN
  1 "One"
  15 "Fifteen, the last of the first block"
  16 "Sixteen"
  110 "Your message has been sent successfully!"
  111 ""
  65535 "Last id"
END
RC
cat > "$work/menu.rc" <<'RC'
200 MENU
BEGIN
  POPUP "&File"
  BEGIN
    MENUITEM "&Open...\tCtrl+O", 1001
    MENUITEM SEPARATOR
    POPUP "Recent"
    BEGIN
      MENUITEM "a.mms", 1010, CHECKED
      MENUITEM "b.mms", 1011, GRAYED
    END
    MENUITEM "E&xit", 1002
  END
  MENUITEM "&Help", 1003, HELP
END
MAINMENU MENU
BEGIN
  MENUITEM "Only", 7
END
RC
cat > "$work/accel.rc" <<'RC'
300 ACCELERATORS
BEGIN
  "O", 1001, VIRTKEY, CONTROL
  "^S", 1004
  0x70, 1003, VIRTKEY
  0x2E, 1005, VIRTKEY, SHIFT, ALT
  "a", 1006, ASCII
END
RC
cat > "$work/version.rc" <<'RC'
1 VERSIONINFO
FILEVERSION 1,2,3,4
PRODUCTVERSION 1,2,0,0
FILEFLAGSMASK 0x3f
FILEFLAGS 0x1
FILEOS 0x40004
FILETYPE 0x2
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904B0"
    BEGIN
      VALUE "FileVersion", "1.2.3.4"
      VALUE "ProductName", "Test Module"
      VALUE "Empty", ""
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
RC
cat > "$work/pictures.rc" <<'RC'
105 CURSOR "tiny.cur"
101 ICON "tiny.ico"
114 BITMAP "tiny.bmp"
PEN CURSOR "tiny.cur"
RC

for rc in strings menu accel version pictures; do
  (cd "$work" && "$windres" -J rc -O res -i "$rc.rc" -o "$out/$rc.res")
done
ls -l "$out"
