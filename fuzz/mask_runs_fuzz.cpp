/*
 * Mask bytes through MaskScanRuns: the first input byte is the index to select, the rest the
 * mask block (header, palette, rows) of that many bytes.  Any bytes must be refused or scanned
 * within the block, and what is scanned must be the banded form, inside the picture, covering
 * exactly the pixels equal to the index.
 */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "mask_runs.h"

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int index = data[0];
    // A copy of exactly the block's size, so that a read past it is caught.
    std::vector<uint8_t> block(data + 1, data + size);
    std::vector<RECT> rects;
    MaskStatus status = MaskScanRuns(block.empty() ? nullptr : block.data(), block.size(), index, &rects);
    if (status != MASK_OK) {
        CHECK(rects.empty());
        return 0;
    }
    BITMAPINFOHEADER bih;
    memcpy(&bih, block.data(), sizeof bih);
    const int w = bih.biWidth, h = bih.biHeight;
    size_t stride = 0, offset = 0;
    CHECK(MaskCheck(block.data(), block.size(), &stride, &offset) == MASK_OK);
    CHECK(offset + stride * (size_t)h <= block.size());

    // The selected pixels, counted the plain way.
    size_t want = 0;
    for (int r = 0; r < h; ++r)
        for (int x = 0; x < w; ++x)
            want += block[offset + (size_t)r * stride + (size_t)x] == index;

    size_t got = 0;
    for (size_t i = 0; i < rects.size(); ++i) {
        const RECT &rc = rects[i];
        CHECK(0 <= rc.left && rc.left < rc.right && rc.right <= w);
        CHECK(0 <= rc.top && rc.top < rc.bottom && rc.bottom <= h);
        if (i > 0) {
            const RECT &p = rects[i - 1];
            if (p.top == rc.top)
                CHECK(p.bottom == rc.bottom && p.right < rc.left);
            else
                CHECK(p.bottom <= rc.top);
        }
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x)
                CHECK(block[offset + (size_t)(h - 1 - y) * stride + (size_t)x] == index);
        got += (size_t)(rc.right - rc.left) * (size_t)(rc.bottom - rc.top);
    }
    CHECK(got == want);  // every selected pixel once: the rectangles neither miss nor overlap
    return 0;
}
