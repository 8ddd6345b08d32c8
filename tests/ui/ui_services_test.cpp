/*
 * The UI services on Windows' own window system: placement, dialog fonts, message boxes (plain
 * and skinned, answered by the test's hook) and the open dialog.
 */
#include <gtest/gtest.h>

#include <string.h>

#include "baseui.h"
#include "gdi_count.h"
#include "skui.h"
#include "testkit.h"
#include "ui_answer.h"
#include "ui_fixture.h"
#include "ui_window.h"

using namespace uitest;

namespace {

/* The provider of these tests: product caption, a message, a question. */
TestProvider &Provider()
{
    static TestProvider p;
    p.strings[1] = "Medley Studio";
    p.strings[2] = "ENGLISH";
    p.strings[110] = "Your message has been sent successfully!";
    p.strings[111] = "Send the message now?";
    p.strings[112] = "Sending\nThe phone did not answer.";
    return p;
}

}  // namespace

TEST(Placement, CentredOnTheScreen)
{
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    TestWindow win(301, 120, 3, 4);
    const RECT centred = {(sw - 301) / 2, (sh - 120) / 2, (sw - 301) / 2 + 301, (sh - 120) / 2 + 120};
    EXPECT_EQ(1, CenterWindowOnScreen(win.hwnd()));
    EXPECT_EQ(RectText(centred), RectText(win.Rect())) << "screen " << sw << " x " << sh << ", size kept";

    MoveWindow(win.hwnd(), 3, 4, 301, 120, FALSE);
    EXPECT_EQ(1, CenterWindow(NULL, win.hwnd())) << "no parent: on the screen";
    EXPECT_EQ(RectText(centred), RectText(win.Rect()));

    EXPECT_EQ(1, FillScreenWindow(win.hwnd()));
    EXPECT_EQ(RectText({0, 0, sw, sh}), RectText(win.Rect()));

    EXPECT_EQ(0, CenterWindowOnScreen(NULL));
    EXPECT_EQ(0, FillScreenWindow(NULL));
}

TEST(Placement, CentredOverTheParentInItsOwnCoordinates)
{
    TestWindow parent(400, 300, 100, 50);
    TestWindow child(101, 60, 0, 0, parent.hwnd(), WS_CHILD | WS_VISIBLE);
    EXPECT_EQ(1, CenterWindow(parent.hwnd(), child.hwnd()));
    // Offsets (149, 120) from the parent's origin: on the screen, at the parent's place plus
    // those.
    EXPECT_EQ("(249,170,350,230)", RectText(child.Rect()));

    // An owned popup is moved to the same offsets, on the screen: not added to the parent's
    // place.
    TestWindow popup(101, 60, 0, 0, parent.hwnd());
    EXPECT_EQ(1, CenterWindow(parent.hwnd(), popup.hwnd()));
    EXPECT_EQ(149, popup.Rect().left);
    EXPECT_EQ(120, popup.Rect().top);
    EXPECT_EQ(0, CenterWindow(parent.hwnd(), NULL));
}

TEST(DialogFonts, FromTheProvidersSettings)
{
    NoGdiLeft leaks;
    const struct Row {
        const char *language;  // string 2 of the provider; null: no provider
        HFONT (*make)(int);
        int size;
        LONG height, weight;
        BYTE charset;
        const char *face;
    } rows[] = {
        {"JAPANESE", CreateResFont, 9, -12, 400, 1, "MS Sans Serif"},  // Japanese: at least 12
        {"JAPANESE", CreateResBoldFont, 14, -14, 700, 1, "MS Sans Serif"},
        {"ENGLISH", CreateResBoldFont, 9, -9, 700, 1, "MS Sans Serif"},
        {"ENGLISH", CreateArialFont, 11, -11, 400, 1, "Arial"},  // the character set still the provider's
        {nullptr, CreateResFont, 9, -9, 400, 0, ""},  // no provider: the system picks the face
    };
    for (const Row &r : rows) {
        TestProvider provider;
        if (r.language)
            provider.strings[2] = r.language;
        UseProvider(r.language ? &provider : nullptr);
        HFONT f = r.make(r.size);
        ASSERT_TRUE(f);
        SCOPED_TRACE(r.face);
        LOGFONTA lf;
        memset(&lf, 0xCC, sizeof lf);
        EXPECT_EQ((int)sizeof lf, GetObjectA(f, sizeof lf, &lf));
        DeleteObject(f);
        EXPECT_EQ(r.height, lf.lfHeight);
        EXPECT_EQ(r.weight, lf.lfWeight);
        EXPECT_EQ(r.charset, lf.lfCharSet);
        EXPECT_STREQ(r.face, lf.lfFaceName);
        for (BYTE fixed : {lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut, lf.lfOutPrecision, lf.lfClipPrecision,
                           lf.lfQuality, lf.lfPitchAndFamily})
            EXPECT_EQ(0, fixed);
        EXPECT_EQ((std::vector<LONG>{0, 0, 0}), (std::vector<LONG>{lf.lfWidth, lf.lfEscapement, lf.lfOrientation}));
    }
    UseProvider(nullptr);
}

