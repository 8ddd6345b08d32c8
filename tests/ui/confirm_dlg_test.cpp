/*
 * The confirmation dialog, driven by posted input inside its own loop: pictures per style and
 * when they are set, which button is usable, command names in any case, the message drawn into
 * its area (pixels read back), the result of each ending, and nothing leaked when pictures or
 * strings are missing (a dialog without its template: skuilib_test).
 */
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>

#include "basemem.h"
#include "baseui.h"
#include "confirmdlg.h"
#include "gdi_count.h"
#include "pixkit.h"
#include "skui_template.h"
#include "ui_fixture.h"
#include "ui_modal.h"
#include "ui_window.h"

using namespace uitest;

namespace {

enum { kOneLine = 9001, kTwoLines = 9002, kEmpty = 9003, kLong = 9004, kSecond = 9005 };

struct Strings {
    TestProvider provider;
    Strings()
    {
        provider.strings[89] = "Close";
        provider.strings[kOneLine] = "Delete it?";
        provider.strings[kTwoLines] = "First line\nsecond";
        provider.strings[kLong] = std::string(300, 'L');
        provider.strings[kSecond] = "Not shown";
        UseProvider(&provider);
    }
    ~Strings() { UseProvider(nullptr); }
};

/* A picture of the UI folder as the dialog loads it, to compare with a control's copy. */
std::vector<BYTE> UIPicture(const char *name)
{
    char path[MAX_PATH];
    GetUIPath(name, path);
    // The imaging library's own entry, not the test program's watched import.
    auto load = (decltype(&PxLoadBmpFileThumbnail))(void (*)())GetProcAddress(GetModuleHandleA("PixKit.dll"),
                                                                   "PxLoadBmpFileThumbnail");
    HGLOBAL h = load ? load(path, 0, 0) : 0;
    std::vector<BYTE> b = h ? BlockBytes(h, false) : std::vector<BYTE>();
    if (h)
        BaseMemFree(h);
    return b;
}

/* The white pixels' bounding box inside rc of the screen window (an empty one when none). */
RECT WhiteBox(HWND screen, RECT rc)
{
    RECT box = {rc.right, rc.bottom, rc.left, rc.top};
    HDC dc = GetDC(screen);
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            if (GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) > 200)
                box = RECT{std::min(box.left, (LONG)x), std::min(box.top, (LONG)y), std::max(box.right, (LONG)x + 1),
                           std::max(box.bottom, (LONG)y + 1)};
        }
    ReleaseDC(screen, dc);
    return box;
}

RECT AreaRect(const CConfirmDlg &dlg)
{
    const GUI::SkuiControlDef *c = dlg.GetUITemplate() ? dlg.GetUITemplate()->Find("w_message1") : nullptr;
    return c ? RECT{c->left, c->top, c->right, c->bottom} : RECT{0, 0, 0, 0};
}

/* Closes whatever confirmation dialog is up (a thread timer's procedure). */
void CALLBACK CloseDialogs(HWND, UINT, UINT_PTR, DWORD)
{
    if (HWND frame = FindWindowA("SKUIDialogFrame", NULL))
        PostMessageA(frame, WM_CLOSE, 0, 0);
}

HWND Ctrl(const CConfirmDlg &dlg, const char *name) { return GUI::CSKUICtrl::FindCtrlWindow(dlg.GetSafeHwnd(), name); }

std::vector<BYTE> CtrlPicture(const CConfirmDlg &dlg, const char *name, int state)
{
    auto *c = GUI::CSKUICtrl::FindInScreen(dlg.GetSafeHwnd(), name);
    HGLOBAL h = c ? c->GetControlDib(state) : 0;
    return h ? BlockBytes(h, true) : std::vector<BYTE>();
}

}  // namespace

