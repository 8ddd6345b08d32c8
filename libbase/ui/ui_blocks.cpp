/*
 * DIB blocks and mask regions for the window code (see ui_blocks.h).
 *
 * A mask region is built from the mask's runs (mask_runs.cpp), never pixel by pixel.  The runs
 * come in banded order; every kLeafRects of them become one small region through
 * ExtCreateRegion, and the small regions are merged pairwise like a merge sort: a stack holds
 * regions of 1, 2, 4 ... leaves, and two of the same size are OR-ed as soon as they meet.  Each
 * CombineRgn is linear in its inputs (Windows keeps regions banded and sorted), so the whole
 * build is O(n log n) in the number of runs, where adding squares one by one, or handing every
 * run to one ExtCreateRegion (Wine adds its rectangles one at a time), is quadratic.  The
 * result is the same region: the union of the selected squares.
 */
#include "ui_blocks.h"

#include <stdint.h>
#include <string.h>

#include <vector>

#include "mask_runs.h"
#include "ui_layout.h"

size_t UiDibBytes(const void *p, size_t cb)
{
    BITMAPINFOHEADER bih;
    if (!p || cb < sizeof bih)
        return 0;
    memcpy(&bih, p, sizeof bih);
    const int bits = bih.biBitCount;
    if (bih.biSize != sizeof bih || bih.biCompression != BI_RGB || bih.biWidth <= 0 || bih.biHeight <= 0 ||
        bih.biClrUsed > 256 || !(bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32))
        return 0;
    const uint64_t stride = ((uint64_t)bih.biWidth * (uint64_t)bits + 31) / 32 * 4;
    const uint64_t need = sizeof bih + (uint64_t)bih.biClrUsed * 4 + stride * (uint64_t)bih.biHeight;
    return need <= cb ? (size_t)need : 0;
}

bool UiDrawDib(HDC dc, const void *p, size_t cb, int x, int y)
{
    if (!UiDibBytes(p, cb))
        return false;
    struct {
        BITMAPINFOHEADER bih;
        RGBQUAD pal[256];
    } info;
    memset(&info, 0, sizeof info);
    memcpy(&info.bih, p, sizeof info.bih);
    // GDI reads 2^bits entries when biClrUsed is 0; the library's blocks hold biClrUsed.
    const DWORD colours = info.bih.biClrUsed;
    memcpy(info.pal, (const BYTE *)p + sizeof info.bih, colours * 4);
    if (info.bih.biBitCount <= 8 && colours == 0)
        info.bih.biClrUsed = 1u << info.bih.biBitCount;
    const BYTE *bits = (const BYTE *)p + sizeof info.bih + colours * 4;
    StretchDIBits(dc, x, y, info.bih.biWidth, info.bih.biHeight, 0, 0, info.bih.biWidth, info.bih.biHeight, bits,
                  (const BITMAPINFO *)&info, DIB_RGB_COLORS, SRCCOPY);
    return true;
}

namespace {

/* Runs per leaf region: ExtCreateRegion's cost grows with the square of its count (under
 * Wine), CombineRgn's with the number of calls; a handful per leaf balances the two. */
const size_t kLeafRects = 8;

HRGN LeafRegion(const RECT *rects, size_t n)
{
    if (n == 1)
        return CreateRectRgn(rects[0].left, rects[0].top, rects[0].right, rects[0].bottom);
    struct {
        RGNDATAHEADER rdh;
        RECT rc[kLeafRects];
    } data;
    memset(&data.rdh, 0, sizeof data.rdh);
    data.rdh.dwSize = sizeof(RGNDATAHEADER);
    data.rdh.iType = RDH_RECTANGLES;
    data.rdh.nCount = (DWORD)n;
    data.rdh.nRgnSize = (DWORD)(n * sizeof(RECT));
    RECT bound = rects[0];
    for (size_t i = 0; i < n; ++i) {
        data.rc[i] = rects[i];
        if (rects[i].left < bound.left)
            bound.left = rects[i].left;
        if (rects[i].right > bound.right)
            bound.right = rects[i].right;
        if (rects[i].bottom > bound.bottom)
            bound.bottom = rects[i].bottom;
    }
    data.rdh.rcBound = bound;
    return ExtCreateRegion(NULL, (DWORD)(sizeof(RGNDATAHEADER) + n * sizeof(RECT)), (const RGNDATA *)&data);
}

/* The union of banded rectangles as one region, or null (no rectangles, or GDI out of room:
 * then nothing made here is left behind). */
HRGN RegionFromRects(const std::vector<RECT> &rects)
{
    struct Pending {
        HRGN rgn;
        int level;  // holds 2^level leaves
    };
    // At most one pending region per level: the stack never grows past 64 entries.
    Pending stack[64];
    size_t depth = 0;
    bool ok = true;
    for (size_t i = 0; ok && i < rects.size(); i += kLeafRects) {
        size_t n = rects.size() - i < kLeafRects ? rects.size() - i : kLeafRects;
        HRGN rgn = LeafRegion(&rects[i], n);
        if (!rgn) {
            ok = false;
            break;
        }
        int level = 0;
        while (depth && stack[depth - 1].level == level) {
            HRGN upper = stack[--depth].rgn;
            ok = CombineRgn(upper, upper, rgn, RGN_OR) != ERROR;
            DeleteObject(rgn);
            rgn = upper;
            ++level;
            if (!ok)
                break;
        }
        stack[depth++] = {rgn, level};
    }
    while (ok && depth > 1) {
        HRGN lower = stack[--depth].rgn;
        ok = CombineRgn(stack[depth - 1].rgn, stack[depth - 1].rgn, lower, RGN_OR) != ERROR;
        DeleteObject(lower);
    }
    if (!ok) {
        for (size_t i = 0; i < depth; ++i)
            DeleteObject(stack[i].rgn);
        return NULL;
    }
    return depth ? stack[0].rgn : NULL;
}

}  // namespace

HRGN UiMaskRegion(const void *pMask, size_t cb, int nIndex)
{
    // The scan answers MASK_TOO_MANY when memory runs short; nothing after it allocates.
    std::vector<RECT> rects;
    if (MaskScanRuns(pMask, cb, nIndex, &rects) != MASK_OK)
        return NULL;
    return RegionFromRects(rects);
}

void UiCutCorners(HWND hWnd, const void *const masks[4], const size_t sizes[4], BOOL bRedraw)
{
    RECT wr;
    if (!hWnd || !GetWindowRect(hWnd, &wr))
        return;
    const int width = wr.right - wr.left, height = wr.bottom - wr.top;
    HRGN rgn = CreateRectRgn(0, 0, width + 1, height + 1);
    for (int i = 0; rgn && i < 4; ++i) {
        HRGN corner = masks[i] ? UiMaskRegion(masks[i], sizes[i], 255) : NULL;
        if (!corner)
            continue;
        BITMAPINFOHEADER bih;
        memcpy(&bih, masks[i], sizeof bih);  // a region came out: the header was read and is whole
        POINT at = UiCornerOffset(i, width, height, bih.biWidth, bih.biHeight);
        OffsetRgn(corner, at.x, at.y);
        CombineRgn(rgn, rgn, corner, RGN_DIFF);
        DeleteObject(corner);
    }
    // No rectangle region: the window is given none and loses the one it had.
    if (!SetWindowRgn(hWnd, rgn, bRedraw) && rgn)
        DeleteObject(rgn);
}
