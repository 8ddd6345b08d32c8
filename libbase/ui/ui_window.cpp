/* Window placement: centred on the screen or over a parent, or filling the screen. */
#include "baseui.h"
#include "ui_layout.h"

static bool WindowSize(HWND hWnd, int *pWidth, int *pHeight)
{
    RECT rc;
    if (!hWnd || !GetWindowRect(hWnd, &rc))
        return false;
    *pWidth = rc.right - rc.left;
    *pHeight = rc.bottom - rc.top;
    return true;
}

int CenterWindowOnScreen(HWND hWnd)
{
    int w, h;
    if (!WindowSize(hWnd, &w, &h))
        return 0;
    MoveWindow(hWnd, UiCenterOffset(GetSystemMetrics(SM_CXSCREEN), w), UiCenterOffset(GetSystemMetrics(SM_CYSCREEN), h),
               w, h, TRUE);
    return 1;
}

int FillScreenWindow(HWND hWnd)
{
    if (!hWnd || !IsWindow(hWnd))
        return 0;
    MoveWindow(hWnd, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
    return 1;
}

int CenterWindow(HWND hParent, HWND hWnd)
{
    if (!hParent)
        return CenterWindowOnScreen(hWnd);
    int pw, ph, w, h;
    if (!WindowSize(hParent, &pw, &ph) || !WindowSize(hWnd, &w, &h))
        return 0;
    // Offsets from the parent's origin, as a child window is moved; not added to the
    // parent's place on the screen.
    MoveWindow(hWnd, UiCenterOffset(pw, w), UiCenterOffset(ph, h), w, h, TRUE);
    return 1;
}
