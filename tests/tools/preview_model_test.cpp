/* The presentation model: slides of SMIL-led and mixed messages, missing and unused media,
 * texts in other charsets.  (Hostile part names are the web page's tests: the page stages the
 * parts through the same load.) */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview_model.h"
#include "tools/preview_testkit.h"
#include "testkit.h"

using preview_test::Bytes;

namespace {

std::vector<std::string> UnusedNames(const preview::Presentation &p)
{
    std::vector<std::string> names;
    for (int i : p.unused)
        names.push_back(p.parts[i].name);
    return names;
}

/* A folder for the messages, one the parts are staged in, and what a load gives. */
class PreviewModel : public ::testing::Test {
protected:
    testkit::TempDir dir, stage;
    preview::Presentation p;
    std::string err;
};

}  // namespace

TEST_F(PreviewModel, DemoMessageGivesItsTwoSlides)
{
    std::string msg = preview_test::DemoMessage(dir);
    ASSERT_FALSE(msg.empty());
    ASSERT_TRUE(preview::Load(msg, stage.path(), &p, &err)) << err;
    EXPECT_TRUE(p.fromSmil);
    ASSERT_EQ(p.slides.size(), 2u);
    const preview::Slide &a = p.slides[0], &b = p.slides[1];
    EXPECT_TRUE(a.hasImage && a.hasText && !a.hasAudio);
    EXPECT_EQ(a.image.src, "photo.jpg");
    EXPECT_EQ(a.text.src, "note.txt");
    EXPECT_FALSE(a.text8.empty());
    EXPECT_TRUE(b.hasImage && b.hasAudio && !b.hasText);
    EXPECT_EQ(b.image.src, "logo.png");
    EXPECT_EQ(b.audio.src, "tone.wav");
    EXPECT_TRUE(p.missing.empty());
    EXPECT_TRUE(p.unused.empty());
    // The staged copies are the parts' bytes, under our own names.
    ASSERT_GE(a.image.part, 0);
    auto staged = testkit::ReadFileBytes(preview::Join(stage.path(), p.parts[a.image.part].file));
    EXPECT_EQ((long long)staged.size(), p.parts[a.image.part].length);
}

TEST_F(PreviewModel, MissingMediaKeepTheirSlideAndUnusedPartsAreNamed)
{
    std::string msg = preview_test::BuildMessage(
        dir, "msg.dat",
        {{"words.txt", "text/plain;charset=utf_8", Bytes("Hello there"), "<t1>"},
         {"pic.gif", "image/gif", preview_test::TinyGif()},
         {"extra.wav", "audio/wav", Bytes("RIFF....WAVE")}},
        "<smil><head><layout><root-layout width=\"120\" height=\"160\"/>"
        "<region id=\"I\" left=\"0\" top=\"0\" width=\"120\" height=\"100\"/>"
        "<region id=\"T\" left=\"0\" top=\"100\" width=\"120\" height=\"60\"/>"
        "</layout></head><body>"
        "<par dur=\"2s\"><img src=\"gone.jpg\" region=\"I\"/><text src=\"cid:t1\" region=\"T\"/></par>"
        "<par><img src=\"pic.gif\" region=\"I\"/><audio src=\"lost.amr\"/></par>"
        "<par dur=\"1500ms\"><img src=\"gone.jpg\" region=\"I\"/></par>"
        "</body></smil>");
    ASSERT_FALSE(msg.empty());

    ASSERT_TRUE(preview::Load(msg, stage.path(), &p, &err)) << err;
    ASSERT_TRUE(p.fromSmil);
    ASSERT_EQ(p.slides.size(), 3u);
    EXPECT_EQ(p.width, 120);
    EXPECT_EQ(p.height, 160);
    EXPECT_TRUE(p.slides[0].image.missing);
    EXPECT_EQ(p.slides[0].image.src, "gone.jpg");
    EXPECT_EQ(p.slides[0].image.region.h, 100);
    EXPECT_EQ(p.slides[0].text.region.y, 100);
    EXPECT_EQ(p.slides[0].text.src, "words.txt");  // found by its content id
    EXPECT_EQ(p.slides[0].text8, "Hello there");
    EXPECT_EQ(p.slides[0].durationMs, 2000);
    EXPECT_FALSE(p.slides[1].image.missing);
    EXPECT_TRUE(p.slides[1].audio.missing);
    EXPECT_EQ(p.slides[1].durationMs, preview::kDefaultSlideMs);  // no duration anywhere
    EXPECT_EQ(p.slides[2].durationMs, 1500);
    EXPECT_EQ(p.missing, (std::vector<std::string>{"gone.jpg", "lost.amr"}));  // in order of first use
    EXPECT_EQ(UnusedNames(p), std::vector<std::string>{"extra.wav"});
    // The stand-ins that let the presentation load are gone again.
    EXPECT_EQ(preview_test::FilesIn(stage.path()),
              (std::vector<std::string>{"part1.txt", "part2.gif", "part3.wav", "presentation.smil"}));
}

