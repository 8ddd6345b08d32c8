/* Pieces shared inside the skinned-GUI class library (Windows builds). */
#pragma once
#include <windows.h>

namespace skuilib {

extern const char kCtrlClass[];  // the skinned controls' window class

/* The library's own module handle. */
HINSTANCE Instance();
bool RegisterCtrlClass();
/* A skinned control's window (visible child of hParent named lpszName), or null. */
HWND CreateCtrlWindow(LPCSTR lpszName, HWND hParent, const RECT &rc, UINT nId);
/* A DIB block of the imaging library's allocator copied into a new global block (0 when it is
 * no DIB); FreeImagingDib frees a block of that allocator. */
HGLOBAL CopyDib(HGLOBAL hDib);
void FreeImagingDib(HGLOBAL hDib);
/* Draws a global DIB block made by CopyDib at (x, y), unscaled. */
void DrawGlobalDib(HDC dc, HGLOBAL hDib, int x, int y);
/* Drops the wrapper GetParent made for hWnd, if any (its window is going). */
void ForgetTempWrapper(HWND hWnd);
/* True when hWnd is a screen window made by CSKUIScreen::CreateScreen. */
bool IsScreenWindow(HWND hWnd);

}  // namespace skuilib
