/*
 * The GIF reader and container: files are built byte by byte here (a plain LZW encoder in
 * the test), loaded, and their frame bitmaps checked byte for byte.
 */
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "basemem.h"
#include "gif.h"
#include "pixkit.h"
#include "gif_bytes.h"
#include "testkit.h"

namespace {

using namespace giftest;

class GifTest : public GifFiles {};

/* The file `b` with `more` after it, or cut to `size` bytes. */
Bytes With(Bytes b, const Bytes &more) {
    Append(b, more);
    return b;
}
Bytes Cut(Bytes b, size_t size) {
    b.resize(size);
    return b;
}

TEST_F(GifTest, WhatLoadsAndWhatFails) {
    const Bytes damaged = Still(8, 8, 1, Pattern(8, 8, 2), 2);
    const struct {
        const char *what;
        Bytes file;
        int loaded, frames;
    } cases[] = {
        {"signatures in any case", Still(4, 2, 1, Pattern(4, 2, 2), 2, "gif89a"), 1, 1},
        {"GIF87a", Still(4, 2, 1, Pattern(4, 2, 2), 2, "GIF87a"), 1, 1},
        {"Gif87A", Still(4, 2, 1, Pattern(4, 2, 2), 2, "Gif87A"), 1, 1},
        {"GIF88a", Still(4, 2, 1, Pattern(4, 2, 2), 2, "GIF88a"), 0, 0},
        {"JIF89a", Still(4, 2, 1, Pattern(4, 2, 2), 2, "JIF89a"), 0, 0},
        {"GIF89b", Still(4, 2, 1, Pattern(4, 2, 2), 2, "GIF89b"), 0, 0},
        {"twelve bytes", Cut(Header(4, 2, 0), 12), 0, 0},
        {"a global table up to the end", Cut(Header(4, 4, 8), 13 + 3 * 256), 0, 0},
        {"a descriptor cut short", With(Header(4, 4, 1), {0x2C, 0, 0, 0, 0, 4}), 1, 0},
        {"a local table past the end", With(Header(4, 4, 1), {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0x87, 1, 2, 3}), 1, 0},
        {"no trailer, the data cut in a sub-block", Cut(damaged, damaged.size() - 5), 1, 1},
        {"a width of 0", With(Header(4, 4, 1), {0x2C, 0, 0, 0, 0, 0, 0, 4, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B}), 1, 0},
        {"4 gigapixels: over a file's budget", [] {
             Bytes b = Header(4, 4, 1);
             Image(b, 0, 0, 65535, 65535, {1, 0, 1}, 2, 8);
             return b;
         }(), 0, 0},
        {"code size 0", With(Header(2, 2, 1), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 0, 2, 0xFF, 0xFF, 0, 0x3B}), 1, 0},
        {"code size 12", With(Header(2, 2, 1), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 12, 2, 0xFF, 0xFF, 0, 0x3B}), 1, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CGifFile gif;
        EXPECT_EQ(c.loaded, gif.Load(Write(c.file).c_str()));
        EXPECT_EQ(c.frames, gif.GetFrameCount());
    }
    CGifFile gif;
    EXPECT_EQ(0, gif.Load(dir.file("missing.gif").c_str()));
    EXPECT_EQ(0, gif.Load(nullptr));
    // A frame larger than the screen is kept as it is.
    Bytes big = Header(4, 4, 1);
    Image(big, 2, 2, 40, 30, Pattern(40, 30, 2), 2);
    ASSERT_EQ(1, gif.Load(Write(With(big, {0x3B})).c_str()));
    int l, t, w, h;
    ASSERT_EQ(1, gif.GetFrameRect(0, &l, &t, &w, &h));
    EXPECT_EQ((std::vector<int>{2, 2, 40, 30}), (std::vector<int>{l, t, w, h}));
}

