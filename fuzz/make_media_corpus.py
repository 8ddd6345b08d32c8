#!/usr/bin/env python3
"""Regenerates the media fuzz corpus (fuzz/corpus/media/): small WAVE and MIDI files written
from their formats, including the odd corners (odd chunks, cut-short data, running status,
SMPTE timing, format 2).   fuzz/make_media_corpus.py"""
import os
import struct

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus', 'media')
os.makedirs(out, exist_ok=True)


def chunk(tag, body):
    return tag + struct.pack('<I', len(body)) + body + (b'\0' if len(body) & 1 else b'')


def wave(tag, channels, rate, bits, data, align=None, extra_fmt=b'', between=b''):
    align = align or channels * bits // 8
    fmt = struct.pack('<HHIIHH', tag, channels, rate, rate * align, align, bits) + extra_fmt
    return chunk(b'RIFF', b'WAVE' + chunk(b'fmt ', fmt) + between + chunk(b'data', data))


def varlen(v):
    b = [v & 0x7F]
    v >>= 7
    while v:
        b.append(0x80 | (v & 0x7F))
        v >>= 7
    return bytes(reversed(b))


def track(events):
    """events: (absolute tick, bytes)"""
    body, last = b'', 0
    for tick, ev in events:
        body += varlen(tick - last) + ev
        last = tick
    return b'MTrk' + struct.pack('>I', len(body)) + body


def midi(fmt, division, tracks, extra=b''):
    return b'MThd' + struct.pack('>IHHH', 6, fmt, len(tracks), division) + extra + b''.join(tracks)


def tempo(us):
    return b'\xff\x51\x03' + us.to_bytes(3, 'big')


END = b'\xff\x2f\x00'
files = {
    'pcm8_mono.wav': wave(1, 1, 8000, 8, bytes(range(256)) * 4),
    'pcm16_stereo.wav': wave(1, 2, 44100, 16, b'\x01\x02' * 882),
    'list_odd.wav': wave(1, 1, 11025, 8, b'\x80' * 301, between=chunk(b'LIST', b'INFOabc')),
    'ima_adpcm.wav': wave(0x11, 1, 8000, 4, b'\x11' * 512, align=256, extra_fmt=struct.pack('<HH', 2, 505),
                          between=chunk(b'fact', struct.pack('<I', 1010))),
    'cut_data.wav': wave(1, 1, 8000, 8, b'\x80' * 400)[:200],
    'format0.mid': midi(0, 480, [track([(0, b'\xc0\x05'), (0, b'\x90\x3c\x64'), (480, b'\x3c\x00'),
                                        (960, b'\x80\x3e\x00'), (1920, END)])]),
    'format1_tempo.mid': midi(1, 96, [track([(0, tempo(600000)), (192, tempo(300000)), (400, END)]),
                                      track([(0, b'\xf0\x05\x7e\x7f\x09\x01\xf7'), (10, b'\x90\x3c\x64'),
                                             (100, b'\x3e\x64'), (490, END)])],
                              extra=chunk(b'XTRA', b'skip')),
    'format2.mid': midi(2, 96, [track([(0, tempo(1000000)), (96, END)]), track([(0, b'\x90\x3c\x64'), (192, END)])]),
    'smpte.mid': midi(0, ((0x100 - 25) << 8) | 40, [track([(0, b'\x90\x3c\x64'), (3000, b'\x80\x3c\x00'),
                                                            (3250, END)])]),
    'cut_track.mid': midi(0, 96, [track([(0, b'\x90\x3c\x64'), (96, b'\x80\x3c\x00'), (192, END)])])[:-5],
}
for name, data in files.items():
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)
print(len(files), 'files in', os.path.normpath(out))
