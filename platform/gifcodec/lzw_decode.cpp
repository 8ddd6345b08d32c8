/*
 * LZW decoding of GIF image data (GIF89a section 22 and appendix F).
 *
 * The string table: codes below `clear` are the one-pixel strings of the literals; `clear`
 * and `clear + 1` (end) carry no string; every code from `clear + 2` up to `next - 1` is the
 * string of its prefix code followed by its suffix pixel.  Codes are 12 bits at most, so no
 * string is longer than 4096 pixels and `next` never passes 4096: once the table is full it
 * stays as it is until the encoder sends a clear code (a "deferred clear", which GIF89a
 * allows).
 *
 * Every string the table holds was written out once already, in one piece: a new entry is the
 * previous code's string followed by the first pixel of the current one, which the output holds
 * side by side.  So each entry also keeps the (absolute) output position where its string
 * starts and its length, and a code is decoded by copying its string from there, as long as the
 * staging buffer still holds that part of the output; otherwise the string is rebuilt from the
 * prefix chain, back to front.  A copy costs about the same whatever the string's length,
 * while the chain costs one dependent load per pixel.
 *
 * Pixels are staged in a buffer and moved out one complete row at a time, packed to the
 * frame bitmap's depth (high bits first), into the row the interlace order names.  The buffer
 * keeps a window of the most recent output (kHistory pixels, about what one table's worth of
 * long strings spans) for the copies above.  The table and the buffer live in an LzwScratch,
 * which a reader of many frames keeps from one frame to the next.
 *
 * A code above the next free entry (or a first code that is no literal) cannot be decoded:
 * the image ends there, the pixels before it stay and the rest keep index 0, as other
 * decoders do.  Only a code size whose first free code would pass 4095, or short memory,
 * fails the decode.
 */
#include <stdlib.h>
#include <string.h>

#include "gifcodec.h"

namespace gifcodec {

namespace {

constexpr size_t kHistory = 65536;

struct Table {
    uint32_t start[4096];  // absolute output position of the string (a frame has < 2^32 pixels)
    uint16_t prefix[4096];
    uint16_t length[4096];
    uint8_t suffix[4096];
    uint8_t literal[4096 + 16];  // literal[i] = i for the literals: their one-pixel strings
};

inline bool IsLittleEndian() {
    const uint16_t one = 1;
    uint8_t first;
    memcpy(&first, &one, 1);
    return first == 1;
}

inline uint64_t Swap64(uint64_t v) {
    uint64_t r = 0;
    for (int k = 0; k < 8; ++k, v >>= 8)
        r = (r << 8) | (v & 0xFF);
    return r;
}

/* Packs `n` pixels into one stored row. */
void PackRow(uint8_t *dst, const uint8_t *src, int n, int bits) {
    if (bits == 8) {
        memcpy(dst, src, size_t(n));
        return;
    }
    if (bits == 4) {
        int i = 0;
        for (; i + 1 < n; i += 2)
            *dst++ = uint8_t(((src[i] & 0x0F) << 4) | (src[i + 1] & 0x0F));
        if (i < n)
            *dst = uint8_t((src[i] & 0x0F) << 4);
        return;
    }
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        // The low bits of eight bytes (the first lowest) gathered by one multiplication into
        // the top byte, the first pixel highest: bit 7 - k comes from byte k alone.
        uint64_t v;
        memcpy(&v, src + i, 8);
        v &= 0x0101010101010101ULL;
        if (!IsLittleEndian())
            v = Swap64(v);
        *dst++ = uint8_t((v * 0x8040201008040201ULL) >> 56);
    }
    if (i < n) {
        uint8_t b = 0;
        for (int j = 0; i < n; ++i, ++j)
            b = uint8_t(b | ((src[i] & 1) << (7 - j)));
        *dst = b;
    }
}

}  // namespace

LzwScratch::~LzwScratch() {
    free(table);
    free(buffer);
}

void LzwInput::Finish() {
    // Whatever the decoder left of the current sub-block, then the rest of the chain.
    size_t p = pos + blockLeft;
    terminated = false;
    while (p < size) {
        size_t n = data[p];
        if (n == 0) {
            terminated = true;
            ++p;
            break;
        }
        p += n + 1;
    }
    if (p > size)
        p = size;
    consumed = p - start;
}

