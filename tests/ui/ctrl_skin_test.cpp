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

RECT PlaceInParent(HWND ctrl)
{
    RECT rc;
    GetWindowRect(ctrl, &rc);
    POINT a = {rc.left, rc.top}, b = {rc.right, rc.bottom};
    ScreenToClient(GetParent(ctrl), &a);
    ScreenToClient(GetParent(ctrl), &b);
    return RECT{a.x, a.y, b.x, b.y};
}

}  // namespace

TEST(UiFolder, HoldsTheDefaultMasksAndButtons)
{
    for (const char *name : {"WndFrmMask_lt.bmp", "WndFrmMask_rt.bmp", "WndFrmMask_rb.bmp", "WndFrmMask_lb.bmp",
                             "SkinBtn_normal.bmp", "SkinBtn_down.bmp"}) {
        HGLOBAL h = LoadUI(name);
        EXPECT_TRUE(h) << name;
        if (h)
            BaseMemFree(h);
    }
}

TEST(SetWindowFrameRgn, FreesOnlyWhatItLoaded)
{
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
}

TEST(SetWindowFrameRgn, ZerosLoadTheDefaultCorners)
{
    GdiCount gdi;
    {
        TestWindow win(200, 100);
        BlockWatch blocks;
        SetWindowFrameRgn(win.hwnd(), 0, 0, 0, 0);
        EXPECT_EQ(4u, blocks.Loaded().size()) << "the four default masks are loaded";
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
        EXPECT_TRUE(EqualRgn(got, want));
        EXPECT_EQ("", PixelDifference(got, want, 200, 100));
        for (POINT p : {POINT{0, 0}, POINT{199, 0}, POINT{199, 99}, POINT{0, 99}})
            EXPECT_FALSE(PtInRegion(got, p.x, p.y)) << "corner " << p.x << "," << p.y << " is cut";
        EXPECT_TRUE(PtInRegion(got, 100, 50));
        DeleteObject(got);
        DeleteObject(want);
    }
    EXPECT_EQ(0, gdi.Regions());
}

TEST(SetCtrlSkin, ImagesSizeAndShapeFromUIFiles)
{
    GdiCount gdi;
    TestWindow screen(300, 200, 50, 40);
    GUI::CSKUICtrl ctrl;
    ASSERT_TRUE(ctrl.Create("b_Send", screen.hwnd(), RECT{20, 30, 60, 50}, 100));
    BlockWatch blocks;
    SetCtrlSkin(&ctrl, "SkinBtn_normal.bmp", "SkinBtn_down.bmp", NULL, "WndFrmMask_lt.bmp", "missing.bmp");
    EXPECT_EQ(3u, blocks.Loaded().size()) << "the mask and two state images";
    EXPECT_TRUE(blocks.AllLoadedFreed()) << "images freed after the control copied them, the mask by SetWindowMask";
    RECT rc = PlaceInParent(ctrl.GetSafeHwnd());
    EXPECT_EQ(20, rc.left) << "keeps its place";
    EXPECT_EQ(30, rc.top);
    EXPECT_EQ(72, rc.right - rc.left) << "takes its state-0 image's size";
    EXPECT_EQ(24, rc.bottom - rc.top);
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
    EXPECT_EQ(0, gdi.Regions());
}

TEST(SetCtrlSkin, WithoutStateZeroImageTheControlStaysPut)
{
    TestWindow screen(300, 200);
    GUI::CSKUICtrl ctrl;
    ASSERT_TRUE(ctrl.Create("b_Other", screen.hwnd(), RECT{20, 30, 60, 50}, 101));
    SetCtrlSkin(&ctrl, NULL, "SkinBtn_down.bmp", NULL, "WndFrmMask_rb.bmp", NULL);
    RECT rc = PlaceInParent(ctrl.GetSafeHwnd());
    EXPECT_EQ(20, rc.left);
    EXPECT_EQ(40, rc.right - rc.left) << "not resized";
    EXPECT_EQ(20, rc.bottom - rc.top);
    EXPECT_TRUE(ctrl.GetControlDib(1));
    HRGN got = WindowRegion(ctrl.GetSafeHwnd());
    EXPECT_TRUE(got) << "still shaped";
    if (got)
        DeleteObject(got);
}

TEST(SetCtrlSkin, WithoutMaskNothingAtAll)
{
    TestWindow screen(300, 200);
    GUI::CSKUICtrl ctrl;
    ASSERT_TRUE(ctrl.Create("b_Third", screen.hwnd(), RECT{20, 30, 60, 50}, 102));
    SetCtrlSkin(&ctrl, "SkinBtn_normal.bmp", "SkinBtn_down.bmp", NULL, NULL, NULL);
    SetCtrlSkin(&ctrl, "SkinBtn_normal.bmp", "SkinBtn_down.bmp", NULL, "no_such_mask.bmp", NULL);
    EXPECT_EQ(40, PlaceInParent(ctrl.GetSafeHwnd()).right - 20);
    EXPECT_FALSE(ctrl.GetControlDib(0)) << "not even the state images are loaded";
    EXPECT_FALSE(ctrl.GetControlDib(1));
    EXPECT_EQ("null", RegionRects(WindowRegion(ctrl.GetSafeHwnd())));
    SetCtrlSkin(nullptr, "a", "b", "c", "d", "e");  // no control: nothing
}

TEST(SetCtrlSkin, AControlWithoutWindowLoadsNothing)
{
    BlockWatch blocks;
    GUI::CSKUICtrl none;
    SetCtrlSkin(&none, "SkinBtn_normal.bmp", "SkinBtn_down.bmp", NULL, "WndFrmMask_rb.bmp", NULL);
    EXPECT_TRUE(blocks.AllLoadedFreed());
    EXPECT_TRUE(blocks.Loaded().empty());
}
