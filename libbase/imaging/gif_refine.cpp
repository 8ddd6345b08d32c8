/*
 * Refined colour reduction: the median-cut palette improved by a few rounds of Lloyd's
 * iteration (k-means) over the colour histogram, and every pixel mapped to its nearest
 * palette colour rather than to its box.
 *
 * The histogram has 6 bits per channel (64^3 cells).  Each cell counts its pixels and sums the
 * two low bits of each of their channels, so a cell stands for the exact mean of its pixels
 * (cell level * 4 + low-bit mean).  The occupied cells, weighted by their counts, are the
 * points of the iteration: each round gives every point its nearest palette colour, then moves
 * every colour to the weighted mean of its points; a round never raises the sum of squared
 * errors, and the rounds stop once they lower it by less than 1 / 1000 (or after kRounds).
 *
 * Mapping: a pixel takes the colour nearest its cell's mean (the last round has found it for
 * every occupied cell); a colour adjusted by dithering may fall in an empty cell, whose
 * nearest colour (to the cell's centre) is found when first asked and kept.
 *
 * Error diffusion is Floyd and Steinberg's (7, 3, 5, 1 sixteenths), running left to right and
 * right to left on alternate rows; ordered dithering adds the 8 x 8 matrix's offset.
 */
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "basemem.h"
#include "dib_private.h"
#include "gif_private.h"

namespace {

constexpr int kRounds = 8;
constexpr int kCellBits = 6;
constexpr size_t kCells = size_t(1) << (3 * kCellBits);
constexpr uint16_t kUnknown = 0xFFFF;

inline size_t CellOf(int r, int g, int b) {
    return (size_t(r >> 2) << (2 * kCellBits)) | (size_t(g >> 2) << kCellBits) | size_t(b >> 2);
}

/* Pixels of one histogram cell and the sums of their two low bits per channel. */
struct Cell {
    uint32_t n, r, g, b;
};

/* An occupied cell as a point of the iteration. */
struct Point {
    float c[3];
    uint32_t n;
    uint32_t cell;
};

/* Nearest palette colour: the entries sorted by green, searched outwards from the query's
 * green until the green distance alone passes the best distance found. */
class Nearest {
public:
    void Build(const float (*pal)[3], int count) {
        m_count = count;
        int order[256];
        for (int i = 0; i < count; ++i)
            order[i] = i;
        std::sort(order, order + count, [pal](int a, int b) { return pal[a][1] < pal[b][1]; });
        for (int i = 0; i < count; ++i) {
            m_index[i] = order[i];
            for (int a = 0; a < 3; ++a)
                m_c[i][a] = pal[order[i]][a];
        }
    }
    int Find(const float *q, float *pDist) const {
        int lo = 0, hi = m_count;
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (m_c[mid][1] < q[1])
                lo = mid + 1;
            else
                hi = mid;
        }
        float best = 1e30f;
        int bestAt = 0;
        for (int i = lo; i < m_count; ++i) {
            float dg = m_c[i][1] - q[1];
            if (dg * dg >= best)
                break;
            float dr = m_c[i][0] - q[0], db = m_c[i][2] - q[2];
            float d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                bestAt = i;
            }
        }
        for (int i = lo - 1; i >= 0; --i) {
            float dg = m_c[i][1] - q[1];
            if (dg * dg >= best)
                break;
            float dr = m_c[i][0] - q[0], db = m_c[i][2] - q[2];
            float d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                bestAt = i;
            }
        }
        if (pDist)
            *pDist = best;
        return m_index[bestAt];
    }

private:
    int m_count = 0;
    float m_c[256][3];
    int m_index[256];
};

/* Lloyd's rounds over the points from the palette in pal[0 .. count).  On return pal holds the
 * refined colours and every point's cell in `inverse` its nearest one. */
