/*
 * The GIF container's operations: the screen, the global table and the frame list.
 *
 * Invariant: m_pFrames heads a null-terminated singly linked list in display order; each
 * frame owns exactly one DIB block (or none), which dies with the frame.  m_pScreen and
 * m_pPalette are null for a container that was never loaded or created.
 */
#include <stdlib.h>
#include <string.h>

#include <new>

#include "basemem.h"
#include "dib.h"
#include "gif.h"

/* ---- CGifFrame ------------------------------------------------------------------------- */

CGifFrame::CGifFrame(HGLOBAL hDib, const GIFFRAMEINFO *pInfo, const GIFPALETTE *pPalette)
    : next(nullptr), left(0), top(0), width(0), height(0), hasLocalTable(0), localBits(0),
      interlaced(0), delay(0), hasTransparency(0), transparentIndex(0), disposal(0), dib(hDib) {
    if (pInfo)
        SetInfo(pInfo);
    if (pPalette && hDib && pPalette->entries && pPalette->count > 0) {
        BYTE *p = static_cast<BYTE *>(BaseMemLock(hDib));
        if (p) {
            BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(p);
            // The palette is written in place: never more entries than the block has room for.
            DWORD count = DWORD(pPalette->count);
            if (count > bih->biClrUsed && bih->biClrUsed != 0)
                count = bih->biClrUsed;
            if (count > 256)
                count = 256;
            bih->biClrUsed = count;
            RGBQUAD *pal = reinterpret_cast<RGBQUAD *>(p + sizeof(BITMAPINFOHEADER));
            for (DWORD i = 0; i < count; ++i) {
                pal[i].rgbBlue = pPalette->entries[3 * i + 2];
                pal[i].rgbGreen = pPalette->entries[3 * i + 1];
                pal[i].rgbRed = pPalette->entries[3 * i];
                pal[i].rgbReserved = 0;
            }
            BaseMemUnlock(hDib);
        }
    }
}

CGifFrame::~CGifFrame() {
    if (dib)
        BaseMemFree(dib);
}

void CGifFrame::GetInfo(GIFFRAMEINFO *p) const {
    p->left = left;
    p->top = top;
    p->width = width;
    p->height = height;
    p->hasLocalTable = hasLocalTable;
    p->localBits = localBits;
    p->interlaced = interlaced;
    p->delay = delay;
    p->hasTransparency = hasTransparency;
    p->transparentIndex = transparentIndex;
    p->disposal = disposal;
}

void CGifFrame::SetInfo(const GIFFRAMEINFO *p) {
    left = p->left;
    top = p->top;
    width = p->width;
    height = p->height;
    hasLocalTable = p->hasLocalTable;
    localBits = p->localBits;
    interlaced = p->interlaced;
    delay = p->delay;
    hasTransparency = p->hasTransparency;
    transparentIndex = p->transparentIndex;
    disposal = p->disposal;
}

void CGifFrame::SetDib(HGLOBAL hDib) {
    if (dib && dib != hDib)
        BaseMemFree(dib);
    dib = hDib;
}

/* ---- CGifFile -------------------------------------------------------------------------- */

CGifFile::CGifFile()
    : m_pFrames(nullptr), m_pPalette(nullptr), m_pScreen(nullptr), m_nFileSize(0), m_pfnProgress(nullptr),
      m_pProgressContext(nullptr), m_pfnFilter(nullptr), m_pFilterContext(nullptr) {}

void CGifFile::SetProgress(GIFPROGRESSPROC proc, void *pContext) {
    m_pfnProgress = proc;
    m_pProgressContext = pContext;
}

CGifFile::~CGifFile() { Clear(); }

void CGifFile::Clear() {
    if (m_pPalette) {
        free(m_pPalette->entries);
        delete m_pPalette;
        m_pPalette = nullptr;
    }
    delete m_pScreen;
    m_pScreen = nullptr;
    while (m_pFrames) {
        CGifFrame *next = m_pFrames->next;
        delete m_pFrames;
        m_pFrames = next;
    }
}

int CGifFile::Create(int nWidth, int nHeight, int nBackground, const GIFPALETTE *pPalette) {
    Clear();
    m_pScreen = new (std::nothrow) GIFSCREEN();
    m_pPalette = new (std::nothrow) GIFPALETTE();
    if (!m_pScreen || !m_pPalette) {
        Clear();
        return 0;
    }
    m_pScreen->width = WORD(nWidth);
    m_pScreen->height = WORD(nHeight);
    m_pScreen->hasGlobalTable = 1;
    m_pScreen->colourBits = 8;
    m_pScreen->colourCount = 256;
    m_pScreen->background = BYTE(nBackground);
    m_pScreen->packed = 0xF7;  // global table of 256 entries, 8 bits of colour resolution
    if (pPalette && pPalette->count > 0 && pPalette->entries) {
        m_pPalette->entries = static_cast<BYTE *>(calloc(size_t(pPalette->count), 3));
        if (!m_pPalette->entries)
            return 0;
        memcpy(m_pPalette->entries, pPalette->entries, 3 * size_t(pPalette->count));
        m_pPalette->count = pPalette->count;
    }
    return 1;
}

