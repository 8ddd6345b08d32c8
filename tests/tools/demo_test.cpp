/* The main job, end to end, in-process: sample media and a user folder with a damaged file. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo.h"
#include "testkit.h"
#include "tools/preview_testkit.h"

namespace {

std::vector<std::string> RunQuiet(demo::Options &o, demo::Report *r)
{
    std::vector<std::string> lines;
    o.print = [&lines](const std::string &l) { lines.push_back(l); };
    demo::Run(o, r);
    return lines;
}

bool Mentions(const std::vector<std::string> &lines, const std::string &what)
{
    for (const auto &l : lines)
        if (l.find(what) != std::string::npos)
            return true;
    return false;
}

}  // namespace

TEST(Demo, SampleMediaTravelToThePhoneIntact)
{
    testkit::TempDir work;
    demo::Options o;
    o.workFolder = work.path();
    demo::Report r;
    auto lines = RunQuiet(o, &r);
    ASSERT_TRUE(r.ok) << r.failedStep << ": " << r.reason;
    // The SMIL start part and the five media of the two slides, each compared byte for byte.
    EXPECT_EQ(r.partsChecked, 5);
    EXPECT_EQ(r.thumbnails, 2);  // photo.jpg and logo.png
    // Both previews of what arrived: the storyboard reads back, the page names its slides.
    EXPECT_GT(preview_test::ReadPicture(r.storyboard).w, 0) << r.storyboard;
    bool pageOk = false;
    auto page = testkit::ReadFileBytes(r.webPage, &pageOk);
    ASSERT_TRUE(pageOk) << r.webPage;
    EXPECT_NE(std::string(page.begin(), page.end()).find("2 slides"), std::string::npos);
    EXPECT_TRUE(r.damaged.empty());
    bool ok = false;
    auto sent = testkit::ReadFileBytes(r.sentFile, &ok);
    ASSERT_TRUE(ok);
    auto received = testkit::ReadFileBytes(r.receivedFile, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(sent, received);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0], 0x84);
    EXPECT_TRUE(Mentions(lines, "application/vnd.wap.multipart.related"));
    EXPECT_TRUE(Mentions(lines, "application/vnd.wap.multipart.mixed"));

    // The in-process socket table gives the same result as the platform's link.
    testkit::TempDir work2;
    o.workFolder = work2.path();
    o.inProcessLink = true;
    demo::Report r2;
    RunQuiet(o, &r2);
    ASSERT_TRUE(r2.ok) << r2.failedStep << ": " << r2.reason;
    EXPECT_EQ(r2.partsChecked, r.partsChecked);
}

TEST(Demo, DamagedUserFileIsReportedAndTheRestGoesOn)
{
    testkit::TempDir media, work;
    // Good media first, drawn by a sample run, then a picture that is not one.
    {
        demo::Options o;
        o.workFolder = work.path();
        demo::Report r;
        RunQuiet(o, &r);
        ASSERT_TRUE(r.ok) << r.reason;
        for (const char *name : {"photo.jpg", "badge.bmp", "tone.wav", "note.txt"}) {
            bool ok = false;
            auto bytes = testkit::ReadFileBytes(work.file("media") + (testkit::kRealWin32 ? "\\" : "/") + name, &ok);
            ASSERT_TRUE(ok) << name;
            ASSERT_TRUE(testkit::WriteFileBytes(media.file(name), bytes));
        }
    }
    ASSERT_TRUE(testkit::WriteFileText(media.file("broken.jpg"), "this is not a JPEG at all"));
    ASSERT_TRUE(testkit::WriteFileText(media.file("readme.doc"), "not media"));

    testkit::TempDir work2;
    demo::Options o;
    o.userFolder = media.path();
    o.workFolder = work2.path();
    demo::Report r;
    auto lines = RunQuiet(o, &r);
    ASSERT_TRUE(r.ok) << r.failedStep << ": " << r.reason;
    ASSERT_EQ(r.damaged.size(), 1u);
    EXPECT_EQ(r.damaged[0].rfind("broken.jpg", 0), 0u);
    EXPECT_TRUE(Mentions(lines, "broken.jpg - DAMAGED"));
    EXPECT_TRUE(Mentions(lines, "readme.doc - left out"));
    // Without a presentation of its own, the folder gets one slide per picture and the sound.
    EXPECT_GE(r.partsChecked, 4);
    EXPECT_EQ(r.thumbnails, 2);
}

TEST(Demo, MissingFolderFailsAtItsStep)
{
    testkit::TempDir work;
    demo::Options o;
    o.userFolder = work.file("no-such-folder");
    o.workFolder = work.file("out");
    demo::Report r;
    RunQuiet(o, &r);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, "media folder");
}
