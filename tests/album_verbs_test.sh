#!/bin/sh
# The album and file verbs as a person uses them: an album made by inserting files from its
# object folders, listed, inserted into again (one entry a file), rebuilt after a file went
# missing; the length of a sound; the scratch folder cleared.  A failure leaves the album as it
# was.
# Usage: album_verbs_test.sh [EMULATOR] MEDLEY
set -u
if [ $# -ge 2 ]; then run="$1"; medley=$2; else run=""; medley=$1; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# m ARGS...: runs medley, output in $work/out (errors in $work/err), status in $status.
m() { $run "$medley" "$@" > "$work/out" 2> "$work/err"; status=$?; tr -d '\r' < "$work/out" > "$work/o"; }
# has TEXT: the last output holds TEXT.
has() { grep -qF -- "$1" "$work/o" || fail "wanted \"$1\" in: $(cat "$work/o" "$work/err")"; }
# count TEXT N: the last output holds TEXT on exactly N lines.
count() { n=$(grep -cF -- "$1" "$work/o"); [ "$n" -eq "$2" ] || fail "wanted $2 lines with \"$1\", got $n: $(cat "$work/o")"; }

album="$work/Trip/Trip.abm"
mkdir -p "$work/Trip/o1" "$work/Trip/o2" "$work/Other/o3"
printf 'GIF89a' > "$work/Trip/o1/a.gif"
printf 'x' > "$work/Trip/o2/b.jpg"
printf 'y' > "$work/Other/o3/c.jpg"

m album insert "$album" "$work/Trip/o1/a.gif" "$work/Trip/o2/b.jpg" --type 1 --text hello --values 160,120,3,4
[ $status -eq 0 ] || fail "insert into a new album: status $status: $(cat "$work/err")"
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
m album insert "$album" "$work/Other/o3/c.jpg"
[ $status -eq 1 ] || fail "a file of another album: status $status"
grep -qF "belongs to the album" "$work/err" || fail "no reason for a file of another album: $(cat "$work/err")"
# Natively the album's path is printed the host's way.
[ -n "$run" ] || grep -qF "the album $work/Other/Other.abm," "$work/err" || fail "not a host path: $(cat "$work/err")"
cmp -s "$album" "$work/before.abm" || fail "a refused insertion changed the album"

# A rebuild drops the object whose file is gone and keeps the rest.
rm "$work/Trip/o2/b.jpg"
m album rebase "$album"
[ $status -eq 0 ] || fail "rebase: status $status: $(cat "$work/err")"
has "1 of 2 object(s)"
m album list "$album"
has "1 object(s)"
count "b.jpg" 0
count "a.gif" 1

# Damaged and missing albums: status 1 and the reason; the damaged file is not touched.
printf 'not an album' > "$work/Trip/Bad.abm"
m album list "$work/Trip/Bad.abm"
[ $status -eq 1 ] && grep -qF "not an album file" "$work/err" || fail "damaged album: status $status: $(cat "$work/err")"
m album rebase "$work/Trip/Bad.abm"
[ $status -eq 1 ] || fail "rebase of a damaged album: status $status"
[ "$(cat "$work/Trip/Bad.abm")" = "not an album" ] || fail "rebase changed a damaged album"
m album list "$work/Trip/None.abm"
[ $status -eq 1 ] || fail "missing album: status $status"

# One second of 8 kHz, 8-bit mono sound.
{ printf 'RIFF\144\037\000\000WAVEfmt \020\000\000\000\001\000\001\000\100\037\000\000\100\037\000\000\001\000\010\000data\100\037\000\000'
  head -c 8000 /dev/zero; } > "$work/t.wav"
m media-length "$work/t.wav"
[ $status -eq 0 ] || fail "media-length: status $status: $(cat "$work/err")"
has "1000 ms"
m media-length "$work/Trip/o1/a.gif"
[ $status -eq 1 ] || fail "media-length of a picture: status $status"

# The scratch folder (in the user's private temporary folder): files go, folders stay.
# Natively only: Wine gives its programs the prefix's own temporary folder, whatever the
# environment says.
if [ -z "$run" ]; then
  mkdir -p -m 700 "$work/tmp/medley-$(id -u)"
  mms="$work/tmp/medley-$(id -u)/MMSTemp"
  mkdir -p "$mms/sub"
  printf 'x' > "$mms/a.txt"
  printf 'y' > "$mms/sub/b.txt"
  TMPDIR="$work/tmp" m clean-temp
  [ $status -eq 0 ] || fail "clean-temp: status $status"
  [ ! -e "$mms/a.txt" ] || fail "clean-temp left a file"
  [ -e "$mms/sub/b.txt" ] || fail "clean-temp went into a folder"
fi

[ $failures -eq 0 ] && echo "all album and file verbs behaved"
exit $failures
