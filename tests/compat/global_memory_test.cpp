#include <gtest/gtest.h>
#include <string.h>

#include "testkit.h"

namespace {

TEST(GlobalMemory, MovableLockCountsAndZeroInit)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 64);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 64u);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 0u);
    unsigned char *p = (unsigned char *)GlobalLock(h);
    ASSERT_NE(p, nullptr);
    EXPECT_NE((void *)p, (void *)h);  // a movable handle is not the address
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(p[i], 0);
    EXPECT_EQ(GlobalLock(h), p);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 2u);
    EXPECT_EQ(GlobalHandle(p), h);
    EXPECT_TRUE(GlobalUnlock(h));  // still locked once
    EXPECT_FAILS_WITH(GlobalUnlock(h), FALSE, NO_ERROR);
    EXPECT_FAILS_WITH(GlobalUnlock(h), FALSE, ERROR_NOT_LOCKED);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, ReAllocKeepsContentsZeroesGrowthAndFreeKillsTheHandle)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
    memcpy(GlobalLock(h), "12345678", 8);
    GlobalUnlock(h);
    HGLOBAL h2 = GlobalReAlloc(h, 100000, GMEM_MOVEABLE | GMEM_ZEROINIT);
    ASSERT_NE(h2, nullptr);
    EXPECT_EQ(GlobalSize(h2), 100000u);
    unsigned char *p = (unsigned char *)GlobalLock(h2);
    EXPECT_EQ(memcmp(p, "12345678", 8), 0);
    EXPECT_EQ(p[8], 0);
    EXPECT_EQ(p[99999], 0);
    GlobalUnlock(h2);
    HGLOBAL h3 = GlobalReAlloc(h2, 4, 0);
    ASSERT_NE(h3, nullptr);
    EXPECT_EQ(GlobalSize(h3), 4u);
    EXPECT_EQ(memcmp(GlobalLock(h3), "1234", 4), 0);
    GlobalUnlock(h3);
    ASSERT_EQ(GlobalFree(h3), nullptr);
    // Freed, the handle is dead.
    EXPECT_FAILS_WITH(GlobalSize(h3), 0u, ERROR_INVALID_HANDLE);
    EXPECT_FAILS_WITH(GlobalLock(h3), nullptr, ERROR_INVALID_HANDLE);
    EXPECT_FAILS_WITH(GlobalFree(h3), h3, ERROR_INVALID_HANDLE);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(GlobalMemory, FixedBlockIsItsAddress)
{
    HGLOBAL h = GlobalAlloc(GPTR, 10);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), (void *)h);
    EXPECT_EQ(((unsigned char *)h)[9], 0);
    EXPECT_EQ(GlobalSize(h), 10u);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, ZeroByteMovableIsDiscarded)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_NE(GlobalFlags(h) & GMEM_DISCARDED, 0u);
    HGLOBAL h2 = GlobalReAlloc(h, 8, GMEM_MOVEABLE | GMEM_ZEROINIT);
    ASSERT_NE(h2, nullptr);
    EXPECT_EQ(GlobalSize(h2), 8u);
    EXPECT_EQ(GlobalFree(h2), nullptr);
}

}  // namespace
