/*
 * The GIF codec core shared by the base library and the imaging library: LZW decoding and
 * encoding of GIF image data (GIF89a section 22 and appendix F), the interlace order, the
 * signature rule and the geometry of packed DIB rows.
 *
 * The unit needs nothing but the C++ standard library: pixels come from and go to plain row
 * memory, and encoded bytes leave through a caller's write function.  Decoding and encoding
 * sit in separate files (lzw_decode.cpp, lzw_encode.cpp), so a program that only reads links
 * no writer.
 *
 * Image data on file: the minimum code size byte m, then a chain of sub-blocks
 *
 *   +-------+------------------+-------+------------------+-- ... --+------+
 *   | n1    | n1 bytes of codes| n2    | n2 bytes         |         | 0x00 |
 *   +-------+------------------+-------+------------------+-- ... --+------+
 *
 * Codes are packed least significant bit first; they start m + 1 bits wide and grow to 12.
 * clear = 1 << m, end = clear + 1, the first free code is clear + 2.
 */
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace gifcodec {

/* Largest pixel area of one bitmap we agree to build (bytes of rows).  A frame is built at the
 * size its descriptor declares, whatever its data holds, so a few bytes can ask for this much
 * memory: fuzz builds set it lower (MEDLEY_MAX_PIXEL_BYTES) so that their time goes into the
 * code rather than into clearing and freeing large frames. */
#ifndef MEDLEY_MAX_PIXEL_BYTES
#define MEDLEY_MAX_PIXEL_BYTES (size_t(1) << 28)
#endif
constexpr size_t kMaxPixelBytes = MEDLEY_MAX_PIXEL_BYTES;

/* Bytes of pixels in one row: (width * bits + 7) / 8. */
inline size_t DibRowBytes(size_t width, int bits) { return (width * size_t(bits) + 7) / 8; }
/* Bytes per stored row: the row's bytes raised to a multiple of 4. */
inline size_t DibStride(size_t width, int bits) { return (DibRowBytes(width, bits) + 3) & ~size_t(3); }

/* Bits per DIB pixel for a frame of `colourBits`: 1 below 2, 4 for 2 to 4, 8 from 5. */
int DibBitsForColourBits(int colourBits);

/* True when the six bytes are "GIF89a" or "GIF87a" in any letter case. */
bool IsGifSignature(const uint8_t *sig);

/* Interlace passes (GIF89a appendix E): first row and step of each pass. */
struct InterlacePass {
    int start;
    int step;
};
extern const InterlacePass kInterlacePasses[4];

/* Image row (from the top) that row k of an interlaced stream of `height` rows fills. */
int InterlacedRow(int k, int height);

/* ---- What image data can hold ----------------------------------------------------------- */

/* Most pixels one byte of LZW data can stand for.  A code names one string of the table, and
 * no string is longer than the table (4096 entries); a code is at least 2 bits, but the table
 * grows by one entry a code, so codes of n bits stand for at most 2^n pixels each: 4096 pixels
 * for 12 bits, about 2731 a byte.  4096 a byte leaves room to spare. */
constexpr uint64_t kLzwPixelsPerByte = 4096;

/* Whether `dataBytes` bytes of LZW data can fill an area of `pixels`: a reader weighs the area
 * an image declares against this before it allocates the image. */
inline bool LzwCanFill(uint64_t pixels, uint64_t dataBytes) { return pixels <= dataBytes * kLzwPixelsPerByte; }

/* The sub-block chain starting at data[start] (a count byte): the bytes of data its sub-blocks
 * hold, as far as `size` reaches.  *pEnd (optional) receives the offset just past its
 * terminator, or `size` when the chain runs off the data, and *pTerminated which. */
uint64_t ChainDataBytes(const uint8_t *data, size_t size, size_t start, size_t *pEnd, bool *pTerminated);

/* ---- Decoding --------------------------------------------------------------------------- */

/* LZW input read from a sub-block chain that starts at data[start], never past data[size].
 * After the decode, `consumed` is the number of bytes of the chain from its first count byte up
 * to and including its terminator (or up to the end of the data when it has none), and
 * `terminated` tells which. */
struct LzwInput {
    const uint8_t *data = nullptr;
    size_t size = 0;
    size_t start = 0;
    // reader state
    size_t pos = 0;        // next unread byte
    size_t blockLeft = 0;  // bytes left in the current sub-block
    // results
    size_t consumed = 0;
    bool terminated = false;
    bool damaged = false;  // a code the table did not hold ended the image early

    void Begin(const uint8_t *d, size_t n, size_t s) {
        data = d;
        size = n;
        start = pos = s;
        blockLeft = 0;
        damaged = false;
    }
    /* Skips what is left of the chain and sets consumed / terminated. */
    void Finish();
};

/* Rows of a bottom-up DIB: where decoded pixels go, and where encoded pixels come from. */
struct LzwRows {
    uint8_t *pixels;  // first stored row (the image bottom)
    int width;
    int height;
    int bits;         // 1, 4 or 8
    size_t stride;
    bool interlaced;  // rows in the interlace order
};

/* Working memory of DecodeLzw (its string table and staging buffer), which a reader of many
 * frames keeps from one frame to the next instead of allocating it for each. */
struct LzwScratch {
    void *table = nullptr;
    uint8_t *buffer = nullptr;
    size_t capacity = 0;
    LzwScratch() = default;
    ~LzwScratch();
    LzwScratch(const LzwScratch &) = delete;
    LzwScratch &operator=(const LzwScratch &) = delete;
};

/* Decodes one code stream of minimum code size `minCodeSize` into `rows`, with `scratch` (or,
 * when null, memory of its own).
 * RETURNS: 1 when the stream ended (end code, end of the data, every row written, or a code
 * the table does not hold: the pixels before it stay, the rest keep index 0 and `damaged` is
 * set); 0 only for a code size whose first free code would pass 4095, or no memory. */
int DecodeLzw(int minCodeSize, LzwInput &in, const LzwRows &rows, LzwScratch *scratch = nullptr);

/* ---- Encoding --------------------------------------------------------------------------- */

/* Where encoded bytes go: write(context, bytes, n) returns false when they could not be
 * written.  The encoder hands over whole sub-blocks, in chunks of up to 64 KB. */
struct LzwOutput {
    bool (*write)(void *context, const uint8_t *bytes, size_t n);
    void *context;
};

/* Minimum code size for `colourBits`: the bits themselves, with 1 raised to 2. */
inline int LzwMinCodeSize(int colourBits) { return colourBits < 2 ? 2 : colourBits; }

enum {
    kLzwOk = 1,
    kLzwWriteFailed = 0,   // the output refused bytes, or no memory
    kLzwBadPixel = -1,     // a pixel value of 1 << code size or more, or bad arguments
};

/* Encodes the rows (top image row first, or in the interlace order) as the sub-block chain
 * of one image, terminator included, for colour bits `colourBits` (1 to 8).  The first code
 * is a clear code; codes 4094 and 4095 are never assigned: once code 4093 is, a clear code
 * follows.  RETURNS: kLzwOk, kLzwWriteFailed or kLzwBadPixel; on a failure the output may
 * hold part of the chain. */
int EncodeLzw(int colourBits, const LzwRows &rows, const LzwOutput &out);

/* Packs codes least significant bit first into sub-blocks of 255 bytes.  Exposed for the
 * writers that emit codes one at a time. */
struct LzwPacker {
    uint8_t packet[256];  // count byte, then up to 255 data bytes
    int count = 0;        // data bytes in the packet
    uint32_t acc = 0;     // pending bits, lowest first
    int held = 0;         // number of pending bits (below 8 between calls)

    /* Adds a code of `bits` bits; a full packet is written and emptied.  False when a write
     * failed (the packing goes on). */
    bool Put(int code, int bits, const LzwOutput &out);
    /* Adds the pending bits as a last byte, writes the last packet (when it holds any bytes)
     * and the block terminator, and empties the packer.  False when a write failed. */
    bool Finish(const LzwOutput &out);
};

}  // namespace gifcodec
