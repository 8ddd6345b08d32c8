#include <gtest/gtest.h>
#include <string.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "sys_private.h"
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
    // (Real dates, leap years among them: against the reference calendar below.)
    EXPECT_EQ(DayOfWeek(2000, 13, 1), 0);
    EXPECT_EQ(DayOfWeek(2000, 1, 32), 0);
    EXPECT_EQ(DaysInMonth(2001, 13), 30);
    WORD y, mo, d, h, mi, s;
    SecondsToDateTime(&y, &mo, &d, &h, &mi, &s, 86399);
    EXPECT_EQ(y * 10000 + mo * 100 + d, 19700101);
    EXPECT_EQ(h * 10000 + mi * 100 + s, 235959);
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

TEST(Paths, BoundsOfThePathBuffers)
{
    // Each piece of a split is cut to 255 characters; the rest of its buffer is not touched.
    std::string dir(300, 'd'), name(300, 'n'), ext(300, 'e');
    std::string path = "C:\\" + dir + "\\" + name + "." + ext;
    char pd[MAX_PATH], pn[MAX_PATH], pe[MAX_PATH];
    memset(pd, 0x7A, sizeof pd);
    memset(pn, 0x7A, sizeof pn);
    ASSERT_EQ(SplitPath(path.c_str(), nullptr, pd, pn, pe), 1);
    EXPECT_EQ(std::string(pd), ("\\" + dir).substr(0, 255));
    EXPECT_EQ(std::string(pn), name.substr(0, 255));
    EXPECT_EQ(std::string(pe), ("." + ext).substr(0, 255));
    EXPECT_EQ(pd[256], 0x7A);
    EXPECT_EQ(pn[256], 0x7A);

    // A new extension that makes the path too long gives an empty result, not a cut path.
    char buf[MAX_PATH];
    std::string longPath = "C:\\" + std::string(200, 'd') + "\\" + std::string(51, 'n') + ".t";
    ASSERT_EQ(ChangeFileExt(longPath.c_str(), "gif", buf, sizeof buf), 1);  // 259 characters
    EXPECT_EQ(strlen(buf), 259u);
    memset(buf, 'x', sizeof buf - 1);
    buf[sizeof buf - 1] = 0;
    EXPECT_EQ(ChangeFileExt(longPath.c_str(), "jpeg", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");

    // The current folder is cut to the size given, and always ended.
    char cur[MAX_PATH], small[6];
    ASSERT_EQ(GetCurrentFolder(cur, sizeof cur), 1);
    ASSERT_GT(strlen(cur), 5u);
    memset(small, 'x', sizeof small);
    ASSERT_EQ(GetCurrentFolder(small, 4), 1);
    EXPECT_EQ(std::string(small), std::string(cur).substr(0, 3));
    EXPECT_EQ(small[4], 'x');
    memset(small, 'x', sizeof small);
    ASSERT_EQ(MakeCurrentFolderPath(small, "name", 5), 1);
    EXPECT_EQ(std::string(small), std::string(cur).substr(0, 4));
    EXPECT_EQ(small[5], 'x');
    ASSERT_EQ(MakeCurrentFolderPath(buf, "name", sizeof buf), 1);
    EXPECT_EQ(std::string(buf), std::string(cur) + "name");

    // A temporary path that does not fit fails, empty.
    memset(buf, 'x', sizeof buf - 1);
    EXPECT_EQ(MakeTempPath(buf, std::string(MAX_PATH, 't').c_str()), 0);
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
    // A 200-character folder, then a 100-character name: 305 characters in all.  The old path
    // must not come back, or a caller would go on with some other file.
    std::string dir = "\\" + std::string(198, 'd') + "\\";
    p.SetDir(dir.c_str());
    p.SetExt("txt");
    p.SetFileName(std::string(100, 'n').c_str());
    EXPECT_STREQ(p.Make(), "");
    // Exactly 259 characters still fit: "C:" + 200 + 53 + ".txt".
    p.SetFileName(std::string(53, 'n').c_str());
    EXPECT_EQ(strlen(p.Make()), 259u);
    p.SetFileName(std::string(54, 'n').c_str());
    EXPECT_STREQ(p.Make(), "");
}

TEST(Versions, ProductFromTheProgramsVersionBlockCutAndSanitized)
{
    // This program carries the medleystudio version block, "1, 0, 0, 11".
    int old = GetVersionDepth();
    SetVersionDepth(3);
    SetVersionDepth(0);  // depths outside 1..4 are ignored
    SetVersionDepth(5);
    EXPECT_EQ(GetVersionDepth(), 3);
    char buf[MAX_PATH];
    EXPECT_EQ(GetProductName(buf), 1);
    EXPECT_STREQ(buf, "medleystudio");
    const char *want[] = {"1", "1, 0", "1, 0, 0", "1, 0, 0, 11"}, *sane[] = {"1", "1. 0", "1. 0. 0", "1. 0. 0. 11"};
    for (int depth = 1; depth <= 4; ++depth) {
        SetVersionDepth(depth);
        memset(buf, 0x55, sizeof buf);
        EXPECT_EQ(GetProductVersion(buf), 1);
        EXPECT_STREQ(buf, want[depth - 1]) << "depth " << depth;
        SanitizeVersion(buf);
        EXPECT_STREQ(buf, sane[depth - 1]) << "depth " << depth;
    }
    SetVersionDepth(1);
    strcpy(buf, "2.5-beta");
    SanitizeVersion(buf);
    EXPECT_STREQ(buf, "2");
    SetVersionDepth(old);
    EXPECT_EQ(GetProductName(nullptr), 0);
    EXPECT_EQ(GetProductVersion(nullptr), 0);
}

TEST(Versions, CutToTheDepthOnlyWhenThereAreThatManySeparators)
{
    struct Row {
        const char *version;
        int depth;
        const char *want;
    } rows[] = {
        {"1.5", 1, "1"},         {"1.5", 2, "1.5"},         {"1.5", 3, "1.5"},
        {"1.5", 4, "1.5"},       {"2.0.1", 2, "2.0"},       {"2.0.1", 3, "2.0.1"},
        {"7", 1, "7"},           {"", 2, ""},               {"1,5.2.9", 1, "1"},  // a comma wins
        {"1,5.2.9", 2, "1,5.2.9"}, {"1, 0, 0, 11", 3, "1, 0, 0"}, {"1.2.3.4.5", 4, "1.2.3.4.5"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(sysinfo::CutVersion(r.version, r.depth), r.want) << r.version << " at depth " << r.depth;
}

TEST(Folders, CreateFolderTree)
{
    // Paths given under a fresh folder: the code, and the folders then there (and not there).
    // Folder queries hand out paths ending with a separator; such a path names the folder.
    struct Case {
        const char *path;
        int code;
        std::vector<const char *> there, absent;
    } cases[] = {
        {"A\\B", 0, {"A", "A\\B"}, {}},
        {"F\\sub", -2, {}, {"F\\sub"}},  // F is a file
        {"T1\\T2\\", 0, {"T1\\T2"}, {}},
        {"T1\\T2\\", 0, {"T1\\T2"}, {}},  // and again, when it exists
        {"T3\\\\T4\\\\", 0, {"T3\\T4"}, {}},
        {"L1\\<260 x>", -2, {}, {"L1"}},  // too long: not even the start is made
    };
    testkit::TempDir dir;
    ASSERT_TRUE(testkit::WriteFileText(dir.file("F"), "x"));
    for (const Case &c : cases) {
        std::string path = dir.file(c.path);
        size_t at = path.find("<260 x>");
        if (at != std::string::npos)
            path.replace(at, 7, std::string(MAX_PATH, 'x'));
        EXPECT_EQ(c.code, CreateFolderTree(path.c_str())) << c.path;
        for (const char *f : c.there)
            EXPECT_EQ((DWORD)FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA(dir.file(f).c_str()) & FILE_ATTRIBUTE_DIRECTORY)
                << c.path << ": " << f;
        for (const char *f : c.absent)
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.file(f).c_str())) << c.path << ": " << f;
    }
    EXPECT_EQ(CreateFolderTree(nullptr), -1);
    EXPECT_EQ(CreateFolderTree("C:"), -1);
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

TEST(Machine, DisksAndScreen)
{
    EXPECT_EQ(GetDiskFreeBytes(nullptr), 0u);
    EXPECT_EQ(GetDiskFreeBytes(""), 0u);
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

/* The shell standing in for SHGetSpecialFolderPathA (put in place by Levers::Shell): it records
 * the ids asked and answers <g_shellRoot>\shell<id>, for the one id g_shellOnly unless that is
 * -1; with no root it knows no folder. */
std::vector<int> g_asked;
std::string g_shellRoot;
int g_shellOnly = -1;
BOOL WINAPI StandInShell(HWND, LPSTR lpszPath, int nFolder, BOOL)
{
    g_asked.push_back(nFolder);
    lpszPath[0] = 0;
    if (g_shellRoot.empty() || (g_shellOnly != -1 && nFolder != g_shellOnly))
        return FALSE;
    snprintf(lpszPath, MAX_PATH, "%s\\shell%d", g_shellRoot.c_str(), nFolder);
    return TRUE;
}

/* Puts the system levers and the registry values a test touched back as they were. */
class Levers {
public:
    ~Levers()
    {
        testkit::FakeWindowsVersion(nullptr);
        testkit::HideProc(nullptr, false);
        testkit::ReplaceProc("SHGetSpecialFolderPathA", nullptr);
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            HKEY k;
            if (RegCreateKeyExA(it->root, it->key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL) != ERROR_SUCCESS)
                continue;
            if (it->present)
                RegSetValueExA(k, it->name.c_str(), 0, it->type, it->bytes.data(), (DWORD)it->bytes.size());
            else
                RegDeleteValueA(k, it->name.c_str());
            RegCloseKey(k);
        }
    }
    /* Sets a registry value (remembering the one before). */
    void Set(HKEY root, const char *key, const char *name, DWORD type, const void *data, DWORD cb)
    {
        Saved s{root, key, name, false, 0, std::vector<BYTE>(1024)};
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL), ERROR_SUCCESS);
        DWORD size = (DWORD)s.bytes.size();
        s.present = RegQueryValueExA(k, name, NULL, &s.type, s.bytes.data(), &size) == ERROR_SUCCESS;
        s.bytes.resize(s.present ? size : 0);
        m_saved.push_back(s);
        EXPECT_EQ(RegSetValueExA(k, name, 0, type, (const BYTE *)data, cb), ERROR_SUCCESS);
        RegCloseKey(k);
    }
    void SetText(HKEY root, const char *key, const char *name, const std::string &text)
    {
        Set(root, key, name, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
    }
    void Shell(const std::string &root, int only = -1)
    {
        g_shellRoot = root;
        g_shellOnly = only;
        testkit::ReplaceProc("SHGetSpecialFolderPathA", (FARPROC)(void *)StandInShell);
    }

private:
    struct Saved {
        HKEY root;
        std::string key, name;
        bool present;
        DWORD type;
        std::vector<BYTE> bytes;
    };
    std::vector<Saved> m_saved;
};

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string FirstRunKey()
{
    char product[MAX_PATH], version[MAX_PATH];
    GetProductName(product);
    GetProductVersion(version);
    return std::string("Software\\Zelkova\\") + product + "\\" + version;
}

DWORD FirstRunMarker()
{
    HKEY k;
    DWORD v = 0xDEAD, type = 0, cb = sizeof v;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, FirstRunKey().c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return 0xDEAD;
    RegQueryValueExA(k, "HasBeenRun", NULL, &type, (LPBYTE)&v, &cb);
    RegCloseKey(k);
    return type == REG_DWORD ? v : 0xDEAD;
}

TEST(Machine, OSAtLeastByFamilyVersionAndServicePack)
{
    Levers levers;
    struct Row {
        const char *os;
        DWORD v9xMajor, v9xMinor, ntMajor, ntMinor, sp;
        int want;
    } rows[] = {
        {"4.10.2222 9x", 5, 0, 5, 0, 0, 0},  // 98 is not "5.0 or later"
        {"4.10.2222 9x", 4, 10, 9, 9, 9, 1},  // the same minor counts; NT numbers not asked
        {"4.10.2222 9x", 4, 11, 0, 0, 0, 0},
        {"4.10.2222 9x", 4, 0, 0, 0, 0, 1},
        {"4.10.2222 9x", 3, 99, 0, 0, 0, 1},
        {"5.0.2195 nt Service Pack 2", 9, 9, 5, 0, 2, 1},
        {"5.0.2195 nt Service Pack 2", 0, 0, 5, 0, 3, 0},
        {"5.0.2195 nt", 0, 0, 5, 0, 1, 0},
        {"5.0.2195 nt", 0, 0, 5, 0, 0, 1},
        {"5.1.2600 nt Service Pack 3", 0, 0, 5, 2, 0, 0},
        {"5.1.2600 nt Service Pack 3", 0, 0, 5, 0, 9, 1},  // a later minor, whatever the pack
        {"6.1.7601 nt Service Pack 1", 0, 0, 5, 9, 9, 1},
        {"4.0.1381 nt Service Pack 6", 0, 0, 5, 0, 0, 0},
    };
    for (const Row &r : rows) {
        testkit::FakeWindowsVersion(r.os);
        EXPECT_EQ(IsOSAtLeast(r.v9xMajor, r.v9xMinor, r.ntMajor, r.ntMinor, r.sp), r.want)
            << r.os << ": " << r.v9xMajor << "." << r.v9xMinor << " / " << r.ntMajor << "." << r.ntMinor << " sp "
            << r.sp;
    }
    testkit::FakeWindowsVersion(nullptr);
    EXPECT_EQ(IsOSAtLeast(5, 0, 5, 0, 0), 1);  // the configured and Wine's default are NT 5+
}

TEST(Machine, FirstRunOncePerKindOfWindows)
{
    Levers levers;
    RegDeleteKeyA(HKEY_CURRENT_USER, FirstRunKey().c_str());
    // Nowhere to keep the marker: no first run, or one would be reported at every start.
    for (const char *os : {"5.1.2600 nt", "4.10.2222 9x"}) {
        testkit::FakeWindowsVersion(os);
        testkit::FailNthRegistryCreate(1);
        EXPECT_EQ(IsFirstRun(), 0) << os;
        testkit::FailNthRegistryCreate(0);
        EXPECT_EQ(FirstRunMarker(), 0xDEADu) << os;  // nothing written
    }
    // The key can be made again: the first run is still to come.
    EXPECT_EQ(IsFirstRun(), 1);
    EXPECT_EQ(FirstRunMarker(), 1u);
    EXPECT_EQ(IsFirstRun(), 0);
    // The same user on Windows 2000 and later: a first run of its own, marked 2.
    testkit::FakeWindowsVersion("5.0.2195 nt");
    EXPECT_EQ(IsFirstRun(), 1);
    EXPECT_EQ(FirstRunMarker(), 2u);
    EXPECT_EQ(IsFirstRun(), 0);
    // Back on the 9x family any marker counts.
    testkit::FakeWindowsVersion("4.90.3000 9x");
    EXPECT_EQ(IsFirstRun(), 0);
    // A marker of the wrong type or size does not count.
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, FirstRunKey().c_str(), 0, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "HasBeenRun", 0, REG_SZ, (const BYTE *)"2", 2), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(IsFirstRun(), 1);
    EXPECT_EQ(IsFirstRun(), 0);
    RegDeleteKeyA(HKEY_CURRENT_USER, FirstRunKey().c_str());
}

TEST(Folders, ShellThatKnowsNoFolderGivesTheFixedFallbacks)
{
    Levers levers;
    levers.Shell("");
    char win[MAX_PATH], buf[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(win, MAX_PATH), 0u);
    EXPECT_EQ(GetSpecialFolder(buf, SYS_CSIDL_PROGRAM_FILES, FALSE), 0);
    EXPECT_STREQ(buf, "c:\\Program Files");
    for (int id : {SYS_CSIDL_APPDATA, SYS_CSIDL_LOCAL_APPDATA, SYS_CSIDL_COMMON_APPDATA}) {
        g_asked.clear();
        memset(buf, 0xCC, sizeof buf);
        EXPECT_EQ(GetSpecialFolder(buf, id, FALSE), 0) << id;
        EXPECT_EQ(std::string(buf), std::string(win) + "\\Application Data") << id;
        // The machine-wide folder is asked again as the user's.
        std::vector<int> asked = id == SYS_CSIDL_COMMON_APPDATA ? std::vector<int>{35, 26} : std::vector<int>{id};
        EXPECT_EQ(g_asked, asked);
    }
    memset(buf, 0xCC, sizeof buf);
    EXPECT_EQ(GetSpecialFolder(buf, SYS_CSIDL_MYPICTURES, FALSE), 3);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(GetSpecialFolder(buf, SYS_CSIDL_PERSONAL, FALSE), -1);
}

TEST(Folders, WithoutAShellFunction)
{
    Levers levers;
    testkit::HideProc("SHGetSpecialFolderPathA", true);
    testkit::HideProc("SHGetFolderPathA", true);
    char buf[MAX_PATH], app[MAX_PATH];
    GetAppFolder(app);
    ASSERT_NE(app[0], 0);
    EXPECT_EQ(GetSpecialFolder(buf, SYS_CSIDL_PERSONAL, FALSE), 3);
    EXPECT_STREQ(buf, "C:\\My Documents");
    EXPECT_EQ(GetMyDocumentsFolder(buf, FALSE), 0);  // code 3
    for (int id : {SYS_CSIDL_APPDATA, SYS_CSIDL_LOCAL_APPDATA, SYS_CSIDL_COMMON_APPDATA}) {
        EXPECT_EQ(GetSpecialFolder(buf, id, TRUE), 2) << id;
        EXPECT_STREQ(buf, app) << id;
    }
    EXPECT_EQ(GetSpecialFolder(buf, SYS_CSIDL_PROGRAM_FILES, FALSE), -1);
    // Code 2 is no shell folder: application data stays the program's folder, nothing below.
    EXPECT_EQ(GetUserAppDataFolder(buf), 1);
    EXPECT_STREQ(buf, app);
}

TEST(Folders, ApplicationDataBelowMakerProductAndVersion)
{
    Levers levers;
    testkit::TempDir dir;
    levers.Shell(dir.path());
    int old = GetVersionDepth();
    SetVersionDepth(2);
    char buf[MAX_PATH];
    EXPECT_EQ(GetUserAppDataFolder(buf), 1);
    std::string user = g_shellRoot + "\\shell26\\Zelkova\\medleystudio\\1. 0";
    EXPECT_EQ(std::string(buf), user);
    EXPECT_NE(GetFileAttributesA(user.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(GetFileAttributesA(user.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetCommonAppDataFolder(buf), 1);
    EXPECT_EQ(std::string(buf), g_shellRoot + "\\shell35\\Zelkova\\medleystudio\\1. 0");
    char path[MAX_PATH] = "Q:\\elsewhere\\data.ini";
    ASSERT_EQ(MakeDataFilePath(path), 1);
    EXPECT_EQ(std::string(path), user + "\\data.ini");
    SetVersionDepth(old);
}

TEST(Folders, ShellFolderDeepDownStaysWithinAPathBuffer)
{
    // A shell folder about 240 characters long: maker, product and version below it would not
    // fit in 260, nor a file name, nor "\My Pictures" below the documents.
    Levers levers;
    testkit::TempDir dir;
    levers.Shell(dir.path() + "\\" + std::string(228 - dir.path().size(), 'r'));
    ASSERT_EQ(g_shellRoot.size(), 229u);
    char buf[MAX_PATH];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetUserAppDataFolder(buf), 1);
    EXPECT_EQ(std::string(buf), g_shellRoot + "\\shell26");  // the shell's folder itself
    char path[MAX_PATH] = "Q:\\elsewhere\\a-name-of-twenty-odd.ini";
    EXPECT_EQ(MakeDataFilePath(path), 0);
    EXPECT_STREQ(path, "Q:\\elsewhere\\a-name-of-twenty-odd.ini");  // left as it was
    char fits[MAX_PATH] = "Q:\\x\\n.i";  // 229 + 8 + 4 characters fit
    EXPECT_EQ(MakeDataFilePath(fits), 1);
    EXPECT_EQ(std::string(fits), g_shellRoot + "\\shell26\\n.i");

    levers.Shell(dir.path() + "\\" + std::string(250 - dir.path().size(), 'r'), SYS_CSIDL_PERSONAL);
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetSpecialFolder(buf, SYS_CSIDL_MYPICTURES, TRUE), -1);
    EXPECT_STREQ(buf, "");
}

TEST(Folders, ShellFoldersKeyComesFirstWhenItHoldsText)
{
    Levers levers;
    testkit::TempDir dir;
    levers.Shell(dir.path());
    char buf[MAX_PATH];
    levers.SetText(HKEY_CURRENT_USER, kShellFolders, "My Music", dir.path() + "\\Tunes");
    levers.SetText(HKEY_CURRENT_USER, kShellFolders, "My Pictures", dir.path() + "\\Snaps");
    EXPECT_EQ(GetMyMusicFolder(buf), 1);
    EXPECT_EQ(std::string(buf), dir.path() + "\\Tunes");
    EXPECT_EQ(GetMyPicturesFolder(buf, FALSE), 1);
    EXPECT_EQ(std::string(buf), dir.path() + "\\Snaps");
    // Values that are not text, or empty, are passed over for the shell's answer.
    DWORD number = 0x31313131;  // "1111" when read as bytes
    levers.Set(HKEY_CURRENT_USER, kShellFolders, "My Pictures", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(GetMyPicturesFolder(buf, FALSE), 1);
    EXPECT_EQ(std::string(buf), dir.path() + "\\shell39");
    levers.SetText(HKEY_CURRENT_USER, kShellFolders, "My Music", "");
    EXPECT_EQ(GetMyMusicFolder(buf), 1);
    EXPECT_EQ(std::string(buf), dir.path() + "\\shell5\\My Music");
    EXPECT_NE(GetFileAttributesA(buf), INVALID_FILE_ATTRIBUTES);  // its tree is made
    levers.Set(HKEY_CURRENT_USER, kShellFolders, "My Music", REG_BINARY, "D:\\x", 5);
    EXPECT_EQ(GetMyMusicFolder(buf), 1);
    EXPECT_EQ(std::string(buf), dir.path() + "\\shell5\\My Music");
    EXPECT_EQ(GetMyVideosFolder(buf), 1);
    EXPECT_EQ(std::string(buf), dir.path() + "\\shell5\\My Videos");
}

TEST(Machine, BrowserVersionOnlyAsTerminatedText)
{
    Levers levers;
    const char key[] = "Software\\Microsoft\\Internet Explorer";
    char buf[100];
    levers.SetText(HKEY_LOCAL_MACHINE, key, "Version", "6.0.2900.2180");
    EXPECT_EQ(GetIEVersion(buf), 1);
    EXPECT_STREQ(buf, "6.0.2900.2180");
    DWORD number = 0x00362E36;  // "6.6" as bytes
    levers.Set(HKEY_LOCAL_MACHINE, key, "Version", REG_DWORD, &number, sizeof number);
    memset(buf, 0xCC, sizeof buf);
    EXPECT_EQ(GetIEVersion(buf), 0);
    std::string tooLong(100, '7');  // needs 101 bytes with its terminator
    levers.SetText(HKEY_LOCAL_MACHINE, key, "Version", tooLong);
    EXPECT_EQ(GetIEVersion(buf), 0);
    EXPECT_EQ(GetIEVersion(nullptr), 0);
}

TEST(Machine, DiskSpaceWithoutTheExtendedCallIsCountedIn64Bits)
{
    Levers levers;
    // Our layer reports what MEDLEY_DRIVE_C_FREE says (6 GB here); Windows its real disk.
    SetEnvironmentVariableA("MEDLEY_DRIVE_C_FREE", "6442450944");
    DWORD spc = 0, bps = 0, freeClusters = 0, clusters = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA("c:\\", &spc, &bps, &freeClusters, &clusters));
    uint64_t want = (uint64_t)spc * bps * freeClusters;
    testkit::HideProc("GetDiskFreeSpaceExA", true);
    uint64_t got = GetDiskFreeBytes("c:\\some\\file.txt");
    SetEnvironmentVariableA("MEDLEY_DRIVE_C_FREE", nullptr);
    ASSERT_GT(want, 0xFFFFFFFFull) << "the check needs more than 4 GB free on C:";
    // The disk may change between the two readings; a wrapped product would be 4 GB off.
    EXPECT_LT(got > want ? got - want : want - got, 256ull << 20) << got << " vs " << want;
}

}  // namespace
