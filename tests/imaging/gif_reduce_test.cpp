/*
 * Colour reduction: the median-cut palette, its grey fill, the inverse map, and the three ways
 * of mapping pixels (plain, ordered dithering, error diffusion), at both histogram precisions.
 */
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <ostream>
#include <vector>

#include "basemem.h"
#include "gif.h"
#include "gif_bytes.h"
#include "pixkit.h"

namespace {

using namespace giftest;

struct Rgb {
    int r, g, b;
};

/* A 24-bit bitmap from colours given row by row from the top. */
HGLOBAL TrueColour(int w, int h, const std::vector<Rgb> &px) {
    std::vector<int> v;
    for (const Rgb &c : px)
        v.push_back(c.r << 16 | c.g << 8 | c.b);
    HGLOBAL hDib = MakeDib(w, h, 24, 0, v);
    static_cast<BITMAPINFOHEADER *>(BaseMemLock(hDib))->biXPelsPerMeter = 2835;
    BaseMemUnlock(hDib);
    return hDib;
}

/* A reduced bitmap, freed on exit. */
struct Reduced {
    HGLOBAL h;
    HGLOBAL src;
    Reduced(HGLOBAL source, int mode, int reserve = 0) : h(ReduceToPalette(source, mode, reserve)), src(source) {}
    ~Reduced() {
        if (!IsReduceFailure(h) && h != src)
            BaseMemFree(h);
        BaseMemFree(src);
    }
    bool ok() const { return !IsReduceFailure(h) && h != src; }
};

Rgb PaletteAt(const Frame &f, int i) {
    const RGBQUAD *q = reinterpret_cast<const RGBQUAD *>(f.p + 40);
    return {q[i].rgbRed, q[i].rgbGreen, q[i].rgbBlue};
}

bool operator==(const Rgb &a, const Rgb &b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
std::ostream &operator<<(std::ostream &o, const Rgb &c) { return o << "(" << c.r << "," << c.g << "," << c.b << ")"; }

/* Five colours that sit on the values their 5-bit cells stand for, in distinct cells, with
 * counts 12, 8, 6, 4 and 2. */
const Rgb kFive[5] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {132, 66, 33}, {33, 132, 66}};

std::vector<Rgb> FiveColourPixels() {
    std::vector<Rgb> px;
    const int counts[5] = {12, 8, 6, 4, 2};
    for (int c = 0; c < 5; ++c)
        for (int k = 0; k < counts[c]; ++k)
            px.push_back(kFive[c]);
    // Interleave so that no colour sits in one block of the picture.
    std::vector<Rgb> mixed;
    for (size_t i = 0; i < px.size(); ++i)
        mixed.push_back(px[(i * 7) % px.size()]);
    return mixed;
}

TEST(GifReduce, FewColoursKeepTheirValuesAndTheRestIsOneGrey) {
    // At 5 bits (modes 1 to 3) the colours keep their values; at 6 bits (mode 101) a box's
    // colour is what its cells' levels l stand for, 4 l + l / 8.
    auto six = [](int v) { return std::min(255, (v >> 2 << 2) + (v >> 5)); };
    std::vector<Rgb> px = FiveColourPixels();
    for (int mode : {1, 2, 3, 101}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        auto want = [&](const Rgb &c) { return mode < 100 ? c : Rgb{six(c.r), six(c.g), six(c.b)}; };
        Reduced r(TrueColour(8, 4, px), mode);
        ASSERT_TRUE(r.ok());
        Frame f(r.h);
        EXPECT_EQ(8, f.bih()->biBitCount);
        EXPECT_EQ(256u, f.bih()->biClrUsed);
        EXPECT_EQ(2835, f.bih()->biXPelsPerMeter);
        EXPECT_EQ(f.stride() * 4, f.bih()->biSizeImage);
        // Palette indices follow the boxes' pixel counts.
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(want(kFive[i]), PaletteAt(f, i)) << "entry " << i;
        // Reds in use are 0, 33, 132 (136) and 255: the fill is (1, 1, 1).
        for (int i = 5; i < 256; ++i)
            ASSERT_EQ((Rgb{1, 1, 1}), PaletteAt(f, i)) << i;
        // Exact colours: no dithering changes a pixel.
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(want(px[size_t(i)]), PaletteAt(f, f.pixel(i % 8, i / 8))) << "pixel " << i;
    }
}

/* 5-bit histogram planes holding `cells` (red, green, blue level, count). */
struct Planes {
    std::vector<std::vector<DWORD>> planes = std::vector<std::vector<DWORD>>(32, std::vector<DWORD>(1024, 0));
    DWORD *p[32];
    explicit Planes(std::initializer_list<std::array<int, 4>> cells) {
        for (const auto &c : cells)
            planes[size_t(c[0])][size_t(c[1] << 5 | c[2])] = DWORD(c[3]);
    }
    DWORD **pp() {
        for (int i = 0; i < 32; ++i)
            p[i] = planes[size_t(i)].data();
        return p;
    }
};

TEST(GifReduce, UniformPictureIsOneBox) {
    std::vector<Rgb> px(16 * 16, Rgb{100, 150, 200});
    Reduced r(TrueColour(16, 16, px), 2);
    ASSERT_TRUE(r.ok());
    Frame f(r.h);
    // Levels 12, 18, 25 stand for 12*8+3, 18*8+4, 25*8+6.
    EXPECT_EQ((Rgb{99, 148, 206}), PaletteAt(f, 0));
    for (int i = 1; i < 256; ++i)
        ASSERT_EQ((Rgb{0, 0, 0}), PaletteAt(f, i)) << i;
    EXPECT_EQ(std::vector<int>(256, 0), Pixels(r.h));
}

TEST(GifReduce, SplitBoxTakesTheLargestScoreAndCutsAtTheMedian) {
    // Box 0 spans 0..7 on each axis, box 1 red 8..11 at green and blue 8.  The score is
    // (sum of widths - 3) x count; the cut is on the widest axis (red first), where the running
    // count reaches half the box's, rounded up.
    struct Case {
        const char *what;
        Planes planes;
        DWORD count0, count1;
        int chosen;
        std::array<int, 3> hi, lo;  // the chosen box's new upper bounds, the new box's lower ones
        DWORD kept, moved;
    } cases[] = {
        {"box 1: 3 x 40 over 21 x 2", Planes({{0, 0, 0, 1}, {7, 7, 7, 1}, {8, 8, 8, 10}, {9, 8, 8, 10}, {10, 8, 8, 10}, {11, 8, 8, 10}}),
         2, 40, 1, {10, 9, 9}, {10, 8, 8}, 20, 20},
        {"box 0: 21 x 9 over 3 x 50, half of 9 is 5", Planes({{0, 0, 0, 4}, {7, 7, 7, 5}, {8, 8, 8, 20}, {9, 8, 8, 30}}),
         9, 50, 0, {7, 8, 8}, {7, 0, 0}, 4, 5},
    };
    for (Case &c : cases) {
        MEDIANCUTBOX boxes[4] = {};
        boxes[0] = MEDIANCUTBOX{{0, 0, 0}, {8, 8, 8}, MEDIANCUT_SPLITTABLE, c.count0};
        boxes[1] = MEDIANCUTBOX{{8, 8, 8}, {12, 9, 9}, MEDIANCUT_SPLITTABLE, c.count1};
        ASSERT_EQ(3, SplitBox(boxes, 2, c.planes.pp(), 5)) << c.what;
        const MEDIANCUTBOX &k = boxes[c.chosen], &n = boxes[2];
        EXPECT_EQ(c.hi, (std::array<int, 3>{k.hi[0], k.hi[1], k.hi[2]})) << c.what;
        EXPECT_EQ(c.lo, (std::array<int, 3>{n.lo[0], n.lo[1], n.lo[2]})) << c.what;
        EXPECT_EQ(c.kept, k.count) << c.what;
        EXPECT_EQ(c.moved, n.count) << c.what;
    }
    // Nothing splittable: count + 10000.
    Planes empty({});
    MEDIANCUTBOX single[2] = {};
    single[0] = MEDIANCUTBOX{{3, 3, 3}, {4, 4, 4}, MEDIANCUT_SPLITTABLE, 5};
    EXPECT_EQ(1 + MEDIANCUT_NO_SPLIT, SplitBox(single, 1, empty.pp(), 5));
    // One box of two cells, red 1 (one pixel) and 2 (two): its colour is taken at the first
    // level after the running count reaches half the box's, rounded down: red 2.  The header
    // counts the boxes made.
    Planes two({{1, 0, 0, 1}, {2, 0, 0, 2}});
    std::vector<BYTE> head(40 + 1024, 0xCC);
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(head.data());
    BYTE red[256], green[256], blue[256];
    BuildMedianCutPalette(two.pp(), bih, red, green, blue, 32, 3, 5, 1);
    EXPECT_EQ(2 << 3, red[0]);
    EXPECT_EQ(1u, bih->biClrUsed);
}

TEST(GifReduce, PaletteOrderAndPadding) {
    const Rgb R{255, 0, 0}, G{0, 255, 0}, B{0, 0, 255};
    struct Case {
        const char *what;
        std::vector<Rgb> px, entries;  // the pixels; the palette's first entries
        Rgb fill;                      // every later entry
    } cases[] = {
        {"the last entry's red is 0", {R, R, R, G}, {R, G}, {1, 1, 1}},
        {"boxes as full: the earlier first", {R, B, R, B}, {B, R}, {1, 1, 1}},
    };
    for (const Case &c : cases) {
        Reduced r(TrueColour(int(c.px.size()), 1, c.px), 1);
        ASSERT_TRUE(r.ok()) << c.what;
        Frame f(r.h);
        for (size_t i = 0; i < 256; ++i)
            ASSERT_EQ(i < c.entries.size() ? c.entries[i] : c.fill, PaletteAt(f, int(i))) << c.what << " entry " << i;
    }
}

TEST(GifReduce, ErrorDiffusionFollowsItsKernel) {
    // Greys of cells 12 and 13 only (palette {99, 107}, cell 12 holding more pixels), spread
    // so that every weight and offset of the rule shows.  The expected indices come from the
    // rule itself, worked on one channel (the picture is grey):
    //   v' = v + (7 run + b[x] + 5 b[x+1] + 3 b[x+2]) / 16, truncated, clamped;
    //   the candidate of v' is taken when within e + 16 of v, else the plain one and v' = v;
    //   then b[x+1] = run and run = v' - the chosen palette value.
    const int W = 16, H = 6;
    auto grey = [](int x, int stored) { return 96 + ((x * 11 + stored * 7 + x * stored) % 16); };
    std::vector<Rgb> px;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int v = grey(x, H - 1 - y);
            px.push_back({v, v, v});
        }
    Reduced r(TrueColour(W, H, px), 2);
    ASSERT_TRUE(r.ok());
    Frame f(r.h);
    ASSERT_EQ((Rgb{99, 99, 99}), PaletteAt(f, 0));
    ASSERT_EQ((Rgb{107, 107, 107}), PaletteAt(f, 1));
    const int pal[2] = {99, 107};
    auto index = [](int v) { return (v >> 3) == 13 ? 1 : 0; };  // cells without a box: 0
    std::vector<int> b(W + 2, 0);
    for (int stored = 0; stored < H; ++stored) {
        int run = 0;
        for (int x = 0; x < W; ++x) {
            int v = grey(x, stored);
            int c0 = index(v), e = abs(v - pal[c0]);
            int w = v + (7 * run + b[size_t(x)] + 5 * b[size_t(x) + 1] + 3 * b[size_t(x) + 2]) / 16;
            w = w < 0 ? 0 : w > 255 ? 255 : w;
            int c1 = index(w), chosen = c1;
            if (!(abs(v - pal[c1]) < e + 16)) {
                chosen = c0;
                w = v;
            }
            EXPECT_EQ(chosen, f.pixel(x, H - 1 - stored)) << x << "," << stored;
            b[size_t(x) + 1] = run;
            run = w - pal[chosen];
        }
    }
}

