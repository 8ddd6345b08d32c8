#!/bin/sh
# Installs a build into an empty prefix, builds the consumer project against that prefix alone
# and runs the program (a Windows one under Wine, its DLLs copied beside it by its own build).
# Usage: consumer_test.sh BUILD_DIR WORK_DIR [TOOLCHAIN_FILE RUNNER]
set -eu
build=$1
work=$2
toolchain=${3:-}
runner=${4:-}
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"
set -- -S "$here/consumer" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ -n "$toolchain" ]; then
  set -- "$@" -DCMAKE_TOOLCHAIN_FILE="$toolchain"
fi
# The consumer must find the package in the prefix and nowhere else.
cmake "$@" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF
grep -q "^libbase_DIR:PATH=$work/prefix/" "$work/build/CMakeCache.txt" || {
  echo "libbase was not found in $work/prefix" >&2
  exit 1
}
cmake --build "$work/build" -j 2

cd "$work/build"
if [ -n "$toolchain" ]; then
  if [ -z "$runner" ]; then
    echo "consumer.exe built; this target cannot run here"
    exit 0
  fi
  # Nothing of the build tree on Wine's search path.
  unset WINEPATH
  "$runner" ./consumer.exe
else
  env -u LD_LIBRARY_PATH ./consumer
fi
