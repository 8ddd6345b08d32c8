/*
 * Mask bitmaps into horizontal runs, banded (see mask_runs.h for the invariant).
 *
 * The scan walks image rows from the top (stored rows from the last one down), collects each
 * row's runs of selected pixels, and either widens the previous band by one row (same runs)
 * or opens a new band.  Each pixel byte is read once; the work is linear in the mask's size.
 */
#include "mask_runs.h"

#include <stdint.h>
#include <string.h>

#include <new>

MaskStatus MaskCheck(const void *pMask, size_t cbMask, size_t *pStride, size_t *pOffset)
{
    if (!pMask)
        return MASK_EMPTY;
    if (cbMask && cbMask < sizeof(BITMAPINFOHEADER))
        return MASK_TRUNCATED;
    BITMAPINFOHEADER bih;
    memcpy(&bih, pMask, sizeof bih);  // the block may not be aligned for the structure
    if (bih.biBitCount != 8)
        return MASK_NOT_8BIT;
    if (bih.biWidth <= 0 || bih.biHeight <= 0)
        return MASK_EMPTY;
    // 64-bit arithmetic: every factor is below 2^32, so nothing here can wrap.
    uint64_t stride = ((uint64_t)bih.biWidth * 8 + 31) / 32 * 4;
    uint64_t offset = sizeof(BITMAPINFOHEADER) + (uint64_t)bih.biClrUsed * 4;
    uint64_t end = offset + stride * (uint64_t)bih.biHeight;
    if (end > (uint64_t)SIZE_MAX || (cbMask && end > cbMask))
        return MASK_TRUNCATED;
    if (pStride)
        *pStride = (size_t)stride;
    if (pOffset)
        *pOffset = (size_t)offset;
    return MASK_OK;
}

namespace {

MaskStatus ScanRuns(const void *pMask, size_t cbMask, int nIndex, std::vector<RECT> *pRects, size_t maxRuns)
{
    size_t stride = 0, offset = 0;
    MaskStatus status = MaskCheck(pMask, cbMask, &stride, &offset);
    if (status != MASK_OK || !pRects || nIndex < 0 || nIndex > 255)
        return status;
    BITMAPINFOHEADER bih;
    memcpy(&bih, pMask, sizeof bih);
    const int width = bih.biWidth, height = bih.biHeight;
    const BYTE *pixels = (const BYTE *)pMask + offset;
    const BYTE index = (BYTE)nIndex;

    std::vector<RECT> &out = *pRects;
    const size_t before = out.size();
    size_t bandStart = out.size();  // first rectangle of the band being built
    bool haveBand = false;
    std::vector<RECT> row;
    for (int y = 0; y < height; ++y) {
        const BYTE *p = pixels + (size_t)(height - 1 - y) * stride;
        row.clear();
        for (int x = 0; x < width;) {
            const BYTE *hit = (const BYTE *)memchr(p + x, index, (size_t)(width - x));
            if (!hit)
                break;
            int x0 = (int)(hit - p);
            int x1 = x0 + 1;
            while (x1 < width && p[x1] == index)
                ++x1;
            if (row.size() >= maxRuns)
                return MASK_TOO_MANY;
            row.push_back(RECT{x0, y, x1, y + 1});
            x = x1;
        }
        // Same spans as the band right above: that band grows by this row.
        bool same = haveBand && out.size() - bandStart == row.size() && out[bandStart].bottom == y;
        for (size_t i = 0; same && i < row.size(); ++i)
            same = out[bandStart + i].left == row[i].left && out[bandStart + i].right == row[i].right;
        if (same) {
            for (size_t i = bandStart; i < out.size(); ++i)
                out[i].bottom = y + 1;
            continue;
        }
        if (row.empty()) {
            haveBand = false;
            continue;
        }
        if (out.size() - before + row.size() > maxRuns)
            return MASK_TOO_MANY;
        bandStart = out.size();
        out.insert(out.end(), row.begin(), row.end());
        haveBand = true;
    }
    return MASK_OK;
}

}  // namespace

MaskStatus MaskScanRuns(const void *pMask, size_t cbMask, int nIndex, std::vector<RECT> *pRects, size_t maxRuns)
{
    const size_t before = pRects ? pRects->size() : 0;
    try {
        MaskStatus status = ScanRuns(pMask, cbMask, nIndex, pRects, maxRuns);
        if (status == MASK_TOO_MANY)
            pRects->resize(before);
        return status;
    } catch (const std::bad_alloc &) {
        pRects->resize(before);
        return MASK_TOO_MANY;
    }
}
