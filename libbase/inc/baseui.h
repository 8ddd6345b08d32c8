/*
 * UI services shared by every window of the application: paths in the UI folder, window
 * placement, dialog fonts from the resource provider, message boxes (plain and skinned), the
 * open-file dialog, and pasting one DIB into another.
 *
 * Two halves.  GetUIPath, PasteDib and the font settings (GetResFontCharset, GetResFontFace,
 * AdjustResFontSize) are portable and built everywhere.  Everything that needs a window
 * system (placement, fonts, message boxes, the open dialog) is built for Windows only: it
 * runs on Windows' own user32/gdi32 (Wine's, in the tests), and the native build leaves it
 * out (libbase/ui/).
 */
#pragma once
#include <windows.h>

#include <stdint.h>

#include <string>

/* ---- portable ---- */

/* Writes the executable's folder, "\UI\" and sUIName into sUIPath (260 characters).
 * Returns 1.  NOTES: a null argument is reported by the argument check and gives 0; a path
 * that would not fit 260 characters (or an executable path that cannot be read) gives 0 and
 * an empty sUIPath, never a longer write. */
int GetUIPath(LPCSTR sUIName, LPSTR sUIPath);

/* Copies the source DIB block into the destination block with its top-left corner at (x, y),
 * y counted from the destination's top edge.  Both are 8-bit DIBs with a 256-entry palette
 * (pixels 1064 bytes in) or 24-bit DIBs without palette (pixels 40 bytes in); the destination's
 * bit count decides.  Palettes are neither compared nor copied.  Returns 1 when pasted, 0 for
 * a missing block or a source that does not lie wholly inside the destination (both blocks
 * then unchanged).  NOTES: also 0, changing nothing, when a block cannot be locked, is smaller
 * than its header says, the depths differ, or the depth is neither 8 nor 24. */
int PasteDib(HGLOBAL hDest, HGLOBAL hSrc, int x, int y);

/* Dialog font settings from the resource provider; without a provider: character set 0, an
 * empty face name and the size unchanged. */
BYTE GetResFontCharset();
std::string GetResFontFace();
int AdjustResFontSize(int nSize);

/* ---- Windows' window system only ---- */

/* Placement; each moves the window with repaint and keeps its size.  Returns 1; 0 (nothing
 * moved) when the window is not a window. */
int CenterWindowOnScreen(HWND hWnd);
int FillScreenWindow(HWND hWnd);  // to (0, 0), the screen's full size
/* Centres hWnd over hParent in the parent's own coordinates (offsets from its origin, as a
 * child window is moved); a null parent centres on the screen. */
int CenterWindow(HWND hParent, HWND hWnd);

/* Dialog fonts: height -AdjustResFontSize(nSize), the provider's character set, weight 400
 * (CreateResFont, CreateArialFont) or 700 (CreateResBoldFont), face the provider's or "Arial".
 * The caller deletes the font (DeleteObject).  Null when the system cannot make it. */
HFONT CreateResFont(int nSize);
HFONT CreateResBoldFont(int nSize);
HFONT CreateArialFont(int nSize);

/* MessageBoxA with the product caption (string 1).  NOTES: a null lpszText is reported and
 * shown as an empty text. */
int ResMessageBox(HWND hOwner, LPCSTR lpszText, UINT uType);

/* Skinned messages through the skinned-GUI library; the caller's values pass unchanged.  The
 * ById forms load the text (string id) through the resource provider first. */
void SkinMessageById(DWORD dwValue1, DWORD dwValue2, int32_t nId);
DWORD SkinMessage(DWORD dwValue1, DWORD dwValue2, LPCSTR lpszText);
DWORD SkinMessageBoxById(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3, int32_t nId);
DWORD SkinMessageBoxExById(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3, int32_t nId);

/* The standard open dialog (76-byte OPENFILENAMEA, flags 0x1804: file and path must exist,
 * read-only box hidden) over lpszFile (260 characters, emptied first).  Non-zero when the user
 * chose a file (its path then in lpszFile); 0 on cancel, lpszFile then empty. */
BOOL OpenFileDialog(HWND hOwner, LPCSTR lpszFilter, LPSTR lpszFile);
