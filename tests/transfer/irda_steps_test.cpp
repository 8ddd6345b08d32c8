/*
 * The link's IrLMP steps seen from the sockets layer: a table between the link and the
 * in-process phone counts every call and plays a phone that is absent for a while, answers the
 * IAS query with another attribute type, is strict about 9-wire mode, or cannot be reached at
 * all.  The same on both targets.
 */
#include <winsock2.h>
#include <windows.h>

#include <af_irda.h>

#include <gtest/gtest.h>

#include <vector>

#include "irda_fixture.h"

namespace {

struct Faults {
    int enumFailures = 0;    // enumerations that fail before one answers
    bool noDevice = false;   // enumeration answers an empty list
    int iasFailures = 0;     // IAS queries that fail before one answers
    bool iasAsInteger = false;
    bool strictNineWire = true;  // connects refused unless 9-wire mode was set
    bool socketFails = false;
};

struct Calls {
    int startup = 0, cleanup = 0, enumerate = 0, ias = 0, nineWire = 0, connect = 0;
    WORD version = 0;
};

const IRDA_SOCKET_API *g_under;
Faults g_faults;
Calls g_calls;

int WSAAPI Startup(WORD v, LPWSADATA d)
{
    g_calls.startup++;
    g_calls.version = v;
    return g_under->pWSAStartup(v, d);
}
int WSAAPI Cleanup(void)
{
    g_calls.cleanup++;
    return g_under->pWSACleanup();
}
int WSAAPI LastError(void) { return g_under->pWSAGetLastError(); }
SOCKET WSAAPI Socket(int af, int type, int protocol)
{
    if (g_faults.socketFails)
        return INVALID_SOCKET;
    return g_under->pSocket(af, type, protocol);
}
int WSAAPI Close(SOCKET s) { return g_under->pClosesocket(s); }
int WSAAPI GetOpt(SOCKET s, int level, int name, char *val, int *len)
{
    bool look = name == IRLMP_ENUMDEVICES, query = name == IRLMP_IAS_QUERY;
    if ((look && ++g_calls.enumerate <= g_faults.enumFailures) || (query && ++g_calls.ias <= g_faults.iasFailures))
        return SOCKET_ERROR;
    int r = g_under->pGetsockopt(s, level, name, val, len);
    if (r == 0 && look && g_faults.noDevice)
        ((DEVICELIST *)val)->numDevice = 0;
    if (r == 0 && query && g_faults.iasAsInteger)
        ((IAS_QUERY *)val)->irdaAttribType = IAS_ATTRIB_INT;
    return r;
}
int WSAAPI SetOpt(SOCKET s, int level, int name, const char *val, int len)
{
    if (level == SOL_IRLMP && name == IRLMP_9WIRE_MODE && len >= 4 && *(const DWORD *)val == 1)
        g_calls.nineWire++;
    return g_under->pSetsockopt(s, level, name, val, len);
}
int WSAAPI Connect(SOCKET s, const struct sockaddr *a, int n)
{
    g_calls.connect++;
    if (g_faults.strictNineWire && g_calls.nineWire == 0)
        return SOCKET_ERROR;  // a 3-wire connect: this phone speaks 9-wire only
    return g_under->pConnect(s, a, n);
}
int WSAAPI Send(SOCKET s, const char *b, int n, int f) { return g_under->pSend(s, b, n, f); }
int WSAAPI Recv(SOCKET s, char *b, int n, int f) { return g_under->pRecv(s, b, n, f); }

const IRDA_SOCKET_API kBetween = {Startup, Cleanup, LastError, Socket, Close, GetOpt, SetOpt, Connect, Send, Recv};

/* A phone in process behind the counting table; the link's result and failure. */
class Steps : public ::testing::Test {
protected:
    irdatest::PhoneInRange phone{phone::Options(), false};
    const IRDA_SOCKET_API *previous = nullptr;
    void SetUp() override
    {
        g_under = phone.sim().InProcessApi();
        g_faults = Faults();
        g_calls = Calls();
        previous = IrdaSetSocketApi(&kBetween);
    }
    void TearDown() override { IrdaSetSocketApi(previous); }
    /* Opens and connects a link: the connect's result, with its failure. */
    int Connect(IRDA_FAILURE *failure)
    {
        CIrdaLink *link = IrdaCreate();
        if (!link) {
            *failure = IRDA_FAIL_SOCKETS;
            return 0;
        }
        int r = link->Connect();
        *failure = link->GetFailure();
        IrdaDestroy(link);
        return r;
    }
};

TEST_F(Steps, EachStepTriedAsOftenAsItMayAndCheckedBeforeTheConnect)
{
    // Version 1.1, 9-wire mode before the connect; discovery and the IAS query tried four
    // times; no device fails at once; the attribute must be an octet sequence; every startup
    // is ended, also when no socket can be made.
    struct Case {
        const char *what;
        Faults faults;
        int result;
        IRDA_FAILURE failure;
        int enumerate, ias, connect;
    } cases[] = {
        {"all well", Faults(), 1, IRDA_OK, 1, 1, 1},
        {"found at the 4th look", [] { Faults f; f.enumFailures = 3; return f; }(), 1, IRDA_OK, 4, 1, 1},
        {"not found in 4 looks", [] { Faults f; f.enumFailures = 4; return f; }(), 0, IRDA_FAIL_DISCOVERY, 4, 0, 0},
        {"no device", [] { Faults f; f.noDevice = true; return f; }(), 0, IRDA_FAIL_NO_DEVICE, 1, 0, 0},
        {"answered at the 4th query", [] { Faults f; f.iasFailures = 3; return f; }(), 1, IRDA_OK, 1, 4, 1},
        {"no answer in 4 queries", [] { Faults f; f.iasFailures = 4; return f; }(), 0, IRDA_FAIL_IAS, 1, 4, 0},
        {"an integer attribute", [] { Faults f; f.iasAsInteger = true; return f; }(), 0, IRDA_FAIL_NO_IRCOMM, 1, 1, 0},
        {"no socket", [] { Faults f; f.socketFails = true; return f; }(), 0, IRDA_FAIL_SOCKETS, 0, 0, 0},
    };
    for (const Case &c : cases) {
        g_faults = c.faults;
        g_calls = Calls();
        IRDA_FAILURE f;
        EXPECT_EQ(c.result, Connect(&f)) << c.what << ": " << f;
        EXPECT_EQ(c.failure, f) << c.what;
        EXPECT_EQ((std::vector<int>{c.enumerate, c.ias, c.connect}),
                  (std::vector<int>{g_calls.enumerate, g_calls.ias, g_calls.connect})) << c.what;
        EXPECT_EQ(0x0101, g_calls.version) << c.what;
        EXPECT_EQ(c.result ? 1 : g_calls.nineWire, g_calls.nineWire) << c.what;  // set before the connect
        EXPECT_EQ(g_calls.startup, g_calls.cleanup) << c.what;
    }
}

}  // namespace
