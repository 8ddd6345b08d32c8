/*
 * Test hooks of the compat layer (not Win32): fault injection.  Only on non-Windows hosts.
 */
#pragma once
#include "compat/types.h"

/* Make the Nth call (1-based) from now on of `layer` fail: "alloc", "file", "socket",
 * "registry".  n == 0 clears it.
 * NOTES: the "file" layer counts CreateFileA, ReadFile, WriteFile and the calls that change the
 * file system (DeleteFileA, MoveFileA, MoveFileExA, CopyFileA, CreateDirectoryA); the
 * "registry" layer counts RegCreateKeyExA (and RegCreateKeyA), which fails with
 * ERROR_ACCESS_DENIED.  A program
 * started with MEDLEY_FAIL_NTH="file:3,alloc:1" begins armed the same way. */
COMPAT_API void compat_fail_nth(const char *layer, unsigned n);

/* The calls of `layer` left until its armed failure (1: the next call fails); 0 when nothing is
 * armed or the failure has happened. */
COMPAT_API unsigned compat_fault_remaining(const char *layer);

/* Make GetProcAddress answer ERROR_PROC_NOT_FOUND for `name` (hide != 0) or answer it again;
 * a null or empty name shows every export again. */
COMPAT_API void compat_hide_proc(const char *name, int hide);

/* Make GetProcAddress answer `fn` for `name`, from any module (a stand-in export for a test);
 * a null fn gives the real export back.  A hidden name stays hidden. */
COMPAT_API void compat_replace_proc(const char *name, void *fn);

/* The common file dialogs asked so far (GetOpenFileNameA, GetSaveFileNameA); the last one's
 * flags, and its filter list in (filter, cb): the texts with their zeros, the final empty one
 * left out; *filterLen gets the list's whole length. */
COMPAT_API unsigned compat_last_file_dialog(DWORD *flags, char *filter, size_t cb, size_t *filterLen);
