/* Album transfer: inserting message files into their albums, rebuilding a moved album. */
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "album.h"
#include "sysinfo.h"
#include "testkit.h"

namespace {

using testkit::Exists;
using testkit::Get;
using testkit::Put;

CONTINFO Record(WORD type, const std::string &file, const char *text = "", int v1 = 0, int v2 = 0, int v3 = 0,
                int v4 = 0)
{
    CONTINFO r;
    memset(&r, 0, sizeof r);
    r.wType = type;
    strcpy(r.szFile, file.c_str());
    strcpy(r.szText, text);
    r.nValue1 = v1;
    r.nValue2 = v2;
    r.nValue3 = v3;
    r.nValue4 = v4;
    return r;
}

/* An album's objects: path and user fields 1 to 3 ("-" for a field not set). */
struct Entry {
    std::string path, user1, user2, user3;
    DWORD size2 = 0, size3 = 0;
};

std::vector<Entry> Read(const std::string &abm)
{
    std::vector<Entry> out;
    int32_t h = CreateAlbumHandle(0);
    if (h < 0 || !ABM_OpenAlbum(h, abm.c_str())) {
        ABM_Release(h);
        return out;
    }
    for (int32_t i = 1; i <= ABM_GetObjectCount(h); ++i) {
        Entry e;
        char buf[MAX_PATH];
        ABM_GetImageName(h, i, buf);
        e.path = buf;
        std::string *texts[] = {&e.user1, &e.user2, &e.user3};
        DWORD *sizes[] = {nullptr, &e.size2, &e.size3};
        const char *names[] = {ALBUM_USER1, ALBUM_USER2, ALBUM_USER3};
        for (int k = 0; k < 3; ++k) {
            DWORD cb = sizeof buf;
            *texts[k] = ABM_GetFieldData(h, i, names[k], buf, &cb) ? std::string(buf) : "-";
            if (sizes[k])
                *sizes[k] = cb;
        }
        out.push_back(e);
    }
    ABM_Release(h);
    return out;
}

std::vector<std::string> Paths(const std::vector<Entry> &entries)
{
    std::vector<std::string> out;
    for (const Entry &e : entries)
        out.push_back(e.path);
    return out;
}

/* A scene: <root>\Data\Trip\msgNN\msg.smil, and the temporary folder at <root>\temp. */
class Albums : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = dir.path();
        trip = root + "\\Data\\Trip";
        ASSERT_EQ(CreateFolderTree((root + "\\temp").c_str()), 0);
        SetEnvironmentVariableA("MEDLEY_ALBUM_FOLDER", (root + "\\Own").c_str());
    }
    void TearDown() override { SetEnvironmentVariableA("MEDLEY_ALBUM_FOLDER", NULL); }
    std::string Message(const std::string &album, int n)
    {
        char folder[16];
        snprintf(folder, sizeof folder, "msg%02d", n);
        std::string d = album + "\\" + folder;
        EXPECT_EQ(CreateFolderTree(d.c_str()), 0);
        std::string f = d + "\\msg.smil";
        EXPECT_TRUE(Put(f, "<smil>" + std::to_string(n) + "</smil>"));
        return f;
    }
    testkit::TempDir dir;
    testkit::TempFolderAt temp{dir.path() + "\\temp"};
    std::string root, trip;
};

TEST_F(Albums, AlbumFileFromThePathAndType)
{
    char abm[MAX_PATH];
    CONTINFO r = Record(1, "C:\\Data\\Trip\\msg01\\msg.smil");
    for (WORD t : {1, 2, 3, 4, 5, 9}) {
        r.wType = t;
        ASSERT_EQ(GetAlbumFileOf(&r, abm), 1);
        // Types 3 and 4 go to the library's own folder.
        EXPECT_EQ(std::string(abm), t == 3 || t == 4 ? root + "\\Own\\Trip.abm" : "C:\\Data\\Trip\\Trip.abm") << t;
    }
    std::string m1 = Message(trip, 1);  // and the insertion goes there
    CONTINFO own = Record(3, m1);
    ASSERT_EQ(InsertIntoAlbums(0, &own, 1), 1);
    EXPECT_FALSE(Exists(trip + "\\Trip.abm"));
    EXPECT_EQ(Paths(Read(root + "\\Own\\Trip.abm")), std::vector<std::string>{m1});
    r = Record(1, "C:\\msg01\\msg.smil");  // two separators: no album
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetAlbumFileOf(&r, abm), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_PATHNAME);
}

