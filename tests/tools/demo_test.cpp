/* The main job, end to end, in-process: the sample media, and a folder that is not there (a person's
 * folders go through the demo in the Compose tests). */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo.h"
#include "message/mime_bytes.h"
#include "testkit.h"
#include "tools/preview_testkit.h"

using preview_test::Mentions;
using preview_test::RunDemo;

TEST(Demo, SampleMediaTravelToThePhoneIntact)
{
    testkit::TempDir work;
    demo::Options o;
    o.workFolder = work.path();
    demo::Report r;
    auto lines = RunDemo(o, &r);
    ASSERT_TRUE(r.ok) << r.failedStep << ": " << r.reason;
    // The SMIL start part and the five media of the two slides, each compared byte for byte.
    EXPECT_EQ(r.partsChecked, 5);
    EXPECT_EQ(r.thumbnails, 2);  // photo.jpg and logo.png
    // Both previews of what arrived: the storyboard reads back, the page names its slides.
    EXPECT_GT(preview_test::ReadPicture(r.storyboard).w, 0) << r.storyboard;
    EXPECT_NE(mimetest::ReadText(r.webPage).find("2 slides"), std::string::npos) << r.webPage;
    EXPECT_TRUE(r.damaged.empty());
    auto sent = testkit::ReadFileBytes(r.sentFile);
    ASSERT_FALSE(sent.empty()) << r.sentFile;
    EXPECT_EQ(sent, testkit::ReadFileBytes(r.receivedFile));
    EXPECT_EQ(sent[0], 0x84);
    EXPECT_TRUE(Mentions(lines, "application/vnd.wap.multipart.related"));
    EXPECT_TRUE(Mentions(lines, "application/vnd.wap.multipart.mixed"));

    // The in-process socket table gives the same result as the platform's link.
    testkit::TempDir work2;
    o.workFolder = work2.path();
    o.inProcessLink = true;
    demo::Report r2;
    RunDemo(o, &r2);
    ASSERT_TRUE(r2.ok) << r2.failedStep << ": " << r2.reason;
    EXPECT_EQ(r2.partsChecked, r.partsChecked);
}

TEST(Demo, MissingFolderFailsAtItsStep)
{
    testkit::TempDir work;
    demo::Options o;
    o.userFolder = work.file("no-such-folder");
    o.workFolder = work.file("out");
    demo::Report r;
    RunDemo(o, &r);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, "media folder");
}
