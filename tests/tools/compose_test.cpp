/* A folder made into a presentation-led message: its own presentation, or slides made of its
 * pictures with their texts and sounds; texts labelled by their charset; every file accounted
 * for; the folders of a real person, through the demo to the phone. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compose.h"
#include "demo.h"
#include "media_files.h"
#include "picture_files.h"
#include "testkit.h"
#include "message/mime_bytes.h"
#include "tools/preview_testkit.h"

using mimetest::Named;
using mimetest::PartsOf;
using preview_test::Mentions;

namespace {

struct Folder {
    testkit::TempDir dir;
    void Put(const std::string &name, const testkit::Bytes &b) { ASSERT_TRUE(testkit::WriteFileBytes(dir.file(name), b)); }
    void Put(const std::string &name, const std::string &text) { ASSERT_TRUE(testkit::WriteFileText(dir.file(name), text)); }
    void Photo(const std::string &name) { Put(name, testkit::Photo(160, 120, 7)); }
    void Sound(const std::string &name) { Put(name, testkit::PcmWave(8000, 1, 16, 8000)); }  // 1 s
};

/* Two slides: the photo with the text, then the GIF with the sound. */
const char kShow[] =
    "<smil><head><layout><root-layout width=\"176\" height=\"208\"/>"
    "<region id=\"Image\" left=\"0\" top=\"0\" width=\"176\" height=\"144\"/>"
    "<region id=\"Text\" left=\"0\" top=\"144\" width=\"176\" height=\"64\"/></layout></head><body>"
    "<par dur=\"4000ms\"><img src=\"photo.jpg\" region=\"Image\"/><text src=\"c.txt\" region=\"Text\"/></par>"
    "<par dur=\"3000ms\"><img src=\"a.GIF\" region=\"Image\"/><audio src=\"tone.wav\"/></par>"
    "</body></smil>";

/* Loose media without a presentation: two photos, a GIF, a text and a sound. */
void PutLoose(Folder &f)
{
    f.Photo("photo.jpg");
    f.Photo("D.jpeg");
    f.Put("a.GIF", preview_test::TinyGif());
    f.Put("c.txt", "hello\r\n");
    f.Sound("tone.wav");
}

}  // namespace

/* Without a presentation: a slide per picture in name order with the text and sound of its
 * name; leftover texts and sounds on slides of their own; ".jpeg" and texts carried. */
TEST(Compose, SlidesFromAFolderWithoutPresentation)
{
    Folder f;
    PutLoose(f);
    f.Put("A.txt", "caption of a\r\n");
    f.Put("readme.doc", "not media");
    testkit::TempDir work, out;
    ComposeResult r;
    ASSERT_EQ(ComposeFolder(f.dir.path().c_str(), work.path().c_str(), out.file("m.dat").c_str(), &r), 1) << r.reason;
    EXPECT_EQ(r.pictures, 3);
    EXPECT_EQ(r.texts, 2);
    EXPECT_EQ(r.sounds, 1);
    EXPECT_EQ(r.slides, 5);  // a.GIF + A.txt, D.jpeg, photo.jpg, c.txt, tone.wav
    EXPECT_TRUE(r.presentation.empty());
    ASSERT_NE(Named(r.files, "readme.doc"), nullptr);
    EXPECT_FALSE(Named(r.files, "readme.doc")->carried);
    EXPECT_EQ(Named(r.files, "readme.doc")->note, "not a picture, text or sound");

    auto parts = PartsOf(out.file("m.dat"));
    ASSERT_EQ(parts.size(), 7u);
    EXPECT_EQ(parts[0].name, "mms.smil");
    std::string smil(parts[0].data.begin(), parts[0].data.end());
    for (const char *n : {"a.GIF", "A.txt", "c.txt", "D.jpeg", "photo.jpg", "tone.wav"}) {
        ASSERT_EQ(parts.count(n), 1u) << n;
        EXPECT_EQ(parts[n].data, testkit::ReadFileBytes(f.dir.file(n))) << n;  // byte for byte
        EXPECT_NE(smil.find(std::string("src=\"") + n + "\""), std::string::npos) << n;
    }
    EXPECT_EQ(parts["D.jpeg"].type, "image/jpeg");
    // The layout phones expect, and the picture's text on its slide.
    EXPECT_NE(smil.find("<root-layout width=\"176\" height=\"208\""), std::string::npos) << smil;
    EXPECT_NE(smil.find("id=\"Image\" left=\"0\" top=\"0\" width=\"176\" height=\"144\""), std::string::npos) << smil;
    EXPECT_NE(smil.find("id=\"Text\" left=\"0\" top=\"144\" width=\"176\" height=\"64\""), std::string::npos) << smil;
    size_t gif = smil.find("src=\"a.GIF\""), caption = smil.find("src=\"A.txt\""), next = smil.find("<par", gif);
    EXPECT_LT(gif, caption);
    EXPECT_LT(caption, next);
    EXPECT_LT(next, smil.find("src=\"D.jpeg\""));  // names in order whatever their case
    EXPECT_LT(smil.find("src=\"D.jpeg\""), smil.find("src=\"photo.jpg\""));
    // Nothing was written into the folder.
    EXPECT_EQ(preview_test::FilesIn(f.dir.path()).size(), 7u);
}

