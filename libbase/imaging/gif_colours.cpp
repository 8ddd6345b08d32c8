/*
 * Fewer colours in an animation's tables, every frame kept.
 *
 * Each colour table (the global one, and each frame's local one) is reduced on its own: the
 * entries its frames' pixels use are weighted by how many pixels use them, and cut into boxes
 * by weighted median cut over red, green and blue until the table's new size is reached; each
 * box becomes one entry (the weighted mean of its colours).  An entry that is a frame's
 * transparent index keeps a slot of its own, so transparency stays exactly where it was; the
 * screen's background index follows its colour.  Frame rectangles, delays, disposal and
 * interlacing are untouched; the pixel indices and tables change, and the tables shrink to
 * the smallest power of two that holds them, which is what shortens the codes.
 *
 * Refined (GIF_REDUCE_REFINE): the entries the median cut made then go through a few rounds of
 * Lloyd's iteration (every used colour to its nearest entry, every entry to the weighted mean
 * of its colours), and each old entry maps to its nearest new one; the result is taken only
 * when its pixel-weighted squared error is below the median cut's.
 */
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "basemem.h"
#include "dib_private.h"
#include "gif_private.h"

namespace {

struct Colour {
    int index;     // entry in the old table
    BYTE rgb[3];
    double weight; // pixels using it
};

/* One table's reduction: the old index -> new index map and the new entries (red, green,
 * blue). */
struct TableMap {
    int map[256];
    std::vector<BYTE> entries;  // 3 per new entry
    int bits = 1;
};

int Pixel(const dibutil::DibView &v, const BYTE *row, int x) {
    if (v.bits == 8)
        return row[x];
    if (v.bits == 4)
        return (x & 1) ? (row[x >> 1] & 15) : (row[x >> 1] >> 4);
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

/* Weighted median cut of `colours` into at most k boxes; each box's members get one slot
 * from `next` on, appended to out.entries. */
void MedianCut(std::vector<Colour> colours, int k, TableMap &out) {
    std::vector<std::vector<Colour>> boxes;
    boxes.push_back(std::move(colours));
    while ((int)boxes.size() < k) {
        // The box of widest weighted extent along one axis is split.
        int best = -1, bestAxis = 0;
        double bestScore = 0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            if (boxes[b].size() < 2)
                continue;
            double weight = 0;
            for (const Colour &c : boxes[b])
                weight += c.weight;
            for (int axis = 0; axis < 3; ++axis) {
                int lo = 255, hi = 0;
                for (const Colour &c : boxes[b]) {
                    lo = std::min(lo, int(c.rgb[axis]));
                    hi = std::max(hi, int(c.rgb[axis]));
                }
                double score = double(hi - lo) * (1.0 + weight);
                if (hi > lo && score > bestScore) {
                    bestScore = score;
                    best = int(b);
                    bestAxis = axis;
                }
            }
        }
        if (best < 0)
            break;
        std::vector<Colour> &box = boxes[best];
        std::sort(box.begin(), box.end(), [bestAxis](const Colour &a, const Colour &b) {
            return a.rgb[bestAxis] != b.rgb[bestAxis] ? a.rgb[bestAxis] < b.rgb[bestAxis] : a.index < b.index;
        });
        double total = 0, half = 0;
        for (const Colour &c : box)
            total += c.weight;
        size_t cut = 1;
        for (size_t i = 0; i + 1 < box.size(); ++i) {
            half += box[i].weight;
            cut = i + 1;
            if (half * 2 >= total)
                break;
        }
        std::vector<Colour> upper(box.begin() + long(cut), box.end());
        box.resize(cut);
        boxes.push_back(std::move(upper));
    }
    for (const std::vector<Colour> &box : boxes) {
        double sum[3] = {0, 0, 0}, weight = 0;
        for (const Colour &c : box) {
            double w = c.weight > 0 ? c.weight : 1;
            for (int a = 0; a < 3; ++a)
                sum[a] += c.rgb[a] * w;
            weight += w;
        }
        int slot = int(out.entries.size() / 3);
        for (int a = 0; a < 3; ++a)
            out.entries.push_back(BYTE(sum[a] / weight + 0.5));
        for (const Colour &c : box)
            out.map[c.index] = slot;
    }
}

inline long Distance(const BYTE *a, const double *b) {
    double d = 0;
    for (int k = 0; k < 3; ++k)
        d += (a[k] - b[k]) * (a[k] - b[k]);
    return long(d + 0.5);
}

/* Nearest of the n colours in pal (3 doubles each) to rgb. */
int NearestEntry(const BYTE *rgb, const std::vector<double> &pal, int n) {
    int best = 0;
    long bestDist = -1;
    for (int s = 0; s < n; ++s) {
        long d = Distance(rgb, &pal[3 * size_t(s)]);
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = s;
        }
    }
    return best;
}