void Refine(std::vector<Point> &points, float (*pal)[3], int count, uint16_t *inverse) {
    Nearest nearest;
    double previous = 0;
    for (int round = 0; round < kRounds; ++round) {
        nearest.Build(pal, count);
        double sum[256][3] = {}, weight[256] = {}, sse = 0;
        for (const Point &p : points) {
            float d;
            int k = nearest.Find(p.c, &d);
            sse += double(d) * p.n;
            weight[k] += p.n;
            for (int a = 0; a < 3; ++a)
                sum[k][a] += double(p.c[a]) * p.n;
        }
        if (round > 0 && sse >= previous * (1 - 1e-3))
            break;
        previous = sse;
        for (int k = 0; k < count; ++k)
            if (weight[k] > 0)
                for (int a = 0; a < 3; ++a)
                    pal[k][a] = float(sum[k][a] / weight[k]);
    }
    // The colours as they will be stored, and every occupied cell's nearest among them.
    for (int k = 0; k < count; ++k)
        for (int a = 0; a < 3; ++a)
            pal[k][a] = floorf(pal[k][a] + 0.5f);
    nearest.Build(pal, count);
    for (const Point &p : points)
        inverse[p.cell] = uint16_t(nearest.Find(p.c, nullptr));
}

/* The ordered-dithering matrix (the same as the median-cut reduction's). */
const BYTE kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

inline int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

/* The palette index for any colour: its cell's, found on first use for a cell no pixel fell in. */
struct Lookup {
    uint16_t *inverse;
    const Nearest *nearest;
    inline int operator()(int r, int g, int b) const {
        size_t cell = CellOf(r, g, b);
        uint16_t k = inverse[cell];
        if (k == kUnknown) {
            const float q[3] = {float(r & ~3) + 1.5f, float(g & ~3) + 1.5f, float(b & ~3) + 1.5f};
            k = uint16_t(nearest->Find(q, nullptr));
            inverse[cell] = k;
        }
        return k;
    }
};

}  // namespace

