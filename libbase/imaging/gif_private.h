/*
 * Pieces of the GIF reader and writer that the container's files share; not a public
 * interface.  The LZW code itself and the row geometry live in the codec core (gifcodec.h).
 */
#pragma once
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "fileio.h"
#include "gif.h"
#include "dib_private.h"
#include "gifcodec.h"

namespace gifcodec {

/* Reorders the rows of a DIB decoded in interlace order into image order.  Replaces *phDib
 * with a new block and frees the old one; returns 1, or 0 (and *phDib unchanged) when a new
 * block cannot be made. */
int Deinterlace(HGLOBAL *phDib);

/* ReduceToPalette with GIF_REDUCE_REFINE, for a checked 24-bit view: nMode 1, 2 or 3,
 * nColours 255 or 256, nLevelBits 5 or 6 (the median cut's histogram). */
HGLOBAL ReduceRefined(const dibutil::DibView &src, int nMode, int nColours, int nLevelBits);

/* Colour bits for a table of `count` entries: the smallest n (1 to 8) with 2^n >= count. */
int ColourBitsForCount(int count);

/* Steps of a long operation, reported to a progress callback. */
struct Progress {
    GIFPROGRESSPROC proc = nullptr;
    void *context = nullptr;
    int done = 0;
    int total = 0;
    void Step() {
        ++done;
        if (proc)
            proc(context, done, total);
    }
};

}  // namespace gifcodec
