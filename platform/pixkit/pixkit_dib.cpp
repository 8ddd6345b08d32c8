/*
 * PixKit: bitmap queries, conversions, blank bitmaps, resampling and cropping on DIB blocks.
 *
 * Results are bottom-up DIBs; 8-bit blank bitmaps carry the grey palette (i, i, i).  Filtered
 * resampling works in true colour (palette indices cannot be blended) through stb's resizer.
 */
#include <stdlib.h>
#include <string.h>

#include "pixkit.h"
#include "pixkit_dib.h"

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb_image_resize.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace pixkit {

HGLOBAL BlockAlloc(size_t bytes, bool zero) {
    if (bytes == 0 || bytes > 0x7FFFFFFF)
        return 0;
    UINT flags = GMEM_MOVEABLE | (zero ? GMEM_ZEROINIT : 0);
    return PxIsHugeVersion() ? ZelMemAlloc(flags, bytes) : GlobalAlloc(flags, bytes);
}

void *BlockLock(HGLOBAL h) { return PxIsHugeVersion() ? ZelMemLock(h) : GlobalLock(h); }

void BlockUnlock(HGLOBAL h) {
    if (PxIsHugeVersion())
        ZelMemUnlock(h);
    else
        GlobalUnlock(h);
}

void BlockFree(HGLOBAL h) {
    if (!h)
        return;
    if (PxIsHugeVersion())
        ZelMemFree(h);
    else
        GlobalFree(h);
}

size_t BlockSize(HGLOBAL h) { return PxIsHugeVersion() ? ZelMemSize(h) : GlobalSize(h); }

bool View::Open(HGLOBAL h) {
    Close();
    if (!h)
        return false;
    size_t size = BlockSize(h);
    if (size < sizeof(BITMAPINFOHEADER))
        return false;
    const BYTE *p = static_cast<const BYTE *>(BlockLock(h));
    if (!p)
        return false;
    handle = h;
    base = p;
    bih = reinterpret_cast<const BITMAPINFOHEADER *>(p);
    bits = bih->biBitCount;
    width = bih->biWidth;
    height = bih->biHeight;
    topDown = height < 0;
    if (topDown)
        height = height == INT32_MIN ? 0 : -height;
    bool depthOk = bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
    if (bih->biSize != sizeof(BITMAPINFOHEADER) || !depthOk || bih->biCompression != BI_RGB || width <= 0 ||
        height <= 0 || width > 0x7FFFFF || height > 0x7FFFFF || bih->biClrUsed > 256) {
        Close();
        return false;
    }
    colours = bits <= 8 ? (bih->biClrUsed ? int(bih->biClrUsed) : 1 << bits) : int(bih->biClrUsed);
    headBytes = sizeof(BITMAPINFOHEADER) + 4 * size_t(colours);
    stride = Stride(width, bits);
    if (headBytes > size || size_t(height) > (size - headBytes) / stride) {
        Close();
        return false;
    }
    palette = reinterpret_cast<const RGBQUAD *>(p + sizeof(BITMAPINFOHEADER));
    pixels = p + headBytes;
    return true;
}

void View::Close() {
    if (handle)
        BlockUnlock(handle);
    handle = 0;
    base = nullptr;
    bih = nullptr;
    pixels = nullptr;
}

void View::Pixel(const BYTE *row, int x, BYTE *bgr) const {
    int index;
    switch (bits) {
    case 24:
        memcpy(bgr, row + 3 * x, 3);
        return;
    case 32:
        memcpy(bgr, row + 4 * x, 3);
        return;
    case 8:
        index = row[x];
        break;
    case 4:
        index = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        break;
    default:
        index = (row[x >> 3] >> (7 - (x & 7))) & 1;
        break;
    }
    if (index < colours) {
        bgr[0] = palette[index].rgbBlue;
        bgr[1] = palette[index].rgbGreen;
        bgr[2] = palette[index].rgbRed;
    } else {
        bgr[0] = bgr[1] = bgr[2] = 0;
    }
}

HGLOBAL NewDibBlock(int width, int height, int bits, int colours, BYTE **ppBase) {
    *ppBase = nullptr;
    if (width <= 0 || height <= 0 || colours < 0 || colours > 256)
        return 0;
    size_t stride = Stride(width, bits);
    if (stride > kMaxPixelBytes / size_t(height))
        return 0;
    size_t head = sizeof(BITMAPINFOHEADER) + 4 * size_t(colours);
    HGLOBAL h = BlockAlloc(head + stride * size_t(height), true);
    if (!h)
        return 0;
    BYTE *p = static_cast<BYTE *>(BlockLock(h));
    if (!p) {
        BlockFree(h);
        return 0;
    }
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(p);
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = width;
    bih->biHeight = height;
    bih->biPlanes = 1;
    bih->biBitCount = WORD(bits);
    bih->biCompression = BI_RGB;
    bih->biSizeImage = DWORD(stride * size_t(height));
    bih->biClrUsed = DWORD(colours);
    *ppBase = p;
    return h;
}

HGLOBAL ToTrueColour(HGLOBAL hDib) {
    View src;
    if (!src.Open(hDib))
        return 0;
    BYTE *base;
    HGLOBAL h = NewDibBlock(src.width, src.height, 24, 0, &base);
    if (!h)
        return 0;
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(base);
    bih->biXPelsPerMeter = src.bih->biXPelsPerMeter;
    bih->biYPelsPerMeter = src.bih->biYPelsPerMeter;
    size_t stride = Stride(src.width, 24);
    BYTE *px = base + sizeof(BITMAPINFOHEADER);
    for (int y = 0; y < src.height; ++y) {
        const BYTE *srow = src.Row(y);
        BYTE *drow = px + size_t(src.height - 1 - y) * stride;
        for (int x = 0; x < src.width; ++x)
            src.Pixel(srow, x, drow + 3 * x);
    }
    BlockUnlock(h);
    return h;
}

}  // namespace pixkit

