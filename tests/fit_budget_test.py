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

Usage: fit_budget_test.py MEDLEY GIF_FACTS|- [EMULATOR]
  GIF_FACTS: tests/giflib_check/gif_facts (giflib); "-" where giflib is not built (the
  Windows builds): frame counts and durations are then read with Pillow.
"""
import io
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw, ImageFilter

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import mms_dissect  # noqa: E402
from wave_sound import sound  # noqa: E402

medley = sys.argv[1]
gif_facts = sys.argv[2] if len(sys.argv) > 2 and sys.argv[2] != "-" else None
run = sys.argv[3:4]
failures = []
BUDGETS = {"100k": 100 * 1024, "300k": 300 * 1024, "600k": 600 * 1024}


def fail(what):
    failures.append(what)
    print("FAIL: " + what)


def photo(path, size, seed, fmt="JPEG"):
    """A photo-like picture: gradients, shapes and grain, mildly blurred."""
    w, h = size
    base = Image.linear_gradient("L").resize((w, h))
    r = Image.effect_noise((w, h), 30 + seed % 20)
    g = base.rotate(90 + seed * 7).resize((w, h))
    img = Image.merge("RGB", (base, Image.blend(g, r, 0.4), r))
    d = ImageDraw.Draw(img)
    for i in range(12):
        x, y = (seed * 97 + i * 211) % w, (seed * 53 + i * 149) % h
        d.ellipse((x, y, x + w // 6, y + h // 6), fill=((i * 40) % 256, (seed * 30) % 256, (i * 90) % 256))
    img = img.filter(ImageFilter.GaussianBlur(1.5))
    if fmt == "JPEG":
        img.save(path, "JPEG", quality=92)
    else:
        img.save(path, fmt)


def animation(path, size, frames, seed, transparent=True):
    w, h = size
    out = []
    for i in range(frames):
        f = Image.new("RGB", (w, h), (10 + seed * 5 % 200, 30, 70))
        d = ImageDraw.Draw(f)
        x = (i * w // frames)
        d.ellipse((x, h // 4, x + w // 4, h // 4 + h // 3), fill=(250, (200 - i * 3) % 256, 40))
        d.rectangle((0, h - h // 6, w, h), fill=((40 + i * 5) % 256, 120, 40))
        for k in range(6):
            d.line((0, k * h // 6, w, (k * h // 6 + i * 3) % h), fill=(k * 40, 255 - k * 30, (i * 9) % 256))
        p = f.convert("P", palette=Image.ADAPTIVE, colors=200)
        out.append(p)
    kw = {}
    if transparent:
        kw["transparency"] = 0
    out[0].save(path, save_all=True, append_images=out[1:], loop=0,
                duration=[30 + (i % 4) * 20 for i in range(frames)],
                disposal=[1 + (i % 2) for i in range(frames)], **kw)


def text(path, s):
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(s)


def make_corpus(root):
    """At least 20 folders; returns their paths."""
    folders = []

    def folder(name):
        p = os.path.join(root, name)
        os.mkdir(p)
        folders.append(p)
        return p

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
        p = folder("camera%d" % n)
        photo(os.path.join(p, "big.jpg"), (4000, 3000), 100 + n)
        text(os.path.join(p, "big.txt"), "A camera photo.\n")
    # A presentation of the folder's own.
    p = folder("presentation")
    photo(os.path.join(p, "one.jpg"), (1600, 1200), 41)
    animation(os.path.join(p, "two.gif"), (200, 150), 24, 42)
    text(os.path.join(p, "one.txt"), "First slide.\n")
    sound(os.path.join(p, "two.wav"), 1.5)
    text(os.path.join(p, "show.smil"),
         '<smil><head><layout><root-layout width="176" height="208"/>'
         '<region id="Image" left="0" top="0" width="176" height="144"/>'
         '<region id="Text" left="0" top="144" width="176" height="64"/></layout></head><body>'
         '<par dur="4000ms"><img src="one.jpg" region="Image"/><text src="one.txt" region="Text"/></par>'
         '<par dur="3000ms"><img src="two.gif" region="Image"/><audio src="two.wav"/></par>'
         '</body></smil>\n')
    # Animations only, a long one among them.
    p = folder("animations")
    animation(os.path.join(p, "a.gif"), (320, 240), 60, 51)
    animation(os.path.join(p, "b.gif"), (120, 90), 10, 52, transparent=False)
    # Bitmaps only.
    p = folder("bitmaps")
    photo(os.path.join(p, "a.bmp"), (1200, 900), 61, "BMP")
    photo(os.path.join(p, "b.bmp"), (400, 300), 62, "BMP")
    # PNG pictures and small pictures that already fit.
    p = folder("small")
    photo(os.path.join(p, "a.png"), (900, 700), 71, "PNG")
    photo(os.path.join(p, "tiny.jpg"), (120, 90), 72)
    animation(os.path.join(p, "tiny.gif"), (48, 48), 4, 73)
    return folders


def medley_run(args):
    p = subprocess.run(run + [medley] + args, capture_output=True, text=True, errors="replace")
    return p.returncode, p.stdout.replace("\r", ""), p.stderr.replace("\r", "")


def facts(path):
    """(frames, total duration in ms) of a GIF as giflib reads it (Pillow without giflib)."""
    if gif_facts:
        out = subprocess.run([gif_facts, path], capture_output=True, text=True).stdout
        m = re.search(r"frames=(\d+) duration=(\d+)", out)
        return (int(m.group(1)), int(m.group(2))) if m else None
    try:
        im = Image.open(path)
        n, total = 0, 0
        for i in range(im.n_frames):
            im.seek(i)
            n += 1
            total += im.info.get("duration", 0)
        return (n, total)
    except Exception:
        return None


def psnr(a, b):
    a = a.convert("RGB")
    b = b.convert("RGB")
    if a.size != b.size:
        return None
    ha, hb = a.tobytes(), b.tobytes()
    se = sum((x - y) * (x - y) for x, y in zip(ha[::7], hb[::7]))
    n = len(ha[::7])
    mse = se / max(n, 1)
    return 99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)


def check_result(label, folder, msg, budget, work, rows):
    size = os.path.getsize(msg)
    if size > budget:
        fail("%s: %d octets, more than the budget of %d" % (label, size, budget))
    into = os.path.join(work, label.replace("/", "-") + "-parts")
    os.mkdir(into)
    rc, out, err = medley_run(["mime", "extract", msg, into])
    if rc != 0:
        fail("%s: the message does not open or extract: %s" % (label, err.strip()))
        return
    problems = mms_dissect.check(msg)
    if problems:
        fail("%s: not clean in Wireshark: %s" % (label, "; ".join(problems)))
    for name in sorted(os.listdir(into)):
        got = os.path.join(into, name)
        src = os.path.join(folder, name)
        data = open(got, "rb").read()
        ext = name.lower().rsplit(".", 1)[-1]
        if ext in ("txt", "wav", "smil") and os.path.exists(src) and name != "mms.smil":
            if open(src, "rb").read() != data:
                fail("%s: %s is not the source's octets" % (label, name))
        if data[:4] == b"GIF8":
            want, have = facts(src), facts(got)
            if not have:
                fail("%s: %s does not decode in giflib" % (label, name))
            elif want and want != have:
                fail("%s: %s has %s frames/ms, the source %s" % (label, name, have, want))
        elif data[:2] == b"\xff\xd8":
            try:
                im = Image.open(io.BytesIO(data))
                im.load()
            except Exception as e:
                fail("%s: %s does not decode in Pillow: %s" % (label, name, e))
                continue
        else:
            continue
        if not os.path.exists(src):
            continue
        out_img = Image.open(io.BytesIO(data))
        orig = Image.open(src)
        ref = orig.convert("RGB").resize(out_img.size, Image.LANCZOS)
        value = psnr(ref, out_img)
        rows.append((label, name, orig.size, out_img.size, len(data), value))


def expect_failure(label, args, out_path, says):
    rc, out, err = medley_run(args)
    if rc != 1:
        fail("%s: exit status %d, wanted 1 (%s)" % (label, rc, err.strip()))
    if says not in err:
        fail("%s: the reason does not say %r: %s" % (label, says, err.strip()))
    if os.path.exists(out_path):
        fail("%s: an output file was left behind" % label)
    leftovers = [n for n in os.listdir(os.path.dirname(out_path)) if n.startswith("~md")]
    if leftovers:
        fail("%s: temporary files left: %s" % (label, leftovers))


def main():
    work = tempfile.mkdtemp(prefix="fit-budget-")
    rows = []
    try:
        corpus = os.path.join(work, "corpus")
        os.mkdir(corpus)
        folders = make_corpus(corpus)
        if len(folders) < 20:
            fail("the corpus has only %d folders" % len(folders))
        outs = os.path.join(work, "out")
        os.mkdir(outs)
        for folder in folders:
            base = os.path.basename(folder)
            for tag, budget in BUDGETS.items():
                label = "%s/%s" % (base, tag)
                msg = os.path.join(outs, "%s-%s.dat" % (base, tag))
                rc, out, err = medley_run(["pack", folder, msg, "--max-size", tag])
                if rc != 0:
                    fail("%s: pack failed: %s" % (label, err.strip()))
                    continue
                if "verdict: OK" not in out:
                    fail("%s: no verdict in the table:\n%s" % (label, out))
                check_result(label, folder, msg, budget, work, rows)
        # A fitted message fitted again, smaller.
        src = os.path.join(outs, "f00-600k.dat")
        refit = os.path.join(outs, "refit-100k.dat")
        rc, out, err = medley_run(["fit", src, refit, "--max-size", "100k"])
        if rc != 0:
            fail("fit 600k -> 100k: %s" % err.strip())
        else:
            check_result("refit/100k", os.path.join(corpus, "f00"), refit, 100 * 1024, work, rows)

        # Bad input: exit status 1, the reason, nothing written.
        bad = os.path.join(work, "bad")
        os.mkdir(bad)
        for i, (label, name, makers, says) in enumerate([
                ("sound over the budget", "loud",
                 {"long.wav": lambda p: sound(p, 8.0), "a.jpg": lambda p: photo(p, (800, 600), 81)},  # 128 KB of sound
                 "the sound long.wav alone takes"),
                ("nothing to shrink", "quiet",
                 {"a.txt": lambda p: text(p, "x" * 150000), "a.wav": lambda p: sound(p, 1.0)},
                 "nothing in the message can be shrunk"),
                ("budget under the fixed part", "fixed",
                 {"a.txt": lambda p: text(p, "y" * 90000), "a.wav": lambda p: sound(p, 1.0),
                  "a.jpg": lambda p: photo(p, (800, 600), 82)},
                 "smaller than what cannot be shrunk")], 1):
            folder = os.path.join(bad, name)
            os.mkdir(folder)
            for file, make in makers.items():
                make(os.path.join(folder, file))
            out = os.path.join(bad, "o%d.dat" % i)
            expect_failure(label, ["pack", folder, out, "--max-size", "100k"], out, says)
        junk = os.path.join(bad, "junk.dat")
        with open(junk, "wb") as f:
            f.write(b"\x84not a message")
        expect_failure("source does not open", ["fit", junk, os.path.join(bad, "o4.dat"), "--max-size", "100k"],
                       os.path.join(bad, "o4.dat"), "cannot be opened")
        expect_failure("no size", ["fit", src, os.path.join(bad, "o5.dat"), "--max-size", "lots"],
                       os.path.join(bad, "o5.dat"), "not a size")
        # Damaged pictures: reported, left out, the rest goes on.
        damaged = os.path.join(bad, "damaged")
        os.mkdir(damaged)
        photo(os.path.join(damaged, "good.jpg"), (1600, 1200), 91)
        photo(os.path.join(damaged, "cut.jpg"), (1600, 1200), 92)
        with open(os.path.join(damaged, "cut.jpg"), "r+b") as f:
            f.truncate(60)
        with open(os.path.join(damaged, "noise.gif"), "wb") as f:
            f.write(b"GIF89a" + bytes(range(40)))
        msg = os.path.join(bad, "damaged.dat")
        rc, out, err = medley_run(["pack", damaged, msg, "--max-size", "100k"])
        if rc != 0:
            fail("damaged pictures: pack failed: %s" % err.strip())
        else:
            if not re.search(r"cut\.jpg.*damaged", out):
                fail("damaged pictures: cut.jpg not reported as damaged:\n" + out)
            if "noise.gif" not in out:
                fail("damaged pictures: noise.gif not reported:\n" + out)
            check_result("damaged/100k", damaged, msg, 100 * 1024, work, rows)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    # The PSNR table: every picture, and a summary per budget.
    with open("fit-psnr.csv", "w") as f:
        f.write("message,picture,source size,result size,octets,psnr dB\n")
        for label, name, a, b, n, v in rows:
            f.write("%s,%s,%dx%d,%dx%d,%d,%s\n" % (label, name, a[0], a[1], b[0], b[1], n,
                                                    "%.2f" % v if v is not None else ""))
    print("%-22s %-12s %11s %11s %8s %7s" % ("message", "picture", "source", "result", "octets", "PSNR"))
    for label, name, a, b, n, v in rows:
        print("%-22s %-12s %11s %11s %8d %7s" % (label, name, "%dx%d" % a, "%dx%d" % b, n,
                                                  "%.2f" % v if v is not None else "-"))
    for tag in BUDGETS:
        vals = [v for (label, _, _, _, _, v) in rows if label.endswith("/" + tag) and v is not None]
        changed = [v for v in vals if v < 99]
        if changed:
            print("PSNR at %s: %d pictures (%d kept as they were), of the changed ones min %.2f dB, mean %.2f dB, "
                  "max %.2f dB" % (tag, len(vals), len(vals) - len(changed), min(changed),
                                   sum(changed) / len(changed), max(changed)))
    if failures:
        print("%d failure(s)" % len(failures))
        return 1
    print("all %d results checked" % len(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main())
