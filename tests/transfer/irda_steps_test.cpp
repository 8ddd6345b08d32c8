/*
 * The link's IrLMP steps seen from the sockets layer: a table between the link and the phone
 * in range counts every call and plays a phone that is absent for a while, answers the IAS
 * query with another attribute type, is strict about 9-wire mode, or cannot be reached at all;
 * the phone itself may be out of range, offer other IrCOMM parameters or refuse connects.
 */
#include <winsock2.h>
#include <windows.h>

#include <af_irda.h>

#include <gtest/gtest.h>

#include <vector>

#include "irda_fixture.h"

namespace {

struct Faults {
    int enumFailures = 0;  // enumerations that fail before one answers
    int iasFailures = 0;   // IAS queries that fail before one answers
    bool iasAsInteger = false;
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
    if (g_calls.nineWire == 0)
        return SOCKET_ERROR;  // a 3-wire connect: this phone speaks 9-wire only
    return g_under->pConnect(s, a, n);
}
int WSAAPI Send(SOCKET s, const char *b, int n, int f) { return g_under->pSend(s, b, n, f); }
int WSAAPI Recv(SOCKET s, char *b, int n, int f) { return g_under->pRecv(s, b, n, f); }

const IRDA_SOCKET_API kBetween = {Startup, Cleanup, LastError, Socket, Close, GetOpt, SetOpt, Connect, Send, Recv};

TEST(Steps, EachStepTriedAsOftenAsItMayAndCheckedBeforeTheConnect)
{
    // Version 1.1, 9-wire mode before the connect; discovery, the IAS query and the connect are
    // tried four times; no device fails at once; the attribute must be an octet sequence that
    // offers 9-wire; every startup is ended, also when no socket can be made.  A failed connect
    // keeps the socket and may be tried again; a connected link does not connect again.
    struct Case {
        const char *what;
        void (*offer)(phone::Options &);  // what the phone does other than answer (null: nothing)
        void (*faults)(Faults &);         // what the table plays (null: nothing)
        int result;
        IRDA_FAILURE failure;
        int enumerate, ias, connect;
        int again;  // the next connect on the same link
    } cases[] = {
        {"all well", nullptr, nullptr, 1, IRDA_OK, 1, 1, 1, 1},
        {"found at the 4th look", nullptr, [](Faults &f) { f.enumFailures = 3; }, 1, IRDA_OK, 4, 1, 1, 1},
        {"not found in 4 looks", nullptr, [](Faults &f) { f.enumFailures = 4; }, 0, IRDA_FAIL_DISCOVERY, 4, 0, 0, 1},
        {"no device", [](phone::Options &o) { o.hidden = true; }, nullptr, 0, IRDA_FAIL_NO_DEVICE, 1, 0, 0, 0},
        {"answered at the 4th query", nullptr, [](Faults &f) { f.iasFailures = 3; }, 1, IRDA_OK, 1, 4, 1, 1},
        {"no answer in 4 queries", nullptr, [](Faults &f) { f.iasFailures = 4; }, 0, IRDA_FAIL_IAS, 1, 4, 0, 1},
        {"an integer attribute", nullptr, [](Faults &f) { f.iasAsInteger = true; }, 0, IRDA_FAIL_NO_IRCOMM, 1, 1, 0, 0},
        {"3-wire only", [](phone::Options &o) { o.params = {0x00, 0x01, 0x02}; }, nullptr, 0, IRDA_FAIL_NO_IRCOMM,
         1, 1, 0, 0},
        {"9-wire at the second parameter", [](phone::Options &o) { o.params = {0x01, 0x01, 0x00, 0x00, 0x01, 0x04}; },
         nullptr, 1, IRDA_OK, 1, 1, 1, 1},
        {"3 refusals", [](phone::Options &o) { o.refuseConnects = 3; }, nullptr, 1, IRDA_OK, 1, 1, 4, 1},
        {"4 refusals", [](phone::Options &o) { o.refuseConnects = 4; }, nullptr, 0, IRDA_FAIL_CONNECT, 1, 1, 4, 1},
        {"no socket", nullptr, [](Faults &f) { f.socketFails = true; }, 0, IRDA_FAIL_SOCKETS, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        phone::Options offer;
        g_faults = Faults();
        if (c.offer)
            c.offer(offer);
        if (c.faults)
            c.faults(g_faults);
        irdatest::PhoneInRange phone(offer);
        g_under = IrdaGetSocketApi();
        g_calls = Calls();
        const IRDA_SOCKET_API *previous = IrdaSetSocketApi(&kBetween);
        int result = 0, again = 0;
        IRDA_FAILURE failure = IRDA_FAIL_SOCKETS;
        Calls first;
        if (CIrdaLink *link = IrdaCreate()) {
            result = link->Connect();
            failure = link->GetFailure();
            first = g_calls;
            EXPECT_EQ(result, link->IsConnected());
            EXPECT_NE(INVALID_SOCKET, link->GetSocket());
            again = link->Connect();
            IrdaDestroy(link);
        }
        IrdaSetSocketApi(previous);
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(c.failure, failure);
        EXPECT_EQ((std::vector<int>{c.enumerate, c.ias, c.connect}),
                  (std::vector<int>{first.enumerate, first.ias, first.connect}));
        EXPECT_EQ(c.again, again);
        if (result) {
            EXPECT_EQ(first.enumerate + first.connect, g_calls.enumerate + g_calls.connect) << "connected again";
        }
        EXPECT_EQ(0x0101, g_calls.version);
        EXPECT_EQ(c.result ? 1 : first.nineWire, first.nineWire);  // set before the connect
        EXPECT_EQ(g_calls.startup, g_calls.cleanup);
    }
}

}  // namespace