TEST(GifReduce, OrderedDitheringFollowsTheMatrix) {
    static const int M[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
        {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
    };
    // Palette {99, 107} (the values of cells 12 and 13), and eight rows of 103 at the bottom,
    // which cell 12 holds: plain mapping would make them all 99; a pixel becomes 107 exactly where
    // 103 + (M - 31) / 2 falls in cell 13 (104..111), that is where 33 <= M < 49; cells
    // below and above hold no box and map to index 0, whose 99 is near enough to 103.
    std::vector<Rgb> px;
    for (int v : {99, 107, 103})
        px.insert(px.end(), 64, Rgb{v, v, v});
    Reduced r(TrueColour(8, 24, px), 3);
    ASSERT_TRUE(r.ok());
    Frame f(r.h);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            int stored = y;  // image row 23 - y
            EXPECT_EQ(M[stored][x] >= 33 && M[stored][x] < 49 ? 1 : 0, f.pixel(x, 23 - y)) << x << "," << y;
        }
}

TEST(GifReduce, OrderedDitheringOfWhiteKeepsThePlainCandidate) {
    std::vector<Rgb> px;
    for (int i = 0; i < 64; ++i) {
        int k = i % 4;
        px.push_back(k == 0 ? Rgb{255, 255, 255} : k == 1 ? Rgb{250, 250, 250} : k == 2 ? Rgb{128, 30, 200} : Rgb{5, 5, 5});
    }
    for (int base : {1, 101}) {
        Reduced plain(TrueColour(8, 8, px), base);
        Reduced dithered(TrueColour(8, 8, px), base + 2);
        ASSERT_TRUE(plain.ok() && dithered.ok());
        Frame a(plain.h), b(dithered.h);
        for (int i = 0; i < 64; i += 4)
            EXPECT_EQ(a.pixel(i % 8, i / 8), b.pixel(i % 8, i / 8)) << "mode " << base + 2 << " pixel " << i;
    }
}

