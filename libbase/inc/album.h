/*
 * Album transfer: message files into the albums their paths name, and albums whose folder
 * moved rebuilt to point into it again, through the album library (albumcore.h).
 *
 * An album is a folder holding one album file "<album>.abm" and one folder per object:
 *   ...\<album>\<object folder>\<file>
 */
#pragma once
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "albumcore.h"
#include "base_assert.h"

/* One message file to insert. */
typedef struct tagCONTINFO {
    WORD wType;                // 1 to 5, see InsertIntoAlbums
    char szFile[MAX_PATH];     // ...\album\object folder\file
    char szText[MAX_PATH];     // type 1: user field 1; type 2: the name of the entry it replaces
    int32_t nValue1;           // user field 2, second number
    int32_t nValue2;           // user field 2, first number
    int32_t nValue3;           // user field 3, first number
    int32_t nValue4;           // user field 3, second number
} CONTINFO;

#ifdef __cplusplus
static_assert(sizeof(CONTINFO) == 540, "CONTINFO is shared with the host");
static_assert(offsetof(CONTINFO, szFile) == 2 && offsetof(CONTINFO, szText) == 262 &&
                  offsetof(CONTINFO, nValue1) == 524 && offsetof(CONTINFO, nValue4) == 536,
              "CONTINFO is shared with the host");
static_assert(sizeof(ABM_FIELDDEF) == 392, "field definitions are shared with the album library");
static_assert(sizeof(CAlbumImage) == 264, "the name record is shared with the album library");
#endif

#define ALBUM_FIELD_COUNT 10
#define ALBUM_USER1 "MB_ABMFLD_USER1"
#define ALBUM_USER2 "MB_ABMFLD_USER2"
#define ALBUM_USER3 "MB_ABMFLD_USER3"

/* The table every album handle of the library is made with (10 definitions). */
void GetAlbumFieldTable(ABM_FIELDDEF table[ALBUM_FIELD_COUNT]);
/* A new album handle with that table (released with ABM_Release), or a negative value. */
int32_t CreateAlbumHandle(DWORD dwOwner);

/* The album file a record goes to (a 260-character buffer): the album is the folder two
 * levels above szFile (the third separator from the end); types 3 and 4 take the album file of
 * that name in the album library's own folder.  RETURNS 1, or 0 (ERROR_BAD_PATHNAME) for a
 * path with fewer than three separators. */
int GetAlbumFileOf(const CONTINFO *lpContInfo, LPSTR lpszAbmFile);

/* Inserts each record's file into its album, in order: an older entry for the same file (for
 * type 2 the entry named by szText) is removed first, and the user fields are written: field 1
 * szText for type 1, empty for types 2 to 5, none for other types; field 2 "nValue2/nValue1";
 * field 3 "nValue3/nValue4".  A missing album is created.
 * RETURNS the number of records stored.  Processing stops at the first record that fails (the
 *   last error says why); that album stays as it was.  Nothing is done when the first file
 *   does not exist. */
int InsertIntoAlbums(DWORD dwOwner, const CONTINFO *lpContInfo, int32_t nCount);

/* Rebuilds the album lpszAbmFile, whose folder moved: every object is looked for under the
 * album file's own folder (its object folder and file name kept) and dropped when it is not
 * there; user fields 1 to 3 go along.  hSource is an album handle of the caller's (left
 * closed).  A leftover "<name>_tmp<ext>" beside the album means an earlier rebuild did not end:
 * nothing is done (ERROR_ALREADY_EXISTS).
 * RETURNS 1 when the album was rebuilt; 0 otherwise, with the album file as it was. */
int RebaseAlbum(DWORD dwOwner, LPCSTR lpszAbmFile, int32_t hSource);
