#include "ui_window.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "basemem.h"
#include "picture_files.h"

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
    if (msg == WM_LBUTTONDOWN || msg == WM_MOUSEMOVE || msg == WM_LBUTTONDBLCLK)
        TestWindow::MouseSeen().push_back({msg, lp});
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

std::vector<std::pair<UINT, LPARAM>> &TestWindow::MouseSeen()
{
    static std::vector<std::pair<UINT, LPARAM>> seen;
    return seen;
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
    for (DWORD i = 0; i < d->rdh.nCount; ++i)
        s += RectText(r[i]);
    return s;
}

std::string RectText(const RECT &r)
{
    char s[64];
    snprintf(s, sizeof s, "(%ld,%ld,%ld,%ld)", (long)r.left, (long)r.top, (long)r.right, (long)r.bottom);
    return s;
}

RECT RectInParent(HWND hWnd)
{
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    MapWindowPoints(NULL, GetParent(hWnd), (POINT *)&rc, 2);
    return rc;
}

COLORREF PixelOf(HWND hWnd, int x, int y)
{
    HDC dc = GetDC(hWnd);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hWnd, dc);
    return c;
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

HGLOBAL SolidDib(int w, int h, DWORD rgb, WORD bits)
{
    BYTE *p;
    HGLOBAL hb = testkit::DibBlock(w, h, 24, 0, &p);
    ((BITMAPINFOHEADER *)p)->biBitCount = bits;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE *px = p + 40 + (size_t)y * testkit::DibStride(w, 24) + 3 * (size_t)x;
            px[0] = (BYTE)rgb;
            px[1] = (BYTE)(rgb >> 8);
            px[2] = (BYTE)(rgb >> 16);
        }
    BaseMemUnlock(hb);
    return hb;
}

std::vector<BYTE> BlockBytes(HGLOBAL h, bool global)
{
    BYTE *p = (BYTE *)(global ? GlobalLock(h) : BaseMemLock(h));
    std::vector<BYTE> v(p, p + (global ? GlobalSize(h) : BaseMemSize(h)));
    if (global)
        GlobalUnlock(h);
    else
        BaseMemUnlock(h);
    return v;
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void PostKey(UINT key)
{
    HWND to = GetFocus();
    if (key == kAltF4) {
        PostMessageA(to, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
        PostMessageA(to, WM_SYSKEYUP, VK_F4, 1 | (1 << 29) | (3u << 30));
        return;
    }
    PostMessageA(to, WM_KEYDOWN, key, 1);
    PostMessageA(to, WM_KEYUP, key, 1 | (3u << 30));
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
