/* Private profile files: the same cases run against compat and against Wine's kernel32. */
#include <windows.h>

#include <string.h>

#include <gtest/gtest.h>

#include "testkit.h"

namespace {

struct ProfileFile {
    testkit::TempDir dir;
    std::string path;
    explicit ProfileFile(const std::string &text) : path(dir.file("test.ini"))
    {
        EXPECT_TRUE(testkit::WriteFileText(path, text));
    }
};

std::string GetStr(const char *sec, const char *key, const char *def, const std::string &file, DWORD size = 256,
                   DWORD *ret = nullptr)
{
    char buf[512];
    memset(buf, 0xCC, sizeof buf);
    DWORD n = GetPrivateProfileStringA(sec, key, def, buf, size, file.c_str());
    if (ret)
        *ret = n;
    return std::string(buf, n);
}

const char kSample[] =
    "; settings\r\n"
    "[size0]\r\n"
    "nWidth=176\r\n"
    "nHeight = 208 \r\n"
    "\r\n"
    "[Size1]\r\n"
    "NWIDTH=128\r\n"
    "quoted=\"  spaced  \"\r\n"
    "single='x'\r\n"
    "half=\"open\r\n"
    "bare\r\n"
    "empty=\r\n"
    "[n]\r\na=12abc\r\nb=abc\r\nc=  42\r\nd=+17\r\ne=0x1A\r\nf=007\r\n";

/* Reads: names without regard to case, numbers from their leading digits, quotes taken off,
 * defaults where nothing is (and for a file that is not there). */
TEST(Profile, Reads)
{
    ProfileFile f(kSample);
    testkit::TempDir d;
    const std::string none = d.file("absent.ini");
    const struct {
        const char *section, *key;
        INT def;
        UINT want;
    } ints[] = {
        {"size0", "nWidth", 0, 176}, {"SIZE0", "NWidth", 0, 176}, {"size1", "nwidth", 0, 128}, {"size0", "missing", 7, 7},
        {"nosuch", "nWidth", 7, 7},  {"size1", "empty", 9, 9},    {"size1", "bare", 9, 9},     {"n", "a", 99, 12},
        {"n", "b", 99, 0},  // present but not a number: 0, not the default
        {"n", "c", 99, 42},          {"n", "d", 99, 17},          {"n", "e", 99, 26},          {"n", "f", 99, 7},
    };
    for (const auto &r : ints)
        EXPECT_EQ(r.want, GetPrivateProfileIntA(r.section, r.key, r.def, f.path.c_str())) << r.section << "." << r.key;
    const struct {
        const char *section, *key, *def, *want;
    } strings[] = {
        {"size0", "nHeight", "", "208"},  {"size0", "missing", "dflt  ", "dflt"},  // the default's end blanks go
        {"size0", "missing", nullptr, ""}, {"size1", "empty", "dflt", ""},
        {"size1", "bare", "dflt", "dflt"}, {"size1", "quoted", "", "  spaced  "},
        {"size1", "single", "", "x"},      {"size1", "half", "", "\"open"},
    };
    for (const auto &r : strings)
        EXPECT_EQ(r.want, GetStr(r.section, r.key, r.def, f.path)) << r.section << "." << r.key;
    EXPECT_EQ(5u, GetPrivateProfileIntA("size0", "nWidth", 5, none.c_str()));
    EXPECT_EQ("abc", GetStr("a", "b", "abc", none));
}

TEST(Profile, TruncationRules)
{
    ProfileFile f("[s]\r\nk=abcdef\r\n[t]\r\n[uv]\r\n");
    DWORD n = 0;
    EXPECT_EQ("abc", GetStr("s", "k", "", f.path, 4, &n));
    EXPECT_EQ(3u, n);
    EXPECT_EQ("abcdef", GetStr("s", "k", "", f.path, 7, &n));  // exact fit
    EXPECT_EQ("", GetStr("s", "k", "", f.path, 1, &n));

    char buf[64];
    memset(buf, 0xCC, sizeof buf);
    EXPECT_EQ(0u, GetPrivateProfileStringA("s", "k", "", buf, 0, f.path.c_str()));
    EXPECT_EQ((char)0xCC, buf[0]);

    // Section list: "s\0t\0uv\0\0".
    memset(buf, 0xCC, sizeof buf);
    n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, f.path.c_str());
    EXPECT_EQ(7u, n);
    EXPECT_EQ(0, memcmp(buf, "s\0t\0uv\0\0", 8));
    // Cut short: nSize - 2, still ending in two zeros.
    memset(buf, 0xCC, sizeof buf);
    n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, 5, f.path.c_str());
    EXPECT_EQ(3u, n);
    EXPECT_EQ(0, buf[3]);
    // Known divergence: Wine 8 ends a cut-short list with one terminator; the documented
    // contract, which our layer keeps, is two.
    todo_wine EXPECT_EQ(0, buf[4]);
    // Key list of one section.
    memset(buf, 0xCC, sizeof buf);
    n = GetPrivateProfileStringA("S", nullptr, "", buf, sizeof buf, f.path.c_str());
    EXPECT_EQ(2u, n);
    EXPECT_EQ(0, memcmp(buf, "k\0\0", 3));
}

