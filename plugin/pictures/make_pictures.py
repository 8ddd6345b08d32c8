#!/usr/bin/env python3
"""Turns the text pictures of this folder into the .cur/.ico/.bmp files of redll.rc.

usage: make_pictures.py SOURCE_DIR OUT_DIR [--preview]

Each *.txt holds one image: a few header lines, a line of dashes, then one text row per pixel
row, one character per pixel:

    file pen.cur            output file; several images naming one .ico make one icon
    kind cursor             cursor | icon | bitmap
    bits 1                  1 (cursors: black and white), 4 (16 colours) or 24
    hotspot 8 24            cursors only: x, y from the top-left corner
    colour . transparent    a character and what it stands for: transparent, inverse
    colour # 000000         (cursors and icons only) or an RRGGBB colour
    ----
    ....##..

Images with 1 or 4 bits may only use colours of their palette: black and white, or the 16
colours of the standard Windows palette.  Lines starting with ';' are comments.

With --preview every output is also written as a scaled-up PNG (transparent drawn as a
checker, inverse as magenta), for looking at the pictures; the build does not use it.
"""
import os
import struct
import sys
import zlib

VGA16 = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]
MONO = [0x000000, 0xFFFFFF]
TRANSPARENT = 'transparent'
INVERSE = 'inverse'


class PictureError(Exception):
    pass


class Image:
    def __init__(self, path):
        self.path = path
        self.file = None
        self.kind = None
        self.bits = None
        self.hotspot = (0, 0)
        self.legend = {}
        self.rows = []
        self._parse()

    def _fail(self, lineno, why):
        raise PictureError('%s:%d: %s' % (self.path, lineno, why))

    def _parse(self):
        with open(self.path, encoding='ascii') as f:
            lines = f.read().split('\n')
        in_pixels = False
        for n, line in enumerate(lines, 1):
            if in_pixels:
                if line.strip() == '':
                    continue
                self.rows.append((n, line.rstrip('\n')))
                continue
            if line.startswith(';') or not line.strip():
                continue
            if line.startswith('----'):
                in_pixels = True
                continue
            key, _, rest = line.partition(' ')
            if key == 'file':
                self.file = rest.strip()
            elif key == 'kind':
                self.kind = rest.strip()
                if self.kind not in ('cursor', 'icon', 'bitmap'):
                    self._fail(n, 'unknown kind %r' % self.kind)
            elif key == 'bits':
                self.bits = int(rest)
                if self.bits not in (1, 4, 24):
                    self._fail(n, 'bits must be 1, 4 or 24')
            elif key == 'hotspot':
                x, y = rest.split()
                self.hotspot = (int(x), int(y))
            elif key == 'colour':
                if len(rest) < 3 or rest[1] != ' ':
                    self._fail(n, 'expected "colour C VALUE"')
                ch, value = rest[0], rest[2:].strip()
                if value in (TRANSPARENT, INVERSE):
                    self.legend[ch] = value
                else:
                    try:
                        self.legend[ch] = int(value, 16)
                    except ValueError:
                        self._fail(n, 'bad colour %r' % value)
            else:
                self._fail(n, 'unknown header %r' % key)
        if not (self.file and self.kind and self.bits and self.rows):
            raise PictureError('%s: needs file, kind, bits and pixel rows' % self.path)
        self.width = len(self.rows[0][1])
        self.height = len(self.rows)
        for n, row in self.rows:
            if len(row) != self.width:
                self._fail(n, 'row is %d pixels wide, the first is %d' % (len(row), self.width))
            for ch in row:
                if ch not in self.legend:
                    self._fail(n, 'character %r is not in the legend' % ch)
        if self.kind == 'bitmap' and any(v in (TRANSPARENT, INVERSE) for v in self.legend.values()):
            raise PictureError('%s: bitmaps have no transparency' % self.path)
        palette = self.palette()
        if palette is not None:
            for ch, v in self.legend.items():
                if isinstance(v, int) and v not in palette:
                    raise PictureError('%s: colour %06X of %r is not in the %d-colour palette'
                                       % (self.path, v, ch, len(palette)))
        x, y = self.hotspot
        if self.kind == 'cursor' and not (0 <= x < self.width and 0 <= y < self.height):
            raise PictureError('%s: hot spot outside the picture' % self.path)

    def palette(self):
        return {1: MONO, 4: VGA16}.get(self.bits)

    def pixel(self, x, y):
        """(colour or None, and-bit) of the pixel at x, y counted from the top."""
        v = self.legend[self.rows[y][1][x]]
        if v == TRANSPARENT:
            return 0x000000, 1
        if v == INVERSE:
            return 0xFFFFFF, 1
        return v, 0


