/* The portable UI services: UI folder paths and DIB pasting (the dialog font settings: DialogFonts). */
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "baseui.h"
#include "basemem.h"
#include "picture_files.h"
#include "sysinfo.h"
#include "testkit.h"

namespace {

/* A w x h DIB block: 8-bit with 256 palette entries, or 24-bit; pixel (x, y from the top) of
 * an 8-bit one gets base + x + 16 * y, of a 24-bit one those three bytes. */
HGLOBAL MakeDib(int w, int h, int bits, int base)
{
    const size_t bpp = bits == 8 ? 1 : 3, offset = bits == 8 ? 1064 : 40, stride = testkit::DibStride(w, bits);
    BYTE *p;
    HGLOBAL hb = testkit::DibBlock(w, h, bits, bits == 8 ? 256 : 0, &p);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (size_t c = 0; c < bpp; ++c)
                p[offset + (size_t)(h - 1 - y) * stride + (size_t)x * bpp + c] = (BYTE)(base + x + 16 * y);
    BaseMemUnlock(hb);
    return hb;
}

/* Pixel (x, y from the top), first byte. */
int PixelAt(HGLOBAL hb, int x, int y)
{
    testkit::DibView v(hb);
    return v.row(y)[(size_t)x * (v.bih()->biBitCount / 8)];
}

std::vector<BYTE> Bytes(HGLOBAL hb)
{
    BYTE *p = (BYTE *)BaseMemLock(hb);
    std::vector<BYTE> v(p, p + BaseMemSize(hb));
    BaseMemUnlock(hb);
    return v;
}

}  // namespace

TEST(GetUIPath, FolderOfTheProgramThenUIAndNullArguments)
{
    char folder[MAX_PATH];
    GetAppFolder(folder);
    ASSERT_NE(folder[0], 0);
    char path[MAX_PATH];
    memset(path, 0xCC, sizeof path);
    EXPECT_EQ(1, GetUIPath("img_medley.ui", path));
    EXPECT_EQ(std::string(folder) + "\\UI\\img_medley.ui", path);

    // Exactly 259 characters fit the 260-character buffer; one more does not.
    size_t room = MAX_PATH - 1 - strlen(folder) - 4;
    std::string name(room, 'n');
    EXPECT_EQ(1, GetUIPath(name.c_str(), path));
    EXPECT_EQ(MAX_PATH - 1, (int)strlen(path));
    name += 'n';
    memset(path, 0xCC, sizeof path);
    EXPECT_EQ(0, GetUIPath(name.c_str(), path));
    EXPECT_EQ(0, path[0]);

    testkit::AssertCapture asserts;  // null arguments are reported
    EXPECT_EQ(0, GetUIPath(nullptr, path));
    EXPECT_TRUE(asserts.Saw("sUIName"));
    EXPECT_EQ(0, GetUIPath("x.bmp", nullptr));
    EXPECT_TRUE(asserts.Saw("sUIPath"));
}

TEST(PasteDib, WholeFitOnlyAndYFromTheTop)
{
    for (int bits : {8, 24}) {
        HGLOBAL dst = MakeDib(10, 10, bits, 0), src = MakeDib(10, 10, bits, 100);
        EXPECT_EQ(1, PasteDib(dst, src, 0, 0)) << bits;
        EXPECT_EQ(Bytes(src), Bytes(dst)) << "a same-size paste copies every pixel";
        std::vector<BYTE> before = Bytes(dst);
        for (POINT at : {POINT{1, 0}, POINT{0, 1}, POINT{-1, 0}, POINT{0, -1}})
            EXPECT_EQ(0, PasteDib(dst, src, at.x, at.y)) << bits << ": " << at.x << "," << at.y;
        EXPECT_EQ(before, Bytes(dst));
        BaseMemFree(src);

        // A 3 x 2 source at (4, 0) covers the top two rows, columns 4..6.
        src = MakeDib(3, 2, bits, 200);
        EXPECT_EQ(1, PasteDib(dst, src, 4, 0));
        EXPECT_EQ(200, PixelAt(dst, 4, 0));
        EXPECT_EQ(202, PixelAt(dst, 6, 0));
        EXPECT_EQ(216, PixelAt(dst, 4, 1));
        EXPECT_EQ(before[bits == 8 ? 1064 : 40], Bytes(dst)[bits == 8 ? 1064 : 40]) << "bottom row untouched";
        EXPECT_EQ(100 + 3 + 0, PixelAt(dst, 3, 0)) << "left of the paste untouched";
        EXPECT_EQ(1, PasteDib(dst, src, 7, 8)) << "bottom-right corner, exact fit";
        EXPECT_EQ(200, PixelAt(dst, 7, 8));
        for (POINT at : {POINT{8, 8}, POINT{7, 9}, POINT{0x7FFFFFFF, 0}})  // the last: no wrap-around
            EXPECT_EQ(0, PasteDib(dst, src, at.x, at.y)) << bits << ": " << at.x << "," << at.y;
        BaseMemFree(src);
        BaseMemFree(dst);
    }
}

TEST(PasteDib, RefusesWhatCannotBePastedSafely)
{
    HGLOBAL dst = MakeDib(64, 64, 8, 0), src = MakeDib(2, 2, 8, 50), rgb = MakeDib(40, 40, 24, 50);
    std::vector<BYTE> before = Bytes(dst);
    EXPECT_EQ(0, PasteDib(0, src, 0, 0));
    EXPECT_EQ(0, PasteDib(dst, 0, 0, 0));
    // Depths differ (each block is large enough to be read at the other depth).
    EXPECT_EQ(0, PasteDib(dst, rgb, 0, 0));
    HGLOBAL rgbDst = MakeDib(64, 64, 24, 0), grey = MakeDib(10, 10, 8, 50);
    std::vector<BYTE> rgbBefore = Bytes(rgbDst);
    EXPECT_EQ(0, PasteDib(rgbDst, grey, 0, 0));
    EXPECT_EQ(rgbBefore, Bytes(rgbDst));
    BaseMemFree(grey);
    BaseMemFree(rgbDst);

    // A source whose header claims more rows than its block holds.
    BYTE *p = (BYTE *)BaseMemLock(src);
    ((BITMAPINFOHEADER *)p)->biHeight = 5000;
    BaseMemUnlock(src);
    EXPECT_EQ(0, PasteDib(dst, src, 0, 0));
    // A 32-bit destination is not a 24-bit one.
    HGLOBAL wide = MakeDib(8, 8, 24, 0);
    p = (BYTE *)BaseMemLock(wide);
    ((BITMAPINFOHEADER *)p)->biBitCount = 32;
    BaseMemUnlock(wide);
    EXPECT_EQ(0, PasteDib(wide, rgb, 0, 0));
    EXPECT_EQ(before, Bytes(dst));
    // Both blocks are left unlocked whatever the outcome.
    EXPECT_EQ(0u, GlobalFlags(dst) & GMEM_LOCKCOUNT);
    EXPECT_EQ(0u, GlobalFlags(src) & GMEM_LOCKCOUNT);
    BaseMemFree(wide);
    BaseMemFree(rgb);
    BaseMemFree(src);
    BaseMemFree(dst);
}
