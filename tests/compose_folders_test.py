#!/usr/bin/env python3
"""Folders of other programs' media made into messages with `medley compose`.

Pictures come from Pillow (JPEG, GIF, BMP, PNG), the sound from Python's wave module, texts in
UTF-8 with accents, in Windows-1252 and empty, and presentations that name a sub-folder or a
missing file.  Each folder must give a clear outcome: a message whose presentation passes
xmllint, names every part and nothing missing, which Wireshark's MMS dissector reads cleanly,
and which goes out whole as an MMS PDU and as an e-mail; or exit status 1 with the reason, no
message file, and the folder as it was.

Usage: compose_folders_test.py MEDLEY [EMULATOR]
"""
import email
import email.policy
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mms_dissect  # noqa: E402
from media_corpus import Checks, make_folder, photo, presentation, sound, text  # noqa: E402

checks = Checks(sys.argv[1], sys.argv[2:3])
check = checks.check
TO = ["+4712345678", "kari@example.no"]
CC = ["+47 98 76 54 32"]
CARRIED_TO = ["+4712345678/TYPE=PLMN", "kari@example.no"]
CARRIED_CC = ["+4798765432/TYPE=PLMN"]


def files(folder):
    return {n: open(os.path.join(folder, n), "rb").read() for n in sorted(os.listdir(folder))}


def delivery_problems(label, msg, parts_dir, work):
    """Problems found with message file `msg` on its ways out, whose parts `mime extract` wrote
    to parts_dir.  `medley mms encode` must write an m-send-req that Wireshark's MMS dissector
    reads cleanly with its type, recipients, subject and the message's parts; `medley mms
    decode` must give back every part as `medley mime extract` does.  `medley export` must write
    an e-mail that Python's `email` package (policy default) parses without a defect, whose
    parts, names, Content-IDs and subject come back as given, and that `munpack` unpacks into
    files equal to the parts."""
    problems = []
    parts = files(parts_dir)
    subject = "Plage d'\u00e9t\u00e9 \u2013 " + label
    pdu = os.path.join(work, label + ".mms")
    recipients = [w for a in TO for w in ("--to", a)] + [w for a in CC for w in ("--cc", a)]
    status, said, err = checks.medley("mms", "encode", msg, pdu, "--subject", subject, *recipients)
    if status != 0:
        return ["mms encode: %s" % err]
    problems += ["Wireshark: " + x for x in mms_dissect.check_send_req(pdu, msg, CARRIED_TO, CARRIED_CC, subject)]

    into = os.path.join(work, label + "-decoded")
    status, said, err = checks.medley("mms", "decode", pdu, into)
    if status != 0:
        problems.append("mms decode: %s" % err)
    elif files(into) != parts:
        problems.append("mms decode gave %s, mime extract %s" % (sorted(files(into)), sorted(parts)))
    for field, value in [("message type", "m-send-req"), ("subject", subject)] + [("to", a) for a in CARRIED_TO]:
        if not re.search(r"^%s:\s+%s$" % (field, re.escape(value)), said, re.M):
            problems.append("mms decode did not say %s %r:\n%s" % (field, value, said))

    eml = os.path.join(work, label + ".eml")
    status, said, err = checks.medley("export", msg, eml, "--to", "kari@example.no", "--subject", subject)
    if status != 0:
        return problems + ["export: %s" % err]
    data = open(eml, "rb").read()
    if any(len(line) > 78 for line in data.split(b"\r\n")) or re.search(rb"[^\r]\n", data):
        problems.append("the e-mail has a line over 78 characters or a bare LF")
    mail = email.message_from_bytes(data, policy=email.policy.default)
    if str(mail["Subject"]) != subject:
        problems.append("e-mail subject %r" % str(mail["Subject"]))
    got, texts = {}, set()
    for part in mail.walk():
        for d in part.defects + [d for k in part.keys() for d in part[k].defects]:
            problems.append("e-mail defect: %r" % d)
        if part.is_multipart():
            continue
        # The presentation is extracted as mms.smil; every other part under its own name.
        name = "mms.smil" if part["Content-ID"] == "<smil>" else part.get_filename()
        got[name] = part.get_payload(decode=True)
        if part.get_content_maintype() == "text":
            texts.add(name)
    if mail.get_content_type() != ("multipart/related" if "mms.smil" in parts else "multipart/mixed"):
        problems.append("e-mail of type %s" % mail.get_content_type())
    if got != parts:
        problems.append("the e-mail's parts %s differ from the message's %s" % (sorted(got), sorted(parts)))

    unpacked = os.path.join(work, label + "-munpack")
    os.mkdir(unpacked)
    p = subprocess.run(["munpack", "-t", "-q", "-C", unpacked, eml], capture_output=True)
    # munpack writes text parts with the local line ending (RFC 2046's canonical CRLF becomes LF);
    # every other part must come out octet for octet.
    contents = sorted(v for n, v in files(unpacked).items() if not n.endswith(".desc"))
    want = sorted(v.replace(b"\r\n", b"\n") if n in texts else v for n, v in parts.items())
    if p.returncode != 0 or contents != want:
        problems.append("munpack gave %s (status %d)" % (sorted(files(unpacked)), p.returncode))
    return problems


