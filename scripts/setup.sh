#!/bin/sh
# Installs what building and testing need on Debian 12; skips what is already there.
# Usage: scripts/setup.sh [demo|all|dev]
#   demo: what the native build needs; all: what the test command needs (both MinGW targets,
#   Wine, 32-bit Wine where it can run, the tools the tests call); dev: also the fuzzing compiler
#   and the corpus makers.
set -e
what=${1:-all}
# The native build compiles the resource script with the MinGW resource compiler, which runs the
# MinGW C preprocessor over <windows.h>: both come with the x86_64 MinGW C compiler.
native="cmake make g++ python3 libgtest-dev libgmock-dev googletest libcli11-dev libstb-dev librapidxml-dev fonts-dejavu-core binutils-mingw-w64-x86-64 gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev"
all="$native libbenchmark-dev mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64 wine wine64 icoutils libgif-dev libxml2-utils xvfb xauth tshark mpack python3-pil chromium gifsicle imagemagick"
dev="$all clang libclang-rt-14-dev"
case "$what" in
  demo) want=$native ;;
  dev) want=$dev ;;
  *) want=$all ;;
esac
missing=""
for p in $want; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
# 32-bit Wine for the i686 build's tests, with qemu-user where the kernel cannot run 32-bit x86
# programs itself. Where neither works the test command says why and skips those tests.
if [ "$what" != demo ]; then
  "$(dirname "$0")/wine32.sh" setup || echo "setup: no 32-bit Wine here; the i686 tests will be skipped" >&2
fi
