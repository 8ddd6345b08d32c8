/*
 * Device contexts that draw into memory: the screen, memory DCs, DIB sections, brushes, the
 * blits, icons on a DC, system colours and the keyboard state.
 *
 * The screen is virtual: its size and depth come from MEDLEY_SCREEN ("WxHxBPP", default
 * 1024x768x32), the same source GetSystemMetrics answers from.  Coordinates are device pixels
 * (no mapping modes, no clip regions); every drawing call is clipped to the DC's surface.
 */
#pragma once
#include "compat/types.h"
#include "compat/gdi.h"

/* GetDeviceCaps indices. */
#define DRIVERVERSION 0
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define RASTERCAPS 38
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define SIZEPALETTE 104
#define DESKTOPVERTRES 117
#define DESKTOPHORZRES 118
#define DT_RASDISPLAY 1
#define RC_BITBLT 1
#define RC_DI_BITMAP 0x0080
#define RC_DIBTODEV 0x0200
#define RC_STRETCHBLT 0x0800
#define RC_STRETCHDIB 0x2000

/* Raster operations. */
#define SRCCOPY 0x00CC0020L
#define BLACKNESS 0x00000042L
#define WHITENESS 0x00FF0062L

#define CLR_INVALID 0xFFFFFFFF

/* Stock objects. */
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH

/* System colours (GetSysColor; COLOR_x + 1 as a brush handle for FillRect). */
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_ACTIVECAPTION 2
#define COLOR_INACTIVECAPTION 3
#define COLOR_MENU 4
#define COLOR_WINDOW 5
#define COLOR_WINDOWFRAME 6
#define COLOR_MENUTEXT 7
#define COLOR_WINDOWTEXT 8
#define COLOR_CAPTIONTEXT 9
#define COLOR_ACTIVEBORDER 10
#define COLOR_INACTIVEBORDER 11
#define COLOR_APPWORKSPACE 12
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_INACTIVECAPTIONTEXT 19
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DFACE COLOR_BTNFACE

/* DrawIconEx flags. */
#define DI_MASK 0x0001
#define DI_IMAGE 0x0002
#define DI_NORMAL 0x0003
#define DI_COMPAT 0x0004
#define DI_DEFAULTSIZE 0x0008

/* Virtual keys most callers ask about. */
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20

/* GetDC: a DC of the screen (hWnd NULL).  RETURNS the DC, released with ReleaseDC; NULL with
 * ERROR_INVALID_WINDOW_HANDLE for a window this host does not know.
 * NOTES windows are not kept by this layer yet, so every non-null hWnd is unknown. */
COMPAT_API HDC WINAPI GetDC(HWND hWnd);
/* ReleaseDC: 1 for a DC from GetDC (which is then gone), 0 otherwise. */
COMPAT_API int WINAPI ReleaseDC(HWND hWnd, HDC hDC);
/* CreateDCA: "DISPLAY" (any case) gives a DC of the screen, freed with DeleteDC; any other
 * driver NULL. */
COMPAT_API HDC WINAPI CreateDCA(LPCSTR pwszDriver, LPCSTR pwszDevice, LPCSTR pszPort, const void *pdm);
/* GetDeviceCaps: the screen's values for every DC; 0 for a bad DC or an unknown index. */
COMPAT_API int WINAPI GetDeviceCaps(HDC hdc, int index);

/* SelectObject: a bitmap into a memory DC (a DDB must be monochrome or of the screen's depth;
 * a bitmap selected in another DC is refused) or a brush into any DC.  RETURNS the object it
 * replaces, NULL on failure. */
COMPAT_API HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
COMPAT_API HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type);
COMPAT_API HGDIOBJ WINAPI GetStockObject(int i);
COMPAT_API HBRUSH WINAPI CreateSolidBrush(COLORREF color);
COMPAT_API DWORD WINAPI GetSysColor(int nIndex);
COMPAT_API HBRUSH WINAPI GetSysColorBrush(int nIndex);

/* CreateDIBSection: a bitmap whose pixels the caller reaches through *ppvBits, laid out as the
 * header says (bottom-up for a positive height, rows padded to 4 bytes), zero-filled.
 * 1, 4, 8 (with the header's colour table), 16, 24 and 32 bits, BI_RGB; DIB_RGB_COLORS.
 * RETURNS the bitmap, NULL with ERROR_INVALID_PARAMETER for a bad header.
 * NOTES file-mapping sections (hSection) and BI_BITFIELDS are not kept by this host. */
COMPAT_API HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO *pbmi, UINT usage, void **ppvBits,
                                           HANDLE hSection, DWORD offset);

/* SetDIBitsToDevice: draws a w x h part of a packed DIB whose buffer holds scan lines
 * [uStartScan, uStartScan + cLines) (counted from the bottom for a bottom-up DIB), with its
 * lower-left corner at (xSrc, ySrc) of the DIB, at (xDest, yDest).  RETURNS the lines set, 0 on
 * failure. */
COMPAT_API int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                                        UINT StartScan, UINT cLines, const void *lpvBits, const BITMAPINFO *lpbmi,
                                        UINT ColorUse);
/* StretchDIBits: nearest-pixel stretch of a DIB part; a negative width or height on either
 * side mirrors.  SRCCOPY, BLACKNESS, WHITENESS.  RETURNS the source height, 0 on failure. */
COMPAT_API int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc,
                                    int SrcWidth, int SrcHeight, const void *lpBits, const BITMAPINFO *lpbmi,
                                    UINT iUsage, DWORD rop);
COMPAT_API BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);
/* FillRect: left/top inclusive, right/bottom exclusive; hbr may be a system colour index + 1. */
COMPAT_API int WINAPI FillRect(HDC hDC, const RECT *lprc, HBRUSH hbr);
COMPAT_API COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
COMPAT_API COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color);

/* Icons on a DC: the AND mask, then the XOR image. */
COMPAT_API BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon);
COMPAT_API BOOL WINAPI DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth,
                                  UINT istepIfAniCur, HBRUSH hbrFlickerFreeDraw, UINT diFlags);

/* The keyboard state of the thread: bit 7 of a key's byte down, bit 0 toggled.  It starts
 * from MEDLEY_KEYS_DOWN (virtual key codes separated by commas; none by default);
 * SetKeyboardState replaces it. */
COMPAT_API SHORT WINAPI GetKeyState(int nVirtKey);
COMPAT_API BOOL WINAPI GetKeyboardState(PBYTE lpKeyState);
COMPAT_API BOOL WINAPI SetKeyboardState(PBYTE lpKeyState);