/* Lloyd's rounds over the used colours, from the entries the median cut made (slots `first`
 * on); replaces them and the colours' map when that lowers the weighted squared error. */
void Refine(const std::vector<Colour> &colours, int first, TableMap &out) {
    const int n = int(out.entries.size() / 3) - first;
    if (n < 2)
        return;
    std::vector<double> pal(3 * size_t(n));
    for (size_t i = 0; i < pal.size(); ++i)
        pal[i] = out.entries[3 * size_t(first) + i];
    double before = 0;
    for (const Colour &c : colours)
        before += c.weight * double(Distance(c.rgb, &pal[3 * size_t(out.map[c.index] - first)]));
    std::vector<int> nearest(colours.size());
    double previous = 0;
    for (int round = 0; round < 8; ++round) {
        std::vector<double> sum(3 * size_t(n), 0.0), weight(size_t(n), 0.0);
        double sse = 0;
        for (size_t i = 0; i < colours.size(); ++i) {
            const Colour &c = colours[i];
            int k = NearestEntry(c.rgb, pal, n);
            nearest[i] = k;
            sse += c.weight * double(Distance(c.rgb, &pal[3 * size_t(k)]));
            weight[size_t(k)] += c.weight;
            for (int a = 0; a < 3; ++a)
                sum[3 * size_t(k) + a] += c.weight * c.rgb[a];
        }
        if (round > 0 && sse >= previous * (1 - 1e-4))
            break;
        previous = sse;
        for (int k = 0; k < n; ++k)
            if (weight[size_t(k)] > 0)
                for (int a = 0; a < 3; ++a)
                    pal[3 * size_t(k) + a] = sum[3 * size_t(k) + a] / weight[size_t(k)];
    }
    for (double &v : pal)
        v = double(long(v + 0.5));
    double after = 0;
    for (size_t i = 0; i < colours.size(); ++i) {
        nearest[i] = NearestEntry(colours[i].rgb, pal, n);
        after += colours[i].weight * double(Distance(colours[i].rgb, &pal[3 * size_t(nearest[i])]));
    }
    if (after >= before)
        return;
    for (size_t i = 0; i < pal.size(); ++i)
        out.entries[3 * size_t(first) + i] = BYTE(pal[i]);
    for (size_t i = 0; i < colours.size(); ++i)
        out.map[colours[i].index] = first + nearest[i];
}

class CRecolourGif : public CGifFile {
public:
    explicit CRecolourGif(bool refine) : m_refine(refine) {}
    int Reduce(int nColours);

private:
    /* Builds the map of one table (frame -1: the global table). */
    bool MapTable(int frame, const BYTE *rgb, int count, int nColours, TableMap &out);
    bool Remap(CGifFrame *f, const TableMap &t);
    bool m_refine;
};