namespace {

/* Code bytes of the chain gathered into a window of contiguous bytes, so that most refills of
 * the bit reservoir (in DecodeLzw) are one 8-byte load. */
constexpr size_t kWindow = 4096;
struct Window {
    const uint8_t *p;    // next unread byte
    const uint8_t *lim;  // end of the bytes gathered
};

/* Moves the unread bytes [p, lim) to the front of `win` and adds what the chain has next, up
 * to a full window, leaving the chain position (pos, blockLeft) after the bytes taken.  Kept
 * out of the decoding loop, whose reader state stays in registers. */
Window Gather(LzwInput &in, uint8_t *win, const uint8_t *p, const uint8_t *lim) {
    size_t have = size_t(lim - p);
    memmove(win, p, have);
    while (have < kWindow) {
        if (in.blockLeft == 0) {
            if (in.pos >= in.size || in.data[in.pos] == 0)
                break;
            in.blockLeft = in.data[in.pos++];
        }
        size_t n = in.blockLeft;
        if (n > kWindow - have)
            n = kWindow - have;
        if (n > in.size - in.pos)
            n = in.size - in.pos;
        if (n == 0)
            break;
        memcpy(win + have, in.data + in.pos, n);
        have += n;
        in.pos += n;
        in.blockLeft -= n;
    }
    return {win, win + have};
}

}  // namespace

