/*
 * PixKit internals: block allocation in the mode the library answers for, and a checked view
 * of a DIB block.
 */
#pragma once
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "gifcodec.h"

namespace pixkit {

/* Bitmaps are made in the allocator that PxIsHugeVersion names, so BaseMemFree frees them. */
HGLOBAL BlockAlloc(size_t bytes, bool zero);
void *BlockLock(HGLOBAL h);
void BlockUnlock(HGLOBAL h);
void BlockFree(HGLOBAL h);
size_t BlockSize(HGLOBAL h);

/* Row geometry and the size limit are the codec core's, shared with the base library. */
using gifcodec::kMaxPixelBytes;
inline size_t Stride(int width, int bits) { return gifcodec::DibStride(size_t(width), bits); }

/* A locked, checked DIB: 40-byte header, depth 1, 4, 8, 24 or 32, positive width, height of
 * either sign (negative: top-down), palette within 256 entries, rows inside the block. */
struct View {
    HGLOBAL handle = 0;
    const BYTE *base = nullptr;
    const BITMAPINFOHEADER *bih = nullptr;
    const RGBQUAD *palette = nullptr;
    int colours = 0;
    const BYTE *pixels = nullptr;
    int width = 0, height = 0, bits = 0;
    bool topDown = false;
    size_t stride = 0, headBytes = 0;

    View() = default;
    View(const View &) = delete;
    View &operator=(const View &) = delete;
    ~View() { Close(); }
    bool Open(HGLOBAL h);
    void Close();
    /* Stored row holding image row y (from the top). */
    const BYTE *Row(int y) const {
        return pixels + size_t(topDown ? y : height - 1 - y) * stride;
    }
    /* The colour (blue, green, red) of pixel x of a row. */
    void Pixel(const BYTE *row, int x, BYTE *bgr) const;
};

/* A new bottom-up DIB of width x height at `bits` with `colours` palette entries, locked;
 * *ppBase gets its address.  0 on failure. */
HGLOBAL NewDibBlock(int width, int height, int bits, int colours, BYTE **ppBase);

/* A new 24-bit copy of any DIB the view accepts; 0 on failure. */
HGLOBAL ToTrueColour(HGLOBAL hDib);

/* Whether the size a picture file declares is backed by its data (pixkit.h, PxOpenFile):
 * true also for data whose size does not read, which the decoders then refuse themselves. */
bool SizeBacked(const BYTE *data, size_t size);

/* Decoders: a new DIB, or 0. */
HGLOBAL DecodeBmp(const BYTE *data, size_t size);
HGLOBAL DecodeGif(const BYTE *data, size_t size);
HGLOBAL DecodeWithStb(const BYTE *data, size_t size);
/* A sequential JPEG at 1/8, 1/4 or 1/2 of its size (each side rounded up): the smallest that
 * is still at least minW x minH.  0 when none is, or the file is damaged or uses what the
 * reduction does not cover: decode it at full size then. */
HGLOBAL DecodeJpegReduced(const BYTE *data, size_t size, int minW, int minH);

}  // namespace pixkit
