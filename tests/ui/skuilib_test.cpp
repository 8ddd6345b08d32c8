/*
 * The skinned-GUI class library: the modal dialog's hooks in the order it calls them, its three
 * endings, controls made from a template (pictures, names, clicks, the disabled state,
 * tooltips), user-defined areas, the plain window base, and every virtual slot called by index.
 */
#include <gtest/gtest.h>

#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "baseui.h"
#include "gdi_count.h"
#include "skui_template.h"
#include "skuilib.h"
#include "testkit.h"
#include "ui_modal.h"
#include "ui_window.h"

using namespace uitest;

namespace {

/* A template of its own, in a temporary folder (its pictures missing but one). */
struct Template {
    testkit::TempDir dir;
    std::string layout = dir.file("udf.ui"), images = dir.file("img.ui");
    Template()
    {
        testkit::WriteFileText(layout, "medley-ui 1\ntemplate probe\nsize 200 100\nbackground 102030\n"
                                       "button b_OK 10 70 60 90\nbutton b_Cancel 70 70 120 90\n"
                                       "area w_text 10 10 190 60\nend\n");
        testkit::WriteFileText(images, "medley-ui 1\ntemplate probe\nimage b_OK 0 okpic.bmp\n"
                                       "image b_Cancel 0 missing.bmp\nend\n");
        // One real picture: a 4 x 2 24-bit red BMP.
        std::vector<unsigned char> bmp = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 4, 0, 0, 0, 2,
                                          0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 24, 0, 0, 0};
        bmp.resize(54, 0);
        for (int i = 0; i < 8; ++i)
            bmp.insert(bmp.end(), {0, 0, 255});
        testkit::WriteFileBytes(dir.file("okpic.bmp"), bmp);
    }
};

int g_probesGone = 0;

class Probe : public CSKUIDialogBox {
public:
    SKUI_DECLARE_DESTROY(Probe)
    ~Probe() { ++g_probesGone; }
    std::string calls;  // "hook; hook; ..."
    GUI::CButton ok, cancel;
    GUI::CSKUIUserDefineArea text;
    int paints = 0;
    bool frameAtShape = false, frameHiddenAtShape = false;

    BOOL OnInit(LPCSTR lpszTemplate, HWND hWnd) override
    {
        calls += std::string("OnInit ") + (lpszTemplate ? lpszTemplate : "(null)") + "; ";
        BOOL r = CSKUIDialogBox::OnInit(lpszTemplate, hWnd);
        calls += "OnInit base done; ";
        return r;
    }
    BOOL DoAttachCtrl() override
    {
        calls += "DoAttachCtrl; ";
        CSKUIDialogBox::DoAttachCtrl();
        ok.AttachCtrl(GetSafeHwnd(), "b_OK");
        cancel.AttachCtrl(GetSafeHwnd(), "b_Cancel");
        text.AttachCtrl(GetSafeHwnd(), "w_text");
        return TRUE;
    }
    void OnShapeFrame() override
    {
        calls += "OnShapeFrame; ";
        frameAtShape = IsWindow(GetFrameHwnd()) && GetParent() && GetParent()->GetSafeHwnd() == GetFrameHwnd();
        frameHiddenAtShape = !::IsWindowVisible(GetFrameHwnd());
    }
    BOOL SKUIWndMsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT *pResult) override
    {
        if (uMsg == WM_SHOWWINDOW)
            calls += wParam ? "shown; " : "hidden; ";
        return CSKUIDialogBox::SKUIWndMsgProc(uMsg, wParam, lParam, pResult);
    }
    BOOL OnSKUI_Command(LPCSTR lpszCtrlName, LPARAM lValue) override
    {
        calls += std::string("command ") + lpszCtrlName + " " + std::to_string((long)lValue) + "; ";
        return CSKUIDialogBox::OnSKUI_Command(lpszCtrlName, lValue);
    }
    void OnSKUI_OwnerDrawTemplate(HDC) override { ++paints; }
};

}  // namespace