TEST(Profile, WriteCreatesUpdatesAndDeletes)
{
    testkit::TempDir d;
    std::string p = d.file("new.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("size0", "nWidth", "176", p.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("SIZE0", "nHeight", "208", p.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("other", "k", "v", p.c_str()));
    EXPECT_EQ(176u, GetPrivateProfileIntA("size0", "nwidth", 0, p.c_str()));
    EXPECT_EQ(208u, GetPrivateProfileIntA("size0", "nheight", 0, p.c_str()));

    ASSERT_TRUE(WritePrivateProfileStringA("size0", "NWIDTH", "300", p.c_str()));
    EXPECT_EQ(300u, GetPrivateProfileIntA("size0", "nWidth", 0, p.c_str()));

    ASSERT_TRUE(WritePrivateProfileStringA("size0", "nWidth", nullptr, p.c_str()));
    EXPECT_EQ(5u, GetPrivateProfileIntA("size0", "nWidth", 5, p.c_str()));
    EXPECT_EQ(208u, GetPrivateProfileIntA("size0", "nHeight", 0, p.c_str()));

    ASSERT_TRUE(WritePrivateProfileStringA("size0", nullptr, nullptr, p.c_str()));
    EXPECT_EQ(5u, GetPrivateProfileIntA("size0", "nHeight", 5, p.c_str()));
    EXPECT_EQ("v", GetStr("other", "k", "", p));
}

TEST(Profile, WriteKeepsCommentsAndOtherSections)
{
    ProfileFile f("; keep me\r\n[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("a", "z", "3", f.path.c_str()));
    std::vector<unsigned char> bytes = testkit::ReadFileBytes(f.path);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(std::string::npos, text.find("; keep me"));
    EXPECT_EQ(1u, GetPrivateProfileIntA("a", "x", 0, f.path.c_str()));
    EXPECT_EQ(3u, GetPrivateProfileIntA("a", "z", 0, f.path.c_str()));
    EXPECT_EQ(2u, GetPrivateProfileIntA("b", "y", 0, f.path.c_str()));
}

TEST(Profile, NamesAskedForAreTrimmedLikeStoredOnes)
{
    // A section or key written with surrounding blanks is stored trimmed and found again under
    // either spelling; it must not be created a second time.
    testkit::TempDir d;
    std::string p = d.file("blanks.ini");
    ASSERT_TRUE(WritePrivateProfileStringA(" padded ", " key ", "1", p.c_str()));
    EXPECT_EQ(1u, GetPrivateProfileIntA(" padded ", " key ", 0, p.c_str()));
    EXPECT_EQ(1u, GetPrivateProfileIntA("padded", "key", 0, p.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA(" padded", "key ", "2", p.c_str()));
    EXPECT_EQ(2u, GetPrivateProfileIntA("padded", "key", 0, p.c_str()));
    char buf[64];
    memset(buf, 0xCC, sizeof buf);
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, p.c_str());
    EXPECT_EQ(7u, n);
    EXPECT_EQ(0, memcmp(buf, "padded\0\0", 8));
    ASSERT_TRUE(WritePrivateProfileStringA("padded", nullptr, nullptr, p.c_str()));
    EXPECT_EQ(9u, GetPrivateProfileIntA("padded", "key", 9, p.c_str()));
}

TEST(Profile, WriteIntoMissingFolderFails)
{
    testkit::TempDir d;
    std::string p = d.file("no\\such\\folder.ini");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", p.c_str()));
    EXPECT_NE(0xdeadbeefu, GetLastError());
}

}  // namespace
