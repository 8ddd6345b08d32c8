/*
 * Windows Sockets with the IrDA address family, over the local link of irda_host.cpp.
 *
 * Invariant: a SOCKET is a key of the socket table while open; its record holds the stream
 * (fd >= 0 only while connected), the 9-wire option and the timeouts.  A stream that timed
 * out or was reset is closed at once and the socket stays "broken": later sends and receives
 * fail with WSAECONNRESET, as a Windows socket does after its link dropped.
 */
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>
#include <mutex>

#include <winsock2.h>
#include <af_irda.h>
#include <windows.h>

#include "compat/irda_link.h"
#include "internal.h"
#include "irda_host.h"

namespace {

struct SockRec {
    int fd = -1;
    bool connected = false;
    bool broken = false;
    bool nine_wire = false;
    DWORD send_timeout = 0;  // 0: the link default
    DWORD recv_timeout = 0;
};

struct State {
    std::mutex lock;
    int startups = 0;
    SOCKET next = 0x100;
    std::map<SOCKET, SockRec> socks;
};

State &state()
{
    static State s;
    return s;
}

int fail(int code)
{
    WSASetLastError(code);
    return SOCKET_ERROR;
}

int wsa_code(compat::irda::Status s)
{
    using namespace compat::irda;
    switch (s) {
    case kOk: return 0;
    case kTimedOut: return WSAETIMEDOUT;
    case kRefused: return WSAECONNREFUSED;
    case kReset: return WSAECONNRESET;
    case kUnreachable: return WSAEHOSTUNREACH;
    case kNoBuffers: return WSAENOBUFS;
    case kLinkRefused: return WSAENETDOWN;
    }
    return WSAENETDOWN;
}

/* Looks up s with the table locked; sets the error and returns null when it is no socket or
 * the layer was not started. */
SockRec *find(State &st, SOCKET s)
{
    if (st.startups == 0) {
        WSASetLastError(WSANOTINITIALISED);
        return nullptr;
    }
    auto it = st.socks.find(s);
    if (it == st.socks.end()) {
        WSASetLastError(WSAENOTSOCK);
        return nullptr;
    }
    return &it->second;
}

int timeout_of(DWORD set)
{
    return set ? (int)std::min<DWORD>(set, 600000) : compat::irda::default_timeout_ms();
}

uint32_t device_id(const u_char id[4])
{
    return (uint32_t)id[0] << 24 | (uint32_t)id[1] << 16 | (uint32_t)id[2] << 8 | id[3];
}

void put_device_id(u_char id[4], uint32_t v)
{
    id[0] = (u_char)(v >> 24);
    id[1] = (u_char)(v >> 16);
    id[2] = (u_char)(v >> 8);
    id[3] = (u_char)v;
}

void break_link(SockRec *r)
{
    compat::irda::close_stream(r->fd);
    r->fd = -1;
    r->broken = true;
}

}  // namespace

int WSAAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData)
{
    if (LOBYTE(wVersionRequested) < 1)
        return WSAVERNOTSUPPORTED;
    if (!lpWSAData)
        return WSAEFAULT;
    memset(lpWSAData, 0, sizeof *lpWSAData);
    BYTE major = LOBYTE(wVersionRequested), minor = HIBYTE(wVersionRequested);
    if (major > 2 || (major == 2 && minor > 2))
        lpWSAData->wVersion = MAKEWORD(2, 2);
    else
        lpWSAData->wVersion = wVersionRequested;
    lpWSAData->wHighVersion = MAKEWORD(2, 2);
    strcpy(lpWSAData->szDescription, "WinSock 2.0");
    strcpy(lpWSAData->szSystemStatus, "Running");
    if (major < 2) {
        lpWSAData->iMaxSockets = 32767;
        lpWSAData->iMaxUdpDg = 65467;
    }
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    st.startups++;
    return 0;
}

int WSAAPI WSACleanup(void)
{
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    if (st.startups == 0)
        return fail(WSANOTINITIALISED);
    if (--st.startups == 0) {
        /* The last cleanup closes whatever the process left open, as Windows does. */
        for (auto &entry : st.socks)
            compat::irda::close_stream(entry.second.fd);
        st.socks.clear();
    }
    return 0;
}

int WSAAPI WSAGetLastError(void) { return (int)GetLastError(); }
void WSAAPI WSASetLastError(int iError) { SetLastError((DWORD)iError); }

