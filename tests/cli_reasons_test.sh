#!/bin/sh
# Every failure of a medley verb says its real cause: one row per cause, each a command, the
# words its message must hold, and the exit status 1.  The phone rows talk to a `medley phone`
# process over the local IrDA link and run only where the platform offers it (natively).
# Usage: cli_reasons_test.sh [EMULATOR] MEDLEY
set -u
if [ $# -ge 2 ]; then run="$1"; medley=$2; else run=""; medley=$1; fi
. "$(dirname "$0")/script_kit.sh"

mkdir -p "$work/media" "$work/folder" "$work/sub/deep"
head -c 2000 /dev/urandom > "$work/media/photo.jpg"
printf 'GIF89a' > "$work/media/anim.gif"

# Files that cannot be sent are refused before any phone is sought.  Known divergence: Wine has
# no IrDA sockets, so there every send stops earlier, at the socket.
if [ -z "$run" ]; then
  expect "the file does not exist" send "$work/missing.dat"
  expect "it is a folder, not a file" send "$work/folder"
else
  expect "no IrDA sockets on this system" send "$work/missing.dat"
fi

# Messages that cannot be read or written.
expect "the file does not exist" mime info "$work/missing.dat"
printf 'not a message at all' > "$work/junk.dat"
expect "damaged or not of the expected kind" mime info "$work/junk.dat"
expect "the file does not exist" preview "$work/missing.dat" "$work/board.png"
expect "damaged or not of the expected kind" preview "$work/junk.dat" "$work/board.png"
expect "the name is not a folder" preview "$work/junk.dat" "$work/junk.dat" --html
export MEDLEY_FONT="$work/no-such-font.ttf"
expect "install Debian's fonts-dejavu-core" preview "$work/junk.dat" "$work/board.png"
unset MEDLEY_FONT
cp "$work/media/photo.jpg" "$work/keep.jpg"
expect "would replace one of the inputs" mime build "$work/keep.jpg" --part "image/jpeg:$work/keep.jpg"
cmp -s "$work/keep.jpg" "$work/media/photo.jpg" || fail "mime build destroyed its input"
expect "the file does not exist" mime build "$work/out.dat" --part "image/jpeg:$work/nothing.jpg"
long=$(printf 'd%.0s' $(seq 130))
name=$(printf 'n%.0s' $(seq 123)).jpg
cp "$work/media/photo.jpg" "$work/media/$name"
$run "$medley" mime build "$work/ok.dat" --part "image/jpeg:$work/media/$name" > /dev/null 2>&1
rm "$work/media/$name"
expect "too long" mime extract "$work/ok.dat" "$work/$long"

# MMS PDUs and e-mails that cannot be written or read.
expect "no recipient" mms encode "$work/ok.dat" "$work/ok.mms"
expect "is neither a phone number" mms encode "$work/ok.dat" "$work/ok.mms" --to nobody
expect "damaged or not of the expected kind" mms encode "$work/junk.dat" "$work/ok.mms" --to +4712345678
expect "would replace one of the inputs" mms encode "$work/ok.dat" "$work/ok.dat" --to +4712345678
expect "not an MMS PDU" mms decode "$work/junk.dat" "$work/decoded"
printf '\214\202\204\243' > "$work/notify.mms"
expect "message type 0x82" mms decode "$work/notify.mms" "$work/decoded"
expect "is not an e-mail address" export "$work/ok.dat" "$work/ok.eml" --to +4712345678
[ -e "$work/ok.mms" ] || [ -e "$work/ok.eml" ] && fail "a refused PDU or e-mail was written"
mkdir -p "$work/many"
for i in $(seq 128); do printf 'GIF89a' > "$work/many/p$i.gif"; done
expect "at most 127 parts" pack "$work/many" "$work/many.dat"
rm "$work/many/p1.gif" "$work/many/p2.gif"; : > "$work/many/p1.gif"
succeed pack "$work/many" "$work/many.dat"
said "left out p1.gif: the file is empty" "pack of a folder with an empty picture"

# Pictures that cannot be read, and a message whose folder is missing.
expect "the file does not exist" thumb "$work/missing.jpg" "$work/t.png"
printf 'just some text\n' > "$work/note.txt"
expect "not a picture" thumb "$work/note.txt" "$work/t.png"
mkdir -p "$work/say"
printf 'hello\n' > "$work/say/hello.txt"
expect "its folder does not exist" compose "$work/say" "$work/nowhere/out.dat"

# Presentations that cannot be loaded or saved.
printf '<smil><body><par><img src="deep/a.gif"/></par></body></smil>' > "$work/sub/show.smil"
printf 'GIF89a' > "$work/sub/deep/a.gif"
expect "sub-folder" smil "$work/sub/show.smil" "$work/out.smil"
{ printf '<smil><body><par>'; for i in $(seq 33); do printf '<img src="anim.gif"/>'; done; printf '</par></body></smil>'; } > "$work/media/wide.smil"
expect "more slides, media in a slide or regions" smil "$work/media/wide.smil" "$work/out2.smil"
{ printf '<smil><body>'; head -c 5000000 /dev/zero | tr '\0' ' '; printf '</body></smil>'; } > "$work/media/huge.smil"
expect "too large" smil "$work/media/huge.smil" "$work/out3.smil"
printf '<smil><body><par><img src="gone.gif"/></par></body></smil>' > "$work/media/gone.smil"
expect "the file does not exist" smil "$work/media/gone.smil" "$work/out4.smil"

# Outside text never drives the terminal: a message whose file name holds an escape sequence.
evil="$work/$(printf 'x\033]0;owned\007').dat"
$run "$medley" mime build "$evil" --part "image/jpeg:$work/media/photo.jpg" > /dev/null 2>&1
$run "$medley" mime info "$evil" > "$work/info" 2>&1
grep -q "$(printf '\033')" "$work/info" || ! grep -qF 'x\x1b]0;owned\x07.dat' "$work/info" &&
  fail "mime info printed a control character raw: $(cat -v "$work/info")"

# Every program sets up the base library first: with the large-block allocator switched on, the
# picture verbs work as they do without it.
printf 'GIF89a\001\000\001\000\200\000\000\377\377\377\000\000\000,\000\000\000\000\001\000\001\000\000\002\002D\001\000;' > "$work/one.gif"
MEDLEY_PIXKIT_HUGE=1 $run "$medley" thumb "$work/one.gif" "$work/one.png" && [ -s "$work/one.png" ] ||
  fail "medley thumb with MEDLEY_PIXKIT_HUGE=1"

# Every program has a version: the whole of it.
m --version
grep -qx "medleystudio [0-9]*\.[0-9]*\.[0-9]*\.[0-9]*" "$work/out" || fail "medley --version: $(cat "$work/out")"

# Phones that cannot take the file, and one that does, each a `medley phone` process (native
# only: the platform's IrDA layer is ours there).
if [ -z "$run" ]; then
  export MEDLEY_IRDA_DIR="$work/link" MEDLEY_IRDA_TIMEOUT_MS=800
  mkdir -p "$work/inbox"; mkdir -m 700 "$work/link"
  phone() {
    rm -rf "$work/link"/* "$work/inbox"/*
    "$medley" phone --inbox "$work/inbox" --count 1 --seconds 20 "$@" > "$work/phone.log" 2>&1 &
    pid=$!; pids=$pid
    for _ in $(seq 100); do [ -n "$(ls "$work/link")" ] && return 0; sleep 0.1; done
    fail "the phone never came into range"
  }
  done_phone() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pids=""; }
  head -c 300000 /dev/urandom > "$work/big.jpg"
  expect "no phone in range" send "$work/big.jpg"
  phone --hidden; expect "no phone in range" send "$work/big.jpg"; done_phone
  phone --three-wire; expect "does not offer IrCOMM 9-wire" send "$work/big.jpg"; done_phone
  phone --refuse 4; expect "refused the connection 4 times" send "$work/big.jpg"; done_phone
  phone --stall-after 100000; expect "timed out" send "$work/big.jpg"; done_phone
  phone --drop-after 100000; expect "broke off after" send "$work/big.jpg"; done_phone
  [ -e "$work/inbox/big.jpg" ] && fail "a broken-off transfer was stored"
  # And a phone that takes the file: it arrives byte-identical.
  phone
  "$medley" send "$work/big.jpg" > /dev/null 2>&1 && wait "$pid" && cmp -s "$work/big.jpg" "$work/inbox/big.jpg" ||
    fail "medley send to a phone process: $(cat "$work/phone.log")"
  pids=""
  truncate -s 2200000000 "$work/huge.bin"
  phone; expect "is over 2 GB" send "$work/huge.bin"; done_phone
fi

finish "every cause reported"