TEST(SkuiDialog, HooksInOrderAndControlsFromTheTemplate)
{
    Template t;
    Probe dlg;
    ASSERT_TRUE(dlg.SetUITemplate("probe", t.layout.c_str(), t.images.c_str()));
    TestWindow parent(400, 300);
    bool parentDisabled = false;
    HWND ok = NULL;
    int enabledState = -1, disabledState = -1;
    bool okPicture = false, cancelPicture = true;
    COLORREF okPixel = 0, back = 0;
    RECT area = {}, okRect = {};
    std::string name;
    char tips[32] = "";
    int tipsLen = -1;
    bool crossBound = true;
    auto inspect = [&] {
        Pump();
        parentDisabled = !IsWindowEnabled(parent.hwnd());
        dlg.text.GetRect(&area);
        ok = dlg.ok.GetSafeHwnd();
        name = dlg.ok.GetName();
        okPicture = dlg.ok.GetControlDib(0) != 0;
        cancelPicture = dlg.cancel.GetControlDib(0) != 0;
        okRect = RectInParent(ok);
        enabledState = dlg.ok.GetState();
        dlg.ok.EnableWindow(FALSE);
        disabledState = dlg.ok.GetState();
        dlg.ok.SetTips("Yes, please");
        tipsLen = dlg.ok.GetTips(tips, sizeof tips);
        UpdateWindow(dlg.GetFrameHwnd());
        HDC dc = GetDC(dlg.GetSafeHwnd());
        okPixel = GetPixel(dc, 11, 71);
        GUI::CSKUIUserDefineArea a;
        GUI::CButton b;
        crossBound = a.AttachCtrl(dlg.GetSafeHwnd(), "b_OK") || b.AttachCtrl(dlg.GetSafeHwnd(), "w_text") ||
                     b.AttachCtrl(dlg.GetSafeHwnd(), "b_OK");
        back = GetPixel(dc, 150, 95);
        ReleaseDC(dlg.GetSafeHwnd(), dc);
    };
    INT_PTR r = RunDriven(&dlg,
                          {inspect, [&] { PostClick(dlg.GetSafeHwnd(), "b_OK"); },
                           [&] {
                               // Enabled again, pressed, then let go outside the button: no command.
                               dlg.ok.EnableWindow(TRUE);
                               PostMessageA(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
                               PostMessageA(ok, WM_LBUTTONUP, 0, MAKELPARAM(-4, 30));
                           },
                           [&] { PostClick(dlg.GetSafeHwnd(), "b_OK"); },
                           [&] { PostMessageA(dlg.GetFrameHwnd(), WM_CLOSE, 0, 0); }},
                          parent.hwnd());
    EXPECT_EQ(SKUI_RESULT_CLOSE, r) << "WM_CLOSE of the holder is OnClose";
    EXPECT_EQ("OnInit probe; DoAttachCtrl; OnInit base done; OnShapeFrame; shown; command b_OK 0; ", dlg.calls)
        << "a disabled control is not clicked";
    EXPECT_TRUE(dlg.frameAtShape) << "the frame hook runs once the holding window exists";
    EXPECT_TRUE(dlg.frameHiddenAtShape) << "and before it is shown";
    EXPECT_GE(dlg.paints, 1);
    EXPECT_TRUE(parentDisabled) << "modal: the parent is disabled while it runs";
    EXPECT_TRUE(IsWindowEnabled(parent.hwnd())) << "and enabled again";
    EXPECT_EQ("(10,10,190,60)", RectText(area));
    EXPECT_EQ(NULL, dlg.GetSafeHwnd()) << "the windows are gone";
    EXPECT_EQ(NULL, dlg.ok.GetSafeHwnd()) << "bound controls are let go with their windows";
    EXPECT_EQ("b_OK", name);
    EXPECT_TRUE(okPicture) << "the picture the image file names";
    EXPECT_FALSE(cancelPicture) << "a picture that does not load is skipped";
    EXPECT_EQ("(10,70,60,90)", RectText(okRect));
    EXPECT_EQ(0, enabledState);
    EXPECT_EQ(3, disabledState) << "disabled draws state 3";
    EXPECT_EQ("Yes, please", std::string(tips));
    EXPECT_EQ(11, tipsLen);
    EXPECT_EQ(RGB(255, 0, 0), okPixel) << "the control draws its picture";
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), back) << "the screen paints the template's background";
    EXPECT_FALSE(crossBound) << "an area binds only an area, a button only a control (and one wrapper each)";
}

TEST(SkuiDialog, ThreeDistinctEndingsAndEndDialog)
{
    Template t;
    struct Ending {
        int slot;  // 0: EndDialog(1234); -1: WM_QUIT, which ends the loop and is posted again
        INT_PTR want;
    } endings[] = {{11, SKUI_RESULT_OK}, {12, SKUI_RESULT_CANCEL}, {13, SKUI_RESULT_CLOSE}, {0, 1234},
                   {-1, SKUI_RESULT_CANCEL}};
    Probe dlg;
    ASSERT_TRUE(dlg.SetUITemplate("probe", t.layout.c_str(), t.images.c_str()));
    dlg.EndDialog(5);  // not running: ignored
    for (const Ending &e : endings)  // the same object runs again each time
        EXPECT_EQ(e.want, RunDriven(&dlg, {[&] {
                                        e.slot > 0 ? CallSlot<void>(&dlg, e.slot)
                                                   : e.slot ? PostQuitMessage(7) : dlg.EndDialog(1234);
                                    }}))
            << "slot " << e.slot;
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, m.wParam);
}