SOCKET WSAAPI socket(int af, int type, int protocol)
{
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    if (st.startups == 0) {
        WSASetLastError(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    if (af != AF_IRDA) {
        WSASetLastError(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (type != SOCK_STREAM) {
        WSASetLastError(WSAESOCKTNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (protocol != 0) {
        WSASetLastError(WSAEPROTONOSUPPORT);
        return INVALID_SOCKET;
    }
    if (compat::should_fail("socket")) {
        WSASetLastError(WSAENOBUFS);
        return INVALID_SOCKET;
    }
    SOCKET s = st.next;
    st.next += 4;
    st.socks[s] = SockRec();
    return s;
}

int WSAAPI closesocket(SOCKET s)
{
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    SockRec *r = find(st, s);
    if (!r)
        return SOCKET_ERROR;
    compat::irda::close_stream(r->fd);
    st.socks.erase(s);
    return 0;
}

static int enum_devices(char *optval, int *optlen)
{
    if (!compat::irda::link_folder_usable())
        return fail(WSAENETDOWN);  // a link folder others could reach lists nothing
    if (*optlen < (int)sizeof(ULONG))
        return fail(WSAEFAULT);
    std::vector<compat::irda::Device> devs = compat::irda::discover(compat::irda::default_timeout_ms());
    size_t room = ((size_t)*optlen - offsetof(DEVICELIST, Device)) / sizeof(IRDA_DEVICE_INFO);
    size_t n = std::min(room, devs.size());
    DEVICELIST *list = reinterpret_cast<DEVICELIST *>(optval);
    list->numDevice = (ULONG)n;
    for (size_t i = 0; i < n; i++) {
        IRDA_DEVICE_INFO info;
        memset(&info, 0, sizeof info);
        put_device_id(info.irdaDeviceID, devs[i].id);
        strncpy(info.irdaDeviceName, devs[i].name.c_str(), sizeof info.irdaDeviceName - 1);
        info.irdaDeviceHints1 = devs[i].hints1;
        info.irdaDeviceHints2 = devs[i].hints2;
        info.irdaCharSet = devs[i].charset;
        memcpy(optval + offsetof(DEVICELIST, Device) + i * sizeof info, &info, sizeof info);
    }
    return 0;
}

static int ias_query(char *optval, int *optlen)
{
    if (*optlen < (int)sizeof(IAS_QUERY))
        return fail(WSAEFAULT);
    IAS_QUERY *q = reinterpret_cast<IAS_QUERY *>(optval);
    std::string cls(q->irdaClassName, strnlen(q->irdaClassName, sizeof q->irdaClassName));
    std::string attr(q->irdaAttribName, strnlen(q->irdaAttribName, sizeof q->irdaAttribName));
    compat::irda::IasAnswer a;
    compat::irda::Status s =
        compat::irda::ias_query(device_id(q->irdaDeviceID), cls, attr, compat::irda::default_timeout_ms(), &a);
    if (s != compat::irda::kOk)
        return fail(wsa_code(s));
    switch (a.kind) {
    case compat::irda::IasAnswer::kNoClass: q->irdaAttribType = IAS_ATTRIB_NO_CLASS; break;
    case compat::irda::IasAnswer::kNoAttrib: q->irdaAttribType = IAS_ATTRIB_NO_ATTRIB; break;
    case compat::irda::IasAnswer::kInt:
        q->irdaAttribType = IAS_ATTRIB_INT;
        q->irdaAttribute.irdaAttribInt = a.value;
        break;
    case compat::irda::IasAnswer::kOctets: {
        size_t n = std::min<size_t>(a.octets.size(), IAS_MAX_OCTET_STRING);
        q->irdaAttribType = IAS_ATTRIB_OCTETSEQ;
        q->irdaAttribute.irdaAttribOctetSeq.Len = (ULONG)n;
        if (n)
            memcpy(q->irdaAttribute.irdaAttribOctetSeq.OctetSeq, a.octets.data(), n);
        break;
    }
    }
    return 0;
}

int WSAAPI getsockopt(SOCKET s, int level, int optname, char *optval, int *optlen)
{
    DWORD send_timeout, recv_timeout;
    {
        State &st = state();
        std::lock_guard<std::mutex> g(st.lock);
        SockRec *r = find(st, s);
        if (!r)
            return SOCKET_ERROR;
        send_timeout = r->send_timeout;
        recv_timeout = r->recv_timeout;
    }
    if (!optval || !optlen)
        return fail(WSAEFAULT);
    if (level == SOL_SOCKET) {
        if (optname != SO_SNDTIMEO && optname != SO_RCVTIMEO)
            return fail(WSAENOPROTOOPT);
        if (*optlen < (int)sizeof(DWORD))
            return fail(WSAEFAULT);
        DWORD v = optname == SO_SNDTIMEO ? send_timeout : recv_timeout;
        memcpy(optval, &v, sizeof v);
        *optlen = sizeof v;
        return 0;
    }
    if (level != SOL_IRLMP)
        return fail(WSAEINVAL);
    /* The link calls run unlocked: a stalled device must not hold up other sockets. */
    switch (optname) {
    case IRLMP_ENUMDEVICES: return enum_devices(optval, optlen);
    case IRLMP_IAS_QUERY: return ias_query(optval, optlen);
    default: return fail(WSAENOPROTOOPT);
    }
}

int WSAAPI setsockopt(SOCKET s, int level, int optname, const char *optval, int optlen)
{
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    SockRec *r = find(st, s);
    if (!r)
        return SOCKET_ERROR;
    if (!optval)
        return fail(WSAEFAULT);
    DWORD v = 0;
    if (level == SOL_SOCKET) {
        if (optname != SO_SNDTIMEO && optname != SO_RCVTIMEO)
            return fail(WSAENOPROTOOPT);
        if (optlen < (int)sizeof v)
            return fail(WSAEFAULT);
        memcpy(&v, optval, sizeof v);
        (optname == SO_SNDTIMEO ? r->send_timeout : r->recv_timeout) = v;
        return 0;
    }
    if (level != SOL_IRLMP)
        return fail(WSAEINVAL);
    if (optname != IRLMP_9WIRE_MODE)
        return fail(WSAENOPROTOOPT);
    if (optlen < (int)sizeof v)
        return fail(WSAEFAULT);
    memcpy(&v, optval, sizeof v);
    r->nine_wire = v != 0;
    return 0;
}

int WSAAPI connect(SOCKET s, const struct sockaddr *name, int namelen)
{
    bool nine_wire;
    DWORD timeout;
    {
        State &st = state();
        std::lock_guard<std::mutex> g(st.lock);
        SockRec *r = find(st, s);
        if (!r)
            return SOCKET_ERROR;
        if (r->connected)
            return fail(WSAEISCONN);
        nine_wire = r->nine_wire;
        timeout = r->send_timeout;
    }
    if (!name || namelen < (int)sizeof(SOCKADDR_IRDA))
        return fail(WSAEFAULT);
    SOCKADDR_IRDA addr;
    memcpy(&addr, name, sizeof addr);
    if (addr.irdaAddressFamily != AF_IRDA)
        return fail(WSAEAFNOSUPPORT);
    std::string service(addr.irdaServiceName, strnlen(addr.irdaServiceName, sizeof addr.irdaServiceName));
    if (service.empty())
        return fail(WSAEINVAL);
    if (compat::should_fail("socket"))
        return fail(WSAENETDOWN);
    int fd = -1;
    compat::irda::Status rs =
        compat::irda::open_stream(device_id(addr.irdaDeviceID), service, nine_wire, timeout_of(timeout), &fd);
    if (rs != compat::irda::kOk)
        return fail(wsa_code(rs));
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    auto it = st.socks.find(s);
    if (it == st.socks.end()) {  // closed by another thread meanwhile
        compat::irda::close_stream(fd);
        return fail(WSAENOTSOCK);
    }
    it->second.fd = fd;
    it->second.connected = true;
    it->second.broken = false;
    return 0;
}

/* Takes the socket's stream for one call; false with the error set when there is none. */
static bool stream_of(SOCKET s, int *fd, DWORD *timeout, bool sending)
{
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    SockRec *r = find(st, s);
    if (!r)
        return false;
    if (!r->connected) {
        WSASetLastError(WSAENOTCONN);
        return false;
    }
    if (r->broken) {
        WSASetLastError(WSAECONNRESET);
        return false;
    }
    *fd = r->fd;
    *timeout = sending ? r->send_timeout : r->recv_timeout;
    return true;
}

static void mark_broken(SOCKET s)
{
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    auto it = st.socks.find(s);
    if (it != st.socks.end())
        break_link(&it->second);
}

/* The checks send and recv share: a connected, unbroken stream (its descriptor and timeout
 * taken out), no flags, a length that is not negative and a buffer where there are bytes. */
static bool begin_transfer(SOCKET s, const char *buf, int len, int flags, bool sending, int *fd, DWORD *timeout)
{
    if (!stream_of(s, fd, timeout, sending))
        return false;
    int code = flags != 0 ? WSAEOPNOTSUPP : len < 0 ? WSAEINVAL : len > 0 && !buf ? WSAEFAULT : 0;
    if (code != 0)
        fail(code);
    return code == 0;
}

/* What send and recv return: the bytes moved, or the link's failure, which breaks the link. */
static int end_transfer(SOCKET s, compat::irda::Status rs, uint32_t moved)
{
    if (rs != compat::irda::kOk) {
        mark_broken(s);
        return fail(wsa_code(rs));
    }
    return (int)moved;
}

int WSAAPI send(SOCKET s, const char *buf, int len, int flags)
{
    int fd;
    DWORD timeout;
    if (!begin_transfer(s, buf, len, flags, true, &fd, &timeout))
        return SOCKET_ERROR;
    if (compat::should_fail("socket"))
        return fail(WSAENETDOWN);
    uint32_t accepted = 0;
    compat::irda::Status rs = compat::irda::send_frame(fd, buf, (uint32_t)len, timeout_of(timeout), &accepted);
    return end_transfer(s, rs, accepted);
}

int WSAAPI recv(SOCKET s, char *buf, int len, int flags)
{
    int fd;
    DWORD timeout;
    if (!begin_transfer(s, buf, len, flags, false, &fd, &timeout))
        return SOCKET_ERROR;
    if (len == 0)
        return 0;
    if (compat::should_fail("socket"))
        return fail(WSAENETDOWN);
    uint32_t got = 0;
    compat::irda::Status rs = compat::irda::recv_frame(fd, buf, (uint32_t)len, timeout_of(timeout), &got);
    return end_transfer(s, rs, got);
}

DWORD compat_irda_link_folder(char *buf, DWORD size)
{
    std::string dir = compat::irda::link_folder();
    if (!buf || dir.size() + 1 > size)
        return 0;
    memcpy(buf, dir.c_str(), dir.size() + 1);
    return (DWORD)dir.size();
}
