/*
 * Colour reduction: a 24-bit bitmap to an 8-bit palette bitmap by median cut, with optional
 * ordered or error-diffusion dithering.
 *
 * The histogram counts pixels per cell of a reduced colour cube: levelBits (5 or 6) bits per
 * channel, level = value >> shift, shift = 8 - levelBits.  It is held as one plane per red
 * level, each plane (1 << levelBits)^2 counters indexed by green << levelBits | blue.
 *
 * Median-cut boxes partition the occupied cells.  Invariants while the palette is built:
 *   - boxes are disjoint; every cell holding pixels lies in exactly one box;
 *   - a box's count is the number of pixels in its cells; boxes never hold 0 pixels;
 *   - a box in state MEDIANCUT_FINAL is never chosen for splitting again.
 * Once every box has its palette index (MEDIANCUT_ASSIGNED), each of its cells is overwritten
 * with that index: the planes become the inverse colour map (the low byte of a counter).
 * Cells outside every box (no pixels) keep 0.
 */
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "basemem.h"
#include "dib_private.h"
#include "gif_private.h"

namespace {

/* Pixels of one slice of a box: the cells at `level` on `axis`, within the box on the others. */
DWORD SliceSum(const MEDIANCUTBOX &box, int axis, int level, DWORD **planes, int levelBits) {
    int lo[3] = {box.lo[0], box.lo[1], box.lo[2]};
    int hi[3] = {box.hi[0], box.hi[1], box.hi[2]};
    lo[axis] = level;
    hi[axis] = level + 1;
    DWORD sum = 0;
    for (int r = lo[0]; r < hi[0]; ++r) {
        const DWORD *plane = planes[r];
        for (int g = lo[1]; g < hi[1]; ++g) {
            const DWORD *row = plane + (size_t(g) << levelBits);
            for (int b = lo[2]; b < hi[2]; ++b)
                sum += row[b];
        }
    }
    return sum;
}

/* The first level on `axis` at which the box's running sum reaches `target`, never past the
 * box's last level; *pSum gets the sum of the levels before it. */
int WalkSlices(const MEDIANCUTBOX &box, int axis, DWORD target, DWORD **planes, int levelBits, DWORD *pSum) {
    DWORD sum = 0;
    int slice = box.lo[axis];
    while (sum < target && slice < box.hi[axis] - 1) {
        sum += SliceSum(box, axis, slice, planes, levelBits);
        ++slice;
    }
    *pSum = sum;
    return slice;
}

}  // namespace

int SplitBox(MEDIANCUTBOX *pBoxes, int nCount, DWORD **ppPlanes, int nLevelBits) {
    int chosen = -1;
    uint64_t best = 0;
    for (int i = 0; i < nCount; ++i) {
        const MEDIANCUTBOX &b = pBoxes[i];
        if (b.state != MEDIANCUT_SPLITTABLE)
            continue;
        int widths = (b.hi[0] - b.lo[0]) + (b.hi[1] - b.lo[1]) + (b.hi[2] - b.lo[2]);
        if (widths <= 3)
            continue;
        uint64_t score = uint64_t(widths - 3) * b.count;
        if (score > best) {
            best = score;
            chosen = i;
        }
    }
    if (chosen < 0)
        return nCount + MEDIANCUT_NO_SPLIT;

    MEDIANCUTBOX &box = pBoxes[chosen];
    MEDIANCUTBOX &fresh = pBoxes[nCount];
    memset(&fresh, 0, sizeof(fresh));
    memcpy(fresh.lo, box.lo, 3);
    memcpy(fresh.hi, box.hi, 3);
    int w[3] = {box.hi[0] - box.lo[0], box.hi[1] - box.lo[1], box.hi[2] - box.lo[2]};
    if (w[0] + w[1] + w[2] <= 3) {
        box.state = MEDIANCUT_FINAL;
        return nCount;
    }
    int axis = w[0] >= w[1] && w[0] >= w[2] ? 0 : w[1] >= w[2] ? 1 : 2;
    DWORD sum;
    int cut = WalkSlices(box, axis, (box.count + 1) >> 1, ppPlanes, nLevelBits, &sum);
    DWORD count = box.count;
    if (sum != 0) {
        box.hi[axis] = BYTE(cut);
        box.count = sum;
        fresh.lo[axis] = BYTE(cut);
        fresh.count = count - sum;
    } else if (cut > box.lo[axis]) {
        box.lo[axis] = BYTE(cut);
    } else {
        // Defensive (a box of pixels always has a slice to walk): a split that would change
        // nothing marks the box, so that the caller's loop ends.
        box.state = MEDIANCUT_FINAL;
    }
    return sum > 0 && sum < count ? nCount + 1 : nCount;
}

