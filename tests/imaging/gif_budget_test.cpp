/*
 * A GIF file's budget (gif.h): what its blocks declare weighed against what they hold, decided
 * before any frame is allocated, and the counts read from the blocks without decoding.
 */
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "gif.h"
#include "gif_bytes.h"
#include "testkit.h"

namespace {

using namespace giftest;

/* An image of w x h whose chain holds `dataBytes` bytes of LZW data (a run of index 0, cut
 * short when the bytes end before the area is full). */
void Declared(Bytes &b, int w, int h, size_t dataBytes) {
    Bytes lzw = Lzw(std::vector<int>(size_t(w) * h < 4096 ? size_t(w) * h : 4096, 0), 2, false);
    lzw.resize(dataBytes, 0);
    Descriptor(b, 0, 0, w, h, 2);
    Append(b, SubBlocks(lzw));
}

struct Frame {
    int w, h;
    size_t dataBytes;
};

class GifBudget : public GifFiles {
protected:
    std::string Write(const std::vector<Frame> &frames, size_t repeat = 1) {
        Bytes b = Header(16, 16, 1);
        for (size_t i = 0; i < repeat; ++i)
            for (const Frame &f : frames)
                Declared(b, f.w, f.h, f.dataBytes);
        b.push_back(0x3B);
        return GifFiles::Write(b);
    }
};

TEST_F(GifBudget, FramesAreWeighedAgainstTheirDataAndTheFileAgainstItsCaps) {
    const DWORD kFine = 0, kUnfilled = DWORD(GIF_ERROR_FRAME_UNFILLED);
    const struct {
        const char *what;
        std::vector<Frame> frames;
        size_t repeat;
        DWORD verdict;
        int kept;  // frames Load keeps (and the scan counts)
    } kCases[] = {
        {"one byte fills 4096 pixels", {{64, 64, 1}}, 1, kFine, 1},
        {"but not 4097", {{4097, 1, 1}}, 1, kUnfilled, 0},
        {"two bytes 8192", {{8192, 1, 2}, {3, 3, 1}}, 1, kFine, 2},
        {"the frames before an unfillable one stay", {{4, 4, 3}, {300, 300, 2}, {4, 4, 3}}, 1, kUnfilled, 1},
        {"as many frames as a file may hold", {{1, 1, 1}}, GIF_MAX_FRAMES, kFine, GIF_MAX_FRAMES},
        {"one more is refused whole", {{1, 1, 1}}, GIF_MAX_FRAMES + 1, DWORD(GIF_ERROR_TOO_MANY_FRAMES), 0},
        {"the pixels a file may hold", {{16384, 16384, 65536}}, 1, kFine, 1},
        {"one more frame of one pixel is refused whole", {{16384, 16384, 65536}, {1, 1, 1}}, 1,
         DWORD(GIF_ERROR_TOO_MANY_PIXELS), 0},
        {"declared totals count past an unfillable frame", {{16384, 16384, 5}, {1, 1, 1}}, 1,
         DWORD(GIF_ERROR_TOO_MANY_PIXELS), 0},
    };
    for (const auto &c : kCases) {
        std::string path = Write(c.frames, c.repeat);
        GIFSCAN scan;
        memset(&scan, 0xCC, sizeof scan);
        ASSERT_EQ(1, ScanGif(path.c_str(), &scan)) << c.what;
        EXPECT_EQ(c.verdict, scan.verdict) << c.what;
        EXPECT_EQ(int(c.frames.size() * c.repeat), scan.declaredFrames) << c.what;
        if (c.verdict == kFine || c.verdict == kUnfilled) {
            EXPECT_EQ(c.kept, scan.frames) << c.what;
        }
        // Loading what fills more than a few megapixels is left to the scan above.
        if (scan.pixels > (1u << 22) && c.verdict == kFine)
            continue;
        CGifFile gif;
        SetLastError(0);
        int loaded = gif.Load(path.c_str());
        const bool refused = c.verdict != kFine && c.verdict != kUnfilled;
        EXPECT_EQ(refused ? 0 : 1, loaded) << c.what;
        if (refused) {
            EXPECT_EQ(c.verdict, GetLastError()) << c.what;
        }
        EXPECT_EQ(c.kept, gif.GetFrameCount()) << c.what;
    }
}

TEST_F(GifBudget, RefusalsSayWhatTheFileDeclares) {
    const struct {
        std::vector<Frame> frames;
        size_t repeat;
        const char *reason;
    } kCases[] = {
        {{{16383, 16383, 10}}, 50, "declares 13 billion pixels in 1 170 bytes"},
        {{{1, 1, 1}}, GIF_MAX_FRAMES + 2, "declares 10 002 frames, more than the 10 000 a file may hold"},
        {{{2, 2, 1}, {3000, 1000, 23}}, 1, "frame 2 declares 3.0 million pixels in 23 bytes of image data"},
        {{{2, 2, 1}}, 1, ""},
    };
    for (const auto &c : kCases) {
        GIFSCAN scan;
        ASSERT_EQ(1, ScanGif(Write(c.frames, c.repeat).c_str(), &scan));
        char why[100];
        memset(why, 0xCC, sizeof why);
        EXPECT_EQ(int(strlen(c.reason)), DescribeGifScan(&scan, why, sizeof why));
        EXPECT_STREQ(c.reason, why);
    }
    // Cut to the room given.
    GIFSCAN scan;
    ASSERT_EQ(1, ScanGif(Write({{16383, 16383, 10}}, 50).c_str(), &scan));
    char why[9];
    EXPECT_EQ(8, DescribeGifScan(&scan, why, sizeof why));
    EXPECT_STREQ("declares", why);
    EXPECT_EQ(0, ScanGif(dir.file("absent.gif").c_str(), &scan));
}

}  // namespace
