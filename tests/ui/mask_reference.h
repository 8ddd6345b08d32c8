/*
 * The square-by-square mask region, the construction CreateMaskRgn must equal: walk the stored
 * rows (bottom-up), and OR a 1 x 1 rectangle region into the result for every pixel equal to
 * the index.  Quadratic; for comparisons on small masks and for the benchmark's baseline.
 */
#pragma once
#include <windows.h>

#include <string.h>

inline HRGN MaskRegionSquareBySquare(const void *pMask, int nIndex)
{
    BITMAPINFOHEADER bih;
    memcpy(&bih, pMask, sizeof bih);
    if (bih.biBitCount != 8)
        return NULL;
    const int w = bih.biWidth, h = bih.biHeight;
    const size_t stride = ((size_t)w * 8 + 31) / 32 * 4;
    const BYTE *p = (const BYTE *)pMask + 40 + 4 * (size_t)bih.biClrUsed;
    HRGN rgn = NULL;
    for (int r = 0; r < h; ++r) {
        const int y = h - 1 - r;
        for (int x = 0; x < w; ++x, ++p) {
            if (*p != nIndex)
                continue;
            HRGN px = CreateRectRgn(x, y, x + 1, y + 1);
            if (!rgn) {
                rgn = px;
            } else {
                CombineRgn(rgn, rgn, px, RGN_OR);
                DeleteObject(px);
            }
        }
        p += stride - (size_t)w;
    }
    return rgn;
}
