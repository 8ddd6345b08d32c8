#!/bin/sh
# The album and file verbs as a person uses them: an album made by inserting files from its
# object folders, listed, inserted into again (one entry a file), rebuilt after a file went
# missing; the length of a sound; the scratch folder cleared.  A failure leaves the album as it
# was.
# Usage: album_verbs_test.sh [EMULATOR] MEDLEY
set -u
if [ $# -ge 2 ]; then run="$1"; medley=$2; else run=""; medley=$1; fi
. "$(dirname "$0")/script_kit.sh"
# has TEXT: the last output holds TEXT.
has() { grep -qF -- "$1" "$work/out" || fail "wanted \"$1\" in: $(cat "$work/out" "$work/err")"; }
# count TEXT N: the last output holds TEXT on exactly N lines.
count() { n=$(grep -cF -- "$1" "$work/out"); [ "$n" -eq "$2" ] || fail "wanted $2 lines with \"$1\", got $n: $(cat "$work/out")"; }

album="$work/Trip/Trip.abm"
mkdir -p "$work/Trip/o1" "$work/Trip/o2" "$work/Other/o3"
printf 'GIF89a' > "$work/Trip/o1/a.gif"
printf 'x' > "$work/Trip/o2/b.jpg"
printf 'y' > "$work/Other/o3/c.jpg"

succeed album insert "$album" "$work/Trip/o1/a.gif" "$work/Trip/o2/b.jpg" --type 1 --text hello --values 160,120,3,4
m album list "$album"
has "2 object(s)"
has '"hello" (6 bytes)'
has '"120/160" (8 bytes)'
has '"3/4" (4 bytes)'

# A second insertion of a file replaces its entry.
m album insert "$album" "$work/Trip/o1/a.gif"
m album list "$album"
has "2 object(s)"
count "a.gif" 1

# A file of another album's folder is refused, and the album stays as it was.
cp "$album" "$work/before.abm"
expect "belongs to the album" album insert "$album" "$work/Other/o3/c.jpg"
# Natively the album's path is printed the host's way.
[ -n "$run" ] || said "the album $work/Other/Other.abm," "not a host path"
cmp -s "$album" "$work/before.abm" || fail "a refused insertion changed the album"

# A rebuild drops the object whose file is gone and keeps the rest.
rm "$work/Trip/o2/b.jpg"
succeed album rebase "$album"
has "1 of 2 object(s)"
m album list "$album"
has "1 object(s)"
count "b.jpg" 0
count "a.gif" 1

# Damaged and missing albums: status 1 and the reason; the damaged file is not touched.
printf 'not an album' > "$work/Trip/Bad.abm"
expect "not an album file" album list "$work/Trip/Bad.abm"
expect "medley: " album rebase "$work/Trip/Bad.abm"
[ "$(cat "$work/Trip/Bad.abm")" = "not an album" ] || fail "rebase changed a damaged album"
expect "medley: " album list "$work/Trip/None.abm"

# One second of 8 kHz, 8-bit mono sound.
{ printf 'RIFF\144\037\000\000WAVEfmt \020\000\000\000\001\000\001\000\100\037\000\000\100\037\000\000\001\000\010\000data\100\037\000\000'
  head -c 8000 /dev/zero; } > "$work/t.wav"
succeed media-length "$work/t.wav"
has "1000 ms"
expect "medley: " media-length "$work/Trip/o1/a.gif"

# The scratch folder (in the user's private temporary folder): files go, folders stay.
# Natively only: Wine gives its programs the prefix's own temporary folder, whatever the
# environment says.
if [ -z "$run" ]; then
  mkdir -p -m 700 "$work/tmp/medley-$(id -u)"
  mms="$work/tmp/medley-$(id -u)/MMSTemp"
  mkdir -p "$mms/sub"
  printf 'x' > "$mms/a.txt"
  printf 'y' > "$mms/sub/b.txt"
  TMPDIR="$work/tmp" succeed clean-temp
  [ ! -e "$mms/a.txt" ] || fail "clean-temp left a file"
  [ -e "$mms/sub/b.txt" ] || fail "clean-temp went into a folder"
fi

finish "all album and file verbs behaved"
