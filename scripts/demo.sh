#!/bin/sh
# Builds the native tools and runs the main job: a message from a folder to a phone.
# Usage: scripts/demo.sh [FOLDER]
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" demo
build="$top/build/release"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMEDLEY_TESTS=OFF >/dev/null
cmake --build "$build" --target medley -j "$(nproc)" >/dev/null
exec "$build/bin/medley" demo "$@"
