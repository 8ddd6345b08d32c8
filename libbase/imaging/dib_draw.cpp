/*
 * Drawing DIBs on device contexts: tiling, three-piece bars, a file's shell icon as a DIB, a
 * screen-sized DIB section, and the key state helper.
 *
 * The drawing operations take locked DIBs (a 40-byte header, its colour table, bottom-up rows)
 * and hand them to SetDIBitsToDevice one tile at a time; the device clips.
 */
#include <windows.h>
#include <shellapi.h>

#include <stdint.h>
#include <string.h>

#include "base_assert.h"
#include "basemem.h"
#include "dib.h"

namespace {

/* The pixels of a locked DIB, or null for a header this code does not draw. */
const BYTE *DibPixels(const void *pDib, int *pWidth, int *pHeight)
{
    const BITMAPINFOHEADER *bih = static_cast<const BITMAPINFOHEADER *>(pDib);
    if (bih->biSize != sizeof(BITMAPINFOHEADER) || bih->biWidth <= 0 || bih->biHeight <= 0 ||
        bih->biCompression != BI_RGB)
        return nullptr;
    int bits = bih->biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return nullptr;
    *pWidth = bih->biWidth;
    *pHeight = bih->biHeight;
    // The colour table SetDIBitsToDevice reads: biClrUsed entries, or the full table when 0.
    return static_cast<const BYTE *>(pDib) + sizeof(BITMAPINFOHEADER) + DibPaletteSize(pDib);
}

int DibWidth(const void *pDib)
{
    int w = 0, h = 0;
    return pDib && DibPixels(pDib, &w, &h) ? w : 0;
}

int DibHeight(const void *pDib)
{
    int w = 0, h = 0;
    return pDib && DibPixels(pDib, &w, &h) ? h : 0;
}

}  // namespace

/*
 * TileDib: lays the bitmap over *pRect from its top-left corner, a tile every step (the
 * bitmap's size, four times it with nStep non-zero, the rest of each step left as it was);
 * mode 1 draws the first row only, mode 2 the first column only.  Tiles are cut at the
 * rectangle's right and bottom edges and show the top part of the bitmap; with pClip, only
 * tiles that meet it are drawn.
 * RETURNS 1, or 0 for an empty rectangle, a null argument or a bitmap it cannot draw.
 */
int TileDib(HDC hDC, const void *pDibData, const RECT *pRect, int nStep, const RECT *pClip, int nMode)
{
    MD_ASSERT(pDibData);
    MD_ASSERT(pRect);
    MD_ASSERT(hDC);
    if (!pDibData || !pRect || !hDC)
        return 0;
    int width = 0, height = 0;
    const BYTE *pixels = DibPixels(pDibData, &width, &height);
    if (!pixels)
        return 0;
    long long stepW = nStep ? 4LL * width : width, stepH = nStep ? 4LL * height : height;
    long long rectW = (long long)pRect->right - pRect->left, rectH = (long long)pRect->bottom - pRect->top;
    if (rectW <= 0 || rectH <= 0)
        return 0;
    long long cols = (rectW + stepW - 1) / stepW, rows = (rectH + stepH - 1) / stepH;
    if (nMode == 1)
        rows = 1;
    else if (nMode == 2)
        cols = 1;
    for (long long r = 0; r < rows; ++r) {
        long long y = pRect->top + r * stepH;
        long long cutH = pRect->bottom - y < height ? pRect->bottom - y : height;
        for (long long c = 0; c < cols; ++c) {
            long long x = pRect->left + c * stepW;
            long long cutW = pRect->right - x < width ? pRect->right - x : width;
            if (pClip && !(pClip->left < x + cutW && pClip->right > x && pClip->top < y + cutH && pClip->bottom > y))
                continue;
            /* The source rows count from the bitmap's bottom: a cut tile shows its top part. */
            SetDIBitsToDevice(hDC, (int)x, (int)y, (DWORD)cutW, (DWORD)cutH, 0, (int)(height - cutH), 0,
                              (UINT)height, pixels, static_cast<const BITMAPINFO *>(pDibData), DIB_RGB_COLORS);
        }
    }
    return 1;
}

/*
 * DrawDibBar: a head, a tiled middle and a tail along a bar.  Horizontal: the head over
 * [left, left + head width), the tail over [right - tail width, right), the middle between
 * them, each the bar's full height; vertical likewise along y with the pieces' heights.
 * NOTES a missing piece takes no room and leaves its span undrawn.
 */