TEST(ConfirmDlg, OkStyleDressesCancelAndNeverEnablesOk)
{
    Strings s;
    NoGdiLeft leaks;
    BlockWatch pics;
    CConfirmDlg dlg;
    dlg.SetMessage(kOneLine, CONFIRM_STYLE_OK);
    EXPECT_STREQ("Delete it?", dlg.GetText(0));
    bool okEnabled = true, cancelEnabled = false, cutCorner = false;
    std::vector<BYTE> cancel0, ok3;
    std::string tips;
    auto inspect = [&] {
        UpdateWindow(dlg.GetFrameHwnd());
        Pump();
        okEnabled = IsWindowEnabled(Ctrl(dlg, "b_OK"));
        cancelEnabled = IsWindowEnabled(Ctrl(dlg, "b_Cancel"));
        cancel0 = CtrlPicture(dlg, "b_Cancel", 0);
        ok3 = CtrlPicture(dlg, "b_OK", 3);
        char t[32] = "";
        static_cast<GUI::CButton *>(GUI::CSKUICtrl::FromHandlePermanent(Ctrl(dlg, "b_Exit")))->GetTips(t, sizeof t);
        tips = t;
        HRGN r = WindowRegion(dlg.GetFrameHwnd());
        cutCorner = r && !PtInRegion(r, 0, 0) && PtInRegion(r, 150, 70);
        if (r)
            DeleteObject(r);
    };
    EXPECT_EQ(SKUI_RESULT_CANCEL, RunDriven(&dlg, {inspect, [&] { PostClick(dlg.GetSafeHwnd(), "b_OK"); },  // disabled
                                                   [&] { PostClick(dlg.GetSafeHwnd(), "b_Cancel"); }}))
        << "the OK answer is the b_Cancel button";
    EXPECT_FALSE(okEnabled) << "OK style never enables b_OK, painted or not";
    EXPECT_TRUE(cancelEnabled);
    EXPECT_EQ(UIPicture("ok1.bmp"), cancel0);
    EXPECT_EQ(UIPicture("invalid.bmp"), ok3);
    EXPECT_EQ("Close", tips) << "string 89";
    EXPECT_TRUE(cutCorner) << "the holder's corners are cut by the default masks";
    const std::vector<std::string> want = {"ok1.bmp", "ok2.bmp", "ok3.bmp", "ok5.bmp", "invalid.bmp"};
    EXPECT_EQ(want, std::vector<std::string>(pics.Asked().begin(), pics.Asked().begin() + 5)) << "in table order";
    EXPECT_EQ(0u, dlg.GetStyle());
}

TEST(ConfirmDlg, YesNoStyleSetsPicturesOnceAndEnablesYesOnPaint)
{
    Strings s;
    BlockWatch pics;
    CConfirmDlg dlg;
    dlg.SetMessage(kOneLine, CONFIRM_STYLE_YESNO);
    bool okEnabled = false;
    size_t afterFirstShow = 0, afterSecondShow = 0;
    std::vector<BYTE> yes0, no3;
    EXPECT_EQ(SKUI_RESULT_OK, RunDriven(&dlg, {[&] {
                                                  UpdateWindow(dlg.GetFrameHwnd());
                                                  okEnabled = IsWindowEnabled(Ctrl(dlg, "b_OK"));
                                                  afterFirstShow = pics.Asked().size();
                                                  yes0 = CtrlPicture(dlg, "b_OK", 0);
                                                  no3 = CtrlPicture(dlg, "b_Cancel", 3);
                                              },
                                              [&] { ShowWindow(dlg.GetSafeHwnd(), SW_HIDE); },
                                              [&] {
                                                  ShowWindow(dlg.GetSafeHwnd(), SW_SHOW);
                                                  afterSecondShow = pics.Asked().size();
                                              },
                                              [&] { PostClick(dlg.GetSafeHwnd(), "b_OK"); }}));
    EXPECT_EQ(8u, afterFirstShow);
    EXPECT_EQ(8u, afterSecondShow) << "shown again in Yes/No style: no second load";
    EXPECT_EQ(1u, dlg.GetStyle());
    EXPECT_TRUE(okEnabled) << "the paint in style 1 enables b_OK";
    EXPECT_EQ(UIPicture("Yes1.bmp"), yes0);
    EXPECT_EQ(UIPicture("no5.bmp"), no3);
    // A second run of the same dialog: style 1 by now, still no load.
    EXPECT_EQ(SKUI_RESULT_CANCEL, RunDriven(&dlg, {[&] { PostClick(dlg.GetSafeHwnd(), "b_Cancel"); }}));
    EXPECT_EQ(8u, pics.Asked().size());
}

