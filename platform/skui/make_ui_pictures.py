#!/usr/bin/env python3
"""Turns the text pictures of platform/skui/pictures into the BMP files of the UI folder.

usage: make_ui_pictures.py SOURCE_DIR OUT_DIR

Each *.txt holds one image: header lines, a line of dashes, then one text row per pixel row
(top row first), one character per pixel:

    file WndFrmMask_lt.bmp      output file name
    bits 8                      8 (palette indices) or 24 (colours)
    index # 255 FF00FF          8 bits: a character, its palette index and that entry's RRGGBB
    colour d 28467A             24 bits: a character and its RRGGBB colour
    ----
    #####...

8-bit files get a 256-entry palette (unused entries black) and biClrUsed 256; rows are stored
bottom-up and padded to 4 bytes with zeros.  Lines starting with ';' are comments.

A 24-bit picture may instead be drawn by one statement, with no pixel rows:

    button W H back RRGGBB edge RRGGBB light RRGGBB face RRGGBB ink RRGGBB [label TEXT] [pressed]

a W x H button: corners in the back colour, a one-pixel edge, the upper half light and the lower
half face, and TEXT centred in the ink colour in the 5 x 7 letters below drawn twice their size
(one pixel lower and to the right when pressed).
"""
import os
import struct
import sys


class PictureError(Exception):
    pass


# 5 x 7 letters for button labels ('#' ink).
GLYPHS = {
    'Y': ['#...#', '#...#', '.#.#.', '..#..', '..#..', '..#..', '..#..'],
    'e': ['.....', '.....', '.###.', '#...#', '#####', '#....', '.###.'],
    's': ['.....', '.....', '.####', '#....', '.###.', '....#', '####.'],
    'N': ['#...#', '##..#', '#.#.#', '#..##', '#...#', '#...#', '#...#'],
    'o': ['.....', '.....', '.###.', '#...#', '#...#', '#...#', '.###.'],
    'O': ['.###.', '#...#', '#...#', '#...#', '#...#', '#...#', '.###.'],
    'K': ['#...#', '#..#.', '#.#..', '##...', '#.#..', '#..#.', '#...#'],
    'x': ['#...#', '#...#', '.#.#.', '..#..', '.#.#.', '#...#', '#...#'],
}


def draw_button(pic, words, where):
    """Fills pic's legend and rows from a button statement."""
    try:
        width, height = int(words[1]), int(words[2])
        opts = {}
        i = 3
        while i < len(words):
            if words[i] == 'pressed':
                opts['pressed'] = True
                i += 1
            else:
                opts[words[i]] = words[i + 1]
                i += 2
        for key in ('back', 'edge', 'light', 'face', 'ink'):
            pic['legend'][key[0]] = int(opts[key], 16)
    except (IndexError, KeyError, ValueError):
        raise PictureError('%s: button needs W H back edge light face ink' % where)
    label = opts.get('label', '')
    for ch in label:
        if ch not in GLYPHS:
            raise PictureError('%s: no letter "%s" for labels' % (where, ch))
    grid = []
    for y in range(height):
        row = []
        for x in range(width):
            corner = (x in (0, width - 1)) and (y in (0, height - 1))
            if corner:
                row.append('b')
            elif x in (0, width - 1) or y in (0, height - 1):
                row.append('e')
            else:
                row.append('l' if y < height // 2 else 'f')
        grid.append(row)
    scale = 2
    text_w = len(label) * 5 * scale + max(len(label) - 1, 0) * scale
    text_h = 7 * scale
    shift = 1 if opts.get('pressed') else 0
    left = (width - text_w) // 2 + shift
    top = (height - text_h) // 2 + shift
    for n, ch in enumerate(label):
        for gy, line in enumerate(GLYPHS[ch]):
            for gx, dot in enumerate(line):
                if dot != '#':
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        x = left + n * 6 * scale + gx * scale + dx
                        y = top + gy * scale + dy
                        if 0 < x < width - 1 and 0 < y < height - 1:
                            grid[y][x] = 'i'
    pic['rows'] = [''.join(r) for r in grid]


def parse(path):
    pic = {'file': None, 'bits': None, 'legend': {}, 'palette': {}, 'rows': []}
    in_pixels = False
    with open(path, encoding='ascii') as f:
        lines = f.read().split('\n')
    for n, line in enumerate(lines, 1):
        where = '%s:%d' % (path, n)
        if in_pixels:
            if line:
                pic['rows'].append(line)
            continue
        if not line or line.startswith(';'):
            continue
        if line.startswith('----'):
            in_pixels = True
            continue
        words = line.split()
        if words[0] == 'file' and len(words) == 2:
            pic['file'] = words[1]
        elif words[0] == 'bits' and len(words) == 2 and words[1] in ('8', '24'):
            pic['bits'] = int(words[1])
        elif words[0] == 'index' and len(words) == 4 and len(words[1]) == 1:
            index = int(words[2])
            if not 0 <= index <= 255:
                raise PictureError('%s: index out of range' % where)
            pic['legend'][words[1]] = index
            pic['palette'][index] = int(words[3], 16)
        elif words[0] == 'colour' and len(words) == 3 and len(words[1]) == 1:
            pic['legend'][words[1]] = int(words[2], 16)
        elif words[0] == 'button' and pic['bits'] == 24:
            draw_button(pic, words, where)
        else:
            raise PictureError('%s: cannot read "%s"' % (where, line))
    if not pic['file'] or not pic['bits'] or not pic['rows']:
        raise PictureError('%s: needs file, bits and pixel rows' % path)
    width = len(pic['rows'][0])
    for i, row in enumerate(pic['rows']):
        if len(row) != width:
            raise PictureError('%s: pixel row %d is %d wide, not %d' % (path, i + 1, len(row), width))
        for ch in row:
            if ch not in pic['legend']:
                raise PictureError('%s: pixel row %d uses "%s", which has no legend' % (path, i + 1, ch))
    return pic


def bmp_bytes(pic):
    rows = pic['rows']
    width, height, bits = len(rows[0]), len(rows), pic['bits']
    stride = (width * bits + 31) // 32 * 4
    colours = 256 if bits == 8 else 0
    palette = b''
    for i in range(colours):
        rgb = pic['palette'].get(i, 0)
        palette += bytes((rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF, 0))
    pixels = b''
    for row in reversed(rows):  # bottom-up
        line = b''
        for ch in row:
            v = pic['legend'][ch]
            line += bytes((v,)) if bits == 8 else bytes((v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF))
        pixels += line + b'\0' * (stride - len(line))
    off = 14 + 40 + len(palette)
    header = struct.pack('<2sIHHI', b'BM', off + len(pixels), 0, 0, off)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, len(pixels), 2835, 2835, colours, 0)
    return header + info + palette + pixels


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    src, out = argv[1], argv[2]
    os.makedirs(out, exist_ok=True)
    try:
        for name in sorted(os.listdir(src)):
            if name.endswith('.txt'):
                pic = parse(os.path.join(src, name))
                data = bmp_bytes(pic)
                tmp = os.path.join(out, pic['file'] + '.tmp')
                with open(tmp, 'wb') as f:
                    f.write(data)
                os.replace(tmp, os.path.join(out, pic['file']))
    except (PictureError, ValueError) as e:
        print('make_ui_pictures: %s' % e, file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
