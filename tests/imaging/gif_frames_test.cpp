/*
 * Frames put into a container: SetFrame, InsertFrame with fitting and mapping onto the global
 * table, the global table's used count and its growth.
 */
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

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

int Dist(const BYTE *a, const BYTE *b) {
    int dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
    return int(sqrt(double(dr * dr + dg * dg + db * db)));
}

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
    Bytes t = GreyTable();
    GIFPALETTE pal{256, t.data()};
    ASSERT_EQ(1, gif.Create(8, 8, 0, &pal));
    EXPECT_EQ(200, gif.CountGlobalColors());
    Bytes same(3 * 4, 7);
    GIFPALETTE flat{4, same.data()};
    ASSERT_EQ(1, gif.Create(8, 8, 0, &flat));
    EXPECT_EQ(1, gif.CountGlobalColors());
    ASSERT_EQ(1, gif.Create(8, 8, 0, nullptr));
    EXPECT_EQ(-1, gif.CountGlobalColors());
}

TEST(GifFrames, InsertingIntoTwoHundredUsedEntriesAddsOnlyFarColours) {
    CGifFile gif;
    Bytes t = GreyTable();
    GIFPALETTE pal{256, t.data()};
    ASSERT_EQ(1, gif.Create(16, 16, 0, &pal));
    // The frame's palette: odd entries below 200 far from every grey, the others within 10
    // of one (a grey with 3 more red).
    Bytes fp;
    std::vector<int> farEntries;
    for (int i = 0; i < 256; ++i) {
        if (i % 2 && i < 200) {
            fp.insert(fp.end(), {255, BYTE(i), 0});
            farEntries.push_back(i);
        } else {
            int g = i % 190;
            fp.insert(fp.end(), {BYTE(g + 3), BYTE(g), BYTE(g)});
        }
    }
    std::vector<int> px = Pattern(16, 16, 256);
    HGLOBAL dib = MakeDib(16, 16, 8, 256, px, fp);
    GIFFRAMEINFO info = Info();
    info.width = 16;
    info.height = 16;
    ASSERT_EQ(0, gif.InsertFrame(dib, &info, -1, nullptr));
    GIFPALETTE after;
    ASSERT_EQ(1, gif.GetGlobalPalette(&after));
    ASSERT_EQ(256, after.count);
    EXPECT_EQ(0, memcmp(after.entries, t.data(), 3 * 200));
    // 56 places: the first 56 far colours, in order, each more than 10 from all 200.
    for (int k = 0; k < 56; ++k) {
        EXPECT_EQ(0, memcmp(after.entries + 3 * (200 + k), fp.data() + 3 * farEntries[size_t(k)], 3)) << k;
        for (int j = 0; j < 200; ++j)
            ASSERT_GT(Dist(after.entries + 3 * (200 + k), t.data() + 3 * j), 10);
    }
    EXPECT_EQ(256, gif.CountGlobalColors());
    // Every pixel now holds the nearest global entry of its colour.
    Frame f(gif.GetFrameDib(0));
    EXPECT_EQ(8, f.bih()->biBitCount);
    for (int i = 0; i < 256; ++i) {
        const BYTE *want = fp.data() + 3 * px[size_t(i)];
        int got = f.pixel(i % 16, i / 16);
        int best = 1 << 30;
        for (int j = 0; j < 256; ++j)
            best = std::min(best, Dist(want, after.entries + 3 * j));
        ASSERT_EQ(best, Dist(want, after.entries + 3 * got)) << i;
    }
    free(after.entries);

    // A second frame finds no room left: the table stays as it is.
    GIFPALETTE first;
    ASSERT_EQ(1, gif.GetGlobalPalette(&first));
    HGLOBAL dib2 = MakeDib(16, 16, 8, 256, px, fp);
    GIFFRAMEINFO info2 = Info();
    info2.width = 16;
    info2.height = 16;
    ASSERT_EQ(1, gif.InsertFrame(dib2, &info2, 5, nullptr));
    GIFPALETTE again;
    ASSERT_EQ(1, gif.GetGlobalPalette(&again));
    EXPECT_EQ(0, memcmp(again.entries, first.entries, 3 * 256));
    free(again.entries);
    free(first.entries);
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
        GIFPALETTE pal{int32_t(c.table.size() / 3), const_cast<BYTE *>(c.table.data())};
        ASSERT_EQ(1, gif.Create(4, 1, 0, &pal));
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
        GIFPALETTE got;
        ASSERT_EQ(1, gif.GetGlobalPalette(&got));
        EXPECT_EQ(Bytes(got.entries, got.entries + 3 * got.count), c.after) << c.what;
        free(got.entries);
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
        GIFPALETTE pal{256, t.data()};
        ASSERT_EQ(1, gif.Create(4, 4, 0, &pal));
        EXPECT_EQ(c.result, gif.MergeGlobalColors(c.start, c.colours.data(), int(c.colours.size()))) << c.start;
        for (const auto &e : c.changed)
            std::copy(e.second.begin(), e.second.end(), t.begin() + 3 * e.first);
        GIFPALETTE after;
        ASSERT_EQ(1, gif.GetGlobalPalette(&after));
        EXPECT_EQ(t, Bytes(after.entries, after.entries + 3 * 256)) << c.start;
        free(after.entries);
    }
    CGifFile gif;
    Bytes t = GreyTable();
    GIFPALETTE pal{256, t.data()};
    ASSERT_EQ(1, gif.Create(4, 4, 0, &pal));
    EXPECT_EQ(0, gif.MergeGlobalColors(10, nullptr, 2));
}

