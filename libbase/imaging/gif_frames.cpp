/*
 * Putting bitmaps into a container as frames: replacing a frame's bitmap, inserting a new
 * frame fitted into its box and mapped onto the global colour table, and growing the global
 * table with a frame's colours.
 *
 * The global table keeps its size once made; the entries in use are those before a run of
 * trailing entries equal to their predecessor (a reduced palette pads with one grey), and
 * merging writes a frame's new colours over that run.
 */
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "basemem.h"
#include "dib.h"
#include "dib_private.h"
#include "gif_private.h"
#include "pixkit.h"

namespace {

/* The library's colour distance: the whole part of the Euclidean distance in RGB. */
int Distance(int r1, int g1, int b1, int r2, int g2, int b2) {
    int dr = r1 - r2, dg = g1 - g2, db = b1 - b2;
    return int(sqrt(double(dr * dr + dg * dg + db * db)));
}

/* A true-colour copy of a palette bitmap by its imaging type, or a duplicate of anything else. */
HGLOBAL TrueColourCopy(HGLOBAL hDib) {
    switch (PxDibGetType(hDib)) {
    case PX_TYPE_8BIT:
    case PX_TYPE_8BIT_GREY:
        return PxDibConvert8BitToTrueColor(hDib);
    case PX_TYPE_4BIT:
        return PxDibConvert4BitToTrueColor(hDib);
    case PX_TYPE_1BIT:
        return PxDibConvert1BitToTrueColor(hDib);
    default:
        return PxDibDuplicate(hDib);
    }
}

}  // namespace

HGLOBAL FitFrameDib(HGLOBAL hDib, int nBoxWidth, int nBoxHeight) {
    int w = 0, h = 0;
    if (!hDib || !PxDibGetSize(hDib, &w, &h) || w <= 0 || h <= 0)
        return 0;
    // A box without area means the bitmap's own size.
    bool scale = nBoxWidth > 0 && nBoxHeight > 0 && (w != nBoxWidth || h != nBoxHeight);
    HGLOBAL hScaled = 0;
    if (scale) {
        int64_t byHeight = int64_t(w) * nBoxHeight / h;  // width when the height fills the box
        int64_t byWidth = int64_t(h) * nBoxWidth / w;    // height when the width fills the box
        int width = nBoxWidth, height = nBoxHeight;
        if (byHeight > nBoxWidth)
            height = int(byWidth);
        else if (byWidth > nBoxHeight)
            width = int(byHeight);
        if (width < 1)
            width = 1;
        if (height < 1)
            height = 1;
        HGLOBAL hTrue = TrueColourCopy(hDib);
        if (!hTrue)
            return 0;
        hScaled = PxDibResample(hTrue, width, height);
        BaseMemFree(hTrue);
        if (!hScaled)
            return 0;
    }
    HGLOBAL hSource = hScaled ? hScaled : hDib;
    HGLOBAL hResult = 0;
    if (PxDibGetType(hSource) == PX_TYPE_TRUECOLOR) {
        HGLOBAL r = ReduceToPalette(hSource, 2, 0);
        if (!IsReduceFailure(r) && r != hSource)
            hResult = r;
    }
    if (hScaled && hResult != hScaled)
        BaseMemFree(hScaled);
    return hResult;
}

int CGifFile::SetFrame(HGLOBAL hDib, const GIFFRAMEINFO *pInfo, int nIndex, int nReserved) {
    (void)nReserved;
    CGifFrame *frame = FrameAt(nIndex);
    if (!frame || !hDib || !pInfo)
        return 0;
    GIFFRAMEINFO info = *pInfo;
    if (PxDibGetType(hDib) == PX_TYPE_TRUECOLOR) {
        HGLOBAL reduced = ReduceToPalette(hDib, 2, 0);
        if (IsReduceFailure(reduced) || reduced == hDib)
            return 0;
        BaseMemFree(hDib);
        hDib = reduced;
        // The reduced palette is the frame's own: it goes out as a local table.
        info.hasLocalTable = 1;
        info.localBits = 8;
    }
    frame->SetInfo(&info);
    frame->SetDib(hDib);
    return 1;
}

