/*
 * Window shaping under Windows' own window system: mask regions against the square-by-square
 * construction, whole-window masks, corners, bevels, who frees which mask, and no region left
 * behind.
 */
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include "basemem.h"
#include "gdi_count.h"
#include "mask_maker.h"
#include "mask_reference.h"
#include "testkit.h"
#include "ui_window.h"
#include "winshape.h"

using namespace uitest;

static const double kPi = 3.14159265358979323846;

namespace {

bool BlockAlive(HGLOBAL h) { return GlobalFlags(h) != GMEM_INVALID_HANDLE; }

std::vector<std::string> Disc(int w, int h, int r0, int r1)
{
    std::vector<std::string> rows((size_t)h, std::string((size_t)w, '.'));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int dx = 2 * x + 1 - w, dy = 2 * y + 1 - h, d = dx * dx + dy * dy;
            if (d >= 4 * r0 * r0 && d < 4 * r1 * r1)
                rows[(size_t)y][(size_t)x] = '#';
        }
    return rows;
}

/* An 8 x 8 corner mask: a triangle cut from the window's top-left corner. */
std::vector<std::string> Triangle()
{
    std::vector<std::string> rows;
    for (int y = 0; y < 8; ++y)
        rows.push_back(std::string((size_t)(8 - y), '#') + std::string((size_t)y, '.'));
    return rows;
}

}  // namespace

TEST(CreateMaskRgn, EqualsTheSquareBySquareRegion)
{
    NoGdiLeft leaks;
    srand(61);
    auto check = [](const std::vector<std::string> &rows, int nColours, const std::string &what) {
        std::vector<BYTE> bytes = MaskBytes(rows, nColours);
        HRGN got = CreateMaskRgn(bytes.data(), 255), want = MaskRegionSquareBySquare(bytes.data(), 255);
        EXPECT_EQ(RegionRects(want), RegionRects(got)) << what;
        for (HRGN r : {got, want})
            if (r)
                DeleteObject(r);
    };
    for (int round = 0; round < 120; ++round) {
        int w = 1 + rand() % 40, h = 1 + rand() % 30;
        std::vector<std::string> rows;
        switch (round % 4) {
        case 0:
            rows = Disc(w, h, 0, w / 2 + 1);
            break;
        case 1:
            rows = Disc(w, h, w / 4, w / 2);
            break;
        default:
            rows.assign((size_t)h, std::string((size_t)w, '.'));
            for (auto &row : rows)
                for (auto &c : row)
                    if (rand() % 3 == 0)
                        c = '#';
            if (round % 4 == 3)
                for (size_t y = 1; y < rows.size(); y += 2)
                    rows[y] = rows[y - 1];
        }
        check(rows, round % 5 == 0 ? 16 : 256, "round " + std::to_string(round));
    }
    // 300 x 200 of disc, ring and noise: hundreds of leaf regions merged.
    std::vector<std::string> rows = Disc(300, 200, 0, 60), ring = Disc(300, 200, 80, 95);
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            if (ring[y][x] == '#' || rand() % 50 == 0)
                rows[y][x] = '#';
    check(rows, 256, "disc, ring and noise");
}

TEST(SetWindowMask, VisiblePartIsTheMaskWithinTheWindow)
{
    NoGdiLeft leaks;
    TestWindow win(30, 20);
    ASSERT_TRUE(win.hwnd());
    std::vector<std::string> rows = Disc(40, 10, 0, 19);  // wider than the window
    HGLOBAL mask = MaskBlock(rows);
    SetWindowMask(win.hwnd(), mask);
    EXPECT_FALSE(BlockAlive(mask)) << "the mask block is freed";

    std::vector<BYTE> bytes = MaskBytes(rows);
    HRGN want = MaskRegionSquareBySquare(bytes.data(), 255), clip = CreateRectRgn(0, 0, 30, 20);
    CombineRgn(want, want, clip, RGN_AND);
    HRGN got = WindowRegion(win.hwnd());
    EXPECT_EQ(RegionRects(want), RegionRects(got));
    for (HRGN r : {want, clip, got})
        DeleteObject(r);
}

