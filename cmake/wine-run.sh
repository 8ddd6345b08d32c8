#!/bin/sh
# Runs a Windows program under wine (wine64 on this host) for CTest.  CTest waits for end-of-file on the test's
# output, and wineserver inherits those pipes, so a persistent server is started first with
# its streams on /dev/null; then the program itself is exec'd.
: "${WINEPREFIX:=${MEDLEY_WINEPREFIX:-$(dirname "$(readlink -f "$1")")/../wineprefix}}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.medley-ready" ]; then
  # Tests start in parallel: one of them makes the prefix, the others wait for it.
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.medley-ready" ]; then
      wineboot -i >/dev/null 2>&1 </dev/null
      # Null graphics driver: windows, regions and message boxes work without an X server.
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
      # The post-mortem debugger is a program that does not exist: a crashing test then ends
      # at once with a failure instead of leaving winedbg waiting on CTest's pipes.
      wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d no-debugger.exe /f >/dev/null 2>&1 </dev/null
      wineserver -w
      touch "$WINEPREFIX/.medley-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
wineserver -p30 >/dev/null 2>&1 </dev/null
wine cmd /c exit >/dev/null 2>&1 </dev/null
exec wine "$@"
