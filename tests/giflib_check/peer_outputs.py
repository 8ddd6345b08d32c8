#!/usr/bin/python3
"""Every GIF our writer makes from a corpus of other encoders' files must read the same in
other decoders.

For each GIF of the corpus, medley writes it back (resave), shrinks it to half its screen
(resize), cuts its middle out (crop) and reduces its first frame to 256 colours in the three
ways (quantize).  Then, for every output:
  - giflib decodes it to exactly the frames, palettes and indices our reader gives
    (gif_giflib_compare, which also writes our decode as colours: FILE.ours);
  - Pillow decodes it to the same colours in every frame's opaque pixels;
  - gifsicle --info reads it without a word on standard error;
and the resaved file decodes to the same frames as its source (gif_giflib_compare --same).

Usage: peer_outputs.py MEDLEY GIF_GIFLIB_COMPARE CORPUS_FOLDER WORK_FOLDER
Needs python3-pil and gifsicle (the peers serve this check only).
"""
import os
import shutil
import struct
import subprocess
import sys

from PIL import GifImagePlugin, Image

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from media_corpus import Checks  # noqa: E402

MEDLEY, COMPARE, CORPUS, WORK = sys.argv[1:5]
GIFSICLE = shutil.which("gifsicle") or "gifsicle"
GifImagePlugin.LOADING_STRATEGY = GifImagePlugin.LoadingStrategy.RGB_ALWAYS
os.environ["MEDLEY_PROGRESS"] = "0"
checks = Checks(MEDLEY)
check = checks.check


def read_ours(path):
    with open(path + ".ours", "rb") as f:
        data = f.read()
    assert data[:6] == b"MDRGB1"
    count, = struct.unpack_from("<H", data, 6)
    off, frames = 8, []
    for _ in range(count):
        left, top, w, h, t = struct.unpack_from("<HHHHh", data, off)
        off += 10
        frames.append((left, top, w, h, t, data[off:off + 3 * w * h], data[off + 3 * w * h:off + 4 * w * h]))
        off += 4 * w * h
    return frames


def check_pillow(path):
    """Opaque pixels of every frame, as Pillow composes the frames, against our colours."""
    ours = read_ours(path)
    with Image.open(path) as im:
        n = getattr(im, "n_frames", 1)
        if not check(n == len(ours), "%s: Pillow reads %d frames, we %d" % (path, n, len(ours))):
            return
        sw, sh = im.size
        for i, (left, top, w, h, t, rgb, idx) in enumerate(ours):
            im.seek(i)
            frame = im.convert("RGB")
            px = frame.load()
            bad = 0
            for y in range(h):
                for x in range(w):
                    sx, sy = left + x, top + y
                    if sx >= sw or sy >= sh:
                        continue
                    if idx[y * w + x] == t:
                        continue  # transparent: Pillow shows what lies underneath
                    k = 3 * (y * w + x)
                    if px[sx, sy] != tuple(rgb[k:k + 3]):
                        bad += 1
            check(not bad, "%s: frame %d: %d pixels differ from Pillow" % (path, i, bad))


def main():
    if os.path.isdir(WORK):
        shutil.rmtree(WORK)
    os.makedirs(WORK)
    outputs = []
    for name in sorted(os.listdir(CORPUS)):
        # "bomb_" files are refused by design (the bombs test checks how).
        if not name.endswith(".gif") or name.startswith("bomb_"):
            continue
        src = os.path.join(CORPUS, name)
        base = os.path.join(WORK, name[:-4])
        with open(src, "rb") as f:
            w, h = struct.unpack("<HH", f.read(10)[6:10])
        jobs = [("resave", ["gif", "resave", src, base + ".resave.gif"])]
        if w > 1 or h > 1:
            jobs.append(("resize", ["gif", "resize", src, base + ".resize.gif",
                                    "--box", "%dx%d" % (max(1, w // 2), max(1, h // 2))]))
        if w > 2 and h > 2:
            jobs.append(("crop", ["gif", "crop", src, base + ".crop.gif",
                                  "--rect", "%d,%d,%d,%d" % (w // 4, h // 4, w - w // 2, h - h // 2)]))
        for d in ("none", "ordered", "diffusion"):
            jobs.append(("quantize " + d, ["gif", "quantize", src, base + ".q-" + d + ".gif", "--dither", d]))
        for what, args in jobs:
            rc, _, err = checks.medley(*args)
            if check(rc == 0, "%s: %s failed: %s" % (name, what, err.strip())):
                outputs.append(args[3])
        rc = subprocess.run([COMPARE, "--same", src, base + ".resave.gif"]).returncode
        check(rc == 0, "%s: the resaved file decodes differently" % name)
    r = subprocess.run([COMPARE, "--at-least", str(len(outputs)), "--dump", *outputs])
    check(r.returncode == 0, "giflib and our reader disagree on an output (see above)")
    for out in outputs:
        if os.path.exists(out + ".ours"):
            check_pillow(out)
        g = subprocess.run([GIFSICLE, "--info", out], capture_output=True, text=True)
        check(g.returncode == 0 and not g.stderr.strip(),
              "%s: gifsicle: %s" % (out, g.stderr.strip() or "exit %d" % g.returncode))
    return checks.verdict("%d outputs checked" % len(outputs))


if __name__ == "__main__":
    sys.exit(main())