void AssignBoxColors(MEDIANCUTBOX *pBoxes, int nCount, BYTE *pRed, BYTE *pGreen, BYTE *pBlue, DWORD **ppPlanes,
                     int nShift, int nLevelBits) {
    BYTE *components[3] = {pRed, pGreen, pBlue};
    for (int i = 0; i < MEDIANCUT_MAX_BOXES; ++i) {
        int chosen = -1;
        for (int k = 0; k < nCount; ++k)
            if (pBoxes[k].state != MEDIANCUT_ASSIGNED && pBoxes[k].count > 0 &&
                (chosen < 0 || pBoxes[k].count > pBoxes[chosen].count))
                chosen = k;
        if (chosen < 0)
            return;
        MEDIANCUTBOX &box = pBoxes[chosen];
        box.state = MEDIANCUT_ASSIGNED;
        for (int axis = 0; axis < 3; ++axis) {
            DWORD sum;
            int level = WalkSlices(box, axis, box.count >> 1, ppPlanes, nLevelBits, &sum);
            int v = (level << nShift) + (level >> ((8 - nShift) / 2));
            components[axis][i] = BYTE(v > 255 ? 255 : v);
        }
        for (int r = box.lo[0]; r < box.hi[0]; ++r)
            for (int g = box.lo[1]; g < box.hi[1]; ++g) {
                DWORD *row = ppPlanes[r] + (size_t(g) << nLevelBits);
                for (int b = box.lo[2]; b < box.hi[2]; ++b)
                    row[b] = DWORD(i);
            }
    }
}

void BuildMedianCutPalette(DWORD **ppPlanes, BITMAPINFOHEADER *pHeader, BYTE *pRed, BYTE *pGreen, BYTE *pBlue,
                           int nPlanes, int nShift, int nLevelBits, int nColours) {
    MEDIANCUTBOX boxes[MEDIANCUT_MAX_BOXES + 1];
    memset(boxes, 0, sizeof(boxes));
    if (nColours > MEDIANCUT_MAX_BOXES)
        nColours = MEDIANCUT_MAX_BOXES;
    // Start from the occupied cubes of a 4 x 4 x 4 division, red outermost.
    const int side = 1 << (8 - nShift - 2);
    int count = 0;
    for (int r = 0; r < 4; ++r)
        for (int g = 0; g < 4; ++g)
            for (int b = 0; b < 4; ++b) {
                MEDIANCUTBOX &box = boxes[count];
                box.lo[0] = BYTE(r * side);
                box.lo[1] = BYTE(g * side);
                box.lo[2] = BYTE(b * side);
                box.hi[0] = BYTE(r * side + side);
                box.hi[1] = BYTE(g * side + side);
                box.hi[2] = BYTE(b * side + side);
                box.state = MEDIANCUT_SPLITTABLE;
                box.count = 0;
                if (box.hi[0] > nPlanes)
                    continue;
                for (int level = box.lo[0]; level < box.hi[0]; ++level)
                    box.count += SliceSum(box, 0, level, ppPlanes, nLevelBits);
                if (box.count > 0)
                    ++count;
            }
    while (count < nColours) {
        int n = SplitBox(boxes, count, ppPlanes, nLevelBits);
        if (n >= MEDIANCUT_NO_SPLIT) {
            count = n - MEDIANCUT_NO_SPLIT;
            break;
        }
        count = n;
    }
    AssignBoxColors(boxes, count, pRed, pGreen, pBlue, ppPlanes, nShift, nLevelBits);

    pHeader->biClrUsed = DWORD(count);
    RGBQUAD *pal = reinterpret_cast<RGBQUAD *>(reinterpret_cast<BYTE *>(pHeader) + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < count; ++i) {
        pal[i].rgbBlue = pBlue[i];
        pal[i].rgbGreen = pGreen[i];
        pal[i].rgbRed = pRed[i];
        pal[i].rgbReserved = 0;
    }
    if (count < 256) {
        // The unused entries: one grey, whose value is no red component of a real entry.
        bool usedRed[256] = {};
        for (int i = 0; i < count; ++i)
            usedRed[pRed[i]] = true;
        int v = 0;
        while (v < 255 && usedRed[v])
            ++v;
        for (int i = count; i < 256; ++i) {
            pal[i].rgbBlue = pal[i].rgbGreen = pal[i].rgbRed = BYTE(v);
            pal[i].rgbReserved = 0;
            pRed[i] = pGreen[i] = pBlue[i] = BYTE(v);
        }
    }
}

