#!/bin/sh
# medley send to a `medley phone` running as its own process, through the platform's Windows
# Sockets IrDA layer on the local link: a clean transfer, then a phone that drops the link.
# Usage: phone_process_test.sh MEDLEY
set -eu
medley=$1
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
export MEDLEY_IRDA_DIR="$work/link"
mkdir -p "$work/inbox"; mkdir -m 700 "$work/link"
head -c 300000 /dev/urandom > "$work/photo.jpg"

wait_for_phone() {
  for _ in $(seq 100); do
    [ -n "$(ls "$work/link")" ] && return 0
    sleep 0.1
  done
  echo "the phone never came into range" >&2
  exit 1
}

"$medley" phone --inbox "$work/inbox" --count 1 --seconds 60 > "$work/phone.log" 2>&1 &
pid=$!
wait_for_phone
"$medley" send "$work/photo.jpg"
wait "$pid"
cmp "$work/photo.jpg" "$work/inbox/photo.jpg"
echo "clean transfer: received byte-identical"

rm -rf "$work/link"/* "$work/inbox"/*
"$medley" phone --inbox "$work/inbox" --count 1 --seconds 60 --drop-after 100000 > "$work/phone.log" 2>&1 &
pid=$!
wait_for_phone
if "$medley" send "$work/photo.jpg" 2> "$work/send.err"; then
  echo "a dropped link was reported as a success" >&2
  exit 1
fi
wait "$pid" || true
grep -q "medley:" "$work/send.err"
[ ! -f "$work/inbox/photo.jpg" ]
echo "dropped link: failure reported, nothing stored as complete"