void CGifFile::GetScreenSize(int *pWidth, int *pHeight) const {
    if (pWidth)
        *pWidth = m_pScreen ? m_pScreen->width : 0;
    if (pHeight)
        *pHeight = m_pScreen ? m_pScreen->height : 0;
}

void CGifFile::GetScreen(GIFSCREEN *p) const {
    if (!p || !m_pScreen)
        return;
    BYTE packed = p->packed;
    *p = *m_pScreen;
    p->packed = packed;
}

void CGifFile::SetScreen(const GIFSCREEN *p) {
    if (!p)
        return;
    if (!m_pScreen) {
        m_pScreen = new (std::nothrow) GIFSCREEN();
        if (!m_pScreen)
            return;
    }
    BYTE packed = m_pScreen->packed;
    *m_pScreen = *p;
    m_pScreen->packed = packed;
}

int CGifFile::GetFrameCount() const {
    int n = 0;
    for (CGifFrame *f = m_pFrames; f; f = f->next)
        ++n;
    return n;
}

CGifFrame *CGifFile::FrameAt(int nIndex) const {
    if (nIndex < 0)
        return nullptr;
    CGifFrame *f = m_pFrames;
    while (f && nIndex-- > 0)
        f = f->next;
    return f;
}

HGLOBAL CGifFile::GetFrameDib(int nIndex) const {
    CGifFrame *f = FrameAt(nIndex);
    return f ? f->dib : 0;
}

HGLOBAL CGifFile::GetFrame(int nIndex, GIFFRAMEINFO *pInfo) const {
    CGifFrame *f = FrameAt(nIndex);
    if (!f)
        return 0;
    if (pInfo)
        f->GetInfo(pInfo);
    return f->dib;
}

int CGifFile::GetFrameInfo(int nIndex, GIFFRAMEINFO *pInfo) const {
    CGifFrame *f = FrameAt(nIndex);
    if (!f || !pInfo)
        return 0;
    f->GetInfo(pInfo);
    return 1;
}

int CGifFile::SetFrameInfo(int nIndex, const GIFFRAMEINFO *pInfo) {
    CGifFrame *f = FrameAt(nIndex);
    if (!f || !pInfo)
        return 0;
    f->SetInfo(pInfo);
    return 1;
}

int CGifFile::GetFrameRect(int nIndex, int *pLeft, int *pTop, int *pWidth, int *pHeight) const {
    CGifFrame *f = FrameAt(nIndex);
    if (!f || !pLeft || !pTop || !pWidth || !pHeight)
        return 0;
    *pLeft = f->left;
    *pTop = f->top;
    *pWidth = f->width;
    *pHeight = f->height;
    return 1;
}

int CGifFile::AddDecodedFrame(HGLOBAL hDib, const GIFFRAMEINFO *pInfo, int nIndex) {
    if (!hDib || !pInfo)
        return -1;
    int count = GetFrameCount();
    if (nIndex < 0 || nIndex > count)
        nIndex = count;
    CGifFrame *frame = new (std::nothrow) CGifFrame(hDib, pInfo, nullptr);
    if (!frame)
        return -1;
    if (nIndex == 0) {
        frame->next = m_pFrames;
        m_pFrames = frame;
    } else {
        CGifFrame *before = FrameAt(nIndex - 1);
        frame->next = before->next;
        before->next = frame;
    }
    return nIndex;
}

int CGifFile::RemoveFrame(int nIndex) {
    if (nIndex < 0 || !m_pFrames)
        return 0;
    CGifFrame *victim;
    if (nIndex == 0) {
        victim = m_pFrames;
        m_pFrames = victim->next;
    } else {
        CGifFrame *before = FrameAt(nIndex - 1);
        if (!before || !before->next)
            return 0;
        victim = before->next;
        before->next = victim->next;
    }
    delete victim;
    return 1;
}

int CGifFile::GetDuration() const {
    int count = GetFrameCount();
    if (count == 0)
        return 0;
    if (count == 1)
        return 2000;
    int total = 0;
    for (CGifFrame *f = m_pFrames; f; f = f->next)
        total += f->delay == 0 ? 10 : (f->delay & 0xFFFF);
    return total * 10;
}

int32_t CGifFile::GetTransparentColor(int nIndex) const {
    CGifFrame *f = FrameAt(nIndex);
    if (!f || !f->hasTransparency)
        return -1;
    int index = f->transparentIndex & 0xFF;
    int32_t color = -1;
    if (f->hasLocalTable) {
        GIFPALETTE *pal = GetLocalPalette(nIndex);
        if (!pal)
            return -1;
        if (index < pal->count && pal->entries) {
            const BYTE *e = pal->entries + 3 * index;
            color = e[0] | (e[1] << 8) | (e[2] << 16);
        }
        free(pal->entries);
        delete pal;
        return color;
    }
    if (m_pPalette && m_pPalette->entries && index < m_pPalette->count) {
        const BYTE *e = m_pPalette->entries + 3 * index;
        color = e[0] | (e[1] << 8) | (e[2] << 16);
    }
    return color;
}

