/* CIrdaLink and SendFileByIrda against a simulated phone, and with failing file calls. */
#include <stdio.h>
#include <string.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "irda.h"
#include "irda_fixture.h"
#include "testkit.h"

using irdatest::Header;
using irdatest::Pattern;
using irdatest::PhoneInRange;

namespace {

std::vector<std::pair<uint32_t, uint32_t>> g_reports;  // (total, done) of each progress report
std::string g_path;                                    // the file being sent
long g_resized = -1;                                   // its size from the first report on

/* Cuts the file being sent, or makes it longer, through a handle of its own. */
void Resize(size_t size)
{
    HANDLE h = CreateFileA(g_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD end = SetFilePointer(h, 0, NULL, FILE_END), put = 0;
    std::vector<unsigned char> more = Pattern(size > end ? size - end : 0, 9);
    if (more.empty())
        SetFilePointer(h, (LONG)size, NULL, FILE_BEGIN);
    EXPECT_TRUE(more.empty() ? SetEndOfFile(h) : WriteFile(h, more.data(), (DWORD)more.size(), &put, NULL));
    CloseHandle(h);
}

int Record(uint32_t total, uint32_t done, uint32_t user)
{
    EXPECT_EQ(0x5EEDu, user);
    g_reports.emplace_back(total, done);
    if (g_reports.size() == 1 && g_resized >= 0)
        Resize((size_t)g_resized);
    return 0;
}

}  // namespace

TEST(IrdaWrappers, NullLinkGivesTheDocumentedValues)
{
    char buf[4];
    EXPECT_EQ(0, IrdaConnect(nullptr));
    EXPECT_EQ(-1, IrdaSend(nullptr, "x", 1));
    EXPECT_EQ(-1, IrdaReceive(nullptr, buf, sizeof buf));
    EXPECT_EQ(0, IrdaSendFile(nullptr, "x", nullptr, 0));
    IrdaDestroy(nullptr);
    CIrdaLink closed;
    EXPECT_EQ(INVALID_SOCKET, closed.GetSocket());
    EXPECT_EQ(0, closed.IsConnected());
    EXPECT_EQ(-1, closed.Send("x", 1));
    EXPECT_EQ(-1, closed.Receive(buf, sizeof buf));
    EXPECT_EQ(0, closed.Connect());
}

TEST(IrdaWrappers, PlatformTableOpensOrRefusesTheFamily)
{
    IrdaSetSocketApi(nullptr);
    CIrdaLink *link = IrdaCreate();
    if (testkit::kRealWin32) {
        // Known divergence: Wine has no IrDA stack and refuses AF_IRDA with WSAEAFNOSUPPORT.
        EXPECT_TRUE(link == nullptr) << "Wine refuses the IrDA address family";
        if (!link) {
            EXPECT_EQ(10047u, GetLastError());
        }
    } else {
        ASSERT_TRUE(link != nullptr);
        EXPECT_NE(INVALID_SOCKET, link->GetSocket());
    }
    IrdaDestroy(link);
}

TEST(IrdaParams, WalksIrCommParameters)
{
    // 3-wire only, and 9-wire at the second parameter, are the phones of the steps test.
    struct Case {
        std::vector<unsigned char> octets;
        int offered;
    } cases[] = {
        {{0x00, 0x01, 0x06}, 1},                    // 3-wire and 9-wire
        {{0x00, 0x01, 0x04}, 1},                    // 9-wire only
        {{0x01, 0x01, 0x00, 0x00, 0x01, 0x02}, 0},  // 3-wire only at the second parameter
        {{0x00, 0x01}, 0},                          // shorter than one parameter
        {{0x01, 0x03, 0x00}, 0},                    // next would begin past the end
        {{0x01, 0x01, 0x00, 0x00}, 0},              // next parameter has no length or value
        {{0x01, 0x01, 0x00, 0x00, 0x00}, 0},        // Service Type with no value octet
        {{0x02, 0x00, 0x00, 0x01, 0x04}, 1},        // empty value: next begins 2 octets on
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.offered, IrdaParamsOffer9Wire(c.octets.data(), (uint32_t)c.octets.size()))
            << testing::PrintToString(c.octets);
    EXPECT_EQ(0, IrdaParamsOffer9Wire(nullptr, 3));
}

TEST(IrdaSendFile, HeaderThenChunksOf512WithAReportAfterEach)
{
    // A name of 200 characters still fits the header (longer ones cannot name a file: hosts
    // stop at 255, and the header's 511 octets hold that).  A file that grows after its
    // measuring sends what was announced, in the same chunks, and nothing after them; one that
    // shrinks fails, as the phone would wait for the rest.  The link reads what the phone says
    // after a whole file, and times out when it says nothing.
    struct Case {
        std::string name;
        size_t size;
        std::vector<uint32_t> reported;  // octets of the file sent at each report
        long resized;                    // the file's size from the first report on; -1: kept
    } cases[] = {
        {"empty.mms", 0, {0}, -1},
        {"photo.jpg", 1300, {0, 512, 1024, 1300}, -1},
        {std::string(200, 'n'), 1, {0, 1}, -1},
        {"grows.jpg", 1300, {0, 512, 1024, 1300}, 2000},
        {"shrinks.bin", 4000, {0}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PhoneInRange phone;
        phone.sim().SetReply("OK");
        g_path = phone.files().file(c.name);
        g_resized = c.resized;
        std::vector<unsigned char> body = Pattern(c.size, 3);
        ASSERT_TRUE(testkit::WriteFileBytes(g_path, body));
        CIrdaLink *link = IrdaCreate();
        g_reports.clear();
        const bool whole = c.resized < 0 || (size_t)c.resized >= c.size;
        EXPECT_EQ(whole ? 1 : 0, IrdaSendFile(link, g_path.c_str(), Record, 0x5EED));
        char reply[16] = "";
        EXPECT_EQ(whole ? 2 : -1, IrdaReceive(link, reply, sizeof reply));
        EXPECT_STREQ(whole ? "OK" : "", reply);
        IrdaDestroy(link);
        if (c.resized >= 0) {
            EXPECT_EQ((size_t)c.resized, testkit::ReadFileBytes(g_path).size()) << "it was not resized";
        }
        const std::string header = Header(c.name, c.size);
        const uint32_t h = (uint32_t)header.size(), total = h + (uint32_t)c.size;
        std::vector<std::pair<uint32_t, uint32_t>> want;
        for (uint32_t sent : c.reported)
            want.push_back({total, h + sent});
        EXPECT_EQ(want, g_reports);
        if (!whole) {
            for (const phone::Arrival &a : phone.sim().Drain(3000))
                EXPECT_FALSE(a.complete);
            continue;
        }
        phone::Arrival a;
        ASSERT_TRUE(phone.sim().WaitArrival(&a, 2000));
        EXPECT_TRUE(a.complete);
        EXPECT_EQ(c.name, a.name);
        EXPECT_EQ(header, a.header);
        EXPECT_EQ((long long)c.size, (long long)a.announced);
        bool ok = false;
        EXPECT_EQ(body, testkit::ReadFileBytes(a.path, &ok));
        EXPECT_TRUE(ok);
    }
}

TEST(IrdaSendFile, LinkFaultsFailWithoutHangingOrACompleteFile)
{
    const struct Row {
        const char *what;
        int shortAtSend;  // 1: the header, 2: the first chunk, 4: the last chunk
        int64_t dropAfter, stallAfter;
    } rows[] = {
        {"short header", 1, -1, -1},   {"short first chunk", 2, -1, -1},     {"short last chunk", 4, -1, -1},
        {"dropped at once", 0, 0, -1}, {"dropped in the header", 0, 10, -1}, {"dropped in the body", 0, 700, -1},
        {"stalled in the body", 0, -1, 600},
    };
    for (const Row &r : rows) {
        phone::Options o;
        o.shortAtSend = r.shortAtSend;
        o.dropAfter = r.dropAfter;
        o.stallAfter = r.stallAfter;
        PhoneInRange phone(o);
        std::string path = phone.files().file("long.bin");
        ASSERT_TRUE(testkit::WriteFileBytes(path, Pattern(r.shortAtSend ? 1300 : 5000, 5)));
        CIrdaLink *link = IrdaCreate();
        DWORD start = GetTickCount();
        EXPECT_EQ(0, IrdaSendFile(link, path.c_str(), nullptr, 0)) << r.what;
        EXPECT_LT(GetTickCount() - start, 5000u) << r.what << ": the link timeout bounds it";
        if (r.shortAtSend) {
            EXPECT_EQ(1, link->IsConnected()) << r.what << ": a failed transfer leaves the link connected";
        }
        IrdaDestroy(link);
        for (const phone::Arrival &a : phone.sim().Drain(3000))
            EXPECT_FALSE(a.complete) << r.what;
    }
}

/* Sending a file whose reading fails: the send either delivers every octet or reports the
 * failure with the file call's reason, the phone keeps nothing that looks complete, and the
 * file is never changed. */
TEST(IrdaFaults, ReadingSideOfSendFileByIrda)
{
    testkit::TempDir files;
    std::string path = files.file("photo.jpg");
    const std::vector<unsigned char> photo = Pattern(200000, 1);
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
            std::vector<unsigned char> got = testkit::ReadFileBytes(phone->inbox() + "/photo.jpg");
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
}

TEST(IrdaInProcess, TableServesTheSameTransferOnEveryPlatform)
{
    testkit::TempDir inbox, files;
    phone::Options o;
    o.inbox = inbox.path();
    phone::PhoneSim sim(o);
    const IRDA_SOCKET_API *previous = IrdaSetSocketApi(sim.InProcessApi());
    std::string path = files.file("photo.jpg");
    std::vector<unsigned char> body = Pattern(1300, 9);
    ASSERT_TRUE(testkit::WriteFileBytes(path, body));
    EXPECT_EQ(1, SendFileByIrda(path.c_str()));
    phone::Arrival a;
    ASSERT_TRUE(sim.WaitArrival(&a, 1000));
    EXPECT_TRUE(a.complete);
    EXPECT_EQ(body, testkit::ReadFileBytes(a.path));

    // The table keeps Windows Sockets' contract for misuse.
    const IRDA_SOCKET_API *api = IrdaGetSocketApi();
    EXPECT_EQ(INVALID_SOCKET, api->pSocket(26, 1, 0)) << "before WSAStartup";
    WSADATA data;
    ASSERT_EQ(0, api->pWSAStartup(0x0101, &data));
    EXPECT_EQ(INVALID_SOCKET, api->pSocket(2, 1, 0));
    EXPECT_EQ(10047, api->pWSAGetLastError());
    SOCKET s = api->pSocket(26, 1, 0);
    ASSERT_NE(INVALID_SOCKET, s);
    int len = 8;
    char small[8];
    EXPECT_EQ(SOCKET_ERROR, api->pGetsockopt(s, 0xFF, 0x12, small, &len));
    EXPECT_EQ(10014, api->pWSAGetLastError()) << "an IAS buffer too small";
    EXPECT_EQ(SOCKET_ERROR, api->pSend(s, "x", 1, 0));
    EXPECT_EQ(10057, api->pWSAGetLastError()) << "not connected";
    EXPECT_EQ(0, api->pClosesocket(s));
    EXPECT_EQ(SOCKET_ERROR, api->pClosesocket(s));
    EXPECT_EQ(10038, api->pWSAGetLastError());
    EXPECT_EQ(0, api->pWSACleanup());
    IrdaSetSocketApi(previous);
    sim.Stop();
}
