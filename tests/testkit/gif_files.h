/*
 * GIF files built byte by byte, for the tests and the benchmarks: a plain LZW encoder (a map of
 * strings, written from GIF89a without regard to our codec), sub-blocks, headers, control
 * blocks, images, whole animations, and frame-by-frame comparison of two containers.
 * Header-only, without the test framework.
 */
#pragma once
#include <stdint.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "basemem.h"
#include "gif.h"

namespace giftest {

using Bytes = std::vector<unsigned char>;

inline void Put16(Bytes &b, int v) {
    b.push_back(BYTE(v));
    b.push_back(BYTE(v >> 8));
}

/* GIF LZW of `pixels`: clear first, end last (unless withEnd is false).  With clearAt, a clear
 * code follows as soon as the next free code reaches it (and the table starts again);
 * without, the table stays full once code 4095 is assigned. */
inline Bytes Lzw(const std::vector<int> &pixels, int m, bool withEnd = true, int clearAt = 0) {
    int clear = 1 << m, end = clear + 1, size = m + 1, next = end + 1;
    std::map<std::vector<int>, int> table;
    auto reset = [&] {
        table.clear();
        for (int i = 0; i < clear; ++i)
            table[{i}] = i;
    };
    reset();
    std::vector<std::pair<int, int>> codes{{clear, size}};
    std::vector<int> cur;
    for (int p : pixels) {
        std::vector<int> ext = cur;
        ext.push_back(p);
        if (table.count(ext)) {
            cur = ext;
            continue;
        }
        codes.push_back({table[cur], size});
        if (next < 4096) {
            table[ext] = next++;
            if (next > (1 << size) && size < 12)
                ++size;
        }
        cur = {p};
        if (clearAt && next == clearAt) {
            codes.push_back({clear, size});
            reset();
            size = m + 1;
            next = end + 1;
        }
    }
    if (!cur.empty())
        codes.push_back({table[cur], size});
    if (withEnd)
        codes.push_back({end, size});
    Bytes out;
    uint32_t acc = 0;
    int n = 0;
    for (auto &c : codes) {
        acc |= uint32_t(c.first) << n;
        n += c.second;
        while (n >= 8) {
            out.push_back(BYTE(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    if (n)
        out.push_back(BYTE(acc));
    return out;
}

inline Bytes SubBlocks(const Bytes &data, bool terminate = true) {
    Bytes out;
    for (size_t i = 0; i < data.size(); i += 255) {
        size_t n = data.size() - i < 255 ? data.size() - i : 255;
        out.push_back(BYTE(n));
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    if (terminate)
        out.push_back(0);
    return out;
}

inline Bytes Table(int entries) {
    Bytes t;
    for (int i = 0; i < entries; ++i) {
        t.push_back(BYTE(i * 3));
        t.push_back(BYTE(255 - i));
        t.push_back(BYTE(i * 7));
    }
    return t;
}

/* Header with a global table of 2^bits entries (bits 0: none). */
inline Bytes Header(int w, int h, int bits, const char *sig = "GIF89a") {
    Bytes b(sig, sig + 6);
    Put16(b, w);
    Put16(b, h);
    b.push_back(bits ? BYTE(0x80 | (bits - 1)) : 0);
    b.push_back(0);
    b.push_back(0);
    Bytes t = Table(bits ? 1 << bits : 0);
    b.insert(b.end(), t.begin(), t.end());
    return b;
}

inline void Gce(Bytes &b, int delay, int disposal, int transparent) {
    Bytes g{0x21, 0xF9, 4, BYTE((disposal << 2) | (transparent >= 0 ? 1 : 0))};
    Put16(g, delay);
    g.push_back(BYTE(transparent >= 0 ? transparent : 0));
    g.push_back(0);
    b.insert(b.end(), g.begin(), g.end());
}

inline void Append(Bytes &b, const Bytes &more) { b.insert(b.end(), more.begin(), more.end()); }

/* An image descriptor without a local table (packed byte 0) and the code size m. */
inline void Descriptor(Bytes &b, int l, int t, int w, int h, int m) {
    b.push_back(0x2C);
    for (int v : {l, t, w, h})
        Put16(b, v);
    b.insert(b.end(), {0, BYTE(m)});
}

inline void Image(Bytes &b, int l, int t, int w, int h, const std::vector<int> &px, int m, int localBits = 0,
           bool interlaced = false) {
    Descriptor(b, l, t, w, h, m);
    b.pop_back();
    b.back() = BYTE((localBits ? 0x80 | (localBits - 1) : 0) | (interlaced ? 0x40 : 0));
    if (localBits) {
        Bytes t = Table(1 << localBits);
        for (auto &c : t)
            c = BYTE(c ^ 0x55);
        Append(b, t);
    }
    b.push_back(BYTE(m));
    Append(b, SubBlocks(Lzw(px, m)));
}

/* A file of one w x h image of `px` at code size m under a global table of 2^bits entries. */
inline Bytes Still(int w, int h, int bits, const std::vector<int> &px, int m, const char *sig = "GIF89a") {
    Bytes b = Header(w, h, bits, sig);
    Image(b, 0, 0, w, h, px, m);
    b.push_back(0x3B);
    return b;
}

inline std::vector<int> Pattern(int w, int h, int colours) {
    std::vector<int> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px.push_back((x * 3 + y * 5 + x * y) % colours);
    return px;
}

/* An animation of `frames` frames of w x h with a 256-entry global table, delays 3, 4, 5...,
 * disposal alternating 1 and 2, and transparent index 7 on every odd frame. */
inline Bytes Animation(int w, int h, int frames) {
    Bytes b = Header(w, h, 8);
    for (int f = 0; f < frames; ++f) {
        Gce(b, 3 + f, 1 + (f & 1), (f & 1) ? 7 : -1);
        std::vector<int> px;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                px.push_back((x * 7 + y * 13 + f * 11 + ((x * y) >> 3)) % 256);
        Image(b, 0, 0, w, h, px, 8);
    }
    b.push_back(0x3B);
    return b;
}

inline GIFFRAMEINFO Info(int delay = 0, int disposal = 0, int transparent = -1) {
    GIFFRAMEINFO info;
    memset(&info, 0, sizeof(info));
    info.delay = delay;
    info.disposal = disposal;
    info.hasTransparency = transparent >= 0;
    info.transparentIndex = transparent >= 0 ? transparent : 0;
    return info;
}

/* Frame by frame: the same info and the same bitmap bytes (header, palette, rows). */
inline bool SameFrames(CGifFile &a, CGifFile &b, std::string *why) {
    if (a.GetFrameCount() != b.GetFrameCount()) {
        *why = "frame count";
        return false;
    }
    for (int i = 0; i < a.GetFrameCount(); ++i) {
        GIFFRAMEINFO ia, ib;
        memset(&ia, 0, sizeof(ia));  // padding too: the records are compared whole
        memset(&ib, 0, sizeof(ib));
        HGLOBAL da = a.GetFrame(i, &ia), db = b.GetFrame(i, &ib);
        if (memcmp(&ia, &ib, sizeof(ia)) != 0) {
            *why = "info of frame " + std::to_string(i);
            return false;
        }
        SIZE_T sa = BaseMemSize(da), sb = BaseMemSize(db);
        const BYTE *pa = static_cast<const BYTE *>(BaseMemLock(da));
        const BYTE *pb = static_cast<const BYTE *>(BaseMemLock(db));
        const BITMAPINFOHEADER *ha = reinterpret_cast<const BITMAPINFOHEADER *>(pa);
        size_t bytes = 40 + 4 * ha->biClrUsed + ha->biSizeImage;
        bool same = sa >= bytes && sb >= bytes && memcmp(pa, pb, bytes) == 0;
        BaseMemUnlock(da);
        BaseMemUnlock(db);
        if (!same) {
            *why = "bitmap of frame " + std::to_string(i);
            return false;
        }
    }
    return true;
}

}  // namespace giftest
