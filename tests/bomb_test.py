#!/usr/bin/env python3
"""Small hostile files ("bombs") through the verbs that read them, each under a memory and a
time limit: a file that declares far more than its data holds must be refused with a clear
reason, or read into a result as small as what it really holds.  A reader that allocates by
the declared size fails here.

Memory: the peak resident size of the verb's process (wait4), natively also an address-space
limit when the program is not built with the address sanitizer (which needs terabytes of
address space; there its own mmap limit stands in).

Usage: bomb_test.py MEDLEY [EMULATOR]      runs every case
       bomb_test.py --write DIR            writes the files only (seeds for the fuzz corpora)
"""
import os
import re
import resource
import struct
import subprocess
import sys
import tempfile
import time
import zlib

LIMIT_MB = 512
SECONDS = 20


# ---- The files ---------------------------------------------------------------------------

def lzw_run(length):
    """A valid LZW stream (code size 2) of `length` codes making ever longer runs of 0: a clear,
    a 0, then each new code naming the run before it and one more 0."""
    acc = bits = 0
    out = bytearray()
    size = 3
    for c in [4, 0] + list(range(6, 6 + length)):
        acc |= c << bits
        bits += size
        while bits >= 8:
            out.append(acc & 255)
            acc >>= 8
            bits -= 8
        if c >= 6 and c + 1 == 1 << size and size < 12:
            size += 1
    if bits:
        out.append(acc & 255)
    return bytes(out)


def gif(frames, w, h, data=None):
    """A GIF of `frames` images of w x h, 1-bit, each with a short LZW stream."""
    data = data or lzw_run(40)[:10]
    out = b'GIF89a' + struct.pack('<HHBBB', w, h, 0x80, 0, 0) + b'\0\0\0\xff\xff\xff'
    frame = b',' + struct.pack('<HHHHB', 0, 0, w, h, 0) + b'\x02' + bytes([len(data)]) + data + b'\0'
    return out + frame * frames + b';'


def jpeg(w, h, scan=64):
    """A grey baseline JPEG declaring w x h whose scan holds `scan` bytes of zeros."""
    seg = lambda m, body: b'\xff' + bytes([m]) + struct.pack('>H', len(body) + 2) + body
    one_code = lambda tc, sym: bytes([tc << 4]) + b'\x01' + b'\0' * 15 + bytes([sym])
    return (b'\xff\xd8' + seg(0xDB, b'\0' + b'\x01' * 64) + seg(0xC0, struct.pack('>BHHB', 8, h, w, 1) + b'\x01\x11\0') +
            seg(0xC4, one_code(0, 0)) + seg(0xC4, one_code(1, 0)) + seg(0xDA, b'\x01\x01\x00\x00\x3f\x00') +
            b'\0' * scan + b'\xff\xd9')


def png(w, h):
    """An RGB PNG declaring w x h whose image data inflates to a few hundred bytes."""
    chunk = lambda t, b: struct.pack('>I', len(b)) + t + b + struct.pack('>I', zlib.crc32(t + b))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(b'\0' * 400)) + chunk(b'IEND', b''))


def bmp(w, h):
    return b'BM' + struct.pack('<IIIIiiHHIIiiII', 54 + 16, 0, 54, 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0) + b'\0' * 16


SMIL_ONE = ('<smil><head><layout><root-layout width="176" height="144"/></layout></head>'
            '<body><par dur="5s"><img src="a.gif"/></par></body></smil>')
DEPTH = 200000
SMIL_DEEP = '<smil><body>' + '<a>' * DEPTH + '</a>' * DEPTH + '</body></smil>'

# name: bytes, or (smil text, {part file: (type, bytes)}) for a message built by `mime build`
FILES = {
    'gif_50x16383.gif': gif(50, 16383, 16383),
    'gif_2000x4000.gif': gif(2000, 4000, 4000),
    'gif_one_16383.gif': gif(1, 16383, 16383),
    'jpeg_65000.jpg': jpeg(65000, 65000),
    'jpeg_8000.jpg': jpeg(8000, 8000),
    'png_8000.png': png(8000, 8000),
    'bmp_65000.bmp': bmp(65000, 65000),
    'msg_gif.dat': (SMIL_ONE, {'a.gif': ('image/gif', gif(50, 16383, 16383))}),
    'msg_deep.dat': (SMIL_DEEP, {'a.gif': ('image/gif', gif(1, 8, 8, lzw_run(4)))}),
}

