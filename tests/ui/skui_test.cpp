/*
 * The SKUI stand-in: exports by ordinal, the skinned box's buttons, default and escape
 * answers, its scripted answer, and control images by name (owners and texts: MessageBoxes).
 */
#include <gtest/gtest.h>

#include <string.h>

#include "basemem.h"
#include "gdi_count.h"
#include "skui.h"
#include "skuilib.h"
#include "ui_window.h"

using namespace uitest;

TEST(SkuiExports, ByOrdinalOnly)
{
    HMODULE m = GetModuleHandleA("SKUI.dll");
    ASSERT_TRUE(m);
    EXPECT_EQ((void *)&SkinShowMessage, (void *)GetProcAddress(m, MAKEINTRESOURCEA(12)));
    EXPECT_EQ((void *)&SetCtrlImage, (void *)GetProcAddress(m, MAKEINTRESOURCEA(104)));
    EXPECT_EQ((void *)&SkinMessageBox, (void *)GetProcAddress(m, MAKEINTRESOURCEA(141)));
    EXPECT_EQ((void *)&SkinMessageBoxEx, (void *)GetProcAddress(m, MAKEINTRESOURCEA(142)));
    EXPECT_EQ(NULL, GetProcAddress(m, "SkinMessageBox")) << "no names";
}

TEST(SkinnedBox, DefaultButtonAnswersWhenTheTimeRunsOut)
{
    EXPECT_EQ((DWORD)IDYES, SkinMessageBox(0, MB_YESNO, 1, "Times out"));
    EXPECT_EQ((DWORD)IDNO, SkinMessageBox(0, MB_YESNO | MB_DEFBUTTON2, 1, "Times out"));
    EXPECT_EQ((DWORD)IDCANCEL, SkinMessageBox(0, MB_YESNOCANCEL | MB_DEFBUTTON3, 1, "Times out"));
    EXPECT_EQ((DWORD)IDOK, SkinMessageBox(0, MB_OKCANCEL | MB_DEFBUTTON3, 1, "No third button"));
    SkinShowMessage(0, 1, "A notice that closes itself");
}

TEST(SkinnedBox, ScriptedAnswerFromTheEnvironment)
{
    SetEnvironmentVariableA("MEDLEY_SKUI_ANSWER", "no");
    EXPECT_EQ((DWORD)IDNO, SkinMessageBox(0, MB_YESNO, 5000, "Scripted"));
    SetEnvironmentVariableA("MEDLEY_SKUI_ANSWER", "retry");  // not in a Yes/No box: ignored
    EXPECT_EQ((DWORD)IDYES, SkinMessageBox(0, MB_YESNO, 1, "Scripted"));
    SetEnvironmentVariableA("MEDLEY_SKUI_ANSWER", "default");
    EXPECT_EQ((DWORD)IDCANCEL, SkinMessageBox(0, MB_OKCANCEL | MB_DEFBUTTON2, 5000, "Scripted"));
    SetEnvironmentVariableA("MEDLEY_SKUI_ANSWER", NULL);
}

