#!/bin/sh
# Runs a 32-bit Windows program under 32-bit Wine for CTest, in a 32-bit prefix beside the build
# (made once, then reused); scripts/wine32.sh tells whether 32-bit Wine runs here at all.
export WINEARCH=win32
exec "$(dirname "$0")/wine-run.sh" "$@"