using namespace pixkit;

PIXKIT_API BOOL WINAPI PxDibGetSize(HGLOBAL hDib, int *pWidth, int *pHeight) {
    View v;
    if (!v.Open(hDib))
        return FALSE;
    if (pWidth)
        *pWidth = v.width;
    if (pHeight)
        *pHeight = v.height;
    return TRUE;
}

PIXKIT_API int WINAPI PxDibGetType(HGLOBAL hDib) {
    View v;
    if (!v.Open(hDib))
        return 0;
    switch (v.bits) {
    case 1:
        return PX_TYPE_1BIT;
    case 4:
        return PX_TYPE_4BIT;
    case 8: {
        bool grey = v.colours == 256;
        for (int i = 0; grey && i < 256; ++i)
            grey = v.palette[i].rgbRed == i && v.palette[i].rgbGreen == i && v.palette[i].rgbBlue == i;
        return grey ? PX_TYPE_8BIT_GREY : PX_TYPE_8BIT;
    }
    default:
        return PX_TYPE_TRUECOLOR;
    }
}

namespace {

HGLOBAL ConvertDepth(HGLOBAL hDib, int bits) {
    {
        View v;
        if (!v.Open(hDib) || v.bits != bits)
            return 0;
    }
    return ToTrueColour(hDib);
}

}  // namespace

PIXKIT_API HGLOBAL WINAPI PxDibConvert1BitToTrueColor(HGLOBAL hDib) { return ConvertDepth(hDib, 1); }
PIXKIT_API HGLOBAL WINAPI PxDibConvert4BitToTrueColor(HGLOBAL hDib) { return ConvertDepth(hDib, 4); }
PIXKIT_API HGLOBAL WINAPI PxDibConvert8BitToTrueColor(HGLOBAL hDib) { return ConvertDepth(hDib, 8); }

PIXKIT_API HGLOBAL WINAPI PxDibDuplicate(HGLOBAL hDib) {
    View v;
    if (!v.Open(hDib))
        return 0;
    size_t bytes = v.headBytes + v.stride * size_t(v.height);
    HGLOBAL h = BlockAlloc(bytes, false);
    BYTE *p = h ? static_cast<BYTE *>(BlockLock(h)) : nullptr;
    if (!p) {
        BlockFree(h);
        return 0;
    }
    memcpy(p, v.base, bytes);
    BlockUnlock(h);
    return h;
}

