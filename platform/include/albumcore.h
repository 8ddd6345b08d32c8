/*
 * AlbumCore: the album library.  It works on Windows global blocks only.
 *
 * Block operations (exported by ordinal on Windows: 17, 18, 46):
 *   AlbumGetBlock(album, item)        a new global block holding the item's stored bitmap
 *                                     (caller frees it with GlobalFree), or 0
 *   AlbumPutBlock(album, item, hDib)  stores a copy of the bytes of hDib as the item's bitmap
 *                                     (the block stays the caller's); 1, or 0 on failure
 *   AlbumDrawDib(hdc, hDib, rc, x, y) draws the packed DIB scaled into rc; 1, or 0 (0 block,
 *                                     no rectangle, a malformed DIB, drawing failed)
 */
#pragma once
#include <windows.h>

#include "platform_api.h"

#ifdef ALBUMCORE_BUILD
#define ALBUMCORE_API extern "C" MD_DLL_EXPORT
#else
#define ALBUMCORE_API extern "C" MD_DLL_IMPORT
#endif

ALBUMCORE_API HGLOBAL AlbumGetBlock(DWORD dwAlbum, DWORD dwItem);
ALBUMCORE_API int AlbumPutBlock(DWORD dwAlbum, DWORD dwItem, HGLOBAL hDib);
ALBUMCORE_API int AlbumDrawDib(HDC hdc, HGLOBAL hDib, const RECT *rc, DWORD dwParam1, DWORD dwParam2);
/* Stand-in extension: forgets every stored block (tests). */
ALBUMCORE_API void AlbumResetBlocks(void);
