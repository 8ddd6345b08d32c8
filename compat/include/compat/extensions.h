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
