/* SetCtrlImage: a named control of a screen takes a state image. */
#include "skui.h"
#include "skuilib.h"

BOOL WINAPI SetCtrlImage(HWND hScreen, LPCSTR lpszCtrlName, int nState, HGLOBAL hDib)
{
    GUI::CSKUICtrl *ctrl = GUI::CSKUICtrl::FindInScreen(hScreen, lpszCtrlName);
    // The control keeps its own copy; the caller's block stays the caller's.
    return ctrl ? ctrl->SetControlDib(nState, hDib) : FALSE;
}
