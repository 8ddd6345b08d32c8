#!/usr/bin/python3
"""Makes the GIF corpus (fuzz/corpus/gif/) with three peer encoders: ImageMagick's convert,
gifsicle and Pillow, plus a few hand-built files for shapes those tools do not write (a large
LZW code size for a small table, extensions with several sub-blocks, a stream ending on its
block terminator).

Usage: make_gif_corpus.py OUTPUT_FOLDER      (needs convert, gifsicle and python3-pil)
Every file is small; the set is committed, so this runs only when the corpus changes.
"""
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw

OUT = sys.argv[1] if len(sys.argv) > 1 else "fuzz/corpus/gif"
CONVERT = shutil.which("convert-im6.q16") or "/usr/bin/convert"
GIFSICLE = shutil.which("gifsicle") or "gifsicle"
TMP = tempfile.mkdtemp(prefix="gifcorpus")


def out(name):
    return os.path.join(OUT, name)


def tmp(name):
    return os.path.join(TMP, name)


def run(*args):
    subprocess.run(list(args), check=True)


def gifsicle(args, dest):
    with open(dest, "wb") as f:
        subprocess.run([GIFSICLE] + args, check=True, stdout=f)


# ---- pictures to start from ------------------------------------------------------------

def scene(w, h, seed, colours=256):
    """A photo-like picture: gradients, discs and stripes."""
    img = Image.new("RGB", (w, h))
    px = img.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = ((x * 255 // max(w - 1, 1) + seed * 40) % 256,
                        (y * 255 // max(h - 1, 1) + seed * 70) % 256,
                        ((x + y) * 128 // max(w + h, 1) + seed * 20) % 256)
    d = ImageDraw.Draw(img)
    for i in range(4):
        cx, cy = (seed * 13 + i * 17) % w, (seed * 7 + i * 11) % h
        r = 3 + (seed + i) % (max(w, h) // 4 + 1)
        d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=((i * 60) % 256, 200 - i * 30, (seed * 50) % 256))
    if colours < 256:
        img = img.quantize(colors=colours)
    return img


def save_png(img, name):
    p = tmp(name)
    img.save(p)
    return p


# ---- ImageMagick ----------------------------------------------------------------------

def imagemagick():
    src = save_png(scene(64, 48, 1), "a.png")
    src2 = save_png(scene(64, 48, 2), "b.png")
    src3 = save_png(scene(64, 48, 3), "c.png")
    run(CONVERT, "-size", "37x23", "pattern:checkerboard", "-colors", "2", out("im_static_2c.gif"))
    run(CONVERT, src, "-colors", "4", out("im_static_4c.gif"))
    run(CONVERT, src, "-colors", "16", out("im_static_16c.gif"))
    run(CONVERT, src, "-colors", "32", out("im_static_32c.gif"))
    run(CONVERT, src, "-colors", "256", out("im_static_256c.gif"))
    run(CONVERT, src, "-colors", "64", "-interlace", "GIF", out("im_interlaced_64c.gif"))
    run(CONVERT, src, "-colors", "8", "-interlace", "GIF", out("im_interlaced_8c.gif"))
    run(CONVERT, src, "-colors", "16", "GIF87:" + out("im_gif87a.gif"))
    run(CONVERT, src, "-colors", "16", "-transparent", "black", "-fuzz", "10%", out("im_transparent.gif"))
    run(CONVERT, src, "-colors", "16", "-comment", "made by convert for the corpus", out("im_comment.gif"))
    for disposal in ("None", "Background", "Previous", "Undefined"):
        run(CONVERT, "-delay", "7", "-dispose", disposal, src, src2, src3, "-colors", "32", "-loop", "0",
            out("im_anim_dispose_%s.gif" % disposal.lower()))
    # Frames of different palettes get local colour tables.
    run(CONVERT, "-delay", "12", src, "(", src2, "-colors", "8", ")", "(", src3, "-colors", "64", ")",
        "-loop", "3", out("im_anim_local_tables.gif"))
    # Offset, smaller frames.
    run(CONVERT, "-size", "60x40", "xc:white", "-colors", "4",
        "(", "-size", "20x10", "xc:red", "-repage", "+5+7", ")",
        "(", "-size", "11x13", "xc:blue", "-repage", "+40+20", ")", "-set", "delay", "0", "-loop", "0",
        out("im_anim_offset_frames.gif"))
    # A colour profile is written as an application extension of several sub-blocks.
    run(CONVERT, src, "-colors", "16", "-set", "profile", "/usr/share/color/icc/colord/sRGB.icc",
        out("im_icc_profile.gif")) if os.path.exists("/usr/share/color/icc/colord/sRGB.icc") else None
    run(CONVERT, "-size", "300x7", "gradient:red-blue", "-colors", "128", out("im_wide_gradient.gif"))
    run(CONVERT, "-size", "5x200", "gradient:", "-colors", "200", "-interlace", "GIF", out("im_tall_interlaced.gif"))
    run(CONVERT, "-size", "1x1", "xc:green", out("im_1x1.gif"))
    # Frames optimized to their changed, partly transparent rectangles.
    run(CONVERT, "-delay", "9", src, src2, src3, src, "-colors", "64", "-layers", "OptimizeTransparency",
        "-loop", "0", out("im_anim_opt_transparency.gif"))
    # A frame that reaches past the logical screen.
    run(CONVERT, "-size", "60x40", "xc:white", "-colors", "4",
        "(", "-size", "25x20", "xc:red", "-repage", "+50+30", ")", "-set", "page", "60x40+%[fx:page.x]+%[fx:page.y]",
        "-set", "delay", "5", "-loop", "0", out("im_anim_past_screen.gif"))


# ---- gifsicle -------------------------------------------------------------------------

def gifsicle_set():
    frames = []
    for i in range(5):
        p = tmp("g%d.gif" % i)
        scene(48, 40, 10 + i, 64).save(p)
        frames.append(p)
    gifsicle(["--colors", "2", frames[0]], out("gs_static_2c.gif"))
    gifsicle(["--colors", "4", "--interlace", frames[1]], out("gs_interlaced_4c.gif"))
    gifsicle(["--colors", "128", frames[2]], out("gs_static_128c.gif"))
    gifsicle(["-d", "5", "-l", "-D", "background"] + frames, out("gs_anim_local_tables.gif"))
    gifsicle(["-d", "3", "-l", "-D", "previous", "--colors", "32"] + frames, out("gs_anim_dispose_previous.gif"))
    gifsicle(["-d", "0", "-D", "none", "--colors", "16"] + frames[:3], out("gs_anim_delay0.gif"))
    gifsicle(["-O3", "--colors", "64", "-d", "8", "-l"] + frames, out("gs_anim_optimized.gif"))
    gifsicle(["-O2", "--colors", "16", "--interlace", "-d", "4"] + frames, out("gs_anim_opt_interlaced.gif"))
    gifsicle(["--colors", "8", "-t", "#000000", frames[3]], out("gs_transparent.gif"))
    gifsicle(["--comment", "one\ntwo lines of comment", "--colors", "16", frames[4]], out("gs_comment.gif"))
    gifsicle(["--app-extension", "MEDLEYDATA1", "x" * 700, "--colors", "16", frames[0]],
             out("gs_app_extension_long.gif"))
    gifsicle(["--extension", "1", "plain text block data", "--colors", "4", frames[1]],
             out("gs_plain_text_ext.gif"))
    gifsicle(["--crop", "5,6+20x15", "--colors", "32", frames[2]], out("gs_cropped.gif"))
    gifsicle(["-p", "3,4", "--colors", "16", frames[3]], out("gs_positioned.gif"))
    gifsicle(["--careful", "--colors", "256", frames[4]], out("gs_careful.gif"))
    gifsicle(["--lossy=80", "--colors", "64", "-d", "6"] + frames[:2], out("gs_lossy.gif"))
    # Optimized with a transparent index, disposal to the background between frames.
    gifsicle(["-O2", "--colors", "32", "-t", "#000000", "-D", "background", "-d", "7", "-l"] + frames,
             out("gs_anim_transparent_background.gif"))


# ---- Pillow ---------------------------------------------------------------------------

def pillow_set():
    scene(40, 30, 20, 2).save(out("pil_static_2c.gif"))
    scene(40, 30, 21, 3).save(out("pil_static_3c.gif"))
    scene(40, 30, 22, 16).save(out("pil_static_16c.gif"), interlace=False)
    scene(40, 30, 23, 200).save(out("pil_static_200c.gif"), interlace=True)
    scene(50, 33, 24, 256).save(out("pil_static_256c.gif"), interlace=False)
    frames = [scene(32, 24, 30 + i, 32) for i in range(4)]
    frames[0].save(out("pil_anim_durations.gif"), save_all=True, append_images=frames[1:],
                   duration=[0, 50, 100, 30], loop=0)
    frames[0].save(out("pil_anim_disposals.gif"), save_all=True, append_images=frames[1:],
                   duration=40, disposal=[0, 1, 2, 3], loop=1)
    frames[0].save(out("pil_anim_comment.gif"), save_all=True, append_images=frames[1:2],
                   duration=[20, 20], comment=b"pillow comment")
    t = scene(30, 30, 40, 16)
    t.save(out("pil_transparent.gif"), transparency=3)
    grey = Image.linear_gradient("L").resize((64, 16))
    grey.save(out("pil_grey.gif"))
    Image.new("1", (10, 4), 1).save(out("pil_1bit_10wide.gif"))
    mono = Image.new("1", (21, 9), 0)
    ImageDraw.Draw(mono).line([0, 0, 20, 8], fill=1)
    mono.save(out("pil_mono_line.gif"))
    big = scene(64, 64, 41, 256)
    big.save(out("pil_interlaced_256c.gif"), interlace=True)
    # Pillow's own frame optimization: later frames cut to what changed, with transparency.
    moving = []
    for i in range(4):
        f = Image.new("RGB", (48, 36), (20, 40, 60))
        ImageDraw.Draw(f).ellipse([4 + 8 * i, 6, 16 + 8 * i, 18], fill=(250, 200, 0))
        moving.append(f.quantize(colors=8))
    moving[0].save(out("pil_anim_optimized.gif"), save_all=True, append_images=moving[1:], duration=60,
                   optimize=True, disposal=1, transparency=0, loop=0)


# ---- hand-built -----------------------------------------------------------------------

def lzw_encode(pixels, min_code_size):
    """Plain GIF LZW (clear first, end last), codes packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    bits = []

    def emit(code, size):
        bits.append((code, size))

    size = min_code_size + 1
    table = {(i,): i for i in range(clear)}
    nxt = end + 1
    emit(clear, size)
    cur = ()
    for p in pixels:
        if cur + (p,) in table:
            cur = cur + (p,)
            continue
        emit(table[cur], size)
        if nxt < 4096:
            table[cur + (p,)] = nxt
            nxt += 1
            if nxt > (1 << size) and size < 12:
                size += 1
        cur = (p,)
    if cur:
        emit(table[cur], size)
    emit(end, size)
    acc = n = 0
    data = bytearray()
    for code, s in bits:
        acc |= code << n
        n += s
        while n >= 8:
            data.append(acc & 0xFF)
            acc >>= 8
            n -= 8
    if n:
        data.append(acc & 0xFF)
    return bytes(data)


def sub_blocks(data):
    outb = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        outb.append(len(chunk))
        outb += chunk
    return bytes(outb) + b"\0"


def handmade():
    w, h = 10, 6
    pix = [(x + y) % 2 for y in range(h) for x in range(w)]
    table = bytes([0, 0, 0, 255, 255, 255])
    head = b"GIF89a" + struct.pack("<HHBBB", w, h, 0x80, 0, 0) + table
    desc = b"," + struct.pack("<HHHHB", 0, 0, w, h, 0)
    # A 2-colour table with LZW code size 8.
    with open(out("hand_codesize8_2c.gif"), "wb") as f:
        f.write(head + desc + b"\x08" + sub_blocks(lzw_encode(pix, 8)) + b";")
    # Application and plain text extensions of several data sub-blocks before the image.
    app = b"!\xff\x0bMEDLEYTEST1" + sub_blocks(bytes(range(256)) * 3)
    text = b"!\x01\x0c" + bytes(12) + sub_blocks(b", ;!" * 100)
    with open(out("hand_multi_subblock_ext.gif"), "wb") as f:
        f.write(head + app + text + desc + b"\x02" + sub_blocks(lzw_encode(pix, 2)) + b";")
    # The code stream has no end code: the data stops at the block terminator.
    data = lzw_encode(pix, 2)
    cut = lzw_encode(pix[:35], 2)[:-1]
    with open(out("hand_no_end_code.gif"), "wb") as f:
        f.write(head + desc + b"\x02" + sub_blocks(cut) + b";")
    # Lower-case signature.
    with open(out("hand_lowercase_sig.gif"), "wb") as f:
        f.write(b"gif89a" + head[6:] + desc + b"\x02" + sub_blocks(data) + b";")
    # Three frames, the middle one reaching a code its table never defined (7, at 3 bits, right
    # after the literal 1): other decoders keep the pixels before it and read on.
    bad = bytes([4 | (1 << 3) | (7 << 6) & 0xFF, 0x01, 0x55, 0x55])
    with open(out("hand_bad_code_middle.gif"), "wb") as f:
        f.write(head + desc + b"\x02" + sub_blocks(data) + desc + b"\x02" + sub_blocks(bad)
                + desc + b"\x02" + sub_blocks(data) + b";")


def main():
    os.makedirs(OUT, exist_ok=True)
    imagemagick()
    gifsicle_set()
    pillow_set()
    handmade()
    shutil.rmtree(TMP)
    print("%d files in %s" % (len(os.listdir(OUT)), OUT))


main()