/* ---- ReduceToPalette ------------------------------------------------------------------- */

namespace {

/* The ordered-dithering matrix. */
const BYTE kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

/* The histogram planes and, once the palette is made, the inverse colour map. */
class ColourCube {
public:
    explicit ColourCube(int levelBits) : m_levelBits(levelBits), m_shift(8 - levelBits) {}
    ~ColourCube() {
        for (DWORD *p : m_planes)
            free(p);
    }
    ColourCube(const ColourCube &) = delete;
    ColourCube &operator=(const ColourCube &) = delete;
    bool Alloc() {
        size_t cells = size_t(1) << (2 * m_levelBits);
        for (int i = 0; i < (1 << m_levelBits); ++i) {
            m_planes[i] = static_cast<DWORD *>(calloc(cells, sizeof(DWORD)));
            if (!m_planes[i])
                return false;
        }
        return true;
    }
    DWORD **planes() { return m_planes; }
    int shift() const { return m_shift; }
    int levelBits() const { return m_levelBits; }
    /* The counter of the cell of levels (r, g, b). */
    DWORD &Cell(int r, int g, int b) { return m_planes[r][(g << m_levelBits) | b]; }
    /* Palette index of a colour, by its levels. */
    BYTE Index(int r, int g, int b) { return BYTE(Cell(r, g, b)); }
    BYTE IndexOf(int red, int green, int blue) {
        return Index(red >> m_shift, green >> m_shift, blue >> m_shift);
    }

private:
    int m_levelBits;
    int m_shift;
    DWORD *m_planes[64] = {};
};

/* Level of a dithered value: 0 at or below 0, 31 at or above 255 (whatever the precision). */
inline int DitherLevel(int v, int shift) { return v <= 0 ? 0 : v >= 255 ? 31 : v >> shift; }

inline int Abs(int v) { return v < 0 ? -v : v; }

}  // namespace

