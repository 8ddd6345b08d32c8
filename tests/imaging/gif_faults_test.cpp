/* The GIF reader with a failing file call: a load either reads the whole picture or fails; it
 * never changes the file. */
#include <gtest/gtest.h>

#include <vector>

#include "basemem.h"
#include "gif.h"
#include "testkit.h"

namespace {

using Bytes = std::vector<unsigned char>;

/* Every frame's bitmap, octet for octet. */
std::vector<Bytes> Frames(const CGifFile &gif)
{
    std::vector<Bytes> frames;
    for (int i = 0; i < gif.GetFrameCount(); ++i) {
        HGLOBAL h = gif.GetFrameDib(i);
        const unsigned char *p = h ? (const unsigned char *)BaseMemLock(h) : nullptr;
        frames.push_back(p ? Bytes(p, p + BaseMemSize(h)) : Bytes());
        if (p)
            BaseMemUnlock(h);
    }
    return frames;
}

TEST(GifFaults, LoadIsWholeOrNothing)
{
    /* Two 2x2 frames, the second with a local table; padded past one 64 KB read with a
     * comment block so that the reader needs more than one read call. */
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    Bytes frame = {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00};
    gif.insert(gif.end(), frame.begin(), frame.end());
    gif.insert(gif.end(), {0x21, 0xFE});
    for (int i = 0; i < 400; ++i) {
        gif.push_back(255);
        gif.insert(gif.end(), 255, (unsigned char)'x');
    }
    gif.push_back(0);
    Bytes local = {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x80, 255, 0, 0, 0, 0, 255, 0x02, 0x02, 0x4C, 0x01, 0x00};
    gif.insert(gif.end(), local.begin(), local.end());
    gif.push_back(0x3B);

    testkit::TempDir d;
    std::string path = d.file("two.gif");
    ASSERT_TRUE(testkit::WriteFileBytes(path, gif));
    CGifFile clean;
    ASSERT_EQ(1, clean.Load(path.c_str()));
    const std::vector<Bytes> expected = Frames(clean);
    ASSERT_EQ(2u, expected.size());

    unsigned faults = testkit::ForEachFileFault(
        [] {},
        [&] {
            CGifFile g;
            bool ok = g.Load(path.c_str()) == 1;
            if (ok) {
                EXPECT_EQ(expected, Frames(g));
            } else {
                EXPECT_EQ(0, g.GetFrameCount());
            }
            return ok;
        },
        [&](bool, unsigned n) { EXPECT_EQ(gif, testkit::ReadFileBytes(path)) << "fault " << n; });
    EXPECT_GE(faults, 3u);
}

}  // namespace
