/* The UI folder's bitmaps as the skinned message box and controls use them. */
#include <string.h>

#include <vector>

#include "mask_runs.h"
#include "pixkit.h"
#include "skui_private.h"

namespace skui {
namespace {

/* Blocks come from the imaging library, in the allocator it names. */
const BYTE *LockDib(HGLOBAL h, size_t *pSize)
{
    const bool huge = PxIsHugeVersion() != FALSE;
    *pSize = huge ? ZelMemSize(h) : GlobalSize(h);
    return (const BYTE *)(huge ? ZelMemLock(h) : GlobalLock(h));
}

void UnlockDib(HGLOBAL h)
{
    if (PxIsHugeVersion())
        ZelMemUnlock(h);
    else
        GlobalUnlock(h);
}

}  // namespace

std::string UIFilePath(const char *lpszName)
{
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !lpszName)
        return "";
    std::string path(exe, n);
    size_t slash = path.find_last_of("\\/");
    path = (slash == std::string::npos ? std::string() : path.substr(0, slash)) + "\\UI\\" + lpszName;
    return path.size() < MAX_PATH ? path : "";
}

HGLOBAL LoadUIDib(const char *lpszName)
{
    std::string path = UIFilePath(lpszName);
    return path.empty() ? 0 : PxOpenFile(path.c_str(), 0, 0);
}

void FreeDib(HGLOBAL hDib)
{
    if (!hDib)
        return;
    if (PxIsHugeVersion())
        ZelMemFree(hDib);
    else
        GlobalFree(hDib);
}

bool DibSize(HGLOBAL hDib, int *pWidth, int *pHeight)
{
    return hDib && PxDibGetSize(hDib, pWidth, pHeight);
}

HRGN MaskBlockRegion(HGLOBAL hDib)
{
    if (!hDib)
        return NULL;
    size_t size = 0;
    const BYTE *p = LockDib(hDib, &size);
    if (!p)
        return NULL;
    std::vector<RECT> rects;
    MaskScanRuns(p, size, 255, &rects);
    UnlockDib(hDib);
    // Corner masks are small: one region per run is cheap here.
    HRGN rgn = NULL;
    for (const RECT &r : rects) {
        HRGN one = CreateRectRgn(r.left, r.top, r.right, r.bottom);
        if (!one)
            continue;
        if (!rgn) {
            rgn = one;
        } else {
            CombineRgn(rgn, rgn, one, RGN_OR);
            DeleteObject(one);
        }
    }
    return rgn;
}

void DrawDibBlock(HDC dc, HGLOBAL hDib, int x, int y)
{
    size_t size = 0;
    const BYTE *p = hDib ? LockDib(hDib, &size) : nullptr;
    if (!p)
        return;
    struct {
        BITMAPINFOHEADER bih;
        RGBQUAD pal[256];
    } info;
    memset(&info, 0, sizeof info);
    if (size >= sizeof info.bih) {
        memcpy(&info.bih, p, sizeof info.bih);
        const DWORD colours = info.bih.biClrUsed <= 256 ? info.bih.biClrUsed : 0;
        const uint64_t stride = ((uint64_t)(info.bih.biWidth > 0 ? info.bih.biWidth : 0) * info.bih.biBitCount + 31) / 32 * 4;
        const uint64_t need = sizeof info.bih + colours * 4 + stride * (uint64_t)(info.bih.biHeight > 0 ? info.bih.biHeight : 0);
        if (info.bih.biWidth > 0 && info.bih.biHeight > 0 && need <= size) {
            memcpy(info.pal, p + sizeof info.bih, colours * 4);
            if (info.bih.biBitCount <= 8 && colours == 0)
                info.bih.biClrUsed = 1u << info.bih.biBitCount;
            StretchDIBits(dc, x, y, info.bih.biWidth, info.bih.biHeight, 0, 0, info.bih.biWidth, info.bih.biHeight,
                          p + sizeof info.bih + colours * 4, (const BITMAPINFO *)&info, DIB_RGB_COLORS, SRCCOPY);
        }
    }
    UnlockDib(hDib);
}

}  // namespace skui
