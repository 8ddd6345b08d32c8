/*
 * PixKit: picture files into DIB blocks.  BMP is read here (1, 4, 8, 24 and 32 bits, either
 * row order), GIF with the codec core's LZW decoder (first frame), JPEG and PNG through
 * stb_image as true colour; each file's declared size first weighed against its data
 * (pixkit_budget.cpp).
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fileio.h"
#include "gifcodec.h"
#include "pixkit.h"
#include "pixkit_dib.h"


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

/* A picture file decoded; a JPEG at a reduction keeping at least minW x minH when `reduce`. */
HGLOBAL OpenPictureFile(LPCSTR lpszFile, bool reduce, int minW, int minH) {
    if (!lpszFile)
        return 0;
    size_t size = 0;
    BYTE *data = ReadWholeFile(lpszFile, &size);
    if (!data)
        return 0;
    if (!SizeBacked(data, size)) {
        free(data);
        SetLastError(PX_ERROR_UNBACKED_SIZE);
        return 0;
    }
    // Damage the reduction meets is left to the full decoder, which has the last word.
    HGLOBAL h = 0;
    if (reduce && size >= 2 && data[0] == 0xFF && data[1] == 0xD8)
        h = DecodeJpegReduced(data, size, minW, minH);
    if (!h)
        h = DecodeAny(data, size);
    free(data);
    return h;
}

}  // namespace

PIXKIT_API HGLOBAL WINAPI PxOpenFile(LPCSTR lpszFile, int nReserved1, int nReserved2) {
    (void)nReserved1;
    (void)nReserved2;
    return OpenPictureFile(lpszFile, false, 0, 0);
}

PIXKIT_API HGLOBAL WINAPI PxOpenFileReduced(LPCSTR lpszFile, int nMinWidth, int nMinHeight) {
    return OpenPictureFile(lpszFile, true, nMinWidth, nMinHeight);
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