HGLOBAL gifcodec::ReduceRefined(const dibutil::DibView &src, int nMode, int nColours, int nLevelBits) {
    const int width = src.width, height = src.height;
    BYTE *base;
    HGLOBAL hOut = dibutil::NewBlock(nullptr, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), width, height, 8,
                                     false, &base);
    if (!hOut)
        return GIF_REDUCE_NO_BLOCK;
    BITMAPINFOHEADER *head = reinterpret_cast<BITMAPINFOHEADER *>(base);
    head->biXPelsPerMeter = src.bih->biXPelsPerMeter;
    head->biYPelsPerMeter = src.bih->biYPelsPerMeter;
    head->biClrImportant = 0;

    Cell *cells = static_cast<Cell *>(calloc(kCells, sizeof(Cell)));
    uint16_t *inverse = static_cast<uint16_t *>(malloc(kCells * sizeof(uint16_t)));
    const int planes = 1 << nLevelBits;
    const size_t planeCells = size_t(1) << (2 * nLevelBits);
    std::vector<DWORD *> cube(size_t(planes), nullptr);
    bool ok = cells && inverse;
    for (int i = 0; ok && i < planes; ++i)
        ok = (cube[size_t(i)] = static_cast<DWORD *>(calloc(planeCells, sizeof(DWORD)))) != nullptr;
    std::vector<Point> points;
    if (ok) {
        for (int y = 0; y < height; ++y) {
            const BYTE *p = src.pixels + size_t(y) * src.stride;
            for (int x = 0; x < width; ++x, p += 3) {
                Cell &c = cells[CellOf(p[2], p[1], p[0])];
                ++c.n;
                c.r += p[2] & 3u;
                c.g += p[1] & 3u;
                c.b += p[0] & 3u;
            }
        }
        // The median cut's histogram at its own precision, and the points.
        const int down = kCellBits - nLevelBits;
        for (size_t i = 0; i < kCells; ++i) {
            const Cell &c = cells[i];
            inverse[i] = kUnknown;
            if (!c.n)
                continue;
            int r = int(i >> (2 * kCellBits)), g = int(i >> kCellBits) & 63, b = int(i) & 63;
            cube[size_t(r >> down)][(size_t(g >> down) << nLevelBits) | size_t(b >> down)] += c.n;
            float n = float(c.n);
            points.push_back({{float(r * 4) + float(c.r) / n, float(g * 4) + float(c.g) / n,
                               float(b * 4) + float(c.b) / n},
                              c.n,
                              uint32_t(i)});
        }
    }
    free(cells);
    if (!ok) {
        for (DWORD *p : cube)
            free(p);
        free(inverse);
        dibutil::Release(hOut, true);
        return 0;
    }

    BYTE red[256], green[256], blue[256];
    BuildMedianCutPalette(cube.data(), head, red, green, blue, planes, 8 - nLevelBits, nLevelBits, nColours);
    for (DWORD *p : cube)
        free(p);
    const int count = int(head->biClrUsed);
    float pal[256][3];
    for (int k = 0; k < count; ++k) {
        pal[k][0] = red[k];
        pal[k][1] = green[k];
        pal[k][2] = blue[k];
    }
    Refine(points, pal, count, inverse);
    Nearest nearest;
    nearest.Build(pal, count);

    RGBQUAD *rgbq = reinterpret_cast<RGBQUAD *>(base + sizeof(BITMAPINFOHEADER));
    bool usedRed[256] = {};
    for (int k = 0; k < count; ++k) {
        red[k] = BYTE(pal[k][0]);
        green[k] = BYTE(pal[k][1]);
        blue[k] = BYTE(pal[k][2]);
        rgbq[k] = RGBQUAD{blue[k], green[k], red[k], 0};
        usedRed[red[k]] = true;
    }
    // The unused entries: one grey, whose value is no red component of a real entry.
    int grey = 0;
    while (grey < 255 && usedRed[grey])
        ++grey;
    for (int k = count; k < 256; ++k)
        rgbq[k] = RGBQUAD{BYTE(grey), BYTE(grey), BYTE(grey), 0};
    head->biClrUsed = 256;

    Lookup lookup{inverse, &nearest};
    BYTE *out = base + sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
    const size_t outStride = dibutil::DibStride(width, 8);
    if (nMode == 1) {
        for (int y = 0; y < height; ++y) {
            const BYTE *p = src.pixels + size_t(y) * src.stride;
            BYTE *o = out + size_t(y) * outStride;
            for (int x = 0; x < width; ++x, p += 3)
                o[x] = BYTE(inverse[CellOf(p[2], p[1], p[0])]);
        }
    } else if (nMode == 3) {
        for (int y = 0; y < height; ++y) {
            const BYTE *p = src.pixels + size_t(y) * src.stride;
            BYTE *o = out + size_t(y) * outStride;
            for (int x = 0; x < width; ++x, p += 3) {
                const int d = (int(kBayer8[y & 7][x & 7]) - 31) / 2;
                o[x] = BYTE(lookup(Clamp255(p[2] + d), Clamp255(p[1] + d), Clamp255(p[0] + d)));
            }
        }
    } else {
        // Errors in sixteenths: cur[] holds what reaches this row, below[] the next row's,
        // each with one spare entry on either side (index x + 1 for pixel x).
        std::vector<int> errors(6 * (size_t(width) + 2), 0);
        int *cur = errors.data(), *below = cur + 3 * (size_t(width) + 2);
        const BYTE *palc[3] = {red, green, blue};
        for (int row = 0; row < height; ++row) {
            const int y = height - 1 - row;  // from the top of the picture
            const BYTE *p = src.pixels + size_t(y) * src.stride;
            BYTE *o = out + size_t(y) * outStride;
            const bool rtl = row & 1;
            const int step = rtl ? -1 : 1;
            for (int i = 0; i < width; ++i) {
                const int x = rtl ? width - 1 - i : i;
                const BYTE *q = p + 3 * size_t(x);
                const int v[3] = {q[2], q[1], q[0]};
                int w[3];
                int *e = cur + 3 * size_t(x + 1);
                for (int a = 0; a < 3; ++a)
                    w[a] = Clamp255(v[a] + (e[a] >= 0 ? (e[a] + 8) >> 4 : -((-e[a] + 8) >> 4)));
                const int k = lookup(w[0], w[1], w[2]);
                o[x] = BYTE(k);
                for (int a = 0; a < 3; ++a) {
                    const int err = w[a] - palc[a][k];
                    cur[3 * size_t(x + 1 + step) + size_t(a)] += 7 * err;
                    below[3 * size_t(x + 1 - step) + size_t(a)] += 3 * err;
                    below[3 * size_t(x + 1) + size_t(a)] += 5 * err;
                    below[3 * size_t(x + 1 + step) + size_t(a)] += err;
                }
            }
            std::swap(cur, below);
            memset(below, 0, 3 * (size_t(width) + 2) * sizeof(int));
        }
    }
    free(inverse);
    BaseMemUnlock(hOut);
    return hOut;
}