TEST(GifReduce, ReserveLeavesTheLastEntryUnused) {
    // 1024 cells, all of red 0: more than 256 boxes' worth, every entry's red 0.
    std::vector<Rgb> px;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            px.push_back({0, y * 8, x * 8});
    for (int reserve : {0, 1}) {
        Reduced r(TrueColour(32, 32, px), 1, reserve);
        ASSERT_TRUE(r.ok());
        Frame f(r.h);
        std::vector<int> indices = Pixels(r.h);
        int highest = *std::max_element(indices.begin(), indices.end());
        if (reserve) {
            EXPECT_LT(highest, 255);
            // Entry 255 is the padding grey: the least value that is no red of entries 0..254.
            std::vector<bool> used(256, false);
            for (int i = 0; i < 255; ++i)
                used[size_t(PaletteAt(f, i).r)] = true;
            int v = 0;
            while (v < 255 && used[size_t(v)])
                ++v;
            EXPECT_EQ((Rgb{v, v, v}), PaletteAt(f, 255));
        } else {
            EXPECT_EQ(255, highest);
        }
    }
}

/* Two pictures of 320 x 200 for the quality of the refined mode: photo-like (gradients, soft
 * discs, grain) and screen-like (flat panels, dark text strokes, hard-edged discs). */
std::vector<Rgb> QualityPicture(bool photo) {
    std::vector<Rgb> px;
    uint32_t v = 7;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            v = v * 1103515245u + 12345u;
            int grain = int((v >> 16) % 17) - 8;
            auto c = [](int n) { return n < 0 ? 0 : n > 255 ? 255 : n; };
            if (photo) {
                int dx = x - 120, dy = y - 90;
                bool disc = dx * dx + dy * dy < 60 * 60;
                px.push_back({c((disc ? 220 : x * 255 / 320) + grain), c((disc ? 90 + dy : y * 255 / 200) + grain),
                              c((x + y) * 255 / 520 / 2 + 60 + grain)});
            } else {
                int dx = x % 80 - 40, dy = y % 50 - 25;
                int panel = (x / 80 + y / 50) % 4;
                Rgb flat[4] = {{236, 236, 236}, {255, 255, 255}, {30 + y / 4, 60 + y / 2, 140 + y / 4}, {245, 245, 250}};
                Rgb p = flat[panel];
                if (dx * dx + dy * dy < 15 * 15)
                    p = {(x / 80) * 40 % 256, (y / 50) * 50 % 256, 200 - (x / 80) * 20};
                if (y % 50 > 42 && (x * 7 + y) % 5 < 2)
                    p = {20, 20, 20};
                px.push_back(p);
            }
        }
    return px;
}

