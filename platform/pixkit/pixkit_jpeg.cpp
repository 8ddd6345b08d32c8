/*
 * PixKit: bitmaps written as baseline JPEG (stb_image_write's encoder, 4:2:0 chroma), into a
 * memory block, so that a caller searching for a size can try qualities without touching the
 * disk.
 */
#include <stdlib.h>
#include <string.h>

#include <string>

#include "pixkit.h"
#include "pixkit_dib.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

using namespace pixkit;

namespace {

struct Sink {
    std::string bytes;
    bool failed = false;
};

void Collect(void *context, void *data, int size) {
    Sink *s = static_cast<Sink *>(context);
    if (s->failed || size <= 0)
        return;
    try {
        s->bytes.append(static_cast<const char *>(data), size_t(size));
    } catch (...) {
        s->failed = true;
    }
}

}  // namespace

PIXKIT_API HGLOBAL WINAPI PxDibEncodeJpeg(HGLOBAL hDib, int nQuality, DWORD *pcbJpeg) {
    if (pcbJpeg)
        *pcbJpeg = 0;
    if (!hDib || !pcbJpeg || nQuality < 1 || nQuality > 100)
        return 0;
    // Any depth the view takes becomes top-down red, green, blue rows for the encoder.
    HGLOBAL result = 0;
    View v;
    if (!v.Open(hDib) || v.width > 65535 || v.height > 65535)
        return 0;
    size_t rowBytes = size_t(v.width) * 3;
    unsigned char *rgb = static_cast<unsigned char *>(malloc(rowBytes * size_t(v.height)));
    if (!rgb)
        return 0;
    for (int y = 0; y < v.height; ++y) {
        const BYTE *src = v.Row(y);
        unsigned char *dst = rgb + rowBytes * size_t(y);
        if (v.bits == 24) {
            for (int x = 0; x < v.width; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
            continue;
        }
        BYTE bgr[3];
        for (int x = 0; x < v.width; ++x) {
            v.Pixel(src, x, bgr);
            dst[3 * x] = bgr[2];
            dst[3 * x + 1] = bgr[1];
            dst[3 * x + 2] = bgr[0];
        }
    }
    const int width = v.width, height = v.height;
    v.Close();
    Sink sink;
    int ok = stbi_write_jpg_to_func(Collect, &sink, width, height, 3, rgb, nQuality);
    free(rgb);
    if (ok && !sink.failed && !sink.bytes.empty() && sink.bytes.size() <= 0x7FFFFFFF) {
        result = BlockAlloc(sink.bytes.size(), false);
        void *p = result ? BlockLock(result) : nullptr;
        if (p) {
            memcpy(p, sink.bytes.data(), sink.bytes.size());
            BlockUnlock(result);
            *pcbJpeg = DWORD(sink.bytes.size());
        } else if (result) {
            BlockFree(result);
            result = 0;
        }
    }
    return result;
}
