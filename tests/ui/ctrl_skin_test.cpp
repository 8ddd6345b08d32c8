/*
 * Skinned controls from UI files, and the default corner masks of the UI folder (the stand-in's
 * drawn masks and buttons, installed beside the test program).
 */
#include <gtest/gtest.h>

#include "baseui.h"
#include "basemem.h"
#include "gdi_count.h"
#include "pixkit.h"
#include "skuilib.h"
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

    // Where each corner's mask sits, to the pixel: WindowCorners.
    HRGN got = WindowRegion(win.hwnd());
    ASSERT_TRUE(got);
    for (POINT p : {POINT{0, 0}, POINT{199, 0}, POINT{199, 99}, POINT{0, 99}})
        EXPECT_FALSE(PtInRegion(got, p.x, p.y)) << "corner " << p.x << "," << p.y << " is cut";
    EXPECT_TRUE(PtInRegion(got, 100, 50));
    DeleteObject(got);
}

TEST(SetCtrlSkin, ImagesSizeAndShapeFromUIFiles)
{
    NoGdiLeft leaks;
    const struct Row {
        const char *what, *state0, *mask, *place;
        size_t loaded;  // the mask and the state images; none without the mask
    } rows[] = {
        {"keeps its place, takes its state-0 image's size (72 x 24)", "SkinBtn_normal.bmp", "WndFrmMask_lt.bmp",
         "(20,30,92,54)", 3},
        {"no state-0 image: dressed, not resized", NULL, "WndFrmMask_lt.bmp", "(20,30,60,50)", 2},
        {"no mask: nothing at all", "SkinBtn_normal.bmp", NULL, "(20,30,60,50)", 0},
        {"a mask that does not load: nothing at all", "SkinBtn_normal.bmp", "no_such_mask.bmp", "(20,30,60,50)", 0},
    };
    TestWindow screen(300, 200, 50, 40);
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        GUI::CSKUICtrl ctrl;
        ASSERT_TRUE(ctrl.Create("b_Send", screen.hwnd(), RECT{20, 30, 60, 50}, 100));
        BlockWatch blocks;
        SetCtrlSkin(&ctrl, r.state0, "SkinBtn_down.bmp", NULL, r.mask, "missing.bmp");
        EXPECT_EQ(r.loaded, blocks.Loaded().size());
        EXPECT_TRUE(blocks.AllLoadedFreed()) << "images freed after the control copied them, the mask by SetWindowMask";
        EXPECT_EQ(r.place, RectText(RectInParent(ctrl.GetSafeHwnd())));
        EXPECT_EQ(r.loaded == 3, ctrl.GetControlDib(0) != 0);
        EXPECT_EQ(r.loaded != 0, ctrl.GetControlDib(1) != 0);
        EXPECT_FALSE(ctrl.GetControlDib(2)) << "no name";
        EXPECT_FALSE(ctrl.GetControlDib(3)) << "no such file";
        HRGN got = WindowRegion(ctrl.GetSafeHwnd());
        EXPECT_EQ(r.loaded != 0, got != NULL) << "shaped by the mask";
        if (got) {
            EXPECT_TRUE(PtInRegion(got, 0, 0)) << "the mask's selected pixels stay visible";
            EXPECT_FALSE(PtInRegion(got, 7, 7));
            EXPECT_FALSE(PtInRegion(got, 40, 10));
            DeleteObject(got);
        }
    }
    SetCtrlSkin(nullptr, "a", "b", "c", "d", "e");  // no control: nothing
    BlockWatch blocks;
    GUI::CSKUICtrl none;
    SetCtrlSkin(&none, "SkinBtn_normal.bmp", "SkinBtn_down.bmp", NULL, "WndFrmMask_rb.bmp", NULL);
    EXPECT_TRUE(blocks.Loaded().empty()) << "a control without window loads nothing";
}
