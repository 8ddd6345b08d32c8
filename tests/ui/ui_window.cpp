#include "ui_window.h"

#include <stdio.h>
#include <stdlib.h>

#include <new>

namespace uitest {

static const char kClass[] = "MedleyUiTestWindow";

static LRESULT CALLBACK TestWndProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hWnd, &ps);
        RECT rc;
        GetClientRect(hWnd, &rc);
        HBRUSH b = CreateSolidBrush(RGB(40, 90, 200));
        FillRect(dc, &rc, b);
        DeleteObject(b);
        EndPaint(hWnd, &ps);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wp, lp);
}

TestWindow::TestWindow(int w, int h, int x, int y, HWND hParent, DWORD dwStyle)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWndProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = kClass;
        wc.hCursor = LoadCursor(NULL, IDC_ARROW);
        registered = RegisterClassA(&wc) != 0;
    }
    m_hWnd = CreateWindowExA(0, kClass, "test", dwStyle, x, y, w, h, hParent, NULL, GetModuleHandleA(NULL), NULL);
}

TestWindow::~TestWindow()
{
    if (m_hWnd)
        DestroyWindow(m_hWnd);
}

RECT TestWindow::Rect() const
{
    RECT rc = {};
    GetWindowRect(m_hWnd, &rc);
    return rc;
}

std::string RegionRects(HRGN hRgn)
{
    if (!hRgn)
        return "null";
    DWORD n = GetRegionData(hRgn, 0, NULL);
    std::vector<char> buf(n);
    if (!n || GetRegionData(hRgn, n, (RGNDATA *)buf.data()) != n)
        return "error";
    const RGNDATA *d = (const RGNDATA *)buf.data();
    const RECT *r = (const RECT *)d->Buffer;
    std::string s;
    for (DWORD i = 0; i < d->rdh.nCount; ++i) {
        char one[64];
        snprintf(one, sizeof one, "(%ld,%ld,%ld,%ld)", (long)r[i].left, (long)r[i].top, (long)r[i].right,
                 (long)r[i].bottom);
        s += one;
    }
    return s;
}

HRGN WindowRegion(HWND hWnd)
{
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    if (GetWindowRgn(hWnd, r) == ERROR) {
        DeleteObject(r);
        return NULL;
    }
    return r;
}

std::string PixelDifference(HRGN a, HRGN b, int w, int h)
{
    for (int y = -1; y <= h; ++y)
        for (int x = -1; x <= w; ++x) {
            bool inA = a && PtInRegion(a, x, y), inB = b && PtInRegion(b, x, y);
            if (inA != inB) {
                char s[96];
                snprintf(s, sizeof s, "pixel (%d, %d): %s in the first, %s in the second", x, y, inA ? "" : "not",
                         inB ? "" : "not");
                return s;
            }
        }
    return "";
}

HRGN RegionOf(const std::vector<RECT> &rects)
{
    HRGN rgn = NULL;
    for (const RECT &r : rects) {
        HRGN one = CreateRectRgn(r.left, r.top, r.right, r.bottom);
        if (!rgn) {
            rgn = one;
        } else {
            CombineRgn(rgn, rgn, one, RGN_OR);
            DeleteObject(one);
        }
    }
    return rgn;
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace uitest

/* The test program's allocator (the base library is linked in): the armed call throws. */
static unsigned g_newFaultIn = 0;

namespace uitest {

void FailNthNew(unsigned n) { g_newFaultIn = n; }
bool NewFaultPending() { return g_newFaultIn != 0; }

}  // namespace uitest

// The replacement pairs malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void *operator new(size_t n)
{
    if (g_newFaultIn && --g_newFaultIn == 0)
        throw std::bad_alloc();
    if (void *p = malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { free(p); }
void operator delete(void *p, size_t) noexcept { free(p); }
