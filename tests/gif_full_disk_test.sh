#!/bin/sh
# medley's GIF writers on a disk that fills up (a file-size limit of 512 bytes stands in for
# it): each fails naming the full disk, the destination keeps what it held, and nothing else is
# left in its folder.  Usage: gif_full_disk_test.sh MEDLEY SOURCE.gif (a GIF of over 1 KB).
medley=$1
src=$2
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
status=0
check() {
    what=$1
    shift
    printf old > "$dir/out.gif"
    # SIGXFSZ ignored: a write past the limit then fails with EFBIG instead of killing.
    ( trap '' XFSZ; ulimit -f 1; exec "$medley" "$@" ) 2> "$dir/err.txt"
    rc=$?
    if [ $rc -eq 0 ]; then
        echo "FAIL $what: succeeded on a full disk"; status=1
    fi
    if ! grep -q "the disk is full" "$dir/err.txt"; then
        echo "FAIL $what: reason was: $(cat "$dir/err.txt")"; status=1
    fi
    if [ "$(cat "$dir/out.gif")" != old ]; then
        echo "FAIL $what: the destination changed"; status=1
    fi
    others=$(ls "$dir" | grep -v -e '^out.gif$' -e '^err.txt$')
    if [ -n "$others" ]; then
        echo "FAIL $what: left behind: $others"; status=1
    fi
    rm -f "$dir/err.txt"
}
export MEDLEY_PROGRESS=0
check resave gif resave "$src" "$dir/out.gif"
check resize gif resize "$src" "$dir/out.gif" --box 40x40
check crop gif crop "$src" "$dir/out.gif" --rect 1,1,30,30
check quantize gif quantize "$src" "$dir/out.gif"
[ $status -eq 0 ] && echo "every writer failed cleanly on a full disk"
exit $status
