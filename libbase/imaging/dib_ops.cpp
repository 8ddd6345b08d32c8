/*
 * The library's own bitmap operations on DIB blocks: blank bitmaps, palette sizes, cropping,
 * placing on a canvas, trimming and nearest-neighbour resizing.
 *
 * Every source block is checked before its bytes are touched (DibView): a 40-byte header, a
 * supported depth, positive sizes and a block large enough for header, palette and rows.
 * Nothing is read or written outside the blocks.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "basemem.h"
#include "dib.h"
#include "dib_private.h"

namespace dibutil {

bool DibView::Open(HGLOBAL h) {
    Close();
    if (!h)
        return false;
    SIZE_T size = BaseMemSize(h);
    if (size < sizeof(BITMAPINFOHEADER))
        return false;
    BYTE *p = static_cast<BYTE *>(BaseMemLock(h));
    if (!p)
        return false;
    handle = h;
    base = p;
    bih = reinterpret_cast<BITMAPINFOHEADER *>(p);
    int bits = bih->biBitCount;
    bool okDepth = bits == 1 || bits == 4 || bits == 8 || bits == 24;
    if (bih->biSize != sizeof(BITMAPINFOHEADER) || !okDepth || bih->biWidth <= 0 || bih->biHeight <= 0 ||
        bih->biClrUsed > 256 || bih->biWidth > 0x7FFFFF || bih->biHeight > 0x7FFFFF) {
        Close();
        return false;
    }
    width = bih->biWidth;
    height = bih->biHeight;
    this->bits = bits;
    stride = DibStride(width, bits);
    rowBytes = DibRowBytes(width, bits);
    headBytes = sizeof(BITMAPINFOHEADER) + 4 * size_t(bih->biClrUsed);
    if (stride != 0 && size_t(height) > (SIZE_MAX - headBytes) / stride) {
        Close();
        return false;
    }
    if (headBytes + stride * size_t(height) > size) {
        Close();
        return false;
    }
    pixels = base + headBytes;
    return true;
}

void DibView::Close() {
    if (handle)
        BaseMemUnlock(handle);
    handle = 0;
    base = nullptr;
    bih = nullptr;
    pixels = nullptr;
}

HGLOBAL NewBlock(const BITMAPINFOHEADER *src, size_t headBytes, int width, int height, int bits, bool zero,
                 BYTE **ppBase) {
    *ppBase = nullptr;
    if (width <= 0 || height <= 0 || headBytes < sizeof(BITMAPINFOHEADER))
        return 0;
    size_t stride = DibStride(width, bits);
    if (stride > kMaxPixelBytes / size_t(height))
        return 0;
    size_t total = headBytes + stride * size_t(height);
    HGLOBAL h = BaseMemAlloc(GMEM_MOVEABLE | (zero ? GMEM_ZEROINIT : 0), DWORD(total));
    if (!h)
        return 0;
    BYTE *p = static_cast<BYTE *>(BaseMemLock(h));
    if (!p) {
        BaseMemFree(h);
        return 0;
    }
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(p);
    if (src) {
        memcpy(p, src, headBytes);
    } else {
        memset(p, 0, headBytes);
        bih->biSize = sizeof(BITMAPINFOHEADER);
        bih->biPlanes = 1;
        bih->biCompression = BI_RGB;
        bih->biClrUsed = DWORD((headBytes - sizeof(BITMAPINFOHEADER)) / 4);
    }
    bih->biBitCount = WORD(bits);
    bih->biWidth = width;
    bih->biHeight = height;
    bih->biSizeImage = DWORD(stride * size_t(height));
    *ppBase = p;
    return h;
}

void Release(HGLOBAL h, bool unlock) {
    if (!h)
        return;
    if (unlock)
        BaseMemUnlock(h);
    BaseMemFree(h);
}

}  // namespace dibutil

using namespace dibutil;

HGLOBAL NewDib(BITMAPINFOHEADER bih, DWORD dwFill) {
    int width = bih.biWidth, height = bih.biHeight;
    if (width <= 0 || height <= 0)
        return 0;
    bool trueColour = bih.biBitCount == 24;
    int bits = trueColour ? 24 : 8;
    size_t headBytes = sizeof(BITMAPINFOHEADER) + (trueColour ? 0 : 1024);
    BYTE *base;
    HGLOBAL h = NewBlock(nullptr, headBytes, width, height, bits, true, &base);
    if (h) {
        BITMAPINFOHEADER *head = reinterpret_cast<BITMAPINFOHEADER *>(base);
        head->biXPelsPerMeter = bih.biXPelsPerMeter;
        head->biYPelsPerMeter = bih.biYPelsPerMeter;
    }
    if (!h)
        return 0;
    size_t stride = DibStride(width, bits);
    BYTE *px = base + headBytes;
    if (trueColour) {
        BYTE b0 = BYTE(dwFill), b1 = BYTE(dwFill >> 8), b2 = BYTE(dwFill >> 16);
        for (int y = 0; y < height; ++y) {
            BYTE *row = px + size_t(y) * stride;
            for (int x = 0; x < width; ++x) {
                row[3 * x] = b0;
                row[3 * x + 1] = b1;
                row[3 * x + 2] = b2;
            }
        }
    } else {
        RGBQUAD *pal = reinterpret_cast<RGBQUAD *>(base + sizeof(BITMAPINFOHEADER));
        for (int i = 0; i < 256; ++i) {
            pal[i].rgbBlue = pal[i].rgbGreen = pal[i].rgbRed = BYTE(i);
            pal[i].rgbReserved = 0;
        }
        BYTE v = BYTE(dwFill >> 16);
        for (int y = 0; y < height; ++y)
            memset(px + size_t(y) * stride, v, size_t(width));
    }
    BaseMemUnlock(h);
    return h;
}

WORD DibNumColors(const void *lpbi) {
    if (!lpbi)
        return 0;
    const BITMAPINFOHEADER *bih = static_cast<const BITMAPINFOHEADER *>(lpbi);
    int bits;
    if (bih->biSize == sizeof(BITMAPINFOHEADER)) {
        if (bih->biClrUsed != 0 && bih->biBitCount <= 8)
            return WORD(bih->biClrUsed);
        bits = bih->biBitCount;
    } else {
        // BITMAPCOREHEADER: bcSize:u32 bcWidth:u16 bcHeight:u16 bcPlanes:u16 bcBitCount:u16
        const BYTE *p = static_cast<const BYTE *>(lpbi);
        bits = p[10] | (p[11] << 8);
    }
    switch (bits) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

WORD DibPaletteSize(const void *lpbi) {
    if (!lpbi)
        return 0;
    const BITMAPINFOHEADER *bih = static_cast<const BITMAPINFOHEADER *>(lpbi);
    return WORD(DibNumColors(lpbi) * (bih->biSize == sizeof(BITMAPINFOHEADER) ? 4 : 3));
}

namespace {

inline int GetNibble(const BYTE *row, size_t i) { return (i & 1) ? (row[i >> 1] & 0x0F) : (row[i >> 1] >> 4); }
inline void SetNibble(BYTE *row, size_t i, int v) {
    BYTE &b = row[i >> 1];
    if (i & 1)
        b = BYTE((b & 0xF0) | (v & 0x0F));
    else
        b = BYTE((b & 0x0F) | ((v & 0x0F) << 4));
}
inline int GetBit(const BYTE *row, size_t i) { return (row[i >> 3] >> (7 - (i & 7))) & 1; }

bool IsPaletteDepth(int bits) { return bits == 1 || bits == 4 || bits == 8; }

}  // namespace

HGLOBAL CropDib(HGLOBAL hDib, int x, int y, int nWidth, int nHeight) {
    if (nWidth <= 0 || nHeight <= 0)
        return 0;
    DibView src;
    if (!src.Open(hDib))
        return 0;
    BYTE *base;
    HGLOBAL h = NewBlock(src.bih, src.headBytes, nWidth, nHeight, src.bits, false, &base);
    if (!h)
        return 0;
    size_t dstStride = DibStride(nWidth, src.bits);
    size_t dstRowBytes = DibRowBytes(nWidth, src.bits);
    size_t skip = x > 0 ? (size_t(x) * size_t(src.bits) + 7) / 8 : 0;
    BYTE *dst = base + src.headBytes;
    // Stored row i of the result is stored row i + (H - h - y) of the source.
    long long shift = (long long)src.height - nHeight - y;
    for (int i = 0; i < nHeight; ++i) {
        BYTE *drow = dst + size_t(i) * dstStride;
        memset(drow, 0, dstStride);
        long long s = i + shift;
        if (s < 0 || s >= src.height)
            continue;
        const BYTE *srow = src.pixels + size_t(s) * src.stride;
        if (x > 0 && (size_t(x) * size_t(src.bits)) % 8 != 0) {
            // A start inside a byte (1- and 4-bit pixels): pixel by pixel, so that the part
            // keeps its exact left edge; pixels past the source's width are 0.
            for (int j = 0; j < nWidth; ++j) {
                long long sx = (long long)x + j;
                int v = 0;
                if (sx < src.width)
                    v = src.bits == 4 ? GetNibble(srow, size_t(sx)) : GetBit(srow, size_t(sx));
                if (src.bits == 4)
                    SetNibble(drow, size_t(j), BYTE(v));
                else if (v)
                    drow[j >> 3] |= BYTE(0x80 >> (j & 7));
            }
        } else if (skip < src.stride) {
            size_t n = src.stride - skip;
            if (n > dstRowBytes)
                n = dstRowBytes;
            memcpy(drow, srow + skip, n);
        }
    }
    BaseMemUnlock(h);
    return h;
}


HGLOBAL PlaceDibOnCanvas(HGLOBAL hDib, int x, int y, int nCanvasWidth, int nCanvasHeight, int nFill) {
    if (nCanvasWidth <= 0 || nCanvasHeight <= 0 || x < 0 || y < 0)
        return 0;
    DibView src;
    if (!src.Open(hDib) || !IsPaletteDepth(src.bits))
        return 0;
    if (src.width >= nCanvasWidth && src.height >= nCanvasHeight)
        return 0;
    if ((long long)x + src.width > nCanvasWidth || (long long)y + src.height > nCanvasHeight)
        return 0;
    BYTE *base;
    HGLOBAL h = NewBlock(src.bih, src.headBytes, nCanvasWidth, nCanvasHeight, src.bits, true, &base);
    if (!h)
        return 0;
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(base);
    bih->biXPelsPerMeter = 0;
    bih->biYPelsPerMeter = 0;
    size_t stride = DibStride(nCanvasWidth, src.bits);
    BYTE *px = base + src.headBytes;
    BYTE fill;
    if (src.bits == 8)
        fill = BYTE(nFill);
    else if (src.bits == 4)
        fill = BYTE((nFill & 0x0F) * 0x11);
    else
        fill = (nFill & 1) ? 0xFF : 0x00;
    memset(px, fill, stride * size_t(nCanvasHeight));
    for (int r = 0; r < src.height; ++r) {
        const BYTE *srow = src.pixels + size_t(src.height - 1 - r) * src.stride;
        BYTE *drow = px + size_t(nCanvasHeight - 1 - (y + r)) * stride;
        if (src.bits == 8) {
            memcpy(drow + x, srow, size_t(src.width));
        } else if (src.bits == 4) {
            for (int i = 0; i < src.width; ++i)
                SetNibble(drow, size_t(x + i), GetNibble(srow, size_t(i)));
        } else if (x % 8 == 0 && src.width % 8 == 0) {
            memcpy(drow + x / 8, srow, size_t(src.width) / 8);
        } else {
            // Bit by bit: the frame keeps its exact position, and the canvas its fill
            // around it (whole bytes would move it to a byte boundary).
            for (int i = 0; i < src.width; ++i) {
                size_t d = size_t(x + i);
                BYTE mask = BYTE(0x80 >> (d & 7));
                if ((srow[i >> 3] >> (7 - (i & 7))) & 1)
                    drow[d >> 3] |= mask;
                else
                    drow[d >> 3] &= BYTE(~mask);
            }
        }
    }
    BaseMemUnlock(h);
    return h;
}

HGLOBAL TrimDib(HGLOBAL hDib, int *pLeft, int *pTop, int *pRight, int *pBottom, int nBackground) {
    if (!pLeft || !pTop || !pRight || !pBottom)
        return 0;
    DibView src;
    if (!src.Open(hDib) || !IsPaletteDepth(src.bits))
        return 0;
    BYTE bg;
    int perByte;
    if (src.bits == 8) {
        bg = BYTE(nBackground);
        perByte = 1;
    } else if (src.bits == 4) {
        bg = BYTE((nBackground & 0x0F) * 0x11);
        perByte = 2;
    } else {
        bg = nBackground ? 0xFF : 0x00;
        perByte = 8;
    }
    const size_t n = src.rowBytes;
    auto rowHasInk = [&](int stored) {
        const BYTE *row = src.pixels + size_t(stored) * src.stride;
        // Only the first n - 1 bytes of a row decide whether it holds foreground.
        for (size_t j = 0; j + 1 < n; ++j)
            if (row[j] != bg)
                return true;
        return false;
    };
    auto columnHasInk = [&](size_t c) {
        for (int s = 0; s < src.height; ++s)
            if (src.pixels[size_t(s) * src.stride + c] != bg)
                return true;
        return false;
    };
    for (int s = 0; s < src.height; ++s) {
        if (rowHasInk(s)) {
            *pBottom = src.height - s;
            break;
        }
    }
    for (int s = src.height - 1; s >= 0; --s) {
        if (rowHasInk(s)) {
            *pTop = src.height - 1 - s;
            break;
        }
    }
    for (size_t c = 0; c < n; ++c) {
        if (columnHasInk(c)) {
            *pLeft = int(c) * perByte;
            break;
        }
    }
    int last = src.width / perByte - 1;
    for (int c = last, step = 0; c >= 0; --c, ++step) {
        if (columnHasInk(size_t(c))) {
            *pRight = src.width - step * perByte;
            break;
        }
    }
    int left = *pLeft, top = *pTop, right = *pRight, bottom = *pBottom;
    src.Close();
    return CropDib(hDib, left, top, right - left, bottom - top);
}

HGLOBAL ResizeDibNearest(HGLOBAL hDib, int nWidth, int nHeight, int nFill) {
    if (nWidth <= 0 || nHeight <= 0)
        return 0;
    DibView src;
    if (!src.Open(hDib) || !IsPaletteDepth(src.bits))
        return 0;
    BYTE *base;
    HGLOBAL h = NewBlock(src.bih, src.headBytes, nWidth, nHeight, src.bits, true, &base);
    if (!h)
        return 0;
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(base);
    bih->biXPelsPerMeter = 0;
    bih->biYPelsPerMeter = 0;
    const int bits = src.bits;
    const size_t stride = DibStride(nWidth, bits);
    const size_t rowBytes = DibRowBytes(nWidth, bits);
    BYTE *px = base + src.headBytes;

    // Column and row maps: an accumulator of source/target steps, rounded half up.
    int *cols = static_cast<int *>(malloc(sizeof(int) * size_t(nWidth)));
    if (!cols) {
        Release(h, true);
        return 0;
    }
    double step = double(src.width) / nWidth, acc = 0;
    for (int i = 0; i < nWidth; ++i, acc += step) {
        int c = int(acc + 0.5);
        cols[i] = c < src.width - 1 ? c : src.width - 1;
    }
    BYTE fill;
    if (bits == 8)
        fill = BYTE(nFill);
    else if (bits == 4)
        fill = BYTE((nFill & 0x0F) * 0x11);
    else
        fill = nFill ? 0xFF : 0x00;

    double rstep = double(src.height) / nHeight, racc = 0;
    for (int r = 0; r < nHeight; ++r, racc += rstep) {
        int sr = int(racc + 0.5);
        if (sr > src.height - 1)
            sr = src.height - 1;
        const BYTE *srow = src.pixels + size_t(sr) * src.stride;
        BYTE *drow = px + size_t(r) * stride;
        if (bits == 8) {
            for (int i = 0; i < nWidth; ++i)
                drow[i] = srow[cols[i]];
        } else if (bits == 4) {
            for (int i = 0; i < nWidth; ++i)
                SetNibble(drow, size_t(i), GetNibble(srow, size_t(cols[i])));
        } else {
            for (int i = 0; i < nWidth; ++i)
                if (GetBit(srow, size_t(cols[i])))
                    drow[i >> 3] = BYTE(drow[i >> 3] | (0x80 >> (i & 7)));
        }
        memset(drow + rowBytes, fill, stride - rowBytes);
    }
    free(cols);
    BaseMemUnlock(h);
    return h;
}
