/*
 * Reading a GIF file into the container: the block parser, de-interlacing and the library
 * functions built on Load.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <new>
#include <string>
#include <utility>

#include "base_assert.h"
#include "basemem.h"
#include "dib.h"
#include "dib_private.h"
#include "fileio.h"
#include "gif_private.h"
#include "pixkit.h"

namespace gifcodec {

int Deinterlace(HGLOBAL *phDib) {
    if (!phDib || !*phDib)
        return 0;
    HGLOBAL hOld = *phDib;
    const BYTE *src = static_cast<const BYTE *>(BaseMemLock(hOld));
    if (!src)
        return 0;
    const BITMAPINFOHEADER *bih = reinterpret_cast<const BITMAPINFOHEADER *>(src);
    int height = bih->biHeight;
    size_t stride = DibStride(size_t(bih->biWidth), bih->biBitCount);
    size_t head = sizeof(BITMAPINFOHEADER) + 4 * size_t(bih->biClrUsed);
    size_t total = head + stride * size_t(height > 0 ? height : 0);
    HGLOBAL hNew = 0;
    if (height > 0 && total <= BaseMemSize(hOld))
        hNew = BaseMemAlloc(GMEM_MOVEABLE, DWORD(total));
    BYTE *dst = hNew ? static_cast<BYTE *>(BaseMemLock(hNew)) : nullptr;
    if (!dst) {
        if (hNew)
            BaseMemFree(hNew);
        BaseMemUnlock(hOld);
        return 0;
    }
    memcpy(dst, src, head);
    // Decoded row k sits where image row k would (stored row height-1-k); it belongs in
    // image row InterlacedRow(k).
    for (int k = 0; k < height; ++k) {
        int r = InterlacedRow(k, height);
        memcpy(dst + head + size_t(height - 1 - r) * stride, src + head + size_t(height - 1 - k) * stride, stride);
    }
    BaseMemUnlock(hNew);
    BaseMemUnlock(hOld);
    BaseMemFree(hOld);
    *phDib = hNew;
    return 1;
}

}  // namespace gifcodec

/* ---- The block parser ------------------------------------------------------------------ */

using namespace gifcodec;

