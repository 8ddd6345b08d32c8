/*
 * Pieces of the GIF reader and writer that the container's files share; not a public
 * interface.  The LZW code itself and the row geometry live in the codec core (gifcodec.h).
 */
#pragma once
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "gif.h"
#include "gifcodec.h"

namespace gifcodec {

/* Reorders the rows of a DIB decoded in interlace order into image order.  Replaces *phDib
 * with a new block and frees the old one; returns 1, or 0 (and *phDib unchanged) when a new
 * block cannot be made. */
int Deinterlace(HGLOBAL *phDib);

}  // namespace gifcodec
