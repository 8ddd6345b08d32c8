#!/bin/sh
# Makes a release archive with cpack, unpacks it into an empty folder and uses it from there,
# as a user who has nothing else would.
# Usage: package_test.sh BUILD_DIR WORK_DIR GENERATOR PACKAGE_NAME VERSION [RUNNER]
#   GENERATOR ZIP (a Windows build): every executable's imported DLLs are in the archive beside
#   the programs or are Windows' own; with RUNNER (wine-run.sh) medley.exe runs from the
#   unpacked folder.  TGZ / DEB (the native build): medley runs from the unpacked tree and
#   reaches no library of the build tree.
set -eu
build=$1
work=$2
generator=$3
name=$4
version=$5
runner=${6:-}

fail() {
  printf 'FAIL: %s\n' "$*" >&2
  exit 1
}

# check_runs MODULE PATTERN COMMAND...: the program's version; the module's version and GUID
# through --module; without it, the module of its own plug-in folder (a path matching PATTERN).
check_runs() {
  module=$1 pattern=$2
  shift 2
  out=$("$@" --version 2>&1) || fail "medley --version: $out"
  printf '%s\n' "$out"
  printf '%s\n' "$out" | grep -q '^medleystudio ' || fail "medley --version said: $out"
  out=$("$@" plugin info --module "$module" 2>&1) || fail "medley plugin info: $out"
  printf '%s\n' "$out"
  printf '%s\n' "$out" | grep -q "^version  *$version " || fail "plugin info shows no version $version"
  printf '%s\n' "$out" | grep -q '^GUID  *{ee0775cb-88e3-439a-81ba-b947800a93f6}' || fail "plugin info shows no GUID"
  out=$("$@" plugin info 2>&1) || fail "medley plugin info (its own module): $out"
  printf '%s\n' "$out" | grep -qi "^module $pattern" || fail "medley plugin info loaded: $out"
}

rm -rf "$work"
mkdir -p "$work/unpacked" "$work/run"
cpack -G "$generator" --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  fail "cpack -G $generator"
}
case $generator in
  ZIP) archive=$work/cpack/$name.zip ;;
  TGZ) archive=$work/cpack/$name.tar.gz ;;
  DEB) archive=$(ls "$work"/cpack/*.deb) ;;
esac
[ -f "$archive" ] || fail "no $archive; cpack made: $(ls "$work/cpack")"
echo "archive $(basename "$archive"), $(wc -c <"$archive") bytes"

# What must be there (and what must not) once unpacked.
if [ "$generator" = DEB ]; then
  dpkg-deb -x "$archive" "$work/unpacked"
  info=$(dpkg-deb -f "$archive" Package Version Architecture)
  printf '%s\n' "$info"
  printf '%s\n' "$info" | grep -q "^Version: $version\$" || fail "the package's version is not $version"
  root=$work/unpacked/opt/redll
else
  (cd "$work/unpacked" && cmake -E tar xf "$archive")
  root=$work/unpacked/$name
fi
[ -d "$root" ] || fail "the archive has no folder $name"
(cd "$root" && find . -type f | sort) >"$work/contents.txt"
need() {
  for f in "$@"; do
    grep -qx "./$f" "$work/contents.txt" || fail "the archive lacks $f"
  done
}
need include/libbase/basefun.h include/libbase/mkarray include/libbase/fileio.h lib/cmake/libbase/libbaseConfig.cmake \
  lib/cmake/libbase/libbaseConfigVersion.cmake lib/cmake/libbase/libbaseTargets.cmake share/doc/redll/README.md
if grep -E '_private\.h$|/compat/(testing|extensions)\.h$|/(internal|irda_host)\.h$' "$work/contents.txt"; then
  fail "private headers in the archive"
fi

if [ "$generator" = ZIP ]; then
  need bin/medley.exe bin/plugins/redll.pll bin/PixKit.dll bin/SKUILib.dll bin/SKUI.dll bin/mdoc.dll bin/AlbumCore.dll \
    bin/UI/WndFrmMask_lt.bmp lib/libbase.a
  case $name in
    *-win64) format=pei-x86-64 wine_arch=x86_64 ;;
    *) format=pei-i386 wine_arch=i386 ;;
  esac
  # Windows' own DLLs: the ones Wine carries as built-in system DLLs, the archive's kind first
  # (the folder that holds kernel32.dll: with 32-bit Wine installed, near-empty twins appear).
  system=$( (find /usr/lib -path "*/wine/$wine_arch-windows/kernel32.dll"
    find /usr/lib -path '*/wine/*-windows/kernel32.dll') | head -n 1)
  [ -n "$system" ] && system=$(dirname "$system")
  [ -n "$system" ] || fail "no Wine system DLL folder to check imports against"
  checked=0
  for exe in $(cd "$root" && find . -type f \( -iname '*.exe' -o -iname '*.dll' -o -iname '*.pll' \) | sort); do
    x86_64-w64-mingw32-objdump -f "$root/$exe" | grep -q "file format $format" || fail "$exe is not $format"
    for dll in $(x86_64-w64-mingw32-objdump -p "$root/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r'); do
      # A DLL is found beside the programs (the plug-in is loaded by a program in bin/), or
      # is one of the system's.
      if ls "$root/bin" | grep -qix "$dll"; then
        :
      elif ls "$system" | grep -qix "$dll"; then
        case $dll in
          lib*) fail "$exe imports $dll, a compiler runtime" ;;
        esac
      else
        fail "$exe imports $dll, which is neither in the archive's bin/ nor a Windows system DLL"
      fi
      checked=$((checked + 1))
    done
  done
  echo "imports checked: $checked"
  [ "$checked" -gt 10 ] || fail "too few imports seen ($checked)"
  if [ -n "$runner" ]; then
    # An empty working folder, no WINEPATH: medley.exe finds its DLLs beside itself or not at all.
    cd "$work/run"
    unset WINEPATH
    check_runs "$root/bin/plugins/redll.pll" '.*plugins.redll\.pll' "$runner" "$root/bin/medley.exe"
  fi
  exit 0
fi

# The native tree: every program and library finds the others through $ORIGIN only.
need bin/medley lib/medley/plugins/redll.pll lib/libcompat.so lib/libpixkit.so lib/libbase.a
for f in $(cd "$root" && find . -type f \( -name medley -o -name '*.so' -o -name '*.pll' \) | sort); do
  paths=$(readelf -d "$root/$f" | sed -n 's/.*(\(RPATH\|RUNPATH\)).*\[\(.*\)\]/\2/p')
  for p in $(printf '%s\n' "$paths" | tr ':' ' '); do
    case $p in
      '$ORIGIN' | '$ORIGIN'/*) ;;
      *) fail "$f searches $p" ;;
    esac
  done
done
libs=$(env -u LD_LIBRARY_PATH ldd "$root/bin/medley" "$root/lib/medley/plugins/redll.pll")
printf '%s\n' "$libs" | grep 'not found' && fail "libraries missing"
for lib in $(printf '%s\n' "$libs" | sed -n 's/.* => \(\/[^ ]*\) .*/\1/p'); do
  lib=$(readlink -f "$lib")
  case $lib in
    "$root"/*) ;;
    "$(readlink -f "$build")"/*) fail "$lib is taken from the build tree" ;;
  esac
done
cd "$work/run"
check_runs "$root/lib/medley/plugins/redll.pll" '.*/lib/medley/plugins/redll\.pll' env -u LD_LIBRARY_PATH "$root/bin/medley"
