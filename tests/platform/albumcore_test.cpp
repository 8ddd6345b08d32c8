/* The album library stand-in: handles, objects, fields and the album file. */
#include <gtest/gtest.h>
#include <stddef.h>
#include <string.h>

#include <string>
#include <vector>

#include "albumcore.h"
#include "media_files.h"
#include "testkit.h"

namespace {

static_assert(sizeof(ABM_FIELDDEF) == 392 && offsetof(ABM_FIELDDEF, dwSize) == 4 &&
                  offsetof(ABM_FIELDDEF, szName) == 8 && offsetof(ABM_FIELDDEF, szName2) == 135,
              "field definition records");
static_assert(sizeof(CAlbumImage) == 264 && offsetof(CAlbumImage, szPath) == 4, "name record");

std::vector<ABM_FIELDDEF> Table(std::initializer_list<std::pair<const char *, uint32_t>> rows)
{
    std::vector<ABM_FIELDDEF> t(rows.size());  // zeroed
    size_t i = 0;
    for (const auto &r : rows) {
        t[i].dwKind = !strcmp(r.first, "THUMBDIB");
        t[i].dwSize = r.second;
        strcpy(t[i].szName, r.first);
        strcpy(t[i].szName2, r.first);
        ++i;
    }
    return t;
}

using testkit::Get;
using testkit::Put;

/* A handle over the fields `t` holding one object, `file` (made here). */
int32_t OneObject(const std::vector<ABM_FIELDDEF> &t, const std::string &file)
{
    EXPECT_TRUE(Put(file, "x"));
    int32_t h = ABM_Create(0, t.data(), (int32_t)t.size());
    EXPECT_EQ(ABM_InsertObject(h, file.c_str(), -1, 0), 1);
    return h;
}

/* CRC-32 bit by bit, as ISO 3309 defines it (reflected polynomial 0xEDB88320). */
uint32_t BitwiseCrc(const std::vector<unsigned char> &b)
{
    uint32_t crc = 0xFFFFFFFF;
    for (unsigned char c : b) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

TEST(AlbumCore, HandlesAndTheirTables)
{
    auto t = Table({{"THUMBDIB", 0}, {"MB_ABMFLD_USER1", 20}});
    int32_t a = ABM_Create(7, t.data(), 2), b = ABM_Create(7, t.data(), 2);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(ABM_GetObjectCount(a), 0);
    EXPECT_EQ(ABM_Release(a), 1);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(ABM_Release(a), 0);  // a handle ends once
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(ABM_GetObjectCount(a), -1);
    EXPECT_EQ(ABM_Release(b), 1);
    EXPECT_LT(ABM_Create(0, nullptr, 2), 0);
    EXPECT_LT(ABM_Create(0, t.data(), 0), 0);
    auto dup = Table({{"A", 1}, {"A", 2}});
    EXPECT_LT(ABM_Create(0, dup.data(), 2), 0);
    auto unterminated = Table({{"A", 1}});
    memset(unterminated[0].szName, 'x', sizeof unterminated[0].szName);
    EXPECT_LT(ABM_Create(0, unterminated.data(), 1), 0);
}

TEST(AlbumCore, ObjectsFieldsAndTheFileRoundTrip)
{
    testkit::TempDir dir;
    std::string abm = dir.file("Trip.abm"), f1 = dir.file("one.smil"), f2 = dir.file("two.smil");
    ASSERT_TRUE(Put(f1, "1"));
    ASSERT_TRUE(Put(f2, "2"));
    auto t = Table({{"THUMBDIB", 0}, {"MB_ABMFLD_USER1", 20}, {"MB_ABMFLD_USER2", 20}});
    int32_t h = ABM_Create(0, t.data(), 3);
    ASSERT_GT(h, 0);
    ASSERT_TRUE(ABM_NewAlbum(h));
    ASSERT_TRUE(ABM_CreateAlbumFile(h, abm.c_str()));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ABM_CreateAlbumFile(h, abm.c_str()));  // never over an album
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    char path[MAX_PATH];
    ASSERT_TRUE(ABM_GetAlbumPath(h, path, sizeof path));
    EXPECT_EQ(std::string(path), abm);
    EXPECT_FALSE(ABM_GetAlbumPath(h, path, (int32_t)abm.size()));  // one short

    ASSERT_TRUE(ABM_OpenAlbum(h, abm.c_str()));
    EXPECT_EQ(ABM_InsertObject(h, f2.c_str(), -1, 0), 1);
    EXPECT_EQ(ABM_InsertObject(h, f1.c_str(), 1, 0), 1);  // before the first
    SetLastError(0xdeadbeef);
    EXPECT_LT(ABM_InsertObject(h, dir.file("missing.smil").c_str(), -1, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_LT(ABM_InsertObject(h, dir.path().c_str(), -1, 0), 0);  // a folder
    EXPECT_LT(ABM_InsertObject(h, f1.c_str(), 4, 0), 0);           // past the end
    EXPECT_LT(ABM_InsertObject(h, f1.c_str(), -1, 1), 0);          // flags

    // (Texts written and read back through an album file: the album transfer's tests.)
    EXPECT_FALSE(ABM_SetFieldData(h, 2, "MB_ABMFLD_USER1", std::string(261, 'x').data(), 261));
    EXPECT_FALSE(ABM_SetFieldData(h, 2, "NO_SUCH_FIELD", "x", 2));
    EXPECT_FALSE(ABM_SetFieldData(h, 3, "MB_ABMFLD_USER1", "x", 2));
    std::vector<char> dib(5000, 'D');
    ASSERT_TRUE(ABM_SetFieldData(h, 2, "THUMBDIB", dib.data(), (DWORD)dib.size()));
    ASSERT_TRUE(ABM_SaveAlbum(h, abm.c_str()));
    ASSERT_TRUE(ABM_Release(h));

    // Another handle reads it all back.
    int32_t g = ABM_Create(0, t.data(), 3);
    ASSERT_TRUE(ABM_OpenAlbum(g, abm.c_str()));
    ASSERT_EQ(ABM_GetObjectCount(g), 2);
    CAlbumImage rec;
    memset(&rec, 0xCC, sizeof rec);
    ASSERT_TRUE(ABM_GetImageName(g, 2, &rec));
    EXPECT_EQ(rec.nIndex, 2);
    EXPECT_EQ(std::string(rec.szPath), f2);
    EXPECT_EQ(rec.szPath[MAX_PATH - 1], 0);  // cleared first
    char name[MAX_PATH];
    ASSERT_TRUE(ABM_GetImageName(g, 1, name));
    EXPECT_EQ(std::string(name), f1);
    EXPECT_FALSE(ABM_GetImageName(g, 3, name));
    EXPECT_STREQ(name, "");
    char buf[MAX_PATH];
    DWORD cb = sizeof buf;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ABM_GetFieldData(g, 1, "MB_ABMFLD_USER1", buf, &cb));  // never set
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_FOUND);
    cb = 10;
    EXPECT_FALSE(ABM_GetFieldData(g, 2, "THUMBDIB", buf, &cb));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MORE_DATA);
    EXPECT_EQ(cb, 5000u);
    // (That deleting an object leaves its file alone: the album transfer's tests.)
    ASSERT_TRUE(ABM_DeleteObject(g, 1, 0));
    EXPECT_FALSE(ABM_DeleteObject(g, 2, 0));
    ASSERT_TRUE(ABM_CloseAlbum(g));
    EXPECT_EQ(ABM_GetObjectCount(g), 0);
    EXPECT_FALSE(ABM_GetAlbumPath(g, path, sizeof path));
    EXPECT_TRUE(DeleteFileA(abm.c_str()));  // closed: it can go
    ABM_Release(g);
}