def row_bytes(width, bits):
    return ((width * bits + 31) // 32) * 4


def pack_rows(img, value_of, bits):
    """Bottom-up rows of `bits` per pixel, each padded to 4 bytes."""
    out = bytearray()
    stride = row_bytes(img.width, bits)
    for y in range(img.height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(img.width):
            v = value_of(x, y)
            if bits == 24:
                row[3 * x:3 * x + 3] = bytes((v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF))
            else:
                per = 8 // bits
                shift = 8 - bits * (x % per + 1)
                row[x // per] |= (v & ((1 << bits) - 1)) << shift
        out += row
    return bytes(out)


def info_header(width, height, bits, colours, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, image_size, 0, 0, colours, 0)


def icon_image(img):
    """BITMAPINFOHEADER (height doubled), palette, XOR bits, AND mask."""
    palette = img.palette()
    if palette is None:
        raise PictureError('%s: cursors and icons have 1 or 4 bits' % img.path)
    xor = pack_rows(img, lambda x, y: palette.index(img.pixel(x, y)[0]), img.bits)
    mask = pack_rows(img, lambda x, y: img.pixel(x, y)[1], 1)
    head = info_header(img.width, img.height * 2, img.bits, 0, len(xor) + len(mask))
    pal = b''.join(struct.pack('<BBBB', c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 0) for c in palette)
    return head + pal + xor + mask


def write_icon_file(path, images):
    """The .ico / .cur container: ICONDIR, one 16-byte entry per image, the images."""
    cursor = images[0].kind == 'cursor'
    head = struct.pack('<HHH', 0, 2 if cursor else 1, len(images))
    datas = [icon_image(i) for i in images]
    offset = 6 + 16 * len(images)
    entries = b''
    for img, data in zip(images, datas):
        colours = 0 if img.bits >= 8 else 1 << img.bits
        if cursor:
            a, b = img.hotspot
        else:
            a, b = 1, img.bits
        entries += struct.pack('<BBBBHHII', img.width % 256, img.height % 256, colours % 256, 0,
                               a, b, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(head + entries + b''.join(datas))


def write_bitmap_file(path, img):
    if img.bits != 24:
        raise PictureError('%s: bitmaps are drawn with 24 bits' % img.path)
    pixels = pack_rows(img, lambda x, y: img.pixel(x, y)[0], 24)
    head = info_header(img.width, img.height, 24, 0, len(pixels))
    filehead = struct.pack('<2sIHHI', b'BM', 14 + len(head) + len(pixels), 0, 0, 14 + len(head))
    with open(path, 'wb') as f:
        f.write(filehead + head + pixels)


def png(path, width, height, rgb_rows):
    raw = b''.join(b'\0' + bytes(r) for r in rgb_rows)

    def chunk(tag, data):
        return struct.pack('>I', len(data)) + tag + data + struct.pack('>I', zlib.crc32(tag + data))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))


def write_preview(path, img, scale=8):
    rows = []
    for y in range(img.height):
        for _ in range(scale):
            row = bytearray()
            for x in range(img.width):
                v = img.legend[img.rows[y][1][x]]
                for sx in range(scale):
                    if v == TRANSPARENT:
                        c = 0xDDDDDD if ((x * scale + sx) // 4 + y) % 2 else 0xAAAAAA
                    elif v == INVERSE:
                        c = 0xFF00FF
                    else:
                        c = v
                    if img.kind == 'cursor' and (x, y) == img.hotspot:
                        c = 0xFF0000
                    row += bytes(((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF))
            rows.append(row)
    png(path, img.width * scale, img.height * scale, rows)


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    src, out = argv[1], argv[2]
    preview = '--preview' in argv[3:]
    os.makedirs(out, exist_ok=True)
    groups = {}
    try:
        for name in sorted(os.listdir(src)):
            if name.endswith('.txt'):
                img = Image(os.path.join(src, name))
                groups.setdefault(img.file, []).append(img)
        for file, images in sorted(groups.items()):
            kinds = {i.kind for i in images}
            if len(kinds) != 1:
                raise PictureError('%s: mixes %s' % (file, ', '.join(sorted(kinds))))
            images.sort(key=lambda i: -i.width)
            target = os.path.join(out, file)
            if images[0].kind == 'bitmap':
                if len(images) != 1:
                    raise PictureError('%s: a bitmap has one image' % file)
                write_bitmap_file(target, images[0])
            else:
                write_icon_file(target, images)
            if preview:
                for img in images:
                    write_preview(os.path.join(out, '%s-%dx%d.png' % (file, img.width, img.height)), img)
    except PictureError as e:
        sys.stderr.write('make_pictures: %s\n' % e)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
