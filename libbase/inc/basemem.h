/*
 * Memory blocks: movable blocks reached through a handle, served by the Windows global-memory
 * functions (global mode) or by the imaging library's large-memory allocator (large-memory
 * mode).  BaseMemInit picks the mode once, before the first block; a block is only ever passed
 * to the operations of the mode that made it.  Whoever receives a new block frees it with
 * BaseMemFree.
 */
#pragma once
#include <windows.h>

/* Allocation flags are the global-memory ones; the library's own copies use 0x42. */
#define BASEMEM_COPY_FLAGS (GMEM_MOVEABLE | GMEM_ZEROINIT)

/* A new block of dwBytes (reported when 0), or 0. */
HGLOBAL BaseMemAlloc(UINT uFlags, DWORD dwBytes);
/* The resized block (contents kept), or 0; dwBytes 0 is reported. */
HGLOBAL BaseMemReAlloc(HGLOBAL hMem, DWORD dwBytes, UINT uFlags);
/* The allocator's result: 0 when freed, the handle when it was not a live block. */
HGLOBAL BaseMemFree(HGLOBAL hMem);
/* The block's bytes, or null; every lock is paired with BaseMemUnlock. */
LPVOID BaseMemLock(HGLOBAL hMem);
void BaseMemUnlock(HGLOBAL hMem);
/* The block's size in bytes, 0 on failure. */
DWORD BaseMemSize(HGLOBAL hMem);
/* Asks the imaging library for the mode (PxIsHugeVersion) and keeps it; always 1. */
int BaseMemInit();
/* The mode: non-zero in large-memory mode. */
int BaseMemIsHuge();

/* A new library block holding the bytes of the Windows global block hGlobal (unchanged), or 0
 * (zero-size source, allocation or lock failure). */
HGLOBAL GlobalToBaseMem(HGLOBAL hGlobal);
/* A new Windows global block (freed with GlobalFree) holding the bytes of hMem, or 0. */
HGLOBAL BaseMemToGlobal(HGLOBAL hMem);

/* The album library's stored bitmap (its block operation 17) as a new library block, or 0.
 * NOTES: in large-memory mode the album's global block is copied and freed. */
HGLOBAL AlbumGetMemBlock(DWORD dwParam1, DWORD dwParam2);
/* Hands hMem to the album library's block operation 18 (as a Windows global block) and returns
 * its result; a temporary copy made in large-memory mode is freed afterwards. */
int AlbumPutMemBlock(DWORD dwParam1, DWORD dwParam2, HGLOBAL hMem);
/* Draws the DIB block hMem into rc of hdc through the album library (operation 46). */
int DrawDibBlock(HDC hdc, HGLOBAL hMem, const RECT *rc, DWORD dwParam1, DWORD dwParam2);

/* 1 when lpszFile is not null and names an existing file or folder, else 0. */
int FileExists(LPCSTR lpszFile);
