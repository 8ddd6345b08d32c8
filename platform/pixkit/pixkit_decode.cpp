/*
 * PixKit: picture files into DIB blocks.  BMP is read here (1, 4, 8, 24 and 32 bits, either
 * row order), GIF with the codec core's LZW decoder (first frame), JPEG and PNG (and what
 * else stb_image knows) through stb_image as true colour.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fileio.h"
#include "gifcodec.h"
#include "pixkit.h"
#include "pixkit_dib.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_NO_GIF
#define STBI_NO_BMP
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace pixkit {

namespace {

inline uint32_t Le32(const BYTE *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
inline int Le16(const BYTE *p) { return p[0] | (p[1] << 8); }

/* The whole file, malloc'd; null when it cannot be read or exceeds 256 MB. */
BYTE *ReadWholeFile(const char *path, size_t *pSize) {
    FIO_FILE *f = FioOpen(path, "rb");
    if (!f)
        return nullptr;
    BYTE *data = nullptr;
    long long size = FioSize(f);
    if (size > 0 && size <= (1LL << 28)) {
        data = static_cast<BYTE *>(malloc(size_t(size)));
        if (data && FioRead(f, data, size_t(size)) != size_t(size)) {
            free(data);
            data = nullptr;
        }
    }
    FioClose(f);
    *pSize = data ? size_t(size) : 0;
    return data;
}

}  // namespace

/*
 * BMP file:  "BM" size:u32 reserved:u32 offBits:u32 | header (12 core, 40 or larger) |
 *            palette (4-byte entries, 3-byte for a core header) | rows at offBits
 */
