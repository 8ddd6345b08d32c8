/*
 * GDI: bitmap objects and device-independent bitmap records.
 *
 * Bitmaps made here are device-dependent bitmaps (DDBs) kept in memory; their pixels are
 * reached through GetDIBits.  Every object made by a Create* function or handed out by
 * LoadBitmapA / GetIconInfo belongs to the caller, who releases it with DeleteObject.
 */
#pragma once
#include "compat/types.h"

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER, *LPBITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER, *PBITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD, *LPRGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO, *PBITMAPINFO;

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;

#define BI_RGB 0L
#define BI_RLE8 1L
#define BI_RLE4 2L
#define BI_BITFIELDS 3L

#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1
#define CBM_INIT 0x04L

/* GetObjectType results. */
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_METADC 4
#define OBJ_PAL 5
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_METAFILE 9
#define OBJ_MEMDC 10
#define OBJ_EXTPEN 11
#define OBJ_ENHMETADC 12
#define OBJ_ENHMETAFILE 13

/* CreateBitmap: a DDB of nWidth x nHeight with the given planes (1) and bits per pixel (1, 4,
 * 8, 16, 24 or 32).  lpBits, when given, holds the rows top-down, each padded to 2 bytes.
 * RETURNS the bitmap, NULL with ERROR_INVALID_PARAMETER for bad sizes or depths.
 * NOTES a 0 x 0 request gives the shared 1x1 monochrome stock bitmap, as Windows does. */
COMPAT_API HBITMAP WINAPI CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void *lpBits);

/* CreateDIBitmap: a DDB compatible with hdc (monochrome when hdc is NULL or a memory DC that
 * holds a monochrome bitmap), initialised from the DIB when fdwInit has CBM_INIT. */
COMPAT_API HBITMAP WINAPI CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER *pbmih, DWORD fdwInit, const void *pjBits,
                                         const BITMAPINFO *pbmi, UINT iUsage);

/* GetDIBits: copies scan lines [uStartScan, uStartScan + cScanLines) of the bitmap (counted
 * from the bottom for a bottom-up request) into lpvBits in the format of lpbmi, with its colour
 * table.  Output depths 1, 4, 8, 16, 24 and 32 with DIB_RGB_COLORS.
 * RETURNS the number of lines copied, 0 on failure.
 * NOTES with lpvBits NULL and biBitCount 0 it fills the header with the bitmap's own format;
 * with lpvBits NULL and a depth it fills biSizeImage and the colour table. */
COMPAT_API int WINAPI GetDIBits(HDC hdc, HBITMAP hbm, UINT uStartScan, UINT cScanLines, LPVOID lpvBits,
                                LPBITMAPINFO lpbmi, UINT uUsage);

/* GetObjectA: for a bitmap, fills a BITMAP (bmBits NULL for a DDB).  With lpv NULL returns the
 * size needed; with c smaller than the record, 0. */
COMPAT_API int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv);
COMPAT_API DWORD WINAPI GetObjectType(HGDIOBJ h);
COMPAT_API BOOL WINAPI DeleteObject(HGDIOBJ ho);

/* Memory device contexts: CreateCompatibleDC(NULL) gives one that holds the 1x1 monochrome
 * stock bitmap. */
COMPAT_API HDC WINAPI CreateCompatibleDC(HDC hdc);
COMPAT_API BOOL WINAPI DeleteDC(HDC hdc);
