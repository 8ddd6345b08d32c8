/*
 * Fuzz target of the reduced JPEG decoder: the input is written to a private temporary file
 * and opened at 1/8, 1/4 and 1/2 of its size and at full size.  Nothing may fault, and a
 * picture that opens has the size asked for: each side divided by the scale and rounded up,
 * or the full size when the reduction leaves the file to the full decoder.
 */
#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <string>

#include "basemem.h"
#include "fuzz_input.h"
#include "pixkit.h"

#include "fuzz_check.h"

namespace {

/* The SOF segment's size, when the input has one before its first scan. */
bool FrameSize(const uint8_t *d, size_t n, int *w, int *h) {
    size_t at = 2;
    while (at + 9 <= n && d[at] == 0xFF) {
        int m = d[at + 1];
        size_t len = (size_t(d[at + 2]) << 8) | d[at + 3];
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            *h = (d[at + 5] << 8) | d[at + 6];
            *w = (d[at + 7] << 8) | d[at + 8];
            return true;
        }
        if (m == 0xDA || len < 2)
            return false;
        at += 2 + len;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return 0;  // the other formats have targets of their own
    static const std::string path = FuzzScratchPath("jpeg_fuzz", ".jpg");
    if (!FuzzWriteInput(path, data, size))
        return 0;
    int W = 0, H = 0;
    bool sized = FrameSize(data, size, &W, &H);
    // Large declared sizes decode slowly at full size and say nothing more.
    if (sized && double(W) * H > 1 << 20)
        return 0;
    for (int scale : {8, 4, 2, 1}) {
        int minW = sized ? (W + scale - 1) / scale : 1, minH = sized ? (H + scale - 1) / scale : 1;
        HGLOBAL dib = scale == 1 ? PxOpenFile(path.c_str(), 0, 0) : PxOpenFileReduced(path.c_str(), minW, minH);
        if (!dib)
            continue;
        int w = 0, h = 0;
        CHECK(PxDibGetSize(dib, &w, &h));
        CHECK(PxDibGetType(dib) == PX_TYPE_TRUECOLOR);
        if (sized)
            CHECK((w == minW && h == minH) || (w == W && h == H));
        BaseMemFree(dib);
    }
    return 0;
}
