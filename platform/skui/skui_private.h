/* Pieces shared inside the SKUI stand-in. */
#pragma once
#include <windows.h>

#include <string>

namespace skui {

/* The path of a file in the UI folder beside the running program ("" when it cannot be
 * made). */
std::string UIFilePath(const char *lpszName);
/* A UI folder bitmap as a DIB block of the imaging library (freed by FreeDib), or 0. */
HGLOBAL LoadUIDib(const char *lpszName);
void FreeDib(HGLOBAL hDib);
/* Cuts the window's corners with the UI folder's corner masks (a missing file leaves its
 * corner square). */
void CutUICorners(HWND hWnd);
/* Draws a DIB block at (x, y) of dc, unscaled (nothing when it is no plain DIB). */
void DrawDibBlock(HDC dc, HGLOBAL hDib, int x, int y);
/* The DIB block's width and height (false when it is no DIB). */
bool DibSize(HGLOBAL hDib, int *pWidth, int *pHeight);

}  // namespace skui
