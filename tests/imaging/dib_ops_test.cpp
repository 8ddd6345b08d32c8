/*
 * DIB operations: layouts checked byte for byte, fitting and the brush masks (cropping,
 * placing, trimming and nearest resizing are checked against their models in dib_model_test).
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

using testkit::DibView;

TEST(DibColors, CountsFromHeader) {
    // {bits, biClrUsed, colours}: biClrUsed counts up to 8 bits only.
    const int cases[][3] = {{8, 0, 256}, {8, 16, 16}, {24, 16, 0}, {1, 0, 2}, {4, 0, 16}};
    for (const auto &c : cases) {
        BITMAPINFOHEADER h = testkit::InfoHeader(1, 1, c[0]);
        h.biClrUsed = DWORD(c[1]);
        EXPECT_EQ(c[2], DibNumColors(&h)) << c[0] << "-bit, " << c[1] << " used";
        EXPECT_EQ(4 * c[2], DibPaletteSize(&h)) << c[0] << "-bit, " << c[1] << " used";
    }
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
    DibView grey(NewDib(h, 0x00AB0000), true);
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
    DibView rgb(NewDib(h, 0x00030201), true);
    ASSERT_TRUE(rgb.p);
    EXPECT_EQ(0u, rgb.bih()->biClrUsed);
    EXPECT_EQ(24u, rgb.bih()->biSizeImage);
    const BYTE want24[12] = {1, 2, 3, 1, 2, 3, 1, 2, 3, 0, 0, 0};
    EXPECT_EQ(0, memcmp(rgb.p + 40, want24, 12));
    h.biWidth = 0;
    EXPECT_EQ(nullptr, NewDib(h, 0));
}

TEST(DibFit, SizesOfFitAndScale) {
    const struct {
        int w, h, wantW, wantH;  // into a 320 x 320 box
    } kFits[] = {
        {640, 480, 320, 240},
        {1, 2000, 1, 320},   // a very thin bitmap keeps at least one pixel across
        {100, 100, 0, 0},    // inside the box already: no new bitmap
    };
    for (const auto &c : kFits) {
        HGLOBAL src = PxDibNew(c.w, c.h, 8, 72, 0x808080);
        DibView f(FitDibHQ(src, 320, 320), true);
        EXPECT_EQ(c.wantW, f.p ? f.bih()->biWidth : 0) << c.w << "x" << c.h;
        EXPECT_EQ(c.wantH, f.p ? f.bih()->biHeight : 0) << c.w << "x" << c.h;
        BaseMemFree(src);
    }
    HGLOBAL small = PxDibNew(100, 100, 8, 72, 0);
    double factor = 0;
    DibView s(ScaleDibToBoxHQ(small, 320, 250, &factor), true);
    ASSERT_TRUE(s.p);
    EXPECT_EQ(250, s.bih()->biWidth);
    EXPECT_EQ(2.0, factor);
    HGLOBAL cover = PxDibNew(400, 100, 24, 72, 0);
    RECT rc = {0, 0, 50, 50};
    CoverDibToRect(&cover, &rc);
    DibView cv(cover, true);
    EXPECT_EQ(50, cv.bih()->biWidth);
    EXPECT_EQ(50, cv.bih()->biHeight);
    BaseMemFree(small);
}

TEST(DibBrush, SoftBrushSigmaAndDiscMask) {
    DibView b(MakeSoftBrush(200, 2, 0), true);
    ASSERT_TRUE(b.p);
    EXPECT_EQ(5, b.bih()->biWidth);
    EXPECT_EQ(5, b.bih()->biHeight);
    // sigma = 1.0: centre 255 - 200, one step out 255 - 200 e^-0.5, a corner 255 - 200 e^-4.
    EXPECT_EQ(55, b.row(2)[2]);
    EXPECT_EQ(int(255 - 200 * exp(-0.5)), b.row(2)[3]);
    EXPECT_EQ(int(255 - 200 * exp(-4.0)), b.row(0)[0]);
    DibView d(MakeSoftBrush(100, -3, 0), true);
    ASSERT_TRUE(d.p);
    EXPECT_EQ(7, d.bih()->biWidth);
    EXPECT_EQ(0, d.row(3)[3]);    // black disc
    EXPECT_EQ(0, d.row(0)[3]);    // distance 3
    EXPECT_EQ(255, d.row(0)[0]);  // white corner
    DibView m(MakeDiscMask(0, 1, 128, 0, 2), true);
    ASSERT_TRUE(m.p);
    EXPECT_EQ(7, m.bih()->biWidth);
    EXPECT_EQ(128, m.row(0)[0]);
    EXPECT_EQ(0, m.row(3)[4]);
    EXPECT_EQ(128, m.row(3)[5]);
}

}  // namespace
