/* Many transfers of random files to the simulated phone, with and without link faults. */
#include <stdio.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "irda.h"
#include "irda_fixture.h"
#include "testkit.h"

using irdatest::PhoneInRange;

namespace {

/* Sizes skewed small: most files up to 2 KB, a tenth up to 32 KB, a few up to 5 MB; the
 * first is empty and the second exactly 5 MB. */
size_t RandomSize(std::mt19937 &rng, int i)
{
    if (i == 0)
        return 0;
    if (i == 1)
        return 5u << 20;
    unsigned pick = rng() % 1000;
    if (pick < 4)
        return rng() % ((5u << 20) + 1);
    if (pick < 100)
        return rng() % (32u << 10);
    return rng() % 2049;
}

}  // namespace

TEST(IrdaStress, ThousandRandomFilesArriveByteIdentical)
{
    PhoneInRange phone;
    std::mt19937 rng(20261206);
    for (int i = 0; i < 1000; i++) {
        size_t size = RandomSize(rng, i);
        std::string name = "msg" + std::to_string(i) + (i % 3 ? ".mms" : ".jpg");
        std::string path = phone.files().file(name);
        std::vector<unsigned char> body = irdatest::Pattern(size, rng());
        ASSERT_TRUE(testkit::WriteFileBytes(path, body));
        ASSERT_EQ(1, SendFileByIrda(path.c_str())) << name << " of " << size;
        phone::Arrival a;
        ASSERT_TRUE(phone.sim().WaitArrival(&a, 5000)) << name;
        ASSERT_TRUE(a.complete) << name;
        ASSERT_EQ(name, a.name);
        ASSERT_EQ(irdatest::Header(name, size), a.header);
        ASSERT_EQ((int64_t)size, a.announced);
        ASSERT_EQ(body, testkit::ReadFileBytes(a.path)) << name;
        remove(a.path.c_str());
        remove(path.c_str());
    }
}

TEST(IrdaStress, FaultyLinksNeverReportSuccessWithMissingOctets)
{
    std::mt19937 rng(4242);
    int successes = 0, failures = 0;
    for (int i = 0; i < 100; i++) {
        size_t size = rng() % 6000;
        const size_t h = irdatest::Header("f.bin", size).size();
        phone::Options o;
        switch (rng() % 5) {
        case 0: o.refuseConnects = (int)(rng() % 6); break;
        case 1: o.shortAtSend = 1 + (int)(rng() % 14); break;
        case 2: o.dropAfter = (int64_t)(rng() % (h + size + 600)); break;
        case 3: o.stallAfter = (int64_t)(rng() % (h + size + 600)); break;
        default: break;
        }
        PhoneInRange phone(o);
        SetEnvironmentVariableA("MEDLEY_IRDA_TIMEOUT_MS", "100");
        std::string path = phone.files().file("f.bin");
        std::vector<unsigned char> body = irdatest::Pattern(size, rng());
        ASSERT_TRUE(testkit::WriteFileBytes(path, body));
        int r = SendFileByIrda(path.c_str());
        std::vector<phone::Arrival> got = phone.sim().Drain(3000);
        int complete = 0;
        for (const phone::Arrival &a : got) {
            if (!a.complete)
                continue;
            complete++;
            EXPECT_EQ(body, testkit::ReadFileBytes(a.path)) << "case " << i;
            EXPECT_EQ((int64_t)size, a.announced);
        }
        if (r == 1) {
            successes++;
            EXPECT_EQ(1, complete) << "case " << i << ": success without the whole file";
        } else {
            failures++;
            EXPECT_EQ(0, r);
        }
    }
    EXPECT_GT(successes, 0);
    EXPECT_GT(failures, 0);
}