PIXKIT_API HGLOBAL WINAPI PxDibNew(int nWidth, int nHeight, int nBitCount, int nResolution, DWORD dwFillRGB) {
    if (nBitCount != 8 && nBitCount != 24)
        return 0;
    BYTE *base;
    HGLOBAL h = NewDibBlock(nWidth, nHeight, nBitCount, nBitCount == 8 ? 256 : 0, &base);
    if (!h)
        return 0;
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(base);
    // Dots per inch to pixels per metre.
    LONG ppm = nResolution > 0 ? LONG(nResolution * 10000.0 / 254.0 + 0.5) : 0;
    bih->biXPelsPerMeter = ppm;
    bih->biYPelsPerMeter = ppm;
    BYTE r = BYTE(dwFillRGB >> 16), g = BYTE(dwFillRGB >> 8), b = BYTE(dwFillRGB);
    size_t stride = Stride(nWidth, nBitCount);
    if (nBitCount == 8) {
        RGBQUAD *pal = reinterpret_cast<RGBQUAD *>(base + sizeof(BITMAPINFOHEADER));
        for (int i = 0; i < 256; ++i) {
            pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = BYTE(i);
            pal[i].rgbReserved = 0;
        }
        // The grey entry nearest the fill colour's luminance (Rec. 601 weights).
        BYTE index = BYTE((r * 299 + g * 587 + b * 114 + 500) / 1000);
        memset(base + sizeof(BITMAPINFOHEADER) + 1024, index, stride * size_t(nHeight));
    } else {
        BYTE *px = base + sizeof(BITMAPINFOHEADER);
        for (int y = 0; y < nHeight; ++y) {
            BYTE *row = px + size_t(y) * stride;
            for (int x = 0; x < nWidth; ++x) {
                row[3 * x] = b;
                row[3 * x + 1] = g;
                row[3 * x + 2] = r;
            }
        }
    }
    BlockUnlock(h);
    return h;
}

PIXKIT_API HGLOBAL WINAPI PxDibResample(HGLOBAL hDib, int nWidth, int nHeight) {
    if (nWidth <= 0 || nHeight <= 0)
        return 0;
    View v;
    if (!v.Open(hDib))
        return 0;
    bool palette = v.bits <= 8;
    int bits = palette ? 8 : 24;
    BYTE *base;
    HGLOBAL h = NewDibBlock(nWidth, nHeight, bits, palette ? v.colours : 0, &base);
    if (!h)
        return 0;
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(base);
    bih->biXPelsPerMeter = v.bih->biXPelsPerMeter;
    bih->biYPelsPerMeter = v.bih->biYPelsPerMeter;
    size_t head = sizeof(BITMAPINFOHEADER) + 4 * size_t(palette ? v.colours : 0);
    if (palette)
        memcpy(base + sizeof(BITMAPINFOHEADER), v.palette, 4 * size_t(v.colours));
    BYTE *px = base + head;
    size_t stride = Stride(nWidth, bits);
    for (int y = 0; y < nHeight; ++y) {
        BYTE *drow = px + size_t(nHeight - 1 - y) * stride;
        if (palette) {
            // Nearest neighbour: indices cannot be blended.
            const BYTE *srow = v.Row(int((long long)y * v.height / nHeight));
            for (int x = 0; x < nWidth; ++x) {
                int sx = int((long long)x * v.width / nWidth);
                int index;
                if (v.bits == 8)
                    index = srow[sx];
                else if (v.bits == 4)
                    index = (sx & 1) ? (srow[sx >> 1] & 0x0F) : (srow[sx >> 1] >> 4);
                else
                    index = (srow[sx >> 3] >> (7 - (sx & 7))) & 1;
                drow[x] = BYTE(index);
            }
            continue;
        }
        // Bilinear over pixel centres.
        double fy = (y + 0.5) * v.height / nHeight - 0.5;
        if (fy < 0)
            fy = 0;
        int y0 = int(fy), y1 = y0 + 1 < v.height ? y0 + 1 : y0;
        double wy = fy - y0;
        const BYTE *r0 = v.Row(y0), *r1 = v.Row(y1);
        for (int x = 0; x < nWidth; ++x) {
            double fx = (x + 0.5) * v.width / nWidth - 0.5;
            if (fx < 0)
                fx = 0;
            int x0 = int(fx), x1 = x0 + 1 < v.width ? x0 + 1 : x0;
            double wx = fx - x0;
            BYTE a[3], b[3], c[3], d[3];
            v.Pixel(r0, x0, a);
            v.Pixel(r0, x1, b);
            v.Pixel(r1, x0, c);
            v.Pixel(r1, x1, d);
            for (int k = 0; k < 3; ++k) {
                double top = a[k] + (b[k] - a[k]) * wx, bottom = c[k] + (d[k] - c[k]) * wx;
                drow[3 * x + k] = BYTE(top + (bottom - top) * wy + 0.5);
            }
        }
    }
    BlockUnlock(h);
    return h;
}