TEST_F(PreviewModel, MixedMessageGivesOneSlidePerPictureWithItsText)
{
    std::string mixed = preview_test::BuildMessage(dir, "mixed.dat",
                                                   {{"a.gif", "image/gif", preview_test::TinyGif()},
                                                    {"b.gif", "image/gif", preview_test::TinyGif()},
                                                    {"b.txt", "text/plain", Bytes("about b")},
                                                    {"intro.txt", "text/plain", Bytes("first words")},
                                                    {"song.wav", "audio/wav", Bytes("RIFF....WAVE")},
                                                    {"data.bin", "application/octet-stream", Bytes("xyz")}});
    ASSERT_TRUE(preview::Load(mixed, stage.path(), &p, &err)) << err;
    EXPECT_FALSE(p.fromSmil);
    EXPECT_EQ(p.width, preview::kDefaultWidth);
    ASSERT_EQ(p.slides.size(), 2u);
    EXPECT_EQ(p.slides[0].image.src, "a.gif");
    EXPECT_EQ(p.slides[0].text.src, "intro.txt");  // the next text without a picture of its name
    EXPECT_EQ(p.slides[0].audio.src, "song.wav");
    EXPECT_EQ(p.slides[1].image.src, "b.gif");
    EXPECT_EQ(p.slides[1].text.src, "b.txt");  // its own name's text
    EXPECT_EQ(p.slides[1].text8, "about b");
    // The picture above the text on the default screen.
    EXPECT_EQ(p.slides[0].image.region.y + p.slides[0].image.region.h, p.slides[0].text.region.y);
    EXPECT_EQ(UnusedNames(p), std::vector<std::string>{"data.bin"});
    EXPECT_TRUE(p.missing.empty());

    // Texts alone: one slide each.
    std::string texts = preview_test::BuildMessage(
        dir, "texts.dat", {{"one.txt", "text/plain", Bytes("1")}, {"two.txt", "text/plain", Bytes("2")}});
    ASSERT_TRUE(preview::Load(texts, stage.path(), &p, &err)) << err;
    ASSERT_EQ(p.slides.size(), 2u);
    EXPECT_EQ(p.slides[1].text8, "2");
    EXPECT_EQ(p.slides[1].text.region.h, preview::kDefaultHeight);
}

TEST_F(PreviewModel, BrokenPresentationFallsBackAndBadFilesFail)
{
    // Not well-formed, and nested deeper than any reader may descend (70 000 levels would
    // overflow the parser's stack: the depth is checked before it runs).
    std::string deep = "<smil><body>";
    for (int i = 0; i < 70000; i++)
        deep += "<x>";
    deep += "<par><img src=\"a.gif\"/></par>";
    for (int i = 0; i < 70000; i++)
        deep += "</x>";
    deep += "</body></smil>";
    const struct {
        std::string smil;
        const char *note;
    } kCases[] = {{"<smil><body><par><img src=\"a.gif\"></par></smil>", "not well-formed"},
                  {deep, "nests elements more than 32 deep"}};
    for (const auto &c : kCases) {
        std::string msg = preview_test::BuildMessage(dir, "msg.dat", {{"a.gif", "image/gif", preview_test::TinyGif()}}, c.smil);
        p = preview::Presentation();
        ASSERT_TRUE(preview::Load(msg, stage.path(), &p, &err)) << err;
        EXPECT_FALSE(p.fromSmil) << c.note;
        ASSERT_EQ(p.slides.size(), 1u) << c.note;
        // A picture alone on its slide has the whole screen.
        EXPECT_EQ(p.slides[0].image.region.h, preview::kDefaultHeight);
        EXPECT_EQ(p.slides[0].image.region.w, preview::kDefaultWidth);
        ASSERT_FALSE(p.notes.empty()) << c.note;
        EXPECT_NE(p.notes[0].find(c.note), std::string::npos) << p.notes[0];
    }

    ASSERT_TRUE(testkit::WriteFileText(dir.file("junk.dat"), "this is no message"));
    EXPECT_FALSE(preview::Load(dir.file("junk.dat"), stage.path(), &p, &err));
    EXPECT_NE(err.find("cannot open"), std::string::npos);
    EXPECT_FALSE(preview::Load(dir.file("absent.dat"), stage.path(), &p, &err));
}

TEST_F(PreviewModel, TextsDecodeByTheirCharset)
{
    const struct {
        std::string bytes, charset, text;
        bool noted;
    } kCases[] = {
        {"plain", "us-ascii", "plain", false},
        {"caf\xC3\xA9", "utf_8", "caf\xC3\xA9", false},
        {"\xEF\xBB\xBFwith mark", "utf-8", "with mark", false},
        {"caf\xE9", "iso-8859-1", "caf\xC3\xA9", false},
        {"caf\xE9", "", "caf\xEF\xBF\xBD", true},  // not UTF-8: the replacement character
        {std::string("\xFF\xFEh\0i\0", 6), "", "hi", true},
        {std::string("\0h\0\xE9", 4), "utf-16be", "h\xC3\xA9", true},
        {std::string("\x3D\xD8\x00\xDE", 4), "utf-16le", "\xF0\x9F\x98\x80", true},  // a surrogate pair
        {"\xA4\xA2x", "big5", "??x", true},
    };
    for (const auto &c : kCases) {
        std::string note;
        EXPECT_EQ(preview::DecodeText(c.bytes, c.charset, &note), c.text) << c.charset;
        EXPECT_EQ(!note.empty(), c.noted) << c.charset << ": " << note;
    }
    std::string note;
    std::string big = preview::DecodeText(std::string(3 * preview::kMaxTextBytes, 'a'), "", &note);
    EXPECT_EQ(big.size(), (size_t)preview::kMaxTextBytes);
    EXPECT_NE(note.find("cut"), std::string::npos);
}