int DecodeLzw(int minCodeSize, LzwInput &in, const LzwRows &t, LzwScratch *scratch) {
    // Codes are at most 12 bits: clear + 2 must leave room in the table.
    if (minCodeSize < 1 || minCodeSize > 11) {
        in.Finish();
        return 0;
    }
    if (t.width <= 0 || t.height <= 0) {
        in.Finish();
        return 1;
    }

    const int clear = 1 << minCodeSize;
    const int end = clear + 1;

    LzwScratch own;
    LzwScratch &mem = scratch ? *scratch : own;
    if (!mem.table) {
        mem.table = malloc(sizeof(Table));
        if (!mem.table) {
            in.Finish();
            return 0;
        }
    }
    // Room for what a compaction keeps (the window or a partial row, whichever is longer),
    // the longest string (which also covers the 16-byte moves below) and a run of at least
    // 2 * kHistory pixels before the next compaction.
    const size_t cap = 2 * (size_t(t.width) + 4096) + 3 * kHistory;
    if (mem.capacity < cap) {
        free(mem.buffer);
        mem.buffer = static_cast<uint8_t *>(malloc(cap));
        mem.capacity = mem.buffer ? cap : 0;
        if (!mem.buffer) {
            in.Finish();
            return 0;
        }
    }
    Table *tab = static_cast<Table *>(mem.table);
    uint8_t *buf = mem.buffer;
    for (int i = 0; i < clear; ++i) {
        tab->length[i] = 1;
        tab->suffix[i] = uint8_t(i);
        tab->prefix[i] = 0;
        tab->start[i] = UINT32_MAX;  // never behind the window: literals come from `literal`
        tab->literal[i] = uint8_t(i);
    }

    const size_t width = size_t(t.width);
    const size_t compactAt = cap - 4096;
    int rowsDone = 0;
    size_t rs = 0, wp = 0;  // staged pixels not yet in a row are buf[rs, wp)
    uint64_t base = 0;      // absolute output position of buf[0]
    auto emitRow = [&](const uint8_t *src, size_t n) {
        int r = t.interlaced ? InterlacedRow(rowsDone, t.height) : rowsDone;
        uint8_t *dst = t.pixels + size_t(t.height - 1 - r) * t.stride;
        PackRow(dst, src, int(n), t.bits);
        ++rowsDone;
    };

    // Codes, least significant bit first: `acc` holds `held` bits; the bits above them are
    // zero or the stream's own next bits (a refill ORs the same bits in again).  Away from the
    // end of the window a refill tops the bits up whether or not they were needed: no branch
    // on the code lengths, which cannot be predicted.
    uint8_t win[kWindow];
    Window w{win, win};
    uint64_t acc = 0;
    int held = 0;
    auto need = [&](int n) {
        if (w.lim - w.p >= 8) {
            uint64_t v;
            memcpy(&v, w.p, 8);
            if (!IsLittleEndian())
                v = Swap64(v);
            acc |= v << held;
            w.p += (63 - held) >> 3;
            held |= 56;
            return true;
        }
        if (held >= n)
            return true;
        w = Gather(in, win, w.p, w.lim);
        while (held <= 56 && w.p < w.lim) {
            acc |= uint64_t(*w.p++) << held;
            held += 8;
        }
        return held >= n;
    };
    auto take = [&](int n, int m) {
        int code = int(acc & uint64_t(m));
        acc >>= n;
        held -= n;
        return code;
    };
    int codeSize, mask, next, growAt, c;
    for (;;) {
        // The start of the stream or a clear code: an empty table, then a literal.
        codeSize = minCodeSize + 1;
        mask = (1 << codeSize) - 1;
        growAt = 1 << codeSize;
        next = clear + 2;
        if (!need(codeSize))
            goto done;
        c = take(codeSize, mask);
        if (c == clear)
            continue;
        if (c == end)
            goto done;
        if (c > clear) {
            in.damaged = true;
            goto done;
        }
        if (wp > compactAt)
            goto compact;
    literal:
        buf[wp] = uint8_t(c);
        {
            int prev = c;
            uint64_t prevStart = base + wp;
            int prevLen = 1;
            ++wp;
            for (;;) {
                while (wp - rs >= width) {
                    emitRow(buf + rs, width);
                    rs += width;
                    if (rowsDone >= t.height)
                        goto done;
                }
                if (!need(codeSize))
                    goto done;
                c = take(codeSize, mask);
                if (wp > compactAt) {
                    // Keep the pixels not yet in a row and the window of history.
                    size_t from = wp - kHistory;
                    if (from > rs)
                        from = rs;
                    memmove(buf, buf + from, wp - from);
                    wp -= from;
                    rs -= from;
                    base += from;
                }
                const uint64_t start = base + wp;
                int len;
                uint8_t firstPixel;
                if (c < next && unsigned(c - clear) > 1u) {
                    // A literal, or a string the table holds: copied from its earlier place in
                    // the output while the window still holds it, else rebuilt from the prefix
                    // chain.  A short string is moved as 16 bytes: the source lies before wp
                    // (or in `literal`) and the buffer has room past it; what lands beyond the
                    // string is overwritten by the pixels that follow.
                    len = tab->length[c];
                    const uint32_t at = tab->start[c];
                    uint8_t *dst = buf + wp;
                    if (at >= base) {
                        // Literal or string, chosen without a branch (the two alternate
                        // unpredictably in a noisy picture).
                        const uintptr_t fromBuf = uintptr_t(buf) + uintptr_t(at - base);
                        const uintptr_t fromLiteral = uintptr_t(tab->literal + c);
                        const uintptr_t literal = uintptr_t(0) - uintptr_t(c < clear);
                        const uint8_t *src =
                            reinterpret_cast<const uint8_t *>((fromLiteral & literal) | (fromBuf & ~literal));
                        if (len <= 16) {
                            uint8_t chunk[16];
                            memcpy(chunk, src, 16);
                            memcpy(dst, chunk, 16);
                        } else {
                            memcpy(dst, src, size_t(len));
                        }
                    } else {
                        int code = c;
                        uint8_t *p = dst + len - 1;
                        while (code >= clear) {
                            *p-- = tab->suffix[code];
                            code = tab->prefix[code];
                        }
                        *p = uint8_t(code);
                    }
                    firstPixel = *dst;
                } else if (c == next) {
                    // The string of the previous code followed by its own first pixel.
                    len = prevLen + 1;
                    const uint8_t *src = buf + (prevStart - base);  // just written: in the window
                    memcpy(buf + wp, src, size_t(prevLen));
                    firstPixel = src[0];
                    buf[wp + size_t(prevLen)] = firstPixel;
                } else if (c == clear) {
                    break;
                } else {
                    if (c != end)
                        in.damaged = true;  // a code the table has not defined yet
                    goto done;
                }
                if (next < 4096) {
                    // prev's string and this code's first pixel, side by side in the output.
                    tab->start[next] = uint32_t(prevStart);
                    tab->prefix[next] = uint16_t(prev);
                    tab->suffix[next] = firstPixel;
                    tab->length[next] = uint16_t(prevLen + 1);
                    if (++next == growAt && codeSize < 12) {
                        ++codeSize;
                        mask = (1 << codeSize) - 1;
                        growAt = 1 << codeSize;
                    }
                }
                wp += size_t(len);
                prev = c;
                prevStart = start;
                prevLen = len;
            }
        }
        continue;
    compact: {
        size_t from = wp - kHistory;
        if (from > rs)
            from = rs;
        memmove(buf, buf + from, wp - from);
        wp -= from;
        rs -= from;
        base += from;
        goto literal;
    }
    }
done:
    // A stream that ends early leaves its last row partly filled; the rest stays zero.
    if (rowsDone < t.height && wp > rs)
        emitRow(buf + rs, wp - rs);

    in.Finish();
    return 1;
}

}  // namespace gifcodec