TEST(SetCtrlImage, NamedControlKeepsItsOwnCopyOfAPlainDib)
{
    NoGdiLeft leaks;
    TestWindow screen(200, 100);
    GUI::CSKUICtrl ok, cancel;
    ASSERT_TRUE(ok.Create("b_OK", screen.hwnd(), RECT{10, 10, 50, 30}, IDOK));
    ASSERT_TRUE(cancel.Create("b_Cancel", screen.hwnd(), RECT{60, 10, 100, 30}, IDCANCEL));
    EXPECT_EQ(&ok, GUI::CSKUICtrl::FindInScreen(screen.hwnd(), "b_OK"));

    HGLOBAL red = SolidDib(40, 20, 0xFF0000);
    EXPECT_TRUE(SetCtrlImage(screen.hwnd(), "b_OK", 0, red));
    HGLOBAL kept = ok.GetControlDib(0);
    ASSERT_TRUE(kept);
    EXPECT_NE(red, kept) << "a copy";
    EXPECT_EQ(BlockBytes(red, false), BlockBytes(kept, true));
    EXPECT_EQ(0, cancel.GetControlDib(0)) << "only the named control";
    BaseMemFree(red);  // the caller frees its block right after

    // The control draws its state image.
    UpdateWindow(ok.GetSafeHwnd());
    EXPECT_EQ(RGB(255, 0, 0), PixelOf(ok.GetSafeHwnd(), 5, 5));

    HGLOBAL blue = SolidDib(40, 20, 0x0000FF);
    EXPECT_FALSE(SetCtrlImage(screen.hwnd(), "b_None", 0, blue));
    EXPECT_FALSE(SetCtrlImage(screen.hwnd(), "b_OK", 4, blue));
    EXPECT_FALSE(SetCtrlImage(NULL, "b_OK", 0, blue));
    EXPECT_TRUE(SetCtrlImage(screen.hwnd(), "b_OK", 3, blue));
    EXPECT_TRUE(ok.GetControlDib(3));
    BaseMemFree(blue);

    // Only a plain DIB is taken: an uncompressed one with the 40-byte header.
    const struct Row {
        DWORD size, compression;
        BOOL want;
    } rows[] = {{40, BI_RGB, TRUE}, {40, BI_RLE8, FALSE}, {40, BI_BITFIELDS, FALSE}, {12, BI_RGB, FALSE},
                {108, BI_RGB, FALSE}, {124, BI_RGB, FALSE}};
    for (const Row &r : rows) {
        HGLOBAL dib = SolidDib(40, 20, 0xFF0000);
        BITMAPINFOHEADER *bih = (BITMAPINFOHEADER *)BaseMemLock(dib);
        bih->biSize = r.size;
        bih->biCompression = r.compression;
        BaseMemUnlock(dib);
        EXPECT_EQ(r.want, SetCtrlImage(screen.hwnd(), "b_OK", 1, dib)) << r.size << " " << r.compression;
        EXPECT_EQ(r.want != FALSE, ok.GetControlDib(1) != 0) << r.size << " " << r.compression;
        SetCtrlImage(screen.hwnd(), "b_OK", 1, 0);
        BaseMemFree(dib);
    }

    // A control window no object wraps (as a screen makes them) takes its image too.
    HWND loose = cancel.Detech();
    HGLOBAL green = SolidDib(40, 20, 0x00FF00);
    EXPECT_TRUE(SetCtrlImage(screen.hwnd(), "b_Cancel", 0, green));
    BaseMemFree(green);
    UpdateWindow(loose);
    EXPECT_EQ(RGB(0, 255, 0), PixelOf(loose, 5, 5));
    DestroyWindow(loose);
}

namespace {

std::vector<UINT> g_keys;
size_t g_nextKey = 0;

/* Posts the next key of g_keys to the focused window, once the box is up. */
void CALLBACK NextKey(HWND, UINT, UINT_PTR id, DWORD)
{
    if (g_nextKey >= g_keys.size()) {  // done: never left to fire into a later box
        KillTimer(NULL, id);
        return;
    }
    if (!FindWindowA("SKUIMessageBox", NULL))
        return;
    PostKey(g_keys[g_nextKey++]);
}

}  // namespace

TEST(SkinnedBox, DrivenFromTheKeyboard)
{
    // Escape and the close command answer Cancel where there is one, OK in an OK-only box, and
    // do nothing in a Yes/No box.  Every box is answered by its keys, long before its time runs
    // out (when its default button would answer).
    const struct Row {
        DWORD type;
        std::vector<UINT> keys;
        DWORD want;
    } rows[] = {
        {MB_YESNO, {VK_RETURN}, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, {VK_RETURN}, IDNO},
        {MB_YESNO, {VK_TAB, VK_RETURN}, IDNO},
        {MB_YESNO, {VK_TAB, VK_SPACE}, IDNO},
        {MB_YESNO, {VK_ESCAPE, VK_TAB, VK_RETURN}, IDNO},
        {MB_YESNO, {kAltF4, VK_TAB, VK_RETURN}, IDNO},
        {MB_YESNOCANCEL, {VK_TAB, VK_TAB, VK_TAB, VK_RETURN}, IDYES},
        {MB_YESNOCANCEL, {VK_ESCAPE}, IDCANCEL},
        {MB_RETRYCANCEL, {VK_RETURN}, IDRETRY},
        {MB_RETRYCANCEL, {VK_ESCAPE}, IDCANCEL},
        {MB_OKCANCEL, {kAltF4}, IDCANCEL},
        {MB_OK, {VK_ESCAPE}, IDOK},
        {MB_OK, {kAltF4}, IDOK},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << ", first key " << r.keys[0]);
        g_keys = r.keys;
        g_nextKey = 0;
        SetTimer(NULL, 0, 30, NextKey);
        const DWORD start = GetTickCount();
        EXPECT_EQ(r.want, SkinMessageBox(0, r.type, 5000, "Keys"));
        EXPECT_LT(GetTickCount() - start, 2500u) << "answered by the keys, not the time";
        EXPECT_EQ(r.keys.size(), g_nextKey);
    }
}
