/*
 * LZW encoding of GIF image data (GIF89a section 22 and appendix F).
 *
 * Code sequence: a clear code first; then, for every pixel that does not extend the current
 * string, the string's code.  The code size grows one code late (when next becomes
 * 2^size + 1), in step with a decoder, which learns each entry one code after the encoder.
 * When next reaches 4094 a clear code follows, so 4094 and 4095 are never assigned.
 *
 * The string table: code c stands for a string; the literals 0 .. clear - 1 are one pixel
 * each, and every code from clear + 2 up to next - 1 is an older code's string followed by one
 * pixel.  Finding the longest string the input continues with is one look-up per pixel, each
 * depending on the one before, so the three ways of keeping the table below are shaped for
 * that chain (a zero entry is "no such string": no code assigned to a string is 0):
 *   - rows of one bit: every code has a direct table for the next two pixels (code x 4) and
 *     one for the next pixel (code x 2), so a string grows two pixels a look-up;
 *   - code sizes up to 6: a direct table code x pixel (at most 512 KB, of which a stream
 *     touches a few lines a code);
 *   - larger code sizes: a direct table for the literals' children (literal x pixel), and for
 *     longer strings an open-addressing hash of 8192 entries (32 KB) keyed by
 *     (code << 8 | pixel), with each string's latest child kept beside it.
 * When the table starts again each unlinks what was linked since it last started.
 *
 * Output: code bits are gathered least significant bit first in a 64-bit accumulator, and
 * whole bytes are stored into a run of raw bytes, which is cut into sub-blocks of 255 (count
 * byte first) on the way out.
 */
#include <stdlib.h>
#include <string.h>

#include "gifcodec.h"

namespace gifcodec {

namespace {

constexpr unsigned kFirstFreeLimit = 4094;  // when next reaches it, the table starts again
constexpr unsigned kCodes = 4096;

/* The table's keepings (one of them is used for a stream). */
constexpr int kSmallCodeSize = 6;  // direct tables for code sizes up to this

struct BitTables {            // rows of one bit (pixels 0 and 1)
    uint16_t pair[kCodes * 4];  // [code * 4 + (p1 << 1 | p2)]: the code of code + p1 + p2
    uint16_t one[kCodes * 2];   // [code * 2 + p]: the code of code + p
    uint16_t parent[kCodes];    // for an assigned code: the code it extends, and by what
    uint8_t last[kCodes];
};
struct SmallTable {
    uint16_t child[kCodes << kSmallCodeSize];  // [code << m | pixel], the first 4096 << m used
    uint16_t parent[kCodes];                   // for an assigned code: the code it extends,
    uint8_t last[kCodes];                      // and by what
    /* Unlinks the codes assigned below `next`: their slots only, not the whole table. */
    template <unsigned M>
    void Reset(unsigned first, unsigned next) {
        for (unsigned i = first; i < next; ++i)
            child[unsigned(parent[i]) << M | last[i]] = 0;
    }
};
/* Larger code sizes: the children of the literals in a direct table (literal x pixel ->
 * code); those of longer strings in an open-addressing hash keyed by (code << 8 | pixel),
 * 8192 entries of 32 bits (the key and its code), with each string's latest child found
 * kept beside it, which a repeat finds in one load. */
constexpr unsigned kHashBits = 13;
constexpr unsigned kHashSize = 1u << kHashBits;
struct Tree {
    uint32_t latest[kCodes];        // pixel << 16 | code of a string's latest child, or 0
    uint32_t slot[kHashSize];       // (key ^ 0xFFFFF) << 12 | code, or 0
    uint16_t rootChild[256 * 256];  // [literal * clear + pixel], the first clear * clear used
    uint16_t rootUsed[kCodes];      // the rootChild slots linked since the last reset
    unsigned rootUsedCount;
    /* Unlinks what the table holds: only the root slots in use, not the whole direct table. */
    void Reset() {
        for (unsigned i = 0; i < rootUsedCount; ++i)
            rootChild[rootUsed[i]] = 0;
        rootUsedCount = 0;
        memset(slot, 0, sizeof(slot));
    }
};
/* Home slot of a key: codes and pixels scattered by a multiply, so consecutive codes do not
 * fill runs of slots that linear probing would walk through. */
inline unsigned HashSlot(uint32_t key) { return (key * 0x9E3779B1u) >> (32 - kHashBits); }

/* The code state of one stream and its bit output. */
struct Coder {
    unsigned clear, next, grow, codeSize, m;
    uint8_t *out;  // where the next whole bytes go
    uint64_t acc;  // pending bits, lowest first
    unsigned held; // number of pending bits (below 8 between codes)

