/* Plain top-level test windows, region comparisons, DIB blocks and calls by virtual slot for
 * the UI tests (Windows only). */
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "skuilib.h"

namespace uitest {

/* A visible popup window of the given outer size at (x, y); destroyed with the object. */
class TestWindow {
public:
    TestWindow(int w, int h, int x = 10, int y = 10, HWND hParent = NULL, DWORD dwStyle = WS_POPUP | WS_VISIBLE);
    ~TestWindow();
    TestWindow(const TestWindow &) = delete;
    TestWindow &operator=(const TestWindow &) = delete;
    HWND hwnd() const { return m_hWnd; }
    RECT Rect() const;  // window rectangle, screen coordinates
    /* The mouse messages (button down, move, double click) test windows got, oldest first. */
    static std::vector<std::pair<UINT, LPARAM>> &MouseSeen();

private:
    HWND m_hWnd;
};

/* The rectangles of a region as "(l,t,r,b)..." ("null" for no region); one rectangle alike. */
std::string RegionRects(HRGN hRgn);
std::string RectText(const RECT &r);
/* A child window's rectangle in its parent's client coordinates. */
RECT RectInParent(HWND hWnd);
/* The pixel at (x, y) of a window's client area as drawn now. */
COLORREF PixelOf(HWND hWnd, int x, int y);
/* The window's region (GetWindowRgn) as a new region, or null when it has none. */
HRGN WindowRegion(HWND hWnd);
/* Pumps the thread's pending messages. */
void Pump();
/* Posts a key press (kAltF4: F4 with Alt held) to the window with the keyboard focus, as the
 * system does. */
const UINT kAltF4 = 0x10000;
void PostKey(UINT key);
/* The Nth operator new of the test program (and the base library in it) from now on throws
 * std::bad_alloc, once; 0 disarms.  NewFaultPending: armed and not yet thrown. */
void FailNthNew(unsigned n);
bool NewFaultPending();

/* Calls the virtual function in `slot` of obj's table, as the host's compiled callers do. */
template <typename R, typename... A>
R CallSlot(void *obj, int slot, A... args)
{
    typedef R(SKUI_SLOTCALL * Fn)(void *, A...);
    return (*(Fn **)obj)[slot](obj, args...);
}

/* A w x h DIB block (base library memory) of one colour (0x00RRGGBB), 24 bits a pixel; a
 * header saying `bits` makes one that cannot be drawn. */
HGLOBAL SolidDib(int w, int h, DWORD rgb, WORD bits = 24);
/* The octets of a global (GlobalAlloc) or base-library block. */
std::vector<BYTE> BlockBytes(HGLOBAL h, bool global);

}  // namespace uitest
