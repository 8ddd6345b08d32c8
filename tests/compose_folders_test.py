#!/usr/bin/env python3
"""Folders of other programs' media made into messages with `medley compose`.

Pictures come from Pillow (JPEG, GIF, BMP, PNG), the sound from Python's wave module, texts in
UTF-8 with accents, in Windows-1252 and empty, and presentations that name a sub-folder or a
missing file.  Each folder must give a clear outcome: a message whose presentation passes
xmllint, names every part and nothing missing, and which Wireshark's MMS dissector reads
cleanly; or exit status 1 with the reason, and no message file.

Usage: compose_folders_test.py MEDLEY [EMULATOR]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import message_delivery  # noqa: E402
import mms_dissect  # noqa: E402
from wave_sound import sound  # noqa: E402

medley = sys.argv[1]
run = sys.argv[2:3]
failures = []


def fail(what):
    failures.append(what)
    print("FAIL: " + what)


def picture(path, fmt, size=(160, 120)):
    img = Image.new("RGB", size)
    px = img.load()
    for y in range(size[1]):
        for x in range(size[0]):
            px[x, y] = ((x * 7) % 256, (y * 5) % 256, ((x + y) * 3) % 256)
    if fmt == "GIF":
        img = img.convert("P", palette=Image.ADAPTIVE, colors=64)
    img.save(path, fmt)


def compose(folder, out):
    p = subprocess.run(run + [medley, "compose", folder, out], capture_output=True, text=True, errors="replace")
    return p.returncode, p.stdout.replace("\r", ""), p.stderr.replace("\r", "")


def extract(msg, into):
    p = subprocess.run(run + [medley, "mime", "extract", msg, into], capture_output=True, text=True, errors="replace")
    return p.returncode == 0


def check_message(label, msg, work, want_names):
    into = os.path.join(work, label + "-parts")
    os.mkdir(into)
    if not extract(msg, into):
        fail(label + ": the message does not extract")
        return
    smil = os.path.join(into, "mms.smil")
    if subprocess.run(["xmllint", "--noout", smil]).returncode != 0:
        fail(label + ": the presentation is not well-formed XML")
        return
    raw = open(smil, "rb").read()
    declared = re.match(rb'<\?xml[^>]*encoding="([^"]+)"', raw)
    text = raw.decode(declared.group(1).decode() if declared else "utf-8", "replace")
    names = sorted(n for n in os.listdir(into) if n != "mms.smil")
    if names != sorted(want_names):
        fail("%s: parts %s, wanted %s" % (label, names, sorted(want_names)))
    for n in names:
        if 'src="%s"' % n not in text:
            fail("%s: the presentation does not name %s" % (label, n))
    for src in re.findall(r'src="([^"]*)"', text):
        if src not in names:
            fail("%s: the presentation names %s, which the message lacks" % (label, src))
    problems = mms_dissect.check(msg)
    if problems:
        fail("%s: Wireshark: %s" % (label, "; ".join(problems)))
    for problem in message_delivery.check(label, msg, into, work, medley, run):
        fail("%s: %s" % (label, problem))


def main():
    work = tempfile.mkdtemp()
    try:
        # Pictures of every kind, their texts and a sound.
        f = os.path.join(work, "holiday")
        os.mkdir(f)
        picture(os.path.join(f, "beach.jpg"), "JPEG")
        picture(os.path.join(f, "boat.gif"), "GIF")
        picture(os.path.join(f, "map.bmp"), "BMP")
        picture(os.path.join(f, "sun.png"), "PNG")
        picture(os.path.join(f, "view.jpeg"), "JPEG", (320, 240))
        open(os.path.join(f, "beach.txt"), "wb").write("Plage d'été à Nice\n".encode("utf-8"))
        open(os.path.join(f, "boat.txt"), "wb").write("Caf\xe9 \x93au bord\x94 \x80 5\r\n".encode("latin-1"))
        open(os.path.join(f, "empty.txt"), "wb").write(b"")
        sound(os.path.join(f, "beach.wav"))
        open(os.path.join(f, "notes.doc"), "wb").write(b"not a medium")
        out = os.path.join(work, "holiday.dat")
        status, said, err = compose(f, out)
        if status != 0:
            fail("holiday: status %d: %s" % (status, err))
        else:
            for words in ("empty.txt - an empty file", "notes.doc - not a picture, text or sound",
                          "boat.txt - Windows-1252 text, carried as UTF-8", "5 slide(s) with 5 picture(s), 2 text(s)"):
                if words not in said:
                    fail("holiday: output lacks %r:\n%s" % (words, said))
            check_message("holiday", out, work, ["beach.jpg", "boat.gif", "map.bmp", "sun.png", "view.jpeg",
                                                 "beach.txt", "boat.txt", "beach.wav"])

        # The folder's own presentation with a text, by other programs' media.
        g = os.path.join(work, "show")
        os.mkdir(g)
        picture(os.path.join(g, "a.GIF"), "GIF")
        picture(os.path.join(g, "photo.jpg"), "JPEG")
        open(os.path.join(g, "c.txt"), "wb").write(b"hello\r\n")
        sound(os.path.join(g, "tone.wav"))
        smil = ('<smil><head><layout><root-layout width="176" height="208"/>'
                '<region id="Image" left="0" top="0" width="176" height="144"/>'
                '<region id="Text" left="0" top="144" width="176" height="64"/></layout></head><body>'
                '<par dur="4000ms"><img src="photo.jpg" region="Image"/><text src="c.txt" region="Text"/></par>'
                '<par dur="3000ms"><img src="a.GIF" region="Image"/><audio src="tone.wav"/></par></body></smil>')
        open(os.path.join(g, "show.smil"), "w").write(smil)
        out = os.path.join(work, "show.dat")
        status, said, err = compose(g, out)
        if status != 0:
            fail("show: status %d: %s" % (status, err))
        else:
            check_message("show", out, work, ["a.GIF", "photo.jpg", "c.txt", "tone.wav"])

        # Names with accents, on their way through every format (a Windows program carries them
        # in the ANSI code page, which the presentation then declares).
        g = os.path.join(work, "accents")
        os.mkdir(g)
        picture(os.path.join(g, "\u00e9t\u00e9 \u00e0 Nice.jpg"), "JPEG")
        open(os.path.join(g, "caf\u00e9.txt"), "wb").write("Caf\u00e9 cr\u00e8me\n".encode("utf-8"))
        out = os.path.join(work, "accents.dat")
        status, said, err = compose(g, out)
        if status != 0:
            fail("accents: status %d: %s" % (status, err))
        else:
            check_message("accents", out, work, ["\u00e9t\u00e9 \u00e0 Nice.jpg", "caf\u00e9.txt"])

        # Presentations that cannot be used: the reason, status 1 and no message.
        cases = [
            ("sub", '<smil><body><par><img src="deep/a.gif"/></par></body></smil>', "sub-folder"),
            ("missing", '<smil><body><par><img src="gone.jpg"/><text src="c.txt"/></par></body></smil>',
             "names media the folder lacks: gone.jpg"),
            ("broken", '<smil><body><par><img src="a.GIF"/></body></smil>', "not a well-formed SMIL"),
        ]
        for name, text, words in cases:
            h = os.path.join(work, name)
            os.makedirs(os.path.join(h, "deep"))
            picture(os.path.join(h, "a.GIF"), "GIF")
            picture(os.path.join(h, "deep", "a.gif"), "GIF")
            open(os.path.join(h, "c.txt"), "wb").write(b"x")
            open(os.path.join(h, "show.smil"), "w").write(text)
            out = os.path.join(work, name + ".dat")
            status, said, err = compose(h, out)
            if status != 1 or words not in err:
                fail("%s: status %d, wanted 1 and %r; said %s" % (name, status, words, err))
            if os.path.exists(out):
                fail("%s: a message was written" % name)
            if sorted(os.listdir(h)) != ["a.GIF", "c.txt", "deep", "show.smil"]:
                fail("%s: the folder changed: %s" % (name, os.listdir(h)))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("%d failure(s)" % len(failures))
        return 1
    print("every folder gave a clear outcome")
    return 0


if __name__ == "__main__":
    sys.exit(main())
