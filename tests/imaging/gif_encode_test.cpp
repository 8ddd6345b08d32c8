/*
 * The GIF writer: file layout byte for byte (the expected bytes are built here from GIF89a's
 * block layout and a plain LZW encoder of the test's own), the code stream's rules, round
 * trips through the reader, and failures.
 */
#include <gtest/gtest.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "basemem.h"
#include "gif.h"
#include "gif_bytes.h"
#include "pixkit.h"
#include "testkit.h"

namespace {

using namespace giftest;

/* The image data part of a file written by Save: from the code size byte of the first image
 * to its terminator. */
Bytes FirstImageData(const Bytes &file, int globalEntries, int localEntries = 0) {
    size_t off = 13 + 3 * size_t(globalEntries) + 19 + 8 + 10 + 3 * size_t(localEntries);
    size_t end = off + 1;
    while (end < file.size() && file[end] != 0)
        end += file[end] + 1;
    return Bytes(file.begin() + long(off), file.begin() + long(end + 1));
}

/* The looping block Save writes before every frame. */
const char *const kLoopText = "\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00";
const Bytes kLoop(kLoopText, kLoopText + 19);

class GifWrite : public GifFiles {
protected:
    /* Saves `gif` to `name` and reads it back: the same frames; the file's bytes. */
    Bytes SavedBack(CGifFile &gif, CGifFile &back, const char *name) {
        std::string out = dir.file(name), why;
        EXPECT_EQ(1, gif.Save(out.c_str()));
        EXPECT_EQ(1, back.Load(out.c_str()));
        EXPECT_TRUE(SameFrames(gif, back, &why)) << why;
        return Read(out);
    }
};

TEST_F(GifWrite, SingleFrameFileLayout) {
    // A created container of 5 x 3 with a global table of 4 entries (colour bits 2), one 8-bit
    // frame at (1, 2) with transparency, disposal 2 and delay 0x1234.
    Bytes table{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    GIFPALETTE pal{4, table.data()};
    CGifFile gif;
    ASSERT_EQ(1, gif.Create(5, 3, 3, &pal));
    GIFSCREEN s = {};
    gif.GetScreen(&s);
    s.colourBits = 2;
    s.colourCount = 4;
    gif.SetScreen(&s);
    std::vector<int> px{0, 1, 2, 3, 0, 1, 2, 3, 3, 2, 1, 0};
    GIFFRAMEINFO info = Info(0x1234, 2, 3);
    info.left = 1;
    info.top = 2;
    info.width = 4;
    info.height = 3;
    ASSERT_EQ(0, gif.AddDecodedFrame(MakeDib(4, 3, 8, 4, px, table), &info, 0));
    std::string out = dir.file("one.gif");
    ASSERT_EQ(1, gif.Save(out.c_str()));

    // Created: a global table, colour resolution 8, its size from the colour bits (0xF1).
    Bytes want{'G', 'I', 'F', '8', '9', 'a', 5, 0, 3, 0, 0xF1, 3, 0};
    Append(want, table);
    Append(want, kLoop);
    Gce(want, 0x1234, 2, 3);
    Descriptor(want, 1, 2, 4, 3, 2);
    Append(want, SubBlocks(Lzw(px, 2)));
    want.push_back(0x3B);
    EXPECT_EQ(want, Read(out));
}

TEST_F(GifWrite, CodeStreamClearsBeforeCode4094) {
    // Noise fills the string table several times, at each code size's own way of keeping it
    // (one bit: code size 2; four bits; six bits in bytes; eight bits); the chain runs over
    // many sub-blocks; eight bits also with few values, whose strings grow long.
    struct Case {
        int bits, w, h, values;
    } cases[] = {{1, 640, 400, 2}, {4, 400, 240, 16}, {6, 300, 160, 64}, {8, 300, 120, 256}, {8, 400, 200, 6}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.bits);
        const int w = k.w, h = k.h, colours = 1 << k.bits, m = k.bits < 2 ? 2 : k.bits;
        std::vector<int> px(size_t(w) * h);
        uint32_t v = 12345;
        for (auto &p : px) {
            v = v * 1103515245u + 12345u;
            p = int((v >> 16) % unsigned(k.values));
        }
        CGifFile gif;
        ASSERT_EQ(1, gif.Load(Write(Still(w, h, k.bits, Pattern(w, h, colours), m)).c_str()));
        GIFFRAMEINFO info;
        gif.GetFrame(0, &info);
        ASSERT_EQ(1, gif.SetFrame(MakeDib(w, h, k.bits == 6 ? 8 : k.bits, colours, px, Table(colours)), &info, 0));
        CGifFile back;
        Bytes data = FirstImageData(SavedBack(gif, back, "noise.gif"), colours);
        ASSERT_EQ(m, data[0]);
        // The whole chain is the one the reference encoder gives with a clear as soon as code
        // 4094 would be assigned: between two clears one code for each string assigned,
        // clear + 2 .. 4093, and never a code above 4093.
        EXPECT_EQ(SubBlocks(Lzw(px, m, true, 4094)), Bytes(data.begin() + 1, data.end()));
    }
}

TEST_F(GifWrite, StreamOf255BytesIsOneFullSubBlock) {
    // One row of noise, as wide as makes the code stream exactly 255 (and then 256) bytes.
    for (size_t want : {size_t(255), size_t(256)}) {
        std::vector<int> px;
        uint32_t v = 99;
        int width = 0;
        for (int n = 100; n < 400 && !width; ++n) {
            px.clear();
            for (int i = 0; i < n; ++i) {
                v = v * 1103515245u + 12345u;
                px.push_back(int((v >> 16) & 0xFF));
            }
            if (Lzw(px, 8).size() == want)
                width = n;
        }
        ASSERT_NE(0, width) << want;
        CGifFile gif;
        Bytes table = Table(256);
        ASSERT_EQ(1, CreateWith(gif, width, 1, table));
        GIFFRAMEINFO info = Info();
        ASSERT_EQ(0, gif.AddDecodedFrame(MakeDib(width, 1, 8, 256, px, table), &info, 0));
        std::string out = dir.file("row.gif");
        ASSERT_EQ(1, gif.Save(out.c_str()));
        Bytes data = FirstImageData(Read(out), 256);
        Bytes codes = Lzw(px, 8);
        Bytes expect{8, 255};
        expect.insert(expect.end(), codes.begin(), codes.begin() + 255);
        if (want == 256) {
            expect.push_back(1);
            expect.push_back(codes[255]);
        }
        expect.push_back(0);
        EXPECT_EQ(expect, data) << want;
    }
}

TEST_F(GifWrite, FrameShapesSurviveASave) {
    // A 1-bit frame, a 4-bit interlaced frame with a local table, an 8-bit frame with a local
    // table, transparency and a position, and a 1-bit frame with a 2-entry local table.
    Bytes b = Header(40, 30, 1);
    b[11] = 1;
    Gce(b, 7, 1, -1);
    Image(b, 0, 0, 17, 9, Pattern(17, 9, 2), 2);
    Gce(b, 0, 2, 3);
    Image(b, 3, 4, 13, 11, Pattern(13, 11, 16), 4, 4, true);
    Gce(b, 65535, 3, 200);
    Image(b, 20, 10, 20, 20, Pattern(20, 20, 256), 8, 8);
    Image(b, 39, 29, 1, 1, {1}, 2, 1, true);
    b.push_back(0x3B);
    CGifFile gif;
    ASSERT_EQ(1, gif.Load(Write(b).c_str()));
    ASSERT_EQ(4, gif.GetFrameCount());
    CGifFile back, again;
    const Bytes file = SavedBack(gif, back, "shapes.gif");
    GIFSCREEN s1 = {}, s2 = {};
    gif.GetScreen(&s1);
    back.GetScreen(&s2);
    EXPECT_EQ(0, memcmp(&s1, &s2, sizeof(s1)));
    // The file's own bytes: every frame after the first opens with the looping block too.
    size_t loops = 0;
    for (size_t i = 0; i + 19 <= file.size(); ++i)
        loops += memcmp(file.data() + i, kLoop.data(), 19) == 0;
    EXPECT_EQ(4u, loops);
    EXPECT_EQ(0x3B, file.back());
    // Saving what was read back gives the same file.
    EXPECT_EQ(file, SavedBack(back, again, "again.gif"));
}

TEST_F(GifWrite, ContainerWithoutFramesKeepsItsScreen) {
    // The screen and the global table are written: the very file that was read.
    Bytes b = Header(10, 6, 1);
    b.push_back(0x3B);
    CGifFile gif;
    ASSERT_EQ(1, gif.Load(Write(b).c_str()));
    ASSERT_EQ(0, gif.GetFrameCount());
    std::string out = dir.file("empty.gif");
    ASSERT_EQ(1, gif.Save(out.c_str()));
    EXPECT_EQ(b, Read(out));
    // A container never loaded or created has no screen: the trailer alone.
    CGifFile none;
    ASSERT_EQ(1, none.Save(out.c_str()));
    EXPECT_EQ(Bytes{0x3B}, Read(out));
}

TEST_F(GifWrite, BadFramesFailAndLeaveTheDestinationAlone) {
    std::string out = dir.file("keep.gif");
    const Bytes before{'o', 'l', 'd'};
    auto expectUntouched = [&](const char *what) {
        EXPECT_EQ(before, Read(out)) << what;
        EXPECT_EQ(2, FileCount(dir)) << what;  // in.gif and keep.gif: nothing else was left
    };
    Bytes b = Header(8, 8, 2);
    Image(b, 0, 0, 8, 8, Pattern(8, 8, 4), 2);
    Image(b, 0, 0, 8, 8, Pattern(8, 8, 3), 2);
    b.push_back(0x3B);
    std::string in = Write(b);
    ASSERT_TRUE(testkit::WriteFileBytes(out, before));

    struct Case {
        const char *what;
        std::function<void(CGifFile &)> spoil;
    };
    const Case cases[] = {
        {"24-bit frame", [](CGifFile &g) { g.FrameAt(1)->SetDib(MakeDib(8, 8, 24, 0, Pattern(8, 8, 200))); }},
        {"local table of the wrong size", [](CGifFile &g) {
             CGifFrame *f = g.FrameAt(1);
             f->hasLocalTable = 1;
             f->localBits = 3;  // 8 entries, the bitmap has 4
         }},
        {"no bitmap", [](CGifFile &g) {
             CGifFrame *f = g.FrameAt(1);
             BaseMemFree(f->dib);
             f->dib = 0;
         }},
        {"pixel beyond the table", [](CGifFile &g) { g.FrameAt(1)->SetDib(MakeDib(8, 8, 8, 4, Pattern(8, 8, 9))); }},
    };
    for (const Case &c : cases) {
        CGifFile gif;
        ASSERT_EQ(1, gif.Load(in.c_str()));
        c.spoil(gif);
        SetLastError(0);
        EXPECT_EQ(0, gif.Save(out.c_str())) << c.what;
        EXPECT_EQ(DWORD(ERROR_INVALID_DATA), GetLastError()) << c.what;
        expectUntouched(c.what);
    }
    CGifFile gif;
    ASSERT_EQ(1, gif.Load(in.c_str()));
    EXPECT_EQ(0, gif.Save(nullptr));
    EXPECT_EQ(0, gif.Save((dir.path() + "/nosuch/x.gif").c_str()));
    // A frame written to no file, or of no container, is refused.
    GIFFRAMEINFO info;
    HGLOBAL dib = gif.GetFrame(0, &info);
    EXPECT_EQ(GIF_WRITE_BAD_INPUT, WriteFrame(&gif, nullptr, dib, &info, 1));
    EXPECT_EQ(GIF_WRITE_BAD_INPUT, WriteFrame(nullptr, nullptr, dib, &info, 1));
}

}  // namespace