HGLOBAL DecodeBmp(const BYTE *data, size_t size) {
    if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M')
        return 0;
    size_t offBits = Le32(data + 10);
    const BYTE *h = data + 14;
    uint32_t headSize = Le32(h);
    int width, height, bits;
    uint32_t compression = BI_RGB, clrUsed = 0;
    size_t entryBytes;
    if (headSize == 12) {
        width = Le16(h + 4);
        height = int16_t(Le16(h + 6));
        bits = Le16(h + 10);
        entryBytes = 3;
    } else if (headSize >= 40 && headSize <= 1024 && 14 + size_t(headSize) <= size) {
        width = int32_t(Le32(h + 4));
        height = int32_t(Le32(h + 8));
        bits = Le16(h + 14);
        compression = Le32(h + 16);
        clrUsed = Le32(h + 32);
        entryBytes = 4;
    } else {
        return 0;
    }
    if (compression != BI_RGB || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
        return 0;
    bool topDown = height < 0;
    if (height == INT32_MIN || width <= 0 || height == 0 || width > 0x7FFFFF)
        return 0;
    if (topDown)
        height = -height;
    int colours = bits <= 8 ? (clrUsed && clrUsed <= (1u << bits) ? int(clrUsed) : 1 << bits) : 0;
    size_t palOff = 14 + size_t(headSize);
    if (palOff + entryBytes * size_t(colours) > size)
        return 0;
    size_t srcStride = Stride(width, bits);
    if (offBits > size || size_t(height) > (size - offBits) / srcStride)
        return 0;
    int outBits = bits == 32 ? 24 : bits;
    BYTE *base;
    HGLOBAL hDib = NewDibBlock(width, height, outBits, colours, &base);
    if (!hDib)
        return 0;
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(base);
    if (headSize >= 40) {
        bih->biXPelsPerMeter = int32_t(Le32(h + 24));
        bih->biYPelsPerMeter = int32_t(Le32(h + 28));
    }
    RGBQUAD *pal = reinterpret_cast<RGBQUAD *>(base + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < colours; ++i) {
        const BYTE *e = data + palOff + entryBytes * size_t(i);
        pal[i].rgbBlue = e[0];
        pal[i].rgbGreen = e[1];
        pal[i].rgbRed = e[2];
        pal[i].rgbReserved = 0;
    }
    BYTE *px = base + sizeof(BITMAPINFOHEADER) + 4 * size_t(colours);
    size_t dstStride = Stride(width, outBits);
    for (int s = 0; s < height; ++s) {
        // Stored row s of the result (bottom-up) is file row s, or height-1-s when top-down.
        const BYTE *srow = data + offBits + size_t(topDown ? height - 1 - s : s) * srcStride;
        BYTE *drow = px + size_t(s) * dstStride;
        if (bits == 32) {
            for (int x = 0; x < width; ++x)
                memcpy(drow + 3 * x, srow + 4 * x, 3);
        } else {
            memcpy(drow, srow, (size_t(width) * size_t(bits) + 7) / 8);
        }
    }
    BlockUnlock(hDib);
    return hDib;
}

/* The first image of a GIF file as an 8-bit DIB of the image's rectangle. */
HGLOBAL DecodeGif(const BYTE *data, size_t size) {
    if (size < 13 || !gifcodec::IsGifSignature(data))
        return 0;
    size_t off = 13;
    const BYTE *global = nullptr;
    int globalCount = 0;
    if (data[10] & 0x80) {
        globalCount = 1 << ((data[10] & 7) + 1);
        global = data + 13;
        off += 3 * size_t(globalCount);
    }
    // Skip extensions (each a label and a sub-block chain) up to the first image.
    while (off < size && data[off] != 0x2C) {
        if (data[off] == 0x3B)
            return 0;
        if (data[off] != 0x21 || off + 1 >= size) {
            ++off;
            continue;
        }
        off += 2;
        while (off < size && data[off] != 0)
            off += size_t(data[off]) + 1;
        ++off;
    }
    if (off + 10 >= size)
        return 0;
    const BYTE *d = data + off;
    int width = Le16(d + 5), height = Le16(d + 7);
    BYTE packed = d[9];
    off += 10;
    const BYTE *table = global;
    int count = globalCount;
    if (packed & 0x80) {
        count = 1 << ((packed & 7) + 1);
        table = data + off;
        off += 3 * size_t(count);
    }
    if (off >= size || width == 0 || height == 0)
        return 0;
    int minCodeSize = data[off++];

    BYTE *base;
    HGLOBAL hDib = NewDibBlock(width, height, 8, 256, &base);
    if (!hDib)
        return 0;
    RGBQUAD *pal = reinterpret_cast<RGBQUAD *>(base + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < count && i < 256 && table; ++i) {
        pal[i].rgbRed = table[3 * i];
        pal[i].rgbGreen = table[3 * i + 1];
        pal[i].rgbBlue = table[3 * i + 2];
    }
    gifcodec::LzwInput in;
    in.Begin(data, size, off);
    gifcodec::LzwRows target;
    target.pixels = base + sizeof(BITMAPINFOHEADER) + 1024;
    target.width = width;
    target.height = height;
    target.bits = 8;
    target.stride = Stride(width, 8);
    target.interlaced = (packed & 0x40) != 0;
    int ok = gifcodec::DecodeLzw(minCodeSize, in, target);
    BlockUnlock(hDib);
    if (!ok) {
        BlockFree(hDib);
        return 0;
    }
    return hDib;
}

namespace {

/*
 * Whether a JPEG file's Huffman tables are safe to hand to stb_image: every table holds at
 * most 256 codes, and every scan uses only tables defined before it.  stb_image fills a
 * table's code lengths and symbols before it checks anything, so more than 256 would be
 * written past the table; and it decodes with a table never defined from memory never
 * written, reading wherever that leads.  The walk reads as stb_image does: segment by
 * segment (FF xx length:u16be), a DHT segment table by table (class:4 id:4, 16 counts, the
 * symbols) for as long as the segment's length says, octets past the end of the file reading
 * as 0; the entropy-coded data after a scan is passed over up to the next marker.
 *   SOS: Ns, Ns x (component id, DC table:4 AC table:4), Ss, Se, Ah:4 Al:4
 * A sequential scan uses both tables of each component; a progressive one its DC tables
 * when it is a first DC scan (Ss 0, Ah 0), its AC tables when it codes AC (Ss > 0).
 */
bool JpegTablesFit(const BYTE *d, size_t n) {
    auto at = [d, n](size_t i) -> unsigned { return i < n ? d[i] : 0; };
    unsigned dcDefined = 0, acDefined = 0;
    bool progressive = false;
    size_t p = 2;
    while (p + 1 < n) {
        if (d[p] != 0xFF) {
            ++p;  // entropy-coded data
            continue;
        }
        const unsigned m = d[p + 1];
        if (m == 0xFF) {
            ++p;
            continue;
        }
        if (m == 0x00 || m == 0x01 || m == 0xD8 || (m >= 0xD0 && m <= 0xD7)) {
            p += 2;  // stuffed FF, or a marker without a segment
            continue;
        }
        if (m == 0xD9 || p + 4 > n)
            return true;
        const long len = long((at(p + 2) << 8) | at(p + 3));
        if (m == 0xC2)
            progressive = true;
        if (m == 0xDA) {
            const unsigned ns = at(p + 4);
            const unsigned ss = at(p + 5 + 2 * ns), ah = at(p + 7 + 2 * ns) >> 4;
            for (unsigned i = 0; i < ns; ++i) {
                const unsigned tables = at(p + 6 + 2 * i), dc = 1u << (tables >> 4), ac = 1u << (tables & 15);
                if ((!progressive || (ss == 0 && ah == 0)) && !(dcDefined & dc))
                    return false;
                if ((!progressive || ss > 0) && !(acDefined & ac))
                    return false;
            }
        }
        if (m == 0xC4) {
            long left = len - 2;
            size_t t = p + 4;
            while (left > 0) {
                unsigned total = 0;
                for (int i = 0; i < 16; ++i)
                    total += at(t + 1 + size_t(i));
                if (total > 256)
                    return false;
                const unsigned kind = at(t);
                if ((kind & 15) < 4)
                    ((kind >> 4) ? acDefined : dcDefined) |= 1u << (kind & 15);
                left -= 17 + long(total);
                t += 17 + size_t(total);
            }
        }
        p += 2 + size_t(len < 2 ? 0 : len);
    }
    return true;
}

}  // namespace

HGLOBAL DecodeWithStb(const BYTE *data, size_t size) {
    if (size > 0x7FFFFFFF)
        return 0;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8 && !JpegTablesFit(data, size))
        return 0;
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(data, int(size), &w, &h, &comp) || w <= 0 || h <= 0 ||
        size_t(w) * size_t(h) > kMaxPixelBytes / 4)
        return 0;
    // A picture with an alpha channel is flattened onto white, the page a slide is shown on;
    // taking its colour channels alone would show the transparent area in whatever colour
    // the encoder left there (black, mostly).
    const bool alpha = comp == 2 || comp == 4;
    const int n = alpha ? 4 : 3;
    stbi_uc *rgb = stbi_load_from_memory(data, int(size), &w, &h, &comp, n);
    if (!rgb)
        return 0;
    BYTE *base;
    HGLOBAL hDib = NewDibBlock(w, h, 24, 0, &base);
    if (hDib) {
        size_t stride = Stride(w, 24);
        BYTE *px = base + sizeof(BITMAPINFOHEADER);
        for (int y = 0; y < h; ++y) {
            const stbi_uc *s = rgb + size_t(y) * size_t(w) * n;
            BYTE *row = px + size_t(h - 1 - y) * stride;
            if (!alpha) {
                // Opaque: the channels swapped, nothing to blend (the common, large case).
                for (int x = 0; x < w; ++x, s += 3) {
                    row[3 * x] = s[2];
                    row[3 * x + 1] = s[1];
                    row[3 * x + 2] = s[0];
                }
                continue;
            }
            for (int x = 0; x < w; ++x, s += n) {
                unsigned a = s[3];
                // c * a / 255 + 255 - a, rounded
                auto over = [a](unsigned c) { return BYTE((c * a + 255 * (255 - a) + 127) / 255); };
                row[3 * x] = over(s[2]);
                row[3 * x + 1] = over(s[1]);
                row[3 * x + 2] = over(s[0]);
            }
        }
        BlockUnlock(hDib);
    }
    stbi_image_free(rgb);
    return hDib;
}

}  // namespace pixkit