namespace {

inline int Le16(const BYTE *p) { return p[0] | (p[1] << 8); }

/* Offset just past the sub-block chain starting at `off` (its terminator included), or
 * `size` when the chain runs off the data. */
size_t SkipSubBlocks(const BYTE *data, size_t size, size_t off) {
    while (off < size) {
        size_t n = data[off];
        if (n == 0)
            return off + 1;
        off += n + 1;
    }
    return size;
}

/* The decoder's string table and staging buffer (some 200 KB) outlive a load: one is kept
 * for the next, so reading many small files does not map and unmap them for each. */
std::mutex g_spareLock;
gifcodec::LzwScratch g_spare;

void Swap(gifcodec::LzwScratch &a, gifcodec::LzwScratch &b) {
    std::swap(a.table, b.table);
    std::swap(a.buffer, b.buffer);
    std::swap(a.capacity, b.capacity);
}

/* Takes the spare scratch for one load and gives it back (unless another load gave one back
 * first: then this one is freed). */
struct SpareScratch {
    gifcodec::LzwScratch mine;
    SpareScratch() {
        std::lock_guard<std::mutex> g(g_spareLock);
        Swap(mine, g_spare);
    }
    ~SpareScratch() {
        std::lock_guard<std::mutex> g(g_spareLock);
        if (!g_spare.table && !g_spare.buffer)
            Swap(mine, g_spare);
    }
};

/* One image of the block structure, with what the graphic control block before it says. */
struct ImageBlock {
    GIFFRAMEINFO info;
    size_t tableOff;     // its local table, when it has one
    size_t codeOff;      // the minimum code size byte
    size_t end;          // just past its sub-block chain (the data's end when it has none)
    uint64_t dataBytes;  // bytes of LZW data the chain holds
    bool terminated;     // the chain ends in its terminator
};

/* The next image from `off` on: true with *img and `off` moved past the image; false at the
 * trailer, at the end of the data or at a damaged descriptor (no size, or a local table
 * running off the data). */
bool NextImage(const BYTE *data, size_t size, size_t &off, ImageBlock *img) {
    GIFFRAMEINFO &info = img->info;
    memset(&info, 0, sizeof(info));
    // Scan for the next image descriptor, taking what the extensions say on the way.
    for (;;) {
        if (off >= size || data[off] == 0x3B)
            return false;
        if (data[off] == 0x2C)
            break;
        if (data[off] != 0x21) {
            ++off;  // stray byte between blocks
            continue;
        }
        if (off + 1 >= size)
            return false;
        BYTE label = data[off + 1];
        if (label == 0xF9) {
            // '!' 0xF9 size(4) packed delay:u16 transparent 0x00
            if (off + 6 >= size)
                return false;
            BYTE packed = data[off + 3];
            info.delay = Le16(data + off + 4);
            info.transparentIndex = data[off + 6];
            info.hasTransparency = packed & 1;
            info.disposal = (packed & 0x1C) >> 2;
        }
        // Every extension is a chain of sub-blocks after its label, however many it has.
        off = SkipSubBlocks(data, size, off + 2);
    }

    // ',' left:u16 top:u16 width:u16 height:u16 packed
    if (off + 10 > size)
        return false;
    const BYTE *d = data + off;
    info.left = Le16(d + 1);
    info.top = Le16(d + 3);
    info.width = WORD(Le16(d + 5));
    info.height = WORD(Le16(d + 7));
    BYTE packed = d[9];
    info.interlaced = packed & 0x40;
    if (packed & 0x80) {
        info.hasLocalTable = 1;
        info.localBits = WORD((packed & 7) + 1);
    }
    off += 10;
    if (off >= size)
        return false;
    if (info.width == 0 || info.height == 0)
        return false;  // nothing to show: a damaged descriptor
    img->tableOff = off;
    if (info.hasLocalTable) {
        size_t tableBytes = 3 * (size_t(1) << info.localBits);
        if (tableBytes >= size - off)
            return false;
        off += tableBytes;
    }
    img->codeOff = off;
    img->dataBytes = ChainDataBytes(data, size, off + 1, &img->end, &img->terminated);
    off = img->end;
    return true;
}

/* Walks the images from `off`, filling the counts of *scan (fileBytes and verdict aside). */
void ScanImages(const BYTE *data, size_t size, size_t off, GIFSCAN *scan) {
    bool keeping = true;
    ImageBlock img;
    while (NextImage(data, size, off, &img)) {
        const uint64_t area = uint64_t(img.info.width) * img.info.height;
        ++scan->declaredFrames;
        scan->declaredPixels += area;
        if (keeping && !LzwCanFill(area, img.dataBytes)) {
            scan->unfilledFrame = scan->frames;
            scan->unfilledPixels = area;
            scan->unfilledBytes = img.dataBytes;
            keeping = false;
        }
        const int minCodeSize = data[img.codeOff];
        if (keeping && (minCodeSize < 1 || minCodeSize > 11))
            keeping = false;  // the decoder takes no such stream: the file is damaged there
        if (keeping) {
            ++scan->frames;
            scan->pixels += area;
            keeping = img.terminated;
        }
    }
}

}  // namespace

int ScanGifData(const BYTE *pData, size_t cbData, GIFSCAN *pScan) {
    if (!pScan)
        return 0;
    memset(pScan, 0, sizeof(*pScan));
    pScan->unfilledFrame = -1;
    if (!pData || cbData < 13 || !IsGifSignature(pData)) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    pScan->fileBytes = cbData;
    size_t off = 13;
    if (pData[10] & 0x80) {
        off += 3 * (size_t(1) << ((pData[10] & 7) + 1));
        if (off >= cbData) {
            SetLastError(ERROR_INVALID_DATA);  // as Load: the table must be followed by blocks
            return 0;
        }
    }
    ScanImages(pData, cbData, off, pScan);
    if (pScan->declaredFrames > GIF_MAX_FRAMES)
        pScan->verdict = DWORD(GIF_ERROR_TOO_MANY_FRAMES);
    else if (pScan->declaredPixels > GIF_MAX_FILE_PIXELS)
        pScan->verdict = DWORD(GIF_ERROR_TOO_MANY_PIXELS);
    else if (pScan->unfilledFrame >= 0)
        pScan->verdict = DWORD(GIF_ERROR_FRAME_UNFILLED);
    return 1;
}