double Psnr(const std::vector<Rgb> &px, const Frame &f) {
    double sq = 0;
    for (size_t i = 0; i < px.size(); ++i) {
        Rgb q = PaletteAt(f, f.pixel(int(i % 320), int(i / 320)));
        sq += double((px[i].r - q.r) * (px[i].r - q.r) + (px[i].g - q.g) * (px[i].g - q.g) +
                     (px[i].b - q.b) * (px[i].b - q.b));
    }
    return 10 * log10(255.0 * 255.0 / (sq / (3.0 * double(px.size()))));
}

/* Root mean square of the difference of the 8 x 8 blocks' mean colours: what diffusion keeps. */
double BlockError(const std::vector<Rgb> &px, const Frame &f) {
    double sq = 0;
    int blocks = 0;
    for (int by = 0; by < 200; by += 8)
        for (int bx = 0; bx < 320; bx += 8, ++blocks) {
            double d[3] = {0, 0, 0};
            for (int y = by; y < by + 8; ++y)
                for (int x = bx; x < bx + 8; ++x) {
                    const Rgb &a = px[size_t(y) * 320 + x];
                    Rgb q = PaletteAt(f, f.pixel(x, y));
                    d[0] += a.r - q.r;
                    d[1] += a.g - q.g;
                    d[2] += a.b - q.b;
                }
            for (double v : d)
                sq += (v / 64) * (v / 64);
        }
    return sqrt(sq / (3.0 * blocks));
}