bool CRecolourGif::MapTable(int frame, const BYTE *rgb, int count, int nColours, TableMap &out) {
    double used[256] = {0};
    bool transparent[256] = {false};
    int i = 0;
    for (CGifFrame *f = m_pFrames; f; f = f->next, ++i) {
        bool mine = frame < 0 ? !f->hasLocalTable : i == frame;
        if (!mine || !f->dib)
            continue;
        dibutil::DibView v;
        if (!v.Open(f->dib) || v.bits > 8)
            return false;
        for (int y = 0; y < v.height; ++y) {
            const BYTE *row = v.pixels + size_t(y) * v.stride;
            for (int x = 0; x < v.width; ++x)
                used[Pixel(v, row, x)] += 1;
        }
        if (f->hasTransparency && f->transparentIndex >= 0 && f->transparentIndex < 256)
            transparent[f->transparentIndex] = true;
    }
    for (int c = 0; c < 256; ++c)
        out.map[c] = 0;
    // Transparent entries first, each a slot of its own.
    int slots = 0;
    for (int c = 0; c < 256; ++c)
        if (transparent[c]) {
            out.map[c] = slots++;
            for (int a = 0; a < 3; ++a)
                out.entries.push_back(c < count ? rgb[3 * c + a] : 0);
        }
    std::vector<Colour> colours;
    for (int c = 0; c < count && c < 256; ++c)
        if (used[c] > 0 && !transparent[c])
            colours.push_back({c, {rgb[3 * c], rgb[3 * c + 1], rgb[3 * c + 2]}, used[c]});
    int room = nColours - slots;
    if (room < 1)
        return false;  // transparency alone would fill the table
    if ((int)colours.size() <= room) {
        for (const Colour &c : colours) {
            out.map[c.index] = int(out.entries.size() / 3);
            out.entries.insert(out.entries.end(), c.rgb, c.rgb + 3);
        }
    } else {
        MedianCut(colours, room, out);
        if (m_refine)
            Refine(colours, slots, out);
    }
    if (out.entries.empty())
        out.entries.assign(3, 0);
    // Entries no pixel uses (the background among them) go to the nearest new entry.
    int made = int(out.entries.size() / 3);
    for (int c = 0; c < count && c < 256; ++c) {
        if (used[c] > 0 || transparent[c])
            continue;
        int best = 0;
        long bestDist = -1;
        for (int s = 0; s < made; ++s) {
            long d = 0;
            for (int a = 0; a < 3; ++a) {
                long e = long(rgb[3 * c + a]) - out.entries[3 * size_t(s) + a];
                d += e * e;
            }
            if (bestDist < 0 || d < bestDist) {
                bestDist = d;
                best = s;
            }
        }
        out.map[c] = best;
    }
    out.bits = gifcodec::ColourBitsForCount(made);
    out.entries.resize(3 * (size_t(1) << out.bits), 0);
    return true;
}

bool CRecolourGif::Remap(CGifFrame *f, const TableMap &t) {
    dibutil::DibView v;
    if (!v.Open(f->dib) || v.bits > 8)
        return false;
    const int entries = 1 << t.bits;
    BYTE *base;
    HGLOBAL h = dibutil::NewBlock(nullptr, sizeof(BITMAPINFOHEADER) + 4 * size_t(entries), v.width, v.height, 8, true,
                                  &base);
    if (!h)
        return false;
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(base);
    bih->biXPelsPerMeter = v.bih->biXPelsPerMeter;
    bih->biYPelsPerMeter = v.bih->biYPelsPerMeter;
    RGBQUAD *pal = reinterpret_cast<RGBQUAD *>(base + sizeof(BITMAPINFOHEADER));
    for (int e = 0; e < entries; ++e) {
        pal[e].rgbRed = t.entries[3 * size_t(e)];
        pal[e].rgbGreen = t.entries[3 * size_t(e) + 1];
        pal[e].rgbBlue = t.entries[3 * size_t(e) + 2];
        pal[e].rgbReserved = 0;
    }
    BYTE *px = base + sizeof(BITMAPINFOHEADER) + 4 * size_t(entries);
    size_t stride = gifcodec::DibStride(size_t(v.width), 8);
    for (int y = 0; y < v.height; ++y) {
        const BYTE *row = v.pixels + size_t(y) * v.stride;
        BYTE *out = px + size_t(y) * stride;
        for (int x = 0; x < v.width; ++x)
            out[x] = BYTE(t.map[Pixel(v, row, x)]);
    }
    v.Close();
    BaseMemUnlock(h);
    f->SetDib(h);
    if (f->hasTransparency && f->transparentIndex >= 0 && f->transparentIndex < 256)
        f->transparentIndex = t.map[f->transparentIndex];
    if (f->hasLocalTable)
        f->localBits = WORD(t.bits);
    return true;
}

