/*
 * Fuzz target of the GIF writer and the animation rework: whatever the reader makes of the
 * input is saved and read back (every frame that has a colour table must come back with the
 * same information and the same bitmap), shrunk into a box and cut to a rectangle derived from
 * the input, and frame 0 is reduced to 256 colours in each mode.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "basemem.h"
#include "fuzz_input.h"
#include "gif.h"
#include "pixkit.h"

namespace {

void Check(bool ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "gif_rewrite_fuzz: %s\n", what);
        abort();
    }
}

bool SameBitmap(HGLOBAL a, HGLOBAL b) {
    const BYTE *pa = static_cast<const BYTE *>(BaseMemLock(a));
    const BYTE *pb = static_cast<const BYTE *>(BaseMemLock(b));
    bool same = false;
    if (pa && pb) {
        const BITMAPINFOHEADER *ha = reinterpret_cast<const BITMAPINFOHEADER *>(pa);
        size_t bytes = 40 + 4 * size_t(ha->biClrUsed) + ha->biSizeImage;
        same = BaseMemSize(a) >= bytes && BaseMemSize(b) >= bytes && memcmp(pa, pb, bytes) == 0;
    }
    if (pa)
        BaseMemUnlock(a);
    if (pb)
        BaseMemUnlock(b);
    return same;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string in = FuzzScratchPath("gif_rewrite_fuzz", "_in.gif"),
                             out = FuzzScratchPath("gif_rewrite_fuzz", "_out.gif"),
                             cut = FuzzScratchPath("gif_rewrite_fuzz", "_cut.gif");
    if (!FuzzWriteInput(in, data, size))
        return 0;

    CGifFile gif;
    if (!gif.Load(in.c_str()))
        return 0;
    // Keep each run small: the writer's cost follows the pixels.
    int64_t area = 0;
    for (int i = 0; i < gif.GetFrameCount(); ++i) {
        GIFFRAMEINFO info;
        gif.GetFrameInfo(i, &info);
        area += int64_t(info.width) * info.height;
    }
    int sw = 0, sh = 0;
    gif.GetScreenSize(&sw, &sh);
    if (area > (1 << 20) || int64_t(sw) * sh > (1 << 20))
        return 0;

    GIFSCREEN screen = {};
    gif.GetScreen(&screen);
    if (gif.Save(out.c_str())) {
        CGifFile back;
        Check(back.Load(out.c_str()) == 1, "saved file does not load");
        Check(back.GetFrameCount() == gif.GetFrameCount(), "frame count changed");
        for (int i = 0; i < gif.GetFrameCount(); ++i) {
            GIFFRAMEINFO a, b;
            memset(&a, 0, sizeof(a));  // padding too: the records are compared whole
            memset(&b, 0, sizeof(b));
            HGLOBAL da = gif.GetFrame(i, &a), db = back.GetFrame(i, &b);
            if (!a.hasLocalTable && !screen.hasGlobalTable)
                continue;  // no table at all: the reader makes up a grey ramp
            Check(memcmp(&a, &b, sizeof(a)) == 0, "frame info changed");
            Check(SameBitmap(da, db), "frame bitmap changed");
        }
    }
    if (sw > 1 && sh > 1) {
        ResizeGif(in.c_str(), 1 + data[size / 2] % sw, 1 + data[size / 3] % sh, cut.c_str());
        CropGif(in.c_str(), data[size / 4] % sw, data[size / 5] % sh, 1 + data[size / 6] % sw,
                1 + data[size / 7] % sh, cut.c_str());
    }
    HGLOBAL thumb = gif.GetFrameCount() > 0 ? LoadGifThumbnail(in.c_str()) : 0;
    if (thumb) {
        for (int mode : {1, 2, 3, 101}) {
            HGLOBAL r = ReduceToPalette(thumb, mode, mode == 2);
            Check(r != GIF_REDUCE_BAD_DEPTH, "a thumbnail is not true colour");
            if (!IsReduceFailure(r) && r != thumb)
                BaseMemFree(r);
        }
        BaseMemFree(thumb);
    }
    return 0;
}
