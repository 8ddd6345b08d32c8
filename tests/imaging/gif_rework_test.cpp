/*
 * Whole animations: ResizeGif and CropGif, their screen arithmetic, frame positions and
 * trimming, the frames a crop drops, and the cases that write nothing.
 */
#include <gtest/gtest.h>
#include <limits.h>

#include <string>
#include <vector>

#include "basemem.h"
#include "gif.h"
#include "gif_bytes.h"
#include "testkit.h"

namespace {

using namespace giftest;

/* A frame as written: place, size, delay, disposal, transparent index (-1: none). */
typedef std::vector<int> Placed;

class GifRework : public GifFiles {
protected:
    /* The screen (as a frame at 0, 0 with no delay), then every frame. */
    std::vector<Placed> Frames(const std::string &path) {
        CGifFile gif;
        EXPECT_EQ(1, gif.Load(path.c_str()));
        int w = 0, h = 0;
        gif.GetScreenSize(&w, &h);
        std::vector<Placed> out{{0, 0, w, h, 0, 0, -1}};
        for (int i = 0; i < gif.GetFrameCount(); ++i) {
            GIFFRAMEINFO f;
            gif.GetFrameInfo(i, &f);
            out.push_back({f.left, f.top, f.width, f.height, f.delay, f.disposal,
                           f.hasTransparency ? f.transparentIndex : -1});
        }
        return out;
    }
};

/* One full-screen frame of W x H with a 256-colour table. */
Bytes Plain(int W, int H) { return Still(W, H, 8, Pattern(W, H, 256), 8); }

TEST_F(GifRework, ResizeScreenArithmetic) {
    struct Case {
        int W, H, bw, bh, w, h;
    } cases[] = {
        {334, 100, 100, 10, 33, 10},    // W / ratio - 0.4 = 33.0, rounded up
        {669, 200, 100, 10, 34, 10},    // 33.05: just above a whole number
        {667, 200, 100, 10, 33, 10},    // 32.95: just below
        {100, 301, 50, 100, 33, 100},   // height-limited, ceil(33.2 - 0.4)
        {300, 100, 100, 100, 100, 34},  // width-limited: the height 33.3 rounds up
        {1, 1000, 10, 10, 1, 10},       // never narrower than one pixel
    };
    for (const Case &c : cases) {
        std::string in = Write(Plain(c.W, c.H));
        std::string out = dir.file("out.gif");
        ASSERT_EQ(1, ResizeGif(in.c_str(), c.bw, c.bh, out.c_str())) << c.W << "x" << c.H;
        EXPECT_EQ((std::vector<Placed>{{0, 0, c.w, c.h, 0, 0, -1}, {0, 0, c.w, c.h, 0, 0, -1}}), Frames(out))
            << c.W << "x" << c.H;
    }
}

TEST_F(GifRework, ResizedFramesAreTrimmedAndPlaced) {
    // A 200 x 100 animation: a full frame, a 40 x 30 frame at (10, 20) transparent on index 0,
    // and a frame that is transparent all over.
    Bytes b = Header(200, 100, 8);
    Gce(b, 5, 1, -1);
    Image(b, 0, 0, 200, 100, Pattern(200, 100, 256), 8);
    Gce(b, 7, 2, 0);
    std::vector<int> inner(40 * 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            inner[size_t(y) * 40 + x] = 1 + ((x / 2 + y / 2) % 200);
    Image(b, 10, 20, 40, 30, inner, 8);
    Gce(b, 9, 3, 17);
    Image(b, 50, 50, 20, 20, std::vector<int>(400, 17), 8);
    b.push_back(0x3B);
    std::string in = Write(b);
    std::string out = dir.file("small.gif");
    ASSERT_EQ(1, ResizeGif(in.c_str(), 100, 100, out.c_str()));
    // Half size: the inner frame lands at (5, 10), 20 x 15; the fully transparent one stays
    // untrimmed, at (0, 0), the whole new screen.
    EXPECT_EQ((std::vector<Placed>{{0, 0, 100, 50, 0, 0, -1}, {0, 0, 100, 50, 5, 1, -1}, {5, 10, 20, 15, 7, 2, 0},
                                   {0, 0, 100, 50, 9, 3, 17}}),
              Frames(out));
    // Rows are picked over the stored (bottom-up) order, so new row y shows source row 2y + 1;
    // columns 2x.
    CGifFile gif;
    ASSERT_EQ(1, gif.Load(out.c_str()));
    Frame fr(gif.GetFrameDib(1));
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(inner[size_t(2 * y + 1) * 40 + 2 * x], fr.pixel(x, y)) << x << "," << y;
}

TEST_F(GifRework, SmallFramesKeepTheirPlace) {
    // 64 x 40, 1-bit: a 16 x 8 frame of index 1 at (8, 8), halved: it covers columns 4..11 and
    // rows 4..7 of the new screen.  Opaque, it is cut to exactly those pixels.  Transparent on
    // index 0, it is trimmed in whole bytes of 8 pixels: from the left byte that holds it (0)
    // to the right edge that the scan from byte 3 down finds (16).
    for (int transparent : {-1, 0}) {
        Bytes b = Header(64, 40, 1);
        Image(b, 0, 0, 64, 40, std::vector<int>(64 * 40, 0), 2);
        Gce(b, 0, 1, transparent);
        Image(b, 8, 8, 16, 8, std::vector<int>(16 * 8, 1), 2);
        b.push_back(0x3B);
        std::string in = Write(b);
        std::string out = dir.file("mono.gif");
        ASSERT_EQ(1, ResizeGif(in.c_str(), 32, 20, out.c_str()));
        CGifFile gif;
        ASSERT_EQ(1, gif.Load(out.c_str()));
        ASSERT_EQ(2, gif.GetFrameCount());
        int l, t, w, h;
        ASSERT_EQ(1, gif.GetFrameRect(1, &l, &t, &w, &h));
        const int left = transparent < 0 ? 4 : 0;
        EXPECT_EQ(left, l) << transparent;
        EXPECT_EQ(4, t) << transparent;
        EXPECT_EQ(transparent < 0 ? 8 : 16, w) << transparent;
        EXPECT_EQ(4, h) << transparent;
        Frame f(gif.GetFrameDib(1));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_EQ(x + left >= 4 && x + left < 12 ? 1 : 0, f.pixel(x, y)) << x << "," << y;
    }
}

TEST_F(GifRework, SecondFrameAfterResize) {
    struct Case {
        const char *what;
        int W, H, bw, bh;      // screen and box
        int l, t, w, h, t_ix;  // the second frame, of index 1 (opaque: of index 0), transparent on t_ix
        int nl, nt, nw, nh;    // where it lands
    } cases[] = {
        // Opaque, drawn in the canvas index: it stays exactly the pixels sampled from it; by
        // 1.5, column i samples source column round(1.5 i), rows are taken bottom-up.
        {"opaque, by 1.5", 90, 60, 60, 60, 32, 20, 18, 10, -1, 21, 13, 12, 7},
        // Reaching past the screen: only its visible 10 x 10 counts.
        {"past the screen", 100, 60, 50, 50, 90, 50, 20, 20, 0, 45, 25, 5, 5},
    };
    for (const Case &c : cases) {
        Bytes b = Header(c.W, c.H, 8);
        Image(b, 0, 0, c.W, c.H, Pattern(c.W, c.H, 256), 8);
        Gce(b, 4, 1, c.t_ix);
        Image(b, c.l, c.t, c.w, c.h, std::vector<int>(size_t(c.w * c.h), c.t_ix < 0 ? 0 : 1), 8, c.t_ix < 0 ? 8 : 0);
        b.push_back(0x3B);
        std::string in = Write(b), out = dir.file("out.gif");
        ASSERT_EQ(1, ResizeGif(in.c_str(), c.bw, c.bh, out.c_str())) << c.what;
        EXPECT_EQ((Placed{c.nl, c.nt, c.nw, c.nh, 4, 1, c.t_ix}), Frames(out).at(2)) << c.what;
    }
}

TEST_F(GifRework, CropDropsTheFramesOutsideAndMovesTheOthers) {
    Bytes b = Header(100, 80, 8);
    Gce(b, 1, 1, -1);
    Image(b, 10, 20, 40, 30, Pattern(40, 30, 256), 8);  // meets the rectangle
    Gce(b, 2, 2, -1);
    Image(b, 0, 0, 10, 10, Pattern(10, 10, 256), 8);  // outside
    Gce(b, 3, 3, 4);
    Image(b, 60, 60, 10, 10, Pattern(10, 10, 255), 8);  // inside
    Gce(b, 5, 1, -1);
    Image(b, 60, 60, 20, 20, Pattern(20, 20, 256), 8);  // across the right and bottom edges
    b.push_back(0x3B);
    std::string in = Write(b);
    std::string out = dir.file("crop.gif");
    ASSERT_EQ(1, CropGif(in.c_str(), 20, 25, 50, 50, out.c_str()));
    // [20, 50) x [25, 50) of the first frame at the new screen's corner, the second left out,
    // the third moved, [60, 70) x [60, 75) of the last one.
    EXPECT_EQ((std::vector<Placed>{{0, 0, 50, 50, 0, 0, -1}, {0, 0, 30, 25, 1, 1, -1}, {40, 35, 10, 10, 3, 3, 4},
                                   {40, 35, 10, 15, 5, 1, -1}}),
              Frames(out));
    CGifFile gif;
    ASSERT_EQ(1, gif.Load(out.c_str()));
    std::vector<int> src = Pattern(40, 30, 256);
    Frame fa(gif.GetFrameDib(0));
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(src[size_t(y + 5) * 40 + x + 10], fa.pixel(x, y)) << x << "," << y;
}

TEST_F(GifRework, WritesNothingWhenItCannotOrNeedNot) {
    std::string in = Write(Plain(50, 40));
    std::string out = dir.file("none.gif");
    EXPECT_EQ(0, ResizeGif(in.c_str(), 50, 40, out.c_str()));
    EXPECT_EQ(0, ResizeGif(in.c_str(), 100, 100, out.c_str()));
    EXPECT_EQ(0, ResizeGif(in.c_str(), 0, 10, out.c_str()));
    EXPECT_EQ(0, ResizeGif(nullptr, 10, 10, out.c_str()));
    EXPECT_EQ(0, ResizeGif(in.c_str(), 10, 10, nullptr));
    EXPECT_EQ(0, ResizeGif(dir.file("missing.gif").c_str(), 10, 10, out.c_str()));
    // A crop of the whole screen or more, or of a rectangle that starts off the screen.
    EXPECT_EQ(0, CropGif(in.c_str(), 0, 0, 50, 40, out.c_str()));
    EXPECT_EQ(0, CropGif(in.c_str(), 0, 0, 51, 10, out.c_str()));
    EXPECT_EQ(0, CropGif(in.c_str(), 0, 0, 10, 41, out.c_str()));
    EXPECT_EQ(0, CropGif(in.c_str(), 0, 0, 0, 10, out.c_str()));
    EXPECT_EQ(0, CropGif(nullptr, 0, 0, 10, 10, out.c_str()));
    const int corners[][2] = {{-1, 0}, {0, -1}, {50, 0}, {0, 40}, {INT_MAX, 0}, {0, INT_MAX}, {INT_MIN, INT_MIN}};
    for (const auto &c : corners) {
        SetLastError(0);
        EXPECT_EQ(0, CropGif(in.c_str(), c[0], c[1], 10, 10, out.c_str())) << c[0] << "," << c[1];
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError()) << c[0] << "," << c[1];
    }
    EXPECT_FALSE(testkit::Exists(out));
    EXPECT_EQ(1, CropGif(in.c_str(), 0, 0, 50, 39, out.c_str()));
}

}  // namespace
