/*
 * Mask bitmaps for the tests: 8-bit DIB blocks drawn from text rows ('#' is index 255, any
 * other character index 0), top row first, with pad bytes set to 255 so that a reader that
 * takes padding for pixels is caught.
 */
#pragma once
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "basemem.h"
#include "picture_files.h"

namespace uitest {

/* The bytes of a mask (header, palette of nColours entries, bottom-up rows). */
inline std::vector<BYTE> MaskBytes(const std::vector<std::string> &rows, int nColours = 256, int nBits = 8)
{
    const int h = (int)rows.size(), w = h ? (int)rows[0].size() : 0;
    const size_t stride = testkit::DibStride(w, nBits);
    std::vector<BYTE> bytes(40 + 4 * (size_t)nColours + stride * (size_t)h, 0);
    BITMAPINFOHEADER bih = testkit::InfoHeader(w, h, nBits);
    bih.biClrUsed = (DWORD)nColours;
    memcpy(bytes.data(), &bih, sizeof bih);
    BYTE *pixels = bytes.data() + 40 + 4 * (size_t)nColours;
    for (int y = 0; y < h; ++y) {
        BYTE *row = pixels + (size_t)(h - 1 - y) * stride;
        memset(row, 255, stride);  // the padding
        for (int x = 0; x < w && nBits == 8; ++x)
            row[x] = rows[(size_t)y][(size_t)x] == '#' ? 255 : 0;
    }
    return bytes;
}

/* The same as a memory block of the library (freed with BaseMemFree), or 0. */
inline HGLOBAL MaskBlock(const std::vector<std::string> &rows, int nColours = 256, int nBits = 8)
{
    std::vector<BYTE> bytes = MaskBytes(rows, nColours, nBits);
    HGLOBAL h = BaseMemAlloc(GMEM_MOVEABLE, (DWORD)bytes.size());
    if (!h)
        return 0;
    memcpy(BaseMemLock(h), bytes.data(), bytes.size());
    BaseMemUnlock(h);
    return h;
}

}  // namespace uitest
