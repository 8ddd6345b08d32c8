/*
 * Skinned controls from UI files, and the default corner masks of the UI folder (the stand-in's
 * drawn masks and buttons, installed beside the test program).
 */
#include <gtest/gtest.h>

#include "baseui.h"
#include "basemem.h"
#include "gdi_count.h"
#include "mask_reference.h"
#include "pixkit.h"
#include "skuilib.h"
#include "ui_layout.h"
#include "ui_window.h"
#include "winshape.h"

using namespace uitest;

namespace {

HGLOBAL LoadUI(const char *name)
{
    char path[MAX_PATH];
    return GetUIPath(name, path) ? PxOpenFile(path, 0, 0) : 0;
}

}  // namespace

TEST(SetWindowFrameRgn, LoadsTheDefaultCornersAndFreesOnlyThose)
{
    NoGdiLeft leaks;
    TestWindow win(200, 100);
    HGLOBAL lt = LoadUI("WndFrmMask_lt.bmp"), lb = LoadUI("WndFrmMask_lb.bmp");
    BlockWatch blocks;
    SetWindowFrameRgn(win.hwnd(), lt, 0, 0, lb);
    EXPECT_EQ(2u, blocks.Loaded().size()) << "defaults for the two corners given as 0";
    EXPECT_TRUE(blocks.AllLoadedFreed());
    EXPECT_FALSE(blocks.Freed(lt));
    EXPECT_FALSE(blocks.Freed(lb));
    SetWindowCornerRgn(win.hwnd(), lt, 0, 0, 0);
    EXPECT_EQ(2u, blocks.Loaded().size()) << "corner cutting loads nothing";
    EXPECT_FALSE(blocks.Freed(lt));
    BaseMemFree(lt);
    BaseMemFree(lb);

    SetWindowFrameRgn(win.hwnd(), 0, 0, 0, 0);
    EXPECT_EQ(6u, blocks.Loaded().size()) << "the four default masks are loaded";
    EXPECT_TRUE(blocks.AllLoadedFreed()) << "and freed by the call that loaded them";

    // Expected: the rectangle (one wider and taller) less each default mask at its corner.
    static const char *const names[4] = {"WndFrmMask_lt.bmp", "WndFrmMask_rt.bmp", "WndFrmMask_rb.bmp",
                                         "WndFrmMask_lb.bmp"};
    HRGN want = CreateRectRgn(0, 0, 201, 101);
    for (int i = 0; i < 4; ++i) {
        HGLOBAL m = LoadUI(names[i]);
        ASSERT_TRUE(m);
        int w = 0, h = 0;
        PxDibGetSize(m, &w, &h);
        HRGN cut = MaskRegionSquareBySquare(BaseMemLock(m), 255);
        BaseMemUnlock(m);
        ASSERT_TRUE(cut) << names[i] << " selects some pixels";
        POINT at = UiCornerOffset(i, 200, 100, w, h);
        OffsetRgn(cut, at.x, at.y);
        CombineRgn(want, want, cut, RGN_DIFF);
        DeleteObject(cut);
        BaseMemFree(m);
    }
    HRGN got = WindowRegion(win.hwnd());
    ASSERT_TRUE(got);
    EXPECT_EQ(RegionRects(want), RegionRects(got));
    for (POINT p : {POINT{0, 0}, POINT{199, 0}, POINT{199, 99}, POINT{0, 99}})
        EXPECT_FALSE(PtInRegion(got, p.x, p.y)) << "corner " << p.x << "," << p.y << " is cut";
    EXPECT_TRUE(PtInRegion(got, 100, 50));
    DeleteObject(got);
    DeleteObject(want);
}

TEST(SetCtrlSkin, ImagesSizeAndShapeFromUIFiles)
{
    NoGdiLeft leaks;
    TestWindow screen(300, 200, 50, 40);
    GUI::CSKUICtrl ctrl;
    ASSERT_TRUE(ctrl.Create("b_Send", screen.hwnd(), RECT{20, 30, 60, 50}, 100));
    BlockWatch blocks;
    SetCtrlSkin(&ctrl, "SkinBtn_normal.bmp", "SkinBtn_down.bmp", NULL, "WndFrmMask_lt.bmp", "missing.bmp");
    EXPECT_EQ(3u, blocks.Loaded().size()) << "the mask and two state images";
    EXPECT_TRUE(blocks.AllLoadedFreed()) << "images freed after the control copied them, the mask by SetWindowMask";
    EXPECT_EQ("(20,30,92,54)", RectText(RectInParent(ctrl.GetSafeHwnd())))
        << "keeps its place, takes its state-0 image's size (72 x 24)";
    EXPECT_TRUE(ctrl.GetControlDib(0));
    EXPECT_TRUE(ctrl.GetControlDib(1));
    EXPECT_FALSE(ctrl.GetControlDib(2)) << "no name";
    EXPECT_FALSE(ctrl.GetControlDib(3)) << "no such file";
    HRGN got = WindowRegion(ctrl.GetSafeHwnd());
    ASSERT_TRUE(got) << "shaped by the mask";
    EXPECT_TRUE(PtInRegion(got, 0, 0)) << "the mask's selected pixels stay visible";
    EXPECT_FALSE(PtInRegion(got, 7, 7));
    EXPECT_FALSE(PtInRegion(got, 40, 10));
    DeleteObject(got);
}

TEST(SetCtrlSkin, WithoutStateZeroImageOrMask)
{
    const struct Row {
        const char *what, *state0, *mask;
        bool dressed;  // its other images set and shaped by the mask
    } rows[] = {
        {"no state-0 image: dressed, not resized", NULL, "WndFrmMask_rb.bmp", true},
        {"no mask: nothing at all", "SkinBtn_normal.bmp", NULL, false},
        {"a mask that does not load: nothing at all", "SkinBtn_normal.bmp", "no_such_mask.bmp", false},
    };
    TestWindow screen(300, 200);
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        GUI::CSKUICtrl ctrl;
        ASSERT_TRUE(ctrl.Create("b_Other", screen.hwnd(), RECT{20, 30, 60, 50}, 101));
        SetCtrlSkin(&ctrl, r.state0, "SkinBtn_down.bmp", NULL, r.mask, NULL);
        EXPECT_EQ("(20,30,60,50)", RectText(RectInParent(ctrl.GetSafeHwnd())));
        EXPECT_FALSE(ctrl.GetControlDib(0));
        EXPECT_EQ(r.dressed, ctrl.GetControlDib(1) != 0);
        HRGN got = WindowRegion(ctrl.GetSafeHwnd());
        EXPECT_EQ(r.dressed, got != NULL);
        if (got)
            DeleteObject(got);
    }
    SetCtrlSkin(nullptr, "a", "b", "c", "d", "e");  // no control: nothing
    BlockWatch blocks;
    GUI::CSKUICtrl none;
    SetCtrlSkin(&none, "SkinBtn_normal.bmp", "SkinBtn_down.bmp", NULL, "WndFrmMask_rb.bmp", NULL);
    EXPECT_TRUE(blocks.Loaded().empty()) << "a control without window loads nothing";
}
