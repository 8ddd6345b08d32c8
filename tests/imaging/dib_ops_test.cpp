/*
 * DIB operations: layouts checked byte for byte, and the edge cases of cropping, trimming,
 * nearest resizing, fitting and the brush masks.
 */
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <vector>

#include "basemem.h"
#include "dib.h"
#include "picture_files.h"
#include "pixkit.h"
#include "testkit.h"

namespace {

using testkit::DibStride;

/* An 8-bit (or 1/4-bit) DIB whose image row y (from the top) is given by rows[y] (raw bytes). */
HGLOBAL MakeDib(int w, int bits, const std::vector<std::vector<BYTE>> &rows, int colours = 0) {
    const int h = int(rows.size());
    BYTE *p;
    HGLOBAL hd = testkit::DibBlock(w, h, bits, colours ? colours : 1 << bits, &p);
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(p);
    bih->biXPelsPerMeter = 2835;
    for (int y = 0; y < h; ++y)
        memcpy(p + 40 + 4 * bih->biClrUsed + size_t(h - 1 - y) * DibStride(w, bits), rows[size_t(y)].data(),
               rows[size_t(y)].size());
    BaseMemUnlock(hd);
    return hd;
}

struct Locked {
    HGLOBAL h;
    BYTE *p;
    explicit Locked(HGLOBAL hd) : h(hd), p(static_cast<BYTE *>(BaseMemLock(hd))) {}
    ~Locked() {
        if (p)
            BaseMemUnlock(h);
        if (h)
            BaseMemFree(h);
    }
    const BITMAPINFOHEADER *bih() const { return reinterpret_cast<const BITMAPINFOHEADER *>(p); }
    const BYTE *row(int y) const {
        return p + 40 + 4 * bih()->biClrUsed + size_t(bih()->biHeight - 1 - y) * DibStride(bih()->biWidth, bih()->biBitCount);
    }
};

TEST(DibColors, CountsFromHeader) {
    BITMAPINFOHEADER h;
    memset(&h, 0, sizeof(h));
    h.biSize = 40;
    h.biBitCount = 8;
    EXPECT_EQ(256, DibNumColors(&h));
    EXPECT_EQ(1024, DibPaletteSize(&h));
    h.biClrUsed = 16;
    EXPECT_EQ(16, DibNumColors(&h));
    h.biBitCount = 24;
    EXPECT_EQ(0, DibNumColors(&h));
    h.biClrUsed = 0;
    h.biBitCount = 1;
    EXPECT_EQ(2, DibNumColors(&h));
    h.biBitCount = 4;
    EXPECT_EQ(16, DibNumColors(&h));
    // A core header: size 12, bit count at offset 10, 3-byte entries.
    BYTE core[12] = {12, 0, 0, 0, 4, 0, 4, 0, 1, 0, 4, 0};
    EXPECT_EQ(16, DibNumColors(core));
    EXPECT_EQ(48, DibPaletteSize(core));
}

TEST(DibNew, GreyAndTrueColourLayouts) {
    BITMAPINFOHEADER h;
    memset(&h, 0, sizeof(h));
    h.biWidth = 3;
    h.biHeight = 2;
    h.biBitCount = 8;
    h.biXPelsPerMeter = 100;
    h.biYPelsPerMeter = 200;
    Locked grey(NewDib(h, 0x00AB0000));
    ASSERT_TRUE(grey.p);
    EXPECT_EQ(40u, grey.bih()->biSize);
    EXPECT_EQ(8, grey.bih()->biBitCount);
    EXPECT_EQ(256u, grey.bih()->biClrUsed);
    EXPECT_EQ(8u, grey.bih()->biSizeImage);
    EXPECT_EQ(100, grey.bih()->biXPelsPerMeter);
    EXPECT_EQ(200, grey.bih()->biYPelsPerMeter);
    EXPECT_EQ(0x37, grey.p[40 + 4 * 0x37]);  // entry i is (i, i, i, 0)
    const BYTE *px = grey.p + 40 + 1024;
    const BYTE want[8] = {0xAB, 0xAB, 0xAB, 0, 0xAB, 0xAB, 0xAB, 0};
    EXPECT_EQ(0, memcmp(px, want, 8));

    h.biBitCount = 24;
    Locked rgb(NewDib(h, 0x00030201));
    ASSERT_TRUE(rgb.p);
    EXPECT_EQ(0u, rgb.bih()->biClrUsed);
    EXPECT_EQ(24u, rgb.bih()->biSizeImage);
    const BYTE want24[12] = {1, 2, 3, 1, 2, 3, 1, 2, 3, 0, 0, 0};
    EXPECT_EQ(0, memcmp(rgb.p + 40, want24, 12));
    h.biWidth = 0;
    EXPECT_EQ(nullptr, NewDib(h, 0));
}

TEST(DibCrop, NegativeYGivesZeroRowsOnTop) {
    HGLOBAL src = MakeDib(4, 8, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}});
    Locked c(CropDib(src, 1, -1, 2, 3));
    ASSERT_TRUE(c.p);
    EXPECT_EQ(2, c.bih()->biWidth);
    EXPECT_EQ(3, c.bih()->biHeight);
    EXPECT_EQ(12u, c.bih()->biSizeImage);
    const BYTE r0[4] = {0, 0, 0, 0}, r1[4] = {2, 3, 0, 0}, r2[4] = {6, 7, 0, 0};
    EXPECT_EQ(0, memcmp(c.row(0), r0, 4));
    EXPECT_EQ(0, memcmp(c.row(1), r1, 4));
    EXPECT_EQ(0, memcmp(c.row(2), r2, 4));
    EXPECT_EQ(nullptr, CropDib(src, 0, 0, 0, 1));
    EXPECT_EQ(nullptr, CropDib(0, 0, 0, 1, 1));
    BaseMemFree(src);
}

