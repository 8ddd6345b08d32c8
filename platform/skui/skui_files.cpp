/* The UI folder's bitmaps as the skinned message box and controls use them. */
#include <string.h>

#include "pixkit.h"
#include "skui_private.h"
#include "ui_blocks.h"

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

void DrawDibBlock(HDC dc, HGLOBAL hDib, int x, int y)
{
    size_t size = 0;
    const BYTE *p = hDib ? LockDib(hDib, &size) : nullptr;
    if (!p)
        return;
    UiDrawDib(dc, p, size, x, y);
    UnlockDib(hDib);
}

void CutUICorners(HWND hWnd)
{
    static const char *const names[4] = {"WndFrmMask_lt.bmp", "WndFrmMask_rt.bmp", "WndFrmMask_rb.bmp",
                                         "WndFrmMask_lb.bmp"};
    HGLOBAL masks[4] = {};
    const void *locked[4] = {};
    size_t sizes[4] = {};
    for (int i = 0; i < 4; ++i) {
        masks[i] = LoadUIDib(names[i]);  // a missing file leaves its corner square
        locked[i] = masks[i] ? LockDib(masks[i], &sizes[i]) : nullptr;
    }
    UiCutCorners(hWnd, locked, sizes, FALSE);
    for (int i = 0; i < 4; ++i) {
        if (locked[i])
            UnlockDib(masks[i]);
        FreeDib(masks[i]);
    }
}

}  // namespace skui
