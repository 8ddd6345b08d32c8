/* Masks into banded runs: selection, row order, padding, banding, and what is refused. */
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "mask_maker.h"
#include "mask_runs.h"

using uitest::MaskBytes;

namespace {

std::vector<RECT> Runs(const std::vector<BYTE> &bytes, int index = 255, MaskStatus want = MASK_OK, size_t cb = 0)
{
    std::vector<RECT> rects;
    EXPECT_EQ(want, MaskScanRuns(bytes.data(), cb ? cb : bytes.size(), index, &rects));
    return rects;
}

std::string Str(const std::vector<RECT> &rects)
{
    std::string s;
    for (const RECT &r : rects)
        s += "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
             std::to_string(r.bottom) + ")";
    return s;
}

/* The invariant of the banded form. */
void ExpectBanded(const std::vector<RECT> &rects)
{
    for (size_t i = 0; i < rects.size(); ++i) {
        const RECT &r = rects[i];
        ASSERT_LT(r.left, r.right);
        ASSERT_LT(r.top, r.bottom);
        if (i == 0)
            continue;
        const RECT &p = rects[i - 1];
        if (p.top == r.top) {
            ASSERT_EQ(p.bottom, r.bottom) << "a band shares its bottom";
            ASSERT_LT(p.right, r.left) << "runs in a band neither touch nor overlap";
        } else {
            ASSERT_LE(p.bottom, r.top) << "bands go down and do not overlap";
        }
    }
    // Adjacent bands never hold the same spans.
    size_t a = 0;
    while (a < rects.size()) {
        size_t b = a;
        while (b < rects.size() && rects[b].top == rects[a].top)
            ++b;
        size_t c = b;
        while (c < rects.size() && rects[c].top == rects[b].top)
            ++c;
        if (b < rects.size() && rects[b].top == rects[a].bottom && c - b == b - a) {
            bool same = true;
            for (size_t i = 0; i < b - a; ++i)
                same &= rects[a + i].left == rects[b + i].left && rects[a + i].right == rects[b + i].right;
            ASSERT_FALSE(same) << "bands at " << rects[a].top << " and " << rects[b].top << " should be one";
        }
        a = b;
    }
}

}  // namespace

