/*
 * Shell file information: the icon of a file is drawn here in code, a generic document (a white
 * page with a folded corner) or a folder, since this host has no icon theme to ask.
 */
#include <stdint.h>
#include <string.h>

#include <string>

#include "icon_private.h"
#include "internal.h"

namespace {

/* An icon image: 40-byte header (height doubled), 32-bit XOR rows bottom-up, then the AND mask
 * (1 = keep the background), as in an icon resource. */
HICON make_icon(int size, bool folder)
{
    const size_t xorStride = (size_t)size * 4, andStride = (((size_t)size + 31) / 32) * 4;
    auto *obj = new compat::IconObject();
    obj->owned = true;
    obj->width = obj->height = size;
    obj->bitcount = 32;
    obj->hotspot.x = obj->hotspot.y = size / 2;
    obj->dib.assign(40 + xorStride * size + andStride * size, 0);
    uint8_t *d = obj->dib.data();
    BITMAPINFOHEADER h = {};
    h.biSize = 40;
    h.biWidth = size;
    h.biHeight = 2 * size;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    memcpy(d, &h, sizeof h);
    uint8_t *xorBits = d + 40, *andBits = xorBits + xorStride * size;
    // Drawn with y from the top; stored bottom-up.
    const int left = size / 8, right = size - size / 8 - 1, top = size / 16, bottom = size - 1 - size / 16;
    const int fold = size / 4;
    for (int y = 0; y < size; ++y) {
        uint8_t *px = xorBits + xorStride * (size_t)(size - 1 - y);
        uint8_t *mask = andBits + andStride * (size_t)(size - 1 - y);
        for (int x = 0; x < size; ++x) {
            uint32_t rgb = 0;
            bool inside;
            if (folder) {
                int tabTop = top + size / 8;
                inside = x >= 1 && x <= size - 2 && ((y >= tabTop && y <= bottom - size / 8) ||
                                                     (y >= top + size / 16 && y < tabTop && x <= size / 2));
                bool edge = inside && (x == 1 || x == size - 2 || y == bottom - size / 8 || y == top + size / 16 ||
                                       (y == tabTop && x > size / 2));
                rgb = edge ? 0x806000 : 0xF0C850;
            } else {
                // The page, less the triangle cut at the top-right for the fold.
                inside = x >= left && x <= right && y >= top && y <= bottom && !(x > right - fold + (y - top));
                bool edge = inside && (x == left || x == right || y == top || y == bottom ||
                                       x == right - fold + (y - top));
                bool foldPart = inside && y - top <= fold && x >= right - fold;
                rgb = edge ? 0x404040 : foldPart ? 0xC0C0C0 : 0xFFFFFF;
            }
            if (inside) {
                px[4 * x] = (uint8_t)rgb;
                px[4 * x + 1] = (uint8_t)(rgb >> 8);
                px[4 * x + 2] = (uint8_t)(rgb >> 16);
                px[4 * x + 3] = 0xFF;
            } else {
                mask[x / 8] |= (uint8_t)(0x80 >> (x % 8));
            }
        }
    }
    return compat::icon_add(obj);
}

}  // namespace

DWORD_PTR WINAPI SHGetFileInfoA(LPCSTR pszPath, DWORD dwFileAttributes, SHFILEINFOA *psfi, UINT cbFileInfo,
                                UINT uFlags)
{
    if (!pszPath)
        return 0;
    DWORD attrs;
    if (uFlags & SHGFI_USEFILEATTRIBUTES) {
        attrs = dwFileAttributes;
    } else {
        attrs = GetFileAttributesA(pszPath);
        if (attrs == INVALID_FILE_ATTRIBUTES)
            return 0;
    }
    if (!psfi)
        return (uFlags & (SHGFI_ICON | SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_ATTRIBUTES)) ? 0 : 1;
    if (cbFileInfo < sizeof(SHFILEINFOA))
        return 0;
    if (uFlags & SHGFI_ICON) {
        psfi->hIcon = make_icon((uFlags & SHGFI_SMALLICON) ? 16 : 32, (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0);
        psfi->iIcon = (attrs & FILE_ATTRIBUTE_DIRECTORY) ? 3 : 0;
    }
    if (uFlags & SHGFI_ATTRIBUTES)
        psfi->dwAttributes = 0;
    if (uFlags & SHGFI_DISPLAYNAME) {
        std::string p(pszPath);
        size_t cut = p.find_last_of("\\/");
        std::string name = cut == std::string::npos ? p : p.substr(cut + 1);
        if (name.size() >= sizeof psfi->szDisplayName)
            name.resize(sizeof psfi->szDisplayName - 1);
        memcpy(psfi->szDisplayName, name.c_str(), name.size() + 1);
    }
    if (uFlags & SHGFI_TYPENAME) {
        const char *type = (attrs & FILE_ATTRIBUTE_DIRECTORY) ? "File folder" : "File";
        memcpy(psfi->szTypeName, type, strlen(type) + 1);
    }
    return 1;
}