TEST_F(Albums, InsertCreatesTheAlbumAndWritesTheUserFields)
{
    std::string m1 = Message(trip, 1), m2 = Message(trip, 2);
    CONTINFO recs[] = {Record(1, m1, "Holiday", 120, 160, 3, 4), Record(5, m2, "ignored", 1, 2, 30, 40)};
    ASSERT_EQ(InsertIntoAlbums(0, recs, 2), 2);
    std::string abm = trip + "\\Trip.abm";
    auto entries = Read(abm);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, m1);
    EXPECT_EQ(entries[0].user1, "Holiday");
    EXPECT_EQ(entries[0].user2, "160/120");
    EXPECT_EQ(entries[0].size2, 8u);
    EXPECT_EQ(entries[0].user3, "3/4");
    EXPECT_EQ(entries[0].size3, 4u);
    EXPECT_EQ(entries[1].user1, "");  // types 2 to 5: empty text
    EXPECT_EQ(entries[1].user2, "2/1");
    EXPECT_FALSE(Exists(root + "\\temp\\abmTemp.abm"));  // the temporary copy is gone

    // The same file again: one entry, moved to the end with its new fields.
    CONTINFO again = Record(1, m1, "Again", 5, 6, 7, 8);
    ASSERT_EQ(InsertIntoAlbums(0, &again, 1), 1);
    entries = Read(abm);
    ASSERT_EQ(Paths(entries), (std::vector<std::string>{m2, m1}));
    EXPECT_EQ(entries[1].user1, "Again");
    EXPECT_EQ(entries[1].user2, "6/5");

    // Type 2 replaces the entry named by szText; other types write no user field 1.
    std::string m3 = Message(trip, 3), m4 = Message(trip, 4);
    CONTINFO replace = Record(2, m3, m2.c_str());
    ASSERT_EQ(InsertIntoAlbums(0, &replace, 1), 1);
    CONTINFO other = Record(9, m4);
    ASSERT_EQ(InsertIntoAlbums(0, &other, 1), 1);
    entries = Read(abm);
    ASSERT_EQ(Paths(entries), (std::vector<std::string>{m1, m3, m4}));
    EXPECT_EQ(entries[2].user1, "-");
    EXPECT_EQ(entries[2].user3, "0/0");

    // An album holding one file twice (made elsewhere): only the first entry is replaced.
    int32_t h = CreateAlbumHandle(0);
    ASSERT_TRUE(ABM_OpenAlbum(h, abm.c_str()));
    ASSERT_GT(ABM_InsertObject(h, m3.c_str(), -1, 0), 0);
    ASSERT_TRUE(ABM_SaveAlbum(h, abm.c_str()));
    ABM_Release(h);
    CONTINFO twice = Record(1, m3, "new");
    ASSERT_EQ(InsertIntoAlbums(0, &twice, 1), 1);
    entries = Read(abm);
    ASSERT_EQ(Paths(entries), (std::vector<std::string>{m1, m4, m3, m3}));  // the second of the two stays
    EXPECT_EQ(entries[3].user1, "new");

    // A type 1 text of 259 characters is kept whole.
    std::string longText(259, 'T');
    CONTINFO longer = Record(1, m1, longText.c_str());
    ASSERT_EQ(InsertIntoAlbums(0, &longer, 1), 1);
    EXPECT_EQ(Read(abm).back().user1, longText);
}

