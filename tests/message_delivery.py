"""A composed message on its ways out, judged by peers we did not write.

`medley mms encode` must write an m-send-req that Wireshark's MMS dissector reads cleanly with
its type, recipients, subject and the message's parts; `medley mms decode` must give back every
part as `medley mime extract` does.  `medley export` must write an e-mail that Python's `email`
package (policy default) parses without a defect, whose parts, names, Content-IDs and subject
come back as given, and that `munpack` unpacks into files equal to the parts.
"""
import email
import email.policy
import os
import re
import subprocess

import mms_dissect

TO = ["+4712345678", "kari@example.no"]
CC = ["+47 98 76 54 32"]
CARRIED_TO = ["+4712345678/TYPE=PLMN", "kari@example.no"]
CARRIED_CC = ["+4798765432/TYPE=PLMN"]


def files(folder):
    return {n: open(os.path.join(folder, n), "rb").read() for n in sorted(os.listdir(folder))}


def medley_run(medley, run, *args):
    return subprocess.run(run + [medley] + list(args), capture_output=True)


def check(label, msg, parts_dir, work, medley, run):
    """Problems found with message file `msg`, whose parts `mime extract` wrote to parts_dir."""
    problems = []
    parts = files(parts_dir)
    subject = "Plage d'\u00e9t\u00e9 \u2013 " + label
    pdu = os.path.join(work, label + ".mms")
    args = ["mms", "encode", msg, pdu, "--subject", subject]
    for a in TO:
        args += ["--to", a]
    for a in CC:
        args += ["--cc", a]
    p = medley_run(medley, run, *args)
    if p.returncode != 0:
        return ["mms encode: %s" % p.stderr.decode("utf-8", "replace")]
    problems += ["Wireshark: " + x for x in mms_dissect.check_send_req(pdu, msg, CARRIED_TO, CARRIED_CC, subject)]

    into = os.path.join(work, label + "-decoded")
    p = medley_run(medley, run, "mms", "decode", pdu, into)
    said = p.stdout.decode("utf-8", "replace").replace("\r", "")
    if p.returncode != 0:
        problems.append("mms decode: %s" % p.stderr.decode("utf-8", "replace"))
    elif files(into) != parts:
        problems.append("mms decode gave %s, mime extract %s" % (sorted(files(into)), sorted(parts)))
    for field, value in [("message type", "m-send-req"), ("subject", subject)] + [("to", a) for a in CARRIED_TO]:
        if not re.search(r"^%s:\s+%s$" % (field, re.escape(value)), said, re.M):
            problems.append("mms decode did not say %s %r:\n%s" % (field, value, said))

    eml = os.path.join(work, label + ".eml")
    p = medley_run(medley, run, "export", msg, eml, "--to", "kari@example.no", "--subject", subject)
    if p.returncode != 0:
        return problems + ["export: %s" % p.stderr.decode("utf-8", "replace")]
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