/* A picture's sound sets its slide's duration; without one the slide lasts the default. */
TEST(Compose, SlideDurationFromItsSound)
{
    Folder f;
    f.Photo("beach.jpg");
    f.Sound("beach.wav");
    f.Photo("hill.jpg");
    testkit::TempDir work, out;
    ComposeResult r;
    ASSERT_EQ(ComposeFolder(f.dir.path().c_str(), work.path().c_str(), out.file("m.dat").c_str(), &r), 1) << r.reason;
    EXPECT_EQ(r.slides, 2);
    testkit::Bytes start = PartsOf(out.file("m.dat"))["mms.smil"].data;
    std::string smil(start.begin(), start.end());
    size_t first = smil.find("<par"), second = smil.find("<par", first + 1);
    ASSERT_NE(second, std::string::npos) << smil;
    EXPECT_NE(smil.find("dur=\"5000ms\"", second), std::string::npos) << smil;
    if (!testkit::UnderWine()) {  // Wine's media control interface may not open a wave device
        EXPECT_NE(smil.substr(first, second - first).find("dur=\"1000ms\""), std::string::npos) << smil;
    }
}

/* Texts go with their charset: us-ascii, UTF-8 as it is, Windows-1252 converted to UTF-8;
 * what is no text is left out with the reason, and the rest goes on. */
TEST(Compose, TextsByCharset)
{
    Folder f;
    f.Photo("p.jpg");
    f.Put("ascii.txt", "plain\r\n");
    f.Put("utf8.txt", "caf\xC3\xA9 \xE2\x82\xAC\n");
    f.Put("w1252.txt", "caf\xE9 \x80 \x93quoted\x94\n");
    f.Put("undef.txt", "bad \x81 octet");
    f.Put("binary.txt", std::string("nul\0inside", 10));
    f.Put("empty.txt", "");
    f.Put("big.txt", std::string(COMPOSE_MAX_TEXT + 1, 'x'));
    f.Put("broken.jpg", "not a JPEG");
    testkit::TempDir work, out;
    ComposeResult r;
    ASSERT_EQ(ComposeFolder(f.dir.path().c_str(), work.path().c_str(), out.file("m.dat").c_str(), &r), 1) << r.reason;
    EXPECT_EQ(r.texts, 3);
    for (const char *n : {"undef.txt", "binary.txt", "empty.txt", "big.txt", "broken.jpg"}) {
        ASSERT_NE(Named(r.files, n), nullptr) << n;
        EXPECT_FALSE(Named(r.files, n)->carried) << n;
    }
    EXPECT_NE(Named(r.files, "undef.txt")->note.find("neither"), std::string::npos);
    EXPECT_NE(Named(r.files, "binary.txt")->note.find("control characters"), std::string::npos);
    EXPECT_EQ(Named(r.files, "empty.txt")->note, "an empty file");
    EXPECT_NE(Named(r.files, "big.txt")->note.find("longer than a message carries"), std::string::npos);
    EXPECT_EQ(Named(r.files, "broken.jpg")->note, "not a picture that can be decoded");

    auto parts = PartsOf(out.file("m.dat"));
    EXPECT_EQ(parts["ascii.txt"].type, "text/plain;charset=us-ascii");
    EXPECT_EQ(parts["utf8.txt"].type, "text/plain;charset=utf_8");
    EXPECT_EQ(parts["utf8.txt"].data, testkit::ReadFileBytes(f.dir.file("utf8.txt")));
    EXPECT_EQ(parts["w1252.txt"].type, "text/plain;charset=utf_8");
    const std::string want = "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D\n";
    EXPECT_EQ(parts["w1252.txt"].data, testkit::Bytes(want.begin(), want.end()));
    EXPECT_TRUE(Named(r.files, "w1252.txt")->converted);
    // The original stays as it was.
    EXPECT_EQ(testkit::ReadFileBytes(f.dir.file("w1252.txt")).size(), 16u);
}

/* The folder's own presentation is used as it stands, texts included; what it does not name
 * is reported, and what it names but the folder lacks stops with the name. */
