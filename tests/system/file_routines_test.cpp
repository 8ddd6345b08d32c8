/* The file and folder routines: deletions, the login marker, scrambled texts, sound lengths
 * and the room on the system drive. */
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "filefun.h"
#include "media_files.h"
#include "sysinfo.h"
#include "testkit.h"
#if !defined(_WIN32)
#include <dlfcn.h>
#include <mmsystem.h>
#endif

namespace {

using testkit::Exists;
using testkit::TempFolderAt;
using testkit::Put;

void MakeReadOnly(const std::string &p, const std::string &text = "x")
{
    ASSERT_TRUE(Put(p, text));
    ASSERT_TRUE(SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_READONLY));
}

/* Read-only files left in a test folder would outlive it on Windows. */
void Unprotect(const std::string &p) { SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL); }

TEST(FileRoutines, ClearTempFolderDeletesFilesOnly)
{
    testkit::TempDir dir;
    TempFolderAt temp(dir.path());
    EXPECT_EQ(ClearTempFolder(), 0);  // no MMSTemp yet
    ASSERT_NE(temp.path(), "");
    std::string mms = temp.path() + "\\MMSTemp";
    ASSERT_TRUE(CreateDirectoryA(mms.c_str(), NULL));
    std::string ro = mms + "\\locked.dat", plain = mms + "\\plain.txt", sub = mms + "\\keep";
    MakeReadOnly(ro);
    ASSERT_TRUE(Put(plain, "x"));
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), NULL));
    ASSERT_TRUE(Put(sub + "\\inner.txt", "x"));
    EXPECT_EQ(ClearTempFolder(), 1);
    EXPECT_FALSE(Exists(ro));
    EXPECT_FALSE(Exists(plain));
    EXPECT_TRUE(Exists(sub + "\\inner.txt"));  // folders stay, with what is in them
    EXPECT_TRUE(Exists(mms));
    EXPECT_EQ(ClearTempFolder(), 1);  // an emptied folder still lists
}

TEST(FileRoutines, DeleteDirFilesKeepsReadOnlyFilesAndFolders)
{
    testkit::TempDir dir;
    for (const char *tail : {"", "\\"}) {
        std::string d = dir.file(std::string("files") + (*tail ? "B" : "A"));
        ASSERT_TRUE(CreateDirectoryA(d.c_str(), NULL));
        ASSERT_TRUE(Put(d + "\\a.txt", "x"));
        ASSERT_TRUE(Put(d + "\\b.gif", "x"));
        ASSERT_TRUE(CreateDirectoryA((d + "\\sub").c_str(), NULL));
        EXPECT_EQ(DeleteDirFiles((d + tail).c_str()), 1) << tail;
        EXPECT_FALSE(Exists(d + "\\a.txt"));
        EXPECT_FALSE(Exists(d + "\\b.gif"));
        EXPECT_TRUE(Exists(d + "\\sub"));
        EXPECT_TRUE(Exists(d));
        MakeReadOnly(d + "\\ro.txt");
        ASSERT_TRUE(Put(d + "\\c.txt", "x"));
        SetLastError(0xdeadbeef);
        EXPECT_EQ(DeleteDirFiles((d + tail).c_str()), 0) << tail;  // a file stayed
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
        EXPECT_TRUE(Exists(d + "\\ro.txt"));
        EXPECT_FALSE(Exists(d + "\\c.txt"));
        Unprotect(d + "\\ro.txt");
    }
    EXPECT_EQ(DeleteDirFiles(dir.file("missing").c_str()), 0);
    testkit::AssertCapture asserts;
    EXPECT_EQ(DeleteDirFiles(NULL), 0);
    EXPECT_TRUE(asserts.Saw("lpszDir"));
}

