/* Shell: file information (the icon of a file). */
#pragma once
#include "compat/types.h"

typedef struct _SHFILEINFOA {
    HICON hIcon;
    int iIcon;
    DWORD dwAttributes;
    CHAR szDisplayName[MAX_PATH];
    CHAR szTypeName[80];
} SHFILEINFOA;

#define SHGFI_LARGEICON 0x000000000
#define SHGFI_SMALLICON 0x000000001
#define SHGFI_OPENICON 0x000000002
#define SHGFI_SHELLICONSIZE 0x000000004
#define SHGFI_USEFILEATTRIBUTES 0x000000010
#define SHGFI_ICON 0x000000100
#define SHGFI_DISPLAYNAME 0x000000200
#define SHGFI_TYPENAME 0x000000400
#define SHGFI_ATTRIBUTES 0x000000800

/* SHGetFileInfoA: with SHGFI_ICON, a new icon the caller destroys with DestroyIcon: a generic
 * document (32 x 32, or 16 x 16 with SHGFI_SMALLICON) for a file, a folder for a folder.
 * SHGFI_DISPLAYNAME gives the name part of the path.  The path must exist unless
 * SHGFI_USEFILEATTRIBUTES is given.
 * RETURNS non-zero on success, 0 when the file does not exist or psfi is null with a flag
 * that fills it. */
COMPAT_API DWORD_PTR WINAPI SHGetFileInfoA(LPCSTR pszPath, DWORD dwFileAttributes, SHFILEINFOA *psfi,
                                           UINT cbFileInfo, UINT uFlags);