TEST(SetWindowMask, MasksThatSelectNothingLeaveTheRectangle)
{
    NoGdiLeft leaks;
    TestWindow win(30, 20);
    HGLOBAL tall = MaskBlock({"##", "##"});
    ((BITMAPINFOHEADER *)BaseMemLock(tall))->biHeight = 4000;
    BaseMemUnlock(tall);
    const struct Row {
        const char *what;
        HGLOBAL mask;
    } rows[] = {
        {"another depth", MaskBlock({"##", "##"}, 0, 24)},
        {"no pixel 255", MaskBlock({"..", ".."})},
        {"rows past the block's end", tall},
        {"a block of no bytes, which cannot be locked", GlobalAlloc(GMEM_MOVEABLE, 0)},
    };
    EXPECT_EQ(nullptr, GlobalLock(rows[3].mask));
    for (const Row &r : rows) {
        SetWindowMask(win.hwnd(), r.mask);
        EXPECT_FALSE(BlockAlive(r.mask)) << r.what << ": taken and freed all the same";
        HRGN got = WindowRegion(win.hwnd());
        EXPECT_EQ("(0,0,30,20)", RegionRects(got)) << r.what;
        if (got)
            DeleteObject(got);
    }
}

TEST(SetWindowMask, NoWindowNoMaskOrNoSize)
{
    NoGdiLeft leaks;
    TestWindow win(30, 20);
    HGLOBAL mask = MaskBlock({"#"});
    SetWindowMask(NULL, mask);
    EXPECT_TRUE(BlockAlive(mask)) << "not freed when nothing is done";
    SetWindowMask(win.hwnd(), 0);
    EXPECT_EQ("null", RegionRects(WindowRegion(win.hwnd())));

    // A handle that is no window: the mask is still taken and freed, no region is left over.
    HWND gone;
    {
        TestWindow dead(5, 5);
        gone = dead.hwnd();
    }
    SetWindowMask(gone, mask);
    EXPECT_FALSE(BlockAlive(mask));

    // A window of no size: every kind of shaping runs and leaves nothing behind.
    TestWindow zero(0, 0);
    ASSERT_TRUE(zero.hwnd());
    SetWindowMask(zero.hwnd(), MaskBlock(Triangle()));
    SetWindowCornerRgn(zero.hwnd(), 0, 0, 0, 0);
    SetWindowFrameRgn(zero.hwnd(), 0, 0, 0, 0);
    EXPECT_NE(0, SetWindowBevelRgn(zero.hwnd(), kPi / 4, 15));
}

TEST(WindowCorners, CornerMasksSitAtTheirCorners)
{
    NoGdiLeft leaks;
    TestWindow win(200, 100);
    HGLOBAL tr = MaskBlock(Triangle()), bl = MaskBlock(Triangle());
    SetWindowCornerRgn(win.hwnd(), 0, tr, 0, bl);
    EXPECT_TRUE(BlockAlive(tr) && BlockAlive(bl)) << "the caller's masks stay the caller's";

    // Expected: the window rectangle (one wider and taller) less the triangle at (192, 0)
    // and at (0, 92).
    std::vector<BYTE> bytes = MaskBytes(Triangle());
    HRGN want = CreateRectRgn(0, 0, 201, 101);
    for (POINT at : {POINT{192, 0}, POINT{0, 92}}) {
        HRGN cut = MaskRegionSquareBySquare(bytes.data(), 255);
        OffsetRgn(cut, at.x, at.y);
        CombineRgn(want, want, cut, RGN_DIFF);
        DeleteObject(cut);
    }
    HRGN got = WindowRegion(win.hwnd());
    EXPECT_EQ(RegionRects(want), RegionRects(got));
    for (HRGN r : {want, got})
        DeleteObject(r);

    // A 24-bit corner mask cuts nothing, nor does a block of no bytes (it cannot be locked).
    HGLOBAL rgb = MaskBlock({"##", "##"}, 0, 24), empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    for (HGLOBAL m : {rgb, empty}) {
        SetWindowCornerRgn(win.hwnd(), m, m, m, m);
        got = WindowRegion(win.hwnd());
        EXPECT_EQ("(0,0,201,101)", RegionRects(got)) << (m == empty ? "no bytes" : "24 bits");
        DeleteObject(got);
    }
    EXPECT_TRUE(BlockAlive(empty));
    GlobalFree(empty);
    // No window: reported, nothing done, the masks untouched.
    testkit::AssertCapture asserts;
    SetWindowCornerRgn(NULL, tr, tr, bl, bl);
    SetWindowFrameRgn(NULL, 0, 0, 0, 0);
    EXPECT_EQ(2u, asserts.reports().size());
    EXPECT_TRUE(asserts.Saw("hWnd"));
    EXPECT_TRUE(BlockAlive(tr) && BlockAlive(bl));
    for (HGLOBAL h : {tr, bl, rgb})
        BaseMemFree(h);
}

