/*
 * LZW encoding of GIF image data (GIF89a section 22 and appendix F).
 *
 * The string table is a tree of at most 4094 nodes.  Node c stands for the string of code c:
 * the literals 0 .. clear - 1 are the roots, and every node from clear + 2 up to next - 1 is
 * its parent's string followed by its own pixel.  A node's children all carry different
 * pixels, so the longest string in the table that the input continues with is found by
 * walking down from the root of its first pixel.  The children of a root sit in a direct
 * table (root x pixel -> code: a root has up to `clear` of them); every longer string keeps
 * its children in a child/sibling list (firstChild, nextSibling; kNone ends a list), which
 * stays short.  With at most 16 literals (code sizes up to 4) every node has a direct table
 * instead (node x pixel -> code), small enough to clear when the table starts again.
 *
 * Code sequence: a clear code first; then, for every pixel that does not extend the current
 * string, the string's code.  The code size grows one code late (when next becomes
 * 2^size + 1), in step with a decoder, which learns each entry one code after the encoder.
 * When next reaches 4094 a clear code follows, so 4094 and 4095 are never assigned.
 *
 * Output: code bits are gathered least significant bit first into a run of raw bytes, which is
 * cut into sub-blocks of 255 (count byte first) on the way out.
 */
#include <stdlib.h>
#include <string.h>

#include "gifcodec.h"

namespace gifcodec {

namespace {

constexpr uint16_t kNone = 0xFFFF;
constexpr int kFirstFreeLimit = 4094;  // when next reaches it, the table starts again

struct Node {
    uint16_t firstChild;
    uint16_t nextSibling;
    uint8_t pixel;
};

struct Tree {
    Node node[4096];
    uint16_t rootChild[256 * 256];  // [root * clear + pixel], the first clear * clear used
    uint16_t rootUsed[4096];        // the rootChild slots linked since the last reset
    unsigned rootUsedCount;
    void Start(unsigned clear) {
        memset(rootChild, 0xFF, sizeof(uint16_t) * clear * clear);
        rootUsedCount = 0;
    }
    /* Unlinks what the table holds: only the root slots in use, not the whole direct table. */
    void Reset() {
        for (unsigned i = 0; i < rootUsedCount; ++i)
            rootChild[rootUsed[i]] = kNone;
        rootUsedCount = 0;
    }
};

/* For code sizes up to kSmallCodeSize every node has a direct table of children,
 * [code * clear + pixel] -> code: one load per pixel, whatever the string. */
constexpr int kSmallCodeSize = 4;
struct SmallTree {
    uint16_t child[4096 * (1u << kSmallCodeSize)];
    /* Unlinks the children of the codes below `next` (the rest were never linked since the
     * whole table was cleared at the start). */
    void Reset(unsigned next, unsigned clear) { memset(child, 0xFF, sizeof(uint16_t) * next * clear); }
};

/* Raw code bytes, cut into sub-blocks when written.  The raw run holds up to 256 whole
 * sub-blocks (plus slack for an 8-byte store) before it is written out. */
class BitSink {
public:
    explicit BitSink(const LzwOutput &out) : m_out(out) {}
    bool Alloc() {
        m_raw = static_cast<uint8_t *>(malloc(kRawCap + 16));
        m_blocks = static_cast<uint8_t *>(malloc(kBlockCap));
        return m_raw && m_blocks;
    }
    ~BitSink() {
        free(m_raw);
        free(m_blocks);
    }
    BitSink(const BitSink &) = delete;
    BitSink &operator=(const BitSink &) = delete;

    inline void Put(unsigned code, int bits) {
        m_acc |= uint64_t(code) << m_held;
        m_held += bits;
        // At most 7 + 12 bits are pending: store 8 bytes, keep the whole ones.
        memcpy(m_raw + m_len, &m_acc, 8);
        int whole = m_held >> 3;
        m_len += size_t(whole);
        m_acc >>= whole * 8;
        m_held &= 7;
        if (m_len >= kRawFlush)
            Flush(false);
    }
    /* Pending bits as a last byte, every remaining byte, and the terminator. */
    bool Finish() {
        if (m_held > 0) {
            m_raw[m_len++] = uint8_t(m_acc);
            m_acc = 0;
            m_held = 0;
        }
        Flush(true);
        return !m_failed;
    }
    bool failed() const { return m_failed; }

private:
    static constexpr size_t kRawFlush = 255 * 256;
    static constexpr size_t kRawCap = kRawFlush + 64;
    static constexpr size_t kBlockCap = 256 * 256 + 256 + 1;

    /* Writes whole sub-blocks (all bytes, the last one short, and the terminator, when
     * `last`), keeping any remainder below 255 bytes for later. */
    void Flush(bool last) {
        size_t whole = last ? m_len : m_len - m_len % 255;
        size_t o = 0;
        for (size_t i = 0; i < whole; i += 255) {
            size_t n = whole - i < 255 ? whole - i : 255;
            m_blocks[o++] = uint8_t(n);
            memcpy(m_blocks + o, m_raw + i, n);
            o += n;
        }
        if (last)
            m_blocks[o++] = 0;
        if (o && !m_failed && !m_out.write(m_out.context, m_blocks, o))
            m_failed = true;
        memmove(m_raw, m_raw + whole, m_len - whole);
        m_len -= whole;
    }

