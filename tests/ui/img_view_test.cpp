/*
 * The image view: its window class, painting (pixels read back), image ownership, the mouse
 * reaching the parent in the parent's coordinates, every slot by index; and the frame's size
 * handler with its grip.
 */
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "basemem.h"
#include "baseui.h"
#include "gdi_count.h"
#include "imgview.h"
#include "pixkit.h"
#include "ui_window.h"

using namespace uitest;

TEST(ImgView, PaintsBackgroundThenImage)
{
    NoGdiLeft leaks;
    TestWindow parent(200, 100);  // paints itself RGB(40, 90, 200)
    UpdateWindow(parent.hwnd());
    const COLORREF parentBlue = RGB(40, 90, 200);
    CImgView v;
    RECT rc = {20, 10, 60, 40};
    ASSERT_TRUE(v.Create(GetModuleHandleA(NULL), parent.hwnd(), &rc));
    EXPECT_EQ(IMGVIEW_NO_BACKGROUND, v.GetBkColor());

    // Background set, no image: nothing painted at all.
    v.SetBkColor(0x00FF00);
    UpdateWindow(v.GetSafeHwnd());
    EXPECT_EQ(parentBlue, PixelOf(v.GetSafeHwnd(), 5, 5));

    // An image the album cannot draw (16 bits): the green background alone shows it was filled.
    v.SetDib(SolidDib(4, 4, 0xFF0000, 16), 0);
    EXPECT_EQ(RGB(0, 255, 0), PixelOf(v.GetSafeHwnd(), 5, 5));
    EXPECT_EQ(RGB(0, 255, 0), PixelOf(v.GetSafeHwnd(), 39, 29));

    // A drawable image over the background: the image, scaled over the whole view.
    v.SetDib(SolidDib(2, 2, 0xFF0000), 0);
    EXPECT_EQ(RGB(255, 0, 0), PixelOf(v.GetSafeHwnd(), 0, 0));
    EXPECT_EQ(RGB(255, 0, 0), PixelOf(v.GetSafeHwnd(), 39, 29));

    // No background (0xFFFFFFFF): only the image is painted; what was there stays around it.
    v.SetBkColor(IMGVIEW_NO_BACKGROUND);
    HDC dc = GetDC(v.GetSafeHwnd());
    RECT all = {0, 0, 40, 30};
    FillRect(dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
    ReleaseDC(v.GetSafeHwnd(), dc);
    v.SetDib(SolidDib(4, 4, 0xFF0000, 16), 0);
    EXPECT_EQ(RGB(0, 0, 0), PixelOf(v.GetSafeHwnd(), 5, 5)) << "no fill under an image that does not draw";
    v.SetDib(SolidDib(2, 2, 0x0000FF), 0);
    EXPECT_EQ(RGB(0, 0, 255), PixelOf(v.GetSafeHwnd(), 20, 15));
}

TEST(ImgView, ImageOwnership)
{
    BlockWatch blocks;
    CImgView v;
    EXPECT_EQ(0, v.GetDib(1)) << "no image: no copy";
    EXPECT_EQ(0, v.GetDib(0));
    HGLOBAL a = SolidDib(3, 3, 0x123456), b = SolidDib(3, 3, 0x654321), c = SolidDib(3, 3, 0);
    EXPECT_EQ(NULL, v.Create(GetModuleHandleA(NULL), NULL, nullptr)) << "no rectangle";
    EXPECT_EQ(0, v.SetDib(a, 0)) << "without window: only stored";
    EXPECT_EQ(a, v.GetDib(0));
    HGLOBAL copy = v.GetDib(1);
    ASSERT_TRUE(copy);
    EXPECT_NE(a, copy) << "a distinct block";
    EXPECT_EQ(BlockBytes(a, false), BlockBytes(copy, false));
    BaseMemFree(copy);

    EXPECT_EQ(a, v.SetDib(b, 1)) << "keep: the previous image comes back to the caller";
    EXPECT_FALSE(blocks.Freed(a));
    BaseMemFree(a);
    EXPECT_EQ(0, v.SetDib(c, 0));
    EXPECT_TRUE(blocks.Freed(b)) << "not kept: the previous image is freed";
    v.FreeDib();
    EXPECT_TRUE(blocks.Freed(c));
    EXPECT_EQ(0, v.GetDib(0));
    v.FreeDib();  // twice: nothing left to free
}

TEST(ImgView, ClassMouseAndEverySlotByIndex)
{
    HINSTANCE inst = GetModuleHandleA(NULL);
    TestWindow parent(300, 200, 30, 40);
    auto *v = new CImgView;
    CImgView other;
    RECT rc = {100, 50, 120, 70};
    ASSERT_TRUE(v->Create(inst, parent.hwnd(), &rc));
    ASSERT_TRUE(other.Create(inst, parent.hwnd(), &rc)) << "the second view does not register again";
    HWND h = v->GetSafeHwnd();
    TestWindow::MouseSeen().clear();
    EXPECT_EQ(0, SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 3)));
    SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(-2, -3));
    SendMessageA(h, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(0, 0));
    SendMessageA(h, WM_RBUTTONDOWN, 0, MAKELPARAM(1, 1));
    // The mouse reaches the parent in its coordinates: negative view coordinates stay signed;
    // the right button is not passed on.
    const std::vector<std::pair<UINT, LPARAM>> want = {
        {WM_LBUTTONDOWN, MAKELPARAM(102, 53)}, {WM_MOUSEMOVE, MAKELPARAM(98, 47)}, {WM_LBUTTONDBLCLK, MAKELPARAM(100, 50)}};
    EXPECT_EQ(want, TestWindow::MouseSeen());

    EXPECT_TRUE(CImgView::RegisterViewClass(inst));
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExA(inst, IMGVIEW_CLASS, &wc));
    EXPECT_EQ(11u, wc.style);
    EXPECT_EQ(0x52000000u, (DWORD)GetWindowLongA(h, GWL_STYLE));
    EXPECT_EQ(parent.hwnd(), GetParent(h));
    EXPECT_EQ(h, CallSlot<HWND>(v, 1)) << "slot 1: Detech";
    EXPECT_TRUE(CallSlot<BOOL>(v, 0, h)) << "slot 0: Attach";
    CallSlot<BOOL>(v, 2, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(h)) << "slot 2: ShowWindow";
    EXPECT_EQ(1, CallSlot<LRESULT>(v, 4, (UINT)WM_ERASEBKGND, (WPARAM)0, (LPARAM)0)) << "slot 4: MessageProc";
    RECT r = {5, 6, 7, 8};
    EXPECT_EQ(v, CallSlot<CImgView *>(v, 5, (const RECT *)&r));
    HGLOBAL img = SolidDib(2, 2, 0xFF);
    EXPECT_EQ(0, CallSlot<HGLOBAL>(v, 6, img, (uint32_t)0));
    EXPECT_EQ(img, CallSlot<HGLOBAL>(v, 7, (uint32_t)0));
    CallSlot<void>(v, 8, (COLORREF)0x0000FF);
    EXPECT_EQ(0x0000FFu, v->GetBkColor());
    EXPECT_EQ(v, CallSlot<CImgView *>(v, 9, (uint32_t)5));
    EXPECT_EQ(5u, v->GetViewData());
    CallSlot<void>(v, 10);  // outside WM_PAINT: paints nothing, harms nothing
    BlockWatch blocks;
    CallSlot<void *>(v, 3, (uint32_t)1);
    EXPECT_TRUE(blocks.Freed(img)) << "slot 3: the view's own destructor";
    EXPECT_TRUE(IsWindow(h)) << "attached again by hand: the window is not the object's to destroy";
    DestroyWindow(h);
}