TEST(ConfirmDlg, CommandNamesInAnyCaseAndUnreadableNames)
{
    Strings s;
    struct Case {
        const char *name;
        INT_PTR want;
    } cases[] = {{"B_OK", SKUI_RESULT_OK}, {"b_cancel", SKUI_RESULT_CANCEL}, {"B_EXIT", SKUI_RESULT_CLOSE}};
    for (const Case &c : cases) {
        CConfirmDlg dlg;
        dlg.SetMessage(kOneLine, CONFIRM_STYLE_YESNO);
        EXPECT_EQ(c.want, RunDriven(&dlg, {[&] {
                                               // Unreadable and unknown names change nothing.
                                               CallSlot<BOOL>(&dlg, 9, (LPCSTR)(UINT_PTR)8, (LPARAM)0);
                                               dlg.OnSKUI_Command("b_Nothing", 0);
                                           },
                                           [&] { CallSlot<BOOL>(&dlg, 9, c.name, (LPARAM)0); }}))
            << c.name;
    }
    CConfirmDlg dlg;
    EXPECT_EQ(0, RunDriven(&dlg, {[&] { dlg.CloseDialog(); }})) << "CloseDialog ends with 0";

    // "b_OK" with no terminator before a page that cannot be read: not a readable string, so
    // the handling stops (the dialog goes on until it is closed).
    BYTE *pages = (BYTE *)VirtualAlloc(NULL, 2 * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    ASSERT_TRUE(pages);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old));
    char *edge = (char *)pages + 4096 - 4;
    memcpy(edge, "b_OK", 4);
    CConfirmDlg cut;
    cut.SetMessage(kOneLine, 1);
    EXPECT_EQ(SKUI_RESULT_CLOSE, RunDriven(&cut, {[&] { cut.OnSKUI_Command(edge, 0); },
                                                  [&] { PostMessageA(cut.GetFrameHwnd(), WM_CLOSE, 0, 0); }}))
        << "an unreadable name ends nothing";
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(ConfirmDlg, MessageDrawnCentredOrFromTheTopLeft)
{
    Strings s;
    RECT one = {}, two = {}, none = {1, 1, 1, 1}, area = {};
    for (int id : {kOneLine, kTwoLines, kEmpty}) {
        CConfirmDlg dlg;
        dlg.SetMessage(id, CONFIRM_STYLE_OK);
        RunDriven(&dlg, {[&] {
                             UpdateWindow(dlg.GetFrameHwnd());
                             area = AreaRect(dlg);
                             (id == kOneLine ? one : id == kTwoLines ? two : none) = WhiteBox(dlg.GetSafeHwnd(), area);
                         },
                         [&] { dlg.OnCancel(); }});
    }
    ASSERT_FALSE(IsRectEmpty(&one)) << "the one-line message is drawn";
    const int lineHeight = one.bottom - one.top;
    EXPECT_LE(abs((one.left - area.left) - (area.right - one.right)), 2) << "centred across";
    EXPECT_LE(abs((one.top - area.top) - (area.bottom - one.bottom)), 3) << "centred down";
    EXPECT_GT(one.top, area.top + 10);
    ASSERT_FALSE(IsRectEmpty(&two));
    EXPECT_LE(two.left - area.left, 2) << "from the left edge";
    EXPECT_LE(two.top - area.top, 4) << "from the top";
    EXPECT_GT(two.bottom - two.top, lineHeight + 4) << "on two lines";
    EXPECT_TRUE(IsRectEmpty(&none)) << "an empty message draws nothing";
}

