/*
 * DIB blocks and mask regions as the window code uses them, in one place for the base
 * library and the skinned-GUI libraries (each compiles this unit in).  Windows builds only.
 *
 * A DIB block: a 40-byte BITMAPINFOHEADER (biSize 40, BI_RGB, 1, 4, 8, 24 or 32 bits, positive
 * width and height, at most 256 colours in biClrUsed), biClrUsed RGBQUADs, bottom-up rows of
 * ((width * bits + 31) / 32) * 4 bytes.  Anything else (compressed rows, other header
 * versions, rows past the block's end) is refused: nothing is read past the header.
 */
#pragma once
#include <windows.h>

#include <stddef.h>

/* The bytes a valid DIB block at p (cb readable bytes) takes, header to last row; 0 when it
 * is not one. */
size_t UiDibBytes(const void *p, size_t cb);

/* Draws a DIB block at (x, y) of dc, unscaled; false (nothing drawn) when it is not one. */
bool UiDrawDib(HDC dc, const void *p, size_t cb, int x, int y);

/* The region of the mask's pixels equal to nIndex (an 8-bit DIB block; cb 0: the caller
 * vouches for the rows), built from its runs; null when it selects nothing, is no mask, has
 * more runs than the limit or memory or GDI runs short.  Never throws. */
HRGN UiMaskRegion(const void *pMask, size_t cb, int nIndex);

/* Gives hWnd the region of its window rectangle less the four corner masks (index 255 cut
 * away; top-left, top-right, bottom-right, bottom-left, each placed in its corner).  A null
 * mask leaves its corner square.  Never throws. */
void UiCutCorners(HWND hWnd, const void *const masks[4], const size_t sizes[4], BOOL bRedraw);

#include <exception>

/* Runs f, answering `fallback` when it throws (memory running short, a string too long): no
 * exception leaves a window procedure or an entry point of the window code. */
template <class R, class F> R UiNoThrow(R fallback, F &&f) noexcept
{
    try {
        return f();
    } catch (const std::exception &) {
        return fallback;
    }
}
