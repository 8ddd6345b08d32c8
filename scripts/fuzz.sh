#!/bin/sh
# Runs one libFuzzer target of the fuzz build under the limits every campaign keeps: 512 MB of
# memory and 10 s an input (a reader that allocates by what a file declares, or spends
# minutes on a few bytes, is a finding), new inputs going to a scratch folder beside the
# target's corpus and crashers.
#
#   scripts/fuzz.sh TARGET [libFuzzer options...]     e.g. scripts/fuzz.sh gif -runs=1000000
#
# The fuzz build: cmake -S . -B build/fuzz -G Ninja -DCMAKE_C_COMPILER=clang
#   -DCMAKE_CXX_COMPILER=clang++ -DMEDLEY_FUZZ=ON -DMEDLEY_SANITIZE=ON -DMEDLEY_TESTS=OFF
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
name=$1
shift
exe="${MEDLEY_FUZZ_BUILD:-$top/build/fuzz}/bin/${name}_fuzz"
[ -x "$exe" ] || { echo "fuzz.sh: no $exe (build the fuzz folder first)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/fuzz-$name.XXXXXX")
seeds="$top/fuzz/corpus/$name"
[ -d "$top/fuzz/crashers/$name" ] && seeds="$seeds $top/fuzz/crashers/$name"
echo "fuzz.sh: new inputs in $work" >&2
# shellcheck disable=SC2086
exec "$exe" -rss_limit_mb=512 -timeout=10 -artifact_prefix="$work/" "$@" "$work" $seeds