TEST(FileRoutines, DeleteDirTreePatternAtTheTopOnly)
{
    testkit::TempDir dir;
    std::string top = dir.file("tree") + "\\";
    ASSERT_EQ(CreateFolderTree((top + "x.gif\\deep").c_str()), 0);
    ASSERT_EQ(CreateFolderTree((top + "y").c_str()), 0);
    for (const char *f : {"a.gif", "b.txt", "x.gif\\c.txt", "x.gif\\deep\\d.gif", "y\\e.gif"})
        ASSERT_TRUE(Put(top + f, "x"));
    MakeReadOnly(top + "x.gif\\deep\\locked.txt");
    DeleteDirTree(top.c_str(), "*.gif");
    EXPECT_FALSE(Exists(top + "a.gif"));
    EXPECT_FALSE(Exists(top + "x.gif"));  // a folder the pattern selects goes whole
    EXPECT_TRUE(Exists(top + "b.txt"));
    EXPECT_TRUE(Exists(top + "y\\e.gif"));  // below the top, the pattern selects nothing
    EXPECT_TRUE(Exists(top));               // not empty: it stays
    DeleteDirTree(top.c_str(), "*.txt");
    EXPECT_FALSE(Exists(top + "b.txt"));
    EXPECT_TRUE(Exists(top));
    DeleteDirTree(top.c_str(), "*.*");
    EXPECT_FALSE(Exists(top));
    DeleteDirTree(top.c_str(), "*.*");  // nothing there: nothing done
    DeleteDirTree(NULL, "*.*");
}

/* Only the folder named: given without its separator it is still that folder (not every
 * name that starts like it), and an empty name (the current folder) is refused. */
