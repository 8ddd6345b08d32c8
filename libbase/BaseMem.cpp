/* Memory blocks in either allocator, the copies between them and the album bridges. */
#include "basemem.h"

#include <string.h>

#include "albumcore.h"
#include "base_assert.h"
#include "pixkit.h"

static int g_huge = 0;  // written once by BaseMemInit, before blocks exist

int BaseMemInit()
{
    g_huge = PxIsHugeVersion() ? 1 : 0;
    return 1;
}

int BaseMemIsHuge() { return g_huge; }

HGLOBAL BaseMemAlloc(UINT uFlags, DWORD dwBytes)
{
    MD_ASSERT(dwBytes);
    return g_huge ? ZelMemAlloc(uFlags, dwBytes) : GlobalAlloc(uFlags, dwBytes);
}

HGLOBAL BaseMemReAlloc(HGLOBAL hMem, DWORD dwBytes, UINT uFlags)
{
    MD_ASSERT(dwBytes);
    return g_huge ? ZelMemReAlloc(hMem, dwBytes, uFlags) : GlobalReAlloc(hMem, dwBytes, uFlags);
}

HGLOBAL BaseMemFree(HGLOBAL hMem)
{
    MD_ASSERT(hMem);
    return g_huge ? ZelMemFree(hMem) : GlobalFree(hMem);
}

LPVOID BaseMemLock(HGLOBAL hMem)
{
    MD_ASSERT(hMem);
    return g_huge ? ZelMemLock(hMem) : GlobalLock(hMem);
}

void BaseMemUnlock(HGLOBAL hMem)
{
    MD_ASSERT(hMem);
    if (g_huge)
        ZelMemUnlock(hMem);
    else
        GlobalUnlock(hMem);
}

DWORD BaseMemSize(HGLOBAL hMem)
{
    MD_ASSERT(hMem);
    return (DWORD)(g_huge ? ZelMemSize(hMem) : GlobalSize(hMem));
}

HGLOBAL GlobalToBaseMem(HGLOBAL hGlobal)
{
    SIZE_T n = hGlobal ? GlobalSize(hGlobal) : 0;
    if (n == 0 || n > 0xFFFFFFFFu)
        return 0;
    HGLOBAL hNew = BaseMemAlloc(BASEMEM_COPY_FLAGS, (DWORD)n);
    if (!hNew)
        return 0;
    void *src = GlobalLock(hGlobal);
    void *dst = BaseMemLock(hNew);
    if (src && dst)
        memcpy(dst, src, n);
    if (dst)
        BaseMemUnlock(hNew);
    if (src)
        GlobalUnlock(hGlobal);
    if (src && dst)
        return hNew;
    BaseMemFree(hNew);
    return 0;
}

HGLOBAL BaseMemToGlobal(HGLOBAL hMem)
{
    DWORD n = hMem ? BaseMemSize(hMem) : 0;
    if (n == 0)
        return 0;
    HGLOBAL hNew = GlobalAlloc(BASEMEM_COPY_FLAGS, n);
    if (!hNew)
        return 0;
    void *src = BaseMemLock(hMem);
    void *dst = GlobalLock(hNew);
    if (src && dst)
        memcpy(dst, src, n);
    if (dst)
        GlobalUnlock(hNew);
    if (src)
        BaseMemUnlock(hMem);
    if (src && dst)
        return hNew;
    GlobalFree(hNew);
    return 0;
}

HGLOBAL AlbumGetMemBlock(DWORD dwParam1, DWORD dwParam2)
{
    HGLOBAL hAlbum = AlbumGetBlock(dwParam1, dwParam2);
    if (!hAlbum || !g_huge)
        return hAlbum;
    HGLOBAL hCopy = GlobalToBaseMem(hAlbum);
    GlobalFree(hAlbum);
    return hCopy;
}

int AlbumPutMemBlock(DWORD dwParam1, DWORD dwParam2, HGLOBAL hMem)
{
    HGLOBAL hTemp = (hMem && g_huge) ? BaseMemToGlobal(hMem) : 0;
    int result = AlbumPutBlock(dwParam1, dwParam2, hTemp ? hTemp : (g_huge ? 0 : hMem));
    if (hTemp)
        GlobalFree(hTemp);
    return result;
}

int DrawDibBlock(HDC hdc, HGLOBAL hMem, const RECT *rc, DWORD dwParam1, DWORD dwParam2)
{
    HGLOBAL hTemp = (hMem && g_huge) ? BaseMemToGlobal(hMem) : 0;
    int result = AlbumDrawDib(hdc, hTemp ? hTemp : (g_huge ? 0 : hMem), rc, dwParam1, dwParam2);
    if (hTemp)
        GlobalFree(hTemp);
    return result;
}

int FileExists(LPCSTR lpszFile)
{
    if (!lpszFile)
        return 0;
    return GetFileAttributesA(lpszFile) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}
