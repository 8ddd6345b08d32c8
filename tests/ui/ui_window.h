/* Plain top-level test windows and region comparisons for the UI tests (Windows only). */
#pragma once
#include <windows.h>

#include <string>
#include <vector>

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

private:
    HWND m_hWnd;
};

/* The rectangles of a region as "(l,t,r,b)..." ("null" for no region). */
std::string RegionRects(HRGN hRgn);
/* The window's region (GetWindowRgn) as a new region, or null when it has none. */
HRGN WindowRegion(HWND hWnd);
/* Describes the first pixel of [0,w) x [0,h) whose membership differs, or "" when none. */
std::string PixelDifference(HRGN a, HRGN b, int w, int h);
/* A region from rectangles (null for none). */
HRGN RegionOf(const std::vector<RECT> &rects);
/* Pumps the thread's pending messages. */
void Pump();
/* The Nth operator new of the test program (and the base library in it) from now on throws
 * std::bad_alloc, once; 0 disarms.  NewFaultPending: armed and not yet thrown. */
void FailNthNew(unsigned n);
bool NewFaultPending();

}  // namespace uitest
