#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "sysinfo.h"
#include "testkit.h"

namespace {

/* Days from 1970-01-01 of a civil date (H. Hinnant's days_from_civil), the reference calendar. */
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = (unsigned)(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (int64_t)doe - 719468;
}

TEST(Dates, EdgeCases)
{
    EXPECT_EQ(DayOfWeek(2000, 1, 1), 6);
    EXPECT_EQ(DayOfWeek(1999, 12, 31), 5);
    EXPECT_EQ(DayOfWeek(2000, 1, 2), 7);
    EXPECT_EQ(DayOfWeek(2004, 2, 29), 7);
    EXPECT_EQ(DayOfWeek(2000, 13, 1), 0);
    EXPECT_EQ(DayOfWeek(2000, 1, 32), 0);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2001, 13), 30);
    EXPECT_EQ(DaysInYear(2100), 365);
    EXPECT_EQ(DaysInYear(2000), 366);
    WORD y, mo, d, h, mi, s;
    SecondsToDateTime(&y, &mo, &d, &h, &mi, &s, 86399);
    EXPECT_EQ(std::to_string(y) + "-" + std::to_string(mo) + "-" + std::to_string(d) + " " + std::to_string(h) +
                  ":" + std::to_string(mi) + ":" + std::to_string(s),
              "1970-1-1 23:59:59");
    SecondsToDateTime(&y, &mo, &d, &h, &mi, &s, 11016LL * 86400);
    EXPECT_EQ(y * 10000 + mo * 100 + d, 20000229);
    EXPECT_EQ(h + mi + s, 0);
    SecondsToDateTime(&y, &mo, &d, &h, &mi, &s, -1);  // one second before the epoch
    EXPECT_EQ(y * 10000 + mo * 100 + d, 19691231);
    EXPECT_EQ(h * 10000 + mi * 100 + s, 235959);
}

TEST(Dates, AddDaysAgreesWithCivilCalendarAcross1900To2100)
{
    // Every 13th day from 1900 to 2100, steps of -40..+40 days, checked against the reference
    // and DayOfWeek against the reference weekday (1970-01-01 was a Thursday).
    for (int64_t n = DaysFromCivil(1900, 3, 1); n < DaysFromCivil(2100, 10, 1); n += 13) {
        // Back from days to a civil date via AddDays from the epoch, cross-checked.
        WORD y, m, d;
        AddDays(1970, 1, 1, (int32_t)n, &y, &m, &d);
        ASSERT_EQ(DaysFromCivil(y, m, d), n);
        for (int step = -40; step <= 40; step += 7) {
            WORD y2, m2, d2;
            AddDays(y, m, d, step, &y2, &m2, &d2);
            ASSERT_EQ(DaysFromCivil(y2, m2, d2), n + step) << y << "-" << m << "-" << d << " + " << step;
        }
        int wd = (int)(((n % 7) + 7 + 3) % 7) + 1;  // 1 Monday .. 7 Sunday
        ASSERT_EQ(DayOfWeek(y, m, d), wd) << y << "-" << m << "-" << d;
    }
}

TEST(Paths, NetworkPathSplitsAndRebuilds)
{
    char drive[MAX_PATH], dir[MAX_PATH], name[MAX_PATH], ext[MAX_PATH], out[MAX_PATH];
    ASSERT_EQ(SplitPath("\\\\server\\share\\f.txt", drive, dir, name, ext), 1);
    EXPECT_STREQ(drive, "\\");
    EXPECT_STREQ(dir, "\\server\\share\\");
    EXPECT_STREQ(name, "f");
    EXPECT_STREQ(ext, ".txt");
    ASSERT_EQ(MakePath(out, drive, dir, name, ext), 1);
    EXPECT_STREQ(out, "\\\\server\\share\\f.txt");
    EXPECT_EQ(SplitPath(nullptr, drive, dir, name, ext), 0);
    EXPECT_EQ(MakePath(nullptr, "c:", "x", "y", "z"), 0);
}