int ScanGif(const char *lpszFile, GIFSCAN *pScan) {
    if (!lpszFile || !pScan)
        return 0;
    FIO_FILE *f = FioOpen(lpszFile, "rb");
    if (!f)
        return 0;
    int result = 0;
    long long size = FioSize(f);
    BYTE *data = nullptr;
    if (size < 13 || size > 0x7FFFFFF0LL)
        SetLastError(ERROR_INVALID_DATA);
    else if (!(data = static_cast<BYTE *>(malloc(size_t(size)))))
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    else if (FioRead(f, data, size_t(size)) == size_t(size))
        result = ScanGifData(data, size_t(size), pScan);
    free(data);
    FioClose(f);
    return result;
}

namespace {

/* A count in words: "1 170" up to a million, then "268 million", "13 billion" (one decimal
 * below ten: "1.6 billion"). */
std::string Count(uint64_t n) {
    static const struct {
        uint64_t unit;
        const char *name;
    } kUnits[] = {{1000000000000ull, "trillion"}, {1000000000ull, "billion"}, {1000000ull, "million"}};
    char buf[48];
    for (const auto &u : kUnits) {
        if (n < u.unit)
            continue;
        if (n < 10 * u.unit)
            snprintf(buf, sizeof buf, "%.1f %s", double(n) / double(u.unit), u.name);
        else
            snprintf(buf, sizeof buf, "%llu %s", (unsigned long long)(n / u.unit), u.name);
        return buf;
    }
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            out += ' ';
        out += digits[i];
    }
    return out;
}

}  // namespace

int DescribeGifScan(const GIFSCAN *pScan, char *pszReason, int cchReason) {
    if (!pszReason || cchReason <= 0)
        return 0;
    std::string text;
    if (pScan && pScan->verdict == DWORD(GIF_ERROR_TOO_MANY_FRAMES))
        text = "declares " + Count(uint64_t(pScan->declaredFrames)) + " frames, more than the " + Count(GIF_MAX_FRAMES) +
               " a file may hold";
    else if (pScan && pScan->verdict == DWORD(GIF_ERROR_TOO_MANY_PIXELS))
        text = "declares " + Count(pScan->declaredPixels) + " pixels in " + Count(pScan->fileBytes) + " bytes";
    else if (pScan && pScan->verdict == DWORD(GIF_ERROR_FRAME_UNFILLED))
        text = "frame " + std::to_string(pScan->unfilledFrame + 1) + " declares " + Count(pScan->unfilledPixels) +
               " pixels in " + Count(pScan->unfilledBytes) + " bytes of image data";
    int n = int(text.size() < size_t(cchReason) ? text.size() : size_t(cchReason - 1));
    memcpy(pszReason, text.data(), size_t(n));
    pszReason[n] = 0;
    return n;
}