TEST(OnFrameSize, RaisesSmallFramesAndPlacesTheGrip)
{
    TestWindow frame(640, 480, 10, 20);
    OnFrameSize(frame.hwnd(), SIZE_RESTORED, MAKELPARAM(640, 480));
    EXPECT_EQ("(10,20,810,620)", RectText(frame.Rect()));
    CImgView &grip = FrameGrip();
    ASSERT_TRUE(IsWindow(grip.GetSafeHwnd()));
    EXPECT_EQ(frame.hwnd(), GetParent(grip.GetSafeHwnd()));
    EXPECT_EQ("(779,579,795,595)", RectText(RectInParent(grip.GetSafeHwnd())));
    EXPECT_TRUE(IsWindowVisible(grip.GetSafeHwnd()));

    // Again: the grip's window is made anew; a frame of exactly 800 x 600 is not moved, one wider
    // than 800 but too low has only its height raised, and the other way round.
    HWND first = grip.GetSafeHwnd();
    const struct {
        int x, y, w, h;
        const char *want;
    } frames[] = {{30, 40, 800, 600, "(30,40,830,640)"}, {0, 0, 900, 300, "(0,0,900,600)"}, {0, 0, 700, 650, "(0,0,800,650)"}};
    for (const auto &f : frames) {
        MoveWindow(frame.hwnd(), f.x, f.y, f.w, f.h, FALSE);
        OnFrameSize(frame.hwnd(), SIZE_RESTORED, 0);
        EXPECT_EQ(f.want, RectText(frame.Rect()));
    }
    EXPECT_FALSE(IsWindow(first));
}