TEST(GifFrames, FirstFrameGivesTheGlobalTableAndTheFileReadsBack) {
    testkit::TempDir dir;
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
    Frame f(gif.GetFrameDib(1));
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(bits[size_t(i)] ? 5 : 0, f.pixel(i % 6, i / 6)) << i;

    std::string out = dir.file("made.gif");
    ASSERT_EQ(1, gif.Save(out.c_str()));
    CGifFile back;
    ASSERT_EQ(1, back.Load(out.c_str()));
    ASSERT_EQ(2, back.GetFrameCount());
    GIFFRAMEINFO a, b;
    back.GetFrameInfo(0, &a);
    back.GetFrameInfo(1, &b);
    EXPECT_EQ(12, a.delay);
    EXPECT_EQ(3, a.transparentIndex);
    EXPECT_EQ(3, b.delay);
    for (int k = 0; k < 2; ++k) {
        Frame orig(gif.GetFrameDib(k)), read(back.GetFrameDib(k));
        for (int i = 0; i < 30; ++i)
            EXPECT_EQ(orig.pixel(i % 6, i / 6), read.pixel(i % 6, i / 6)) << k << "," << i;
    }
}

TEST(GifFrames, FitFrameDibKeepsProportionsAndReduces) {
    std::vector<int> px = Pattern(200, 100, 200);
    HGLOBAL eight = MakeDib(200, 100, 8, 256, px);
    HGLOBAL fit = FitFrameDib(eight, 100, 100);
    ASSERT_NE(nullptr, fit);
    int w = 0, h = 0;
    PxDibGetSize(fit, &w, &h);
    EXPECT_EQ(100, w);
    EXPECT_EQ(50, h);
    Frame f(fit);
    EXPECT_EQ(8, f.bih()->biBitCount);
    BaseMemFree(fit);
    HGLOBAL tall = FitFrameDib(eight, 400, 100);  // height-limited
    PxDibGetSize(tall, &w, &h);
    EXPECT_EQ(200, w);
    EXPECT_EQ(100, h);
    BaseMemFree(tall);
    // Exactly the box: nothing to do for a palette bitmap, a reduction for true colour.
    EXPECT_EQ(nullptr, FitFrameDib(eight, 200, 100));
    HGLOBAL four = MakeDib(10, 10, 4, 16, Pattern(10, 10, 16));
    EXPECT_EQ(nullptr, FitFrameDib(four, 10, 10));
    HGLOBAL scaled4 = FitFrameDib(four, 5, 5);
    ASSERT_NE(nullptr, scaled4);
    EXPECT_EQ(PX_TYPE_8BIT, PxDibGetType(scaled4));
    BaseMemFree(scaled4);
    HGLOBAL tc = MakeDib(10, 10, 24, 0, Pattern(10, 10, 256));
    HGLOBAL reduced = FitFrameDib(tc, 10, 10);
    ASSERT_NE(nullptr, reduced);
    EXPECT_EQ(PX_TYPE_8BIT, PxDibGetType(reduced) == PX_TYPE_8BIT_GREY ? PX_TYPE_8BIT : PxDibGetType(reduced));
    BaseMemFree(reduced);
    BaseMemFree(tc);
    BaseMemFree(four);
    BaseMemFree(eight);
}

