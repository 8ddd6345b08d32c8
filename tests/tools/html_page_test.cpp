/* The web page: slides and parts of the demo message, escaped outside text, files only inside
 * the output folder, the message never replaced. */
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

#include "fileio.h"
#include "html_page.h"
#include "message/mime_bytes.h"
#include "testkit.h"
#include "tools/preview_testkit.h"

namespace {

using mimetest::Count;
using mimetest::ReadText;

/* A folder for the message and the page, and what writing the page gives. */
class HtmlPage : public ::testing::Test {
protected:
    testkit::TempDir dir;
    preview::HtmlResult r;
    std::string err;
};

}  // namespace

TEST_F(HtmlPage, EscapesEveryMarkupCharacter)
{
    EXPECT_EQ(preview::HtmlEscape("<a href=\"x\" title='y'>&amp;</a>"),
              "&lt;a href=&quot;x&quot; title=&#39;y&#39;&gt;&amp;amp;&lt;/a&gt;");
    EXPECT_EQ(preview::HtmlEscape("plain caf\xC3\xA9"), "plain caf\xC3\xA9");
}

TEST_F(HtmlPage, DemoMessagePlaysItsSlidesFromTheFolder)
{
    std::string msg = preview_test::DemoMessage(dir);
    ASSERT_FALSE(msg.empty());
    std::string out = dir.file("page");
    ASSERT_TRUE(preview::WriteHtmlPreview(msg, out, &r, &err)) << err;
    std::string page = ReadText(r.indexPath);
    EXPECT_EQ(Count(page, "<div class=\"slide\""), 2u);
    EXPECT_EQ(Count(page, "data-dur=\"4000\""), 1u);
    EXPECT_EQ(Count(page, "data-dur=\"3000\""), 1u);
    EXPECT_EQ(Count(page, "<audio src="), 1u);
    EXPECT_EQ(Count(page, "<img src="), 2u);
    EXPECT_NE(page.find("Greetings from the lake"), std::string::npos);
    for (const char *control : {"id=\"play\"", "id=\"next\"", "id=\"prev\""})
        EXPECT_NE(page.find(control), std::string::npos) << control;
    // Nothing reached for outside the folder: every src names a file beside the page.
    for (const char *remote : {"http:", "https:", "<script src"})
        EXPECT_EQ(page.find(remote), std::string::npos) << remote;
    for (size_t at = page.find("src=\""); at != std::string::npos; at = page.find("src=\"", at + 1)) {
        size_t end = page.find('"', at + 5);
        std::string file = page.substr(at + 5, end - at - 5);
        EXPECT_EQ(file.find_first_of("/\\:"), std::string::npos) << file;
        EXPECT_NE(GetFileAttributesA(preview::Join(out, file).c_str()), INVALID_FILE_ATTRIBUTES) << file;
    }
    // A table row per part (the presentation too).
    EXPECT_EQ(Count(page, "<tr><td>"), r.presentation.parts.size());
    // Again over the same folder: the same page.
    preview::HtmlResult again;
    ASSERT_TRUE(preview::WriteHtmlPreview(msg, out, &again, &err)) << err;
    EXPECT_EQ(ReadText(again.indexPath), page);
}

TEST_F(HtmlPage, HostileNamesAndTextsStayText)
{
    const std::vector<std::string> names = {"<img src=x onerror=alert(1)>.jpg", "x\"><script>alert(2)</script>.gif",
                                            "..\\..\\..\\escape.gif"};
    std::string msg = preview_test::MessageWithNames(dir, names);
    ASSERT_FALSE(msg.empty());
    std::string out = dir.file("out");
    ASSERT_TRUE(preview::WriteHtmlPreview(msg, out, &r, &err)) << err;
    std::string page = ReadText(r.indexPath);
    EXPECT_EQ(page.find("<img src=x"), std::string::npos);
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_EQ(Count(page, "<script"), 1u);  // the player only
    EXPECT_NE(page.find("&lt;img src=x onerror=alert(1)&gt;.jpg"), std::string::npos);
    EXPECT_NE(page.find("x&quot;&gt;&lt;script&gt;alert(2)&lt;/script&gt;.gif"), std::string::npos) << page;
    // Staged under our own names with the extension of their content type (all are GIF
    // pictures), never their names', only inside the folder; beside it just what was there.
    EXPECT_EQ(preview_test::FilesIn(out),
              (std::vector<std::string>{"index.html", "part0.gif", "part1.gif", "part2.gif"}));
    std::vector<std::string> beside = preview_test::FilesIn(dir.path());
    EXPECT_EQ(std::count(beside.begin(), beside.end(), "out/"), 1);
    EXPECT_EQ(std::count(beside.begin(), beside.end(), "escape.gif"), 0);
}

TEST_F(HtmlPage, RefusesToReplaceTheMessageOrAFile)
{
    std::string msg = preview_test::DemoMessage(dir);
    ASSERT_FALSE(msg.empty());
    std::vector<unsigned char> bytes = testkit::ReadFileBytes(msg);
    // The output "folder" is a file.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(preview::WriteHtmlPreview(msg, msg, &r, &err));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIRECTORY);
    EXPECT_EQ(testkit::ReadFileBytes(msg), bytes);
    // The message lies in the output folder under a name the page would take.
    std::string out = dir.file("out");
    ASSERT_TRUE(CreateDirectoryA(out.c_str(), nullptr));
    for (const char *name : {"index.html", "part1.jpg", "presentation.smil"}) {
        std::string inside = preview::Join(out, name);
        ASSERT_TRUE(testkit::WriteFileBytes(inside, bytes));
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(preview::WriteHtmlPreview(inside, out, &r, &err)) << name;
        EXPECT_EQ(GetLastError(), (DWORD)FIO_ERROR_OUTPUT_IS_INPUT) << name;
        EXPECT_EQ(testkit::ReadFileBytes(inside), bytes) << name;
        DeleteFileA(inside.c_str());
    }
    // A folder below a missing one is not made (one level only).
    EXPECT_FALSE(preview::WriteHtmlPreview(msg, preview::Join(dir.file("no"), "deeper"), &r, &err));
}