TEST_F(GifTest, ScreenAndGlobalTableAsReadAndCreated) {
    Bytes b = Header(300, 200, 3);
    b[10] |= 0x08;  // sorted
    b[11] = 5;      // background
    Image(b, 0, 0, 2, 2, Pattern(2, 2, 8), 3);
    b.push_back(0x3B);
    CGifFile gif;
    ASSERT_EQ(1, gif.Load(Write(b).c_str()));
    GIFSCREEN s;
    memset(&s, 0xCC, sizeof(s));
    gif.GetScreen(&s);
    EXPECT_EQ(300, s.width);
    EXPECT_EQ(200, s.height);
    EXPECT_EQ(1, s.hasGlobalTable);
    EXPECT_EQ(3, s.colourBits);
    EXPECT_EQ(8, s.colourCount);
    EXPECT_EQ(5, s.background);
    EXPECT_EQ(0x08, s.sortFlag);
    EXPECT_EQ(0xCC, s.packed);  // GetScreen leaves packed alone
    EXPECT_EQ(Table(8), GlobalTable(gif));
    // Entry 2 is (6, 253, 14).
    EXPECT_EQ(2, gif.FindGlobalColor(6 + 253 * 256 + 14 * 65536));
    EXPECT_EQ(0, gif.FindGlobalColor(0x123456));

    // A created screen: 8 colour bits whatever its table, no frames (its table and background
    // as written are checked with the writer).
    BYTE rgb[6] = {1, 2, 3, 4, 5, 6};
    GIFPALETTE pal{2, rgb};
    ASSERT_EQ(1, gif.Create(320, 240, 1, &pal));
    int w = 0, h = 0;
    gif.GetScreenSize(&w, nullptr);
    gif.GetScreenSize(nullptr, &h);
    EXPECT_EQ(320, w);
    EXPECT_EQ(240, h);
    gif.GetScreen(&s);
    EXPECT_EQ(8, s.colourBits);
    EXPECT_EQ(0, gif.GetDuration());
}

TEST_F(GifTest, DurationsOfOneAndTwoFrames) {
    // A single frame plays for 2 s whatever its delay; a delay of 0 counts as 10 (100 ms).
    const struct {
        std::vector<int> delays;
        int ms;
    } cases[] = {{{77}, 2000}, {{0, 5}, 150}};
    for (const auto &c : cases) {
        Bytes b = Header(2, 2, 1);
        for (int delay : c.delays) {
            Gce(b, delay, 0, -1);
            Image(b, 0, 0, 2, 2, Pattern(2, 2, 2), 2);
        }
        b.push_back(0x3B);
        EXPECT_EQ(c.ms, GetGifDuration(Write(b).c_str())) << c.delays.size() << " frames";
    }
    EXPECT_EQ(-1, GetGifDuration(nullptr));
    EXPECT_EQ(0, GetGifDuration(dir.file("nothing.gif").c_str()));
}

TEST_F(GifTest, FrameDepthsFollowTheColourTable) {
    // Ten pixels wide, so that a 1-bit row reaches into its second byte; the row padding is 0.
    struct Case {
        int bits, m, depth, used;
    } cases[] = {{1, 2, 1, 2}, {2, 2, 4, 4}, {4, 4, 4, 16}, {5, 5, 8, 32}, {8, 8, 8, 256}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bits);
        std::vector<int> px = Pattern(10, 3, 1 << c.bits);
        CGifFile gif;
        ASSERT_EQ(1, gif.Load(Write(Still(10, 3, c.bits, px, c.m)).c_str()));
        Frame f(gif.GetFrameDib(0));
        ASSERT_TRUE(f.p);
        BITMAPINFOHEADER want = testkit::InfoHeader(10, 3, c.depth);
        want.biSizeImage = DWORD(f.stride() * 3);
        want.biClrUsed = DWORD(c.used);
        EXPECT_EQ(0, memcmp(&want, f.bih(), sizeof want));
        // Palette entry 1 is blue, green, red, 0 of table entry 1 (3, 254, 7).
        EXPECT_EQ(Bytes({7, 254, 3, 0}), Bytes(f.p + 44, f.p + 48));
        EXPECT_EQ(px, Pixels(f.h));
        const size_t used = (10 * size_t(c.depth) + 7) / 8;  // the bytes a row's pixels take
        for (int y = 0; y < 3; ++y)
            EXPECT_EQ(Bytes(f.stride() - used, 0), Bytes(f.row(y) + used, f.row(y) + f.stride())) << y;
    }
}