int CRecolourGif::Reduce(int nColours) {
    if (!m_pScreen || !m_pFrames)
        return 0;
    // Each table's map is made from the bitmaps as loaded, before any frame changes.
    bool global = m_pScreen->hasGlobalTable && m_pPalette && m_pPalette->entries && m_pPalette->count > 0;
    TableMap globalMap;
    bool anyGlobalFrame = false;
    for (CGifFrame *f = m_pFrames; f; f = f->next)
        anyGlobalFrame = anyGlobalFrame || !f->hasLocalTable;
    if (anyGlobalFrame) {
        if (!global)
            return 0;  // frames that use a table the file lacks: nothing to reduce against
        if (!MapTable(-1, m_pPalette->entries, m_pPalette->count, nColours, globalMap))
            return 0;
    }
    std::vector<TableMap> local;
    int i = 0;
    for (CGifFrame *f = m_pFrames; f; f = f->next, ++i) {
        local.emplace_back();
        if (!f->hasLocalTable)
            continue;
        dibutil::DibView v;
        if (!f->dib || !v.Open(f->dib) || !v.bih->biClrUsed)
            return 0;
        int count = int(v.bih->biClrUsed);
        std::vector<BYTE> rgb(3 * size_t(count));
        const RGBQUAD *pal = reinterpret_cast<const RGBQUAD *>(v.base + sizeof(BITMAPINFOHEADER));
        for (int c = 0; c < count; ++c) {
            rgb[3 * size_t(c)] = pal[c].rgbRed;
            rgb[3 * size_t(c) + 1] = pal[c].rgbGreen;
            rgb[3 * size_t(c) + 2] = pal[c].rgbBlue;
        }
        v.Close();
        if (!MapTable(i, rgb.data(), count, nColours, local.back()))
            return 0;
    }
    i = 0;
    for (CGifFrame *f = m_pFrames; f; f = f->next, ++i)
        if (!Remap(f, f->hasLocalTable ? local[size_t(i)] : globalMap))
            return 0;
    if (anyGlobalFrame) {
        int entries = 1 << globalMap.bits;
        if (entries > m_pPalette->count) {
            BYTE *bigger = static_cast<BYTE *>(calloc(size_t(entries), 3));
            if (!bigger)
                return 0;
            free(m_pPalette->entries);
            m_pPalette->entries = bigger;
        }
        memcpy(m_pPalette->entries, globalMap.entries.data(), 3 * size_t(entries));
        m_pPalette->count = entries;
        m_pScreen->background = BYTE(globalMap.map[m_pScreen->background]);
        m_pScreen->colourBits = WORD(globalMap.bits);
        m_pScreen->colourCount = WORD(entries);
    }
    return 1;
}

}  // namespace

int ReduceGifColours(const char *lpszSrc, int nColours, const char *lpszDest) {
    return ReduceGifColoursEx(lpszSrc, nColours, lpszDest, 0);
}

int ReduceGifColoursEx(const char *lpszSrc, int nColours, const char *lpszDest, DWORD dwFlags) {
    if (!lpszSrc || !lpszDest || nColours < 2 || nColours > 256 || (dwFlags & ~DWORD(GIF_REDUCE_REFINE))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    CRecolourGif gif((dwFlags & GIF_REDUCE_REFINE) != 0);
    SetLastError(ERROR_SUCCESS);
    if (!gif.Load(lpszSrc) || gif.GetFrameCount() == 0) {
        if (GetLastError() == ERROR_SUCCESS)
            SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    if (!gif.Reduce(nColours)) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    return gif.Save(lpszDest);
}
