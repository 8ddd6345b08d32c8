# What the shell tests of the verbs share (sourced): a scratch folder, removed at the end with
# the processes named in $pids, and the failures counted.
work=$(mktemp -d) || exit 1
pids=""
trap 'for p in $pids; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# m ARGS...: runs medley (after the emulator in $run, if any): its output in $work/out with LF
# line ends, its errors in $work/err, its exit status in $status.
m() { $run "$medley" "$@" > "$work/raw" 2> "$work/err"; status=$?; tr -d '\r' < "$work/raw" > "$work/out"; }
# succeed ARGS...: m ARGS, which must end with status 0.
succeed() { m "$@"; [ $status -eq 0 ] || fail "medley $*: status $status: $(cat "$work/err")"; }
# said TEXT WHAT: the last errors hold TEXT.
said() { grep -qF -- "$1" "$work/err" || fail "$2: wanted \"$1\", said: $(cat "$work/err")"; }
# refused WORDS WHAT: the last run ended with status 1 and a reason that holds WORDS.
refused() { [ $status -eq 1 ] || fail "$2: status $status, wanted 1"; said "$1" "$2"; }
# expect WORDS ARGS...: medley ARGS fails with status 1 and a reason that holds WORDS.
expect() { words=$1; shift; m "$@"; refused "$words" "medley $*"; }
# finish WORDS: the end of a test, WORDS when every check passed.
finish() { [ $failures -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }; echo "$1"; }
