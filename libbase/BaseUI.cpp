/* The portable half of the UI services: UI folder paths, DIB pasting, dialog font settings. */
#include "baseui.h"

#include <string.h>

#include "base_assert.h"
#include "basefun.h"
#include "basemem.h"
#include "sysinfo.h"

int GetUIPath(LPCSTR sUIName, LPSTR sUIPath)
{
    MD_ASSERT(sUIName);
    MD_ASSERT(sUIPath);
    if (!sUIName || !sUIPath)
        return 0;
    char folder[MAX_PATH];
    GetAppFolder(folder);
    static const char kUI[] = "\\UI\\";
    size_t nFolder = strlen(folder), nName = strlen(sUIName);
    if (nFolder == 0 || nFolder + (sizeof kUI - 1) + nName >= MAX_PATH) {
        sUIPath[0] = 0;
        return 0;
    }
    memcpy(sUIPath, folder, nFolder);
    memcpy(sUIPath + nFolder, kUI, sizeof kUI - 1);
    memcpy(sUIPath + nFolder + sizeof kUI - 1, sUIName, nName + 1);
    return 1;
}

/* ---- PasteDib ---- */

namespace {

/* What PasteDib needs of a locked DIB; valid only when the block holds every row it claims. */
struct PasteView {
    BYTE *pixels;
    int width, height;
    size_t stride;
};

bool ViewOf(BYTE *base, DWORD cb, int bits, PasteView *v)
{
    if (cb < sizeof(BITMAPINFOHEADER))
        return false;
    BITMAPINFOHEADER bih;
    memcpy(&bih, base, sizeof bih);
    if (bih.biBitCount != bits || bih.biWidth <= 0 || bih.biHeight <= 0)
        return false;
    const uint64_t bpp = bits == 8 ? 1 : 3;
    const uint64_t offset = bits == 8 ? 1064 : 40;
    const uint64_t stride = ((uint64_t)bih.biWidth * bpp + 3) / 4 * 4;
    if (offset + stride * (uint64_t)bih.biHeight > cb)
        return false;
    v->pixels = base + offset;
    v->width = bih.biWidth;
    v->height = bih.biHeight;
    v->stride = (size_t)stride;
    return true;
}

}  // namespace

int PasteDib(HGLOBAL hDest, HGLOBAL hSrc, int x, int y)
{
    if (!hDest || !hSrc)
        return 0;
    BYTE *dst = (BYTE *)BaseMemLock(hDest);
    BYTE *src = (BYTE *)BaseMemLock(hSrc);
    int result = 0;
    if (dst && src) {
        BITMAPINFOHEADER dh;
        int bits = 0;
        if (BaseMemSize(hDest) >= sizeof dh) {
            memcpy(&dh, dst, sizeof dh);
            bits = dh.biBitCount;
        }
        PasteView d, s;
        if ((bits == 8 || bits == 24) && ViewOf(dst, BaseMemSize(hDest), bits, &d) &&
            ViewOf(src, BaseMemSize(hSrc), bits, &s) && x >= 0 && y >= 0 &&
            (int64_t)x + s.width <= d.width && (int64_t)y + s.height <= d.height) {
            const size_t bpp = bits == 8 ? 1 : 3;
            for (int r = 0; r < s.height; ++r) {
                // Source row r (from the bottom) lands on destination row
                // height - y - source height + r, so y counts from the top edge.
                BYTE *to = d.pixels + (size_t)(d.height - y - s.height + r) * d.stride + (size_t)x * bpp;
                memmove(to, s.pixels + (size_t)r * s.stride, (size_t)s.width * bpp);  // one block may be both
            }
            result = 1;
        }
    }
    if (src)
        BaseMemUnlock(hSrc);
    if (dst)
        BaseMemUnlock(hDest);
    return result;
}

/* ---- font settings ---- */

BYTE GetResFontCharset()
{
    uint8_t charset = 0;
    if (IResProvider *provider = GetResProvider())
        provider->GetFontCharset(&charset);
    return charset;
}

std::string GetResFontFace()
{
    char face[MAX_PATH];
    memset(face, 0, sizeof face);
    if (IResProvider *provider = GetResProvider())
        provider->GetFontFaceName(face);
    face[MAX_PATH - 1] = 0;
    return face;
}

int AdjustResFontSize(int nSize)
{
    IResProvider *provider = GetResProvider();
    return provider ? provider->AdjustFontSize(nSize) : nSize;
}
