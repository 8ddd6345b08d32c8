/*
 * The runs of a mask bitmap: the selected pixels of an 8-bit DIB as horizontal rectangles in
 * banded order, ready to be turned into a region.  Portable: no window system involved.
 *
 * Mask layout (the library's DIB convention):
 *
 *   +--------------------+----------------------+-----------------------------------+
 *   | BITMAPINFOHEADER   | biClrUsed x RGBQUAD  | rows, bottom-up, one byte a pixel,|
 *   | 40 bytes           | (palette size taken  | each ((width * 8 + 31) / 32) * 4  |
 *   |                    |  from biClrUsed)     | bytes long                        |
 *   +--------------------+----------------------+-----------------------------------+
 *
 * Invariant of the result (the banded form Windows keeps regions in): rectangles are sorted
 * by top, then by left; rectangles with the same top share the same bottom (a band); within a
 * band they neither touch nor overlap; two vertically adjacent bands never hold the same
 * horizontal spans (such rows are merged into one band).
 */
#pragma once
#include <windows.h>

#include <stddef.h>

#include <vector>

/* What MaskCheck found. */
enum MaskStatus {
    MASK_OK = 0,         // an 8-bit mask whose pixels can be read
    MASK_NOT_8BIT = 1,   // biBitCount is not 8: selects nothing
    MASK_EMPTY = 2,      // width or height not positive: selects nothing
    MASK_TRUNCATED = 3,  // header, palette or rows reach past cbMask: not read at all
    MASK_TOO_MANY = 4,   // more runs than allowed, or no memory for them: nothing kept
};

/* The most runs a mask may have (a window shape needs far fewer: 1920 x 1080 pixels of 25%
 * noise hold about 390,000). */
const size_t kMaskMaxRuns = size_t(1) << 21;

/* Checks the mask header at pMask (null gives MASK_EMPTY).  cbMask is the number of readable
 * bytes at pMask, or 0 when the caller cannot tell (then only the header's own values are
 * checked, and the caller vouches for the rest).  On MASK_OK, *pStride and *pOffset (each may
 * be null) receive the row length and the offset of the first stored row. */
MaskStatus MaskCheck(const void *pMask, size_t cbMask, size_t *pStride, size_t *pOffset);

/* Appends to *pRects the pixels of the mask whose byte equals nIndex, as rectangles in image
 * coordinates (origin top-left, stored row r is image row height - 1 - r), in the banded form
 * above.  Pad bytes at the end of each row are never read.  Returns the MaskCheck status; on
 * anything but MASK_OK nothing is appended.  An nIndex outside 0..255 selects nothing.  More
 * than maxRuns rectangles, or memory running short, give MASK_TOO_MANY (never an exception). */
MaskStatus MaskScanRuns(const void *pMask, size_t cbMask, int nIndex, std::vector<RECT> *pRects,
                        size_t maxRuns = kMaskMaxRuns);
