/*
 * Pieces of the GIF codec shared by the reader and the writer; not a public interface.
 */
#pragma once
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "gif.h"

namespace gifcodec {

/* Largest pixel area of one frame bitmap we agree to build (bytes of rows). */
constexpr size_t kMaxFramePixelBytes = size_t(1) << 28;

/* Interlace passes (GIF89a appendix E): first row and step of each pass. */
struct InterlacePass {
    int start;
    int step;
};
extern const InterlacePass kInterlacePasses[4];

/* Image row (from the top) that decoded row k of an interlaced image of `height` rows fills. */
int InterlacedRow(int k, int height);

/* Bits per DIB pixel for a frame of `colourBits`: 1 below 2, 4 for 2 to 4, 8 from 5. */
int DibBitsForColourBits(int colourBits);

/* Bytes per stored row: (width * bits + 7) / 8 raised to a multiple of 4. */
size_t DibStride(size_t width, int bits);

/* Bounded LZW input: the sub-block chain starting at data[pos] (the first count byte),
 * gathered into one run of bits.  `consumed` reports the bytes used up to and including the
 * chain's terminator (or up to the end of the data when it has none). */
struct LzwInput {
    const BYTE *bits;  // gathered code bytes, followed by 4 zero bytes
    size_t nbits;      // number of valid bits
    size_t consumed;   // bytes of the chain, counted from its first count byte
    bool terminated;   // the chain ended with a zero count byte
};

/* Where decoded pixels go: a bottom-up DIB's rows. */
struct LzwTarget {
    BYTE *pixels;  // first stored row (the image bottom)
    int width;
    int height;
    int bits;        // 1, 4 or 8
    size_t stride;
    bool interlaced;  // write rows in the interlace order
};

/* Decodes one code stream of minimum code size `minCodeSize` into `target`.  Stops with
 * success at the end code, at the end of the data or once every row is written.  Returns 1,
 * or 0 for a bad code size, a code that was never defined, or no memory. */
int DecodeLzw(int minCodeSize, const LzwInput &in, const LzwTarget &target);

/* Reads the code of `codeSize` bits at bit `*pBitPos` of `in`, least significant bit first;
 * returns `endCode` when the bits run out. */
inline int ReadCode(const LzwInput &in, size_t *pBitPos, int codeSize, int codeMask, int endCode) {
    size_t pos = *pBitPos;
    if (pos + size_t(codeSize) > in.nbits)
        return endCode;
    const BYTE *p = in.bits + (pos >> 3);
    uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    *pBitPos = pos + size_t(codeSize);
    return int((v >> (pos & 7)) & uint32_t(codeMask));
}

/* Reorders the rows of a DIB decoded in interlace order into image order.  Replaces *phDib
 * with a new block and frees the old one; returns 1, or 0 (and *phDib unchanged) when a new
 * block cannot be made. */
int Deinterlace(HGLOBAL *phDib);

/* Makes a zero-filled frame DIB of width x height at `bits` per pixel with `colours` palette
 * entries; 0 when the size is absurd or memory is short. */
HGLOBAL NewFrameDib(int width, int height, int bits, int colours);

}  // namespace gifcodec
