/* Skinned controls: state images and shape from the UI folder. */
#include "baseui.h"
#include "basemem.h"
#include "pixkit.h"
#include "skuilib.h"
#include "winshape.h"

/* A UI folder picture as a new DIB block, or 0 (no name, no such file, not a picture). */
static HGLOBAL LoadUIPicture(LPCSTR lpszName)
{
    char path[MAX_PATH];
    if (!lpszName || !GetUIPath(lpszName, path))
        return 0;
    return PxOpenFile(path, 0, 0);
}

void SetCtrlSkin(GUI::CSKUICtrl *pCtrl, LPCSTR lpszState0, LPCSTR lpszState1, LPCSTR lpszState2, LPCSTR lpszMask,
                 LPCSTR lpszState3)
{
    HWND hWnd = pCtrl ? pCtrl->GetSafeHwnd() : NULL;
    if (!hWnd)
        return;  // nothing to dress: nothing is loaded
    HGLOBAL mask = LoadUIPicture(lpszMask);
    if (!mask)
        return;  // without its mask the control is left exactly as it was
    const LPCSTR names[4] = {lpszState0, lpszState1, lpszState2, lpszState3};
    HGLOBAL images[4];
    for (int i = 0; i < 4; ++i)
        images[i] = LoadUIPicture(names[i]);

    int w = 0, h = 0;
    RECT rc;
    if (images[0] && PxDibGetSize(images[0], &w, &h) && GetWindowRect(hWnd, &rc)) {
        // The control takes its state-0 image's size and keeps its place in its parent.
        POINT at = {rc.left, rc.top};
        if (GUI::CSKUIWnd *parent = pCtrl->GetParent())
            ScreenToClient(parent->GetSafeHwnd(), &at);
        MoveWindow(hWnd, at.x, at.y, w, h, TRUE);
    }
    for (int i = 0; i < 4; ++i) {
        if (!images[i])
            continue;
        pCtrl->SetControlDib(i, images[i]);  // the control keeps its own copy
        BaseMemFree(images[i]);
    }
    SetWindowMask(hWnd, mask);  // frees the mask
}
