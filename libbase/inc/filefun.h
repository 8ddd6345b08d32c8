/*
 * File and folder routines: the scratch folder, deleting files and folder trees, the login
 * marker, the account record, scrambled texts, the length of a sound file and the room left
 * on the system drive.  Each is a plain function; none keeps state between calls.
 *
 * Paths are ANSI, at most 260 characters.  Failures set the last error (GetLastError) to the
 * real cause where the result alone cannot say it.
 */
#pragma once
#include <windows.h>

#include "base_assert.h"

#define ACCTINFO_SIZE 522     /* the account record, stored as it is */
#define FONTFACE_SLOT_SIZE 20 /* one font face name and its terminator */

/* Deletes the files (not the folders) directly inside "MMSTemp" in the user's temporary
 * folder, read-only ones too; the folder itself stays.
 * RETURNS 1 when the folder could be listed, else 0 (no such folder). */
int ClearTempFolder();

/* Deletes the files directly inside lpszDir (given with or without its trailing backslash).
 * Read-only files and subfolders stay, and so does the folder.
 * RETURNS 1 when every file in it was deleted, 0 when the folder does not exist or some file
 *   stayed (the last error says why the last one stayed). */
int DeleteDirFiles(LPCSTR lpszDir);

/* Deletes the entries of lpszDir (ending with a backslash) that lpszPattern selects, folders
 * with everything in them, read-only files too; then tries to remove lpszDir itself, which
 * succeeds only when nothing else was in it.  Subfolders are emptied whole ("*.*"); the
 * pattern selects at the top level only. */
void DeleteDirTree(LPCSTR lpszDir, LPCSTR lpszPattern);

/* Deletes a file even when it is read-only.  RETURNS DeleteFileA's result (non-zero on
 * success).  NOTES: a file that still cannot be deleted gets its read-only attribute back. */
BOOL DeleteFileForce(LPCSTR lpszFile);

/* The login marker "temp_log.ini" in the user's temporary folder: [login] login=1 or 0.
 * SetLoginMarker RETURNS non-zero when the value was written, -1 when the marker file could
 *   not be created.  An existing marker is rewritten in place.
 * ClearLoginMarker RETURNS non-zero when a marker existed and was deleted, else 0. */
int SetLoginMarker(int bLoggedIn);
int ClearLoginMarker();

/* The account record: ACCTINFO_SIZE bytes stored unchanged as the whole account file
 * "<program files>\Zelkova\<product>\<version>\<product>1.tl" (its folder created).
 * SaveAcctInfo RETURNS 1 when the whole record is in place; 0 otherwise, and the file
 *   as it was before stays (the record is written beside it and renamed into place).
 * LoadAcctInfo fills the record (zeros first) and RETURNS 1 when a whole record was read;
 *   0 when there is no account file (ERROR_FILE_NOT_FOUND), it could not be read, or it is
 *   shorter than a record (ERROR_HANDLE_EOF: what it holds is in the record, the rest zero). */
int SaveAcctInfo(const void *lpAcctInfo);
int LoadAcctInfo(void *lpAcctInfo);
/* The account file's path (260 characters); 0 when it cannot be made. */
int GetAcctInfoPath(LPSTR lpszBuf);

/* Scrambles lpStr1 into digits: a three-digit key, then one three-digit group per character
 * (the character's signed value plus the key).  lpStr2 is a 260-character buffer.
 * RETURNS 1; 0 (lpStr2 empty, ERROR_INSUFFICIENT_BUFFER) when the digits would not fit.
 * NOTES: the key is drawn at random among those under which every character of the text
 *   survives the round trip; a text that no key carries whole gives 0 (lpStr2 empty,
 *   ERROR_INVALID_DATA) instead of digits that lose characters. */
int EncodeText(LPCSTR lpStr1, LPSTR lpStr2);
/* The text back from scrambled digits (a trailing part group is ignored); lpStr2 is a
 * 260-character buffer.  RETURNS 1; 0 (lpStr2 empty, ERROR_INVALID_DATA) for digits that
 * were not made by EncodeText. */
int DecodeText(LPCSTR lpStr1, LPSTR lpStr2);

/* The length of a sound file in milliseconds, from the media control interface: ".mid" (any
 * case) through the sequencer, every other file through "waveaudio".  -1.0 on any failure. */
double GetMediaLength(LPCSTR lpszFile);

/* 1 when "c:\" has 150 MiB or more free; otherwise shows string 251 ("The free disk space is
 * not enough.") in a message box captioned "Medley Studio" and RETURNS 0. */
int CheckDiskSpace(HWND hWndOwner);

/* Font faces offered for texts: string resources 222 to 225 in four slots of
 * FONTFACE_SLOT_SIZE bytes.  A name too long for its slot leaves the slot empty.
 * (Windows-target code, with the user interface.) */
void GetFontFaces(char lpszFaces[4][FONTFACE_SLOT_SIZE]);