    void Restart() {
        codeSize = m + 1;
        grow = (1u << codeSize) + 1;
        next = clear + 2;
    }
    inline void Put(unsigned code) {
        acc |= uint64_t(code) << held;
        held += codeSize;
        // At most 7 + 12 bits are pending: store 8 bytes, keep the whole ones.
        memcpy(out, &acc, 8);
        out += held >> 3;
        acc >>= held & ~7u;
        held &= 7;
    }
    /* Counts a new string; true when the table is full and a clear code must follow. */
    inline bool Added() {
        ++next;
        if (next == grow) {
            ++codeSize;
            grow = (1u << codeSize) + 1;
        }
        return next == kFirstFreeLimit;
    }
};

/* ---- Rows of one bit ---- */

void ResetBits(BitTables *t, unsigned codes) {
    memset(t->pair, 0, sizeof(uint16_t) * 4 * codes);
    memset(t->one, 0, sizeof(uint16_t) * 2 * codes);
}

/* Emits `prefix` and assigns prefix + c the next code. */
inline void AddBits(BitTables *t, unsigned prefix, unsigned c, Coder &k) {
    const unsigned code = k.next;
    t->one[prefix * 2 + c] = uint16_t(code);
    if (prefix >= k.clear)
        t->pair[t->parent[prefix] * 4u + t->last[prefix] * 2u + c] = uint16_t(code);
    t->parent[code] = uint16_t(prefix);
    t->last[code] = uint8_t(c);
    k.Put(prefix);
    if (k.Added()) {
        k.Put(k.clear);
        ResetBits(t, kFirstFreeLimit);
        k.Restart();
    }
}

unsigned EncodeBits(const uint8_t *px, int n, unsigned prefix, BitTables *t, Coder &k) {
    const uint16_t *const pair = t->pair;
    int x = 0;
    while (x + 1 < n) {
        const unsigned two = unsigned(px[x]) * 2 + px[x + 1];
        const unsigned code = pair[prefix * 4 + two];
        if (code) {
            prefix = code;
            x += 2;
            continue;
        }
        const unsigned c1 = px[x];
        const unsigned mid = t->one[prefix * 2 + c1];
        if (!mid) {
            AddBits(t, prefix, c1, k);
            prefix = c1;
            x += 1;
        } else {
            const unsigned c2 = px[x + 1];
            AddBits(t, mid, c2, k);
            prefix = c2;
            x += 2;
        }
    }
    if (x < n) {
        const unsigned c = px[x];
        const unsigned code = t->one[prefix * 2 + c];
        if (code) {
            prefix = code;
        } else {
            AddBits(t, prefix, c, k);
            prefix = c;
        }
    }
    return prefix;
}

/* ---- Code sizes up to 4 ---- */

template <unsigned M>
unsigned EncodeSmall(const uint8_t *px, int n, unsigned prefix, SmallTable *t, Coder &k) {
    uint16_t *const child = t->child;
    for (int x = 0; x < n; ++x) {
        const unsigned c = px[x];
        const unsigned slot = prefix << M | c;
        const unsigned code = child[slot];
        if (code) {
            prefix = code;
            continue;
        }
        child[slot] = uint16_t(k.next);
        t->parent[k.next] = uint16_t(prefix);
        t->last[k.next] = uint8_t(c);
        k.Put(prefix);
        prefix = c;
        if (k.Added()) {
            k.Put(k.clear);
            t->Reset<M>(k.clear + 2, k.next);
            k.Restart();
        }
    }
    return prefix;
}

/* ---- Larger code sizes ---- */

unsigned EncodeTree(const uint8_t *px, int n, unsigned prefix, Tree *t, Coder &k) {
    uint32_t *const latest = t->latest;
    uint32_t *const slot = t->slot;
    uint16_t *const roots = t->rootChild;
    const unsigned clear = k.clear;
    for (int x = 0; x < n; ++x) {
        const unsigned c = px[x];
        if (prefix < clear) {
            const unsigned r = prefix * clear + c;
            if (roots[r]) {
                prefix = roots[r];
                continue;
            }
            t->rootUsed[t->rootUsedCount++] = uint16_t(r);
            roots[r] = uint16_t(k.next);
        } else {
            const uint32_t last = latest[prefix];
            if ((last >> 16) == c && last) {
                prefix = last & 0xFFFF;
                continue;
            }
            // A key is never 0xFFFFF (code 4095 is never assigned), so no entry of a key is 0.
            const uint32_t key = (prefix << 8) | c;
            const uint32_t tag = (key ^ 0xFFFFFu) << 12;
            unsigned h = HashSlot(key);
            uint32_t e = slot[h];
            while (e && (e & ~0xFFFu) != tag) {
                h = (h + 1) & (kHashSize - 1);
                e = slot[h];
            }
            if (e) {
                latest[prefix] = c << 16 | (e & 0xFFF);
                prefix = e & 0xFFF;
                continue;
            }
            slot[h] = tag | k.next;
            latest[prefix] = c << 16 | k.next;
        }
        // A new string: prefix + c became code `next`.
        latest[k.next] = 0;
        k.Put(prefix);
        prefix = c;
        if (k.Added()) {
            k.Put(clear);
            t->Reset();
            k.Restart();
        }
    }
    return prefix;
}

/* The eight pixels of each 1-bit byte, most significant first. */
struct BitExpansion {
    uint8_t pixels[256][8];
    BitExpansion() {
        for (int b = 0; b < 256; ++b)
            for (int i = 0; i < 8; ++i)
                pixels[b][i] = uint8_t((b >> (7 - i)) & 1);
    }
};
const BitExpansion kBits;

/* Unpacks a 1- or 4-bit row into one byte per pixel (dst has room for width + 7 bytes). */
void UnpackRow(uint8_t *dst, const uint8_t *src, int width, int bits) {
    if (bits == 4) {
        int x = 0;
        for (; x + 1 < width; x += 2, ++src) {
            dst[x] = uint8_t(*src >> 4);
            dst[x + 1] = uint8_t(*src & 15);
        }
        if (x < width)
            dst[x] = uint8_t(*src >> 4);
        return;
    }
    for (int x = 0; x < width; x += 8)
        memcpy(dst + x, kBits.pixels[src[x >> 3]], 8);
}

/* Writes the whole sub-blocks of raw[0, *pLen) (every byte, the last block short, and the
 * terminator, when `last`), keeping a remainder below 255 bytes at the start of raw. */
bool FlushBlocks(uint8_t *raw, size_t *pLen, uint8_t *blocks, bool last, const LzwOutput &out) {
    const size_t len = *pLen;
    const size_t whole = last ? len : len - len % 255;
    size_t o = 0;
    for (size_t i = 0; i < whole; i += 255) {
        const size_t n = whole - i < 255 ? whole - i : 255;
        blocks[o++] = uint8_t(n);
        memcpy(blocks + o, raw + i, n);
        o += n;
    }
    if (last)
        blocks[o++] = 0;
    bool ok = !o || out.write(out.context, blocks, o);
    memmove(raw, raw + whole, len - whole);
    *pLen = len - whole;
    return ok;
}

}  // namespace

int EncodeLzw(int colourBits, const LzwRows &rows, const LzwOutput &out) {
    if (colourBits < 1 || colourBits > 8 || !rows.pixels || rows.width <= 0 || rows.height <= 0 || !out.write ||
        (rows.bits != 1 && rows.bits != 4 && rows.bits != 8))
        return kLzwBadPixel;
    const int m = LzwMinCodeSize(colourBits);
    const unsigned clear = 1u << m;
    const unsigned end = clear + 1;
    const int width = rows.width;
    const int height = rows.height;
    enum { kBitRows, kSmall, kTree } const kind = rows.bits == 1 ? kBitRows : m <= kSmallCodeSize ? kSmall : kTree;
    // Every pixel must be a literal of this code size: checked unless the depth ensures it.
    const bool check = (1 << rows.bits) > int(clear);

    // Raw bytes are written out in whole sub-blocks once they pass kFlushAt; a row adds at
    // most two codes a pixel (a string's and a clear), 3 bytes, plus the 8-byte store.
    const size_t kFlushAt = 255 * 256;
    const size_t rawCap = kFlushAt + 3 * (size_t(width) + 2) + 16;
    const size_t blockCap = rawCap + rawCap / 255 + 2;
    const size_t tableBytes = kind == kBitRows ? sizeof(BitTables) : kind == kSmall ? sizeof(SmallTable) : sizeof(Tree);
    void *table = malloc(tableBytes);
    uint8_t *line = static_cast<uint8_t *>(malloc(size_t(width) + 8));
    uint8_t *raw = static_cast<uint8_t *>(malloc(rawCap));
    uint8_t *blocks = static_cast<uint8_t *>(malloc(blockCap));
    if (!table || !line || !raw || !blocks) {
        free(table);
        free(line);
        free(raw);
        free(blocks);
        return kLzwWriteFailed;
    }
    if (kind == kBitRows) {
        ResetBits(static_cast<BitTables *>(table), kCodes);
    } else if (kind == kSmall) {
        SmallTable *t = static_cast<SmallTable *>(table);
        memset(t->child, 0, sizeof(uint16_t) << (12 + m));
    } else {
        Tree *t = static_cast<Tree *>(table);
        memset(t->rootChild, 0, sizeof(uint16_t) * clear * clear);
        memset(t->slot, 0, sizeof(t->slot));
        t->rootUsedCount = 0;
    }

    Coder k;
    k.clear = clear;
    k.m = unsigned(m);
    k.Restart();
    k.out = raw;
    k.acc = 0;
    k.held = 0;
    size_t len = 0;
    bool ok = true;
    unsigned prefix = 0;
    int result = kLzwOk;
    k.Put(clear);

    for (int r = 0; r < height; ++r) {
        const int row = rows.interlaced ? InterlacedRow(r, height) : r;
        const uint8_t *src = rows.pixels + size_t(height - 1 - row) * rows.stride;
        const uint8_t *px = src;
        if (rows.bits != 8) {
            UnpackRow(line, src, width, rows.bits);
            px = line;
        }
        if (check) {
            unsigned any = 0;
            for (int x = 0; x < width; ++x)
                any |= px[x];
            if (any >= clear) {
                result = kLzwBadPixel;
                break;
            }
        }
        int n = width;
        if (r == 0) {
            prefix = *px++;
            --n;
        }
        if (kind == kBitRows)
            prefix = EncodeBits(px, n, prefix, static_cast<BitTables *>(table), k);
        else if (kind == kTree)
            prefix = EncodeTree(px, n, prefix, static_cast<Tree *>(table), k);
        else if (m == 2)
            prefix = EncodeSmall<2>(px, n, prefix, static_cast<SmallTable *>(table), k);
        else if (m == 3)
            prefix = EncodeSmall<3>(px, n, prefix, static_cast<SmallTable *>(table), k);
        else if (m == 4)
            prefix = EncodeSmall<4>(px, n, prefix, static_cast<SmallTable *>(table), k);
        else if (m == 5)
            prefix = EncodeSmall<5>(px, n, prefix, static_cast<SmallTable *>(table), k);
        else
            prefix = EncodeSmall<6>(px, n, prefix, static_cast<SmallTable *>(table), k);
        len = size_t(k.out - raw);
        if (len >= kFlushAt) {
            ok = FlushBlocks(raw, &len, blocks, false, out) && ok;
            k.out = raw + len;
            if (!ok) {
                result = kLzwWriteFailed;
                break;
            }
        }
    }
    if (result == kLzwOk) {
        k.Put(prefix);
        k.Put(end);
        if (k.held > 0)
            *k.out++ = uint8_t(k.acc);
        len = size_t(k.out - raw);
        if (!FlushBlocks(raw, &len, blocks, true, out))
            result = kLzwWriteFailed;
    }
    free(blocks);
    free(raw);
    free(line);
    free(table);
    return result;
}

bool LzwPacker::Put(int code, int bits, const LzwOutput &out) {
    bool ok = true;
    acc |= uint32_t(code & 0xFFF) << held;
    held += bits;
    while (held >= 8) {
        packet[1 + count++] = uint8_t(acc);
        acc >>= 8;
        held -= 8;
        if (count == 255) {
            packet[0] = 255;
            if (!out.write(out.context, packet, 256))
                ok = false;
            count = 0;
        }
    }
    return ok;
}

bool LzwPacker::Finish(const LzwOutput &out) {
    bool ok = true;
    if (held > 0) {
        packet[1 + count++] = uint8_t(acc);
        if (count == 255) {
            packet[0] = 255;
            ok = out.write(out.context, packet, 256) && ok;
            count = 0;
        }
    }
    if (count > 0) {
        packet[0] = uint8_t(count);
        ok = out.write(out.context, packet, size_t(count) + 1) && ok;
    }
    static const uint8_t kTerminator = 0;
    ok = out.write(out.context, &kTerminator, 1) && ok;
    count = 0;
    acc = 0;
    held = 0;
    return ok;
}

}  // namespace gifcodec
