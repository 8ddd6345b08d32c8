#!/bin/sh
# Two users on one machine: a victim (uid 40001) runs medley, an attacker (uid 40002) plants
# things in the folders they share.  Each row checks that the victim's files stay the
# victim's: nothing deleted, overwritten or received through what the attacker planted, and a
# refused folder named with its reason.  Needs root (to drop to the two uids with setpriv).
# Usage: shared_machine_test.sh MEDLEY
set -u
medley=$1
[ "$(id -u)" -eq 0 ] && command -v setpriv > /dev/null || { echo "skipped: needs root and setpriv"; exit 77; }
V=40001 A=40002
. "$(dirname "$0")/script_kit.sh"
chmod 755 "$work"
# The program, its libraries and the module where both users can run them (a checkout under
# root's home is closed to them).
mkdir -m 755 "$work/bin"
cp "$medley" "$(dirname "$medley")"/*.so "$(dirname "$medley")"/*.pll "$work/bin/" 2>/dev/null
chmod -R a+rX "$work/bin"
medley=$work/bin/$(basename "$medley")
mkdir -m 1777 "$work/shared"
mkdir -m 700 "$work/victim"
mkdir -m 755 "$work/attacker"   # the attacker's folders are for the victim to find
chown $V:$V "$work/victim"; chown $A:$A "$work/attacker"
as() { who=$1; shift; setpriv --reuid="$who" --regid="$who" --clear-groups env HOME="$work/$( [ "$who" = $V ] && echo victim || echo attacker)" "$@"; }
run="as $V"   # m runs medley as the victim
# The victim's photos, which no row may touch.
as $V mkdir "$work/victim/photos"
as $V sh -c "printf precious > '$work/victim/photos/p.jpg'"
intact() { [ "$(cat "$work/victim/photos/p.jpg" 2>/dev/null)" = precious ] || fail "$1: the victim's photo is gone or changed"; }

# 1. The temporary folder is the victim's own: an attacker's folder, a link or an open folder
#    there is refused with its reason, and nothing is done.
as $A mkdir -m 777 "$work/shared/t1" "$work/shared/t1/medley-$V"
as $A mkdir -m 777 "$work/shared/t2"; as $A ln -s "$work/victim/photos" "$work/shared/t2/medley-$V"
as $V mkdir -m 755 "$work/shared/t3" "$work/shared/t3/medley-$V"
for row in "t1 belongs to another user" "t2 is a link" "t3 is open to other users"; do
  t=${row%% *}; why=${row#* }
  TMPDIR="$work/shared/$t" m clean-temp
  refused "the private folder $work/shared/$t/medley-$V $why" "temporary folder $t"
done
intact "temporary folder refused"

# 2. Fixed names of the temporary folder: a planted MMSTemp link is not followed, a planted
#    abmTemp.abm does not block an album insert.
as $A mkdir -m 777 "$work/shared/t4"
as $A ln -s "$work/victim/photos" "$work/shared/t4/MMSTemp"
as $A sh -c "printf x > '$work/shared/t4/abmTemp.abm'; chmod 600 '$work/shared/t4/abmTemp.abm'"
TMPDIR="$work/shared/t4" succeed clean-temp
intact "clean-temp beside a planted MMSTemp link"
as $V mkdir -p "$work/victim/Trip/o1"
as $V sh -c "printf GIF89a > '$work/victim/Trip/o1/a.gif'"
TMPDIR="$work/shared/t4" succeed album insert "$work/victim/Trip/Trip.abm" "$work/victim/Trip/o1/a.gif"

# 3. Scratch work (fit, compose) leaves nothing in the shared folder but the victim's own
#    private folder.
as $V mkdir "$work/victim/media"
as $V sh -c "head -c 3000 /dev/urandom > '$work/victim/media/noise.txt'"
TMPDIR="$work/shared/t4" m compose "$work/victim/media" "$work/victim/out.dat"
TMPDIR="$work/shared/t4" m pack --max-size 100000 "$work/victim/media" "$work/victim/fit.dat"
as $V ln -s "$work/victim/photos/p.jpg" "$work/victim/media/leak.jpg"
TMPDIR="$work/shared/t4" m pack "$work/victim/media" "$work/victim/packed.dat"
said "left out leak.jpg: it is a link" "pack of a folder with a link out of it"
grep -q precious "$work/victim/packed.dat" && fail "pack put the file a link leads to into the message"
left=$(find "$work/shared/t4" -mindepth 1 -maxdepth 1 -user $V ! -name "medley-$V")
[ -z "$left" ] || fail "scratch work left in the shared folder: $left"
[ "$(stat -c %a "$work/shared/t4/medley-$V")" = 700 ] || fail "the private folder is not 0700"

# 4. The IrDA link: a link folder the attacker made first is refused (with its reason) by the
#    victim's send and by the victim's phone; a phone of the attacker's whose socket ends up in
#    the victim's folder gets nothing; the victim's phone answers no other user.
as $V sh -c "head -c 2000 /dev/urandom > '$work/victim/secret.dat'"
as $A mkdir -m 700 "$work/attacker/link" "$work/attacker/inbox"
# The attacker's "phone" answers anyone and keeps whatever reaches it.
as $A python3 -c "
import os, socket, sys
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); os.chmod(sys.argv[1], 0o666)
s.listen(8); s.settimeout(30)
while True:
    try:
        c, _ = s.accept()
    except OSError:
        break
    c.settimeout(2)
    try:
        got = c.recv(65536)
    except OSError:
        got = b''
    if got:
        open(sys.argv[2], 'ab').write(got)
    c.close()" "$work/attacker/link/0badbeef.sock" "$work/attacker/inbox/got" > /dev/null 2>&1 &
pids="$pids $!"
for _ in $(seq 100); do [ -S "$work/attacker/link/0badbeef.sock" ] && break; sleep 0.1; done
as $A chmod 755 "$work/attacker/link"   # open now that the phone listens
MEDLEY_IRDA_DIR="$work/attacker/link" MEDLEY_IRDA_TIMEOUT_MS=800 m send "$work/victim/secret.dat"
refused "the private folder $work/attacker/link belongs to another user" "send into the attacker's link folder"
m phone --link-dir "$work/attacker/link" --inbox "$work/victim" --seconds 1
said "the link folder $work/attacker/link belongs to another user" "phone in the attacker's link folder"
as $V mkdir -m 700 "$work/victim/link"
mv "$work/attacker/link/0badbeef.sock" "$work/victim/link/"   # however it got there
MEDLEY_IRDA_DIR="$work/victim/link" MEDLEY_IRDA_TIMEOUT_MS=800 m send "$work/victim/secret.dat"
refused "medley: " "send to the attacker's phone"
[ -z "$(ls "$work/attacker/inbox")" ] || fail "the attacker's phone received the victim's file"
rm -f "$work/victim/link/0badbeef.sock"
as $V env MEDLEY_IRDA_DIR="$work/victim/link" "$medley" phone --inbox "$work/victim" --id 0000cafe --seconds 30 > /dev/null 2>&1 &
pids="$pids $!"
for _ in $(seq 100); do [ -S "$work/victim/link/0000cafe.sock" ] && break; sleep 0.1; done
ln "$work/victim/link/0000cafe.sock" "$work/shared/cafe.sock"
chmod 666 "$work/shared/cafe.sock"   # even a socket open to all answers only its own user
answer=$(as $A python3 -c "
import socket, sys
s = socket.socket(socket.AF_UNIX); s.settimeout(3)
try:
    s.connect(sys.argv[1]); s.sendall(b'INFO\n'); print(s.recv(100).decode(errors='replace'))
except OSError: pass" "$work/shared/cafe.sock")
[ -z "$answer" ] || fail "the victim's phone answered another user: $answer"

# 5. demo --work in a shared folder: what another user made there is neither deleted nor
#    written through.
as $A mkdir -m 777 "$work/shared/w" "$work/shared/w/media"
for f in logo.png note.txt photo.jpg tone.wav; do as $A ln -s "$work/victim/photos/p.jpg" "$work/shared/w/media/$f"; done
m demo --work "$work/shared/w"
refused "was not made by the demo" "demo --work in a folder with another user's media"
intact "demo --work"

finish "no other user reached the victim's files"
