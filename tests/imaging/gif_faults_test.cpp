/* The GIF reader and writers with a failing file call: a load either reads the whole picture or
 * fails, and never changes the file; a writer either writes the whole file or fails with a
 * reason, leaving the destination (even when it is the source) as it was. */
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "basemem.h"
#include "gif.h"
#include "gif_bytes.h"
#include "testkit.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST(GifFaults, LoadIsWholeOrNothing)
{
    /* Two 2x2 frames, the second with a local table; padded past one 64 KB read with a
     * comment block so that the reader needs more than one read call. */
    Bytes gif = giftest::Header(2, 2, 1);
    giftest::Image(gif, 0, 0, 2, 2, {0, 1, 1, 0}, 2);
    giftest::Append(gif, {0x21, 0xFE});
    giftest::Append(gif, giftest::SubBlocks(Bytes(400 * 255, 'x')));
    giftest::Image(gif, 0, 0, 2, 2, {1, 0, 0, 1}, 2, 1);
    gif.push_back(0x3B);

    testkit::TempDir d;
    std::string path = d.file("two.gif");
    ASSERT_TRUE(testkit::WriteFileBytes(path, gif));
    CGifFile clean;
    ASSERT_EQ(1, clean.Load(path.c_str()));
    ASSERT_EQ(2, clean.GetFrameCount());

    unsigned faults = testkit::ForEachFileFault(
        [] {},
        [&] {
            CGifFile g;
            bool ok = g.Load(path.c_str()) == 1;
            std::string why;
            if (ok) {
                EXPECT_TRUE(giftest::SameFrames(clean, g, &why)) << why;
            } else {
                EXPECT_EQ(0, g.GetFrameCount());
            }
            return ok;
        },
        [&](bool, unsigned n) { EXPECT_EQ(gif, testkit::ReadFileBytes(path)) << "fault " << n; });
    EXPECT_GE(faults, 3u);
}

/* Runs a writer with each of its file calls failing in turn: it either writes the whole
 * expected file, or fails with a reason and leaves the destination as it was and no other
 * file behind. */
void ExpectWholeOrNothing(const char *what, const std::function<bool(const std::string &in, const std::string &out)> &op,
                          bool overInput)
{
    testkit::TempDir d;
    const std::string in = d.file("in.gif");
    const std::string out = overInput ? in : d.file("out.gif");
    const Bytes source = giftest::Animation(64, 48, 3);
    const Bytes before = {'o', 'l', 'd'};
    auto reset = [&] {
        ASSERT_TRUE(testkit::WriteFileBytes(in, source));
        if (!overInput) {
            ASSERT_TRUE(testkit::WriteFileBytes(out, before));
        }
    };
    reset();
    ASSERT_TRUE(op(in, out)) << what;
    const Bytes expected = testkit::ReadFileBytes(out);
    ASSERT_NE(expected, overInput ? source : before) << what;

    unsigned faults = testkit::ForEachFileFault(
        reset,
        [&] {
            SetLastError(0);
            bool ok = op(in, out);
            if (!ok) {
                EXPECT_NE(0u, GetLastError()) << what;
            }
            return ok;
        },
        [&](bool ok, unsigned n) {
            Bytes now = testkit::ReadFileBytes(out);
            if (ok) {
                EXPECT_EQ(expected, now) << what << ", fault " << n;
            } else {
                EXPECT_EQ(overInput ? source : before, now) << what << ", fault " << n;
            }
            if (!overInput) {
                EXPECT_EQ(source, testkit::ReadFileBytes(in)) << what << ", fault " << n;
            }
            EXPECT_EQ(overInput ? 1 : 2, giftest::FileCount(d)) << what << ", fault " << n;  // no file beside them
        });
    EXPECT_GE(faults, 3u) << what;
}

TEST(GifFaults, WritersAreWholeOrNothing)
{
    auto save = [](const std::string &in, const std::string &out) {
        CGifFile g;
        return g.Load(in.c_str()) == 1 && g.Save(out.c_str()) == 1;
    };
    auto resize = [](const std::string &in, const std::string &out) {
        return ResizeGif(in.c_str(), 32, 32, out.c_str()) == 1;
    };
    auto crop = [](const std::string &in, const std::string &out) {
        return CropGif(in.c_str(), 5, 5, 40, 30, out.c_str()) == 1;
    };
    ExpectWholeOrNothing("Save", save, false);
    ExpectWholeOrNothing("ResizeGif", resize, false);
    ExpectWholeOrNothing("CropGif", crop, false);
    ExpectWholeOrNothing("ResizeGif over its input", resize, true);
    ExpectWholeOrNothing("CropGif over its input", crop, true);
}

}  // namespace
