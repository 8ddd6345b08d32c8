#!/bin/sh
# 32-bit Wine for the i686 build's tests, found by trying rather than assumed.
# Usage: scripts/wine32.sh setup   installs what runs 32-bit Windows programs here (as root)
#        scripts/wine32.sh check   prints how 32-bit programs run here ("native" or "qemu-user"),
#                                  or why they cannot, and then exits 1
# Most x86_64 kernels run 32-bit x86 programs themselves, and Debian's wine32:i386 is all that is
# needed. A kernel built without that support still has binfmt_misc: qemu-user-static registered
# there for i386 programs (flag F: the emulator is opened once, so it serves chroots as well) runs
# them through the emulator, and Wine never notices.
# Known limit of the emulator (Debian 12's qemu-user 7.2 with Wine 8): it takes Wine's
# MAP_FIXED_NOREPLACE reservations as mere hints, answering with the highest free hole instead,
# and places the 32-bit Linux libraries just below 0x40000000, inside the Windows address space.
# Wine then splits its reservations down to 64 KiB pieces (thousands of emulated mmap calls per
# process start: minutes each), and what the emulator placed can take the fixed addresses of
# Wine's system DLLs (0x7b000000-0x7bf00000): "could not load kernel32.dll".
# The test command gives that set-up ten minutes and otherwise skips with the reason.
set -u
binfmt=/proc/sys/fs/binfmt_misc
qemu=/usr/bin/qemu-i386-static
wine32=/usr/lib/wine/wine
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

# Runs a 96-byte static i386 program that only exits with status 42 (int 0x80, exit).
i386_runs() {
  dir=$(mktemp -d) || return 1
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >"$dir/probe"
  chmod 700 "$dir/probe"
  "$dir/probe" 2>/dev/null
  rc=$?
  rm -rf "$dir"
  [ $rc -eq 42 ]
}

emulated() { [ -f "$binfmt/qemu-i386" ] && head -n 1 "$binfmt/qemu-i386" | grep -qx enabled; }

# Registers qemu-i386-static for i386 ELF programs (the magic and mask QEMU's own binfmt
# configuration uses: ELF32, little-endian, executable or shared object, machine 3).
register_qemu() {
  if [ ! -w "$binfmt/register" ]; then
    $SUDO mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || {
      echo "wine32: cannot mount binfmt_misc on $binfmt" >&2
      return 1
    }
  fi
  [ -f "$binfmt/qemu-i386" ] && return 0
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' |
    $SUDO tee "$binfmt/register" >/dev/null 2>&1 || {
    echo "wine32: binfmt_misc refused the registration of $qemu" >&2
    return 1
  }
}

apt_install() {
  $SUDO apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

check() {
  if ! i386_runs; then
    if [ -f "$binfmt/qemu-i386" ]; then
      echo "32-bit x86 programs do not run here, not even through $binfmt/qemu-i386 ($(head -n 1 "$binfmt/qemu-i386"))"
    else
      echo "this kernel does not run 32-bit x86 programs and qemu-user is not registered in binfmt_misc (scripts/setup.sh registers it)"
    fi
    return 1
  fi
  if [ ! -x "$wine32" ]; then
    echo "32-bit Wine (wine32:i386) is not installed (scripts/setup.sh installs it)"
    return 1
  fi
  if ! out=$("$wine32" --version 2>&1); then
    echo "32-bit Wine does not start here: $out"
    return 1
  fi
  if emulated; then echo qemu-user; else echo native; fi
}

setup() {
  if ! i386_runs; then
    echo "wine32: this kernel does not run 32-bit x86 programs itself; trying qemu-user through binfmt_misc"
    installed qemu-user-static || apt_install qemu-user-static || return 1
    register_qemu || return 1
    i386_runs || {
      echo "wine32: 32-bit x86 programs still do not run with $qemu registered" >&2
      return 1
    }
  fi
  if ! installed wine32:i386; then
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386 || return 1
    apt_install wine32:i386 || return 1
  fi
  check >/dev/null
}

case ${1:-} in
  setup) setup ;;
  check) check ;;
  *) sed -n '2,5p' "$0" >&2; exit 2 ;;
esac
