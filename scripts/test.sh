#!/bin/sh
# Runs every test: the native build with AddressSanitizer and UndefinedBehaviorSanitizer and
# the whole CTest suite; the MinGW x86_64 build with the same suite under Wine; the i686 build
# (the module's 32-bit target: built, and its install and archive checked without running).
# Exits non-zero when anything fails.
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" all || exit 1
jobs=$(nproc)
status=0
step() { echo; echo "==== $*"; }

step "native (ASan + UBSan)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if cmake -S "$top" -B "$top/build/native" -DMEDLEY_SANITIZE=ON -DMEDLEY_BENCH=ON >/dev/null &&
   cmake --build "$top/build/native" -j "$jobs"; then
  (cd "$top/build/native" && ctest -j "$jobs" --output-on-failure --timeout 900) || status=1
else
  status=1
fi

step "i686 MinGW build (build only)"
if cmake -S "$top" -B "$top/build/win32" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake" >/dev/null &&
   cmake --build "$top/build/win32" -j "$jobs"; then
  # Its install tree, package and archive: contents and imports (nothing runs).
  (cd "$top/build/win32" && ctest -L install --output-on-failure --timeout 900) || status=1
else
  status=1
fi

step "x86_64 MinGW build, tests under Wine"
export WINEPREFIX="$top/build/wineprefix"
if cmake -S "$top" -B "$top/build/win64" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null &&
   cmake --build "$top/build/win64" -j "$jobs"; then
  (cd "$top/build/win64" && ctest -j "$jobs" --output-on-failure --timeout 900) || status=1
else
  status=1
fi
wineserver -k >/dev/null 2>&1 || true
[ $status -ne 0 ] && echo "FAILED: an earlier step failed, see above" >&2
exit $status
