#!/usr/bin/env python3
"""Storyboards of messages made from folders of other encoders' media (Pillow's JPEG, GIF
animation, BMP and PNG, Python's WAV writer, texts in ASCII and Windows-1252), read back from
the PNG: one framed cell per slide, each picture region holding a picture, dark pixels where the
texts are, the frame-count badge on the animation only.

usage: preview_folders_test.py [EMULATOR] MEDLEY WORKDIR
"""
import math
import os
import re
import shutil
import subprocess
import sys
import wave

from PIL import Image, ImageDraw

BOARD = (0xE8, 0xE8, 0xE8)
FRAME = (0x70, 0x70, 0x70)
BADGE = (0x30, 0x30, 0x30)
failures = []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what)
    if not ok:
        failures.append(what)


def make_folder(d):
    os.makedirs(d)
    photo = Image.new("RGB", (320, 240))
    px = photo.load()
    for y in range(240):
        for x in range(320):
            px[x, y] = (x * 255 // 320, y * 255 // 240, 160)
    photo.save(os.path.join(d, "a_photo.jpg"), quality=85)
    frames = []
    for i, col in enumerate([(200, 30, 30), (30, 200, 30), (30, 30, 200)]):
        f = Image.new("RGB", (64, 48), col)
        ImageDraw.Draw(f).ellipse((8 + i * 8, 8, 40 + i * 8, 40), fill=(250, 250, 250))
        frames.append(f)
    frames[0].save(os.path.join(d, "b_anim.gif"), save_all=True, append_images=frames[1:], duration=200, loop=0)
    bmp = Image.new("RGB", (100, 80), (40, 90, 200))
    ImageDraw.Draw(bmp).rectangle((20, 20, 80, 60), fill=(250, 220, 40))
    bmp.save(os.path.join(d, "c_badge.bmp"))
    png = Image.new("RGBA", (90, 90), (0, 0, 0, 0))
    ImageDraw.Draw(png).ellipse((5, 5, 85, 85), fill=(20, 160, 60, 255))
    png.save(os.path.join(d, "d_logo.png"))
    with open(os.path.join(d, "a_photo.txt"), "w", encoding="ascii") as f:
        f.write("Sunset over the bay, taken from the pier.")
    with open(os.path.join(d, "c_badge.txt"), "wb") as f:
        f.write("Caf\u00e9 cr\u00e8me \u2013 Windows-1252 text".encode("cp1252"))
    with wave.open(os.path.join(d, "b_anim.wav"), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"".join(int(8000 * math.sin(i / 8000 * 2 * math.pi * 440)).to_bytes(2, "little", signed=True)
                               for i in range(8000)))


def cells_of(img):
    """Top-left frame corners: frame pixel, board left and above, frame right and below."""
    w, h = img.size
    px = img.load()
    found = []
    for y in range(1, h - 1):
        for x in range(1, w - 1):
            if px[x, y] == FRAME and px[x - 1, y] == BOARD and px[x, y - 1] == BOARD and \
               px[x + 1, y] == FRAME and px[x, y + 1] == FRAME:
                found.append((x + 1, y + 1))
    return found


def survey(img, box):
    px = img.load()
    dark = colour = white = badge = total = 0
    for y in range(box[1], box[3]):
        for x in range(box[0], box[2]):
            r, g, b = px[x, y]
            dark += (r * 3 + g * 6 + b) // 10 < 100
            colour += abs(r - g) + abs(g - b) > 40
            white += (r, g, b) == (255, 255, 255)
            badge += (r, g, b) == BADGE
            total += 1
    return {"dark": dark, "colour": colour, "white": white, "badge": badge, "total": total}


def main():
    args = sys.argv[1:]
    run = [args.pop(0)] if len(args) == 3 else []
    medley, work = args
    shutil.rmtree(work, ignore_errors=True)
    folder = os.path.join(work, "media")
    make_folder(folder)
    msg = os.path.join(work, "folder.dat")
    out = subprocess.run(run + [medley, "compose", folder, msg], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         text=True)
    check(out.returncode == 0, "medley compose of the folder")
    if out.returncode:
        print(out.stdout)
        sys.exit(1)
    board = os.path.join(work, "board.png")
    out = subprocess.run(run + [medley, "preview", msg, board], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         text=True)
    print(out.stdout.strip())
    check(out.returncode == 0, "medley preview")
    if out.returncode:
        sys.exit(1)
    m = re.search(r"^(\d+) slides?, screen (\d+) x (\d+)", out.stdout, re.M)
    slides, sw, sh = int(m.group(1)), int(m.group(2)), int(m.group(3))
    check(slides == 4, "four pictures give four slides (%d)" % slides)

    img = Image.open(board).convert("RGB")
    cells = cells_of(img)
    check(len(cells) == slides, "cells counted in the PNG: %d" % len(cells))
    image_h = sh * 144 // 208
    for i, (x, y) in enumerate(cells):
        pic = survey(img, (x, y, x + sw, y + image_h))
        check(pic["colour"] > pic["total"] // 8, "slide %d: its picture region holds a picture (%d of %d coloured)"
              % (i + 1, pic["colour"], pic["total"]))
        text = survey(img, (x, y + image_h, x + sw, y + sh))
        has_text = i in (0, 2)  # a_photo.txt and c_badge.txt share their pictures' names
        if has_text:
            check(text["dark"] > 60 and text["white"] > text["total"] // 2,
                  "slide %d: dark text on the screen (%d dark pixels)" % (i + 1, text["dark"]))
        else:
            check(text["dark"] == 0, "slide %d: no text, no dark pixels below the picture" % (i + 1))
        badge = survey(img, (x + sw - 60, y, x + sw, y + 24))["badge"]
        check((badge > 50) == (i == 1), "slide %d: frame-count badge %s" % (i + 1, "shown" if badge > 50 else "absent"))
    caption = survey(img, (cells[1][0], cells[1][1] + sh + 2, cells[1][0] + sw, cells[1][1] + sh + 32))
    check(caption["dark"] > 30, "captions written under the cells")
    if failures:
        print("FAILED: %d check(s)" % len(failures))
        sys.exit(1)
    print("storyboards of other encoders' media OK")


if __name__ == "__main__":
    main()
