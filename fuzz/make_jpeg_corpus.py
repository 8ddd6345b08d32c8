#!/usr/bin/env python3
"""Writes fuzz/corpus/jpeg/: JPEG files of the kinds cameras, phones and editors write.

Pillow's encoder makes the common kinds (4:2:0, 4:2:2, 4:4:4, grey, optimised tables,
progressive, CMYK, sizes that are not a multiple of the block).  Pillow cannot write restart
intervals or RGB without colour transform, so a small baseline encoder of our own (the
example tables of ITU T.81 Annex K) writes those.  Run from anywhere; the files are committed.
"""
import io
import math
import os
import random

from PIL import Image

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus', 'jpeg')


def scene(w, h, seed):
    """A photo-like picture: gradients, a disc, edges and a little grain."""
    rnd = random.Random(seed)
    img = Image.new('RGB', (w, h))
    px = img.load()
    for y in range(h):
        for x in range(w):
            d = (x - w * 0.6) ** 2 + (y - h * 0.4) ** 2
            disc = d < (min(w, h) * 0.25) ** 2
            g = rnd.randint(-6, 6)
            r = int(255 * x / max(1, w - 1)) + g
            gg = int(200 * y / max(1, h - 1)) + 30 + g
            b = (230 if disc else 60 + (x // 5 % 2) * 40) + g
            px[x, y] = tuple(max(0, min(255, v)) for v in (r, gg, b))
    return img


# ---- A baseline encoder with restart intervals -------------------------------------------

ZIGZAG = [0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34,
          27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44,
          51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63]
LUMA_Q = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57,
          69, 56, 14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64,
          81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
CHROMA_Q = [17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
            99, 99, 47, 66, 99, 99, 99, 99, 99, 99] + [99] * 32
DC_BITS = [[0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], [0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0]]
DC_VALS = [list(range(12)), list(range(12))]
AC_BITS = [[0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d], [0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77]]
AC_VALS = [bytes.fromhex(
    '01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a25262728292a3435363738393a434445464748494a535455565758595a636465666768696a737475767778797a838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9fa'),
    bytes.fromhex(
    '0001020311040521310612415107617113223281081442 91a1b1c109233352f0156272d10a162434e125f11718191a262728292a35363738393a434445464748494a535455565758595a636465666768696a737475767778797a82838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3f4f5f6f7f8f9fa'.replace(' ', ''))]


def codes(bits, vals):
    table, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            table[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return table


COS = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]


def fdct(block):
    out = [0.0] * 64
    for v in range(8):
        for u in range(8):
            s = 0.0
            for y in range(8):
                cy = COS[v][y]
                row = block[y * 8:y * 8 + 8]
                s += cy * sum(row[x] * COS[u][x] for x in range(8))
            cu = math.sqrt(0.5) if u == 0 else 1.0
            cv = math.sqrt(0.5) if v == 0 else 1.0
            out[v * 8 + u] = 0.25 * cu * cv * s
    return out


class Bits:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)
                self.acc = self.n = 0

    def flush(self):
        while self.n:
            self.put(1, 1)


def magnitude(v):
    n = abs(v).bit_length()
    return n, (v if v >= 0 else v + (1 << n) - 1)


def encode_own(img, sampling, restart, quality=75, rgb=False):
    """sampling: ((h, v) of each component); one entry for grey."""
    w, h = img.size
    grey = len(sampling) == 1
    src = img.convert('L' if grey else 'RGB')
    if not grey and not rgb:
        src = src.convert('YCbCr')
    planes = [src.getchannel(i).load() if not grey else src.load() for i in range(len(sampling))]
    scale = 5000 / quality if quality < 50 else 200 - 2 * quality
    qt = [[max(1, min(255, (q * scale + 50) // 100)) for q in t] for t in (LUMA_Q, CHROMA_Q)]
    tq = [0] + [0 if rgb else 1] * (len(sampling) - 1)
    dc = [codes(DC_BITS[i], DC_VALS[i]) for i in range(2)]
    ac = [codes(AC_BITS[i], list(AC_VALS[i])) for i in range(2)]
    hmax = max(s[0] for s in sampling)
    vmax = max(s[1] for s in sampling)
    mcux = (w + 8 * hmax - 1) // (8 * hmax)
    mcuy = (h + 8 * vmax - 1) // (8 * vmax)
    bits = Bits()
    pred = [0] * len(sampling)
    rst = 0
    count = 0

    def sample(c, x, y):
        # A subsampled component: the mean of the pixels its sample covers.
        sh, sv = sampling[c]
        fx, fy = hmax // sh, vmax // sv
        total = 0
        for dy in range(fy):
            for dx in range(fx):
                total += planes[c][min(w - 1, x * fx + dx), min(h - 1, y * fy + dy)]
        return total / (fx * fy)

    for my in range(mcuy):
        for mx in range(mcux):
            if restart and count and count % restart == 0:
                bits.flush()
                bits.out += bytes([0xFF, 0xD0 + rst])
                rst = (rst + 1) % 8
                pred = [0] * len(sampling)
            count += 1
            for c, (sh, sv) in enumerate(sampling):
                for by in range(sv):
                    for bx in range(sh):
                        x0 = (mx * sh + bx) * 8
                        y0 = (my * sv + by) * 8
                        block = [sample(c, x0 + i % 8, y0 + i // 8) - 128 for i in range(64)]
                        coef = fdct(block)
                        q = [int(round(coef[ZIGZAG[k]] / qt[tq[c]][ZIGZAG[k]])) for k in range(64)]
                        t = 0 if c == 0 or rgb else 1
                        diff = q[0] - pred[c]
                        pred[c] = q[0]
                        n, v = magnitude(diff)
                        bits.put(*dc[t][n])
                        bits.put(v, n)
                        run = 0
                        for k in range(1, 64):
                            if q[k] == 0:
                                run += 1
                                continue
                            while run > 15:
                                bits.put(*ac[t][0xF0])
                                run -= 16
                            n, v = magnitude(q[k])
                            bits.put(*ac[t][(run << 4) | n])
                            bits.put(v, n)
                            run = 0
                        if run:
                            bits.put(*ac[t][0x00])
    bits.flush()

    def seg(marker, body):
        return bytes([0xFF, marker]) + (len(body) + 2).to_bytes(2, 'big') + body

    out = bytearray(b'\xff\xd8')
    if rgb:
        # Transform 0: the components are R, G, B (a JFIF marker would say YCbCr).
        out += seg(0xEE, b'Adobe\0\x64\0\0\0\0\0')
    else:
        out += seg(0xE0, b'JFIF\0\x01\x01\0\0\x01\0\x01\0\0')
    for i in range(1 if grey or rgb else 2):
        out += seg(0xDB, bytes([i]) + bytes(qt[i][ZIGZAG[k]] for k in range(64)))
    ids = list(range(1, len(sampling) + 1))
    sof = bytes([8]) + h.to_bytes(2, 'big') + w.to_bytes(2, 'big') + bytes([len(sampling)])
    for c, (sh, sv) in enumerate(sampling):
        sof += bytes([ids[c], (sh << 4) | sv, tq[c]])
    out += seg(0xC0, sof)
    for i in range(1 if grey or rgb else 2):
        out += seg(0xC4, bytes([i]) + bytes(DC_BITS[i]) + bytes(DC_VALS[i]))
        out += seg(0xC4, bytes([0x10 | i]) + bytes(AC_BITS[i]) + AC_VALS[i])
    if restart:
        out += seg(0xDD, restart.to_bytes(2, 'big'))
    sos = bytes([len(sampling)])
    for c in range(len(sampling)):
        t = 0 if c == 0 or rgb else 1
        sos += bytes([ids[c], (t << 4) | t])
    out += seg(0xDA, sos + bytes([0, 63, 0]))
    out += bits.out + b'\xff\xd9'
    return bytes(out)


def main():
    os.makedirs(OUT, exist_ok=True)
    files = {}

    def pil(name, img, **kw):
        buf = io.BytesIO()
        img.save(buf, 'JPEG', **kw)
        files[name] = buf.getvalue()

    big = scene(96, 72, 1)
    odd = scene(53, 37, 2)
    pil('case-420.jpg', big, quality=85, subsampling=2)
    pil('case-422.jpg', big, quality=85, subsampling=1)
    pil('case-444.jpg', big, quality=95, subsampling=0)
    pil('case-420-odd-size.jpg', odd, quality=75, subsampling=2)
    pil('case-444-odd-size.jpg', odd, quality=90, subsampling=0)
    pil('case-grey.jpg', big.convert('L'), quality=80)
    pil('case-grey-odd-size.jpg', odd.convert('L'), quality=60)
    pil('case-optimised-tables.jpg', big, quality=70, optimize=True)
    pil('case-low-quality.jpg', big, quality=15)
    pil('case-progressive.jpg', big, quality=80, progressive=True)
    pil('case-cmyk.jpg', big.convert('CMYK'), quality=80)
    pil('case-one-pixel.jpg', scene(1, 1, 3), quality=80)
    pil('case-wide-strip.jpg', scene(200, 72, 4).crop((0, 30, 200, 33)), quality=80)
    # Dark to light within 3 rows, so the padding a block needs differs from the rows kept.
    pil('case-grey-strip.jpg', scene(200, 3, 5).convert('L'), quality=90)
    files['case-restart-420.jpg'] = encode_own(big, [(2, 2), (1, 1), (1, 1)], restart=3)
    files['case-restart-444.jpg'] = encode_own(odd, [(1, 1), (1, 1), (1, 1)], restart=1, quality=90)
    files['case-restart-grey.jpg'] = encode_own(odd, [(1, 1)], restart=5, quality=50)
    files['case-adobe-rgb.jpg'] = encode_own(odd, [(1, 1), (1, 1), (1, 1)], restart=0, quality=90, rgb=True)
    files['case-own-422.jpg'] = encode_own(big, [(2, 1), (1, 1), (1, 1)], restart=7)
    for name, data in files.items():
        with open(os.path.join(OUT, name), 'wb') as f:
            f.write(data)
    print(len(files), 'files in', OUT)


if __name__ == '__main__':
    main()
