/*
 * Operations on packed device-independent bitmaps (DIB memory blocks).
 *
 * A DIB block holds, in order:
 *
 *   offset 0    BITMAPINFOHEADER (40 bytes; biHeight > 0: rows bottom-up)
 *   offset 40   biClrUsed RGBQUADs (blue, green, red, 0); none for 24-bit bitmaps made here
 *   40 + 4 * biClrUsed
 *               rows of (biWidth * biBitCount + 7) / 8 bytes, each padded to a multiple of 4;
 *               1-bit pixels from the most significant bit, 4-bit high nibble first,
 *               24-bit pixels blue, green, red
 *
 * Every new block belongs to the caller, who frees it with BaseMemFree.  Operations return 0
 * (or null) for a null argument, a size that is not positive, an unsupported depth or short
 * memory, and free what they allocated before the failure.
 */
#pragma once
#include <windows.h>

#include <stdint.h>

/* A blank bitmap of the header's width and height: 24-bit when biBitCount is 24 (each pixel
 * the fill value's bytes 0, 1, 2 in storage order), otherwise 8-bit with the grey palette
 * (i, i, i) and every pixel bits 16..23 of the fill value.  Resolutions come from the header. */
HGLOBAL NewDib(BITMAPINFOHEADER bih, DWORD dwFill);

/* Palette entries of a header (40-byte headers take a non-zero biClrUsed up to 8 bits per
 * pixel, otherwise 1 -> 2, 4 -> 16, 8 -> 256, else 0; other headers are core headers). */
WORD DibNumColors(const void *lpbi);
/* DibNumColors x 4 (x 3 for a core header). */
WORD DibPaletteSize(const void *lpbi);

/* A w x h part at the same depth, x and y from the top-left; what lies outside the source
 * comes out as zero bytes. */
HGLOBAL CropDib(HGLOBAL hDib, int x, int y, int nWidth, int nHeight);

/* A W x H canvas of the fill index with the 1-, 4- or 8-bit source placed with its top-left
 * corner at (x, y).  0 unless the source is smaller than the canvas in some direction and lies
 * wholly inside it. */
HGLOBAL PlaceDibOnCanvas(HGLOBAL hDib, int x, int y, int nCanvasWidth, int nCanvasHeight, int nFill);

/* Cuts a 1-, 4- or 8-bit bitmap to the box of bytes that differ from the background.
 * NOTES: the box is found byte by byte; outputs that found nothing keep the caller's values. */
HGLOBAL TrimDib(HGLOBAL hDib, int *pLeft, int *pTop, int *pRight, int *pBottom, int nBackground);

/* Nearest-neighbour resize of a 1-, 4- or 8-bit bitmap; row fill bytes take the fill value. */
HGLOBAL ResizeDibNearest(HGLOBAL hDib, int nWidth, int nHeight, int nFill);

/* Smoothly shrinks a bitmap into bw x bh keeping its proportions.  0 when it already fits. */
HGLOBAL FitDibHQ(HGLOBAL hDib, int nBoxWidth, int nBoxHeight);
/* Smoothly scales into the box whatever the size; stores the whole-number enlargement factor
 * through pFactor when it exceeds 1. */
HGLOBAL ScaleDibToBoxHQ(HGLOBAL hDib, int nBoxWidth, int nBoxHeight, double *pFactor);
/* Scales *phDib down to cover the rectangle and crops the centred part; each step that
 * succeeds replaces (and frees) the handle. */
void CoverDibToRect(HGLOBAL *phDib, const RECT *pRect);

/* An 8-bit (2r+1)^2 brush mask: 255 - strength * gauss(d); r <= 0 gives a disc mask. */
HGLOBAL MakeSoftBrush(int nStrength, int nRadius, int nReserved);
/* An 8-bit square of grey with a black disc of radius r, margin pixels around it. */
HGLOBAL MakeDiscMask(int nReserved1, int nRadius, int nGrey, int nReserved2, int nMargin);

/* Tiles a locked DIB over a rectangle (mode 1: first row only, 2: first column only).
 * Returns 1, or 0 for an empty rectangle or a null argument. */
int TileDib(HDC hDC, const void *pDibData, const RECT *pRect, int nStep, const RECT *pClip, int nMode);
/* Draws a bar from a head, a tiled middle and a tail (each locked, any may be null). */
void DrawDibBar(HDC hDC, const void *pHead, const void *pMiddle, const void *pTail, int nLeft, int nTop,
                int nRight, int nBottom, int bHorizontal, const RECT *pClip);
void DrawDibBarHandles(HDC hDC, HGLOBAL hHead, HGLOBAL hMiddle, HGLOBAL hTail, int nLeft, int nTop,
                       int nRight, int nBottom, int bHorizontal, const RECT *pClip);

/* A 32 x 32 24-bit DIB of the file's shell icon, or 0. */
HGLOBAL GetFileIconDib(const char *lpszFile);
/* A 24-bit DIB section as large as the screen, or null. */
HBITMAP CreateScreenDibSection();
/* 1 when the key is down, else 0. */
int IsKeyDown(int nVirtKey);
