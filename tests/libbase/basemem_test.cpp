#include <gtest/gtest.h>
#include <string.h>

#include "albumcore.h"
#include "basemem.h"
#include "pixkit.h"
#include "testkit.h"

namespace {

class BaseMemModes : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        PxSetHugeVersion(GetParam());
        ASSERT_EQ(BaseMemInit(), 1);
        AlbumResetBlocks();
    }
    void TearDown() override
    {
        PxSetHugeVersion(FALSE);
        BaseMemInit();
    }
};

TEST_P(BaseMemModes, AllocZeroedResizeKeepsContentsFree)
{
    EXPECT_EQ(BaseMemIsHuge(), GetParam() ? 1 : 0);
    HGLOBAL h = BaseMemAlloc(0x42, 16);
    ASSERT_NE(h, nullptr);
    EXPECT_GE(BaseMemSize(h), 16u);
    unsigned char *p = (unsigned char *)BaseMemLock(h);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(p[i], 0) << i;
    memcpy(p, "0123456789abcdef", 16);
    BaseMemUnlock(h);
    HGLOBAL h2 = BaseMemReAlloc(h, 4096, 0x42);
    ASSERT_NE(h2, nullptr);
    p = (unsigned char *)BaseMemLock(h2);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(memcmp(p, "0123456789abcdef", 16), 0);
    EXPECT_EQ(p[4095], 0);
    BaseMemUnlock(h2);
    EXPECT_EQ(BaseMemFree(h2), nullptr);
    EXPECT_EQ(BaseMemSize(h2), 0u);
}

TEST_P(BaseMemModes, CopiesBothWaysKeepBytesAndSource)
{
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, 5);
    memcpy(GlobalLock(g), "hello", 5);
    GlobalUnlock(g);
    HGLOBAL b = GlobalToBaseMem(g);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(BaseMemSize(b), 5u);
    EXPECT_EQ(memcmp(BaseMemLock(b), "hello", 5), 0);
    BaseMemUnlock(b);
    HGLOBAL back = BaseMemToGlobal(b);
    ASSERT_NE(back, nullptr);
    EXPECT_NE(back, g);
    EXPECT_EQ(memcmp(GlobalLock(back), "hello", 5), 0);
    GlobalUnlock(back);
    EXPECT_EQ(GlobalSize(g), 5u);  // source untouched
    EXPECT_EQ(GlobalFree(back), nullptr);
    EXPECT_EQ(BaseMemFree(b), nullptr);
    EXPECT_EQ(GlobalFree(g), nullptr);
    EXPECT_EQ(GlobalToBaseMem(nullptr), nullptr);
}

TEST_P(BaseMemModes, AlbumBridges)
{
    HGLOBAL mine = BaseMemAlloc(0x42, 8);
    memcpy(BaseMemLock(mine), "ABCDEFGH", 8);
    BaseMemUnlock(mine);
    EXPECT_EQ(AlbumPutMemBlock(7, 3, mine), 1);
    EXPECT_EQ(BaseMemSize(mine), 8u);  // still the caller's
    HGLOBAL got = AlbumGetMemBlock(7, 3);
    ASSERT_NE(got, nullptr);
    EXPECT_NE(got, mine);
    HGLOBAL album = AlbumLastBlock();  // the block the album handed out
    ASSERT_NE(album, nullptr);
    if (GetParam()) {
        // Large mode: a large-memory copy, and the album's block is freed by the bridge.
        EXPECT_NE(got, album);
        EXPECT_EQ(GlobalSize(got), 0u);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(GlobalSize(album), 0u);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    } else {
        EXPECT_EQ(got, album);  // global mode: the album's block itself
    }
    EXPECT_EQ(BaseMemSize(got), 8u);
    EXPECT_EQ(memcmp(BaseMemLock(got), "ABCDEFGH", 8), 0);
    BaseMemUnlock(got);
    EXPECT_EQ(BaseMemFree(got), nullptr);
    EXPECT_EQ(BaseMemFree(mine), nullptr);
    EXPECT_EQ(AlbumGetMemBlock(7, 4), nullptr);
    RECT rc = {0, 0, 4, 4};
    EXPECT_EQ(DrawDibBlock((HDC)1, 0, &rc, 0, 0), 0);  // a 0 block reaches the album as 0
}

INSTANTIATE_TEST_SUITE_P(GlobalAndLarge, BaseMemModes, ::testing::Values(false, true));

TEST(BaseMem, PreconditionsAreReported)
{
    testkit::AssertCapture cap;
    // Reported, and passed on all the same: a movable block of no bytes.
    HGLOBAL zero = BaseMemAlloc(GMEM_MOVEABLE, 0);
    EXPECT_TRUE(cap.Saw("dwBytes"));
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(BaseMemSize(zero), 0u);
    BaseMemFree(zero);
    cap.Clear();
    EXPECT_EQ(BaseMemSize(nullptr), 0u);
    EXPECT_TRUE(cap.Saw("hMem"));
}

TEST(FileExistsTest, FilesFoldersAndNull)
{
    testkit::TempDir dir;
    EXPECT_EQ(FileExists(dir.path().c_str()), 1);
    EXPECT_EQ(FileExists(dir.file("none").c_str()), 0);
    ASSERT_TRUE(testkit::WriteFileText(dir.file("a.txt"), "x"));
    EXPECT_EQ(FileExists(dir.file("a.txt").c_str()), 1);
    EXPECT_EQ(FileExists(nullptr), 0);
}

}  // namespace
