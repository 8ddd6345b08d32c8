/* The account record file. */
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "filefun.h"
#include "sysinfo.h"
#include "testkit.h"

namespace {

using testkit::Get;
using testkit::Put;

/* The machine's account file is put back as it was when the test ends. */
class Account : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetAcctInfoPath(path), 1);
        saved = Get(path, &existed);
        DeleteFileA(path);
    }
    void TearDown() override
    {
        if (existed)
            Put(path, saved);
        else
            DeleteFileA(path);
    }
    char path[MAX_PATH];
    bool existed = false;
    std::vector<unsigned char> saved;
};

std::vector<unsigned char> Record(unsigned char seed)
{
    std::vector<unsigned char> r(ACCTINFO_SIZE);
    for (size_t i = 0; i < r.size(); ++i)
        r[i] = (unsigned char)(seed + i * 7);
    return r;
}

TEST_F(Account, WhereTheFileLies)
{
    char maker[MAX_PATH], product[MAX_PATH], version[MAX_PATH], programs[MAX_PATH];
    GetMakerName(maker);
    GetProductName(product);
    GetProductVersion(version);
    ASSERT_GE(GetSpecialFolder(programs, SYS_CSIDL_PROGRAM_FILES, TRUE), 0);
    std::string want = std::string(programs) + "\\" + maker + "\\" + product + "\\" + version + "\\" + product + "1.tl";
    EXPECT_EQ(std::string(path), want);
    std::string folder = want.substr(0, want.find_last_of('\\'));
    EXPECT_NE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);  // made
}

TEST_F(Account, SavedWholeAndLoadedBack)
{
    std::vector<unsigned char> rec = Record(3), back(ACCTINFO_SIZE, 0xCC);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LoadAcctInfo(back.data()), 0);  // none yet
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(back, std::vector<unsigned char>(ACCTINFO_SIZE, 0));
    ASSERT_EQ(SaveAcctInfo(rec.data()), 1);
    EXPECT_EQ(Get(path), rec);  // the record, as it is, and nothing else
    ASSERT_EQ(LoadAcctInfo(back.data()), 1);
    EXPECT_EQ(back, rec);
    testkit::AssertCapture asserts;
    EXPECT_EQ(SaveAcctInfo(NULL), 0);
    EXPECT_EQ(LoadAcctInfo(NULL), 0);
    EXPECT_TRUE(asserts.Saw("lpAcctInfo"));
}

TEST_F(Account, ShortFileFillsWhatItHas)
{
    std::vector<unsigned char> part(100, 0x5A);
    ASSERT_TRUE(Put(path, part));
    std::vector<unsigned char> back(ACCTINFO_SIZE, 0xCC);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LoadAcctInfo(back.data()), 0);  // not a whole record
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_HANDLE_EOF);
    std::vector<unsigned char> want(ACCTINFO_SIZE, 0);
    std::fill(want.begin(), want.begin() + 100, 0x5A);
    EXPECT_EQ(back, want);
    EXPECT_EQ(Get(path), part);  // the file is as it was
}

TEST_F(Account, FailedSaveKeepsTheOldRecord)
{
    std::vector<unsigned char> old = Record(1), next = Record(9);
    ASSERT_EQ(SaveAcctInfo(old.data()), 1);
    unsigned faults = testkit::ForEachFileFault(
        [&] { ASSERT_TRUE(Put(path, old)); }, [&] { return SaveAcctInfo(next.data()) == 1; },
        [&](bool ok, unsigned n) {
            EXPECT_EQ(Get(path), ok ? next : old) << "fault " << n;
        });
    EXPECT_GT(faults, 0u);
}

}  // namespace
