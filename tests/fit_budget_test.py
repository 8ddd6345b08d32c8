#!/usr/bin/env python3
"""Folders of other programs' media fitted into carriers' budgets with `medley pack --max-size`
and `medley fit`.

A corpus of folders is made with Pillow and Python's wave module: photo-sized JPEGs and BMPs of
several sizes, animated GIFs (Pillow's encoder: transparency, mixed delays and disposals),
texts, WAV sounds and presentations.  Each folder is fitted into 100k, 300k and 600k (KiB), and
every result must be no larger than its budget, open with the library's reader (medley mime
extract), dissect cleanly in Wireshark's MMS dissector, keep each GIF's frame count and total
duration as giflib reads them, have every JPEG decode in Pillow, and keep texts, sounds and the
presentation byte for byte.  The PSNR of each picture against the original rescaled to the
same size is reported (and written to fit-psnr.csv in the current folder).  Bad input must fail
with exit status 1, a reason, and no output file.

Usage: fit_budget_test.py MEDLEY GIF_GIFLIB_COMPARE|- [EMULATOR]
  GIF_GIFLIB_COMPARE: tests/giflib_check/gif_giflib_compare, whose --facts reads frame counts
  and durations with giflib; "-" where giflib is not built (the Windows builds): they are then
  read with Pillow.
"""
import io
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops, ImageStat

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mms_dissect  # noqa: E402
from media_corpus import Checks, animation, make_folder, photo, presentation, sound, text  # noqa: E402

gif_facts = sys.argv[2] if len(sys.argv) > 2 and sys.argv[2] != "-" else None
checks = Checks(sys.argv[1], sys.argv[3:4])
fail = checks.check
BUDGETS = {"100k": 100 * 1024, "300k": 300 * 1024, "600k": 600 * 1024}


def make_corpus(root):
    """At least 20 folders; returns their paths."""
    folders = []

    def folder(name, makers=()):
        folders.append(make_folder(os.path.join(root, name), dict(makers)))
        return folders[-1]

    sizes = [(1600, 1200), (2048, 1536), (1024, 768), (2592, 1944), (800, 600), (1280, 960)]
    for n in range(14):
        p = folder("f%02d" % n)
        for k in range(1 + n % 3):
            photo(os.path.join(p, "photo%d.jpg" % k), sizes[(n + k) % len(sizes)], n * 3 + k)
        if n % 2 == 0:
            photo(os.path.join(p, "scan.bmp"), (640 + 80 * (n % 4), 480 + 60 * (n % 4)), n, "BMP")
        if n % 3 != 2:
            animation(os.path.join(p, "anim.gif"), (160 + 20 * (n % 5), 120 + 15 * (n % 5)), 8 + 4 * (n % 4), n,
                      transparent=n % 2 == 0)
        text(os.path.join(p, "photo0.txt"), "Folder %d: caf\u00e9 on the shore, %s.\n" % (n, "sunny" * (n % 3 + 1)))
        if n % 4 == 1:
            sound(os.path.join(p, "photo0.wav"), 1.0 + n % 3)
    # Camera-sized photos.
    for n in range(2):
        folder("camera%d" % n, {"big.jpg": lambda p, n=n: photo(p, (4000, 3000), 100 + n),
                                "big.txt": lambda p: text(p, "A camera photo.\n")})
    # A presentation of the folder's own; animations only, a long one among them; bitmaps only;
    # PNG pictures and small pictures that already fit.
    folder("presentation", {"one.jpg": lambda p: photo(p, (1600, 1200), 41),
                            "two.gif": lambda p: animation(p, (200, 150), 24, 42),
                            "one.txt": lambda p: text(p, "First slide.\n"), "two.wav": lambda p: sound(p, 1.5),
                            "show.smil": lambda p: presentation(p, "one.jpg", "one.txt", "two.gif", "two.wav")})
    folder("animations", {"a.gif": lambda p: animation(p, (320, 240), 60, 51),
                          "b.gif": lambda p: animation(p, (120, 90), 10, 52, transparent=False)})
    folder("bitmaps", {"a.bmp": lambda p: photo(p, (1200, 900), 61, "BMP"),
                       "b.bmp": lambda p: photo(p, (400, 300), 62, "BMP")})
    folder("small", {"a.png": lambda p: photo(p, (900, 700), 71, "PNG"), "tiny.jpg": lambda p: photo(p, (120, 90), 72),
                     "tiny.gif": lambda p: animation(p, (48, 48), 4, 73)})
    return folders


def facts(path):
    """(frames, total duration in ms) of a GIF as giflib reads it (Pillow without giflib)."""
    if gif_facts:
        out = subprocess.run([gif_facts, "--facts", path], capture_output=True, text=True).stdout
        m = re.search(r"frames=(\d+) duration=(\d+)", out)
        return (int(m.group(1)), int(m.group(2))) if m else None
    try:
        im, total = Image.open(path), 0
        for i in range(im.n_frames):
            im.seek(i)
            total += im.info.get("duration", 0)
        return (im.n_frames, total)
    except Exception:
        return None


def psnr(a, b):
    """The peak signal-to-noise ratio of two pictures of one size, 99 for equal ones."""
    rms = ImageStat.Stat(ImageChops.difference(a.convert("RGB"), b.convert("RGB"))).rms
    mse = sum(v * v for v in rms) / len(rms)
    return 99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)