void CGifFile::ParseFrames(const BYTE *data, size_t size, size_t off) {
    SpareScratch spare;
    gifcodec::LzwScratch &scratch = spare.mine;  // one string table and staging buffer for every frame
    ImageBlock img;
    for (int index = 0; NextImage(data, size, off, &img); ++index) {
        GIFFRAMEINFO &info = img.info;
        // The budget, before the frame's bitmap is allocated: an area its data cannot fill
        // ends the file here, as damage does.
        if (!LzwCanFill(uint64_t(info.width) * info.height, img.dataBytes))
            return;
        const size_t tableOff = img.tableOff;
        int minCodeSize = data[img.codeOff];

        int colourBits;
        int colours;
        bool greyRamp = false;
        if (info.hasLocalTable) {
            colourBits = info.localBits;
            colours = 1 << colourBits;
        } else if (m_pScreen->hasGlobalTable) {
            colourBits = m_pScreen->colourBits;
            colours = m_pPalette->count;
        } else {
            // No table at all: the code size tells how many values the pixels take.
            colourBits = minCodeSize >= 1 && minCodeSize <= 8 ? minCodeSize : 8;
            colours = 1 << colourBits;
            greyRamp = true;
        }
        int bits = DibBitsForColourBits(colourBits);
        BYTE *dib;
        HGLOBAL hDib = dibutil::NewBlock(nullptr, sizeof(BITMAPINFOHEADER) + 4 * size_t(colours), info.width,
                                         info.height, bits, true, &dib);
        if (!hDib)
            return;
        RGBQUAD *pal = reinterpret_cast<RGBQUAD *>(dib + sizeof(BITMAPINFOHEADER));
        const BYTE *rgb = info.hasLocalTable ? data + tableOff : m_pPalette->entries;
        for (int i = 0; i < colours; ++i) {
            if (greyRamp || !rgb) {
                BYTE v = BYTE(colours > 1 ? i * 255 / (colours - 1) : 0);
                pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = v;
            } else {
                pal[i].rgbRed = rgb[3 * i];
                pal[i].rgbGreen = rgb[3 * i + 1];
                pal[i].rgbBlue = rgb[3 * i + 2];
            }
            pal[i].rgbReserved = 0;
        }

        LzwInput in;
        in.Begin(data, size, img.codeOff + 1);
        LzwRows target;
        target.pixels = dib + sizeof(BITMAPINFOHEADER) + 4 * size_t(colours);
        target.width = info.width;
        target.height = info.height;
        target.bits = bits;
        target.stride = DibStride(info.width, bits);
        target.interlaced = info.interlaced != 0;
        int decoded = DecodeLzw(minCodeSize, in, target, &scratch);
        BaseMemUnlock(hDib);
        if (!decoded) {
            BaseMemFree(hDib);
            return;
        }
        if (m_pfnFilter)
            hDib = m_pfnFilter(m_pFilterContext, this, index, hDib, &info);
        if (hDib && AddDecodedFrame(hDib, &info, GetFrameCount()) < 0) {
            BaseMemFree(hDib);
            return;
        }
        if (m_pfnProgress)
            m_pfnProgress(m_pProgressContext, int(off), int(size));
        if (!img.terminated)
            return;
    }
}

/* ---- Load ------------------------------------------------------------------------------ */

int CGifFile::LoadFiltered(const char *lpszFile, GIFFRAMEFILTER pfnFilter, void *pContext) {
    m_pfnFilter = pfnFilter;
    m_pFilterContext = pContext;
    int r = Load(lpszFile);
    m_pfnFilter = nullptr;
    m_pFilterContext = nullptr;
    return r;
}