TEST_F(Albums, BadRecordsStopTheRunAndLeaveAlbumsAlone)
{
    std::string m1 = Message(trip, 1);
    CONTINFO first = Record(1, m1, "one");
    ASSERT_EQ(InsertIntoAlbums(0, &first, 1), 1);
    std::string abm = trip + "\\Trip.abm";
    std::vector<unsigned char> before = Get(abm);
    // A missing first file: nothing is done.
    CONTINFO missing = Record(1, trip + "\\msg09\\none.smil");
    EXPECT_EQ(InsertIntoAlbums(0, &missing, 1), 0);
    EXPECT_EQ(Get(abm), before);
    // A missing later file stops there; the records before it are stored.
    std::string m2 = Message(trip, 2);
    CONTINFO run[] = {Record(1, m2, "two"), Record(1, trip + "\\msg09\\none.smil"), Record(1, m1, "never")};
    EXPECT_EQ(InsertIntoAlbums(0, run, 3), 1);
    auto entries = Read(abm);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].user1, "one");  // the third record never ran
    // A damaged album file is not overwritten with a fresh one.
    before = Get(abm);
    std::vector<unsigned char> damaged = before;
    damaged[damaged.size() / 2] ^= 0x55;
    ASSERT_TRUE(Put(abm, damaged));
    CONTINFO onto = Record(1, m2, "x");
    SetLastError(0xdeadbeef);
    EXPECT_EQ(InsertIntoAlbums(0, &onto, 1), 0);
    EXPECT_EQ(GetLastError(), 1392u);  // ERROR_FILE_CORRUPT
    EXPECT_EQ(Get(abm), damaged);
    EXPECT_TRUE(Exists(m1));
    EXPECT_TRUE(Exists(m2));
    // An unusable temporary folder (a file stands there): the album stays as it was.
    ASSERT_TRUE(Put(abm, before));
    ASSERT_TRUE(Put(root + "\\blocked", "x"));
    testkit::TempFolderAt blocked(root + "\\blocked");
    EXPECT_EQ(InsertIntoAlbums(0, &onto, 1), 0);
    EXPECT_EQ(Get(abm), before);
    testkit::AssertCapture asserts;
    EXPECT_EQ(InsertIntoAlbums(0, NULL, 1), 0);
    EXPECT_TRUE(asserts.Saw("lpContInfo"));
}

TEST_F(Albums, RebaseNeverLosesTheAlbum)
{
    std::string m1 = Message(trip, 1), m2 = Message(trip, 2);
    CONTINFO recs[] = {Record(1, m1, "a"), Record(1, m2, "b")};
    ASSERT_EQ(InsertIntoAlbums(0, recs, 2), 2);
    std::string abm = trip + "\\Trip.abm";
    std::vector<unsigned char> before = Get(abm);
    int32_t source = CreateAlbumHandle(0);
    unsigned faults = testkit::ForEachFileFault(
        [&] {
            ASSERT_TRUE(Put(abm, before));
            DeleteFileA((trip + "\\Trip_tmp.abm").c_str());
        },
        [&] { return RebaseAlbum(0, abm.c_str(), source) == 1; },
        [&](bool ok, unsigned n) {
            auto entries = Read(abm);
            ASSERT_EQ(entries.size(), 2u) << "fault " << n << (ok ? " (done)" : " (failed)");
            if (!ok) {
                EXPECT_EQ(Get(abm), before) << "fault " << n;
            }
            // (A leftover Trip_tmp.abm is possible only when deleting it was the failing call.)
            EXPECT_TRUE(Exists(m1) && Exists(m2));
        });
    EXPECT_GT(faults, 3u);
    DeleteFileA((trip + "\\Trip_tmp.abm").c_str());
    // A damaged album is not rebuilt into an empty one, and no temporary album is left.
    std::vector<unsigned char> damaged = before;
    damaged[40] ^= 1;
    ASSERT_TRUE(Put(abm, damaged));
    EXPECT_EQ(RebaseAlbum(0, abm.c_str(), source), 0);
    EXPECT_EQ(Get(abm), damaged);
    EXPECT_FALSE(Exists(trip + "\\Trip_tmp.abm"));
    ABM_Release(source);
    testkit::AssertCapture asserts;
    EXPECT_EQ(RebaseAlbum(0, NULL, source), 0);
    EXPECT_TRUE(asserts.Saw("lpszAbmFile"));
}

