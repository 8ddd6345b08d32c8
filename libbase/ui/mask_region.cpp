/*
 * Window shaping: mask regions, whole-window masks, cut corners and bevels.
 *
 * Regions come from the masks' runs (ui_blocks.cpp), never pixel by pixel.
 */
#include "winshape.h"

#include <string.h>

#include <vector>

#include "base_assert.h"
#include "baseui.h"
#include "basemem.h"
#include "mask_runs.h"
#include "pixkit.h"
#include "ui_blocks.h"
#include "ui_layout.h"

namespace {

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
    HRGN rgn = cb ? UiMaskRegion(p, cb, 255) : NULL;
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

/* The corners cut by mask blocks (a null block leaves its corner square). */
void CutCorners(HWND hWnd, const HGLOBAL masks[4])
{
    const void *locked[4] = {};
    size_t sizes[4] = {};
    for (int i = 0; i < 4; ++i) {
        locked[i] = masks[i] ? BaseMemLock(masks[i]) : nullptr;
        sizes[i] = locked[i] ? BaseMemSize(masks[i]) : 0;
        if (locked[i] && !sizes[i]) {
            BaseMemUnlock(masks[i]);
            locked[i] = nullptr;
        }
    }
    UiCutCorners(hWnd, locked, sizes, TRUE);
    for (int i = 0; i < 4; ++i)
        if (locked[i])
            BaseMemUnlock(masks[i]);
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
    return UiMaskRegion(pMask, 0, nIndex);
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