TEST(ConfirmDlg, BoxesTheSecondTextAndMemoryRunningShort)
{
    Strings s;
    CConfirmDlg dlg;
    dlg.SetMessage(kLong, kSecond, CONFIRM_STYLE_YESNO);
    EXPECT_EQ(259u, strlen(dlg.GetText(0))) << "a longer string is cut to the buffer";
    EXPECT_STREQ("Not shown", dlg.GetText(1));
    EXPECT_EQ(4u, dlg.GetStyle());
    dlg.SetMessage(kOneLine, CONFIRM_STYLE_OK);
    EXPECT_STREQ("Not shown", dlg.GetText(1)) << "the two-argument form leaves it";

    // The free functions run a whole dialog; a thread timer closes whatever dialog is up.
    UINT_PTR t = SetTimer(NULL, 0, 50, CloseDialogs);
    TestWindow parent(300, 200);
    EXPECT_EQ(SKUI_RESULT_CLOSE, ConfirmBox(parent.hwnd(), kOneLine, CONFIRM_STYLE_OK));
    EXPECT_EQ(SKUI_RESULT_CLOSE, ConfirmBoxEx(parent.hwnd(), kOneLine, kSecond, CONFIRM_STYLE_YESNO));
    // Memory running short fails the box (the timer closes one that came up after all).
    FailNthNew(1);
    INT_PTR r = 0;
    EXPECT_NO_THROW(r = ConfirmBox(NULL, kLong, CONFIRM_STYLE_OK));
    FailNthNew(0);
    EXPECT_EQ(-1, r);
    KillTimer(NULL, t);
    EXPECT_TRUE(IsWindowEnabled(parent.hwnd()));
}

TEST(ConfirmDlg, MissingPicturesAndStringsLeakNothing)
{
    NoGdiLeft leaks;
    {
        BlockWatch pics;
        pics.Fail("ok1.bmp");
        pics.Fail("ok5.bmp");
        CConfirmDlg dlg;
        dlg.SetMessage(kOneLine, CONFIRM_STYLE_OK);  // no provider: an empty message
        std::vector<BYTE> c0, c1, c3;
        EXPECT_EQ(SKUI_RESULT_CANCEL, RunDriven(&dlg, {[&] {
                                                          UpdateWindow(dlg.GetFrameHwnd());
                                                          c0 = CtrlPicture(dlg, "b_Cancel", 0);
                                                          c1 = CtrlPicture(dlg, "b_Cancel", 1);
                                                          c3 = CtrlPicture(dlg, "b_Cancel", 3);
                                                      },
                                                      [&] { PostClick(dlg.GetSafeHwnd(), "b_Cancel"); }}));
        EXPECT_STREQ("", dlg.GetText(0));
        EXPECT_EQ(UIPicture("no1.bmp"), c0) << "a missing picture leaves the template's";
        EXPECT_EQ(UIPicture("ok2.bmp"), c1);
        EXPECT_EQ(UIPicture("no5.bmp"), c3);
        EXPECT_EQ(5u, pics.Asked().size());
        EXPECT_EQ(3u, pics.Given().size());
        for (HGLOBAL h : pics.Given())
            EXPECT_TRUE(pics.Freed(h)) << "every loaded picture is freed";
    }
}

TEST(ConfirmDlg, EverySlotByIndex)
{
    Strings s;
    NoGdiLeft leaks;  // the font made for drawing is deleted
    auto *dlg = new CConfirmDlg;
    dlg->SetMessage(kOneLine, CONFIRM_STYLE_YESNO);
    LRESULT res = 0;
    // Slot 7 on a shown screen sets the Yes/No pictures (no window: SetCtrlImage finds nothing).
    EXPECT_FALSE(CallSlot<BOOL>(dlg, 7, (UINT)WM_SHOWWINDOW, (WPARAM)1, (LPARAM)0, &res));
    EXPECT_EQ(1u, dlg->GetStyle());
    CallSlot<BOOL>(dlg, 9, "b_OK", (LPARAM)0);  // not running: nothing ends (4..6: SkuiLayout)
    TestWindow win(300, 140);
    HDC dc = GetDC(win.hwnd());
    CallSlot<void>(dlg, 10, dc);
    ReleaseDC(win.hwnd(), dc);
    CallSlot<void *>(dlg, 3, (uint32_t)1);
}