def check_result(label, folder, msg, budget, work, rows):
    size = os.path.getsize(msg)
    fail(size <= budget, "%s: %d octets, more than the budget of %d" % (label, size, budget))
    into = os.path.join(work, label.replace("/", "-") + "-parts")
    os.mkdir(into)
    rc, out, err = checks.medley("mime", "extract", msg, into)
    if not fail(rc == 0, "%s: the message does not open or extract: %s" % (label, err.strip())):
        return
    problems = mms_dissect.check(msg)
    fail(not problems, "%s: not clean in Wireshark: %s" % (label, "; ".join(problems)))
    for name in sorted(os.listdir(into)):
        got = os.path.join(into, name)
        src = os.path.join(folder, name)
        data = open(got, "rb").read()
        ext = name.lower().rsplit(".", 1)[-1]
        if ext in ("txt", "wav", "smil") and os.path.exists(src) and name != "mms.smil":
            fail(open(src, "rb").read() == data, "%s: %s is not the source's octets" % (label, name))
        if data[:4] == b"GIF8":
            want, have = facts(src), facts(got)
            if fail(have, "%s: %s does not decode in giflib" % (label, name)):
                fail(not want or want == have, "%s: %s has %s frames/ms, the source %s" % (label, name, have, want))
        elif data[:2] != b"\xff\xd8":
            continue
        try:  # every JPEG and GIF, and its PSNR against its source
            out_img = Image.open(io.BytesIO(data))
            out_img.load()
        except Exception as e:
            fail(False, "%s: %s does not decode in Pillow: %s" % (label, name, e))
            continue
        if os.path.exists(src):
            orig = Image.open(src)
            ref = orig.convert("RGB").resize(out_img.size, Image.LANCZOS)
            rows.append((label, name, orig.size, out_img.size, len(data), psnr(ref, out_img)))


def main():
    work = tempfile.mkdtemp(prefix="fit-budget-")
    rows = []
    try:
        corpus = os.path.join(work, "corpus")
        folders = make_corpus(corpus)
        fail(len(folders) >= 20, "the corpus has only %d folders" % len(folders))
        outs = os.path.join(work, "out")
        os.mkdir(outs)
        for folder in folders:
            base = os.path.basename(folder)
            for tag, budget in BUDGETS.items():
                label = "%s/%s" % (base, tag)
                msg = os.path.join(outs, "%s-%s.dat" % (base, tag))
                rc, out, err = checks.medley("pack", folder, msg, "--max-size", tag)
                if fail(rc == 0, "%s: pack failed: %s" % (label, err.strip())):
                    fail("verdict: OK" in out, "%s: no verdict in the table:\n%s" % (label, out))
                    check_result(label, folder, msg, budget, work, rows)
        # A fitted message fitted again, smaller.
        src = os.path.join(outs, "f00-600k.dat")
        refit = os.path.join(outs, "refit-100k.dat")
        rc, out, err = checks.medley("fit", src, refit, "--max-size", "100k")
        if fail(rc == 0, "fit 600k -> 100k: %s" % err.strip()):
            check_result("refit/100k", os.path.join(corpus, "f00"), refit, 100 * 1024, work, rows)

        # Bad input through the verbs: exit status 1, the reason, nothing written (the library's
        # reasons are the message tests' (Fit.*); these are the verbs' words and files).
        bad = os.path.join(work, "bad")
        loud = make_folder(os.path.join(bad, "loud"), {"long.wav": lambda p: sound(p, 8.0),  # 128 KB of sound
                                                       "a.jpg": lambda p: photo(p, (800, 600), 81)})
        out = os.path.join(bad, "loud.dat")
        checks.refused("sound over the budget", ["pack", loud, out, "--max-size", "100k"], out,
                       "the sound long.wav alone takes")
        checks.refused("no size", ["fit", src, out, "--max-size", "lots"], out, "not a size")
        # Damaged pictures: reported, left out, the rest goes on.
        damaged = make_folder(os.path.join(bad, "damaged"), {
            "good.jpg": lambda p: photo(p, (1600, 1200), 91), "cut.jpg": lambda p: photo(p, (1600, 1200), 92),
            "noise.gif": lambda p: text(p, "GIF89a" + "".join(map(chr, range(40))), "latin-1")})
        os.truncate(os.path.join(damaged, "cut.jpg"), 60)
        msg = os.path.join(bad, "damaged.dat")
        rc, out, err = checks.medley("pack", damaged, msg, "--max-size", "100k")
        if fail(rc == 0, "damaged pictures: pack failed: %s" % err.strip()):
            fail(re.search(r"cut\.jpg.*damaged", out), "damaged pictures: cut.jpg not reported as damaged:\n" + out)
            fail("noise.gif" in out, "damaged pictures: noise.gif not reported:\n" + out)
            check_result("damaged/100k", damaged, msg, 100 * 1024, work, rows)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    # The PSNR table (fit-psnr.csv and the output): every picture, and a summary per budget.
    table = [(label, name, "%dx%d" % a, "%dx%d" % b, n, "%.2f" % v) for label, name, a, b, n, v in rows]
    with open("fit-psnr.csv", "w") as f:
        f.write("message,picture,source size,result size,octets,psnr dB\n")
        f.writelines("%s,%s,%s,%s,%d,%s\n" % row for row in table)
    print("%-22s %-12s %11s %11s %8s %7s" % ("message", "picture", "source", "result", "octets", "PSNR"))
    for row in table:
        print("%-22s %-12s %11s %11s %8d %7s" % row)
    for tag in BUDGETS:
        vals = [v for (label, _, _, _, _, v) in rows if label.endswith("/" + tag)]
        changed = [v for v in vals if v < 99]
        if changed:
            print("PSNR at %s: %d pictures (%d kept as they were), of the changed ones min %.2f dB, mean %.2f dB, "
                  "max %.2f dB" % (tag, len(vals), len(vals) - len(changed), min(changed),
                                   sum(changed) / len(changed), max(changed)))
    return checks.verdict("all %d results checked" % len(rows))


if __name__ == "__main__":
    sys.exit(main())