# file, verb (IN and OUT stand for the file and an output path), the exit status expected (0: a
# result, 1: a refusal of one line, None: either) and a regular expression its output must match.
CASES = [
    ('gif_50x16383.gif', 'gif resave IN OUT.gif', 1, r'declares 13 billion pixels in 1 170 bytes'),
    ('gif_2000x4000.gif', 'gif resave IN OUT.gif', 1, r'declares 32 billion pixels in 46 \d{3} bytes'),
    ('gif_one_16383.gif', 'gif resave IN OUT.gif', 1, r'frame 1 declares 268 million pixels in 10 bytes of image data'),
    ('gif_50x16383.gif', 'gif info IN', 1, r'declares 13 billion pixels'),
    ('gif_one_16383.gif', 'gif info IN', 0, r'frames: 0\s+not read further: frame 1 declares'),
    ('gif_one_16383.gif', 'thumb IN OUT.png', 1, r'frame 1 declares 268 million pixels'),
    ('gif_50x16383.gif', 'gif resize IN OUT.gif --box 10x10', 1, r'declares 13 billion pixels'),
    ('jpeg_65000.jpg', 'thumb IN OUT.png', 1, r'declares more pixels than its data can hold'),
    ('jpeg_8000.jpg', 'dib fit IN OUT.png 100 100', 1, r'declares more pixels than its data can hold'),
    ('png_8000.png', 'thumb IN OUT.png', 1, r'declares more pixels than its data can hold'),
    ('bmp_65000.bmp', 'thumb IN OUT.png', 1, r'cannot read picture'),
    ('msg_gif.dat', 'fit IN OUT.dat --max-size 600', None, r'declares 13 billion pixels'),
    ('msg_gif.dat', 'preview IN OUT.png', 0, r''),
    ('msg_gif.dat', 'preview IN OUTDIR --html', 0, r''),
    ('msg_deep.dat', 'preview IN OUT.png', 0, r'nests elements more than 32 deep'),
    ('msg_deep.dat', 'preview IN OUTDIR --html', 0, r'nests elements more than 32 deep'),
]


def write_files(folder, medley=None, run=()):
    def put(name, data):
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
        return os.path.join(folder, name)

    for name, content in FILES.items():
        if isinstance(content, bytes):
            put(name, content)
        elif medley:
            smil, parts = content
            args = [medley, 'mime', 'build', os.path.join(folder, name), '--smil', put(name + '.smil', smil.encode())]
            args += [a for file, (kind, data) in parts.items() for a in ('--part', kind + ':' + put(file, data))]
            subprocess.run(list(run) + args, check=True, capture_output=True)


def measure(argv, address_limit):
    """Runs argv; returns (exit status or None when stopped, peak MB, seconds, stderr)."""
    def limit():
        resource.setrlimit(resource.RLIMIT_AS, (LIMIT_MB << 20, LIMIT_MB << 20))
    out = tempfile.TemporaryFile()
    start = time.monotonic()
    p = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT, preexec_fn=limit if address_limit else None)
    status = None
    while True:
        pid, st, ru = os.wait4(p.pid, os.WNOHANG)
        if pid:
            status = os.waitstatus_to_exitcode(st)
            break
        if time.monotonic() - start > SECONDS:
            p.kill()
            _, _, ru = os.wait4(p.pid, 0)
            break
        time.sleep(0.02)
    p.returncode = status if status is not None else -9  # reaped: keep Popen from waiting
    seconds = time.monotonic() - start
    out.seek(0)
    return status, ru.ru_maxrss / 1024, seconds, out.read().decode('utf-8', 'replace').replace('\r', '')


def main():
    if sys.argv[1] == '--write':
        os.makedirs(sys.argv[2], exist_ok=True)
        write_files(sys.argv[2])
        return 0
    medley, run = sys.argv[1], sys.argv[2:]
    sanitized = os.environ.get('MEDLEY_SANITIZED') == '1'
    # Under the address sanitizer its allocator's own limit stands in for the address space.
    os.environ['ASAN_OPTIONS'] = os.environ.get('ASAN_OPTIONS', '') + ':mmap_limit_mb=%d' % LIMIT_MB
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        write_files(folder, medley, run)
        for i, (name, verb, status_wanted, pattern) in enumerate(CASES):
            out = os.path.join(folder, 'out%d' % i)
            argv = list(run) + [medley] + [
                os.path.join(folder, name) if a == 'IN' else out + a[3:] if a.startswith('OUT') else a
                for a in verb.split()]
            status, peak, seconds, text = measure(argv, not run and not sanitized)
            reasons = [l for l in text.splitlines() if l.startswith('medley: ')]
            if status is None:
                verdict = 'stopped after %d s' % SECONDS
            elif peak > LIMIT_MB:
                verdict = 'peak %d MB over the limit' % peak
            elif status not in ((0, 1) if status_wanted is None else (status_wanted,)):
                verdict = 'exit %s, not %s' % (status, status_wanted)
            elif status == 1 and len(reasons) != 1:
                verdict = 'a refusal without its one-line reason'
            elif not re.search(pattern, text):
                verdict = 'no %r in the output' % pattern
            else:
                verdict = 'ok'
            print('%-18s %-36s %6.1f s %6d MB  %s' % (name, verb, seconds, peak, verdict))
            if verdict != 'ok':
                print('    ' + text.strip()[-400:].replace('\n', '\n    '))
            failures += verdict != 'ok'
    print('bombs: %d of %d cases failed' % (failures, len(CASES)) if failures else 'bombs: every case bounded')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
