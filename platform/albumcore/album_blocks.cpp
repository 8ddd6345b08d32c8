/*
 * The album library's block operations: a store of bitmaps by (album, item), exchanged as
 * Windows global blocks, and drawing of a packed DIB into a device context.
 */
#include <string.h>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "albumcore.h"

namespace {
std::mutex g_lock;
std::map<std::pair<DWORD, DWORD>, std::vector<unsigned char>> g_store;
HGLOBAL g_last = 0;  // the last block handed out (AlbumLastBlock)

/* StretchDIBits, looked up at run time so the stand-in loads where drawing is absent. */
typedef int(WINAPI *StretchDIBitsFn)(HDC, int, int, int, int, int, int, int, int, const void *,
                                     const void *, UINT, DWORD);
}  // namespace

HGLOBAL AlbumGetBlock(DWORD dwAlbum, DWORD dwItem)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_store.find({dwAlbum, dwItem});
    if (it == g_store.end() || it->second.empty())
        return 0;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, it->second.size());
    if (!h)
        return 0;
    void *p = GlobalLock(h);
    if (!p) {
        GlobalFree(h);
        return 0;
    }
    memcpy(p, it->second.data(), it->second.size());
    GlobalUnlock(h);
    g_last = h;
    return h;
}

int AlbumPutBlock(DWORD dwAlbum, DWORD dwItem, HGLOBAL hDib)
{
    if (!hDib)
        return 0;
    SIZE_T n = GlobalSize(hDib);
    const unsigned char *p = n ? (const unsigned char *)GlobalLock(hDib) : NULL;
    if (!p)
        return 0;
    std::vector<unsigned char> bytes(p, p + n);
    GlobalUnlock(hDib);
    std::lock_guard<std::mutex> g(g_lock);
    g_store[{dwAlbum, dwItem}] = std::move(bytes);
    return 1;
}

HGLOBAL AlbumLastBlock(void)
{
    std::lock_guard<std::mutex> g(g_lock);
    return g_last;
}

void AlbumResetBlocks(void)
{
    std::lock_guard<std::mutex> g(g_lock);
    g_store.clear();
}

int AlbumDrawDib(HDC hdc, HGLOBAL hDib, const RECT *rc, DWORD, DWORD)
{
    if (!hdc || !hDib || !rc)
        return 0;
    SIZE_T n = GlobalSize(hDib);
    if (n < 40)
        return 0;
    const unsigned char *p = (const unsigned char *)GlobalLock(hDib);
    if (!p)
        return 0;
    int32_t width, height;
    uint16_t bits;
    uint32_t used, header;
    memcpy(&header, p, 4);
    memcpy(&width, p + 4, 4);
    memcpy(&height, p + 8, 4);
    memcpy(&bits, p + 14, 2);
    memcpy(&used, p + 32, 4);
    if (bits <= 8 && used == 0)
        used = 1u << bits;
    uint64_t stride = ((uint64_t)(width > 0 ? width : 0) * bits + 31) / 32 * 4;
    uint64_t rows = (uint64_t)(height < 0 ? -(int64_t)height : height);
    uint64_t need = (uint64_t)header + (uint64_t)used * 4 + stride * rows;
    int ok = 0;
    if (header >= 40 && width > 0 && rows > 0 && used <= 256 &&
        (bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32) && need <= n) {
        HMODULE gdi = LoadLibraryA("gdi32.dll");
        StretchDIBitsFn draw = gdi ? (StretchDIBitsFn)(void *)GetProcAddress(gdi, "StretchDIBits") : NULL;
        if (draw)
            ok = draw(hdc, rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top, 0, 0, width, (int)rows,
                      p + header + used * 4, p, 0 /* DIB_RGB_COLORS */, 0x00CC0020 /* SRCCOPY */) != 0;
        if (gdi)
            FreeLibrary(gdi);
    }
    GlobalUnlock(hDib);
    return ok;
}