HGLOBAL ReduceToPalette(HGLOBAL hDib, int nMode, int bReserve) {
    const bool refine = (nMode & GIF_REDUCE_REFINE) != 0;
    nMode &= ~GIF_REDUCE_REFINE;
    int levelBits = 5;
    if (nMode >= 100) {
        levelBits = 6;
        nMode -= 99;
    }
    const int colours = bReserve ? 255 : 256;

    dibutil::DibView src;
    if (!hDib)
        return GIF_REDUCE_NO_BLOCK;
    if (!src.Open(hDib)) {
        // Tell a block that cannot be locked from one whose header we cannot use.
        void *p = BaseMemLock(hDib);
        if (!p)
            return GIF_REDUCE_NO_BLOCK;
        BaseMemUnlock(hDib);
        return GIF_REDUCE_BAD_DEPTH;
    }
    if (src.bits == 8)
        return hDib;
    if (src.bits != 24)
        return GIF_REDUCE_BAD_DEPTH;
    if (refine)
        return gifcodec::ReduceRefined(src, nMode == 1 || nMode == 3 ? nMode : 2, colours, levelBits);

    const int width = src.width, height = src.height;
    BYTE *base;
    // Zeroed: the rows' padding bytes are part of the result too.
    HGLOBAL hOut = dibutil::NewBlock(nullptr, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), width, height, 8,
                                     true, &base);
    if (!hOut)
        return GIF_REDUCE_NO_BLOCK;
    BITMAPINFOHEADER *head = reinterpret_cast<BITMAPINFOHEADER *>(base);
    head->biXPelsPerMeter = src.bih->biXPelsPerMeter;
    head->biYPelsPerMeter = src.bih->biYPelsPerMeter;
    head->biClrImportant = 0;

    ColourCube cube(levelBits);
    if (!cube.Alloc()) {
        dibutil::Release(hOut, true);
        return 0;
    }
    const int shift = cube.shift();
    for (int y = 0; y < height; ++y) {
        const BYTE *p = src.pixels + size_t(y) * src.stride;
        for (int x = 0; x < width; ++x, p += 3)
            ++cube.Cell(p[2] >> shift, p[1] >> shift, p[0] >> shift);
    }

    BYTE red[256], green[256], blue[256];
    BuildMedianCutPalette(cube.planes(), head, red, green, blue, 1 << levelBits, shift, levelBits, colours);
    head->biClrUsed = 256;

    BYTE *out = base + sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
    const size_t outStride = dibutil::DibStride(width, 8);
    if (nMode == 1) {
        for (int y = 0; y < height; ++y) {
            const BYTE *p = src.pixels + size_t(y) * src.stride;
            BYTE *o = out + size_t(y) * outStride;
            for (int x = 0; x < width; ++x, p += 3)
                o[x] = cube.IndexOf(p[2], p[1], p[0]);
        }
    } else if (nMode == 3) {
        for (int y = 0; y < height; ++y) {
            const BYTE *p = src.pixels + size_t(y) * src.stride;
            BYTE *o = out + size_t(y) * outStride;
            for (int x = 0; x < width; ++x, p += 3) {
                const int r = p[2], g = p[1], b = p[0];
                const BYTE c0 = cube.IndexOf(r, g, b);
                const int er = Abs(r - red[c0]), eg = Abs(g - green[c0]), eb = Abs(b - blue[c0]);
                const int d = (int(kBayer8[y & 7][x & 7]) - 31) / 2;
                const BYTE c1 = cube.Index(DitherLevel(r + d, shift), DitherLevel(g + d, shift), DitherLevel(b + d, shift));
                bool take = Abs(r - red[c1]) < er + 16 && Abs(g - green[c1]) < eg + 16 && Abs(b - blue[c1]) < eb + 16;
                o[x] = take ? c1 : c0;
            }
        }
    } else {
        // Error diffusion: b[x + 1] holds what the row above left at x - 1 (see below).
        int *lines = static_cast<int *>(calloc(3 * (size_t(width) + 2), sizeof(int)));
        if (!lines) {
            dibutil::Release(hOut, true);
            return 0;
        }
        int *buf[3] = {lines, lines + width + 2, lines + 2 * (width + 2)};
        const BYTE *pal[3] = {red, green, blue};
        for (int y = 0; y < height; ++y) {
            const BYTE *p = src.pixels + size_t(y) * src.stride;
            BYTE *o = out + size_t(y) * outStride;
            int run[3] = {0, 0, 0};
            for (int x = 0; x < width; ++x, p += 3) {
                const int v[3] = {p[2], p[1], p[0]};
                const BYTE c0 = cube.IndexOf(v[0], v[1], v[2]);
                int e[3], w[3];
                for (int ch = 0; ch < 3; ++ch) {
                    e[ch] = Abs(v[ch] - pal[ch][c0]);
                    const int *b = buf[ch];
                    int adj = v[ch] + (7 * run[ch] + b[x] + 5 * b[x + 1] + 3 * b[x + 2]) / 16;
                    w[ch] = adj < 0 ? 0 : adj > 255 ? 255 : adj;
                }
                const BYTE c1 = cube.IndexOf(w[0], w[1], w[2]);
                BYTE chosen = c1;
                if (!(Abs(v[0] - red[c1]) < e[0] + 16 && Abs(v[1] - green[c1]) < e[1] + 16 &&
                      Abs(v[2] - blue[c1]) < e[2] + 16)) {
                    chosen = c0;
                    w[0] = v[0];
                    w[1] = v[1];
                    w[2] = v[2];
                }
                o[x] = chosen;
                for (int ch = 0; ch < 3; ++ch) {
                    buf[ch][x + 1] = run[ch];
                    run[ch] = w[ch] - pal[ch][chosen];
                }
            }
        }
        free(lines);
    }
    BaseMemUnlock(hOut);
    return hOut;
}
