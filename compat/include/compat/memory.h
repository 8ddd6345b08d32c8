/* Global memory: fixed and movable blocks with lock counts, as kernel32 keeps them. */
#pragma once
#include "compat/types.h"

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_NOCOMPACT 0x0010
#define GMEM_NODISCARD 0x0020
#define GMEM_ZEROINIT 0x0040
#define GMEM_MODIFY 0x0080
#define GMEM_DISCARDABLE 0x0100
#define GMEM_SHARE 0x2000
#define GMEM_DDESHARE 0x2000
#define GMEM_DISCARDED 0x4000
#define GMEM_LOCKCOUNT 0x00FF
#define GMEM_INVALID_HANDLE 0x8000
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#define ERROR_DISCARDED 157L
#define ERROR_NOT_LOCKED 158L

/* GlobalAlloc: GMEM_FIXED gives the block's address as its handle; GMEM_MOVEABLE gives a handle
 * that GlobalLock turns into an address (lock count up to 255).  A movable block of 0 bytes is
 * allocated discarded: GlobalLock of it gives NULL.  NULL on failure (ERROR_NOT_ENOUGH_MEMORY). */
COMPAT_API HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
/* Keeps the contents up to the smaller size; GMEM_ZEROINIT clears what grows.  A locked or
 * fixed block moves only when GMEM_MOVEABLE is given.  GMEM_MODIFY changes flags only. */
COMPAT_API HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);
/* NULL on success; the handle itself on failure (ERROR_INVALID_HANDLE). */
COMPAT_API HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);
COMPAT_API LPVOID WINAPI GlobalLock(HGLOBAL hMem);
/* TRUE while still locked; FALSE with NO_ERROR when the count reaches 0, FALSE with
 * ERROR_NOT_LOCKED when it was not locked. */
COMPAT_API BOOL WINAPI GlobalUnlock(HGLOBAL hMem);
/* The size asked for; 0 for a freed or unknown handle (ERROR_INVALID_HANDLE). */
COMPAT_API SIZE_T WINAPI GlobalSize(HGLOBAL hMem);
COMPAT_API UINT WINAPI GlobalFlags(HGLOBAL hMem);
COMPAT_API HGLOBAL WINAPI GlobalHandle(LPCVOID pMem);

COMPAT_API HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
COMPAT_API HLOCAL WINAPI LocalFree(HLOCAL hMem);
COMPAT_API LPVOID WINAPI LocalLock(HLOCAL hMem);
COMPAT_API BOOL WINAPI LocalUnlock(HLOCAL hMem);
COMPAT_API SIZE_T WINAPI LocalSize(HLOCAL hMem);
