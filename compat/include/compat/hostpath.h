/*
 * Extension (not Win32): the host path that the compat layer opens for a Windows path.
 */
#pragma once
#include "compat/types.h"

/* Maps lpszWinPath ("C:\dir\f", "dir\f", "/host/path") the way the file functions do and
 * copies the result to lpszHostPath.
 * RETURNS: the length copied (without the terminator); when cchHostPath is too small, the size
 * needed (with the terminator) and nothing is copied; 0 with ERROR_INVALID_PARAMETER for a null
 * path or a null buffer with a non-zero size.
 * NOTES: for library code that must hand a Windows path to the C runtime on Linux hosts. */
COMPAT_API DWORD WINAPI CompatHostPathA(LPCSTR lpszWinPath, LPSTR lpszHostPath, DWORD cchHostPath);
