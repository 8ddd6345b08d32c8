/* SMIL presentations built from containers: the slide model. */
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "message.h"
#include "message/mime_bytes.h"
#include "testkit.h"

namespace {

using mimetest::Count;
using mimetest::ReadText;

struct Fixture {
    testkit::TempDir dir;
    HMMSCONTAINER c = mmsContainerCreate();
    ~Fixture() { mmsContainerDestroy(c); }

    int Add(int timeline, int type, const char *name, DWORD dur, int frame, DWORD end = 0, DWORD begin = 0)
    {
        std::string p = dir.file(name);
        testkit::WriteFileText(p, name);
        while (mmsGetTimeLineCount(c) <= timeline)
            mmsInsertTimeLine(c, -1);
        MEDIA_ATT a;
        memset(&a, 0, sizeof a);
        a.dwDur = dur;
        a.dwEnd = end;
        a.dwBegin = begin;
        int i = mmsInsertObject(c, timeline, type, nullptr, p.c_str(), &a, -1);
        EXPECT_GE(i, 0);
        EXPECT_TRUE(mmsSetMediaFrame(c, timeline, i, frame));
        return i;
    }
    std::string Build(const char *name = "out.smil")
    {
        std::string out = dir.file(name);
        EXPECT_EQ(1, BuildSmilFromContainer(c, out.c_str()));
        return out;
    }
};

TEST(SmilBuild, CompanionsMatchByMediaFrame)
{
    Fixture f;
    f.Add(0, MDOC_TYPE_IMAGE, "a.jpg", 2000, 0);
    f.Add(0, MDOC_TYPE_IMAGE, "b.jpg", 2000, 1);
    f.Add(0, MDOC_TYPE_IMAGE, "c.jpg", 3000, 2);
    f.Add(1, MDOC_TYPE_TEXT, "a.txt", 5000, 0);
    f.Add(1, MDOC_TYPE_TEXT, "c.txt", 0, 2);
    std::string out = f.Build();
    std::string text = ReadText(out);
    EXPECT_EQ(3u, Count(text, "<par"));
    EXPECT_EQ(2u, Count(text, "<text"));
    // image + text (the text's duration), image alone, image + text (text has none: 0 -> the
    // second time value, also 0, so the par has no duration).
    size_t p1 = text.find("<par dur=\"5000ms\">\n   <img src=\"a.jpg\" region=\"Image\"/>\n   <text src=\"a.txt\"/>");
    size_t p2 = text.find("<par dur=\"2000ms\">\n   <img src=\"b.jpg\" region=\"Image\"/>\n  </par>");
    size_t p3 = text.find("<par>\n   <img src=\"c.jpg\" region=\"Image\"/>\n   <text src=\"c.txt\"/>");
    EXPECT_NE(std::string::npos, p1) << text;
    EXPECT_NE(std::string::npos, p2) << text;
    EXPECT_NE(std::string::npos, p3) << text;
    EXPECT_LT(p1, p2);
    EXPECT_LT(p2, p3);

    // The presentation loads back into the same slides.
    HMMSCONTAINER back = mmsContainerCreate();
    ASSERT_TRUE(mmsContainerLoad(back, out.c_str()));
    EXPECT_EQ(3, mmsGetObjectCountByTimeLine(back, 0));
    EXPECT_EQ(2, mmsGetObjectCountByTimeLine(back, 1));
    EXPECT_EQ(0, mmsGetMediaFrame(back, 1, 0));
    EXPECT_EQ(2, mmsGetMediaFrame(back, 1, 1));
    mmsContainerDestroy(back);
}

TEST(SmilBuild, RegionFromFirstNonAudioObject)
{
    Fixture f;
    REGION audioRegion = {(LPSTR) "Sound", 1, 2, 3, 4, nullptr, 0};
    REGION imageRegion = {(LPSTR) "Pic", 0, 10, 176, 120, (LPSTR) "meet", 2};
    int ra = mmsAddRegion(f.c, &audioRegion);
    int ri = mmsAddRegion(f.c, &imageRegion);
    f.Add(0, MDOC_TYPE_AUDIO, "tune.mid", 4000, 0);
    f.Add(0, MDOC_TYPE_IMAGE, "pic.gif", 2000, 1);
    ASSERT_TRUE(mmsSetObjectRegion(f.c, 0, 0, ra));
    ASSERT_TRUE(mmsSetObjectRegion(f.c, 0, 1, ri));
    ROOT_LAYOUT rl = {176, 208, (LPSTR) "#000000"};
    ASSERT_TRUE(mmsSetRootLayout(f.c, &rl));
    std::string text = ReadText(f.Build());
    EXPECT_EQ(1u, Count(text, "<region"));
    EXPECT_NE(std::string::npos,
              text.find("<region id=\"Image\" left=\"0\" top=\"10\" width=\"176\" height=\"120\" fit=\"meet\" z-index=\"2\"/>"))
        << text;
    EXPECT_NE(std::string::npos, text.find("<root-layout width=\"176\" height=\"208\" background-color=\"#000000\"/>"));
    EXPECT_EQ(std::string::npos, text.find("Sound"));
    EXPECT_EQ(std::string::npos, text.find("Pic\""));
}

TEST(SmilBuild, EndStandsInForADurationAndOnlyMainObjectsBegin)
{
    Fixture f;
    f.Add(0, MDOC_TYPE_IMAGE, "a.jpg", 0, 0, 4000, 700);  // no duration: its end stands in
    f.Add(0, MDOC_TYPE_IMAGE, "b.jpg", 2500, 1, 9000);  // a duration wins over the end
    f.Add(0, MDOC_TYPE_IMAGE, "c.jpg", 1000, 2);
    f.Add(1, MDOC_TYPE_TEXT, "c.txt", 0, 2, 6000, 900);  // a companion: its time, never its begin
    // Every image has a region of its own; the presentation has one, "Image", the first's.
    REGION r1 = {(LPSTR) "One", 1, 2, 30, 40, (LPSTR) "meet", 0};
    REGION r2 = {(LPSTR) "Two", 5, 6, 70, 80, (LPSTR) "slice", 0};
    ASSERT_TRUE(mmsSetObjectRegion(f.c, 0, 0, mmsAddRegion(f.c, &r1)));
    ASSERT_TRUE(mmsSetObjectRegion(f.c, 0, 1, mmsAddRegion(f.c, &r2)));
    ASSERT_TRUE(mmsSetObjectRegion(f.c, 0, 2, mmsAddRegion(f.c, &r2)));
    std::string text = ReadText(f.Build());
    EXPECT_NE(std::string::npos, text.find("<par dur=\"4000ms\">\n   <img src=\"a.jpg\" region=\"Image\" begin=\"700ms\"/>"))
        << text;
    EXPECT_NE(std::string::npos, text.find("<par dur=\"2500ms\">\n   <img src=\"b.jpg\"")) << text;
    EXPECT_NE(std::string::npos, text.find("<par dur=\"6000ms\">\n   <img src=\"c.jpg\" region=\"Image\"/>\n   <text src=\"c.txt\"/>"))
        << text;
    EXPECT_EQ(1u, Count(text, "begin="));
    EXPECT_EQ(1u, Count(text, "<region"));
    EXPECT_NE(std::string::npos, text.find("<region id=\"Image\" left=\"1\" top=\"2\" width=\"30\" height=\"40\""))
        << text;
}


TEST(SmilBuild, FailedObjectInfoKeepsPreviousDuration)
{
    Fixture f;
    f.Add(0, MDOC_TYPE_IMAGE, "a.jpg", 3000, 0);
    f.Add(1, MDOC_TYPE_TEXT, "a.txt", 4000, 0);
    f.Add(1, MDOC_TYPE_TEXT, "z.txt", 1000, 5);  // makes two slides; timeline 0 has no second object
    std::string text = ReadText(f.Build());
    EXPECT_EQ(2u, Count(text, "<par dur=\"4000ms\">"));
    EXPECT_NE(std::string::npos, text.find("<par dur=\"4000ms\">\n  </par>")) << text;
    EXPECT_EQ(std::string::npos, text.find("z.txt"));
}

TEST(SmilBuild, EmptyContainerGivesLayoutOnlyAndFailuresAreReported)
{
    Fixture f;
    std::string text = ReadText(f.Build());
    EXPECT_NE(std::string::npos, text.find("<root-layout/>"));
    EXPECT_EQ(0u, Count(text, "<par"));
    EXPECT_EQ(0u, Count(text, "<region"));
    testkit::TempDir d;
    EXPECT_EQ(0, BuildSmilFromContainer(nullptr, d.file("x.smil").c_str()));
    f.Add(0, MDOC_TYPE_IMAGE, "a.jpg", 3000, 0);
    // A presentation that cannot be written is reported as a failure.
    EXPECT_EQ(0, BuildSmilFromContainer(f.c, d.file("no\\such\\x.smil").c_str()));
}

}  // namespace
