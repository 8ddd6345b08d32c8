"""Media of other encoders for the folder tests (Pillow's pictures, Python's wave module, texts),
and medley run under its emulator with the failures of a test counted."""
import os
import struct
import subprocess
import wave

from PIL import Image, ImageDraw, ImageFilter


def sound(path, seconds=0.5, rate=8000):
    """Mono, 16 bits, a sawtooth."""
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", (i * 37) % 2000 - 1000) for i in range(int(rate * seconds))))


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
    """Pillow's GIF encoder: adaptive palettes, mixed delays and disposals."""
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
        out.append(f.convert("P", palette=Image.ADAPTIVE, colors=200))
    kw = {"transparency": 0} if transparent else {}
    out[0].save(path, save_all=True, append_images=out[1:], loop=0,
                duration=[30 + (i % 4) * 20 for i in range(frames)],
                disposal=[1 + (i % 2) for i in range(frames)], **kw)


def text(path, s, encoding="utf-8"):
    with open(path, "wb") as f:
        f.write(s.encode(encoding))


def presentation(path, picture1, text1, picture2, sound2):
    """Two slides on a 176 x 208 screen: a picture over its text, then a picture with a sound."""
    text(path, '<smil><head><layout><root-layout width="176" height="208"/>'
               '<region id="Image" left="0" top="0" width="176" height="144"/>'
               '<region id="Text" left="0" top="144" width="176" height="64"/></layout></head><body>'
               '<par dur="4000ms"><img src="%s" region="Image"/><text src="%s" region="Text"/></par>'
               '<par dur="3000ms"><img src="%s" region="Image"/><audio src="%s"/></par>'
               '</body></smil>\n' % (picture1, text1, picture2, sound2))


def make_folder(path, makers):
    """A folder holding a file for each name of MAKERS, made by its maker from its path."""
    os.makedirs(path)
    for name, make in makers.items():
        make(os.path.join(path, name))
    return path


class Checks:
    """medley (after its emulator, if any) and what a test found wrong with it."""

    def __init__(self, medley, run=()):
        self.argv = list(run) + [medley]
        self.failures = []

    def check(self, ok, what):
        if not ok:
            self.failures.append(what)
            print("FAIL: " + what)
        return ok

    def medley(self, *args):
        """(exit status, standard output, standard error), line ends made LF."""
        p = subprocess.run(self.argv + list(args), capture_output=True, encoding="utf-8", errors="replace")
        return p.returncode, p.stdout.replace("\r", ""), p.stderr.replace("\r", "")

    def refused(self, label, args, out_path, says):
        """medley ARGS ends with status 1 and a reason that says SAYS, and writes neither OUT_PATH
        nor a temporary file beside it."""
        rc, out, err = self.medley(*args)
        self.check(rc == 1, "%s: exit status %d, wanted 1 (%s)" % (label, rc, err.strip()))
        self.check(says in err, "%s: the reason does not say %r: %s" % (label, says, err.strip()))
        self.check(not os.path.exists(out_path), "%s: an output file was left behind" % label)
        leftovers = [n for n in os.listdir(os.path.dirname(out_path)) if n.startswith("~md")]
        self.check(not leftovers, "%s: temporary files left: %s" % (label, leftovers))

    def verdict(self, good_words):
        """The exit status of the test: 0, saying GOOD_WORDS, when nothing failed."""
        if self.failures:
            print("%d failure(s)" % len(self.failures))
            return 1
        print(good_words)
        return 0