TEST(SkuiDialog, WithoutTemplateStillRunsAndEnds)
{
    Probe dlg;
    testkit::TempDir dir;
    std::string bad = dir.file("bad.ui");
    testkit::WriteFileText(bad, "medley-ui 1\ntemplate probe\nsize 0 0\nend\n");
    EXPECT_FALSE(dlg.SetUITemplate("probe", bad.c_str(), bad.c_str()));
    EXPECT_NE(std::string::npos, std::string(dlg.GetUITemplateError()).find("line 3")) << dlg.GetUITemplateError();
    EXPECT_FALSE(dlg.SetUITemplate("probe", dir.file("none.ui").c_str(), bad.c_str()));
    EXPECT_EQ(nullptr, dlg.GetUITemplate());
    SIZE sz = dlg.GetScreenSize();
    EXPECT_EQ(320, sz.cx);
    EXPECT_EQ(160, sz.cy);
    NoGdiLeft leaks;
    EXPECT_EQ(SKUI_RESULT_CLOSE, RunDriven(&dlg, {[&] { PostMessageA(dlg.GetFrameHwnd(), WM_CLOSE, 0, 0); }}));
    EXPECT_EQ(NULL, dlg.ok.GetSafeHwnd()) << "no control to bind";
    RECT r = {1, 1, 1, 1};
    dlg.text.GetRect(&r);
    EXPECT_TRUE(IsRectEmpty(&r));
}

TEST(SkuiLayout, EverySlotByIndex)
{
    Template t;
    // CSKUIWnd 0..3 on a wrapper.
    TestWindow win(50, 50);
    auto *w = new GUI::CSKUIWnd;
    EXPECT_TRUE(CallSlot<BOOL>(w, 0, win.hwnd()));
    EXPECT_EQ(w, GUI::CSKUIWnd::FromHandlePermanent(win.hwnd()));
    CallSlot<BOOL>(w, 2, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(win.hwnd()));
    EXPECT_EQ(win.hwnd(), CallSlot<HWND>(w, 1));
    EXPECT_EQ(nullptr, GUI::CSKUIWnd::FromHandlePermanent(win.hwnd()));
    CallSlot<void *>(w, 3, (uint32_t)1);  // deleted
    EXPECT_TRUE(IsWindow(win.hwnd())) << "an attached window is not the wrapper's to destroy";

    // The dialog's hooks 4..10 (11..13 end a running dialog: see ThreeDistinctEndings).
    auto *p = new Probe;
    p->SetUITemplate("probe", t.layout.c_str(), t.images.c_str());
    CallSlot<BOOL>(p, 4, "name", (HWND)NULL);
    CallSlot<BOOL>(p, 5);
    CallSlot<void>(p, 6);
    LRESULT res = 0;
    EXPECT_FALSE(CallSlot<BOOL>(p, 7, (UINT)WM_SHOWWINDOW, (WPARAM)1, (LPARAM)0, &res));
    CallSlot<BOOL>(p, 9, "b_X", (LPARAM)5);
    CallSlot<void>(p, 10, (HDC)NULL);
    EXPECT_EQ("OnInit name; DoAttachCtrl; OnInit base done; DoAttachCtrl; OnShapeFrame; shown; command b_X 5; ", p->calls);
    EXPECT_EQ(1, p->paints);
    TestWindow holder(60, 60);
    EXPECT_EQ(0, CallSlot<LRESULT>(p, 8, holder.hwnd(), (UINT)WM_SHOWWINDOW, (WPARAM)0, (LPARAM)0));
    EXPECT_EQ("hidden; ", p->calls.substr(p->calls.size() - 8)) << "the procedure asks SKUIWndMsgProc first";
    int gone = g_probesGone;
    CallSlot<void *>(p, 3, (uint32_t)1);
    EXPECT_EQ(gone + 1, g_probesGone) << "slot 3 runs the most derived destructor";
}

namespace {

class Echo : public CWndBase {
public:
    SKUI_DECLARE_DESTROY(Echo)
    std::vector<UINT> seen;
    LRESULT MessageProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back(uMsg);
        if (uMsg == WM_USER + 1)
            return 42;
        return CWndBase::MessageProc(uMsg, wParam, lParam);
    }
};

}  // namespace