TEST_F(GifTest, InterlacedRowsLandInPassOrder) {
    const int h = 10;
    std::vector<int> px;
    for (int k = 0; k < h; ++k)
        for (int x = 0; x < 3; ++x)
            px.push_back(k);  // decoded row k holds the value k
    Bytes b = Header(3, h, 4);
    Image(b, 0, 0, 3, h, px, 4, 0, true);
    b.push_back(0x3B);
    CGifFile gif;
    ASSERT_EQ(1, gif.Load(Write(b).c_str()));
    GIFFRAMEINFO info;
    Frame f(gif.GetFrame(0, &info));
    EXPECT_NE(0, info.interlaced);
    const int order[h] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    for (int k = 0; k < h; ++k)
        EXPECT_EQ(k, f.pixel(1, order[k])) << "decoded row " << k;
}

/* An image whose stream reaches code 7 (never defined, 3 bits) right after the literal 1. */
void BadCodeImage(Bytes &b) {
    Descriptor(b, 0, 0, 4, 4, 2);
    Append(b, SubBlocks({BYTE(4 | (1 << 3) | (7 << 6)), 0x01, 0x55, 0x55}));
}

TEST_F(GifTest, DamagedImageEndsOnlyItself) {
    // good, good, one with a bad code, one whose stream ends on its terminator after two rows
    // and two pixels, good: a damaged frame keeps the pixels decoded before the damage (the
    // rest index 0) and the frame after it is read as usual.
    Bytes b = Header(4, 4, 2);
    Image(b, 0, 0, 4, 4, Pattern(4, 4, 4), 2);
    Image(b, 0, 0, 4, 4, Pattern(4, 4, 3), 2);
    BadCodeImage(b);
    std::vector<int> cut = Pattern(4, 4, 2);
    Descriptor(b, 0, 0, 4, 4, 2);
    Append(b, SubBlocks(Lzw(std::vector<int>(cut.begin(), cut.begin() + 10), 2, false)));
    Image(b, 0, 0, 4, 4, Pattern(4, 4, 2), 2);
    b.push_back(0x3B);
    CGifFile gif;
    EXPECT_EQ(1, gif.Load(Write(b).c_str()));
    ASSERT_EQ(5, gif.GetFrameCount());
    std::vector<int> bad(16, 0);
    bad[0] = 1;
    EXPECT_EQ(bad, Pixels(gif.GetFrameDib(2)));
    std::fill(cut.begin() + 10, cut.end(), 0);
    EXPECT_EQ(cut, Pixels(gif.GetFrameDib(3)));
    EXPECT_EQ(Pattern(4, 4, 2), Pixels(gif.GetFrameDib(4)));

    // A file whose only frame is damaged still gives that frame, and a thumbnail of it.
    Bytes one = Header(4, 4, 2);
    BadCodeImage(one);
    one.push_back(0x3B);
    std::string path = Write(one);
    EXPECT_EQ(1, gif.Load(path.c_str()));
    EXPECT_EQ(1, gif.GetFrameCount());
    HGLOBAL thumb = LoadGifThumbnail(path.c_str());
    EXPECT_NE(nullptr, thumb);
    if (thumb)
        BaseMemFree(thumb);
}