int CGifFile::CountGlobalColors() const {
    if (!m_pScreen || !m_pScreen->hasGlobalTable || !m_pPalette || !m_pPalette->entries || m_pPalette->count <= 0)
        return -1;
    const BYTE *e = m_pPalette->entries;
    int used = m_pPalette->count;
    while (used > 1 && memcmp(e + 3 * (used - 1), e + 3 * (used - 2), 3) == 0)
        --used;
    return used;
}

int CGifFile::MergeGlobalColors(int nStart, const RGBQUAD *pPalette, int nCount) {
    if (!pPalette || !m_pPalette || !m_pPalette->entries || nStart < 0 || nStart > m_pPalette->count)
        return 0;
    BYTE *e = m_pPalette->entries;
    const int room = m_pPalette->count - nStart;
    int appended = 0;
    for (int k = 0; k < nCount && appended < room; ++k) {
        const RGBQUAD &c = pPalette[k];
        bool distinct = true;
        for (int j = 0; j < nStart && distinct; ++j)
            distinct = Distance(c.rgbRed, c.rgbGreen, c.rgbBlue, e[3 * j], e[3 * j + 1], e[3 * j + 2]) > 10;
        if (!distinct)
            continue;
        BYTE *slot = e + 3 * (nStart + appended);
        slot[0] = c.rgbRed;
        slot[1] = c.rgbGreen;
        slot[2] = c.rgbBlue;
        ++appended;
    }
    return 1;
}