PIXKIT_API HGLOBAL WINAPI PxDibResampleHQ(HGLOBAL hDib, int nWidth, int nHeight) {
    if (nWidth <= 0 || nHeight <= 0)
        return 0;
    HGLOBAL hTrue = ToTrueColour(hDib);
    if (!hTrue)
        return 0;
    HGLOBAL h = 0;
    {
        View v;
        BYTE *base = nullptr;
        if (v.Open(hTrue))
            h = NewDibBlock(nWidth, nHeight, 24, 0, &base);
        if (h) {
            BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(base);
            bih->biXPelsPerMeter = v.bih->biXPelsPerMeter;
            bih->biYPelsPerMeter = v.bih->biYPelsPerMeter;
            // Both bitmaps are bottom-up, so the rows map straight across.
            int ok = stbir_resize_uint8(v.pixels, v.width, v.height, int(v.stride), base + sizeof(BITMAPINFOHEADER),
                                        nWidth, nHeight, int(Stride(nWidth, 24)), 3);
            BlockUnlock(h);
            if (!ok) {
                BlockFree(h);
                h = 0;
            }
        }
    }
    BlockFree(hTrue);
    return h;
}

PIXKIT_API HGLOBAL WINAPI PxDibCrop(HGLOBAL hDib, int x, int y, int nWidth, int nHeight) {
    if (nWidth <= 0 || nHeight <= 0)
        return 0;
    View v;
    if (!v.Open(hDib))
        return 0;
    // Keep the part of the rectangle that lies on the bitmap.
    long long x0 = x < 0 ? 0 : x, y0 = y < 0 ? 0 : y;
    long long x1 = (long long)x + nWidth, y1 = (long long)y + nHeight;
    if (x1 > v.width)
        x1 = v.width;
    if (y1 > v.height)
        y1 = v.height;
    if (x1 <= x0 || y1 <= y0)
        return 0;
    int w = int(x1 - x0), hgt = int(y1 - y0);
    bool palette = v.bits <= 8;
    BYTE *base;
    HGLOBAL h = NewDibBlock(w, hgt, v.bits, palette ? v.colours : 0, &base);
    if (!h)
        return 0;
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(base);
    bih->biXPelsPerMeter = v.bih->biXPelsPerMeter;
    bih->biYPelsPerMeter = v.bih->biYPelsPerMeter;
    size_t head = sizeof(BITMAPINFOHEADER) + 4 * size_t(palette ? v.colours : 0);
    if (palette)
        memcpy(base + sizeof(BITMAPINFOHEADER), v.palette, 4 * size_t(v.colours));
    size_t stride = Stride(w, v.bits);
    for (int r = 0; r < hgt; ++r) {
        const BYTE *srow = v.Row(int(y0) + r);
        BYTE *drow = base + head + size_t(hgt - 1 - r) * stride;
        if (v.bits >= 8) {
            size_t bpp = size_t(v.bits / 8);
            memcpy(drow, srow + size_t(x0) * bpp, size_t(w) * bpp);
            continue;
        }
        for (int i = 0; i < w; ++i) {
            int sx = int(x0) + i;
            if (v.bits == 4) {
                int val = (sx & 1) ? (srow[sx >> 1] & 0x0F) : (srow[sx >> 1] >> 4);
                drow[i >> 1] = BYTE(drow[i >> 1] | ((i & 1) ? val : val << 4));
            } else if ((srow[sx >> 3] >> (7 - (sx & 7))) & 1) {
                drow[i >> 3] = BYTE(drow[i >> 3] | (0x80 >> (i & 7)));
            }
        }
    }
    BlockUnlock(h);
    return h;
}
