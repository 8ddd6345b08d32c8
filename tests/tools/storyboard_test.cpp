/* The storyboard, read back from its PNG: one framed cell per slide, pictures in their
 * regions, text where text is, placeholders, the frame-count badge, the bound on cells. */
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "preview_model.h"
#include "storyboard.h"
#include "testkit.h"
#include "tools/preview_testkit.h"

using preview_test::Picture;

namespace {

bool Is(const unsigned char *p, uint32_t rgb)
{
    return p[0] == (uint8_t)(rgb >> 16) && p[1] == (uint8_t)(rgb >> 8) && p[2] == (uint8_t)rgb;
}

/* How many pixels of `r` are exactly `rgb`. */
int CountOf(const Picture &pic, const preview::Rect &r, uint32_t rgb)
{
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x)
            n += Is(pic.at(x, y), rgb);
    return n;
}

/* Cells counted from the pixels alone: a frame corner is a frame pixel with board to its left
 * and above, and frame to its right and below. */
int CountCells(const Picture &pic)
{
    int n = 0;
    for (int y = 1; y + 1 < pic.h; ++y)
        for (int x = 1; x + 1 < pic.w; ++x)
            if (Is(pic.at(x, y), preview::kFrameColour) && Is(pic.at(x - 1, y), preview::kBoardColour) &&
                Is(pic.at(x, y - 1), preview::kBoardColour) && Is(pic.at(x + 1, y), preview::kFrameColour) &&
                Is(pic.at(x, y + 1), preview::kFrameColour))
                ++n;
    return n;
}

struct Counts {
    int dark = 0, white = 0, colour = 0, total = 0;
};

Counts Survey(const Picture &pic, preview::Rect r)
{
    Counts c;
    for (int y = r.y; y < r.y + r.h && y < pic.h; ++y)
        for (int x = r.x; x < r.x + r.w && x < pic.w; ++x) {
            const unsigned char *p = pic.at(x, y);
            int lum = (p[0] * 3 + p[1] * 6 + p[2]) / 10;
            c.dark += lum < 100;
            c.white += p[0] == 255 && p[1] == 255 && p[2] == 255;
            c.colour += abs(p[0] - p[1]) + abs(p[1] - p[2]) > 40;
            ++c.total;
        }
    return c;
}

preview::Rect InCell(const preview::Rect &cell, const preview::Rect &r, double scale)
{
    return {cell.x + (int)(r.x * scale), cell.y + (int)(r.y * scale), (int)(r.w * scale), (int)(r.h * scale)};
}

struct Board {
    preview::Presentation p;
    preview::Storyboard board;
    Picture pic;
};

/* Loads, draws, writes and reads back. */
bool Draw(const std::string &msg, const testkit::TempDir &stage, Board *b, int most = preview::kMaxCells)
{
    static preview::Face face;
    std::string err;
    if (!face.impl() && !face.Load(&err)) {
        ADD_FAILURE() << err;
        return false;
    }
    if (!preview::Load(msg, stage.path(), &b->p, &err) ||
        !preview::DrawStoryboard(b->p, stage.path(), face, &b->board, &err, most) ||
        !preview::WritePng(b->board.canvas, stage.file("board.png"), &err)) {
        ADD_FAILURE() << err;
        return false;
    }
    b->pic = preview_test::ReadPicture(stage.file("board.png"));
    return b->pic.w == b->board.canvas.w && b->pic.h == b->board.canvas.h;
}

/* A mixed message of these GIFs (g0.gif, g1.gif, ...). */
std::string MixedOfGifs(const testkit::TempDir &dir, const std::vector<std::vector<unsigned char>> &gifs,
                        const std::string &file)
{
    std::vector<preview_test::PartSpec> parts;
    for (size_t i = 0; i < gifs.size(); ++i)
        parts.push_back({"g" + std::to_string(i) + ".gif", "image/gif", gifs[i]});
    return preview_test::BuildMessage(dir, file, parts);
}

}  // namespace

TEST(Storyboard, DemoMessageShowsPictureAndText)
{
    testkit::TempDir dir, stage;
    Board b;
    ASSERT_TRUE(Draw(preview_test::DemoMessage(dir), stage, &b));
    EXPECT_EQ(CountCells(b.pic), 2);
    ASSERT_EQ(b.board.cells.size(), 2u);
    EXPECT_EQ(b.board.cells[0].w, 176);  // the phone's screen, at its own size
    EXPECT_EQ(b.board.cells[0].h, 208);
    const preview::Slide &s1 = b.p.slides[0], &s2 = b.p.slides[1];
    // Slide 1: the photo fills its region with colour; the text region holds dark glyphs on white.
    Counts photo = Survey(b.pic, InCell(b.board.cells[0], s1.image.region, b.board.scale));
    EXPECT_GT(photo.colour, photo.total / 2);
    Counts text = Survey(b.pic, InCell(b.board.cells[0], s1.text.region, b.board.scale));
    EXPECT_GT(text.dark, 60);
    EXPECT_GT(text.white, text.total / 2);
    // Slide 2 has no text: below its picture the screen stays blank.
    preview::Rect below = InCell(b.board.cells[1], {0, 150, 176, 58}, b.board.scale);
    EXPECT_EQ(Survey(b.pic, below).white, Survey(b.pic, below).total);
    Counts logo = Survey(b.pic, InCell(b.board.cells[1], s2.image.region, b.board.scale));
    EXPECT_GT(logo.colour, logo.total / 5);
    // Under each cell the caption is written.
    for (const preview::Rect &c : b.board.cells)
        EXPECT_GT(Survey(b.pic, {c.x, c.y + c.h + 3, c.w, 14}).dark, 30);
}