TEST(OnFrameSize, MaximisedTakesTheWorkArea)
{
    RECT saved;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &saved, 0));
    struct Case {
        RECT work;
        int w, h;
    } cases[] = {{{0, 0, 1024, 738}, 1024, 737}, {{0, 0, 800, 600}, 800, 600}, {{10, 20, 710, 520}, 800, 600}};
    TestWindow frame(640, 480);
    for (const Case &c : cases) {
        RECT work = c.work;
        if (!SystemParametersInfoA(SPI_SETWORKAREA, 0, &work, 0)) {
            ADD_FAILURE() << "the work area cannot be set here";
            break;
        }
        RECT now;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &now, 0);
        if (!EqualRect(&now, &work)) {
            // Known Wine divergence: it may keep the work area of its display driver.
            printf("work area stays (%ld,%ld,%ld,%ld); case skipped\n", (long)now.left, (long)now.top,
                   (long)now.right, (long)now.bottom);
            continue;
        }
        OnFrameSize(frame.hwnd(), SIZE_MAXIMIZED, MAKELPARAM(1, 1));
        EXPECT_EQ(RectText({c.work.left, c.work.top, c.work.left + c.w, c.work.top + c.h}), RectText(frame.Rect()));
        EXPECT_FALSE(IsWindowVisible(FrameGrip().GetSafeHwnd())) << "the grip is hidden";
    }
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &saved, 0);
}

TEST(OnFrameSize, WithoutGripPicture)
{
    NoGdiLeft leaks;
    BlockWatch blocks;
    TestWindow frame(640, 480);
    OnFrameSize(frame.hwnd(), SIZE_RESTORED, 0);
    HGLOBAL first = FrameGrip().GetDib(0);
    ASSERT_TRUE(first);
    OnFrameSize(frame.hwnd(), SIZE_RESTORED, 0);
    EXPECT_TRUE(blocks.Freed(first)) << "each call reloads the picture and frees the one before";
    {
        BlockWatch pics;  // a fresh record
        pics.Fail("resize.bmp");
        HGLOBAL kept = FrameGrip().GetDib(0);
        OnFrameSize(frame.hwnd(), SIZE_RESTORED, 0);
        EXPECT_EQ(kept, FrameGrip().GetDib(0)) << "a picture that does not load: the grip keeps its image";
        EXPECT_TRUE(IsWindowVisible(FrameGrip().GetSafeHwnd()));

        FrameGrip().FreeDib();  // as on the first call: no image at all
        OnFrameSize(frame.hwnd(), SIZE_RESTORED, 0);
        const RECT g = RectInParent(FrameGrip().GetSafeHwnd());
        EXPECT_TRUE(IsRectEmpty(&g));
        EXPECT_EQ(0, g.left) << "neither placed: it stays as made, at (0, 0)";
        EXPECT_EQ(0, g.top);
        EXPECT_EQ(800, frame.Rect().right - frame.Rect().left) << "the frame is still sized";
    }
    OnFrameSize(frame.hwnd(), SIZE_RESTORED, 0);
    EXPECT_TRUE(FrameGrip().GetDib(0)) << "back again once it loads";
}
