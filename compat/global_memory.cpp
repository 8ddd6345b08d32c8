/*
 * Global (and local) memory.
 *
 * Every live block has one record in a table keyed by its handle.  A fixed block's handle is
 * its address; a movable block's handle is a small tagged number (never a heap address, always
 * 8-aligned plus 4, as Windows' handle entries are) that maps to the record.  Handle numbers
 * are never reused, so a freed handle stays unknown for good: GlobalSize gives 0,
 * GlobalLock NULL, GlobalFree returns it back, each with ERROR_INVALID_HANDLE.
 *
 * Invariants: size <= capacity; data is NULL exactly for a discarded (0-byte movable) block;
 * a fixed block never has a lock count.
 */
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <unordered_map>

#include "internal.h"

namespace {

struct Block {
    unsigned char *data;
    size_t size;
    size_t capacity;
    UINT flags;     // GMEM_MOVEABLE / GMEM_DISCARDABLE / ... as given
    unsigned locks;
    bool movable;
};

std::mutex g_lock;
std::unordered_map<uintptr_t, Block> g_blocks;          // handle -> block
std::unordered_map<uintptr_t, uintptr_t> g_by_address;  // address of a movable block -> handle
uintptr_t g_next_handle = 0x00010004;

const UINT kKnownFlags = GMEM_MOVEABLE | GMEM_NOCOMPACT | GMEM_NODISCARD | GMEM_ZEROINIT |
                         GMEM_MODIFY | GMEM_DISCARDABLE | GMEM_SHARE;

unsigned char *raw_alloc(size_t n, bool zero)
{
    if (compat::should_fail("alloc"))
        return NULL;
    // One byte more so that a 0-byte fixed block still has a unique address.
    return (unsigned char *)(zero ? calloc(n + 1, 1) : malloc(n + 1));
}

/* The block behind a handle; null, with ERROR_INVALID_HANDLE set, for one that is not live. */
Block *find(HGLOBAL h)
{
    auto it = g_blocks.find((uintptr_t)h);
    if (it == g_blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    return &it->second;
}

/* Frees a block's memory and forgets its address; the record itself stays. */
void free_data(Block *b)
{
    if (b->movable && b->data)
        g_by_address.erase((uintptr_t)b->data);
    free(b->data);
}

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (flags & ~kKnownFlags & 0xFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    bool movable = (flags & GMEM_MOVEABLE) != 0;
    Block b{NULL, bytes, bytes, flags, 0, movable};
    if (!movable || bytes) {
        b.data = raw_alloc(bytes, (flags & GMEM_ZEROINIT) != 0);
        if (!b.data) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return NULL;
        }
    }
    std::lock_guard<std::mutex> g(g_lock);
    uintptr_t h;
    if (movable) {
        h = g_next_handle;
        g_next_handle += 8;
        if (b.data)
            g_by_address[(uintptr_t)b.data] = h;
    } else {
        h = (uintptr_t)b.data;
    }
    g_blocks[h] = b;
    return (HGLOBAL)h;
}

HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T bytes, UINT flags)
{
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b)
        return NULL;
    if (flags & GMEM_MODIFY) {
        // Only the discardable attribute changes, and only on movable blocks.
        if (b->movable)
            b->flags = (b->flags & ~GMEM_DISCARDABLE) | (flags & GMEM_DISCARDABLE);
        return hMem;
    }
    size_t old = b->size;
    if (bytes <= b->capacity && b->data) {
        if ((flags & GMEM_ZEROINIT) && bytes > old)
            memset(b->data + old, 0, bytes - old);
        b->size = bytes;
        return hMem;
    }
    bool may_move = b->movable ? (b->locks == 0 || (flags & GMEM_MOVEABLE)) : (flags & GMEM_MOVEABLE) != 0;
    if (!may_move) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    unsigned char *p = raw_alloc(bytes, false);
    if (!p) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    if (b->data)
        memcpy(p, b->data, old < bytes ? old : bytes);
    if (bytes > old)  // growth reads as zero whether or not GMEM_ZEROINIT asked for it
        memset(p + old, 0, bytes - old);
    if (b->movable) {
        free_data(b);
        b->data = p;
        b->size = b->capacity = bytes;
        g_by_address[(uintptr_t)p] = (uintptr_t)hMem;
        return hMem;
    }
    // A fixed block that moves gets a new handle: its new address.
    Block moved = *b;
    free_data(b);
    g_blocks.erase((uintptr_t)hMem);
    moved.data = p;
    moved.size = moved.capacity = bytes;
    g_blocks[(uintptr_t)p] = moved;
    return (HGLOBAL)p;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem)
{
    if (!hMem)
        return NULL;
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b)
        return hMem;
    free_data(b);
    g_blocks.erase((uintptr_t)hMem);
    return NULL;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b)
        return NULL;
    if (!b->movable)
        return b->data;
    if (!b->data) {
        SetLastError(ERROR_DISCARDED);
        return NULL;
    }
    if (b->locks < GMEM_LOCKCOUNT)
        ++b->locks;
    return b->data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b)
        return FALSE;
    if (!b->movable)
        return TRUE;
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

SIZE_T WINAPI GlobalSize(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b)
        return 0;
    return b->data ? b->size : 0;
}

UINT WINAPI GlobalFlags(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> g(g_lock);
    Block *b = find(hMem);
    if (!b)
        return GMEM_INVALID_HANDLE;
    UINT f = b->locks & GMEM_LOCKCOUNT;
    if (b->movable && !b->data)
        f |= GMEM_DISCARDED;
    if (b->flags & GMEM_DISCARDABLE)
        f |= GMEM_DISCARDABLE;
    return f;
}

HGLOBAL WINAPI GlobalHandle(LPCVOID pMem)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_by_address.find((uintptr_t)pMem);
    if (it != g_by_address.end())
        return (HGLOBAL)it->second;
    return find((HGLOBAL)pMem) ? (HGLOBAL)pMem : NULL;
}

/* Win32 keeps one heap for both families; so do we. */
HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) { return GlobalAlloc(flags, bytes); }
HLOCAL WINAPI LocalFree(HLOCAL hMem) { return GlobalFree(hMem); }
LPVOID WINAPI LocalLock(HLOCAL hMem) { return GlobalLock(hMem); }
BOOL WINAPI LocalUnlock(HLOCAL hMem) { return GlobalUnlock(hMem); }
SIZE_T WINAPI LocalSize(HLOCAL hMem) { return GlobalSize(hMem); }