int CGifFile::Load(const char *lpszFile) {
    Clear();
    m_pScreen = new (std::nothrow) GIFSCREEN();
    m_pPalette = new (std::nothrow) GIFPALETTE();
    if (!m_pScreen || !m_pPalette || !lpszFile)
        return 0;

    FIO_FILE *f = FioOpen(lpszFile, "rb");
    if (!f)
        return 0;
    int result = 0;
    DWORD refusal = 0;
    HGLOBAL hData = 0;
    BYTE *data = nullptr;
    BYTE head[13];
    long long fileSize = FioSize(f);
    if (fileSize < 13 || fileSize > 0x7FFFFFF0LL)
        goto done;
    m_nFileSize = int32_t(fileSize);
    if (FioRead(f, head, 13) != 13 || !IsGifSignature(head))
        goto done;

    // "GIF89a" width:u16 height:u16 packed background aspect
    m_pScreen->width = WORD(Le16(head + 6));
    m_pScreen->height = WORD(Le16(head + 8));
    m_pScreen->packed = head[10];
    m_pScreen->sortFlag = head[10] & 0x08;
    if (head[10] & 0x80) {
        m_pScreen->hasGlobalTable = 1;
        m_pScreen->colourBits = WORD((head[10] & 7) + 1);
        m_pScreen->colourCount = WORD(1 << m_pScreen->colourBits);
        m_pScreen->background = head[11];
        int entries = m_pScreen->colourCount;
        if (fileSize <= 13 + 3 * entries)
            goto done;
        BYTE *table = static_cast<BYTE *>(calloc(size_t(entries), 3));
        if (!table)
            goto done;
        if (FioRead(f, table, 3 * size_t(entries)) != 3 * size_t(entries)) {
            free(table);
            goto done;
        }
        free(m_pPalette->entries);
        m_pPalette->entries = table;
        m_pPalette->count = entries;
    }

    hData = BaseMemAlloc(GMEM_MOVEABLE, DWORD(fileSize));
    if (!hData)
        goto done;
    data = static_cast<BYTE *>(BaseMemLock(hData));
    if (!data || FioSeek(f, 0, SEEK_SET) != 0 || FioRead(f, data, size_t(fileSize)) != size_t(fileSize))
        goto done;
    {
        // The file's budget, from its blocks, before any frame is allocated.
        GIFSCAN scan;
        if (ScanGifData(data, size_t(fileSize), &scan) && scan.verdict &&
            scan.verdict != DWORD(GIF_ERROR_FRAME_UNFILLED)) {
            refusal = scan.verdict;
            goto done;
        }
    }
    ParseFrames(data, size_t(fileSize), 13 + (m_pScreen->hasGlobalTable ? 3 * size_t(m_pScreen->colourCount) : 0));
    result = 1;

done:
    if (data)
        BaseMemUnlock(hData);
    if (hData)
        BaseMemFree(hData);
    FioClose(f);
    if (refusal)
        SetLastError(refusal);
    return result;
}

/* ---- Library functions ----------------------------------------------------------------- */

int GetGifSize(const char *szGifFile, WORD *pWidth, WORD *pHeight) {
    MD_ASSERT(szGifFile);
    if (!szGifFile)
        return 0;
    FIO_FILE *f = FioOpen(szGifFile, "rb");
    if (!f)
        return 0;
    BYTE head[10];
    int result = 0;
    if (FioRead(f, head, 10) == 10 && IsGifSignature(head)) {
        if (pWidth)
            *pWidth = WORD(Le16(head + 6));
        if (pHeight)
            *pHeight = WORD(Le16(head + 8));
        result = 1;
    }
    FioClose(f);
    return result;
}

int GetGifDuration(const char *lpszFile) {
    if (!lpszFile)
        return -1;
    CGifFile gif;
    gif.Load(lpszFile);
    return gif.GetDuration();
}

HGLOBAL LoadGifThumbnail(const char *lpszFile) {
    if (!lpszFile)
        return 0;
    CGifFile gif;
    gif.Load(lpszFile);
    HGLOBAL hFrame = gif.GetFrameDib(0);
    if (!hFrame)
        return 0;
    HGLOBAL hTrue = 0;
    switch (PxDibGetType(hFrame)) {
    case PX_TYPE_8BIT:
    case PX_TYPE_8BIT_GREY:
        hTrue = PxDibConvert8BitToTrueColor(hFrame);
        break;
    case PX_TYPE_4BIT:
        hTrue = PxDibConvert4BitToTrueColor(hFrame);
        break;
    case PX_TYPE_1BIT:
        hTrue = PxDibConvert1BitToTrueColor(hFrame);
        break;
    default:
        return 0;
    }
    if (!hTrue)
        return 0;
    HGLOBAL hFit = FitDibHQ(hTrue, 320, 320);
    if (hFit) {
        BaseMemFree(hTrue);
        return hFit;
    }
    return hTrue;
}
