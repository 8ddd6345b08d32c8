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
    const std::string none = f.dir.file("absent.ini");
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

/* Writes find sections and keys without regard to case or surrounding blanks (names are stored
 * trimmed), a null value deletes the key, a null key the section; comments and other sections
 * stay.  Each step writes, then reads a number back (5: not there). */
TEST(Profile, WritesUpdateDeleteAndKeepTheRest)
{
    ProfileFile f("; keep me\r\n[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n");
    const struct {
        const char *section, *key, *value, *readSection, *readKey;
        UINT want;
    } steps[] = {
        {"size0", "nWidth", "176", "size0", "nwidth", 176}, {"SIZE0", "nHeight", "208", "size0", "nheight", 208},
        {"size0", "NWIDTH", "300", "size0", "nWidth", 300}, {"size0", "nWidth", nullptr, "size0", "nWidth", 5},
        {"size0", "x", "7", "size0", "nHeight", 208},       {"size0", nullptr, nullptr, "size0", "nHeight", 5},
        {"a", "z", "3", "a", "z", 3},                       {"a", "z", "4", "a", "x", 1},
        {" padded ", " key ", "1", " padded ", " key ", 1}, {" padded", "key ", "2", "padded", "key", 2},
    };
    for (const auto &w : steps) {
        ASSERT_TRUE(WritePrivateProfileStringA(w.section, w.key, w.value, f.path.c_str())) << w.section << "." << w.key;
        EXPECT_EQ(w.want, GetPrivateProfileIntA(w.readSection, w.readKey, 5, f.path.c_str()))
            << w.section << "." << w.key << " then " << w.readSection << "." << w.readKey;
    }
    std::vector<unsigned char> bytes = testkit::ReadFileBytes(f.path);
    EXPECT_NE(std::string::npos, std::string(bytes.begin(), bytes.end()).find("; keep me"));
    EXPECT_EQ(2u, GetPrivateProfileIntA("b", "y", 0, f.path.c_str()));
    char buf[64];
    memset(buf, 0xCC, sizeof buf);
    EXPECT_EQ(11u, GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, f.path.c_str()));
    EXPECT_EQ(0, memcmp(buf, "a\0b\0padded\0\0", 12));  // one section "padded"
    // A file that is not there is made; in a folder that is not there, a failure, said.
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v", f.dir.file("new.ini").c_str()));
    EXPECT_EQ("v", GetStr("s", "k", "", f.dir.file("new.ini")));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", f.dir.file("no\\such\\folder.ini").c_str()));
    EXPECT_NE(0xdeadbeefu, GetLastError());
}

}  // namespace
