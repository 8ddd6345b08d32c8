/*
 * Helpers shared by the DIB operations; not a public interface.
 */
#pragma once
#include <windows.h>

#include <stddef.h>

#include "gifcodec.h"

namespace dibutil {

/* Row geometry and the size limit are the codec core's, shared with the imaging library. */
using gifcodec::DibRowBytes;
using gifcodec::DibStride;
using gifcodec::kMaxPixelBytes;

/* A locked, checked view of a DIB block: 40-byte header, depth 1/4/8/24, positive sizes, a
 * palette of at most 256 entries and a block that holds every row.  Unlocks on Close or
 * destruction. */
struct DibView {
    HGLOBAL handle = 0;
    BYTE *base = nullptr;
    BITMAPINFOHEADER *bih = nullptr;
    BYTE *pixels = nullptr;
    int width = 0, height = 0, bits = 0;
    size_t stride = 0, rowBytes = 0, headBytes = 0;

    DibView() = default;
    DibView(const DibView &) = delete;
    DibView &operator=(const DibView &) = delete;
    ~DibView() { Close(); }
    bool Open(HGLOBAL h);
    void Close();
};

/* A new block for a width x height bitmap at `bits` per pixel whose header and palette take
 * `headBytes`.  With src, those bytes are copied from src (header and palette); without, the
 * header is fresh (biSize 40, planes 1, BI_RGB, biClrUsed = the palette entries headBytes
 * leaves room for) and the palette zero.  Width, height, bit count and biSizeImage are set.
 * The block is returned locked, its address in *ppBase; 0 when a size is not positive, the
 * rows would pass kMaxPixelBytes or memory is short. */
HGLOBAL NewBlock(const BITMAPINFOHEADER *src, size_t headBytes, int width, int height, int bits, bool zero,
                 BYTE **ppBase);

/* Frees a block (unlocking it first when asked). */
void Release(HGLOBAL h, bool unlock);

}  // namespace dibutil
