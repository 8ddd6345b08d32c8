/*
 * PixKit: JPEG and PNG, decoded through stb_image as true colour,
 * after the checks that keep damaged JPEG tables away from it.
 *
 * stb_image shifts by more than a word's width when the data of a damaged JPEG runs out in
 * the middle of a code (the bits it then adds are garbage, and the picture is damaged
 * anyway); this file is built without the shift check of the undefined-behaviour sanitizer
 * for that reason, the rest of the library with it.
 */
#include <stdlib.h>
#include <string.h>

#include "pixkit_dib.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
// JPEG and PNG only: the formats whose declared size is weighed against their data first.
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
// Its blocks start zeroed: nothing a damaged file leaves unset is read as leftover memory.
#define STBI_MALLOC(size) calloc(1, size)
#define STBI_REALLOC(p, size) realloc(p, size)
#define STBI_FREE(p) free(p)
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace pixkit {

namespace {

/*
 * Whether a JPEG file's Huffman tables are safe to hand to stb_image: every table holds at
 * most 256 codes, and every scan uses only tables defined before it.  stb_image fills a
 * table's code lengths and symbols before it checks anything, so more than 256 would be
 * written past the table; and it decodes with a table never defined from memory never
 * written, reading wherever that leads.  The walk reads as stb_image does: segment by
 * segment (FF xx length:u16be), a DHT segment table by table (class:4 id:4, 16 counts, the
 * symbols) for as long as the segment's length says, octets past the end of the file reading
 * as 0; the entropy-coded data after a scan is passed over up to the next marker.
 *   SOS: Ns, Ns x (component id, DC table:4 AC table:4), Ss, Se, Ah:4 Al:4
 * A sequential scan uses both tables of each component; a progressive one its DC tables
 * when it is a first DC scan (Ss 0, Ah 0), its AC tables when it codes AC (Ss > 0).
 */
bool JpegTablesFit(const BYTE *d, size_t n) {
    auto at = [d, n](size_t i) -> unsigned { return i < n ? d[i] : 0; };
    unsigned dcDefined = 0, acDefined = 0;
    bool progressive = false;
    size_t p = 2;
    while (p + 1 < n) {
        if (d[p] != 0xFF) {
            ++p;  // entropy-coded data
            continue;
        }
        const unsigned m = d[p + 1];
        if (m == 0xFF) {
            ++p;
            continue;
        }
        if (m == 0x00 || m == 0x01 || m == 0xD8 || (m >= 0xD0 && m <= 0xD7)) {
            p += 2;  // stuffed FF, or a marker without a segment
            continue;
        }
        if (m == 0xD9 || p + 4 > n)
            return true;
        const long len = long((at(p + 2) << 8) | at(p + 3));
        if (m == 0xC2)
            progressive = true;
        if (m == 0xDA) {
            const unsigned ns = at(p + 4);
            const unsigned ss = at(p + 5 + 2 * ns), ah = at(p + 7 + 2 * ns) >> 4;
            for (unsigned i = 0; i < ns; ++i) {
                const unsigned tables = at(p + 6 + 2 * i), dc = 1u << (tables >> 4), ac = 1u << (tables & 15);
                if ((!progressive || (ss == 0 && ah == 0)) && !(dcDefined & dc))
                    return false;
                if ((!progressive || ss > 0) && !(acDefined & ac))
                    return false;
            }
        }
        if (m == 0xC4) {
            long left = len - 2;
            size_t t = p + 4;
            while (left > 0) {
                unsigned total = 0;
                for (int i = 0; i < 16; ++i)
                    total += at(t + 1 + size_t(i));
                if (total > 256)
                    return false;
                const unsigned kind = at(t);
                if ((kind & 15) < 4)
                    ((kind >> 4) ? acDefined : dcDefined) |= 1u << (kind & 15);
                left -= 17 + long(total);
                t += 17 + size_t(total);
            }
        }
        p += 2 + size_t(len < 2 ? 0 : len);
    }
    return true;
}

}  // namespace

HGLOBAL DecodeWithStb(const BYTE *data, size_t size) {
    if (size > 0x7FFFFFFF)
        return 0;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8 && !JpegTablesFit(data, size))
        return 0;
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(data, int(size), &w, &h, &comp) || w <= 0 || h <= 0 ||
        size_t(w) * size_t(h) > kMaxPixelBytes / 4)
        return 0;
    // A picture with an alpha channel is flattened onto white, the page a slide is shown on;
    // taking its colour channels alone would show the transparent area in whatever colour
    // the encoder left there (black, mostly).
    const bool alpha = comp == 2 || comp == 4;
    const int n = alpha ? 4 : 3;
    stbi_uc *rgb = stbi_load_from_memory(data, int(size), &w, &h, &comp, n);
    if (!rgb)
        return 0;
    BYTE *base;
    HGLOBAL hDib = NewDibBlock(w, h, 24, 0, &base);
    if (hDib) {
        size_t stride = Stride(w, 24);
        BYTE *px = base + sizeof(BITMAPINFOHEADER);
        for (int y = 0; y < h; ++y) {
            const stbi_uc *s = rgb + size_t(y) * size_t(w) * n;
            BYTE *row = px + size_t(h - 1 - y) * stride;
            if (!alpha) {
                // Opaque: the channels swapped, nothing to blend (the common, large case).
                for (int x = 0; x < w; ++x, s += 3) {
                    row[3 * x] = s[2];
                    row[3 * x + 1] = s[1];
                    row[3 * x + 2] = s[0];
                }
                continue;
            }
            for (int x = 0; x < w; ++x, s += n) {
                unsigned a = s[3];
                // c * a / 255 + 255 - a, rounded
                auto over = [a](unsigned c) { return BYTE((c * a + 255 * (255 - a) + 127) / 255); };
                row[3 * x] = over(s[2]);
                row[3 * x + 1] = over(s[1]);
                row[3 * x + 2] = over(s[0]);
            }
        }
        BlockUnlock(hDib);
    }
    stbi_image_free(rgb);
    return hDib;
}

}  // namespace pixkit
