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

/* LZW input read straight from a sub-block chain (count byte, that many bytes, ... 0) that
 * starts at data[start], never past data[size].  Codes come least significant bit first
 * through a 64-bit reservoir.  After the decode, `consumed` is the number of bytes of the
 * chain from its first count byte up to and including its terminator (or up to the end of
 * the data when it has none), and `terminated` tells which. */
struct LzwInput {
    const BYTE *data = nullptr;
    size_t size = 0;
    size_t start = 0;
    // reader state
    size_t pos = 0;        // next unread byte
    size_t blockLeft = 0;  // bytes left in the current sub-block
    uint64_t acc = 0;      // held bits, lowest first
    int held = 0;          // number of held bits
    bool ended = false;    // terminator or end of data reached
    // results
    size_t consumed = 0;
    bool terminated = false;

    void Begin(const BYTE *d, size_t n, size_t s) {
        data = d;
        size = n;
        start = pos = s;
        blockLeft = 0;
        acc = 0;
        held = 0;
        ended = false;
    }
    /* Skips what is left of the chain and sets consumed / terminated. */
    void Finish();
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
int DecodeLzw(int minCodeSize, LzwInput &in, const LzwTarget &target);

/* Reads the next code of `codeSize` bits; `endCode` once the chain ends (a zero count byte
 * or the end of the data), leaving the position on the terminator. */
inline int ReadCode(LzwInput &in, int codeSize, int codeMask, int endCode) {
    while (in.held < codeSize) {
        if (in.blockLeft == 0) {
            if (in.pos >= in.size || in.data[in.pos] == 0) {
                in.ended = true;
                return endCode;
            }
            in.blockLeft = in.data[in.pos++];
        }
        // Take as many bytes of this sub-block as the reservoir holds.
        size_t avail = in.size - in.pos;
        if (avail == 0) {
            in.ended = true;
            return endCode;
        }
        size_t take = size_t((64 - in.held) / 8);
        if (take > in.blockLeft)
            take = in.blockLeft;
        if (take > avail)
            take = avail;
        const BYTE *p = in.data + in.pos;
        for (size_t k = 0; k < take; ++k) {
            in.acc |= uint64_t(p[k]) << in.held;
            in.held += 8;
        }
        in.pos += take;
        in.blockLeft -= take;
    }
    int code = int(in.acc & uint64_t(codeMask));
    in.acc >>= codeSize;
    in.held -= codeSize;
    return code;
}

/* Reorders the rows of a DIB decoded in interlace order into image order.  Replaces *phDib
 * with a new block and frees the old one; returns 1, or 0 (and *phDib unchanged) when a new
 * block cannot be made. */
int Deinterlace(HGLOBAL *phDib);

/* Makes a zero-filled frame DIB of width x height at `bits` per pixel with `colours` palette
 * entries; 0 when the size is absurd or memory is short. */
HGLOBAL NewFrameDib(int width, int height, int bits, int colours);

}  // namespace gifcodec