    const LzwOutput &m_out;
    uint8_t *m_raw = nullptr;
    uint8_t *m_blocks = nullptr;
    size_t m_len = 0;
    uint64_t m_acc = 0;
    int m_held = 0;
    bool m_failed = false;
};

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

/* The code state of one stream: the next free code, the code size and when it grows. */
struct Codes {
    unsigned clear, next, grow;
    int m, codeSize;
    explicit Codes(int minCodeSize) : clear(1u << minCodeSize), m(minCodeSize) { Restart(); }
    void Restart() {
        codeSize = m + 1;
        grow = (1u << codeSize) + 1;
        next = clear + 2;
    }
    /* Counts a new string; true when the table is full and a clear code must follow. */
    bool Added() {
        ++next;
        if (next == grow) {
            ++codeSize;
            grow = (1u << codeSize) + 1;
        }
        return next == unsigned(kFirstFreeLimit);
    }
};

/* Encodes the pixels px[0, n) after the string `prefix`; returns the string left pending. */
unsigned EncodeSmall(const uint8_t *px, int n, unsigned prefix, SmallTree *tree, Codes &codes, BitSink &sink) {
    uint16_t *const child = tree->child;
    const unsigned clear = codes.clear;
    for (int x = 0; x < n; ++x) {
        const uint8_t c = px[x];
        uint16_t &link = child[prefix * clear + c];
        if (link != kNone) {
            prefix = link;
            continue;
        }
        link = uint16_t(codes.next);
        sink.Put(prefix, codes.codeSize);
        prefix = c;
        if (codes.Added()) {
            sink.Put(clear, codes.codeSize);
            tree->Reset(codes.next, clear);
            codes.Restart();
        }
    }
    return prefix;
}

unsigned EncodeLarge(const uint8_t *px, int n, unsigned prefix, Tree *tree, Codes &codes, BitSink &sink) {
    Node *const nodes = tree->node;
    uint16_t *const roots = tree->rootChild;
    const unsigned clear = codes.clear;
    for (int x = 0; x < n; ++x) {
        const uint8_t c = px[x];
        uint16_t *link;  // where the new string would be linked
        if (prefix < clear) {
            const unsigned slot = prefix * clear + c;
            link = &roots[slot];
            if (*link != kNone) {
                prefix = *link;
                continue;
            }
            tree->rootUsed[tree->rootUsedCount++] = uint16_t(slot);
        } else {
            link = &nodes[prefix].firstChild;
            unsigned node = *link;
            while (node != kNone && nodes[node].pixel != c) {
                link = &nodes[node].nextSibling;
                node = *link;
            }
            if (node != kNone) {
                prefix = node;
                continue;
            }
        }
        // A new string: prefix + c becomes code `next`.
        const unsigned next = codes.next;
        *link = uint16_t(next);
        nodes[next].pixel = c;
        nodes[next].firstChild = kNone;
        nodes[next].nextSibling = kNone;
        sink.Put(prefix, codes.codeSize);
        prefix = c;
        if (codes.Added()) {
            sink.Put(clear, codes.codeSize);
            tree->Reset();
            codes.Restart();
        }
    }
    return prefix;
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
    const bool small = m <= kSmallCodeSize;
    // Every pixel must be a literal of this code size: checked unless the depth ensures it.
    const bool check = (1 << rows.bits) > int(clear);

    void *tree = malloc(small ? sizeof(SmallTree) : sizeof(Tree));
    uint8_t *line = static_cast<uint8_t *>(malloc(size_t(width) + 8));
    BitSink sink(out);
    if (!tree || !line || !sink.Alloc()) {
        free(tree);
        free(line);
        return kLzwWriteFailed;
    }
    Codes codes(m);
    if (small)
        static_cast<SmallTree *>(tree)->Reset(4096, clear);
    else
        static_cast<Tree *>(tree)->Start(clear);

    unsigned prefix = 0;
    int result = kLzwOk;
    sink.Put(clear, codes.codeSize);

    for (int k = 0; k < height && result == kLzwOk; ++k) {
        int r = rows.interlaced ? InterlacedRow(k, height) : k;
        const uint8_t *src = rows.pixels + size_t(height - 1 - r) * rows.stride;
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
        int x = 0;
        if (k == 0)
            prefix = px[x++];
        if (small)
            prefix = EncodeSmall(px + x, width - x, prefix, static_cast<SmallTree *>(tree), codes, sink);
        else
            prefix = EncodeLarge(px + x, width - x, prefix, static_cast<Tree *>(tree), codes, sink);
        if (sink.failed())
            result = kLzwWriteFailed;
    }
    if (result == kLzwOk) {
        sink.Put(prefix, codes.codeSize);
        sink.Put(end, codes.codeSize);
        if (!sink.Finish())
            result = kLzwWriteFailed;
    }
    free(line);
    free(tree);
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
