#!/bin/sh
# Runs a Windows program under wine for CTest (a 64-bit prefix; wine32-run.sh: a 32-bit one).
# CTest waits for end-of-file on the test's
# output, and wineserver inherits those pipes, so a persistent server is started first with
# its streams on /dev/null; then the program itself is exec'd.
: "${WINEPREFIX:=${MEDLEY_WINEPREFIX:-$(dirname "$(readlink -f "$1")")/../wineprefix}}"
export WINEPREFIX
export WINEDEBUG=-all
# No .NET or HTML engine installs, no desktop menus and file associations of the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Debian's `wine` starts the 32-bit loader first where wine32 is installed (emulated on some
# kernels); a 64-bit prefix goes straight to the 64-bit one.
wine=wine
if [ "${WINEARCH:-}" != win32 ] && [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
  export WINELOADER=$wine
fi
if [ ! -f "$WINEPREFIX/.medley-ready" ]; then
  # Tests start in parallel: one of them makes the prefix, the others wait for it.
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.medley-ready" ]; then
      # While the prefix is made: no X driver (the null one serves), no debugger for a crash.
      WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winex11.drv=d;winedbg.exe=d" $wine wineboot.exe -i \
        >"$WINEPREFIX.log" 2>&1 </dev/null || {
        echo "wine-run: making the prefix $WINEPREFIX failed (exit $?); see $WINEPREFIX.log" >&2
        wineserver -k
        exit 1
      }
      # Null graphics driver: windows, regions and message boxes work without an X server.
      $wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
      # The post-mortem debugger is a program that does not exist: a crashing test then ends
      # at once with a failure instead of leaving winedbg waiting on CTest's pipes.
      $wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d no-debugger.exe /f >/dev/null 2>&1 </dev/null
      wineserver -w
      touch "$WINEPREFIX/.medley-ready"
    fi
  ) 9>"$WINEPREFIX.lock" || exit 1
fi
wineserver -p30 >/dev/null 2>&1 </dev/null
$wine cmd /c exit >/dev/null 2>&1 </dev/null
if [ "${MEDLEY_GTEST:-}" = 1 ]; then
  # A test program has passed only when it also printed its summary: a stack overflow can end
  # a process under Wine with status 0 before the summary (and before its failures are counted).
  out=$(mktemp -d) || exit 1
  trap 'rm -rf "$out"' EXIT
  { $wine "$@"; echo $? >"$out/status"; } | tee "$out/log"
  status=$(cat "$out/status" 2>/dev/null) || status=1
  if [ "$status" = 0 ] && ! grep -q '^\[==========\] .* ran\.' "$out/log"; then
    echo "wine-run: $1 ended without its test summary (it crashed, or was ended)" >&2
    status=1
  fi
  exit "$status"
fi
exec $wine "$@"
