/*
 * PixKit: what a picture file declares weighed against what its data can hold, before any
 * decoder allocates for it.  A header of a few bytes can declare gigapixels; a decoder that
 * allocates by the header (and fills what the data lacks with a default) then spends memory
 * and time on nothing.  Each rule is a floor on the data any real file of that size needs:
 *
 *   JPEG   every 8 x 8 block of every component costs at least one bit of entropy-coded data
 *          (a sequential scan codes a DC and an end-of-block symbol, a progressive file's
 *          first DC scan a DC symbol, each at least one bit long): the blocks the frame
 *          header declares need blocks / 8 bytes after the first scan header.
 *   PNG    deflate makes at most 258 bytes of two bits (a length and a distance code of one
 *          bit each), 1032 to 1: the filtered rows need rows / 1032 bytes of IDAT data.
 *   GIF    the first image (the one decoded) needs area / 4096 bytes of LZW data
 *          (gifcodec::LzwCanFill).
 *   BMP    uncompressed rows only: the decoder already asks for every row.
 */
#include <string.h>

#include "gifcodec.h"
#include "pixkit_dib.h"

namespace pixkit {

namespace {

constexpr uint64_t kDeflateMaxRatio = 1032;

inline uint32_t Be32(const BYTE *p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

/* Segments FF xx length:u16be from the SOI on; the frame header (SOF0-SOF15 but DHT, JPG and
 * DAC) gives the size and the components' sampling; the first SOS ends the walk. */
bool JpegBacked(const BYTE *d, size_t n) {
    size_t at = 2;
    int width = 0, height = 0, ncomp = 0, hs[4] = {0}, vs[4] = {0};
    while (at + 4 <= n) {
        if (d[at] != 0xFF)
            return true;  // not a segment: the decoders judge
        const unsigned m = d[at + 1];
        if (m == 0xFF) {
            ++at;
            continue;
        }
        const size_t len = (size_t(d[at + 2]) << 8) | d[at + 3];
        if (len < 2 || at + 2 + len > n)
            return true;
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC && len >= 8) {
            height = (d[at + 5] << 8) | d[at + 6];
            width = (d[at + 7] << 8) | d[at + 8];
            ncomp = d[at + 9];
            if (ncomp < 1 || ncomp > 4 || len < 8 + 3 * size_t(ncomp))
                return true;
            for (int c = 0; c < ncomp; ++c) {
                hs[c] = d[at + 11 + 3 * c] >> 4;
                vs[c] = d[at + 11 + 3 * c] & 15;
                if (hs[c] < 1 || hs[c] > 4 || vs[c] < 1 || vs[c] > 4)
                    return true;
            }
        }
        if (m == 0xDA) {
            if (!ncomp)
                return true;
            int hmax = 1, vmax = 1;
            for (int c = 0; c < ncomp; ++c) {
                hmax = hs[c] > hmax ? hs[c] : hmax;
                vmax = vs[c] > vmax ? vs[c] : vmax;
            }
            uint64_t blocks = 0;
            for (int c = 0; c < ncomp; ++c) {
                const uint64_t cw = (uint64_t(width) * hs[c] + hmax - 1) / hmax;
                const uint64_t ch = (uint64_t(height) * vs[c] + vmax - 1) / vmax;
                blocks += ((cw + 7) / 8) * ((ch + 7) / 8);
            }
            const uint64_t data = n - (at + 2 + len);
            return blocks <= 8 * data;
        }
        at += 2 + len;
    }
    return true;
}

/* Chunks length:u32be type data crc after the signature; IHDR first. */
bool PngBacked(const BYTE *d, size_t n) {
    if (n < 33 || memcmp(d + 12, "IHDR", 4) != 0)
        return true;
    const uint64_t width = Be32(d + 16), height = Be32(d + 20);
    static const BYTE kChannels[7] = {1, 0, 3, 1, 2, 0, 4};  // by colour type
    const int depth = d[24], type = d[25];
    const int channels = type < 7 ? kChannels[type] : 0;
    if (!channels)
        return true;
    const uint64_t rows = height * (1 + (width * channels * depth + 7) / 8);
    uint64_t idat = 0;
    for (size_t at = 8; at + 8 <= n;) {
        const uint64_t len = Be32(d + at);
        if (!memcmp(d + at + 4, "IDAT", 4))
            idat += len < n - at - 8 ? len : n - at - 8;
        at += 12 + size_t(len < n ? len : n);
    }
    return rows <= kDeflateMaxRatio * idat;
}

/* Blocks as the decoder walks them up to the first image descriptor. */
bool GifBacked(const BYTE *d, size_t n) {
    size_t off = 13;
    if (d[10] & 0x80)
        off += 3 * (size_t(1) << ((d[10] & 7) + 1));
    while (off < n && d[off] != 0x2C) {
        if (d[off] == 0x3B)
            return true;
        if (d[off] != 0x21 || off + 1 >= n) {
            ++off;
            continue;
        }
        off += 2;
        while (off < n && d[off] != 0)
            off += size_t(d[off]) + 1;
        ++off;
    }
    if (off + 10 >= n)
        return true;
    const uint64_t area = uint64_t(d[off + 5] | (d[off + 6] << 8)) * uint64_t(d[off + 7] | (d[off + 8] << 8));
    const BYTE packed = d[off + 9];
    off += 10;
    if (packed & 0x80)
        off += 3 * (size_t(1) << ((packed & 7) + 1));
    if (off + 1 >= n)
        return true;
    return gifcodec::LzwCanFill(area, gifcodec::ChainDataBytes(d, n, off + 1, nullptr, nullptr));
}

}  // namespace

bool SizeBacked(const BYTE *data, size_t size) {
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8)
        return JpegBacked(data, size);
    if (size >= 8 && !memcmp(data, "\x89PNG\r\n\x1a\n", 8))
        return PngBacked(data, size);
    if (size >= 13 && gifcodec::IsGifSignature(data))
        return GifBacked(data, size);
    return true;
}

}  // namespace pixkit
