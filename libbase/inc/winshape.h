/*
 * Window shaping: regions from mask bitmaps, applied to windows with SetWindowRgn.  Windows'
 * window system only (libbase/ui/).
 *
 * Masks are 8-bit DIBs (see mask_runs.h); palette index 255 marks the pixels a mask selects:
 * for a whole-window mask, the part that stays visible; for a corner mask, the part cut away.
 * Every region an operation makes is handed to the window (which then owns it) or deleted
 * before the operation returns; a region returned by CreateMaskRgn belongs to its caller.
 */
#pragma once
#include <windows.h>

namespace GUI {
class CSKUICtrl;
}

/* Converts both corners of lpRect from screen to hWnd's client coordinates, top-left first.
 * Both arguments are required (reported when null; nothing is done then). */
void ScreenToClientRect(HWND hWnd, LPRECT lpRect);

/* A new region, owned by the caller, that is exactly the union of the 1 x 1 squares of the
 * pixels equal to nIndex, with the origin at the mask's top-left corner; null when no pixel
 * matches, the mask is not 8 bits per pixel, or pMask is null (reported).  pMask is a locked
 * mask (the address of its header). */
HRGN CreateMaskRgn(const void *pMask, int nIndex);

/* Shapes hWnd by the mask block (the selected pixels within the window rectangle stay visible)
 * and frees the block.  A mask that selects nothing leaves the whole rectangle.  NOTES: with a
 * null window or mask nothing is done and the mask is not freed. */
void SetWindowMask(HWND hWnd, HGLOBAL hMask);

/* Cuts the window's corners by the four corner masks (top-left, top-right, bottom-right,
 * bottom-left; each may be 0).  SetWindowFrameRgn loads the UI folder's default mask
 * ("WndFrmMask_lt.bmp", "_rt", "_rb", "_lb") for each corner given as 0 and frees those it
 * loaded; it never frees the caller's.  SetWindowCornerRgn cuts only the corners given and
 * frees nothing.  hWnd is required (reported when null; nothing is done then). */
void SetWindowFrameRgn(HWND hWnd, HGLOBAL hLT, HGLOBAL hRT, HGLOBAL hRB, HGLOBAL hLB);
void SetWindowCornerRgn(HWND hWnd, HGLOBAL hLT, HGLOBAL hRT, HGLOBAL hRB, HGLOBAL hLB);

/* Shapes the window as a polygon whose flagged corners (1 top-left, 2 top-right, 4
 * bottom-right, 8 bottom-left) are slanted over the full height by d = H * tan(dAngle) + 0.5
 * (truncated).  Returns SetWindowRgn's result; 0 when the polygon region cannot be made. */
int SetWindowBevelRgn(HWND hWnd, double dAngle, DWORD dwFlags);

/* Gives a skinned control its state images and shape from UI files (names may be null): the
 * mask file first (without it nothing at all is done), then states 0, 1, 2 and 3; the control
 * takes the size of its state-0 image at its place, each image is handed to the control and
 * freed, and the mask shapes the control's window. */
void SetCtrlSkin(GUI::CSKUICtrl *pCtrl, LPCSTR lpszState0, LPCSTR lpszState1, LPCSTR lpszState2,
                 LPCSTR lpszMask, LPCSTR lpszState3);
