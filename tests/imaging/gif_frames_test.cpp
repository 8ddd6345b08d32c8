/*
 * Frames put into a container: SetFrame, InsertFrame with fitting and mapping onto the global
 * table, the global table's used count and its growth.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "basemem.h"
#include "gif.h"
#include "gif_bytes.h"
#include "pixkit.h"
#include "testkit.h"
#if !defined(_WIN32)
#include "compat/testing.h"
#endif

namespace {

using namespace giftest;

/* Greys 0..199 and then entry 199 repeated up to 256 entries. */
Bytes GreyTable() {
    Bytes t;
    for (int i = 0; i < 256; ++i) {
        int v = i < 200 ? i : 199;
        t.insert(t.end(), {BYTE(v), BYTE(v), BYTE(v)});
    }
    return t;
}

TEST(GifFrames, CountGlobalColorsDropsTheRepeatedTail) {
    CGifFile gif;
    EXPECT_EQ(-1, gif.CountGlobalColors());
    ASSERT_EQ(1, CreateWith(gif, 8, 8, GreyTable()));
    EXPECT_EQ(200, gif.CountGlobalColors());
    ASSERT_EQ(1, CreateWith(gif, 8, 8, Bytes(3 * 4, 7)));
    EXPECT_EQ(1, gif.CountGlobalColors());
    ASSERT_EQ(1, gif.Create(8, 8, 0, nullptr));
    EXPECT_EQ(-1, gif.CountGlobalColors());
}

TEST(GifFrames, InsertFrameMapsEachColourOntoTheFirstNearestEntry) {
    // T: four entries, the last a repeat (no room to merge into).  M: four in use, four free.
    const Bytes T{0, 0, 0, 20, 3, 0, 100, 100, 100, 100, 100, 100};
    const Bytes M{0, 0, 0, 50, 50, 50, 100, 100, 100, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150, 150};
    struct Case {
        const char *what;
        const Bytes &table;
        Bytes colours;  // the frame's palette; pixel i holds index i
        bool local;
        Bytes after;                // the global table afterwards
        std::vector<int> indices;   // what pixel i holds afterwards
    } cases[] = {
        // (10, 4, 0) is 10.77 from entry 0 and 10.05 from entry 1: whole parts equal, the first
        // wins; (250, 0, 250) is new but finds no room.
        {"tie", T, {10, 4, 0, 250, 0, 250}, false, T, {0, 2}},
        // Far colours take the free entries in order, also one within 10 of another new one;
        // a colour equal to the repeated entries goes to the first of them.
        {"merge", M, {255, 0, 0, 250, 0, 0, 0, 0, 255, 150, 150, 150}, false,
         {0, 0, 0, 50, 50, 50, 100, 100, 100, 150, 150, 150, 255, 0, 0, 250, 0, 0, 0, 0, 255, 150, 150, 150}, {4, 5, 6, 3}},
        // A frame with its own table keeps it and its pixels.
        {"local", T, {250, 0, 250, 10, 4, 0}, true, T, {0, 1}},
    };
    for (const Case &c : cases) {
        CGifFile gif;
        ASSERT_EQ(1, CreateWith(gif, 4, 1, c.table));
        const int n = int(c.colours.size() / 3);
        std::vector<int> px;
        for (int i = 0; i < 4; ++i)
            px.push_back(i % n);
        GIFFRAMEINFO info = Info();
        info.width = 4;
        info.height = 1;
        info.hasLocalTable = c.local;
        info.localBits = c.local ? 8 : 0;
        ASSERT_EQ(0, gif.InsertFrame(MakeDib(4, 1, 8, n, px, c.colours), &info, -1, nullptr)) << c.what;
        EXPECT_EQ(c.after, GlobalTable(gif)) << c.what;
        Frame f(gif.GetFrameDib(0));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.indices[size_t(i % n)], f.pixel(i, 0)) << c.what << " pixel " << i;
        if (c.local)
            for (int i = 0; i < n; ++i) {
                const RGBQUAD &q = reinterpret_cast<const RGBQUAD *>(f.p + 40)[i];
                EXPECT_EQ(Bytes(c.colours.begin() + 3 * i, c.colours.begin() + 3 * i + 3),
                          (Bytes{q.rgbRed, q.rgbGreen, q.rgbBlue})) << c.what << " entry " << i;
            }
    }
}

