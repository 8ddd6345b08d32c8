/*
 * Window shaping: mask regions, whole-window masks, cut corners and bevels.
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
#include "winshape.h"

#include <string.h>

#include <vector>

#include "base_assert.h"
#include "baseui.h"
#include "basemem.h"
#include "mask_runs.h"
#include "pixkit.h"
#include "ui_layout.h"

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
    std::vector<Pending> stack;
    bool ok = true;
    for (size_t i = 0; ok && i < rects.size(); i += kLeafRects) {
        size_t n = rects.size() - i < kLeafRects ? rects.size() - i : kLeafRects;
        HRGN rgn = LeafRegion(&rects[i], n);
        if (!rgn) {
            ok = false;
            break;
        }
        int level = 0;
        while (!stack.empty() && stack.back().level == level) {
            HRGN upper = stack.back().rgn;
            stack.pop_back();
            ok = CombineRgn(upper, upper, rgn, RGN_OR) != ERROR;
            DeleteObject(rgn);
            rgn = upper;
            ++level;
            if (!ok)
                break;
        }
        stack.push_back({rgn, level});
    }
    while (ok && stack.size() > 1) {
        HRGN lower = stack.back().rgn;
        stack.pop_back();
        ok = CombineRgn(stack.back().rgn, stack.back().rgn, lower, RGN_OR) != ERROR;
        DeleteObject(lower);
    }
    if (!ok) {
        for (const Pending &p : stack)
            DeleteObject(p.rgn);
        return NULL;
    }
    return stack.empty() ? NULL : stack.back().rgn;
}

/* The mask region of a locked mask whose readable size is cbMask (0: unknown). */
HRGN MaskRegion(const void *pMask, size_t cbMask, int nIndex)
{
    std::vector<RECT> rects;
    if (MaskScanRuns(pMask, cbMask, nIndex, &rects) != MASK_OK)
        return NULL;
    return RegionFromRects(rects);
}

/* The index-255 region of a mask block: null when there is no block, it cannot be locked, or
 * its header claims more than the block holds. */
HRGN BlockRegion(HGLOBAL hMask)
{
    if (!hMask)
        return NULL;
    const void *p = BaseMemLock(hMask);
    if (!p)
        return NULL;
    DWORD cb = BaseMemSize(hMask);
    HRGN rgn = cb ? MaskRegion(p, cb, 255) : NULL;
    BaseMemUnlock(hMask);
    return rgn;
}

/* The window rectangle's size, or false (not a window). */
bool WindowSize(HWND hWnd, int *pWidth, int *pHeight)
{
    RECT rc;
    if (!hWnd || !GetWindowRect(hWnd, &rc)) {
        *pWidth = *pHeight = 0;
        return false;
    }
    *pWidth = rc.right - rc.left;
    *pHeight = rc.bottom - rc.top;
    return true;
}

/* SetWindowRgn, after which the window owns the region; a region the window refused (not a
 * window) is deleted here, never leaked. */
int GiveRegion(HWND hWnd, HRGN hRgn)
{
    int result = SetWindowRgn(hWnd, hRgn, TRUE);
    if (!result && hRgn)
        DeleteObject(hRgn);
    return result;
}

const char *const kDefaultCorners[4] = {"WndFrmMask_lt.bmp", "WndFrmMask_rt.bmp", "WndFrmMask_rb.bmp",
                                        "WndFrmMask_lb.bmp"};

void CutCorners(HWND hWnd, const HGLOBAL masks[4])
{
    HRGN corners[4] = {};
    for (int i = 0; i < 4; ++i)
        corners[i] = BlockRegion(masks[i]);
    int width = 0, height = 0;
    WindowSize(hWnd, &width, &height);
    HRGN rgn = CreateRectRgn(0, 0, width + 1, height + 1);
    if (rgn) {
        for (int i = 0; i < 4; ++i) {
            int w = 0, h = 0;
            if (!corners[i] || !PxDibGetSize(masks[i], &w, &h))
                continue;
            POINT at = UiCornerOffset(i, width, height, w, h);
            OffsetRgn(corners[i], at.x, at.y);
            CombineRgn(rgn, rgn, corners[i], RGN_DIFF);
        }
    }
    // No rectangle region: the window is given none and loses the one it had.
    GiveRegion(hWnd, rgn);
    for (HRGN corner : corners)
        if (corner)
            DeleteObject(corner);
}

}  // namespace

void ScreenToClientRect(HWND hWnd, LPRECT lpRect)
{
    MD_ASSERT(lpRect);
    MD_ASSERT(hWnd);
    if (!lpRect || !hWnd)
        return;
    POINT tl = {lpRect->left, lpRect->top}, br = {lpRect->right, lpRect->bottom};
    ScreenToClient(hWnd, &tl);
    ScreenToClient(hWnd, &br);
    *lpRect = RECT{tl.x, tl.y, br.x, br.y};
}

HRGN CreateMaskRgn(const void *pMask, int nIndex)
{
    MD_ASSERT(pMask);
    if (!pMask)
        return NULL;
    return MaskRegion(pMask, 0, nIndex);
}

void SetWindowMask(HWND hWnd, HGLOBAL hMask)
{
    if (!hWnd || !hMask)
        return;
    int width = 0, height = 0;
    WindowSize(hWnd, &width, &height);
    HRGN mask = BlockRegion(hMask);
    HRGN rgn = CreateRectRgn(0, 0, width, height);
    if (rgn && mask)
        CombineRgn(rgn, rgn, mask, RGN_AND);
    if (mask)
        DeleteObject(mask);
    GiveRegion(hWnd, rgn);
    BaseMemFree(hMask);
}

void SetWindowFrameRgn(HWND hWnd, HGLOBAL hLT, HGLOBAL hRT, HGLOBAL hRB, HGLOBAL hLB)
{
    MD_ASSERT(hWnd);
    if (!hWnd)
        return;
    HGLOBAL masks[4] = {hLT, hRT, hRB, hLB};
    HGLOBAL loaded[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (masks[i])
            continue;
        char path[MAX_PATH];
        if (GetUIPath(kDefaultCorners[i], path))
            masks[i] = loaded[i] = PxOpenFile(path, 0, 0);  // a missing file leaves the corner uncut
    }
    CutCorners(hWnd, masks);
    for (HGLOBAL h : loaded)
        if (h)
            BaseMemFree(h);
}

void SetWindowCornerRgn(HWND hWnd, HGLOBAL hLT, HGLOBAL hRT, HGLOBAL hRB, HGLOBAL hLB)
{
    MD_ASSERT(hWnd);
    if (!hWnd)
        return;
    const HGLOBAL masks[4] = {hLT, hRT, hRB, hLB};
    CutCorners(hWnd, masks);
}

int SetWindowBevelRgn(HWND hWnd, double dAngle, DWORD dwFlags)
{
    int width = 0, height = 0;
    if (!WindowSize(hWnd, &width, &height))
        return 0;
    POINT pts[5];
    UiBevelPoints(width, height, UiBevelInset(height, dAngle), dwFlags, pts);
    HRGN rgn = CreatePolygonRgn(pts, 5, WINDING);
    return rgn ? GiveRegion(hWnd, rgn) : 0;
}