TEST(AlbumCore, FileLayoutByteForByte)
{
    // One field "A" of 4 bytes, one object "p" whose field A holds "x".
    testkit::TempDir dir;
    std::string abm = dir.file("tiny.abm"), p = dir.file("p");
    int32_t h = OneObject(Table({{"A", 4}}), p);
    ASSERT_TRUE(ABM_SetFieldData(h, 1, "A", "x", 1));
    ASSERT_TRUE(ABM_SaveAlbum(h, abm.c_str()));
    ABM_Release(h);
    std::vector<unsigned char> body = {0, 0, 0, 0, 4, 0, 0, 0, 1, 'A'};
    testkit::PutLE(body, (uint32_t)p.size(), 2);
    body.insert(body.end(), p.begin(), p.end());
    body.insert(body.end(), {1, 0, 0, 0, 1, 0, 0, 0, 'x'});
    uint32_t crc = BitwiseCrc(body), size = (uint32_t)body.size();
    std::vector<unsigned char> want = {'M', 'D', 'A', 'L', 'B', 'U', 'M', 0x1A, 1, 0, 32, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    for (uint32_t v : {size, crc, 0u})
        testkit::PutLE(want, v, 4);
    want.insert(want.end(), body.begin(), body.end());
    EXPECT_EQ(Get(abm), want);
}

TEST(AlbumCore, DamagedFilesAreRefusedWhole)
{
    testkit::TempDir dir;
    std::string abm = dir.file("a.abm"), f = dir.file("f.smil");
    auto t = Table({{"THUMBDIB", 0}, {"MB_ABMFLD_USER1", 20}});
    int32_t h = OneObject(t, f);
    ASSERT_TRUE(ABM_SetFieldData(h, 1, "MB_ABMFLD_USER1", "hello", 6));
    ASSERT_TRUE(ABM_SaveAlbum(h, abm.c_str()));
    std::vector<unsigned char> good = Get(abm);
    ASSERT_GT(good.size(), 40u);
    int32_t g = OneObject(t, f);  // what the handle holds before
    struct Damage {
        const char *what;
        std::vector<unsigned char> bytes;
        DWORD error;
    };
    auto with = [&](size_t at, unsigned char v) {
        auto b = good;
        b[at] = v;
        return b;
    };
    std::vector<Damage> cases = {
        {"a flipped byte", with(good.size() - 2, good[good.size() - 2] ^ 0x20), 1392 /* ERROR_FILE_CORRUPT */},
        {"cut short", std::vector<unsigned char>(good.begin(), good.end() - 3), 1392},
        {"another format", with(0, 'X'), 11 /* ERROR_BAD_FORMAT */},
        {"a later version", with(8, 2), ERROR_NOT_SUPPORTED},
        {"empty", {}, 11},
    };
    // Bytes in the body that no count accounts for, with the size and checksum made to agree.
    auto extra = good;
    extra.push_back(0);
    cases.push_back({"a byte too many", extra, 1392});
    uint32_t body = (uint32_t)(extra.size() - 32);
    uint32_t crc = BitwiseCrc(std::vector<unsigned char>(extra.begin() + 32, extra.end()));
    for (int i = 0; i < 4; ++i) {
        extra[20 + i] = (unsigned char)(body >> (8 * i));
        extra[24 + i] = (unsigned char)(crc >> (8 * i));
    }
    cases.push_back({"a body with bytes to spare", extra, 1392});
    for (const Damage &d : cases) {
        ASSERT_TRUE(Put(abm, std::string(d.bytes.begin(), d.bytes.end())));
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(ABM_OpenAlbum(g, abm.c_str())) << d.what;
        EXPECT_EQ(GetLastError(), d.error) << d.what;
        EXPECT_EQ(ABM_GetObjectCount(g), 1) << d.what;  // the handle is as it was
    }
    ABM_Release(g);
    ABM_Release(h);
}

TEST(AlbumCore, DefaultFolder)
{
    testkit::TempDir dir;
    std::string own = dir.file("albums") + "\\mine";
    SetEnvironmentVariableA("MEDLEY_ALBUM_FOLDER", own.c_str());
    char buf[MAX_PATH];
    ASSERT_TRUE(ABM_GetDefaultFolder(buf));
    EXPECT_EQ(std::string(buf), own);
    EXPECT_NE(GetFileAttributesA(own.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);  // made
    SetEnvironmentVariableA("MEDLEY_ALBUM_FOLDER", NULL);
    EXPECT_FALSE(ABM_GetDefaultFolder(NULL));
}

}  // namespace
