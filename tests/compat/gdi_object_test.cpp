/*
 * GDI bitmap objects: creation, GetObjectA, GetDIBits in every output depth, CreateDIBitmap's
 * choice of depth, handle discipline.  Probed as Wine's conformance tests probe them.
 */
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "picture_files.h"
#include "testkit.h"

namespace {

struct Dib {
    BITMAPINFOHEADER h;
    RGBQUAD colors[256];
};

Dib Header(int width, int height, int bpp)
{
    Dib d;
    memset(&d, 0, sizeof d);
    d.h = testkit::InfoHeader(width, height, bpp);
    return d;
}

class MemoryDc {
public:
    MemoryDc() : m_dc(CreateCompatibleDC(NULL)) {}
    ~MemoryDc() { DeleteDC(m_dc); }
    operator HDC() const { return m_dc; }

private:
    HDC m_dc;
};

/* A 32-bit DDB of 3x2 pixels: top row red, green, blue; bottom row white, black, grey. */
HBITMAP ColourBitmap()
{
    const uint8_t rows[2][12] = {{0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0},
                                 {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0x80, 0x80, 0x80, 0}};
    return CreateBitmap(3, 2, 1, 32, rows);
}

TEST(GdiBitmap, CreateBitmapAndGetObject)
{
    HBITMAP bm = CreateBitmap(13, 5, 1, 1, NULL);
    ASSERT_NE(nullptr, bm);
    EXPECT_EQ((DWORD)OBJ_BITMAP, GetObjectType(bm));
    EXPECT_EQ((int)sizeof(BITMAP), GetObjectA(bm, 0, NULL));
    BITMAP info;
    memset(&info, 0xCC, sizeof info);
    EXPECT_EQ(0, GetObjectA(bm, sizeof info - 1, &info));
    ASSERT_EQ((int)sizeof info, GetObjectA(bm, sizeof info, &info));
    EXPECT_EQ(0, info.bmType);
    EXPECT_EQ(13, info.bmWidth);
    EXPECT_EQ(5, info.bmHeight);
    EXPECT_EQ(2, info.bmWidthBytes);  // rows padded to 16 bits
    EXPECT_EQ(1, info.bmPlanes);
    EXPECT_EQ(1, info.bmBitsPixel);
    EXPECT_EQ(nullptr, info.bmBits);
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_FALSE(DeleteObject(bm));
    EXPECT_EQ(0u, GetObjectType(bm));
    EXPECT_EQ(0, GetObjectA(bm, sizeof info, &info));

    // Depths round up to the next kept one; rows stay 16-bit aligned.
    const struct {
        UINT asked;
        WORD kept;
        LONG widthBytes;
    } depths[] = {{2, 4, 4}, {4, 4, 4}, {7, 8, 8}, {15, 16, 14}, {24, 24, 22}, {32, 32, 28}};
    for (const auto &d : depths) {
        bm = CreateBitmap(7, 2, 1, d.asked, NULL);
        ASSERT_NE(nullptr, bm) << d.asked;
        ASSERT_EQ((int)sizeof info, GetObjectA(bm, sizeof info, &info));
        EXPECT_EQ(d.kept, info.bmBitsPixel) << d.asked;
        EXPECT_EQ(d.widthBytes, info.bmWidthBytes) << d.asked;
        DeleteObject(bm);
    }
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, CreateBitmap(4, 4, 1, 33, NULL));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(nullptr, CreateBitmap(4, 4, 2, 8, NULL));
}

TEST(GdiBitmap, EmptySizeGivesTheStockBitmap)
{
    HBITMAP stock = CreateBitmap(0, 0, 1, 32, NULL);
    ASSERT_NE(nullptr, stock);
    EXPECT_EQ(stock, CreateBitmap(0, 5, 1, 1, NULL));
    BITMAP info;
    ASSERT_EQ((int)sizeof info, GetObjectA(stock, sizeof info, &info));
    EXPECT_EQ(1, info.bmWidth);
    EXPECT_EQ(1, info.bmHeight);
    EXPECT_EQ(1, info.bmBitsPixel);
    EXPECT_TRUE(DeleteObject(stock));  // stock objects survive
    EXPECT_EQ((DWORD)OBJ_BITMAP, GetObjectType(stock));
}

