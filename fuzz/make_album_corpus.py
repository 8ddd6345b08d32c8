#!/usr/bin/env python3
"""Regenerates the album fuzz corpus (fuzz/corpus/album/): album files written from the
layout described in platform/albumcore/album_file.cpp.   fuzz/make_album_corpus.py"""
import os
import struct
import zlib

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus', 'album')
os.makedirs(out, exist_ok=True)

TABLE = [(1, 0, 'THUMBDIB'), (0, 260, 'FILENAME'), (0, 260, 'THUMBDESCRIPTION'), (0, 20, 'MB_ABMFLD_USER1'),
         (0, 20, 'MB_ABMFLD_USER2'), (0, 20, 'MB_ABMFLD_USER3'), (0, 260, 'MB_ABMFLD_AUDIO'),
         (0, 100, 'FIELINFORMITION'), (0, 260, 'MB_ABMFLD_CD_RELATIVEFILENAME'), (0, 1, 'MB_ABMFLD_CD_ISOBJECTFOLDER')]


def album(objects, table=TABLE, version=1):
    body = b''.join(struct.pack('<IIB', k, s, len(n)) + n.encode() for k, s, n in table)
    for path, fields in objects:
        body += struct.pack('<H', len(path)) + path.encode() + struct.pack('<H', len(fields))
        for number, data in sorted(fields.items()):
            body += struct.pack('<HI', number, len(data)) + data
    head = b'MDALBUM\x1a' + struct.pack('<HHIIIII', version, 32, len(table), len(objects), len(body),
                                        zlib.crc32(body) & 0xffffffff, 0)
    return head + body


files = {
    'empty.abm': album([]),
    'trip.abm': album([('C:\\Data\\Trip\\msg01\\msg.smil', {3: b'Holiday\0', 4: b'160/120\0', 5: b'3/4\0'}),
                       ('C:\\Data\\Trip\\msg02\\msg.smil', {3: b'\0', 4: b'0/0\0', 5: b'0/0\0'})]),
    'thumb.abm': album([('D:\\Copy\\Trip\\msg01\\pic.gif', {0: b'BM' + bytes(300), 3: b'x' * 259 + b'\0'})]),
    'small_table.abm': album([('a\\b\\c', {0: b'abcd'})], table=[(0, 4, 'A')]),
    'version2.abm': album([], version=2),
}
cut = album([('C:\\x\\y\\z.smil', {4: b'1/2\0'})])
files['cut.abm'] = cut[:-3]
for name, data in files.items():
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)
print(len(files), 'files in', os.path.normpath(out))
