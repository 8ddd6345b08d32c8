/*
 * The bitmap operations against a small model of each, written from their descriptions
 * independently of the library (a part or a placement starting inside a byte keeps its exact
 * pixel edge): random bitmaps of every depth and sizes 1 to 64, random
 * rectangles (partly or wholly outside the picture too), the whole block compared - header,
 * palette and every stored byte.
 */
#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <vector>

#include "basemem.h"
#include "dib.h"
#include "testkit.h"

namespace {

size_t Stride(int w, int bits) { return ((size_t)w * bits + 31) / 32 * 4; }
size_t RowBytes(int w, int bits) { return ((size_t)w * bits + 7) / 8; }

/* A packed bitmap as plain values: the header and palette bytes, then the stored rows. */
struct Pic {
    BITMAPINFOHEADER bih;
    std::vector<uint8_t> palette;
    std::vector<uint8_t> px;
    size_t stride() const { return Stride(bih.biWidth, bih.biBitCount); }
    uint8_t *row(int stored) { return px.data() + (size_t)stored * stride(); }
    const uint8_t *row(int stored) const { return px.data() + (size_t)stored * stride(); }
    int Get(int col, int stored) const
    {
        const uint8_t *r = row(stored);
        switch (bih.biBitCount) {
        case 8: return r[col];
        case 4: return col % 2 ? r[col / 2] & 15 : r[col / 2] >> 4;
        default: return (r[col / 8] >> (7 - col % 8)) & 1;
        }
    }
    void Set(int col, int stored, int v)
    {
        uint8_t *r = row(stored);
        switch (bih.biBitCount) {
        case 8: r[col] = (uint8_t)v; break;
        case 4: r[col / 2] = col % 2 ? (uint8_t)((r[col / 2] & 0xF0) | v) : (uint8_t)((r[col / 2] & 0x0F) | v << 4); break;
        default: r[col / 8] = (uint8_t)((r[col / 8] & ~(0x80 >> col % 8)) | (v ? 0x80 >> col % 8 : 0)); break;
        }
    }
};

/* The same header and palette at another size, every pixel byte `fill`. */
Pic Resized(const Pic &s, int w, int h, uint8_t fill)
{
    Pic d = s;
    d.bih.biWidth = w;
    d.bih.biHeight = h;
    d.bih.biSizeImage = (DWORD)(Stride(w, s.bih.biBitCount) * h);
    d.px.assign(d.bih.biSizeImage, fill);
    return d;
}

Pic Random(std::mt19937 &rng, int w, int h, int bits)
{
    Pic p;
    memset(&p.bih, 0, sizeof p.bih);
    p.bih.biSize = sizeof p.bih;
    p.bih.biWidth = w;
    p.bih.biHeight = h;
    p.bih.biPlanes = 1;
    p.bih.biBitCount = (WORD)bits;
    p.bih.biClrUsed = bits <= 8 ? 1u << bits : 0;
    p.bih.biXPelsPerMeter = 2835;
    p.bih.biYPelsPerMeter = 3780;
    p.bih.biSizeImage = (DWORD)(Stride(w, bits) * h);
    for (DWORD i = 0; i < p.bih.biClrUsed * 4; ++i)
        p.palette.push_back((uint8_t)rng());
    p.px.assign(p.bih.biSizeImage, 0);
    // Mostly one colour, so that trimming finds edges inside the picture.
    uint8_t base = (uint8_t)rng();
    for (int r = 0; r < h; ++r)
        for (size_t j = 0; j < RowBytes(w, bits); ++j)
            p.row(r)[j] = rng() % 4 ? base : (uint8_t)rng();
    return p;
}

HGLOBAL ToBlock(const Pic &p)
{
    size_t n = sizeof p.bih + p.palette.size() + p.px.size();
    HGLOBAL h = BaseMemAlloc(GMEM_MOVEABLE, (DWORD)n);
    uint8_t *b = (uint8_t *)BaseMemLock(h);
    memcpy(b, &p.bih, sizeof p.bih);
    if (!p.palette.empty())
        memcpy(b + sizeof p.bih, p.palette.data(), p.palette.size());
    memcpy(b + sizeof p.bih + p.palette.size(), p.px.data(), p.px.size());
    BaseMemUnlock(h);
    return h;
}

/* Compares a result block with the model (and frees it); an empty string when they agree. */
std::string Differs(HGLOBAL h, const Pic *want)
{
    if (!want || !h) {
        if (h)
            BaseMemFree(h);
        return (!want && !h) ? "" : want ? "no bitmap, one expected" : "a bitmap, none expected";
    }
    std::vector<uint8_t> got((const uint8_t *)BaseMemLock(h), (const uint8_t *)BaseMemLock(h) + BaseMemSize(h));
    BaseMemUnlock(h);
    BaseMemUnlock(h);
    BaseMemFree(h);
    std::vector<uint8_t> w((const uint8_t *)&want->bih, (const uint8_t *)&want->bih + sizeof want->bih);
    w.insert(w.end(), want->palette.begin(), want->palette.end());
    w.insert(w.end(), want->px.begin(), want->px.end());
    if (got.size() < w.size())
        return "block of " + std::to_string(got.size()) + " bytes, " + std::to_string(w.size()) + " expected";
    for (size_t i = 0; i < w.size(); ++i)
        if (got[i] != w[i])
            return "byte " + std::to_string(i) + " is " + std::to_string(got[i]) + ", " + std::to_string(w[i]) +
                   " expected (header and palette end at " + std::to_string(sizeof want->bih + want->palette.size()) +
                   ", stride " + std::to_string(want->stride()) + ")";
    return "";
}

/* ---- The models ---- */

bool ModelCrop(const Pic &s, int x, int y, int w, int h, Pic *out)
{
    int bits = s.bih.biBitCount;
    if (w <= 0 || h <= 0 || bits == 32)
        return false;
    Pic d = Resized(s, w, h, 0);
    size_t skip = x > 0 ? ((size_t)x * bits + 7) / 8 : 0;
    for (int i = 0; i < h; ++i) {
        int sr = i + (s.bih.biHeight - h - y);
        if (sr < 0 || sr >= s.bih.biHeight)
            continue;
        if (x > 0 && x * bits % 8) {
            // A left edge inside a byte: the part keeps it exactly, pixel by pixel.
            for (int j = 0; j < w; ++j)
                d.Set(j, i, x + j < s.bih.biWidth ? s.Get(x + j, sr) : 0);
            continue;
        }
        for (size_t j = 0; j < RowBytes(w, bits); ++j)
            d.row(i)[j] = j + skip < s.stride() ? s.row(sr)[j + skip] : 0;
    }
    *out = d;
    return true;
}

uint8_t FillByte(int bits, int fill, bool oddOnly)
{
    if (bits == 8)
        return (uint8_t)fill;
    if (bits == 4)
        return (uint8_t)((fill & 15) * 0x11);
    return (oddOnly ? (fill & 1) : fill != 0) ? 0xFF : 0x00;
}

bool ModelPlace(const Pic &s, int x, int y, int W, int H, int fill, Pic *out)
{
    int bits = s.bih.biBitCount, w = s.bih.biWidth, h = s.bih.biHeight;
    if (bits >= 24 || !(w < W || h < H) || x < 0 || y < 0 || x + w > W || y + h > H)
        return false;
    Pic d = Resized(s, W, H, FillByte(bits, fill, true));
    d.bih.biXPelsPerMeter = d.bih.biYPelsPerMeter = 0;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            d.Set(x + c, H - 1 - (y + r), s.Get(c, h - 1 - r));
    *out = d;
    return true;
}

bool ModelResize(const Pic &s, int W, int H, int fill, Pic *out)
{
    int bits = s.bih.biBitCount;
    if (bits >= 24 || W <= 0 || H <= 0)
        return false;
    Pic d = Resized(s, W, H, 0);
    d.bih.biXPelsPerMeter = d.bih.biYPelsPerMeter = 0;
    std::vector<int> cols, rows;
    double acc = 0;
    for (int i = 0; i < W; ++i, acc += double(s.bih.biWidth) / W)
        cols.push_back(std::min((int)(acc + 0.5), (int)s.bih.biWidth - 1));
    acc = 0;
    for (int i = 0; i < H; ++i, acc += double(s.bih.biHeight) / H)
        rows.push_back(std::min((int)(acc + 0.5), (int)s.bih.biHeight - 1));
    for (int r = 0; r < H; ++r) {
        for (int c = 0; c < W; ++c)
            d.Set(c, r, s.Get(cols[c], rows[r]));
        for (size_t j = RowBytes(W, bits); j < d.stride(); ++j)
            d.row(r)[j] = FillByte(bits, fill, false);
    }
    *out = d;
    return true;
}

bool ModelTrim(const Pic &s, int bg, int box[4], Pic *out)
{
    int bits = s.bih.biBitCount, w = s.bih.biWidth, h = s.bih.biHeight;
    if (bits >= 24)
        return false;
    uint8_t b = FillByte(bits, bg, false);
    int per = 8 / bits;
    size_t n = RowBytes(w, bits);
    auto rowInk = [&](int r) {
        for (size_t j = 0; j + 1 < n; ++j)
            if (s.row(r)[j] != b)
                return true;
        return false;
    };
    auto colInk = [&](int c) {
        for (int r = 0; r < h; ++r)
            if (s.row(r)[c] != b)
                return true;
        return false;
    };
    int &left = box[0], &top = box[1], &right = box[2], &bottom = box[3];
    for (int r = 0; r < h; ++r)
        if (rowInk(r)) {
            bottom = h - r;
            break;
        }
    for (int t = 0; t < h; ++t)
        if (rowInk(h - 1 - t)) {
            top = t;
            break;
        }
    for (int c = 0; c < (int)n; ++c)
        if (colInk(c)) {
            left = c * per;
            break;
        }
    for (int c = w / per - 1, step = 0; c >= 0; --c, ++step)
        if (colInk(c)) {
            right = w - step * per;
            break;
        }
    return ModelCrop(s, left, top, right - left, bottom - top, out);
}

class DibModel : public ::testing::Test {
protected:
    void SetUp() override { BaseMemInit(); }
    std::mt19937 rng{20260607};
    int Any(int lo, int hi) { return lo + (int)(rng() % (unsigned)(hi - lo + 1)); }
};

/* Every depth a bitmap may have: only cropping takes 24 bits, and nothing 32. */
const int kDepths[] = {1, 4, 8, 24, 32};

TEST_F(DibModel, CropEveryDepthInsideAndPastTheEdges)
{
    for (int round = 0; round < 500; ++round) {
        int bits = kDepths[round % 5];
        Pic s = Random(rng, Any(1, 64), Any(1, 64), bits);
        int x = Any(-8, s.bih.biWidth + 8), y = Any(-8, s.bih.biHeight + 8);
        int w = Any(round % 37 ? 1 : -1, 70), h = Any(1, 70);
        HGLOBAL src = ToBlock(s);
        Pic want;
        bool made = ModelCrop(s, x, y, w, h, &want);
        std::string why = Differs(CropDib(src, x, y, w, h), made ? &want : nullptr);
        ASSERT_EQ(why, "") << bits << "-bit " << s.bih.biWidth << "x" << s.bih.biHeight << ", crop " << w << "x"
                           << h << " at " << x << "," << y;
        BaseMemFree(src);
    }
}

TEST_F(DibModel, PlaceOnCanvasAtAnyOffset)
{
    for (int round = 0; round < 500; ++round) {
        int bits = kDepths[round % 5];
        Pic s = Random(rng, Any(1, 40), Any(1, 40), bits);
        int W = Any(1, 64), H = Any(1, 64);
        int x = Any(-3, W), y = Any(-3, H), fill = Any(0, 255);
        HGLOBAL src = ToBlock(s);
        Pic want;
        bool made = ModelPlace(s, x, y, W, H, fill, &want);
        std::string why = Differs(PlaceDibOnCanvas(src, x, y, W, H, fill), made ? &want : nullptr);
        ASSERT_EQ(why, "") << bits << "-bit " << s.bih.biWidth << "x" << s.bih.biHeight << " at " << x << "," << y
                           << " on " << W << "x" << H << " fill " << fill;
        BaseMemFree(src);
    }
}

TEST_F(DibModel, ResizeNearestAnyWidthAndHeight)
{
    for (int round = 0; round < 500; ++round) {
        int bits = kDepths[round % 5];
        Pic s = Random(rng, Any(1, 64), Any(1, 64), bits);
        int W = Any(1, 64), H = Any(1, 64), fill = Any(0, 255);
        HGLOBAL src = ToBlock(s);
        Pic want;
        bool made = ModelResize(s, W, H, fill, &want);
        std::string why = Differs(ResizeDibNearest(src, W, H, fill), made ? &want : nullptr);
        ASSERT_EQ(why, "") << bits << "-bit " << s.bih.biWidth << "x" << s.bih.biHeight << " to " << W << "x" << H;
        BaseMemFree(src);
    }
}

TEST_F(DibModel, TrimToTheBoxOfForeground)
{
    for (int round = 0; round < 500; ++round) {
        int bits = kDepths[round % 5];
        int w = round % 43 == 0 ? 1 : Any(1, 64), h = Any(1, 64);
        Pic s = Random(rng, w, h, bits);
        int bg = bits == 8 ? s.row(0)[0] : bits == 4 ? s.row(0)[0] >> 4 : s.row(0)[0] >> 7;
        if (round % 7 == 0)  // all background
            for (int r = 0; r < h; ++r)
                memset(s.row(r), FillByte(bits, bg, false), RowBytes(w, bits));
        HGLOBAL src = ToBlock(s);
        int box[4] = {0, 0, 0, 0}, got[4] = {0, 0, 0, 0};
        Pic want;
        bool made = ModelTrim(s, bg, box, &want);
        std::string why = Differs(TrimDib(src, &got[0], &got[1], &got[2], &got[3], bg), made ? &want : nullptr);
        ASSERT_EQ(why, "") << bits << "-bit " << w << "x" << h << " background " << bg;
        ASSERT_EQ(std::vector<int>(got, got + 4), std::vector<int>(box, box + 4)) << bits << "-bit " << w << "x" << h;
        BaseMemFree(src);
    }
}

TEST_F(DibModel, CoverAtScaleOneCropsTheCentre)
{
    // 10 x 3 over a 4 x 4 rectangle: not larger in both directions, so no scaling; the centred
    // 4 x 3 part (columns 3 to 6) is what remains.
    Pic s = Random(rng, 10, 3, 24);
    HGLOBAL h = ToBlock(s);
    RECT rc = {5, 5, 9, 9};
    CoverDibToRect(&h, &rc);
    Pic want;
    ASSERT_TRUE(ModelCrop(s, 3, 0, 4, 3, &want));
    EXPECT_EQ("", Differs(h, &want));
    HGLOBAL none = nullptr;
    CoverDibToRect(&none, &rc);
    EXPECT_EQ(none, nullptr);
}

}  // namespace