DWORD CGifFile::CopyFrameDib(int nIndex, HGLOBAL hDest) const {
    CGifFrame *f = FrameAt(nIndex);
    if (!f || !f->dib || !hDest)
        return 0;
    const BYTE *src = static_cast<const BYTE *>(BaseMemLock(f->dib));
    if (!src)
        return 0;
    const BITMAPINFOHEADER *bih = reinterpret_cast<const BITMAPINFOHEADER *>(src);
    DWORD bytes = DWORD(sizeof(BITMAPINFOHEADER) + 4 * bih->biClrUsed + bih->biSizeImage);
    DWORD copied = 0;
    if (bytes <= BaseMemSize(f->dib) && bytes <= BaseMemSize(hDest)) {
        void *dst = BaseMemLock(hDest);
        if (dst) {
            memcpy(dst, src, bytes);
            copied = bytes;
            BaseMemUnlock(hDest);
        }
    }
    BaseMemUnlock(f->dib);
    return copied;
}

GIFPALETTE *CGifFile::GetLocalPalette(int nIndex) const {
    CGifFrame *f = FrameAt(nIndex);
    if (!f || !f->hasLocalTable || !f->dib || f->localBits < 1 || f->localBits > 8)
        return nullptr;
    const BYTE *p = static_cast<const BYTE *>(BaseMemLock(f->dib));
    if (!p)
        return nullptr;
    const BITMAPINFOHEADER *bih = reinterpret_cast<const BITMAPINFOHEADER *>(p);
    int count = 1 << f->localBits;
    GIFPALETTE *pal = new (std::nothrow) GIFPALETTE();
    BYTE *entries = static_cast<BYTE *>(calloc(size_t(count), 3));
    if (!pal || !entries) {
        delete pal;
        free(entries);
        BaseMemUnlock(f->dib);
        return nullptr;
    }
    const RGBQUAD *q = reinterpret_cast<const RGBQUAD *>(p + sizeof(BITMAPINFOHEADER));
    // Entries beyond the bitmap's own palette stay black.
    int have = int(bih->biClrUsed) < count ? int(bih->biClrUsed) : count;
    for (int j = 0; j < have; ++j) {
        entries[3 * j] = q[j].rgbRed;
        entries[3 * j + 1] = q[j].rgbGreen;
        entries[3 * j + 2] = q[j].rgbBlue;
    }
    BaseMemUnlock(f->dib);
    pal->count = count;
    pal->entries = entries;
    return pal;
}

int CGifFile::GetGlobalPalette(GIFPALETTE *pPalette) const {
    if (!pPalette || !m_pPalette)
        return 0;
    pPalette->count = 0;
    pPalette->entries = nullptr;
    if (m_pPalette->count > 0 && m_pPalette->entries) {
        pPalette->entries = static_cast<BYTE *>(calloc(size_t(m_pPalette->count), 3));
        if (!pPalette->entries)
            return 0;
        memcpy(pPalette->entries, m_pPalette->entries, 3 * size_t(m_pPalette->count));
        pPalette->count = m_pPalette->count;
    }
    return 1;
}

int CGifFile::FindGlobalColor(int32_t nColor) const {
    if (!m_pPalette || !m_pPalette->entries)
        return 0;
    for (int i = 0; i < m_pPalette->count; ++i) {
        const BYTE *e = m_pPalette->entries + 3 * i;
        if ((e[0] | (e[1] << 8) | (e[2] << 16)) == nColor)
            return i;
    }
    return 0;
}

int CGifFile::FindPaletteIndex(HGLOBAL hDib, int32_t nColor) {
    if (!hDib)
        return -1;
    const BYTE *p = static_cast<const BYTE *>(BaseMemLock(hDib));
    if (!p)
        return -1;
    const BITMAPINFOHEADER *bih = reinterpret_cast<const BITMAPINFOHEADER *>(p);
    int n = DibNumColors(bih);
    // Never read entries the block does not hold.
    SIZE_T size = BaseMemSize(hDib);
    if (size < sizeof(BITMAPINFOHEADER))
        n = 0;
    else if (SIZE_T(n) > (size - sizeof(BITMAPINFOHEADER)) / 4)
        n = int((size - sizeof(BITMAPINFOHEADER)) / 4);
    const RGBQUAD *q = reinterpret_cast<const RGBQUAD *>(p + sizeof(BITMAPINFOHEADER));
    int found = -1;
    for (int i = 0; i < n; ++i) {
        if ((q[i].rgbRed | (q[i].rgbGreen << 8) | (q[i].rgbBlue << 16)) == nColor) {
            found = i;
            break;
        }
    }
    BaseMemUnlock(hDib);
    return found;
}