namespace {

/* The pixels of the row two pixels below a control's top edge (where its focus mark runs). */
std::vector<COLORREF> MarkRow(HWND ctrl)
{
    UpdateWindow(ctrl);
    RECT rc;
    GetClientRect(ctrl, &rc);
    std::vector<COLORREF> row;
    HDC dc = GetDC(ctrl);
    for (int x = 2; x < rc.right - 2; ++x)
        row.push_back(GetPixel(dc, x, 2));
    ReleaseDC(ctrl, dc);
    return row;
}

}  // namespace

TEST(ConfirmDlg, DrivenFromTheKeyboard)
{
    Strings s;
    const struct Row {
        const char *what;
        uint32_t style;
        std::vector<UINT> keys;
        INT_PTR want;
    } rows[] = {
        {"Enter answers Yes", CONFIRM_STYLE_YESNO, {VK_RETURN}, SKUI_RESULT_OK},
        {"Escape answers No", CONFIRM_STYLE_YESNO, {VK_ESCAPE}, SKUI_RESULT_CANCEL},
        {"Tab to No, Enter", CONFIRM_STYLE_YESNO, {VK_TAB, VK_RETURN}, SKUI_RESULT_CANCEL},
        {"Tab to No, space", CONFIRM_STYLE_YESNO, {VK_TAB, VK_SPACE}, SKUI_RESULT_CANCEL},
        {"Tab to the close box, space", CONFIRM_STYLE_YESNO, {VK_TAB, VK_TAB, VK_SPACE}, SKUI_RESULT_CLOSE},
        {"Tab round to Yes", CONFIRM_STYLE_YESNO, {VK_TAB, VK_TAB, VK_TAB, VK_RETURN}, SKUI_RESULT_OK},
        {"Alt+F4 closes", CONFIRM_STYLE_YESNO, {kAltF4}, SKUI_RESULT_CLOSE},
        {"OK style: Enter answers OK", CONFIRM_STYLE_OK, {VK_RETURN}, SKUI_RESULT_CANCEL},
        {"OK style: Escape answers OK", CONFIRM_STYLE_OK, {VK_ESCAPE}, SKUI_RESULT_CANCEL},
        {"OK style: Tab skips the disabled button", CONFIRM_STYLE_OK, {VK_TAB, VK_TAB, VK_RETURN}, SKUI_RESULT_CANCEL},
    };
    for (const Row &r : rows) {
        CConfirmDlg dlg;
        dlg.SetMessage(kOneLine, r.style);
        std::vector<std::function<void()>> steps;
        for (UINT key : r.keys)
            steps.push_back([key] { PostKey(key); });
        ModalDriver drive(&dlg, steps);
        EXPECT_EQ(r.want, dlg.DoModal(NULL)) << r.what;
        EXPECT_FALSE(drive.stuck()) << r.what;
        EXPECT_EQ(r.keys.size(), drive.done()) << r.what;
    }
}

TEST(ConfirmDlg, TheFocusedButtonShowsAMark)
{
    Strings s;
    CConfirmDlg dlg;
    dlg.SetMessage(kOneLine, CONFIRM_STYLE_YESNO);
    HWND focusAtStart = NULL;
    std::vector<COLORREF> yesFocused, noPlain, yesPlain, noFocused;
    EXPECT_EQ(SKUI_RESULT_CANCEL, RunDriven(&dlg, {[&] {
                                                      focusAtStart = GetFocus();
                                                      yesFocused = MarkRow(Ctrl(dlg, "b_OK"));
                                                      noPlain = MarkRow(Ctrl(dlg, "b_Cancel"));
                                                      PostKey(VK_TAB);
                                                  },
                                                  [&] {
                                                      yesPlain = MarkRow(Ctrl(dlg, "b_OK"));
                                                      noFocused = MarkRow(Ctrl(dlg, "b_Cancel"));
                                                      PostKey(VK_ESCAPE);
                                                  }}));
    EXPECT_NE(nullptr, focusAtStart);
    EXPECT_NE(yesFocused, yesPlain) << "Yes loses its mark";
    EXPECT_NE(noPlain, noFocused) << "No gains it";
    EXPECT_FALSE(yesFocused.empty());
}