TEST(Storyboard, DamagedAndMissingPicturesGetPlaceholders)
{
    testkit::TempDir dir, stage;
    std::string msg = preview_test::BuildMessage(
        dir, "msg.dat",
        {{"bad.jpg", "image/jpeg", preview_test::Bytes("\xFF\xD8 not really")},
         {"ok.gif", "image/gif", preview_test::TinyGif(3)}},
        "<smil><head><layout><root-layout width=\"100\" height=\"100\"/></layout></head>"
        "<body><par dur=\"1s\"><img src=\"bad.jpg\"/></par><par dur=\"1s\"><img src=\"gone.gif\"/></par>"
        "<par dur=\"1s\"><img src=\"ok.gif\"/></par></body></smil>");
    Board b;
    ASSERT_TRUE(Draw(msg, stage, &b));
    EXPECT_EQ(CountCells(b.pic), 3);
    const uint32_t kPlaceholder = 0xB03030, kBadge = 0x303030;
    EXPECT_GT(CountOf(b.pic, b.board.cells[0], kPlaceholder), 100);  // damaged: framed placeholder
    EXPECT_GT(CountOf(b.pic, b.board.cells[1], kPlaceholder), 100);  // missing
    EXPECT_EQ(CountOf(b.pic, b.board.cells[2], kPlaceholder), 0);
    // The animation: its first frame fills the cell in one strong colour, the frame-count badge
    // (its own dark grey) sits top right and nowhere else.
    const preview::Rect &c = b.board.cells[2];
    const unsigned char *mid = b.pic.at(c.x + c.w / 2, c.y + c.h / 2);
    EXPECT_GT(std::max({mid[0], mid[1], mid[2]}) - std::min({mid[0], mid[1], mid[2]}), 150);
    EXPECT_GT(CountOf(b.pic, {c.x + c.w - 50, c.y + 2, 48, 20}, kBadge), 100);
    EXPECT_EQ(CountOf(b.pic, {c.x, c.y + 25, c.w, c.h - 25}, kBadge), 0);
    // A still picture has no badge.
    Board still;
    ASSERT_TRUE(Draw(MixedOfGifs(dir, {preview_test::TinyGif()}, "one.dat"), stage, &still));
    const preview::Rect &c2 = still.board.cells[0];
    EXPECT_EQ(CountOf(still.pic, {c2.x, c2.y, c2.w, 25}, kBadge), 0);
}

TEST(Storyboard, HugeSlideCountsAreBounded)
{
    testkit::TempDir dir, stage;
    std::vector<std::vector<unsigned char>> gifs(23, preview_test::TinyGif());
    Board b;
    ASSERT_TRUE(Draw(MixedOfGifs(dir, gifs, "many.dat"), stage, &b, 10));
    EXPECT_EQ(b.p.slides.size(), 23u);
    EXPECT_EQ(CountCells(b.pic), 10);
    EXPECT_EQ(b.board.more, 13);
    // "and 13 more slides" under the last row.
    const preview::Rect &last = b.board.cells.back();
    int footer = last.y + last.h + preview::kCaptionHeight;
    EXPECT_GT(Survey(b.pic, {0, footer, b.pic.w, b.pic.h - footer}).dark, 50);

    Board all;
    ASSERT_TRUE(Draw(dir.file("many.dat"), stage, &all));
    EXPECT_EQ(CountCells(all.pic), 23);
    EXPECT_EQ(all.board.more, 0);
}

TEST(Storyboard, AFontThatCannotBeReadSaysSo)
{
    testkit::TempDir dir;
    preview::Face face;
    std::string err;
    EXPECT_FALSE(face.LoadFile(dir.file("none.ttf"), &err));
    EXPECT_NE(err.find("cannot open"), std::string::npos);
    ASSERT_TRUE(testkit::WriteFileText(dir.file("fake.ttf"), "not a font at all"));
    EXPECT_FALSE(face.LoadFile(dir.file("fake.ttf"), &err));
    EXPECT_NE(err.find("not a TrueType font"), std::string::npos);
    // A real font cut short: its tables reach past the end.
    preview::Face real;
    ASSERT_TRUE(real.Load(&err)) << err;
    std::vector<unsigned char> cut = testkit::ReadFileBytes(real.path());
    ASSERT_GT(cut.size(), 8192u);
    cut.resize(8192);
    ASSERT_TRUE(testkit::WriteFileBytes(dir.file("cut.ttf"), cut));
    EXPECT_FALSE(face.LoadFile(dir.file("cut.ttf"), &err));
    preview::Storyboard board;
    preview::Presentation p;
    EXPECT_FALSE(preview::DrawStoryboard(p, dir.path(), face, &board, &err));
}
