/*
 * Extensions of the compat layer (not Win32).  Nothing in <windows.h> declares them: code that
 * includes this header relies on the compat layer and builds only where it stands in.
 */
#pragma once
#include "compat/types.h"

/* Registers a module's compiled resource data (a .res file); called by the module's entry glue.
 * `data` stays valid until compat_unregister_resources. */
COMPAT_API void compat_register_resources(HINSTANCE module, const void *data, size_t size);
COMPAT_API void compat_unregister_resources(HINSTANCE module);

/* Maps lpszWinPath ("C:\dir\f", "dir\f", "/host/path") the way the file functions do and
 * copies the result to lpszHostPath.
 * RETURNS: the length copied (without the terminator); when cchHostPath is too small, the size
 * needed (with the terminator) and nothing is copied; 0 with ERROR_INVALID_PARAMETER for a null
 * path or a null buffer with a non-zero size.
 * NOTES: for library code that must hand a Windows path to the C runtime on Linux hosts. */
COMPAT_API DWORD WINAPI CompatHostPathA(LPCSTR lpszWinPath, LPSTR lpszHostPath, DWORD cchHostPath);

/* Why a private folder (the temporary folder GetTempPathA answers, the IrDA link folder) was
 * refused: it is a link, it belongs to another user, or others may enter it. */
#define COMPAT_ERROR_FOLDER_IS_LINK 0x2000C001L
#define COMPAT_ERROR_FOLDER_NOT_OWNED 0x2000C002L
#define COMPAT_ERROR_FOLDER_OPEN 0x2000C003L

/* Copies the host path of the private folder last refused into lpszFolder.
 * RETURNS: its length, or the size needed (with the terminator) when cchFolder is too small. */
COMPAT_API DWORD WINAPI CompatRefusedFolderA(LPSTR lpszFolder, DWORD cchFolder);
/* Makes the host folder lpszFolder (0700) when missing and checks that only this user can
 * enter it (as GetTempPathA does for the temporary folder).
 * RETURNS: ERROR_SUCCESS or why it is refused (COMPAT_ERROR_FOLDER_*, or the error met). */
COMPAT_API DWORD WINAPI CompatPrivateFolderA(LPCSTR lpszFolder);

/* Deletes the entries of the folder lpszDir whose names match lpszPattern (a folder with all
 * it holds), then the folder itself when it is empty; with COMPAT_TREE_FILES_ONLY only the
 * entries that are not folders, and the folder stays.  Walks by descriptor and never through a
 * link: a link met at any moment of the walk is removed itself, its target left as it is; the
 * folder named must not be a link either.
 * RETURNS: TRUE when all of it is gone; FALSE with the error when something stayed. */
#define COMPAT_TREE_FILES_ONLY 1
COMPAT_API BOOL WINAPI CompatDeleteTreeA(LPCSTR lpszDir, LPCSTR lpszPattern, DWORD dwFlags);