TEST(Compose, TheFoldersOwnPresentation)
{
    Folder f;
    PutLoose(f);  // D.jpeg is not in the presentation
    f.Put("show.smil", std::string(kShow));
    f.Put("zz.smil", kShow);
    testkit::TempDir work, out;
    ComposeResult r;
    ASSERT_EQ(ComposeFolder(f.dir.path().c_str(), work.path().c_str(), out.file("m").c_str(), &r), 1) << r.reason;
    EXPECT_EQ(r.presentation, "show.smil");
    EXPECT_EQ(r.slides, 2);
    EXPECT_EQ(r.texts, 1);
    EXPECT_EQ(Named(r.files, "D.jpeg")->note, "not in the presentation show.smil");
    EXPECT_NE(Named(r.files, "zz.smil")->note.find("second presentation"), std::string::npos);
    auto parts = PartsOf(out.file("m.dat"));  // ".dat" added
    ASSERT_EQ(parts.size(), 5u);
    for (const char *n : {"photo.jpg", "a.GIF", "c.txt", "tone.wav"}) {
        ASSERT_EQ(parts.count(n), 1u) << n;
        EXPECT_EQ(parts[n].data, testkit::ReadFileBytes(f.dir.file(n))) << n;
    }

    // A medium the presentation names is missing: its name, and no message.
    ASSERT_TRUE(DeleteFileA(f.dir.file("c.txt").c_str()));
    ASSERT_TRUE(DeleteFileA(f.dir.file("tone.wav").c_str()));
    ComposeResult r2;
    EXPECT_EQ(ComposeFolder(f.dir.path().c_str(), work.path().c_str(), out.file("m2.dat").c_str(), &r2), 0);
    EXPECT_NE(r2.reason.find("c.txt, tone.wav"), std::string::npos) << r2.reason;
    EXPECT_EQ(GetFileAttributesA(out.file("m2.dat").c_str()), INVALID_FILE_ATTRIBUTES);
}

/* Presentations that cannot be used, folders that give no message: a reason each, and no file. */
TEST(Compose, FoldersThatGiveNoMessage)
{
    testkit::TempDir work, out;
    auto expectFailure = [&](Folder &f, const std::string &words) {
        ComposeResult r;
        EXPECT_EQ(ComposeFolder(f.dir.path().c_str(), work.path().c_str(), out.file("m.dat").c_str(), &r), 0);
        EXPECT_NE(r.reason.find(words), std::string::npos) << r.reason;
        EXPECT_EQ(GetFileAttributesA(out.file("m.dat").c_str()), INVALID_FILE_ATTRIBUTES) << words;
    };
    {
        Folder f;
        f.Put("show.smil", "<smil><body><par><img src=\"a.gif\"/></par>");  // not closed
        f.Put("a.gif", preview_test::TinyGif());
        expectFailure(f, "not a well-formed SMIL presentation");
    }
    {
        Folder f;
        f.Put("show.smil", "<smil><body><par><img src=\"../a.gif\"/></par></body></smil>");
        expectFailure(f, "outside its folder");
    }
    {
        Folder f;
        f.Put("readme.doc", "x");
        f.Put("empty.txt", "");
        expectFailure(f, "no picture, text or sound");
    }
    {
        Folder f;
        for (int i = 0; i < COMPOSE_MAX_MEDIA + 1; i++)
            f.Put("t" + std::to_string(1000 + i) + ".txt", "t");
        expectFailure(f, "at most 126");
    }
}

/* A person's folder of loose media, through the demo (a folder with its own presentation goes
 * through it in the Demo tests): everything arrives at the phone; a damaged picture is
 * reported and the rest goes on. */
TEST(Compose, PersonsFoldersArriveWhole)
{
    Folder f;
    PutLoose(f);
    f.Put("broken.jpg", "this is not a JPEG at all");
    f.Put("readme.doc", "not media");
    testkit::TempDir work;
    ASSERT_TRUE(testkit::WriteFileText(work.file("mine.txt"), "the user's own file"));
    demo::Options o;
    o.userFolder = f.dir.path();
    o.workFolder = work.path();
    demo::Report r;
    std::vector<std::string> lines = preview_test::RunDemo(o, &r);
    ASSERT_TRUE(r.ok) << r.failedStep << ": " << r.reason;
    EXPECT_EQ(r.partsChecked, 6);
    EXPECT_EQ(r.pictures, 3);
    EXPECT_EQ(r.texts, 1);
    EXPECT_EQ(r.sounds, 1);
    ASSERT_EQ(r.damaged.size(), 1u);
    EXPECT_EQ(r.damaged[0].rfind("broken.jpg", 0), 0u);
    EXPECT_TRUE(Mentions(lines, "broken.jpg - DAMAGED"));
    EXPECT_TRUE(Mentions(lines, "readme.doc - left out"));
    EXPECT_TRUE(Mentions(lines, "D.jpeg - not in the mixed message (its folder table has no .jpeg row); in the presentation-led message"));
    EXPECT_TRUE(Mentions(lines, "c.txt - not in the mixed message (its folder table has no .txt row); in the presentation-led message"));
    // The work folder's other files are left alone.
    EXPECT_EQ(testkit::ReadFileBytes(work.file("mine.txt")).size(), 19u);
}