TEST(GifReduce, RefinedModeComesCloserToTheOriginal) {
    // PSNR in dB: the refined mode reaches `floor`, and passes the median cut of the same
    // mapping by `gain`.
    struct Case {
        bool photo;
        int mode;
        double floor, gain;
    } cases[] = {{true, 1, 35.0, 5.5}, {true, 2, 33.0, 3.0}, {false, 1, 50.5, 10.0}, {false, 2, 48.5, 10.0}};
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << (k.photo ? "photo" : "screen") << " mode " << k.mode);
        std::vector<Rgb> px = QualityPicture(k.photo);
        Reduced plain(TrueColour(320, 200, px), k.mode), refined(TrueColour(320, 200, px), k.mode | GIF_REDUCE_REFINE);
        ASSERT_TRUE(plain.ok());
        ASSERT_TRUE(refined.ok());
        Frame a(plain.h), b(refined.h);
        EXPECT_EQ(256u, b.bih()->biClrUsed);
        double before = Psnr(px, a), after = Psnr(px, b);
        EXPECT_GE(after, k.floor) << "median cut " << before;
        EXPECT_GE(after - before, k.gain) << before << " -> " << after;
        if (k.mode == 2) {
            // Diffusion keeps the local mean colour better than plain mapping does.
            Reduced flat(TrueColour(320, 200, px), 1 | GIF_REDUCE_REFINE);
            Frame c(flat.h);
            EXPECT_LT(BlockError(px, b), 0.7 * BlockError(px, c)) << BlockError(px, c);
        }
    }
}

TEST(GifReduce, OtherDepthsAndBadBlocks) {
    // An 8-bit bitmap comes back as it is; 4-bit and 1-bit ones are refused.
    for (int bits : {8, 4, 1}) {
        HGLOBAL dib = MakeDib(4, 4, bits, 1 << bits, Pattern(4, 4, 1 << bits));
        EXPECT_EQ(bits == 8 ? dib : GIF_REDUCE_BAD_DEPTH, ReduceToPalette(dib, 2, 0)) << bits;
        BaseMemFree(dib);
    }
    EXPECT_EQ(GIF_REDUCE_NO_BLOCK, ReduceToPalette(nullptr, 2, 0));
    // A 24-bit header on a block too small for its rows.
    HGLOBAL cut = BaseMemAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + 10);
    *static_cast<BITMAPINFOHEADER *>(BaseMemLock(cut)) = testkit::InfoHeader(100, 100, 24);
    BaseMemUnlock(cut);
    EXPECT_EQ(GIF_REDUCE_BAD_DEPTH, ReduceToPalette(cut, 2, 0));
    BaseMemFree(cut);
}

}  // namespace

TEST(GifReduce, RowPaddingIsZero) {
    for (int w : {1, 2, 3, 5, 6, 7})
        for (int mode : {1, 2, 3}) {
            std::vector<Rgb> px;
            for (int i = 0; i < 3 * w; ++i)
                px.push_back({(i * 70) & 255, (i * 30) & 255, 255 - i});
            Reduced r(TrueColour(w, 3, px), mode);
            ASSERT_TRUE(r.ok()) << w;
            Frame f(r.h);
            for (int y = 0; y < 3; ++y)
                for (size_t x = size_t(w); x < f.stride(); ++x)
                    EXPECT_EQ(0, f.row(y)[x]) << "width " << w << " mode " << mode << " row " << y << " byte " << x;
        }
}