TEST(DibCrop, StartInsideAByteKeepsTheLeftEdge) {
    // 1-bit 0b10110011 0b1: from x = 3, five pixels 1 0 0 1 1; 4-bit 0x12 0x34: from x = 1,
    // the nibbles 2 3 4.
    HGLOBAL one = MakeDib(9, 1, {{0xB3, 0x80}}, 2);
    Locked c(CropDib(one, 3, 0, 5, 1));
    ASSERT_TRUE(c.p);
    EXPECT_EQ(0x98, c.row(0)[0]);
    Locked past(CropDib(one, 7, 0, 4, 1));  // pixels 7, 8 and two beyond the width
    ASSERT_TRUE(past.p);
    EXPECT_EQ(0xC0, past.row(0)[0]);
    BaseMemFree(one);

    HGLOBAL four = MakeDib(4, 4, {{0x12, 0x34}});
    Locked n(CropDib(four, 1, 0, 3, 1));
    ASSERT_TRUE(n.p);
    EXPECT_EQ(0x23, n.row(0)[0]);
    EXPECT_EQ(0x40, n.row(0)[1]);
    BaseMemFree(four);
}

TEST(DibResize, ThreeToFiveColumnMap) {
    HGLOBAL src = MakeDib(3, 8, {{10, 20, 30}});
    Locked r(ResizeDibNearest(src, 5, 1, 0xEE));
    ASSERT_TRUE(r.p);
    const BYTE want[8] = {10, 20, 20, 30, 30, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(0, memcmp(r.row(0), want, 8));
    EXPECT_EQ(0, r.bih()->biXPelsPerMeter);
    // 1-bit: columns 0,1,1,2,2 of bits 1,0,1; fill bytes 0xFF for a non-zero fill.
    HGLOBAL mono = MakeDib(3, 1, {{0xA0}});
    Locked m(ResizeDibNearest(mono, 5, 1, 1));
    ASSERT_TRUE(m.p);
    const BYTE wantMono[4] = {0x98, 0xFF, 0xFF, 0xFF};  // 1 0 0 1 1 -> 10011000
    EXPECT_EQ(0, memcmp(m.row(0), wantMono, 4));
    BaseMemFree(src);
    BaseMemFree(mono);
}

TEST(DibTrim, LastColumnOnlyFindsLeftAndRight) {
    HGLOBAL src = MakeDib(4, 8, {{0, 0, 0, 0}, {0, 0, 0, 7}, {0, 0, 0, 0}});
    int l = 0, t = 0, r = 0, b = 0;
    HGLOBAL out = TrimDib(src, &l, &t, &r, &b, 0);
    EXPECT_EQ(3, l);
    EXPECT_EQ(4, r);
    EXPECT_EQ(0, t);  // the row is not found as top or bottom
    EXPECT_EQ(0, b);
    EXPECT_EQ(nullptr, out);  // zero height
    // A pixel inside the row is found everywhere.
    HGLOBAL src2 = MakeDib(4, 8, {{0, 0, 0, 0}, {0, 9, 0, 0}, {0, 0, 0, 0}});
    l = t = r = b = 0;
    Locked c(TrimDib(src2, &l, &t, &r, &b, 0));
    EXPECT_EQ(1, l);
    EXPECT_EQ(1, t);
    EXPECT_EQ(2, r);
    EXPECT_EQ(2, b);
    ASSERT_TRUE(c.p);
    EXPECT_EQ(9, c.row(0)[0]);
    BaseMemFree(src);
    BaseMemFree(src2);
}

TEST(DibCanvas, FourBitOddOffsetKeepsFillInFreeHalves) {
    HGLOBAL src = MakeDib(3, 4, {{0x12, 0x30}});
    Locked c(PlaceDibOnCanvas(src, 1, 1, 6, 3, 0xA));
    ASSERT_TRUE(c.p);
    const BYTE top[3] = {0xAA, 0xAA, 0xAA}, mid[3] = {0xA1, 0x23, 0xAA};
    EXPECT_EQ(0, memcmp(c.row(0), top, 3));
    EXPECT_EQ(0, memcmp(c.row(1), mid, 3));
    EXPECT_EQ(0, memcmp(c.row(2), top, 3));
    EXPECT_EQ(nullptr, PlaceDibOnCanvas(src, 4, 0, 6, 3, 0));  // does not fit
    EXPECT_EQ(nullptr, PlaceDibOnCanvas(src, 0, 0, 3, 1, 0));  // not smaller
    BaseMemFree(src);
}

TEST(DibCanvas, OneBitFrameKeepsItsPixelPosition) {
    // 10 set pixels placed at x = 5 on a 24-wide canvas of fill 0: bits 5..14, nothing else.
    HGLOBAL src = MakeDib(10, 1, {{0xFF, 0xFF}}, 2);  // pixels 8, 9 and the six padding bits after them
    Locked c(PlaceDibOnCanvas(src, 5, 0, 24, 2, 0));
    ASSERT_TRUE(c.p);
    const BYTE want[3] = {0x07, 0xFE, 0x00};
    EXPECT_EQ(0, memcmp(c.row(0), want, 3));
    Locked d(PlaceDibOnCanvas(src, 5, 1, 24, 2, 1));
    ASSERT_TRUE(d.p);
    const BYTE onFill[3] = {0xFF, 0xFF, 0xFF};
    EXPECT_EQ(0, memcmp(d.row(1), onFill, 3));
    BaseMemFree(src);
}

TEST(DibFit, SizesOfFitAndScale) {
    HGLOBAL big = PxDibNew(640, 480, 8, 72, 0x808080);
    Locked f(FitDibHQ(big, 320, 320));
    ASSERT_TRUE(f.p);
    EXPECT_EQ(320, f.bih()->biWidth);
    EXPECT_EQ(240, f.bih()->biHeight);
    HGLOBAL small = PxDibNew(100, 100, 8, 72, 0);
    EXPECT_EQ(nullptr, FitDibHQ(small, 320, 320));
    double factor = 0;
    Locked s(ScaleDibToBoxHQ(small, 320, 250, &factor));
    ASSERT_TRUE(s.p);
    EXPECT_EQ(250, s.bih()->biWidth);
    EXPECT_EQ(2.0, factor);
    // A very thin bitmap keeps at least one pixel across.
    HGLOBAL thin = PxDibNew(1, 2000, 8, 72, 0);
    Locked t(FitDibHQ(thin, 320, 320));
    ASSERT_TRUE(t.p);
    EXPECT_EQ(1, t.bih()->biWidth);
    EXPECT_EQ(320, t.bih()->biHeight);
    HGLOBAL cover = PxDibNew(400, 100, 24, 72, 0);
    RECT rc = {0, 0, 50, 50};
    CoverDibToRect(&cover, &rc);
    Locked cv(cover);
    EXPECT_EQ(50, cv.bih()->biWidth);
    EXPECT_EQ(50, cv.bih()->biHeight);
    BaseMemFree(big);
    BaseMemFree(small);
    BaseMemFree(thin);
}

TEST(DibBrush, SoftBrushSigmaAndDiscMask) {
    Locked b(MakeSoftBrush(200, 2, 0));
    ASSERT_TRUE(b.p);
    EXPECT_EQ(5, b.bih()->biWidth);
    EXPECT_EQ(5, b.bih()->biHeight);
    // sigma = 1.0: centre 255 - 200, one step out 255 - 200 e^-0.5, a corner 255 - 200 e^-4.
    EXPECT_EQ(55, b.row(2)[2]);
    EXPECT_EQ(int(255 - 200 * exp(-0.5)), b.row(2)[3]);
    EXPECT_EQ(int(255 - 200 * exp(-4.0)), b.row(0)[0]);
    Locked d(MakeSoftBrush(100, -3, 0));
    ASSERT_TRUE(d.p);
    EXPECT_EQ(7, d.bih()->biWidth);
    EXPECT_EQ(0, d.row(3)[3]);    // black disc
    EXPECT_EQ(0, d.row(0)[3]);    // distance 3
    EXPECT_EQ(255, d.row(0)[0]);  // white corner
    Locked m(MakeDiscMask(0, 1, 128, 0, 2));
    ASSERT_TRUE(m.p);
    EXPECT_EQ(7, m.bih()->biWidth);
    EXPECT_EQ(128, m.row(0)[0]);
    EXPECT_EQ(0, m.row(3)[4]);
    EXPECT_EQ(128, m.row(3)[5]);
}

}  // namespace
