#include "dib_png.h"

#include <stdint.h>
#include <string.h>

#include <vector>

#include "basemem.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

namespace demo {

bool WriteDibPng(HGLOBAL hDib, const std::string &path, std::string *error)
{
    auto fail = [&](const char *why) {
        if (error)
            *error = why;
        return false;
    };
    if (!hDib)
        return fail("no picture");
    DWORD size = BaseMemSize(hDib);
    const uint8_t *base = (const uint8_t *)BaseMemLock(hDib);
    if (!base)
        return fail("picture block cannot be locked");
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    bool ok = false;
    do {
        if (size < sizeof(BITMAPINFOHEADER))
            break;
        BITMAPINFOHEADER bih;
        memcpy(&bih, base, sizeof bih);
        int bits = bih.biBitCount;
        if (bih.biWidth <= 0 || bih.biHeight == 0 || bih.biWidth > 65535 || bih.biHeight > 65535 ||
            bih.biHeight < -65535 || (bits != 1 && bits != 4 && bits != 8 && bits != 24))
            break;
        w = bih.biWidth;
        h = bih.biHeight < 0 ? -bih.biHeight : bih.biHeight;
        uint32_t colours = bih.biClrUsed ? bih.biClrUsed : (bits <= 8 ? 1u << bits : 0);
        uint64_t stride = (((uint64_t)w * bits + 31) / 32) * 4;
        uint64_t offset = bih.biSize + (uint64_t)colours * 4;
        if (offset + stride * h > size)
            break;
        const uint8_t *pal = base + bih.biSize;
        rgb.resize((size_t)w * h * 3);
        for (int y = 0; y < h; ++y) {
            int srcRow = bih.biHeight > 0 ? h - 1 - y : y;  // bottom-up unless negative height
            const uint8_t *row = base + offset + stride * srcRow;
            for (int x = 0; x < w; ++x) {
                uint8_t *o = &rgb[((size_t)y * w + x) * 3];
                if (bits == 24) {
                    o[0] = row[x * 3 + 2], o[1] = row[x * 3 + 1], o[2] = row[x * 3];
                    continue;
                }
                unsigned idx = bits == 8 ? row[x]
                               : bits == 4 ? (row[x / 2] >> ((x & 1) ? 0 : 4)) & 15
                                           : (row[x / 8] >> (7 - (x & 7))) & 1;
                if (idx >= colours) {
                    o[0] = o[1] = o[2] = 0;
                } else {
                    o[0] = pal[idx * 4 + 2], o[1] = pal[idx * 4 + 1], o[2] = pal[idx * 4];
                }
            }
        }
        ok = true;
    } while (0);
    BaseMemUnlock(hDib);
    if (!ok)
        return fail("not a 1, 4, 8 or 24-bit DIB");
    if (!stbi_write_png(path.c_str(), w, h, 3, rgb.data(), w * 3))
        return fail("cannot write the PNG file");
    return true;
}

}  // namespace demo
