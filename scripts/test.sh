#!/bin/sh
# Runs every test: the native build with AddressSanitizer and UndefinedBehaviorSanitizer and
# the whole CTest suite; the MinGW x86_64 build with the same suite under Wine; the i686 build
# (the module's 32-bit target): built, its install and archive checked, and where 32-bit Wine
# runs (scripts/wine32.sh), the module's contract, the plug-in and base-library test programs and
# the archive's medley.exe run under it; elsewhere that part is skipped, with the reason.
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

step "i686 MinGW build, under 32-bit Wine where it runs"
runner=""
prefix32=$top/build/win32/wineprefix
if wine32=$("$top/scripts/wine32.sh" check); then
  # Its prefix first, made once and kept (beside the build) for later runs, within a time limit:
  # under emulation it is slow, and may not come about at all.
  mkdir -p "$top/build/win32"
  started=$(date +%s)
  if out=$(WINEPREFIX="$prefix32" timeout 600 "$top/cmake/wine32-run.sh" cmd /c exit 2>&1 </dev/null); then
    runner=$top/cmake/wine32-run.sh
    echo "32-bit Wine runs here ($wine32); its prefix ready in $(($(date +%s) - started)) s: build/win32/wineprefix"
  else
    rc=$?
    WINEPREFIX="$prefix32" wineserver -k >/dev/null 2>&1
    [ $rc -eq 124 ] && out="not done in 600 s"
    if [ "$wine32" = native ]; then
      echo "FAIL: 32-bit Wine could not make its prefix build/win32/wineprefix: $out" >&2
      status=1
    else
      echo "SKIPPED: the i686 programs under 32-bit Wine: through $wine32, Wine could not make its prefix ($out)"
    fi
  fi
else
  echo "SKIPPED: the i686 programs under 32-bit Wine: $wine32"
fi
if cmake -S "$top" -B "$top/build/win32" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake" \
         -DCMAKE_CROSSCOMPILING_EMULATOR="$runner" >/dev/null &&
   cmake --build "$top/build/win32" -j "$jobs"; then
  if [ -n "$runner" ]; then
    # The module's contract, the plug-in and base-library programs, the install tree and the
    # archive's medley.exe; one program at a time (emulated, two Wine processes cost twice).
    (cd "$top/build/win32" && WINEPREFIX=$prefix32 && export WINEPREFIX &&
      ctest -R '^(module_contract|plugin|libbase|install_.*)$' --output-on-failure --timeout 600)
  else
    # Its install tree, package and archive: contents and imports (nothing runs).
    (cd "$top/build/win32" && ctest -L install --output-on-failure --timeout 900)
  fi || status=1
  WINEPREFIX=$prefix32 wineserver -k >/dev/null 2>&1 || true
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