TEST(Paths, PiecesAndBounds)
{
    char buf[MAX_PATH];
    ASSERT_EQ(GetFileNameExt("C:\\x\\name.jpg", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "name.jpg");
    ASSERT_EQ(GetFileExt("C:\\x\\name.jpg", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "jpg");
    ASSERT_EQ(ChangeFileExt("C:\\x\\name.jpg", "gif", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "C:\\x\\name.gif");
    ASSERT_EQ(GetPathNoExt("C:\\x\\name.jpg", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "C:\\x\\name");
    ASSERT_EQ(GetFolderOfPath("C:\\x\\name.jpg", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "C:\\x\\");
    char small[5];
    memset(small, 0xCC, sizeof small);
    ASSERT_EQ(JoinStrings(small, "abc", "def", sizeof small), 1);
    EXPECT_STREQ(small, "abcd");
    EXPECT_EQ(GetFileExt(nullptr, buf, sizeof buf), 0);
    EXPECT_EQ(JoinStrings(nullptr, "a", "b", 4), 0);
    // A rebuilt path longer than a path buffer fails instead of overflowing.
    std::string longName(300, 'n');
    memset(buf, 0xCC, sizeof buf);
    EXPECT_EQ(MakePath(buf, "c:", "\\d\\", longName.c_str(), "txt"), 0);
    EXPECT_STREQ(buf, "");
}

TEST(Paths, PathNameObject)
{
    CPathName p("C:\\dir\\file.txt");
    EXPECT_STREQ(p.GetDrive(), "C:");
    EXPECT_STREQ(p.GetDir(), "\\dir\\");
    EXPECT_STREQ(p.GetFileName(), "file");
    EXPECT_STREQ(p.GetExt(), ".txt");
    p.SetExt("bmp");
    p.SetFileName(std::string(300, 'x').c_str());  // does not fit: ignored
    EXPECT_STREQ(p.Make(), "C:\\dir\\file.bmp");
    CPathName empty;
    EXPECT_STREQ(empty.GetDir(), "");
}

TEST(Paths, PathNameThatNoLongerFitsComesOutEmpty)
{
    // 200-character folder, then a 100-character name: 305 characters in all.  The old path
    // must not come back, or a caller would go on with some other file.
    CPathName p("C:\\dir\\file.txt");
    EXPECT_STREQ(p.Make(), "C:\\dir\\file.txt");
    std::string dir = "\\" + std::string(198, 'd') + "\\";
    p.SetDir(dir.c_str());
    p.SetFileName(std::string(100, 'n').c_str());
    EXPECT_STREQ(p.Make(), "");
    // Exactly 259 characters still fit: "C:" + 200 + 53 + ".txt".
    p.SetFileName(std::string(53, 'n').c_str());
    EXPECT_EQ(strlen(p.Make()), 259u);
    p.SetFileName(std::string(54, 'n').c_str());
    EXPECT_STREQ(p.Make(), "");
}

TEST(Versions, DepthAndSanitize)
{
    int old = GetVersionDepth();
    SetVersionDepth(3);
    SetVersionDepth(0);
    SetVersionDepth(5);
    EXPECT_EQ(GetVersionDepth(), 3);
    SetVersionDepth(2);
    char v[32] = "1, 0";
    SanitizeVersion(v);
    EXPECT_STREQ(v, "1. 0");
    SetVersionDepth(4);
    strcpy(v, "1, 0, 0, 11");
    SanitizeVersion(v);
    EXPECT_STREQ(v, "1. 0. 0. 11");
    SetVersionDepth(1);
    strcpy(v, "2.5-beta");
    SanitizeVersion(v);
    EXPECT_STREQ(v, "2");
    SetVersionDepth(old);
    char maker[MAX_PATH];
    EXPECT_EQ(GetMakerName(maker), 1);
    EXPECT_STREQ(maker, "Zelkova");
}

TEST(Versions, ProductFromTheProgramsVersionBlock)
{
    // This program carries the medleystudio version block, "1, 0, 0, 11".
    int old = GetVersionDepth();
    char buf[MAX_PATH];
    EXPECT_EQ(GetProductName(buf), 1);
    EXPECT_STREQ(buf, "medleystudio");
    const char *want[] = {"1", "1, 0", "1, 0, 0", "1, 0, 0, 11"};
    for (int depth = 1; depth <= 4; ++depth) {
        SetVersionDepth(depth);
        memset(buf, 0x55, sizeof buf);
        EXPECT_EQ(GetProductVersion(buf), 1);
        EXPECT_STREQ(buf, want[depth - 1]) << "depth " << depth;
    }
    SetVersionDepth(old);
    EXPECT_EQ(GetProductName(nullptr), 0);
    EXPECT_EQ(GetProductVersion(nullptr), 0);
}

TEST(Folders, CreateFolderTreeCodes)
{
    EXPECT_EQ(CreateFolderTree(nullptr), -1);
    EXPECT_EQ(CreateFolderTree("C:"), -1);
    testkit::TempDir dir;
    std::string deep = dir.file("A") + "\\B";
    ASSERT_EQ(CreateFolderTree(deep.c_str()), 0);
    EXPECT_NE(GetFileAttributesA(dir.file("A").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA(deep.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(testkit::WriteFileText(dir.file("F"), "x"));
    EXPECT_EQ(CreateFolderTree((dir.file("F") + "\\sub").c_str()), -2);
}

TEST(Folders, CreateFolderTreeTrailingSeparatorEndsThePath)
{
    // Folder queries hand out paths ending with a separator; such a path names the folder.
    testkit::TempDir dir;
    std::string tree = dir.file("T1") + "\\T2\\";
    EXPECT_EQ(CreateFolderTree(tree.c_str()), 0);
    EXPECT_EQ(GetFileAttributesA((dir.file("T1") + "\\T2").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(CreateFolderTree(tree.c_str()), 0);  // and again, when it exists
    std::string doubled = dir.file("T3") + "\\\\T4\\\\";
    EXPECT_EQ(CreateFolderTree(doubled.c_str()), 0);
    EXPECT_NE(GetFileAttributesA((dir.file("T3") + "\\T4").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Folders, NullBuffersAndFixedFallbacks)
{
    EXPECT_EQ(GetSpecialFolder(nullptr, 5, FALSE), -1);
    EXPECT_EQ(GetMyDocumentsFolder(nullptr, FALSE), 0);
    EXPECT_EQ(GetMyMusicFolder(nullptr), 0);
    EXPECT_EQ(MakeTempPath(nullptr, "x"), 0);
    char buf[MAX_PATH];
    EXPECT_EQ(GetSpecialFolder(buf, 12345, FALSE), -1);
    GetAppFolder(buf);
    std::string app(buf);
    std::string prog = testkit::ProgramDir();
    EXPECT_EQ(app + prog.back(), prog);
    ASSERT_EQ(MakeTempPath(buf, "t.dat"), 1);
    EXPECT_NE(std::string(buf).find("t.dat"), std::string::npos);
    char path[MAX_PATH] = "Q:\\elsewhere\\prog.ini";
    ASSERT_EQ(MakeProgramFilePath(path), 1);
    EXPECT_EQ(std::string(path), app + "\\prog.ini");
}

TEST(Machine, FirstRunOncePerUserAndVersion)
{
    char product[MAX_PATH], version[MAX_PATH];
    GetProductName(product);
    GetProductVersion(version);
    std::string key = std::string("Software\\Zelkova\\") + product + "\\" + version;
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    EXPECT_EQ(IsFirstRun(), 1);
    EXPECT_EQ(IsFirstRun(), 0);
    // A marker of the wrong type or size does not count.
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "HasBeenRun", 0, REG_SZ, (const BYTE *)"2", 2), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(IsFirstRun(), 1);
    EXPECT_EQ(IsFirstRun(), 0);
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    EXPECT_EQ(IsOSAtLeast(5, 0, 5, 0, 0), 1);  // the configured and Wine's default are NT 5+
}

TEST(Machine, DisksAndScreen)
{
    EXPECT_EQ(GetDiskFreeBytes(nullptr), 0u);
    EXPECT_EQ(GetDiskFreeBytes(""), 0u);
    EXPECT_GT(GetDiskFreeBytes("c:\\"), 0u);
    EXPECT_NE(GetFixedDrives() & (1u << 2), 0u);
    char best = FindRoomiestDrive();
    EXPECT_GE(best, 'c');
    EXPECT_LE(best, 'z');
    int w = 0, h = 0, bits = 0;
    GetScreenInfo(&w, &h, &bits);
    EXPECT_GT(w, 0);
    EXPECT_GT(h, 0);
    GetScreenInfo(nullptr, &h, &bits);  // no effect, no crash
}

}  // namespace
