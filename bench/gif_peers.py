#!/usr/bin/python3
"""Times medley's GIF verbs against peer programs as whole processes, in one run:

  resize   medley gif resize ANIM --box 176x144      gifsicle --resize-fit 176x144 (default
                                                     method, and --resize-method sample)
  crop     medley gif crop ANIM --rect 100,80,240,180 gifsicle --crop 100,80+240x180
  quantize medley gif quantize PHOTO --dither none   convert PHOTO +dither -colors 256
           medley gif quantize PHOTO (diffusion)     convert PHOTO -dither FloydSteinberg -colors 256

ANIM is a 30-frame 480 x 360 animation, PHOTO a 1920 x 1080 photo-like picture, both made
here with Pillow.  Each command runs RUNS times (default 7); the medians of the wall time and
of the processor time (user + system, which a busy machine disturbs less) are shown, and the
speed-up is taken from the processor times.  The quantized pictures are also compared with
the original (PSNR over red, green and blue), with the 6-bit histogram (--fine) too.

Usage: bench/gif_peers.py PATH/TO/medley [RUNS]
The peers (gifsicle, ImageMagick's convert, python3-pil) serve this comparison only.
"""
import math
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageStat

MEDLEY = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "medley"
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 7
CONVERT = shutil.which("convert-im6.q16") or "/usr/bin/convert"
GIFSICLE = shutil.which("gifsicle") or "gifsicle"
TMP = tempfile.mkdtemp(prefix="gifpeers")


def path(name):
    return os.path.join(TMP, name)


def photo(w, h, seed=0):
    """Gradients in three directions, soft discs and grain: many colours, smooth areas."""
    r = Image.linear_gradient("L").resize((w, h)).rotate(seed * 7)
    g = Image.radial_gradient("L").resize((w, h))
    b = Image.linear_gradient("L").rotate(90).resize((w, h))
    noise = Image.effect_noise((w, h), 24)
    b = ImageChops.add(ImageChops.multiply(b, Image.new("L", (w, h), 200)), noise, scale=1.3)
    img = Image.merge("RGB", (r, g, b))
    d = ImageDraw.Draw(img)
    for i in range(12):
        cx = (seed * 37 + i * 151) % w
        cy = (seed * 23 + i * 97) % h
        rad = 20 + (i * 41 + seed * 13) % (min(w, h) // 3)
        d.ellipse([cx - rad, cy - rad, cx + rad, cy + rad],
                  fill=((i * 70 + seed * 9) % 256, (200 - i * 15) % 256, (i * 33) % 256))
    return img.filter(ImageFilter.GaussianBlur(2))


def make_inputs():
    frames = [photo(480, 360, k).quantize(colors=256, dither=Image.Dither.NONE) for k in range(30)]
    frames[0].save(path("anim.gif"), save_all=True, append_images=frames[1:], duration=80, loop=0)
    photo(1920, 1080, 5).save(path("photo.png"))


def timed(args):
    walls, cpus = [], []
    for _ in range(RUNS):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=dict(os.environ, MEDLEY_PROGRESS="0"))
        walls.append(time.perf_counter() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
    return statistics.median(walls), statistics.median(cpus)


def psnr(original, gif):
    a = Image.open(original).convert("RGB")
    b = Image.open(gif).convert("RGB")
    diff = ImageChops.difference(a, b)
    sq = sum(ImageStat.Stat(diff).sum2)
    mse = sq / (a.width * a.height * 3)
    return float("inf") if mse == 0 else 10 * math.log10(255 * 255 / mse)


def main():
    make_inputs()
    anim, pic = path("anim.gif"), path("photo.png")
    rows = []

    def compare(task, ours, peer, goal):
        (w_ours, c_ours), (w_peer, c_peer) = timed(ours), timed(peer)
        rows.append((task, w_ours, w_peer, c_ours, c_peer, c_peer / max(c_ours, 1e-6), goal))

    compare("resize 480x360x30 -> 176x144 (gifsicle default)",
            [MEDLEY, "gif", "resize", anim, path("r1.gif"), "--box", "176x144"],
            [GIFSICLE, "--resize-fit", "176x144", anim, "-o", path("g1.gif")], 2.5)
    compare("resize 480x360x30 -> 176x144 (gifsicle sample)",
            [MEDLEY, "gif", "resize", anim, path("r2.gif"), "--box", "176x144"],
            [GIFSICLE, "--resize-method", "sample", "--resize-fit", "176x144", anim, "-o", path("g2.gif")], 1.2)
    compare("crop 240x180 of 480x360x30",
            [MEDLEY, "gif", "crop", anim, path("c1.gif"), "--rect", "100,80,240,180"],
            [GIFSICLE, "--crop", "100,80+240x180", anim, "-o", path("g3.gif")], 1.2)
    compare("quantize 1920x1080, no dithering",
            [MEDLEY, "gif", "quantize", pic, path("q1.gif"), "--dither", "none"],
            [CONVERT, pic, "+dither", "-colors", "256", path("m1.gif")], 4.0)
    compare("quantize 1920x1080, error diffusion",
            [MEDLEY, "gif", "quantize", pic, path("q2.gif"), "--dither", "diffusion"],
            [CONVERT, pic, "-dither", "FloydSteinberg", "-colors", "256", path("m2.gif")], 4.0)

    subprocess.run([MEDLEY, "gif", "quantize", pic, path("f1.gif"), "--dither", "none", "--fine"], check=True)
    subprocess.run([MEDLEY, "gif", "quantize", pic, path("f2.gif"), "--fine"], check=True)
    print("%-50s %18s %18s %8s %6s" % ("task", "medley wall/cpu s", "peer wall/cpu s", "speedup", "goal"))
    for task, wa, wb, ca, cb, ratio, goal in rows:
        print("%-50s %8.3f /%8.3f %8.3f /%8.3f %7.2fx %5.1fx %s" %
              (task, wa, ca, wb, cb, ratio, goal, "" if ratio >= goal else "BELOW"))
    print()
    print("PSNR against the original picture (dB):")
    print("  no dithering:    medley %.2f (--fine %.2f)   convert %.2f" %
          (psnr(pic, path("q1.gif")), psnr(pic, path("f1.gif")), psnr(pic, path("m1.gif"))))
    print("  error diffusion: medley %.2f (--fine %.2f)   convert %.2f" %
          (psnr(pic, path("q2.gif")), psnr(pic, path("f2.gif")), psnr(pic, path("m2.gif"))))
    print()
    for name in ("r1.gif", "g1.gif", "g2.gif", "c1.gif", "g3.gif", "q1.gif", "m1.gif", "q2.gif", "m2.gif"):
        print("  %-8s %9d bytes" % (name, os.path.getsize(path(name))))
    shutil.rmtree(TMP)


if __name__ == "__main__":
    main()