TEST_F(GifTest, FilterSeesEachFrameAsDecoded) {
    Bytes b = Header(4, 4, 2);
    for (int k = 0; k < 3; ++k) {
        Gce(b, k + 1, 0, -1);
        Image(b, 0, 0, 4, 4, Pattern(4, 4, 4 - k), 2);
    }
    b.push_back(0x3B);
    struct Seen {
        std::vector<int> indices, frames;
        std::vector<std::pair<int, int>> progress;
    } seen;
    auto filter = [](void *ctx, CGifFile *gif, int index, HGLOBAL dib, GIFFRAMEINFO *info) -> HGLOBAL {
        Seen *s = static_cast<Seen *>(ctx);
        s->indices.push_back(index);
        s->frames.push_back(gif->GetFrameCount());  // the frames kept before this one
        if (index == 1) {
            BaseMemFree(dib);
            return nullptr;
        }
        info->delay += 100;
        return dib;
    };
    CGifFile gif;
    gif.SetProgress([](void *ctx, int done, int total) { static_cast<Seen *>(ctx)->progress.push_back({done, total}); },
                    &seen);
    ASSERT_EQ(1, gif.LoadFiltered(Write(b).c_str(), filter, &seen));
    EXPECT_EQ((std::vector<int>{0, 1, 2}), seen.indices);
    EXPECT_EQ((std::vector<int>{0, 1, 1}), seen.frames);
    ASSERT_EQ(2, gif.GetFrameCount());
    GIFFRAMEINFO a, c;
    gif.GetFrameInfo(0, &a);
    gif.GetFrameInfo(1, &c);
    EXPECT_EQ(101, a.delay);
    EXPECT_EQ(103, c.delay);
    ASSERT_EQ(3u, seen.progress.size());
    EXPECT_LT(seen.progress[0].first, seen.progress[1].first);
    EXPECT_EQ(int(b.size()) - 1, seen.progress[2].first);  // up to the trailer
    EXPECT_EQ(int(b.size()), seen.progress[2].second);
    // A plain Load afterwards keeps every frame.
    gif.SetProgress(nullptr, nullptr);
    ASSERT_EQ(1, gif.Load(Write(b).c_str()));
    EXPECT_EQ(3, gif.GetFrameCount());
}

TEST_F(GifTest, FullTableKeepsDecodingFromOldStrings) {
    // 800 x 500 pixels coded without a clear after the table fills: the late codes name strings
    // first written more than 300000 pixels earlier (further back than the decoder's window).
    const int w = 800, h = 500;
    std::vector<int> px(size_t(w) * h);
    uint32_t v = 7;
    for (size_t i = 0; i < px.size(); ++i) {
        if (i < 40000) {
            v = v * 1103515245u + 12345u;
            px[i] = int((v >> 16) % 6);
        } else {
            px[i] = px[i - 40000 + (i / 977) % 13];  // the early noise again, in pieces
        }
    }
    CGifFile gif;
    Bytes b = Still(w, h, 3, px, 3);
    ASSERT_EQ(1, gif.Load(Write(b).c_str()));
    EXPECT_TRUE(px == Pixels(gif.GetFrameDib(0)));  // not printed whole: 400 000 values
}