TEST(MaskRuns, RowsAreBottomUpAndPaddingIsNeverRead)
{
    // 3 pixels wide: rows of 4 bytes, the fourth (pad) byte 255.  The first stored row is the
    // bottom one.  The palette's size comes from the header.
    const struct Row {
        std::vector<std::string> rows;
        int colours;
        const char *runs;
    } rows[] = {
        {{"#.."}, 256, "(0,0,1,1)"}, {{"...", "..."}, 256, ""},     {{"...", "##."}, 256, "(0,1,2,2)"},
        {{"#"}, 256, "(0,0,1,1)"},   {{"."}, 256, ""},              {{".#."}, 0, "(1,0,2,1)"},
        {{".#."}, 2, "(1,0,2,1)"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(r.runs, Str(Runs(MaskBytes(r.rows, r.colours)))) << r.rows.back() << ", " << r.colours;
    EXPECT_EQ(MaskBytes({"...", "##."})[40 + 1024 + 3], 255) << "the maker pads with 255";
}

TEST(MaskRuns, SelectsOnlyTheGivenIndex)
{
    std::vector<BYTE> bytes = MaskBytes({"#.#"});
    BYTE *px = bytes.data() + 40 + 1024;
    px[1] = 7;
    EXPECT_EQ("(1,0,2,1)", Str(Runs(bytes, 7)));
    EXPECT_EQ("(0,0,1,1)(2,0,3,1)", Str(Runs(bytes, 255)));
    EXPECT_EQ("", Str(Runs(bytes, 255 + 256))) << "a wider index is not taken modulo 256";
    EXPECT_EQ("", Str(Runs(bytes, -1)));
}

TEST(MaskRuns, IdenticalRowsShareABand)
{
    std::vector<RECT> r = Runs(MaskBytes({"#.##", "#.##", "####", "....", "#.##"}));
    EXPECT_EQ("(0,0,1,2)(2,0,4,2)(0,2,4,3)(0,4,1,5)(2,4,4,5)", Str(r));
    ExpectBanded(r);
}

TEST(MaskRuns, OtherDepthsAndBadHeadersSelectNothing)
{
    std::vector<BYTE> rgb = MaskBytes({"###"}, 0, 24);
    memset(rgb.data() + 40, 255, rgb.size() - 40);
    EXPECT_TRUE(Runs(rgb, 255, MASK_NOT_8BIT).empty());
    EXPECT_EQ(MASK_NOT_8BIT, MaskCheck(MaskBytes({"#"}, 2, 1).data(), 0, nullptr, nullptr));
    EXPECT_EQ(MASK_EMPTY, MaskCheck(nullptr, 0, nullptr, nullptr));

    std::vector<BYTE> bytes = MaskBytes({"##", "##"});
    EXPECT_TRUE(Runs(bytes, 255, MASK_TRUNCATED, bytes.size() - 1).empty()) << "last row cut short";
    EXPECT_TRUE(Runs(bytes, 255, MASK_TRUNCATED, 39).empty()) << "header cut short";
    EXPECT_EQ("(0,0,2,2)", Str(Runs(bytes, 255, MASK_OK, bytes.size())));

    BITMAPINFOHEADER *bih = (BITMAPINFOHEADER *)bytes.data();
    bih->biHeight = -2;  // top-down rows are not a mask
    EXPECT_TRUE(Runs(bytes, 255, MASK_EMPTY).empty());
    bih->biHeight = 2;
    bih->biWidth = 0;
    EXPECT_TRUE(Runs(bytes, 255, MASK_EMPTY).empty());
    bih->biWidth = 0x7FFFFFFF;  // rows far beyond the block
    EXPECT_TRUE(Runs(bytes, 255, MASK_TRUNCATED).empty());
    bih->biWidth = 2;
    bih->biClrUsed = 0xFFFFFFFF;
    EXPECT_TRUE(Runs(bytes, 255, MASK_TRUNCATED).empty());

    size_t stride = 0, offset = 0;
    bih->biClrUsed = 3;
    EXPECT_EQ(MASK_OK, MaskCheck(bytes.data(), 0, &stride, &offset)) << "size unknown: the header is trusted";
    EXPECT_EQ(4u, stride);
    EXPECT_EQ(52u, offset);
}

TEST(MaskRuns, RandomMasksAreCoveredExactlyOnce)
{
    srand(15);
    for (int round = 0; round < 200; ++round) {
        int w = 1 + rand() % 37, h = 1 + rand() % 23, density = rand() % 5;
        std::vector<std::string> rows((size_t)h, std::string((size_t)w, '.'));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (rand() % 4 < density)
                    rows[(size_t)y][(size_t)x] = '#';
        if (round % 3 == 0)
            for (int y = 1; y < h; y += 2)
                rows[(size_t)y] = rows[(size_t)y - 1];  // repeated rows: bands
        std::vector<RECT> r = Runs(MaskBytes(rows));
        ExpectBanded(r);
        // The rectangles painted over the mask's size: each selected pixel once ('2': twice).
        std::vector<std::string> painted((size_t)h, std::string((size_t)w, '.'));
        for (const RECT &q : r)
            for (int y = q.top; y < q.bottom; ++y)
                for (int x = q.left; x < q.right; ++x)
                    painted.at((size_t)y).at((size_t)x) = painted.at((size_t)y).at((size_t)x) == '.' ? '#' : '2';
        ASSERT_EQ(rows, painted) << "round " << round;
    }
}

TEST(MaskRuns, MoreRunsThanAllowedKeepNothing)
{
    // Three rows of four runs each, no two alike: twelve rectangles.
    const std::vector<BYTE> bytes = MaskBytes({"#.#.#.#.", ".#.#.#.#", "#.#.#.#."});
    const struct {
        size_t maxRuns;
        MaskStatus want;
        size_t kept;
    } rows[] = {{12, MASK_OK, 13}, {11, MASK_TOO_MANY, 1}, {4, MASK_TOO_MANY, 1}, {3, MASK_TOO_MANY, 1}};
    for (const auto &r : rows) {
        std::vector<RECT> rects = {RECT{7, 7, 8, 8}};  // the caller's own rectangle stays
        EXPECT_EQ(r.want, MaskScanRuns(bytes.data(), bytes.size(), 255, &rects, r.maxRuns)) << r.maxRuns;
        EXPECT_EQ(r.kept, rects.size()) << r.maxRuns;
        EXPECT_EQ(7, rects[0].left) << r.maxRuns;
    }
    // One row with one run more than the default limit.
    std::string row;
    for (size_t i = 0; i <= kMaskMaxRuns; ++i)
        row += "#.";
    const std::vector<BYTE> wide = MaskBytes({row});
    std::vector<RECT> rects;
    EXPECT_EQ(MASK_TOO_MANY, MaskScanRuns(wide.data(), wide.size(), 255, &rects));
    EXPECT_TRUE(rects.empty());
}
