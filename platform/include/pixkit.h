/*
 * PixKit: the imaging library.  File decoding, format conversion, resampling and the
 * large-memory allocator.
 *
 * Bitmaps are DIB memory blocks: a 40-byte BITMAPINFOHEADER, biClrUsed palette entries of 4
 * bytes, bottom-up rows padded to 4 bytes.  Every bitmap result is a new block owned by the
 * caller (freed with BaseMemFree) and 0 on failure.
 */
#pragma once
#include <windows.h>

#include "platform_api.h"

#ifdef PIXKIT_BUILD
#define PIXKIT_API extern "C" MD_DLL_EXPORT
#else
#define PIXKIT_API extern "C" MD_DLL_IMPORT
#endif

/* Type codes of PxDibGetType. */
enum {
    PX_TYPE_8BIT = 1,
    PX_TYPE_TRUECOLOR = 2,
    PX_TYPE_8BIT_GREY = 3,
    PX_TYPE_4BIT = 4,
    PX_TYPE_1BIT = 5,
};

/* The picture files open as 0 with GetLastError() PX_ERROR_UNBACKED_SIZE when they declare
 * more pixels than their data can hold, decided before anything is allocated for them: a JPEG
 * whose scans have less than a bit for each 8 x 8 block of each component, a PNG whose image
 * data would inflate by more than deflate's 1032 to 1, a GIF whose first image has less than
 * a byte of LZW data for each 4096 pixels, a BMP whose rows are not all there. */
#define PX_ERROR_UNBACKED_SIZE 0x20000501L

PIXKIT_API HGLOBAL WINAPI PxOpenFile(LPCSTR lpszFile, int nReserved1, int nReserved2);
/* The picture of a file, a JPEG decoded at 1/8, 1/4 or 1/2 of its size when that still keeps
 * each side (rounded up) at least nMinWidth x nMinHeight: the smallest such.  Each pixel is
 * then the mean of the pixels it stands for.  Other pictures, and JPEGs the reduction does not
 * cover (progressive ones, for one), come at full size as from PxOpenFile; 0 likewise. */
PIXKIT_API HGLOBAL WINAPI PxOpenFileReduced(LPCSTR lpszFile, int nMinWidth, int nMinHeight);
PIXKIT_API HGLOBAL WINAPI PxLoadBmpFileThumbnail(LPCSTR lpszFile, int nReserved1, int nReserved2);
PIXKIT_API BOOL WINAPI PxDibGetSize(HGLOBAL hDib, int *pWidth, int *pHeight);
PIXKIT_API int WINAPI PxDibGetType(HGLOBAL hDib);
PIXKIT_API HGLOBAL WINAPI PxDibConvert1BitToTrueColor(HGLOBAL hDib);
PIXKIT_API HGLOBAL WINAPI PxDibConvert4BitToTrueColor(HGLOBAL hDib);
PIXKIT_API HGLOBAL WINAPI PxDibConvert8BitToTrueColor(HGLOBAL hDib);
PIXKIT_API HGLOBAL WINAPI PxDibDuplicate(HGLOBAL hDib);
PIXKIT_API HGLOBAL WINAPI PxDibNew(int nWidth, int nHeight, int nBitCount, int nResolution, DWORD dwFillRGB);
PIXKIT_API HGLOBAL WINAPI PxDibResample(HGLOBAL hDib, int nWidth, int nHeight);
PIXKIT_API HGLOBAL WINAPI PxDibResampleHQ(HGLOBAL hDib, int nWidth, int nHeight);
PIXKIT_API HGLOBAL WINAPI PxDibCrop(HGLOBAL hDib, int x, int y, int nWidth, int nHeight);
/* The bitmap (any depth above) as a baseline JPEG file's octets at nQuality (1 to 100) in a new
 * block (freed with BaseMemFree), *pcbJpeg getting their count; 0 (and *pcbJpeg 0) for a bad
 * argument, a bitmap that cannot be read or short memory.
 * NOTES: the block may be larger than the octets (Windows rounds global blocks up): use
 * *pcbJpeg, never the block's size. */
PIXKIT_API HGLOBAL WINAPI PxDibEncodeJpeg(HGLOBAL hDib, int nQuality, DWORD *pcbJpeg);

/* Large-memory allocator: behaves like the Windows global-memory functions of the same flags,
 * with its own handles, able to hold blocks of several hundred megabytes. */
PIXKIT_API BOOL WINAPI PxIsHugeVersion(void);
/* Stand-in setting: the answer of PxIsHugeVersion (default from MEDLEY_PIXKIT_HUGE=1). */
PIXKIT_API void WINAPI PxSetHugeVersion(BOOL bHuge);
PIXKIT_API HGLOBAL WINAPI ZelMemAlloc(UINT uFlags, SIZE_T dwBytes);
PIXKIT_API HGLOBAL WINAPI ZelMemReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);
PIXKIT_API HGLOBAL WINAPI ZelMemFree(HGLOBAL hMem);
PIXKIT_API LPVOID WINAPI ZelMemLock(HGLOBAL hMem);
PIXKIT_API BOOL WINAPI ZelMemUnlock(HGLOBAL hMem);
PIXKIT_API SIZE_T WINAPI ZelMemSize(HGLOBAL hMem);