TEST(SetWindowBevelRgn, AngleAndFlags)
{
    NoGdiLeft leaks;
    TestWindow win(300, 100);
    EXPECT_NE(0, SetWindowBevelRgn(win.hwnd(), 0.0, 15));
    HRGN got = WindowRegion(win.hwnd());
    EXPECT_EQ("(0,0,300,100)", RegionRects(got)) << "angle 0: the plain rectangle";
    DeleteObject(got);

    // Height 100 at pi/4, top corners: the top edge runs from (100, 0) to (200, 0), the
    // bottom is whole, the slant runs over the full height.  Flag 4: the bottom-right only.
    const struct Row {
        int flags;
        std::vector<POINT> in, out;
    } rows[] = {{1 | 2, {{100, 0}, {199, 0}, {1, 99}, {298, 99}, {60, 50}}, {{99, 0}, {200, 0}, {0, 50}}},
                {4, {{0, 0}, {299, 0}, {0, 99}}, {{299, 99}}}};
    for (const Row &r : rows) {
        EXPECT_NE(0, SetWindowBevelRgn(win.hwnd(), kPi / 4, r.flags));
        got = WindowRegion(win.hwnd());
        for (const POINT &p : r.in)
            EXPECT_TRUE(PtInRegion(got, p.x, p.y)) << r.flags << ": " << p.x << "," << p.y;
        for (const POINT &p : r.out)
            EXPECT_FALSE(PtInRegion(got, p.x, p.y)) << r.flags << ": " << p.x << "," << p.y;
        DeleteObject(got);
    }
    EXPECT_EQ(0, SetWindowBevelRgn(NULL, 0.5, 1));
}

TEST(ScreenToClientRect, BothCornersTopLeftFirst)
{
    TestWindow win(100, 80, 40, 30);
    RECT rc = {45, 50, 140, 110};
    ScreenToClientRect(win.hwnd(), &rc);
    EXPECT_EQ("(5,20,100,80)", RectText(rc));

    testkit::AssertCapture asserts;
    ScreenToClientRect(win.hwnd(), nullptr);
    EXPECT_TRUE(asserts.Saw("lpRect"));
    RECT same = {1, 2, 3, 4};
    ScreenToClientRect(NULL, &same);
    EXPECT_TRUE(asserts.Saw("hWnd"));
    EXPECT_EQ("(1,2,3,4)", RectText(same));
}

TEST(CreateMaskRgn, BoundedAndNeverThrows)
{
    testkit::AssertCapture asserts;
    EXPECT_EQ(NULL, CreateMaskRgn(nullptr, 255));
    EXPECT_TRUE(asserts.Saw("pMask"));
    // Memory running short at each allocation in turn: no region, no exception.
    const std::vector<BYTE> disc = MaskBytes(Disc(64, 64, 10, 30));
    unsigned failures = 0;
    for (unsigned n = 1; n < 100; ++n) {
        HRGN r = NULL;
        FailNthNew(n);
        EXPECT_NO_THROW(r = CreateMaskRgn(disc.data(), 255)) << n;
        const bool fired = !NewFaultPending();
        FailNthNew(0);
        if (r)
            DeleteObject(r);
        if (!fired)
            break;
        ++failures;
        EXPECT_EQ(NULL, r) << n;
    }
    EXPECT_GE(failures, 1u);
}