TEST(GifFrames, MergeGlobalColors) {
    // Into the grey table: a colour goes at the next free place from nStart when it is farther
    // than 10 from each entry before nStart; none past the table's end.  `nearby` is sqrt(104)
    // from grey 100 (whole part 10), `farther` sqrt(126).
    const RGBQUAD nearby{98, 94, 108, 0}, farther{97, 94, 109, 0};  // blue, green, red
    const RGBQUAD blue{255, 0, 0, 0}, green{0, 255, 0, 0};
    struct Case {
        int start;
        std::vector<RGBQUAD> colours;
        int result;
        std::map<int, Bytes> changed;  // entries that are no longer the grey table's
    } cases[] = {
        {200, {nearby, farther}, 1, {{200, {109, 94, 97}}}},
        {254, {blue, green}, 1, {{254, {0, 0, 255}}, {255, {0, 255, 0}}}},
        {256, {blue, green}, 1, {}},  // no room: nothing appended
        {257, {blue, green}, 0, {}},
    };
    for (const Case &c : cases) {
        CGifFile gif;
        Bytes t = GreyTable();
        ASSERT_EQ(1, CreateWith(gif, 4, 4, t));
        EXPECT_EQ(c.result, gif.MergeGlobalColors(c.start, c.colours.data(), int(c.colours.size()))) << c.start;
        for (const auto &e : c.changed)
            std::copy(e.second.begin(), e.second.end(), t.begin() + 3 * e.first);
        EXPECT_EQ(t, GlobalTable(gif)) << c.start;
    }
    CGifFile gif;
    ASSERT_EQ(1, CreateWith(gif, 4, 4, GreyTable()));
    EXPECT_EQ(0, gif.MergeGlobalColors(10, nullptr, 2));
}

TEST(GifFrames, FirstFrameGivesTheGlobalTableAndLaterOnesMapOntoIt) {
    CGifFile gif;
    ASSERT_EQ(1, gif.Create(6, 5, 0, nullptr));
    Bytes t = Table(16);
    std::vector<int> px = Pattern(6, 5, 16);
    GIFFRAMEINFO info = Info(12, 1, 3);
    info.width = 6;
    info.height = 5;
    ASSERT_EQ(0, gif.InsertFrame(MakeDib(6, 5, 4, 16, px, t), &info, 0, nullptr));
    EXPECT_EQ(16, gif.CountGlobalColors());
    // A 1-bit frame mapped onto those 16 colours: its two colours are entries 0 and 5.
    Bytes two{t[0], t[1], t[2], t[15], t[16], t[17]};
    std::vector<int> bits = Pattern(6, 5, 2);
    GIFFRAMEINFO info2 = Info(3, 0, -1);
    info2.width = 6;
    info2.height = 5;
    ASSERT_EQ(1, gif.InsertFrame(MakeDib(6, 5, 1, 2, bits, two), &info2, 9, nullptr));
    for (int &v : bits)
        v *= 5;
    EXPECT_EQ(bits, Pixels(gif.GetFrameDib(1)));
    EXPECT_EQ(px, Pixels(gif.GetFrameDib(0)));
    GIFFRAMEINFO a;
    gif.GetFrameInfo(0, &a);
    EXPECT_EQ(12, a.delay);
    EXPECT_EQ(3, a.transparentIndex);
}

TEST(GifFrames, FitFrameDibKeepsProportionsAndReduces) {
    // A new 8-bit bitmap of the size that fits the box, or none for a palette bitmap that fits
    // it exactly (or a box without area); true colour is reduced even then.  InsertFrame fits
    // the same way and writes the frame's size back.
    const struct {
        int w, h, bits, boxW, boxH, wantW, wantH;
    } cases[] = {
        {200, 100, 8, 100, 100, 100, 50}, {200, 100, 8, 400, 100, 200, 100}, {200, 100, 8, 200, 100, 0, 0},
        {200, 100, 8, 0, 0, 0, 0},        {10, 10, 4, 10, 10, 0, 0},         {10, 10, 4, 5, 5, 5, 5},
        {10, 10, 24, 10, 10, 10, 10},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << "-bit " << c.w << "x" << c.h << " into " << c.boxW << "x" << c.boxH);
        const int colours = c.bits == 24 ? 0 : 1 << c.bits;
        const std::vector<int> px = Pattern(c.w, c.h, c.bits == 4 ? 16 : 200);
        HGLOBAL src = MakeDib(c.w, c.h, c.bits, colours, px);
        Frame f(FitFrameDib(src, c.boxW, c.boxH), true);
        EXPECT_EQ(c.wantW, f.p ? f.bih()->biWidth : 0);
        EXPECT_EQ(c.wantH, f.p ? f.bih()->biHeight : 0);
        EXPECT_EQ(c.wantW ? 8 : 0, f.p ? f.bih()->biBitCount : 0);
        BaseMemFree(src);
        CGifFile gif;
        ASSERT_EQ(1, gif.Create(400, 400, 0, nullptr));
        GIFFRAMEINFO info = Info();
        info.width = WORD(c.boxW);
        info.height = WORD(c.boxH);
        ASSERT_EQ(0, gif.InsertFrame(MakeDib(c.w, c.h, c.bits, colours, px), &info, 0, nullptr));
        EXPECT_EQ(c.wantW ? c.wantW : c.w, info.width);
        EXPECT_EQ(c.wantH ? c.wantH : c.h, info.height);
    }
}