TEST_F(Albums, RebaseFollowsTheMovedFolder)
{
    std::string m1 = Message(trip, 1), m2 = Message(trip, 2), m3 = Message(trip, 3);
    CONTINFO recs[] = {Record(1, m1, "a", 1, 2, 3, 4), Record(1, m2, "b"), Record(1, m3, "c")};
    ASSERT_EQ(InsertIntoAlbums(0, recs, 3), 3);
    // The album is copied to Copy\Trip, without msg02.
    std::string copy = root + "\\Copy\\Trip";
    for (int n : {1, 3}) {
        char folder[16];
        snprintf(folder, sizeof folder, "\\msg%02d", n);
        ASSERT_EQ(CreateFolderTree((copy + folder).c_str()), 0);
        ASSERT_TRUE(CopyFileA((trip + folder + "\\msg.smil").c_str(), (copy + folder + "\\msg.smil").c_str(), TRUE));
    }
    std::string abm = copy + "\\Trip.abm";
    ASSERT_TRUE(CopyFileA((trip + "\\Trip.abm").c_str(), abm.c_str(), TRUE));
    int32_t source = CreateAlbumHandle(0);
    ASSERT_EQ(RebaseAlbum(0, abm.c_str(), source), 1);
    EXPECT_EQ(ABM_GetObjectCount(source), 0);  // left closed
    ABM_Release(source);
    auto entries = Read(abm);
    ASSERT_EQ(Paths(entries), (std::vector<std::string>{copy + "\\msg01\\msg.smil", copy + "\\msg03\\msg.smil"}));
    EXPECT_EQ(entries[0].user1, "a");
    EXPECT_EQ(entries[0].user2, "2/1");
    EXPECT_EQ(entries[0].user3, "3/4");
    EXPECT_EQ(entries[1].user1, "c");
    EXPECT_FALSE(Exists(copy + "\\Trip_tmp.abm"));
    EXPECT_EQ(Read(trip + "\\Trip.abm").size(), 3u);  // the original album is untouched

    // A leftover Trip_tmp.abm: nothing is done.
    std::vector<unsigned char> now = Get(abm);
    ASSERT_TRUE(Put(copy + "\\Trip_tmp.abm", "left over"));
    source = CreateAlbumHandle(0);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RebaseAlbum(0, abm.c_str(), source), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Get(abm), now);
    EXPECT_EQ(Get(copy + "\\Trip_tmp.abm").size(), 9u);
    ABM_Release(source);
}


}  // namespace

TEST_F(Albums, TextsThatDoNotEndInTheirFieldAreRefused)
{
    std::string m1 = Message(trip, 1);
    const struct Row {
        WORD type;
        bool fileOpen, textOpen;
        int stored;
        DWORD error;
    } rows[] = {{1, false, true, 0, ERROR_INVALID_PARAMETER}, {2, false, true, 0, ERROR_INVALID_PARAMETER},
                {5, false, true, 1, ERROR_SUCCESS},  // type 5 never reads its text
                {1, true, false, 0, ERROR_BAD_PATHNAME}};
    for (const Row &r : rows) {
        CONTINFO rec = Record(r.type, m1, "x");
        if (r.textOpen)
            memset(rec.szText, 'x', sizeof rec.szText);
        if (r.fileOpen)
            memset(rec.szFile + m1.size(), 'x', sizeof rec.szFile - m1.size());
        SetLastError(0xdeadbeef);
        EXPECT_EQ(r.stored, InsertIntoAlbums(0, &rec, 1)) << r.type;
        if (!r.stored) {
            EXPECT_EQ(r.error, GetLastError()) << r.type;
        }
    }
}
