#!/usr/bin/env python3
"""Storyboards of messages made from folders of other encoders' media (Pillow's JPEG, GIF
animation, BMP and PNG, Python's WAV writer, texts in ASCII and Windows-1252), read back from
the PNG: one framed cell per slide, each picture region holding a picture, dark pixels where the
texts are, the frame-count badge on the animation only.

usage: preview_folders_test.py [EMULATOR] MEDLEY WORKDIR
"""
import os
import re
import shutil
import sys

from PIL import Image, ImageDraw

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from media_corpus import Checks, animation, make_folder, photo, sound, text  # noqa: E402

BOARD = (0xE8, 0xE8, 0xE8)
FRAME = (0x70, 0x70, 0x70)
BADGE = (0x30, 0x30, 0x30)


def media(d):
    """A photo with an ASCII text, an animation with a sound, a bitmap with a Windows-1252 text
    and a PNG whose background is transparent."""
    def logo(path):
        png = Image.new("RGBA", (90, 90), (0, 0, 0, 0))
        ImageDraw.Draw(png).ellipse((5, 5, 85, 85), fill=(20, 160, 60, 255))
        png.save(path)
    return make_folder(d, {
        "a_photo.jpg": lambda p: photo(p, (320, 240), 1), "b_anim.gif": lambda p: animation(p, (64, 48), 3, 2),
        "c_badge.bmp": lambda p: photo(p, (100, 80), 3, "BMP"), "d_logo.png": logo, "b_anim.wav": sound,
        "a_photo.txt": lambda p: text(p, "Sunset over the bay, taken from the pier.", "ascii"),
        "c_badge.txt": lambda p: text(p, "Caf\u00e9 cr\u00e8me \u2013 Windows-1252 text", "cp1252")})


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
    checks = Checks(sys.argv[-2], sys.argv[1:-2])
    check, work = checks.check, sys.argv[-1]
    shutil.rmtree(work, ignore_errors=True)
    msg = os.path.join(work, "folder.dat")
    status, out, err = checks.medley("compose", media(os.path.join(work, "media")), msg)
    if not check(status == 0, "medley compose of the folder: " + out + err):
        return 1
    board = os.path.join(work, "board.png")
    status, out, err = checks.medley("preview", msg, board)
    print(out.strip())
    if not check(status == 0, "medley preview: " + err):
        return 1
    slides, sw, sh = map(int, re.search(r"^(\d+) slides?, screen (\d+) x (\d+)", out, re.M).groups())
    check(slides == 4, "four pictures give four slides (%d)" % slides)

    img = Image.open(board).convert("RGB")
    cells = cells_of(img)
    check(len(cells) == slides, "cells counted in the PNG: %d" % len(cells))
    image_h = sh * 144 // 208
    for i, (x, y) in enumerate(cells):
        pic = survey(img, (x, y, x + sw, y + image_h))
        check(pic["colour"] > pic["total"] // 8, "slide %d: its picture region holds a picture (%d of %d coloured)"
              % (i + 1, pic["colour"], pic["total"]))
        below = survey(img, (x, y + image_h, x + sw, y + sh))
        if i in (0, 2):  # a_photo.txt and c_badge.txt share their pictures' names
            check(below["dark"] > 60 and below["white"] > below["total"] // 2,
                  "slide %d: dark text on the screen (%d dark pixels)" % (i + 1, below["dark"]))
        else:
            check(below["dark"] == 0, "slide %d: no text, no dark pixels below the picture" % (i + 1))
        badge = survey(img, (x + sw - 60, y, x + sw, y + 24))["badge"]
        check((badge > 50) == (i == 1), "slide %d: frame-count badge %s" % (i + 1, "shown" if badge > 50 else "absent"))
    return checks.verdict("storyboards of other encoders' media OK")


if __name__ == "__main__":
    sys.exit(main())