TEST(MessageBoxes, ResMessageBoxShowsTheProductCaption)
{
    UseProvider(&Provider());
    TestWindow owner(200, 100);
    BoxAnswerer answer;
    answer.Answer(IDNO);
    EXPECT_EQ(IDNO, ResMessageBox(owner.hwnd(), "Delete the album?", MB_YESNO | MB_ICONQUESTION));
    ASSERT_EQ(1u, answer.seen().size());
    const BoxSeen &box = answer.seen()[0];
    EXPECT_EQ("#32770", box.windowClass);
    EXPECT_EQ(owner.hwnd(), box.owner);
    EXPECT_EQ("Medley Studio", box.caption);
    EXPECT_EQ("Delete the album?", box.text);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.buttons);

    testkit::AssertCapture asserts;
    answer.Answer(IDOK);
    EXPECT_EQ(IDOK, ResMessageBox(NULL, nullptr, MB_OK));
    EXPECT_TRUE(asserts.Saw("lpszText"));
    UseProvider(nullptr);
    answer.Answer(IDOK);
    ResMessageBox(NULL, "No frame", MB_OK);
    EXPECT_EQ("", answer.seen().back().caption) << "no provider: empty caption";
}

TEST(MessageBoxes, SkinnedBoxesShowTheStringsAndReturnTheButton)
{
    UseProvider(&Provider());
    NoGdiLeft leaks;
    TestWindow owner(300, 200);
    BoxAnswerer answer;
    const DWORD hOwner = (DWORD)(ULONG_PTR)owner.hwnd();

    answer.Answer(IDNO);
    EXPECT_EQ((DWORD)IDNO, SkinMessageBoxById(hOwner, MB_YESNO, 5000, 111));
    ASSERT_EQ(1u, answer.seen().size());
    const BoxSeen &box = answer.seen()[0];
    EXPECT_EQ("SKUIMessageBox", box.windowClass);
    EXPECT_EQ(owner.hwnd(), box.owner);
    EXPECT_FALSE(box.ownerEnabled) << "modal: the owner is disabled while the box is up";
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd())) << "and enabled again afterwards";
    EXPECT_TRUE(box.topLeftCut) << "the UI folder's corner masks cut the box";
    EXPECT_EQ("Send the message now?", box.text);
    EXPECT_EQ("test", box.caption) << "the owner's title";
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.buttons);

    answer.Answer(IDCANCEL);
    EXPECT_EQ((DWORD)IDCANCEL, SkinMessageBoxExById(hOwner, MB_YESNOCANCEL, 5000, 112));
    EXPECT_EQ("Sending", answer.seen().back().caption) << "Ex: the first line is the caption";
    EXPECT_EQ("The phone did not answer.", answer.seen().back().text);
    EXPECT_EQ((std::vector<int>{IDCANCEL, IDYES, IDNO}), answer.seen().back().buttons);

    answer.Answer(IDOK);
    SkinMessageById(hOwner, 5000, 110);
    EXPECT_EQ("Your message has been sent successfully!", answer.seen().back().text);
    EXPECT_EQ((std::vector<int>{IDOK}), answer.seen().back().buttons);

    answer.Answer(IDOK);
    EXPECT_EQ(0u, SkinMessage(0, 5000, "Plain text"));
    EXPECT_EQ("Plain text", answer.seen().back().text);
    EXPECT_EQ(NULL, answer.seen().back().owner);
    answer.Answer(IDOK);
    SkinMessageBox(0x12345678, MB_OK, 5000, "Not a window");
    EXPECT_EQ(NULL, answer.seen().back().owner) << "a 32-bit value that is no window is no owner";
    EXPECT_EQ(5u, answer.seen().size());
    UseProvider(nullptr);
}

TEST(OpenFileDialog, ChosenFileOrCancel)
{
    testkit::TempDir dir;
    std::string file = dir.file("picture.gif");
    ASSERT_TRUE(testkit::WriteFileText(file, "GIF89a"));
    TestWindow owner(300, 200);
    BoxAnswerer answer;
    char buf[MAX_PATH];
    memset(buf, 'x', sizeof buf);
    answer.Answer(IDOK, file);
    EXPECT_NE(0, OpenFileDialog(owner.hwnd(), "Pictures\0*.gif;*.jpg\0All files\0*.*\0", buf));
    EXPECT_STRCASEEQ(file.c_str(), buf);
    ASSERT_EQ(1u, answer.seen().size());
    EXPECT_TRUE(answer.seen()[0].fileDialog);
    EXPECT_EQ("", answer.seen()[0].fileName) << "no initial name is offered";
    EXPECT_EQ(owner.hwnd(), answer.seen()[0].owner);

    memset(buf, 'x', sizeof buf);
    answer.Answer(IDCANCEL);
    EXPECT_EQ(0, OpenFileDialog(owner.hwnd(), "All files\0*.*\0", buf));
    EXPECT_STREQ("", buf) << "cancelled: an empty string";
}