#if !defined(_WIN32)
Bytes BlockBytes(HGLOBAL h) {
    Frame f(h);
    return Bytes(f.p, f.p + BaseMemSize(h));
}

/* Each allocation of an insertion failing in turn: a failed insertion leaves the caller's
 * bitmap (palette included) and the container as they were. */
TEST(GifFrames, FailedInsertFrameChangesNothing) {
    Bytes t = GreyTable(), distant;
    for (int i = 0; i < 16; ++i)
        distant.insert(distant.end(), {255, BYTE(16 * i), 0});
    GIFPALETTE given{16, distant.data()};
    for (const GIFPALETTE *pal : {(const GIFPALETTE *)nullptr, (const GIFPALETTE *)&given}) {
        int failures = 0;
        for (unsigned n = 1;; ++n) {
            CGifFile gif;
            ASSERT_EQ(1, CreateWith(gif, 8, 8, t));
            HGLOBAL dib = MakeDib(8, 8, 4, 16, Pattern(8, 8, 16));
            const Bytes before = BlockBytes(dib);
            GIFFRAMEINFO info = Info();
            compat_fail_nth("alloc", n);
            const int r = gif.InsertFrame(dib, &info, 0, pal);
            compat_fail_nth("alloc", 0);
            if (r == 0)
                break;
            ++failures;
            ASSERT_EQ(-1, r) << n;
            EXPECT_EQ(before, BlockBytes(dib)) << n;
            EXPECT_EQ(200, gif.CountGlobalColors()) << n;
            EXPECT_EQ(t, GlobalTable(gif)) << n;
            EXPECT_EQ(0, gif.GetFrameCount()) << n;
            BaseMemFree(dib);
        }
        EXPECT_GE(failures, 1);
    }
}
#endif

TEST(GifFrames, SetFrameChecksTheIndexFirstAndReducesTrueColour) {
    testkit::TempDir dir;
    Bytes b = Header(4, 4, 2);
    Gce(b, 9, 2, -1);
    Image(b, 0, 0, 4, 4, Pattern(4, 4, 4), 2);
    b.push_back(0x3B);
    std::string in = dir.file("in.gif");
    ASSERT_TRUE(testkit::WriteFileBytes(in, b));
    CGifFile gif;
    ASSERT_EQ(1, gif.Load(in.c_str()));
    GIFFRAMEINFO info;
    gif.GetFrameInfo(0, &info);
    HGLOBAL spare = MakeDib(4, 4, 8, 4, Pattern(4, 4, 4));
    EXPECT_EQ(0, gif.SetFrame(spare, &info, 1));
    EXPECT_EQ(0, gif.SetFrame(spare, &info, -1));
    EXPECT_EQ(0, gif.SetFrame(nullptr, &info, 0));
    EXPECT_EQ(0, gif.SetFrame(spare, nullptr, 0));
    BaseMemFree(spare);  // still ours
    // A true-colour bitmap of red and blue squares becomes an 8-bit frame with its own table.
    std::vector<int> px;
    for (int i = 0; i < 16; ++i)
        px.push_back((i % 4) < 2 ? 0xFF0000 : 0x0000FF);
    HGLOBAL tc = MakeDib(4, 4, 24, 0, px);
    ASSERT_EQ(1, gif.SetFrame(tc, &info, 0));
    GIFFRAMEINFO got;
    Frame f(gif.GetFrame(0, &got));
    ASSERT_EQ(8, f.bih()->biBitCount);
    const RGBQUAD *q = reinterpret_cast<const RGBQUAD *>(f.p + 40);
    EXPECT_EQ(0, q[f.pixel(0, 0)].rgbBlue);
    EXPECT_EQ(248, q[f.pixel(0, 0)].rgbRed & 0xF8);  // red, as the 5-bit cell gives it back
    EXPECT_EQ(248, q[f.pixel(2, 0)].rgbBlue & 0xF8);  // blue
    EXPECT_EQ(1, got.hasLocalTable);
    EXPECT_EQ(8, got.localBits);
    EXPECT_EQ(9, got.delay);
}

}  // namespace