using namespace pixkit;

namespace {

HGLOBAL DecodeAny(const BYTE *data, size_t size) {
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        return DecodeBmp(data, size);
    if (size >= 6 && gifcodec::IsGifSignature(data))
        return DecodeGif(data, size);
    return DecodeWithStb(data, size);
}

}  // namespace

PIXKIT_API HGLOBAL WINAPI PxOpenFile(LPCSTR lpszFile, int nReserved1, int nReserved2) {
    (void)nReserved1;
    (void)nReserved2;
    if (!lpszFile)
        return 0;
    size_t size = 0;
    BYTE *data = ReadWholeFile(lpszFile, &size);
    if (!data)
        return 0;
    HGLOBAL h = DecodeAny(data, size);
    free(data);
    return h;
}

PIXKIT_API HGLOBAL WINAPI PxOpenFileReduced(LPCSTR lpszFile, int nMinWidth, int nMinHeight) {
    if (!lpszFile)
        return 0;
    size_t size = 0;
    BYTE *data = ReadWholeFile(lpszFile, &size);
    if (!data)
        return 0;
    // Damage the reduction meets is left to the full decoder, which has the last word.
    HGLOBAL h = 0;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8)
        h = DecodeJpegReduced(data, size, nMinWidth, nMinHeight);
    if (!h)
        h = DecodeAny(data, size);
    free(data);
    return h;
}

PIXKIT_API HGLOBAL WINAPI PxLoadBmpFileThumbnail(LPCSTR lpszFile, int nReserved1, int nReserved2) {
    (void)nReserved1;
    (void)nReserved2;
    if (!lpszFile)
        return 0;
    size_t size = 0;
    BYTE *data = ReadWholeFile(lpszFile, &size);
    if (!data)
        return 0;
    HGLOBAL h = DecodeBmp(data, size);
    free(data);
    return h;
}
