/* SetCtrlImage: a named control of a screen takes a state image. */
#include "skui.h"
#include "skuilib.h"

BOOL WINAPI SetCtrlImage(HWND hScreen, LPCSTR lpszCtrlName, int nState, HGLOBAL hDib)
{
    // By its window: a control the screen made reaches here whether or not an object wraps it.
    HWND ctrl = GUI::CSKUICtrl::FindCtrlWindow(hScreen, lpszCtrlName);
    // The control keeps its own copy; the caller's block stays the caller's.
    return ctrl ? GUI::CSKUICtrl::SetWindowDib(ctrl, nState, hDib) : FALSE;
}
