/*
 * The large-memory allocator: the global-memory discipline (movable handles, lock counts,
 * GMEM_ZEROINIT, contents kept on resize, freed handles dead for good) with handles of its
 * own, which are never valid global-memory handles and the other way round.  Blocks come
 * straight from the C heap, so their size is bounded only by the address space.
 *
 * Invariant: every live handle maps to exactly one record; data is null only for a 0-byte
 * block.
 */
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <unordered_map>

#include "pixkit.h"

namespace {

struct Block {
    unsigned char *data;
    SIZE_T size;
    unsigned locks;
};

std::mutex g_lock;
std::unordered_map<uintptr_t, Block> g_blocks;
uintptr_t g_next = 0x5A000008;  // 8-aligned, far from the global-memory handle numbers
int g_huge = -1;               // -1: not set, read MEDLEY_PIXKIT_HUGE

Block *find(HGLOBAL h)
{
    auto it = g_blocks.find((uintptr_t)h);
    return it == g_blocks.end() ? NULL : &it->second;
}

}  // namespace

BOOL WINAPI PxIsHugeVersion(void)
{
    std::lock_guard<std::mutex> g(g_lock);
    if (g_huge < 0) {
        char v[8] = "";
        DWORD n = GetEnvironmentVariableA("MEDLEY_PIXKIT_HUGE", v, sizeof v);
        g_huge = (n > 0 && n < sizeof v && v[0] == '1') ? 1 : 0;
    }
    return g_huge;
}

void WINAPI PxSetHugeVersion(BOOL bHuge)
{
    std::lock_guard<std::mutex> g(g_lock);
    g_huge = bHuge ? 1 : 0;
}

HGLOBAL WINAPI ZelMemAlloc(UINT uFlags, SIZE_T dwBytes)
{
    unsigned char *p = NULL;
    if (dwBytes) {
        p = (unsigned char *)((uFlags & GMEM_ZEROINIT) ? calloc(dwBytes, 1) : malloc(dwBytes));
        if (!p) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return NULL;
        }
    }
    std::lock_guard<std::mutex> g(g_lock);
    uintptr_t h = g_next;
    g_next += 8;
    g_blocks[h] = Block{p, dwBytes, 0};
    return (HGLOBAL)h;
}

HGLOBAL WINAPI ZelMemReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags)
{
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    if (b->locks && dwBytes > b->size && !(uFlags & GMEM_MOVEABLE)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);  // a locked block does not move unasked
        return NULL;
    }
    unsigned char *p = NULL;
    if (dwBytes) {
        p = (unsigned char *)realloc(b->data, dwBytes);
        if (!p) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return NULL;
        }
        if (dwBytes > b->size)
            memset(p + b->size, 0, dwBytes - b->size);
    } else {
        free(b->data);
    }
    b->data = p;
    b->size = dwBytes;
    return hMem;
}

HGLOBAL WINAPI ZelMemFree(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    free(b->data);
    g_blocks.erase((uintptr_t)hMem);
    return NULL;
}

LPVOID WINAPI ZelMemLock(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    if (!b->data)
        return NULL;
    if (b->locks < 255)
        ++b->locks;
    return b->data;
}

BOOL WINAPI ZelMemUnlock(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (b->locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--b->locks == 0) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    return TRUE;
}

SIZE_T WINAPI ZelMemSize(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return b->size;
}