TEST(GdiBitmap, GetDIBitsInEveryDepth)
{
    MemoryDc dc;
    HBITMAP bm = ColourBitmap();
    ASSERT_NE(nullptr, bm);

    // Format only: no bits and no depth.
    Dib d = Header(0, 0, 0);
    EXPECT_NE(0, GetDIBits(dc, bm, 0, 0, NULL, (BITMAPINFO *)&d, DIB_RGB_COLORS));
    EXPECT_EQ(3, d.h.biWidth);
    EXPECT_EQ(2, d.h.biHeight);
    EXPECT_EQ(32, d.h.biBitCount);
    EXPECT_EQ(24u, d.h.biSizeImage);

    // 24 bits, bottom-up: the bottom row comes first, rows padded to 4 bytes.
    d = Header(3, 2, 24);
    uint8_t px[2 * 12];
    memset(px, 0xCC, sizeof px);
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, px, (BITMAPINFO *)&d, DIB_RGB_COLORS));
    const uint8_t want24[] = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0x80, 0x80, 0, 0, 0,
                              0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, memcmp(want24, px, sizeof want24));

    // Top-down 32 bits.
    d = Header(3, -2, 32);
    uint32_t px32[6];
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, px32, (BITMAPINFO *)&d, DIB_RGB_COLORS));
    const uint32_t want32[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(want32[i], px32[i] & 0xFFFFFF) << i;

    // One scan line from the bottom.
    memset(px, 0xCC, sizeof px);
    d = Header(3, 2, 24);
    ASSERT_EQ(1, GetDIBits(dc, bm, 1, 5, px, (BITMAPINFO *)&d, DIB_RGB_COLORS));
    EXPECT_EQ(0, memcmp(want24 + 12, px, 12));
    EXPECT_EQ(0xCC, px[12]);
    // A start past the last line copies nothing, yet answers 1 (the reference GDI's result),
    // whichever way the rows run.
    for (int hh : {2, -2}) {
        memset(px, 0xCC, sizeof px);
        d = Header(3, hh, 24);
        EXPECT_EQ(1, GetDIBits(dc, bm, 2, 1, px, (BITMAPINFO *)&d, DIB_RGB_COLORS)) << hh;
        EXPECT_EQ(1, GetDIBits(dc, bm, 9, 1, px, (BITMAPINFO *)&d, DIB_RGB_COLORS)) << hh;
        EXPECT_EQ(0xCC, px[0]);
        EXPECT_EQ(0xCC, px[12]);
    }
    d = Header(3, 2, 24);

    // 4 bits: the 16-colour table, each pixel its nearest entry.
    d = Header(3, -2, 4);
    uint8_t px4[8];
    memset(px4, 0xCC, sizeof px4);
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, px4, (BITMAPINFO *)&d, DIB_RGB_COLORS));
    auto rgb = [&](int idx) {
        return (uint32_t)d.colors[idx].rgbRed << 16 | (uint32_t)d.colors[idx].rgbGreen << 8 | d.colors[idx].rgbBlue;
    };
    EXPECT_EQ(0xFF0000u, rgb(px4[0] >> 4));
    EXPECT_EQ(0x00FF00u, rgb(px4[0] & 15));
    EXPECT_EQ(0x0000FFu, rgb(px4[1] >> 4));
    EXPECT_EQ(0xFFFFFFu, rgb(px4[4] >> 4));
    EXPECT_EQ(0x000000u, rgb(px4[4] & 15));
    EXPECT_EQ(0x808080u, rgb(px4[5] >> 4));

    // 8 bits: black and white are in the default table.
    d = Header(3, -2, 8);
    uint8_t px8[8];
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, px8, (BITMAPINFO *)&d, DIB_RGB_COLORS));
    EXPECT_EQ(0xFFFFFFu, rgb(px8[4]));
    EXPECT_EQ(0x000000u, rgb(px8[5]));

    EXPECT_TRUE(DeleteObject(bm));
}