namespace {

/* A new 8-bit bitmap of hDib's pixels, each index replaced through map[], carrying `palette`
 * (count entries, red green blue) as its own; 0 on failure. */
HGLOBAL RemapToTable(HGLOBAL hDib, const BYTE *map, const BYTE *palette, int count) {
    dibutil::DibView src;
    if (!src.Open(hDib) || src.bits > 8)
        return 0;
    BYTE *base;
    HGLOBAL h = dibutil::NewBlock(nullptr, sizeof(BITMAPINFOHEADER) + 4 * size_t(count), src.width, src.height, 8,
                                  false, &base);
    if (!h)
        return 0;
    RGBQUAD *pal = reinterpret_cast<RGBQUAD *>(base + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < count; ++i) {
        pal[i].rgbRed = palette[3 * i];
        pal[i].rgbGreen = palette[3 * i + 1];
        pal[i].rgbBlue = palette[3 * i + 2];
        pal[i].rgbReserved = 0;
    }
    BYTE *out = base + sizeof(BITMAPINFOHEADER) + 4 * size_t(count);
    const size_t stride = dibutil::DibStride(src.width, 8);
    for (int y = 0; y < src.height; ++y) {
        const BYTE *s = src.pixels + size_t(y) * src.stride;
        BYTE *o = out + size_t(y) * stride;
        memset(o + src.width, 0, stride - size_t(src.width));
        for (int x = 0; x < src.width; ++x) {
            int v = src.bits == 8 ? s[x] : src.bits == 4 ? (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                                                         : (s[x >> 3] >> (7 - (x & 7))) & 1;
            o[x] = map[v];
        }
    }
    BaseMemUnlock(h);
    return h;
}

}  // namespace

int CGifFile::InsertFrame(HGLOBAL hDib, GIFFRAMEINFO *pInfo, int nIndex, const GIFPALETTE *pPalette) {
    if (!hDib || !pInfo || !m_pScreen || !m_pPalette)
        return -1;
    int count = GetFrameCount();
    if (nIndex < 0 || nIndex > count)
        nIndex = count;

    // Every change happens on a block of our own until nothing can fail: a given palette is
    // written into a copy, never into the caller's bitmap.
    HGLOBAL hFitted = FitFrameDib(hDib, pInfo->width, pInfo->height);
    if (!hFitted && pPalette && pPalette->entries && pPalette->count > 0 && !(hFitted = PxDibDuplicate(hDib)))
        return -1;
    HGLOBAL hUse = hFitted ? hFitted : hDib;
    int w = 0, h = 0;
    int type = PxDibGetType(hUse);
    if (type == 0 || type == PX_TYPE_TRUECOLOR || !PxDibGetSize(hUse, &w, &h) || w > 0xFFFF || h > 0xFFFF) {
        if (hFitted)
            BaseMemFree(hFitted);
        return -1;
    }
    GIFFRAMEINFO info = *pInfo;
    info.width = WORD(w);
    info.height = WORD(h);
    CGifFrame *frame = new (std::nothrow) CGifFrame(hUse, &info, pPalette);
    if (!frame) {
        if (hFitted)
            BaseMemFree(hFitted);
        return -1;
    }

    // The frame's palette, as the bitmap now carries it.
    BYTE colours[3 * 256];
    int n = 0;
    {
        dibutil::DibView v;
        if (v.Open(hUse)) {
            n = v.bih->biClrUsed ? int(v.bih->biClrUsed) : 1 << v.bits;
            if (v.headBytes < sizeof(BITMAPINFOHEADER) + 4 * size_t(n))
                n = int((v.headBytes - sizeof(BITMAPINFOHEADER)) / 4);
            const RGBQUAD *q = reinterpret_cast<const RGBQUAD *>(v.base + sizeof(BITMAPINFOHEADER));
            for (int i = 0; i < n; ++i) {
                colours[3 * i] = q[i].rgbRed;
                colours[3 * i + 1] = q[i].rgbGreen;
                colours[3 * i + 2] = q[i].rgbBlue;
            }
        }
    }
    bool hasGlobal = m_pScreen->hasGlobalTable && m_pPalette->entries && m_pPalette->count > 0;
    bool ok = n > 0;
    if (ok && hasGlobal && !info.hasLocalTable) {
        // Map the frame onto the global table, after giving the table its new colours.
        RGBQUAD quads[256];
        for (int i = 0; i < n; ++i) {
            quads[i].rgbRed = colours[3 * i];
            quads[i].rgbGreen = colours[3 * i + 1];
            quads[i].rgbBlue = colours[3 * i + 2];
            quads[i].rgbReserved = 0;
        }
        // The table as it was, put back when the mapping fails.
        BYTE *saved = static_cast<BYTE *>(malloc(3 * size_t(m_pPalette->count)));
        ok = saved != nullptr;
        if (ok)
            memcpy(saved, m_pPalette->entries, 3 * size_t(m_pPalette->count));
        int used = CountGlobalColors();
        if (ok && used >= 0 && used < m_pPalette->count - 1)
            MergeGlobalColors(used, quads, n);
        const BYTE *g = m_pPalette->entries;
        const int gCount = m_pPalette->count > 256 ? 256 : m_pPalette->count;
        BYTE map[256];
        memset(map, 0, sizeof(map));
        for (int i = 0; i < n; ++i) {
            int best = 0, bestDist = -1;
            for (int j = 0; j < gCount; ++j) {
                int d = Distance(colours[3 * i], colours[3 * i + 1], colours[3 * i + 2], g[3 * j], g[3 * j + 1],
                                 g[3 * j + 2]);
                if (bestDist < 0 || d < bestDist) {
                    bestDist = d;
                    best = j;
                }
            }
            map[i] = BYTE(best);
        }
        HGLOBAL hMapped = ok ? RemapToTable(hUse, map, g, gCount) : 0;
        if (hMapped)
            frame->dib = hMapped;  // hUse is released below
        else if (saved)
            memcpy(m_pPalette->entries, saved, 3 * size_t(m_pPalette->count));
        ok = hMapped != 0;
        free(saved);
    } else if (ok && !hasGlobal) {
        // The first frame's palette becomes the global table.
        BYTE *entries = static_cast<BYTE *>(calloc(size_t(n), 3));
        ok = entries != nullptr;
        if (ok) {
            memcpy(entries, colours, 3 * size_t(n));
            free(m_pPalette->entries);
            m_pPalette->entries = entries;
            m_pPalette->count = n;
            if (!m_pScreen->hasGlobalTable || m_pScreen->colourBits < 1 || m_pScreen->colourBits > 8 ||
                (1 << m_pScreen->colourBits) < n) {
                m_pScreen->colourBits = WORD(gifcodec::ColourBitsForCount(n));
                m_pScreen->colourCount = WORD(1 << m_pScreen->colourBits);
            }
            m_pScreen->hasGlobalTable = 1;
        }
    }
    if (!ok) {
        frame->dib = 0;  // the caller's block, or ours freed below
        delete frame;
        if (hFitted)
            BaseMemFree(hFitted);
        return -1;
    }
    // The container now owns the frame's bitmap; the given block (and a fitted copy that was
    // remapped) go.
    if (frame->dib != hUse)
        BaseMemFree(hUse);
    if (hUse != hDib)
        BaseMemFree(hDib);
    pInfo->width = info.width;
    pInfo->height = info.height;
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