TEST(FileRoutines, DeleteDirTreeActsOnlyInsideTheFolderNamed)
{
    testkit::TempDir dir;
    std::string tree = dir.file("tree");
    for (const char *f : {"tree\\a.txt", "tree\\sub\\b.txt", "treeX\\c.txt", "tree.txt", "treetree\\d.txt"}) {
        std::string p = dir.file(f);
        ASSERT_EQ(CreateFolderTree(p.substr(0, p.find_last_of("\\/")).c_str()), 0);
        ASSERT_TRUE(Put(p, "x"));
    }
    DeleteDirTree(tree.c_str(), "*.*");
    EXPECT_FALSE(Exists(tree));
    for (const char *f : {"treeX\\c.txt", "tree.txt", "treetree\\d.txt"})
        EXPECT_TRUE(Exists(dir.file(f))) << f;  // siblings that start like it stay

    char cwd[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(sizeof cwd, cwd), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    SetLastError(0);
    DeleteDirTree("", "*.*");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    SetCurrentDirectoryA(cwd);
    EXPECT_TRUE(Exists(dir.file("tree.txt")));
    EXPECT_TRUE(Exists(dir.file("treeX\\c.txt")));
}

/* Links inside the tree lead out of it: they go, what they lead to stays untouched. */
TEST(FileRoutines, DeleteDirTreeNeverFollowsLinksOut)
{
    testkit::TempDir dir;
    std::string keep = dir.file("keep") + "\\";
    std::string top = dir.file("tree") + "\\";
    ASSERT_EQ(CreateFolderTree((keep + "inner").c_str()), 0);
    ASSERT_EQ(CreateFolderTree((top + "sub").c_str()), 0);
    ASSERT_TRUE(Put(keep + "inner\\photo.jpg", "x"));
    MakeReadOnly(keep + "locked.txt");
    ASSERT_TRUE(Put(top + "sub\\a.txt", "x"));
    if (!CreateSymbolicLinkA((top + "sub\\out").c_str(), keep.substr(0, keep.size() - 1).c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY) ||
        !CreateSymbolicLinkA((top + "file.lnk").c_str(), (keep + "locked.txt").c_str(), 0)) {
        Unprotect(keep + "locked.txt");
        GTEST_SKIP() << "symbolic links cannot be made here (error " << GetLastError() << ")";
    }
    DWORD linkAttrs = GetFileAttributesA((top + "sub\\out").c_str());
    if (testkit::UnderWine() && linkAttrs == INVALID_FILE_ATTRIBUTES) {
        // Known Wine divergence: its CreateSymbolicLinkA answers TRUE and makes nothing, so
        // there is no link to delete the tree through.
        Unprotect(keep + "locked.txt");
        GTEST_SKIP() << "Wine reports a symbolic link made and makes none";
    }
    EXPECT_NE(linkAttrs, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(linkAttrs & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_TRUE(linkAttrs & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(DeleteFileA((top + "sub\\out").c_str()));  // a link to a folder is no file

    DeleteDirTree(top.c_str(), "*.*");
    EXPECT_FALSE(Exists(top));
    EXPECT_TRUE(Exists(keep + "inner\\photo.jpg"));
    EXPECT_EQ(GetFileAttributesA((keep + "locked.txt").c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));

    // The scratch folder's clearing takes a file link and leaves its target as it was.
    testkit::TempDir temp;
    TempFolderAt at(temp.path());
    ASSERT_NE(at.path(), "");
    std::string mms = at.path() + "\\MMSTemp";
    ASSERT_TRUE(CreateDirectoryA(mms.c_str(), NULL));
    ASSERT_TRUE(CreateSymbolicLinkA((mms + "\\l.txt").c_str(), (keep + "locked.txt").c_str(), 0));
    EXPECT_EQ(ClearTempFolder(), 1);
    EXPECT_FALSE(Exists(mms + "\\l.txt"));
    EXPECT_EQ(GetFileAttributesA((keep + "locked.txt").c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));

    // A link where the folder itself should be: neither walk goes through it.
    ASSERT_TRUE(RemoveDirectoryA(mms.c_str()));
    std::string keepFolder = keep.substr(0, keep.size() - 1);
    ASSERT_TRUE(CreateSymbolicLinkA(mms.c_str(), keepFolder.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY));
    EXPECT_EQ(ClearTempFolder(), 0);
    std::string linked = dir.file("linked");
    ASSERT_TRUE(CreateSymbolicLinkA(linked.c_str(), keepFolder.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY));
    DeleteDirTree((linked + "\\").c_str(), "*.*");
    DeleteDirTree(linked.c_str(), "*.*");
    EXPECT_TRUE(Exists(keep + "locked.txt"));
    EXPECT_TRUE(Exists(keep + "inner\\photo.jpg"));
    Unprotect(keep + "locked.txt");
    RemoveDirectoryA(mms.c_str());
    RemoveDirectoryA(linked.c_str());
}

TEST(FileRoutines, DeleteFileForceTakesReadOnlyFiles)
{
    testkit::TempDir dir;
    std::string f = dir.file("ro.bin");
    MakeReadOnly(f);
    EXPECT_TRUE(DeleteFileForce(f.c_str()));
    EXPECT_FALSE(Exists(f));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileForce(f.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    // A folder is not a file, read-only or not; it stays.
    std::string sub = dir.file("sub");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), NULL));
    EXPECT_FALSE(DeleteFileForce(sub.c_str()));
    EXPECT_TRUE(Exists(sub));
}

TEST(FileRoutines, LoginMarkerValuesRewriteInPlaceAndNowhereToMakeIt)
{
    testkit::TempDir dir;
    TempFolderAt temp(dir.path());
    ASSERT_NE(temp.path(), "");
    std::string marker = temp.path() + "\\temp_log.ini";
    char value[16];
    EXPECT_EQ(ClearLoginMarker(), 0);  // none yet
    EXPECT_NE(SetLoginMarker(5), 0);
    ASSERT_TRUE(Exists(marker));
    GetPrivateProfileStringA("login", "login", "", value, sizeof value, marker.c_str());
    EXPECT_STREQ(value, "1");
    // An existing marker is rewritten, not made anew: what else it holds stays.
    ASSERT_TRUE(WritePrivateProfileStringA("other", "k", "v", marker.c_str()));
    EXPECT_NE(SetLoginMarker(0), 0);
    GetPrivateProfileStringA("login", "login", "", value, sizeof value, marker.c_str());
    EXPECT_STREQ(value, "0");
    GetPrivateProfileStringA("other", "k", "", value, sizeof value, marker.c_str());
    EXPECT_STREQ(value, "v");
    EXPECT_NE(ClearLoginMarker(), 0);
    EXPECT_FALSE(Exists(marker));
    // A temporary folder that is a file: no marker can be made in it.
    ASSERT_TRUE(Put(dir.file("plain"), "x"));
    TempFolderAt plain(dir.file("plain"));
    EXPECT_EQ(SetLoginMarker(1), -1);
}

TEST(FileRoutines, ScrambleOneLetterAndDigitsByHand)
{
    char out[MAX_PATH];
    ASSERT_EQ(EncodeText("A", out), 1);
    EXPECT_EQ(strspn(out, "0123456789"), 6u);
    EXPECT_EQ(out[0], '0');
    int key = atoi(std::string(out, 3).c_str());
    EXPECT_EQ(atoi(out + 3), 'A' + key);
    // Digits made by hand (the null text: digits EncodeText could not have made).
    const struct {
        const char *digits, *text;
    } rows[] = {
        {out, "A"},           {"0100751", "A"},  // seven digits: the seventh is ignored
        {"007079112", "Hi"},  // key 7: "H" = 72 + 7, "i" = 105 + 7
        {"012-11", "\xE9"},   // a negative group: character -23 with key 12
        {"", nullptr},        {"12", nullptr},   {"0a0065", nullptr}, {"010x75", nullptr},
        {"100065", nullptr},  {"010010", nullptr},
    };
    for (const auto &r : rows) {
        char back[MAX_PATH] = "old";
        EXPECT_EQ(DecodeText(r.digits, back), r.text ? 1 : 0) << r.digits;
        EXPECT_STREQ(back, r.text ? r.text : "") << r.digits;
    }
}

TEST(FileRoutines, ScrambleCarriesEveryCharacterOrSaysNo)
{
    // Every byte value, 80 at a time, comes back whole, whatever key is drawn.
    for (int from = 1; from < 256; from += 80) {
        std::string text;
        for (int c = from; c < from + 80 && c < 256; ++c)
            text += (char)c;
        char out[MAX_PATH], back[MAX_PATH];
        ASSERT_EQ(EncodeText(text.c_str(), out), 1) << from;
        EXPECT_EQ(strlen(out), 3 + 3 * text.size());
        ASSERT_EQ(DecodeText(out, back), 1);
        EXPECT_EQ(std::string(back), text) << from;
    }
    // Characters that no key carries together: a failure, not digits that lose text.
    // (-128 needs a key from 29 up, -90 one up to 80, -71 up to 61 or from 81, -52 up to 42
    // or from 62, -38 up to 28 or from 48.)
    const char hard[] = {(char)-128, (char)-90, (char)-71, (char)-52, (char)-38, 0};
    char out[MAX_PATH];
    memset(out, 0xCC, sizeof out);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(EncodeText(hard, out), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_DATA);
    EXPECT_STREQ(out, "");
    // A text whose digits would not fit a 260-character buffer.
    std::string longText(86, 'a');
    EXPECT_EQ(EncodeText(longText.c_str(), out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(EncodeText(longText.substr(1).c_str(), out), 1);  // 3 + 255 digits fit
    testkit::AssertCapture asserts;
    EXPECT_EQ(EncodeText(NULL, out), 0);
    EXPECT_TRUE(asserts.Saw("lpStr1"));
    EXPECT_EQ(DecodeText("010075", NULL), 0);
    EXPECT_TRUE(asserts.Saw("lpStr2"));
}

/* Sounds go to the waveaudio device, ".mid" in any case to the sequencer; a file the device
 * refuses has no length (how each measures, and what it refuses, is the Mci tests' business). */
TEST(FileRoutines, MediaLengthByExtension)
{
    testkit::TempDir dir;
    testkit::MidiTrack t;  // format 0 at the default tempo: 3 beats of 192 ticks = 1.5 s
    t.Note(0, 60, true);
    t.Note(576, 60, false);
    t.End(576);
    const testkit::Bytes song = testkit::MidiFile(0, 192, {t});
    const struct {
        const char *name;
        testkit::Bytes bytes;
        double ms;
    } rows[] = {
        {"s.wav", testkit::PcmWave(8000, 1, 8, 8000 * 2), 2000},
        {"SONG.MID", song, 1500},
        {"song.mid", song, 1500},
        {"song.midi", song, -1},  // waveaudio, which refuses it
    };
    for (const auto &r : rows) {
        std::string f = dir.file(r.name);
        ASSERT_TRUE(Put(f, r.bytes));
        EXPECT_NEAR(GetMediaLength(f.c_str()), r.ms, 0.5) << r.name;
    }
    EXPECT_EQ(GetMediaLength(NULL), -1.0);
}

#if !defined(_WIN32)
}  // namespace

/* The library's MCI commands pass through here (the compat layer's own definition is found
 * next): each is recorded, and MCI_SET fails while g_failSet holds. */
static std::vector<UINT> g_mciSeen;
static bool g_failSet = false;
extern "C" MCIERROR mciSendCommandA(MCIDEVICEID id, UINT msg, DWORD_PTR flags, DWORD_PTR param)
{
    g_mciSeen.push_back(msg);
    if (msg == MCI_SET && g_failSet)
        return MCIERR_UNSUPPORTED_FUNCTION;
    auto real = (MCIERROR(*)(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR))dlsym(RTLD_NEXT, "mciSendCommandA");
    return real(id, msg, flags, param);
}

namespace {

TEST(FileRoutines, MediaLengthStopsTheDeviceBeforeClosingIt)
{
    testkit::TempDir dir;
    std::string f = dir.file("s.wav");
    ASSERT_TRUE(Put(f, testkit::PcmWave(8000, 1, 8, 8000)));
    for (bool fail : {false, true}) {
        g_mciSeen.clear();
        g_failSet = fail;
        EXPECT_EQ(GetMediaLength(f.c_str()) < 0, fail);
        g_failSet = false;
        ASSERT_GE(g_mciSeen.size(), 3u) << fail;
        EXPECT_EQ(MCI_OPEN, g_mciSeen.front()) << fail;
        EXPECT_EQ((std::vector<UINT>{MCI_STOP, MCI_CLOSE}), std::vector<UINT>(g_mciSeen.end() - 2, g_mciSeen.end()))
            << fail;
    }
}
#endif

TEST(FileRoutines, DiskSpaceThreshold)
{
    // Known divergence: the free space of C: can be set only on our layer
    // (MEDLEY_DRIVE_C_FREE); under Wine the real disk answers.
    if (testkit::kRealWin32) {
        ULARGE_INTEGER avail;
        ASSERT_TRUE(GetDiskFreeSpaceExA("c:\\", &avail, NULL, NULL));
        if (avail.QuadPart >= 150ull << 20) {
            EXPECT_EQ(CheckDiskSpace(NULL), 1);
        }
        return;
    }
    const uint64_t mib = 1024 * 1024;
    auto with = [](uint64_t bytes) {
        SetEnvironmentVariableA("MEDLEY_DRIVE_C_FREE", std::to_string(bytes).c_str());
        testing::internal::CaptureStderr();
        int r = CheckDiskSpace(NULL);
        std::string shown = testing::internal::GetCapturedStderr();
        SetEnvironmentVariableA("MEDLEY_DRIVE_C_FREE", NULL);
        return std::make_pair(r, shown);
    };
    auto exactly = with(150 * mib);
    EXPECT_EQ(exactly.first, 1);
    EXPECT_EQ(exactly.second, "");  // nothing shown
    auto shortBy1 = with(150 * mib - 1);
    EXPECT_EQ(shortBy1.first, 0);
    EXPECT_NE(shortBy1.second.find("Medley Studio: The free disk space is not enough."), std::string::npos)
        << shortBy1.second;
}

}  // namespace