def picture(fmt, size=(160, 120)):
    return lambda path: photo(path, size, len(path), fmt)


def check_message(label, msg, work, want_names):
    into = os.path.join(work, label + "-parts")
    os.mkdir(into)
    if not check(checks.medley("mime", "extract", msg, into)[0] == 0, label + ": the message does not extract"):
        return
    smil = os.path.join(into, "mms.smil")
    if not check(subprocess.run(["xmllint", "--noout", smil]).returncode == 0,
                 label + ": the presentation is not well-formed XML"):
        return
    raw = open(smil, "rb").read()
    declared = re.match(rb'<\?xml[^>]*encoding="([^"]+)"', raw)
    said = raw.decode(declared.group(1).decode() if declared else "utf-8", "replace")
    names = sorted(n for n in os.listdir(into) if n != "mms.smil")
    check(names == sorted(want_names), "%s: parts %s, wanted %s" % (label, names, sorted(want_names)))
    for n in names:
        check('src="%s"' % n in said, "%s: the presentation does not name %s" % (label, n))
    for src in re.findall(r'src="([^"]*)"', said):
        check(src in names, "%s: the presentation names %s, which the message lacks" % (label, src))
    problems = mms_dissect.check(msg)
    check(not problems, "%s: Wireshark: %s" % (label, "; ".join(problems)))
    for problem in delivery_problems(label, msg, into, work):
        check(False, "%s: %s" % (label, problem))


def main():
    work = tempfile.mkdtemp()
    # Folders that make a message: pictures of every kind, their texts and a sound; the
    # folder's own presentation; names with accents, on their way through every format (a
    # Windows program carries them in the ANSI code page, which the presentation then declares).
    folders = [
        ("holiday", {"beach.jpg": picture("JPEG"), "boat.gif": picture("GIF"), "map.bmp": picture("BMP"),
                     "sun.png": picture("PNG"), "view.jpeg": picture("JPEG", (320, 240)),
                     "beach.txt": lambda p: text(p, "Plage d'été à Nice\n"),
                     "boat.txt": lambda p: text(p, "Caf\xe9 \x93au bord\x94 \x80 5\r\n", "latin-1"),
                     "empty.txt": lambda p: text(p, ""), "beach.wav": sound,
                     "notes.doc": lambda p: text(p, "not a medium")},
         ["empty.txt - an empty file", "notes.doc - not a picture, text or sound",
          "boat.txt - Windows-1252 text, carried as UTF-8", "5 slide(s) with 5 picture(s), 2 text(s)"],
         ["beach.jpg", "boat.gif", "map.bmp", "sun.png", "view.jpeg", "beach.txt", "boat.txt", "beach.wav"]),
        ("show", {"a.GIF": picture("GIF"), "photo.jpg": picture("JPEG"), "c.txt": lambda p: text(p, "hello\r\n"),
                  "tone.wav": sound, "show.smil": lambda p: presentation(p, "photo.jpg", "c.txt", "a.GIF", "tone.wav")},
         [], ["a.GIF", "photo.jpg", "c.txt", "tone.wav"]),
        ("accents", {"\u00e9t\u00e9 \u00e0 Nice.jpg": picture("JPEG"),
                     "caf\u00e9.txt": lambda p: text(p, "Caf\u00e9 cr\u00e8me\n")},
         [], ["\u00e9t\u00e9 \u00e0 Nice.jpg", "caf\u00e9.txt"]),
    ]
    try:
        for name, makers, words, parts in folders:
            out = os.path.join(work, name + ".dat")
            status, said, err = checks.medley("compose", make_folder(os.path.join(work, name), makers), out)
            if check(status == 0, "%s: status %d: %s" % (name, status, err)):
                for w in words:
                    check(w in said, "%s: output lacks %r:\n%s" % (name, w, said))
                check_message(name, out, work, parts)
        # A presentation that names a sub-folder: the reason, status 1, no message and the folder
        # as it was (the library's other refusals are the compose tests').
        h = make_folder(os.path.join(work, "sub"), {
            "a.GIF": picture("GIF"), "deep": os.mkdir, "c.txt": lambda p: text(p, "x"),
            "show.smil": lambda p: text(p, '<smil><body><par><img src="deep/a.gif"/></par></body></smil>')})
        picture("GIF")(os.path.join(h, "deep", "a.gif"))
        checks.refused("sub", ["compose", h, h + ".dat"], h + ".dat", "sub-folder")
        check(sorted(os.listdir(h)) == ["a.GIF", "c.txt", "deep", "show.smil"], "the folder changed: %s" % os.listdir(h))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return checks.verdict("every folder gave a clear outcome")


if __name__ == "__main__":
    sys.exit(main())
