/* Sending a file whose reading fails: the send either delivers every octet or reports the
 * failure with the file call's reason, the phone keeps nothing that looks complete, and the
 * file is never changed. */
#include <windows.h>

#include <gtest/gtest.h>

#include "irda_fixture.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST(IrdaFaults, ReadingSideOfSendFileByIrda)
{
    testkit::TempDir files;
    std::string path = files.file("photo.jpg");
    const Bytes photo = irdatest::Pattern(200000, 1);
    ASSERT_TRUE(testkit::WriteFileBytes(path, photo));

    std::unique_ptr<irdatest::PhoneInRange> phone;
    unsigned faults = testkit::ForEachFileFault(
        [&] {
            phone.reset();
            phone.reset(new irdatest::PhoneInRange());
        },
        [&] {
            SetLastError(0);
            bool ok = SendFileByIrda(path.c_str()) == 1;
            if (!ok) {
                DWORD e = GetLastError();
                EXPECT_TRUE(e == ERROR_ACCESS_DENIED || e == ERROR_READ_FAULT) << "the reason was lost: " << e;
            }
            return ok;
        },
        [&](bool ok, unsigned n) {
            phone->sim().Stop();
            Bytes got = testkit::ReadFileBytes(phone->inbox() + "/photo.jpg");
            if (ok) {
                EXPECT_EQ(photo, got) << "fault " << n;
            } else {
                EXPECT_TRUE(got.empty()) << "fault " << n << ": an incomplete file looks complete on the phone";
            }
            EXPECT_EQ(photo, testkit::ReadFileBytes(path)) << "fault " << n;
        });
    phone.reset();
    EXPECT_GE(faults, 2u);
}

TEST(IrdaFaults, NoFileToSendAndNothingIsSent)
{
    irdatest::PhoneInRange phone;
    CIrdaLink *link = IrdaCreate();
    ASSERT_NE(nullptr, link);
    EXPECT_EQ(0, link->SendFile(phone.files().path().c_str(), nullptr, 0));
    EXPECT_EQ(IRDA_FAIL_FILE, link->GetFailure());
    EXPECT_EQ((DWORD)ERROR_DIRECTORY_NOT_SUPPORTED, GetLastError());
    EXPECT_EQ(0, link->IsConnected()) << "the phone was contacted for a file that cannot be sent";
    EXPECT_EQ(0, link->SendFile(phone.files().file("missing.jpg").c_str(), nullptr, 0));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, link->GetFailureCode());
    EXPECT_EQ(0, IrdaSendFile(link, nullptr, nullptr, 0));
    IrdaDestroy(link);
    EXPECT_EQ(0, SendFileByIrda(phone.files().file("missing.mms").c_str()));
}

}  // namespace
