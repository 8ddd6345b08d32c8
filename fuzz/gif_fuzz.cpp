/*
 * Fuzz target of the GIF reader: the input is written to a private temporary file and read
 * with CGifFile::Load; every frame is then walked through the container's queries, and the
 * thumbnail path (conversion and filtered shrinking) runs on small pictures.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "basemem.h"
#include "fuzz_input.h"
#include "gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = FuzzScratchPath("gif_fuzz", ".gif");
    if (!FuzzWriteInput(path, data, size))
        return 0;

    CGifFile gif;
    if (gif.Load(path.c_str())) {
        int count = gif.GetFrameCount();
        for (int i = 0; i < count; ++i) {
            GIFFRAMEINFO info;
            HGLOBAL dib = gif.GetFrame(i, &info);
            (void)gif.GetTransparentColor(i);
            GIFPALETTE *pal = gif.GetLocalPalette(i);
            if (pal) {
                free(pal->entries);
                delete pal;
            }
            (void)CGifFile::FindPaletteIndex(dib, 0);
        }
        (void)gif.GetDuration();
        int w = 0, h = 0;
        GIFFRAMEINFO first;
        if (gif.GetFrameInfo(0, &first) && first.width * first.height <= 4096) {
            HGLOBAL thumb = LoadGifThumbnail(path.c_str());
            if (thumb)
                BaseMemFree(thumb);
        }
        gif.GetScreenSize(&w, &h);
        if (count > 0)
            gif.RemoveFrame(count - 1);
    }
    WORD sw, sh;
    GetGifSize(path.c_str(), &sw, &sh);
    return 0;
}