TEST(GifFrames, InsertFrameWritesTheFittedSizeBack) {
    struct Row {
        int boxW, boxH, wantW, wantH;
    } rows[] = {{100, 100, 100, 50}, {400, 100, 200, 100}, {0, 0, 200, 100}};
    for (const Row &r : rows) {
        CGifFile gif;
        ASSERT_EQ(1, gif.Create(400, 400, 0, nullptr));
        GIFFRAMEINFO info = Info();
        info.width = WORD(r.boxW);
        info.height = WORD(r.boxH);
        ASSERT_EQ(0, gif.InsertFrame(MakeDib(200, 100, 8, 256, Pattern(200, 100, 200)), &info, 0, nullptr));
        EXPECT_EQ(r.wantW, info.width) << r.boxW;
        EXPECT_EQ(r.wantH, info.height) << r.boxW;
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
            GIFPALETTE table{256, t.data()};
            ASSERT_EQ(1, gif.Create(8, 8, 0, &table));
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
            GIFPALETTE after;
            ASSERT_EQ(1, gif.GetGlobalPalette(&after));
            EXPECT_EQ(0, memcmp(after.entries, t.data(), t.size())) << n;
            free(after.entries);
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
    HGLOBAL tc = MakeDib(4, 4, 24, 0, {});
    {
        BYTE *p = static_cast<BYTE *>(BaseMemLock(tc));
        for (int i = 0; i < 16; ++i) {
            BYTE *q = p + 40 + size_t(i / 4) * 12 + 3 * size_t(i % 4);
            bool red = (i % 4) < 2;
            q[0] = red ? 0 : 255;
            q[2] = red ? 255 : 0;
        }
        BaseMemUnlock(tc);
    }
    ASSERT_EQ(1, gif.SetFrame(tc, &info, 0));
    std::string out = dir.file("out.gif");
    ASSERT_EQ(1, gif.Save(out.c_str()));
    HGLOBAL thumb = LoadGifThumbnail(out.c_str());
    ASSERT_NE(nullptr, thumb);
    const BYTE *t = static_cast<const BYTE *>(BaseMemLock(thumb));
    const BYTE *row = t + 40;
    EXPECT_EQ(0, row[0]);
    EXPECT_EQ(248, row[2] & 0xF8);  // red, as the 5-bit cell gives it back
    EXPECT_EQ(248, row[3 * 2] & 0xF8);  // blue
    BaseMemUnlock(thumb);
    BaseMemFree(thumb);
    CGifFile back;
    ASSERT_EQ(1, back.Load(out.c_str()));
    GIFFRAMEINFO got;
    back.GetFrameInfo(0, &got);
    EXPECT_EQ(1, got.hasLocalTable);
    EXPECT_EQ(8, got.localBits);
    EXPECT_EQ(9, got.delay);
}

}  // namespace
