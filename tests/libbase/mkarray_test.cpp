#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "mkarray"
#include "testkit.h"

#if defined(__SANITIZE_ADDRESS__)
/* An allocation no memory can hold fails with null here, as it does without the sanitizer. */
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

TEST(MkArray, AddGrowsByTheStepRule)
{
    CMkArray<int> a;
    EXPECT_EQ(a.m_pData, nullptr);
    EXPECT_EQ(a.m_nSize | a.m_nMaxSize | a.m_nGrowBy, 0);
    std::vector<int> caps;
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(a.Add(i * 3), i);
        if (caps.empty() || caps.back() != a.m_nMaxSize)
            caps.push_back(a.m_nMaxSize);
    }
    // 1, then +4 while size/8 < 4 (up to 40 elements), then +size/8.
    EXPECT_EQ(caps, (std::vector<int>{1, 5, 9, 13, 17, 21, 25, 29, 33, 37, 41, 46, 51, 57, 64, 72, 81, 91, 102}));
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(a[i], i * 3);
}

TEST(MkArray, SetAtGrowZeroFillsAndRemoveAtClosesTheGap)
{
    CMkArray<int> a;
    a.SetAtGrow(10, 42);
    EXPECT_EQ(a.GetSize(), 11);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(a[i], 0);
    EXPECT_EQ(a[10], 42);
    a.RemoveAt(0, 10);
    EXPECT_EQ(a.GetSize(), 1);
    EXPECT_EQ(a[0], 42);
}

TEST(MkArray, SetSizeKeepsTheCapacityStoresTheStepAndZeroReleases)
{
    CMkArray<int> a;
    a.SetSize(5);
    EXPECT_EQ(a.m_nMaxSize, 5);
    a.SetSize(3, 2);
    EXPECT_EQ(a.m_nMaxSize, 5);
    EXPECT_EQ(a.m_nGrowBy, 2);
    a.SetSize(6);
    EXPECT_EQ(a.m_nMaxSize, 7);  // 5 + step 2
    a.SetSize(0);
    EXPECT_EQ(a.m_pData, nullptr);
    EXPECT_EQ(a.m_nMaxSize, 0);
    a.Add(5);  // a new storage holds exactly one
    EXPECT_EQ(a.m_nMaxSize, 1);
    EXPECT_EQ(a[0], 5);
}

/* An element that remembers where each copy of it was taken from. */
struct Probe {
    static const Probe *s_lastSource;
    int value = 0;
    Probe() = default;
    explicit Probe(int v) : value(v) {}
    Probe(const Probe &o) : value(o.value) { s_lastSource = &o; }
    Probe &operator=(const Probe &o)
    {
        value = o.value;
        s_lastSource = &o;
        return *this;
    }
};
const Probe *Probe::s_lastSource;

TEST(MkArray, OwnElementIsCopiedBeforeItsStorageMoves)
{
    // Whenever an add moves the storage, the last copy made must not come from the storage
    // that was given up: that is freed memory.  (Checked by where the copy came from, so it
    // holds without a memory checker too.)
    CMkArray<Probe> a;
    a.Add(Probe(7));
    int moves = 0;
    for (int i = 1; i < 2000; ++i) {
        const Probe *oldBegin = &a[0], *oldEnd = &a[0] + a.GetSize();
        Probe::s_lastSource = nullptr;
        ASSERT_EQ(a.Add(a[i / 2]), i);
        if (&a[0] == oldBegin)
            continue;
        ++moves;
        ASSERT_NE(Probe::s_lastSource, nullptr);
        EXPECT_FALSE(Probe::s_lastSource >= oldBegin && Probe::s_lastSource < oldEnd) << "add " << i;
        ASSERT_EQ(a[i].value, 7) << i;
    }
    EXPECT_GT(moves, 0);
}

TEST(MkArray, StringsAreConstructedMovedAndDestroyed)
{
    // Heap-held strings survive the bytewise moves (a short one points into itself and would
    // not); the element stored past the end comes from the array itself, across a growth.
    CMkArray<std::string> a;
    for (int i = 0; i < 50; ++i)
        a.Add(std::string(40, (char)('a' + i % 26)));
    int cap = a.m_nMaxSize;
    a.RemoveAt(10, 5);  // the gap closed, the storage kept
    EXPECT_EQ(a.GetSize(), 45);
    EXPECT_EQ(a[10], std::string(40, 'p'));
    EXPECT_EQ(a.m_nMaxSize, cap);
    a.SetAtGrow(cap + 5, a[0]);
    EXPECT_GT(a.m_nMaxSize, cap);
    EXPECT_EQ(a[cap + 5], std::string(40, 'a'));
    EXPECT_EQ(a[cap], "");
}

/* An element of 4 KB, with a growth step no allocator can give. */
struct Page {
    char bytes[4096];
};

TEST(MkArray, AddThatCannotGrowKeepsTheArray)
{
    CMkArray<Page> a;
    a.SetSize(0, 0x7FFFFFF0);
    Page p;
    memset(p.bytes, 7, sizeof p.bytes);
    EXPECT_EQ(a.Add(p), 0);  // the first element alone: exactly one
    p.bytes[0] = 9;
    EXPECT_EQ(a.Add(p), -1);  // 8 TB asked for
    EXPECT_EQ(a.GetSize(), 1);
    EXPECT_EQ(a.m_nMaxSize, 1);
    EXPECT_EQ(a[0].bytes[0], 7);
    EXPECT_EQ(a[0].bytes[4095], 7);
    a.SetSize(3);  // a size asked for grows by the same step, and fails the same way
    EXPECT_EQ(a.GetSize(), 1);
    a.SetSize(0, 0);
    EXPECT_EQ(a.Add(p), 0);
    EXPECT_EQ(a.Add(p), 1);
}

TEST(MkArray, PreconditionTexts)
{
    testkit::AssertCapture cap;
    CMkArray<int> a;
    a.Add(1);
    a.SetAtGrow(-1, 3);
    EXPECT_TRUE(cap.Saw("nIndex >= 0"));
    a.SetSize(-2);
    EXPECT_TRUE(cap.Saw("nNewSize >= 0"));
    EXPECT_EQ(a.GetSize(), 1);
    a.RemoveAt(0, 2);
    EXPECT_TRUE(cap.Saw("nIndex + nCount <= m_nSize"));
    EXPECT_EQ(a.GetSize(), 1);
    a.RemoveAt(0, -1);
    EXPECT_TRUE(cap.Saw("nCount >= 0"));
    cap.Clear();
    (void)a.ElementAt(0);
    EXPECT_TRUE(cap.reports().empty());
}

}  // namespace