TEST(GdiBitmap, MonochromeBitmapsReadAsBlackAndWhite)
{
    MemoryDc dc;
    const uint8_t rows[2][2] = {{0xA0, 0}, {0x40, 0}};  // 1 0 1 / 0 1 0
    HBITMAP bm = CreateBitmap(3, 2, 1, 1, rows);
    Dib d = Header(3, -2, 1);
    uint8_t bits[8];
    memset(bits, 0xCC, sizeof bits);
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, bits, (BITMAPINFO *)&d, DIB_RGB_COLORS));
    EXPECT_EQ(0, d.colors[0].rgbRed | d.colors[0].rgbGreen | d.colors[0].rgbBlue);
    EXPECT_EQ(0xFF, d.colors[1].rgbRed & d.colors[1].rgbGreen & d.colors[1].rgbBlue);
    EXPECT_EQ(0xA0, bits[0] & 0xE0);
    EXPECT_EQ(0x40, bits[4] & 0xE0);
    d = Header(3, -2, 24);
    uint8_t px[2 * 12];
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, px, (BITMAPINFO *)&d, DIB_RGB_COLORS));
    EXPECT_EQ(0xFF, px[0]);
    EXPECT_EQ(0x00, px[3]);
    EXPECT_EQ(0xFF, px[6]);
    EXPECT_EQ(0xFF, px[12 + 3]);
    DeleteObject(bm);
}

TEST(GdiBitmap, CreateDIBitmapTakesTheDepthOfTheDc)
{
    // A 24-bit DIB of 2x1: black, white.
    Dib d = Header(2, 1, 24);
    const uint8_t bits[8] = {0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0};
    MemoryDc dc;
    for (HDC target : {(HDC)NULL, (HDC)dc}) {
        // No DC, or a memory DC holding its first monochrome bitmap: a monochrome bitmap.
        HBITMAP bm = CreateDIBitmap(target, &d.h, CBM_INIT, bits, (BITMAPINFO *)&d, DIB_RGB_COLORS);
        ASSERT_NE(nullptr, bm);
        BITMAP info;
        ASSERT_EQ((int)sizeof info, GetObjectA(bm, sizeof info, &info));
        EXPECT_EQ(1, info.bmBitsPixel);
        EXPECT_EQ(2, info.bmWidth);
        Dib out = Header(2, 1, 24);
        uint8_t px[8];
        ASSERT_EQ(1, GetDIBits(dc, bm, 0, 1, px, (BITMAPINFO *)&out, DIB_RGB_COLORS));
        EXPECT_EQ(0, px[0]);
        EXPECT_EQ(0xFF, px[3]);
        DeleteObject(bm);
    }
    // Without CBM_INIT the bits are not read.
    HBITMAP bm = CreateDIBitmap(NULL, &d.h, 0, NULL, NULL, DIB_RGB_COLORS);
    EXPECT_NE(nullptr, bm);
    DeleteObject(bm);
    EXPECT_EQ(nullptr, CreateDIBitmap(NULL, NULL, 0, NULL, NULL, DIB_RGB_COLORS));
}

TEST(GdiBitmap, BadHandlesAndBadRequests)
{
    MemoryDc dc;
    HBITMAP bm = ColourBitmap();
    Dib d = Header(3, 2, 24);
    uint8_t px[64];
    EXPECT_EQ(0, GetDIBits(dc, (HBITMAP)(HDC)dc, 0, 2, px, (BITMAPINFO *)&d, DIB_RGB_COLORS));
    EXPECT_EQ(0, GetDIBits(dc, bm, 0, 2, px, NULL, DIB_RGB_COLORS));
    d.h.biBitCount = 7;
    EXPECT_EQ(0, GetDIBits(dc, bm, 0, 2, px, (BITMAPINFO *)&d, DIB_RGB_COLORS));
    EXPECT_FALSE(DeleteObject(NULL));
    EXPECT_EQ((DWORD)OBJ_MEMDC, GetObjectType((HGDIOBJ)(HDC)dc));
    DeleteObject(bm);
    EXPECT_EQ(0, GetDIBits(dc, bm, 0, 2, px, (BITMAPINFO *)&d, DIB_RGB_COLORS));
}

}  // namespace