TEST_F(GifTest, RealFileShapes) {
    // A 2-colour table decoded with code size 8, and extensions of several sub-blocks whose
    // data holds separator bytes.
    Bytes b = Header(10, 3, 1);
    const char *id = "\x21\xFF\x0BMEDLEYTEST1";
    Append(b, Bytes(id, id + 14));
    Append(b, SubBlocks(Bytes(600, 0x2C)));
    Append(b, {0x21, 0x01, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // plain text
    Append(b, SubBlocks(Bytes(300, 0x3B)));
    Append(b, {0x21, 0xFE});  // comment
    Append(b, SubBlocks(Bytes{'a', 0, 'b', 0x2C}));
    Gce(b, 9, 2, 1);
    std::vector<int> px = Pattern(10, 3, 2);
    Image(b, 0, 0, 10, 3, px, 8);
    b.push_back(0x3B);
    CGifFile gif;
    ASSERT_EQ(1, gif.Load(Write(b).c_str()));
    ASSERT_EQ(1, gif.GetFrameCount());
    GIFFRAMEINFO info;
    Frame f(gif.GetFrame(0, &info));
    EXPECT_EQ(1, f.bih()->biBitCount);
    EXPECT_EQ(9, info.delay);
    EXPECT_EQ(2, info.disposal);
    EXPECT_EQ(1, info.hasTransparency);
    EXPECT_EQ(1, info.transparentIndex);
    EXPECT_EQ(px, Pixels(f.h));
}

TEST_F(GifTest, ContainerListOperations) {
    Bytes b = Header(6, 6, 2);
    Gce(b, 3, 1, 2);
    Image(b, 0, 0, 6, 6, Pattern(6, 6, 4), 2);
    Gce(b, 4, 0, -1);
    Image(b, 1, 2, 3, 2, Pattern(3, 2, 8), 3, 3);
    Image(b, 0, 0, 2, 2, Pattern(2, 2, 4), 2);
    b.push_back(0x3B);
    CGifFile gif;
    ASSERT_EQ(1, gif.Load(Write(b).c_str()));
    ASSERT_EQ(3, gif.GetFrameCount());

    // Transparent colour of frame 0: global entry 2 = (6, 253, 14).
    EXPECT_EQ(6 + 253 * 256 + 14 * 65536, gif.GetTransparentColor(0));
    EXPECT_EQ(-1, gif.GetTransparentColor(1));
    EXPECT_EQ(-1, gif.GetTransparentColor(7));

    // Frame 1 has a local table of 8 entries (entry i of Table() xor 0x55).
    EXPECT_EQ(nullptr, gif.GetLocalPalette(0));
    GIFPALETTE *local = gif.GetLocalPalette(1);
    ASSERT_NE(nullptr, local);
    EXPECT_EQ(8, local->count);
    EXPECT_EQ(BYTE(3 ^ 0x55), local->entries[3]);
    EXPECT_EQ(BYTE(254 ^ 0x55), local->entries[4]);
    int red = local->entries[3], green = local->entries[4], blue = local->entries[5];
    free(local->entries);
    delete local;
    EXPECT_EQ(1, CGifFile::FindPaletteIndex(gif.GetFrameDib(1), red + green * 256 + blue * 65536));
    EXPECT_EQ(-1, CGifFile::FindPaletteIndex(gif.GetFrameDib(1), 0x00FFFFFF));
    EXPECT_EQ(-1, CGifFile::FindPaletteIndex(0, 0));

    int l = -1, t = -1, w = -1, h = -1;
    EXPECT_EQ(1, gif.GetFrameRect(1, &l, &t, &w, &h));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 2}), (std::vector<int>{l, t, w, h}));
    EXPECT_EQ(0, gif.GetFrameRect(1, &l, nullptr, &w, &h));
    EXPECT_EQ(0, gif.GetFrameRect(3, &l, &t, &w, &h));

    GIFFRAMEINFO info;
    ASSERT_EQ(1, gif.GetFrameInfo(0, &info));
    EXPECT_EQ(3, info.delay);
    EXPECT_EQ(1, info.disposal);
    EXPECT_EQ(0, gif.SetFrameInfo(-1, &info));
    EXPECT_EQ(0, gif.SetFrameInfo(3, &info));
    EXPECT_EQ(0, gif.SetFrameInfo(0, nullptr));
    EXPECT_EQ(0, gif.GetFrameInfo(0, nullptr));

    // Copy frame 1's DIB into a block of exactly its size, and one byte short.
    HGLOBAL f1 = gif.GetFrameDib(1);
    DWORD need = 40 + 4 * 8 + 4 * 2;
    HGLOBAL dest = BaseMemAlloc(GMEM_MOVEABLE, need);
    HGLOBAL shortDest = BaseMemAlloc(GMEM_MOVEABLE, need - 1);
    EXPECT_EQ(need, gif.CopyFrameDib(1, dest));
    EXPECT_EQ(0u, gif.CopyFrameDib(1, shortDest));
    EXPECT_EQ(0u, gif.CopyFrameDib(9, dest));
    void *a = BaseMemLock(dest), *c = BaseMemLock(f1);
    EXPECT_EQ(0, memcmp(a, c, need));
    BaseMemUnlock(dest);
    BaseMemUnlock(f1);
    BaseMemFree(dest);
    BaseMemFree(shortDest);

    // RemoveFrame at the count changes nothing; the middle one goes.
    EXPECT_EQ(0, gif.RemoveFrame(3));
    EXPECT_EQ(0, gif.RemoveFrame(-1));
    EXPECT_EQ(3, gif.GetFrameCount());
    HGLOBAL last = gif.GetFrameDib(2);
    EXPECT_EQ(1, gif.RemoveFrame(1));
    EXPECT_EQ(2, gif.GetFrameCount());
    EXPECT_EQ(last, gif.GetFrameDib(1));

    // AddDecodedFrame: 0 heads the list, out of range appends.
    HGLOBAL extra = BaseMemAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 48);
    HGLOBAL tail = BaseMemAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 48);
    EXPECT_EQ(0, gif.AddDecodedFrame(extra, &info, 0));
    EXPECT_EQ(3, gif.AddDecodedFrame(tail, &info, 99));
    EXPECT_EQ(-1, gif.AddDecodedFrame(0, &info, 0));
    EXPECT_EQ(extra, gif.GetFrameDib(0));
    EXPECT_EQ(tail, gif.GetFrameDib(3));
    EXPECT_EQ(0, gif.GetFrameDib(4));
    EXPECT_EQ(0, gif.GetFrame(-1, &info));
}

