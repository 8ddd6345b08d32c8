/*
 * AlbumCore: the album library.  It keeps albums (album files holding numbered objects: a
 * file path and named fields each) and works on Windows global blocks only.
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

#include <stdint.h>

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
/* Stand-in extension: the last block AlbumGetBlock handed out (tests: whose is it, is it freed). */
ALBUMCORE_API HGLOBAL AlbumLastBlock(void);

/* ---- Albums ----
 * An album handle (a positive number) carries a table of field definitions, given at
 * ABM_Create, and the objects of the album file opened with it, numbered from 1 in the album's
 * order.  Object paths are at most 259 characters.  Functions answer non-zero (or a handle, an
 * index, a count) on success; 0 (or a negative value where noted) on failure with the reason in
 * GetLastError().  The album file format is described in platform/albumcore/album_file.cpp.
 * Ordinals on Windows are in AlbumCore.def. */

#define ABM_FIELD_NAME 127
#define ABM_FIELD_NAME2 257

/* A field definition, as callers hand them over: records of 392 bytes. */
typedef struct tagABM_FIELDDEF {
    uint32_t dwKind;  // 1: the thumbnail image field; 0: any other
    uint32_t dwSize;  // bytes the field holds (0: as many as stored, for the image)
    char szName[ABM_FIELD_NAME];
    char szName2[ABM_FIELD_NAME2];  // the name again
} ABM_FIELDDEF;

/* An object's name record, filled by ABM_GetImageName: its index, then its file path. */
typedef struct tagCAlbumImage {
    int32_t nIndex;
    char szPath[MAX_PATH];
} CAlbumImage;

/* A new handle with nFields definitions (1 to 64, names unique and not empty); the handle
 * belongs to `dwOwner` (a window, or 0) and ends with ABM_Release.  RETURNS the handle, or -1. */
ALBUMCORE_API int32_t ABM_Create(DWORD dwOwner, const ABM_FIELDDEF *pFields, int32_t nFields);
ALBUMCORE_API int ABM_Release(int32_t hAlbum);
/* Forgets the handle's album: no file, no objects. */
ALBUMCORE_API int ABM_NewAlbum(int32_t hAlbum);
/* Writes an empty album file with the handle's field table at lpszPath, which must not exist
 * yet (ERROR_FILE_EXISTS: an album is never overwritten by a new one); it becomes the handle's
 * album file. */
ALBUMCORE_API int ABM_CreateAlbumFile(int32_t hAlbum, LPCSTR lpszPath);
/* Reads the album file: its objects become the handle's (the ones before are dropped).  A file
 * that is not a whole album gives 0 with ERROR_FILE_CORRUPT, ERROR_BAD_FORMAT (not an album
 * file) or ERROR_NOT_SUPPORTED (a later version), and leaves the handle as it was. */
ALBUMCORE_API int ABM_OpenAlbum(int32_t hAlbum, LPCSTR lpszPath);
/* Writes the handle's album to lpszPath, whole or not at all: a file there is replaced only
 * once the new one is complete. */
ALBUMCORE_API int ABM_SaveAlbum(int32_t hAlbum, LPCSTR lpszPath);
/* Closes the album file (the handle holds nothing of it any more), so that it can be deleted. */
ALBUMCORE_API int ABM_CloseAlbum(int32_t hAlbum);
/* The path of the handle's album file into (lpszBuf, nSize). */
ALBUMCORE_API int ABM_GetAlbumPath(int32_t hAlbum, LPSTR lpszBuf, int32_t nSize);
/* The number of objects, or -1 for a handle that is not one. */
ALBUMCORE_API int32_t ABM_GetObjectCount(int32_t hAlbum);
/* Adds an object for an existing file: at nPos (1 to count + 1), or at the end for -1.
 * dwFlags must be 0.  RETURNS its index, or -1. */
ALBUMCORE_API int32_t ABM_InsertObject(int32_t hAlbum, LPCSTR lpszFile, int32_t nPos, DWORD dwFlags);
/* Removes object nIndex from the album (its file stays where it is); dwFlags must be 0. */
ALBUMCORE_API int ABM_DeleteObject(int32_t hAlbum, int32_t nIndex, DWORD dwFlags);
/* The object's path: into a cleared record, or into a 260-character buffer. */
ALBUMCORE_API int ABM_GetImageRecord(int32_t hAlbum, int32_t nIndex, CAlbumImage *pImage);
ALBUMCORE_API int ABM_GetImageNameBuf(int32_t hAlbum, int32_t nIndex, LPSTR lpszBuf);
/* Stores cb bytes as the object's field lpszField (one of the handle's table).  A data field
 * holds up to its defined size or 260 bytes, whichever is more; the image field up to 16 MB. */
ALBUMCORE_API int ABM_SetFieldData(int32_t hAlbum, int32_t nIndex, LPCSTR lpszField, const void *pData, DWORD cb);
/* Reads the field into pBuf: *pcb gives the buffer's size and receives the field's.  A field
 * never set gives 0 (ERROR_NOT_FOUND); a buffer too small 0 (ERROR_MORE_DATA) with the size
 * needed in *pcb. */
ALBUMCORE_API int ABM_GetFieldData(int32_t hAlbum, int32_t nIndex, LPCSTR lpszField, void *pBuf, DWORD *pcb);
/* The library's own album folder (created): MEDLEY_ALBUM_FOLDER when set, else "My Albums" in
 * the user's documents folder; no trailing backslash.  lpszBuf holds 260 characters. */
ALBUMCORE_API int ABM_GetDefaultFolder(LPSTR lpszBuf);

#ifdef __cplusplus
/* The two forms of the name query. */
inline int ABM_GetImageName(int32_t hAlbum, int32_t nIndex, CAlbumImage *pImage)
{
    return ABM_GetImageRecord(hAlbum, nIndex, pImage);
}
inline int ABM_GetImageName(int32_t hAlbum, int32_t nIndex, LPSTR lpszBuf)
{
    return ABM_GetImageNameBuf(hAlbum, nIndex, lpszBuf);
}
#endif
