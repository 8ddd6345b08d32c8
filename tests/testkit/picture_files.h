/*
 * Pictures made for the tests and the benchmarks: blank DIB blocks to fill, photo-like 24-bit
 * bitmaps and their JPEG files.  Header-only (the benchmarks include it too).
 */
#pragma once
#include <windows.h>

#include <string.h>

#include <vector>

#include "basemem.h"
#include "pixkit.h"

namespace testkit {

inline size_t DibStride(int w, int bits) { return ((size_t(w) * bits + 7) / 8 + 3) & ~size_t(3); }

/* The header of an uncompressed w x h bitmap at `bits` (bottom-up for h > 0). */
inline BITMAPINFOHEADER InfoHeader(int w, int h, int bits)
{
    BITMAPINFOHEADER bih;
    memset(&bih, 0, sizeof bih);
    bih.biSize = sizeof bih;
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = WORD(bits);
    bih.biCompression = BI_RGB;
    return bih;
}

/* A new zeroed DIB block of w x h at `bits` with `colours` palette entries, its header filled
 * in; *base is the locked block (the caller unlocks it). */
inline HGLOBAL DibBlock(int w, int h, int bits, int colours, BYTE **base)
{
    size_t stride = DibStride(w, bits);
    HGLOBAL hDib = BaseMemAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, DWORD(40 + 4 * size_t(colours) + stride * size_t(h)));
    BYTE *p = static_cast<BYTE *>(BaseMemLock(hDib));
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(p);
    *bih = InfoHeader(w, h, bits);
    bih->biSizeImage = DWORD(stride * size_t(h));
    bih->biClrUsed = DWORD(colours);
    *base = p;
    return hDib;
}

/* A locked view of a DIB block (unlocked when the view goes, and freed too when `owned`): the
 * header, rows from the top and palette indices. */
struct DibView {
    HGLOBAL h;
    const BYTE *p;
    bool owned;
    explicit DibView(HGLOBAL hDib, bool own = false)
        : h(hDib), p(static_cast<const BYTE *>(hDib ? BaseMemLock(hDib) : nullptr)), owned(own) {}
    ~DibView()
    {
        if (p)
            BaseMemUnlock(h);
        if (owned && h)
            BaseMemFree(h);
    }
    DibView(const DibView &) = delete;
    DibView &operator=(const DibView &) = delete;
    const BITMAPINFOHEADER *bih() const { return reinterpret_cast<const BITMAPINFOHEADER *>(p); }
    size_t stride() const { return DibStride(bih()->biWidth, bih()->biBitCount); }
    const BYTE *row(int y) const { return p + 40 + 4 * bih()->biClrUsed + size_t(bih()->biHeight - 1 - y) * stride(); }
    int pixel(int x, int y) const  // a palette index (1, 4 or 8 bits)
    {
        const BYTE *r = row(y);
        switch (bih()->biBitCount) {
        case 8:
            return r[x];
        case 4:
            return (x & 1) ? (r[x >> 1] & 15) : (r[x >> 1] >> 4);
        default:
            return (r[x >> 3] >> (7 - (x & 7))) & 1;
        }
    }
};

/* A photo-like 24-bit bitmap: smooth gradients with a deterministic grain. */
inline HGLOBAL PhotoDib(int w, int h, unsigned seed)
{
    BYTE *p;
    HGLOBAL hDib = DibBlock(w, h, 24, 0, &p);
    const size_t stride = DibStride(w, 24);
    unsigned r = seed;
    for (int y = 0; y < h; ++y) {
        BYTE *row = p + 40 + stride * size_t(y);
        for (int x = 0; x < w; ++x) {
            r = r * 1103515245u + 12345u;
            int grain = int((r >> 16) & 31) - 16;
            int v[3] = {x * 255 / w + grain, y * 255 / h + grain, ((x + y) * 128 / (w + h)) + 64 + grain};
            for (int k = 0; k < 3; ++k)
                row[3 * x + k] = BYTE(v[k] < 0 ? 0 : v[k] > 255 ? 255 : v[k]);
        }
    }
    BaseMemUnlock(hDib);
    return hDib;
}

/* A bitmap's JPEG file at quality q (empty when it cannot be encoded). */
inline std::vector<unsigned char> JpegOf(HGLOBAL dib, int q)
{
    DWORD n = 0;
    HGLOBAL j = PxDibEncodeJpeg(dib, q, &n);
    std::vector<unsigned char> out;
    if (j) {
        const BYTE *p = static_cast<const BYTE *>(BaseMemLock(j));
        out.assign(p, p + n);
        BaseMemUnlock(j);
        BaseMemFree(j);
    }
    return out;
}

/* The JPEG file of a photo-like bitmap. */
inline std::vector<unsigned char> Photo(int w, int h, unsigned seed, int q = 95)
{
    HGLOBAL d = PhotoDib(w, h, seed);
    std::vector<unsigned char> b = JpegOf(d, q);
    BaseMemFree(d);
    return b;
}

}  // namespace testkit