TEST_F(GifTest, SizeAndThumbnail) {
    std::string path = Write(Still(700, 14, 2, Pattern(700, 14, 4), 2));
    WORD w = 0, h = 0;
    EXPECT_EQ(1, GetGifSize(path.c_str(), &w, &h));
    EXPECT_EQ(700, w);
    EXPECT_EQ(14, h);
    testkit::AssertCapture capture;
    EXPECT_EQ(0, GetGifSize(nullptr, &w, &h));
    EXPECT_TRUE(capture.Saw("szGifFile"));
    EXPECT_EQ(0, GetGifSize(dir.file("none.gif").c_str(), &w, &h));

    Frame f(LoadGifThumbnail(path.c_str()), true);
    ASSERT_NE(nullptr, f.p);
    EXPECT_EQ(24, f.bih()->biBitCount);
    EXPECT_EQ(320, f.bih()->biWidth);
    EXPECT_EQ(6, f.bih()->biHeight);  // 14 * 320 / 700 = 6.4
    Frame tall(LoadGifThumbnail(Write(Still(14, 700, 2, Pattern(14, 700, 4), 2), "tall.gif").c_str()), true);
    ASSERT_NE(nullptr, tall.p);
    EXPECT_EQ(6, tall.bih()->biWidth);
    EXPECT_EQ(320, tall.bih()->biHeight);

    // A small picture is converted but not resized.
    Frame g(LoadGifThumbnail(Write(Still(3, 2, 1, {0, 1, 0, 1, 1, 1}, 2), "s.gif").c_str()), true);
    ASSERT_NE(nullptr, g.p);
    EXPECT_EQ(3, g.bih()->biWidth);
    // Pixel (1, 0) is palette entry 1: red 3, green 254, blue 7 -> bytes 7, 254, 3.
    EXPECT_EQ(Bytes({7, 254, 3}), Bytes(g.row(0) + 3, g.row(0) + 6));
    EXPECT_EQ(nullptr, LoadGifThumbnail(nullptr));
    EXPECT_EQ(nullptr, LoadGifThumbnail(dir.file("none.gif").c_str()));
}

}  // namespace