TEST(SkuiWndBase, RegistersCreatesAndRoutes)
{
    HINSTANCE inst = GetModuleHandleA(NULL);
    ASSERT_TRUE(CWndBase::RegisterWndClass(inst, "SkuiTestEcho", CS_DBLCLKS, NULL, NULL, NULL));
    EXPECT_FALSE(CWndBase::RegisterWndClass(inst, "SkuiTestEcho", CS_DBLCLKS, NULL, NULL, NULL))
        << "registered once, as RegisterClassExA";
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExA(inst, "SkuiTestEcho", &wc));
    EXPECT_EQ((UINT)CS_DBLCLKS, wc.style);
    HWND h;
    {
        Echo e;
        h = e.Create("SkuiTestEcho", "t", WS_POPUP, 0, 0, 10, 10, NULL, NULL, inst);
        ASSERT_TRUE(h);
        EXPECT_EQ(h, e.GetSafeHwnd());
        EXPECT_EQ(NULL, e.Create("SkuiTestEcho", "t", WS_POPUP, 0, 0, 10, 10, NULL, NULL, inst)) << "one window";
        EXPECT_EQ(42, SendMessageA(h, WM_USER + 1, 0, 0));
        EXPECT_EQ(42, CallSlot<LRESULT>(&e, 4, (UINT)(WM_USER + 1), (WPARAM)0, (LPARAM)0));
        ASSERT_FALSE(e.seen.empty());
        EXPECT_EQ((UINT)WM_NCCREATE, e.seen[0]) << "bound from the first message it can take";
    }
    EXPECT_FALSE(IsWindow(h)) << "the window it made goes with it";
    Echo gone;
    HWND h2 = gone.Create("SkuiTestEcho", "t", WS_POPUP, 0, 0, 10, 10, NULL, NULL, inst);
    DestroyWindow(h2);
    EXPECT_EQ(NULL, gone.GetSafeHwnd()) << "a window destroyed from outside lets its object go";
    EXPECT_EQ(NULL, Echo().Create("NoSuchClass", "t", WS_POPUP, 0, 0, 10, 10, NULL, NULL, inst));
}

namespace {

BOOL WINAPI FailingWorkArea(UINT, UINT, PVOID pv, UINT)
{
    if (pv)
        memset(pv, 0x7F, sizeof(RECT));  // what an unread rectangle might hold
    return FALSE;
}

std::set<void *> g_skuilibBlocks;
void *(__cdecl *g_realMalloc)(size_t);
void(__cdecl *g_realFree)(void *);
void *__cdecl CountedMalloc(size_t n)
{
    void *p = g_realMalloc(n);
    if (p)
        g_skuilibBlocks.insert(p);
    return p;
}
void __cdecl CountedFree(void *p)
{
    g_skuilibBlocks.erase(p);
    g_realFree(p);
}

}  // namespace

TEST(SkuiDialog, CentredOnTheScreenWhenTheWorkAreaIsUnknown)
{
    Template t;
    Probe dlg;
    ASSERT_TRUE(dlg.SetUITemplate("probe", t.layout.c_str(), t.images.c_str()));
    HMODULE lib = GetModuleHandleA("SKUILib.dll");
    void *real = PatchImport(lib, "user32.dll", "SystemParametersInfoA", (void *)FailingWorkArea);
    ASSERT_TRUE(real);
    RECT at = {};
    RunDriven(&dlg, {[&] { GetWindowRect(dlg.GetFrameHwnd(), &at); }, [&] { dlg.EndDialog(1); }});
    PatchImport(lib, "user32.dll", "SystemParametersInfoA", real);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 200) / 2, at.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 100) / 2, at.top);
}

TEST(SkuiDialog, HolderWrappersGoWithTheirWindows)
{
    Template t;
    auto run = [&] {
        Probe dlg;  // asks for its holder's wrapper at OnShapeFrame
        ASSERT_TRUE(dlg.SetUITemplate("probe", t.layout.c_str(), t.images.c_str()));
        RunDriven(&dlg, {[&] { dlg.EndDialog(1); }});
    };
    run();  // what the library makes once, it makes here
    HMODULE lib = GetModuleHandleA("SKUILib.dll");
    g_skuilibBlocks.clear();
    g_realMalloc = (decltype(g_realMalloc))PatchImport(lib, nullptr, "malloc", (void *)CountedMalloc);
    g_realFree = (decltype(g_realFree))PatchImport(lib, nullptr, "free", (void *)CountedFree);
    ASSERT_TRUE(g_realMalloc && g_realFree);
    for (int i = 0; i < 5; ++i)
        run();
    const size_t kept = g_skuilibBlocks.size();
    PatchImport(lib, nullptr, "malloc", (void *)g_realMalloc);
    PatchImport(lib, nullptr, "free", (void *)g_realFree);
    EXPECT_EQ(0u, kept) << "five dialogs and their holders' wrappers leave nothing behind";
}
