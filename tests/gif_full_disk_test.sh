#!/bin/sh
# medley's GIF writers on a disk that fills up (a file-size limit of 512 bytes stands in for
# it): each fails naming the full disk, the destination keeps what it held, and nothing else is
# left in its folder.  Usage: gif_full_disk_test.sh MEDLEY SOURCE.gif (a GIF of over 1 KB).
medley=$1
src=$2
. "$(dirname "$0")/script_kit.sh"
export MEDLEY_PROGRESS=0
for verb in "resave" "resize --box 40x40" "crop --rect 1,1,30,30" "quantize"; do
    set -- $verb
    printf old > "$work/out.gif"
    # SIGXFSZ ignored: a write past the limit then fails with EFBIG instead of killing.
    ( trap '' XFSZ; ulimit -f 1; v=$1; shift; exec "$medley" gif "$v" "$src" "$work/out.gif" "$@" ) 2> "$work/err" &&
        fail "$1: succeeded on a full disk"
    said "the disk is full" "$1"
    [ "$(cat "$work/out.gif")" = old ] || fail "$1: the destination changed"
    others=$(ls "$work" | grep -v -e '^out.gif$' -e '^err$')
    [ -z "$others" ] || fail "$1: left behind: $others"
done
finish "every writer failed cleanly on a full disk"