void DrawDibBar(HDC hDC, const void *pHead, const void *pMiddle, const void *pTail, int nLeft, int nTop, int nRight,
                int nBottom, int bHorizontal, const RECT *pClip)
{
    if (!hDC)
        return;
    const void *pieces[3] = {pHead, pMiddle, pTail};
    RECT rects[3];
    if (bHorizontal) {
        int headEnd = nLeft + DibWidth(pHead), tailStart = nRight - DibWidth(pTail);
        rects[0] = {nLeft, nTop, headEnd, nBottom};
        rects[1] = {headEnd, nTop, tailStart, nBottom};
        rects[2] = {tailStart, nTop, nRight, nBottom};
    } else {
        int headEnd = nTop + DibHeight(pHead), tailStart = nBottom - DibHeight(pTail);
        rects[0] = {nLeft, nTop, nRight, headEnd};
        rects[1] = {nLeft, headEnd, nRight, tailStart};
        rects[2] = {nLeft, tailStart, nRight, nBottom};
    }
    for (int i = 0; i < 3; ++i)
        if (pieces[i])
            TileDib(hDC, pieces[i], &rects[i], 0, pClip, bHorizontal ? 1 : 2);
}

/* DrawDibBarHandles: DrawDibBar on three global memory blocks, each locked for the call. */
void DrawDibBarHandles(HDC hDC, HGLOBAL hHead, HGLOBAL hMiddle, HGLOBAL hTail, int nLeft, int nTop, int nRight,
                       int nBottom, int bHorizontal, const RECT *pClip)
{
    void *head = hHead ? GlobalLock(hHead) : nullptr;
    void *middle = hMiddle ? GlobalLock(hMiddle) : nullptr;
    void *tail = hTail ? GlobalLock(hTail) : nullptr;
    DrawDibBar(hDC, head, middle, tail, nLeft, nTop, nRight, nBottom, bHorizontal, pClip);
    if (head)
        GlobalUnlock(hHead);
    if (middle)
        GlobalUnlock(hMiddle);
    if (tail)
        GlobalUnlock(hTail);
}

/*
 * GetFileIconDib: the file's shell icon drawn on the button face colour in a 32 x 32, 24-bit
 * DIB.  RETURNS the new block (the caller's), or 0 when the shell has no icon for the path or
 * a drawing object cannot be made.  Every object made on the way is released on every path.
 */
HGLOBAL GetFileIconDib(const char *lpszFile)
{
    if (!lpszFile)
        return 0;
    SHFILEINFOA info;
    memset(&info, 0, sizeof info);
    if (!SHGetFileInfoA(lpszFile, 0, &info, sizeof info, SHGFI_ICON) || !info.hIcon)
        return 0;

    HGLOBAL hDib = 0;
    HDC screen = GetDC(NULL);
    HDC mem = screen ? CreateCompatibleDC(screen) : NULL;
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 32;
    bi.bmiHeader.biHeight = 32;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    bi.bmiHeader.biSizeImage = 32 * 32 * 3;
    void *bits = nullptr;
    HBITMAP section = mem ? CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0) : NULL;
    if (section) {
        HGDIOBJ old = SelectObject(mem, section);
        RECT r = {0, 0, 32, 32};
        FillRect(mem, &r, (HBRUSH)(INT_PTR)(COLOR_BTNFACE + 1));
        DrawIcon(mem, 0, 0, info.hIcon);
        SelectObject(mem, old);

        hDib = NewDib(bi.bmiHeader, 0);
        BYTE *p = hDib ? static_cast<BYTE *>(BaseMemLock(hDib)) : nullptr;
        int copied = 0;
        if (p) {
            BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(p);
            copied = GetDIBits(screen, section, 0, 32, p + sizeof(BITMAPINFOHEADER) + 4 * bih->biClrUsed,
                               reinterpret_cast<BITMAPINFO *>(p), DIB_RGB_COLORS);
            BaseMemUnlock(hDib);
        }
        if (copied <= 0 && hDib) {
            BaseMemFree(hDib);
            hDib = 0;
        }
        DeleteObject(section);
    }
    if (mem)
        DeleteDC(mem);
    if (screen)
        ReleaseDC(NULL, screen);
    DestroyIcon(info.hIcon);
    return hDib;
}

/*
 * CreateScreenDibSection: a bottom-up 24-bit DIB section of the display's size.
 * RETURNS the bitmap (the caller deletes it), or NULL.
 */
HBITMAP CreateScreenDibSection()
{
    HDC display = CreateDCA("DISPLAY", NULL, NULL, NULL);
    if (!display)
        return NULL;
    int width = GetDeviceCaps(display, HORZRES), height = GetDeviceCaps(display, VERTRES);
    HBITMAP section = NULL;
    if (width > 0 && height > 0) {
        BITMAPINFO bi;
        memset(&bi, 0, sizeof bi);
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 24;
        bi.bmiHeader.biCompression = BI_RGB;
        bi.bmiHeader.biSizeImage = (DWORD)(((int64_t)width * 24 + 31) / 32 * 4 * height);
        bi.bmiHeader.biXPelsPerMeter = 120;
        bi.bmiHeader.biYPelsPerMeter = 120;
        void *bits = nullptr;
        section = CreateDIBSection(display, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    }
    DeleteDC(display);
    return section;
}

/* IsKeyDown: 1 while the key is down (the sign bit of its state), else 0. */
int IsKeyDown(int nVirtKey) { return (GetKeyState(nVirtKey) & 0x8000) ? 1 : 0; }
