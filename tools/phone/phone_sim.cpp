/* The phone simulator's receiving side and its in-process Windows Sockets table. */
#include "phone_sim.h"

#include <winsock2.h>
#include <af_irda.h>
#include <windows.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <map>

#include "irda.h"

namespace phone {

static const size_t kMaxHeader = 1024;  // a header that long is not one

bool ParseOctets(const std::string &text, std::vector<uint8_t> *out)
{
    out->clear();
    std::string digits;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            if (digits.size() % 2)
                return false;
            i++;
            continue;
        }
        if (c == ' ' || c == ',' || c == ':' || c == '\t') {
            if (digits.size() % 2)
                digits.insert(digits.size() - 1, "0");
            continue;
        }
        if (!isxdigit((unsigned char)c))
            return false;
        digits.push_back(c);
    }
    if (digits.size() % 2)
        digits.insert(digits.size() - 1, "0");
    for (size_t i = 0; i < digits.size(); i += 2)
        out->push_back((uint8_t)strtoul(digits.substr(i, 2).c_str(), nullptr, 16));
    return !out->empty() && out->size() <= IAS_MAX_OCTET_STRING;
}

/* ---- PhoneSim: shared state ---- */

PhoneSim::PhoneSim(Options options) : m_opt(std::move(options)), m_refusalsLeft(m_opt.refuseConnects) {}

PhoneSim::~PhoneSim() { Stop(); }

void PhoneSim::SetReply(const std::string &reply)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_reply = reply;
}

std::string PhoneSim::Reply()
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_reply;
}

bool PhoneSim::stopping()
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_stop;
}

bool PhoneSim::AcceptConnect(bool nineWire, const std::string &service)
{
    if (service != IRDA_SERVICE_NAME)
        return false;
    if (nineWire && !IrdaParamsOffer9Wire(m_opt.params.data(), (uint32_t)m_opt.params.size()))
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    if (m_refusalsLeft > 0) {
        m_refusalsLeft--;
        return false;
    }
    return true;
}

std::unique_ptr<Session> PhoneSim::OpenSession()
{
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_open++;
    }
    return std::unique_ptr<Session>(new Session(this));
}

void PhoneSim::SessionEnded()
{
    std::lock_guard<std::mutex> g(m_lock);
    m_open--;
    m_cond.notify_all();
}

void PhoneSim::Record(const Arrival &a)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_arrivals.push_back(a);
    m_cond.notify_all();
}

bool PhoneSim::WaitArrival(Arrival *out, int timeoutMs)
{
    std::unique_lock<std::mutex> g(m_lock);
    if (!m_cond.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return !m_arrivals.empty(); }))
        return false;
    *out = m_arrivals.front();
    m_arrivals.pop_front();
    return true;
}

std::vector<Arrival> PhoneSim::Drain(int timeoutMs)
{
    std::unique_lock<std::mutex> g(m_lock);
    m_cond.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return m_open == 0; });
    std::vector<Arrival> all(m_arrivals.begin(), m_arrivals.end());
    m_arrivals.clear();
    return all;
}

/* ---- Session: one connection's octets ---- */

Session::Session(PhoneSim *sim) : m_sim(sim) {}

Session::~Session()
{
    if (m_inBody || !m_head.empty())
        Finish(false);
    m_sim->SessionEnded();
}

std::string Session::TakeReply()
{
    std::string r;
    r.swap(m_reply);
    return r;
}

int64_t Session::OnData(const uint8_t *data, uint32_t n)
{
    if (m_broken)
        return kReset;
    if (m_stalled)
        return kStall;
    const Options &o = m_sim->options();
    m_sends++;
    uint32_t take = n;
    if (o.shortAtSend > 0 && m_sends == o.shortAtSend)
        take = n / 2;
    bool drop = false, stall = false;
    if (o.dropAfter >= 0 && m_taken + take > o.dropAfter) {
        take = (uint32_t)(o.dropAfter - m_taken);
        drop = true;
    }
    if (o.stallAfter >= 0 && m_taken + take > o.stallAfter) {
        take = (uint32_t)(o.stallAfter - m_taken);
        stall = true;
    }
    Consume(data, take);
    m_taken += take;
    if (m_broken || drop) {
        m_broken = true;
        return kReset;
    }
    if (stall) {
        m_stalled = true;
        return kStall;
    }
    return take;
}

static std::string safe_name(const std::string &name)
{
    std::string base = name;
    size_t cut = base.find_last_of("/\\:");
    if (cut != std::string::npos)
        base = base.substr(cut + 1);
    for (char &c : base)
        if ((unsigned char)c < 0x20 || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
            c = '_';
    if (base.empty() || base == "." || base == "..")
        base = "unnamed";
    return base;
}

bool Session::ParseHeader()
{
    /* "Content_name:<name>\r\nContent_length:<n>\r\n\r\n" */
    static const char kName[] = "Content_name:", kLength[] = "Content_length:";
    m_cur = Arrival();
    m_cur.header = m_head;
    size_t p = 0;
    while (p < m_head.size()) {
        size_t e = m_head.find("\r\n", p);
        if (e == std::string::npos)
            break;
        std::string line = m_head.substr(p, e - p);
        if (line.compare(0, sizeof kName - 1, kName) == 0)
            m_cur.name = line.substr(sizeof kName - 1);
        else if (line.compare(0, sizeof kLength - 1, kLength) == 0) {
            std::string v = line.substr(sizeof kLength - 1);
            char *end = nullptr;
            long long n = strtoll(v.c_str(), &end, 10);
            if (v.empty() || *end || n < 0)
                return false;
            m_cur.announced = n;
        }
        p = e + 2;
    }
    if (m_cur.name.empty() || m_cur.announced < 0)
        return false;
    std::string inbox = m_sim->options().inbox.empty() ? "." : m_sim->options().inbox;
    m_cur.path = inbox + "/" + safe_name(m_cur.name);
    m_partPath = m_cur.path + ".part";
    m_file = fopen(m_partPath.c_str(), "wb");
    return m_file != nullptr;
}

void Session::Finish(bool complete)
{
    if (m_file) {
        fclose(m_file);
        m_file = nullptr;
    }
    if (complete) {
        remove(m_cur.path.c_str());
        if (rename(m_partPath.c_str(), m_cur.path.c_str()) != 0)
            complete = false;
    } else if (m_inBody) {
        m_cur.path = m_partPath;
    }
    if (!m_inBody) {
        m_cur.header = m_head;
        m_cur.path.clear();
    }
    m_cur.complete = complete;
    m_sim->Record(m_cur);
    if (complete)
        m_reply = m_sim->Reply();
    m_inBody = false;
    m_head.clear();
}

void Session::Consume(const uint8_t *data, uint32_t n)
{
    while (n > 0 && !m_broken) {
        if (!m_inBody) {
            m_head.push_back((char)*data++);
            n--;
            if (m_head.size() >= 4 && m_head.compare(m_head.size() - 4, 4, "\r\n\r\n") == 0) {
                if (!ParseHeader()) {
                    m_broken = true;  // garbage: a phone drops such a link
                    return;
                }
                m_inBody = true;
                if (m_cur.announced == 0)
                    Finish(true);
            } else if (m_head.size() > kMaxHeader) {
                m_broken = true;
                return;
            }
            continue;
        }
        int64_t left = m_cur.announced - m_cur.received;
        uint32_t part = (uint32_t)std::min<int64_t>(left, n);
        if (fwrite(data, 1, part, m_file) != part) {
            m_broken = true;
            return;
        }
        m_cur.received += part;
        data += part;
        n -= part;
        if (m_cur.received == m_cur.announced)
            Finish(true);
    }
}

/* ---- The in-process Windows Sockets table ---- */

namespace {

struct InProc {
    std::mutex lock;
    PhoneSim *sim = nullptr;
    int startups = 0;
    SOCKET next = 0x400;
    struct Sock {
        bool nineWire = false;
        bool connected = false;
        bool broken = false;
        std::unique_ptr<Session> session;
    };
    std::map<SOCKET, std::unique_ptr<Sock>> socks;
};

InProc &inproc()
{
    static InProc p;
    return p;
}

thread_local int t_error = 0;

int fail(int code)
{
    t_error = code;
    return SOCKET_ERROR;
}

/* With the table locked: the socket, or null with the error set. */
InProc::Sock *lookup(InProc &p, SOCKET s)
{
    if (p.startups == 0) {
        t_error = WSANOTINITIALISED;
        return nullptr;
    }
    auto it = p.socks.find(s);
    if (it == p.socks.end()) {
        t_error = WSAENOTSOCK;
        return nullptr;
    }
    return it->second.get();
}

void put_id(u_char id[4], uint32_t v)
{
    id[0] = (u_char)(v >> 24);
    id[1] = (u_char)(v >> 16);
    id[2] = (u_char)(v >> 8);
    id[3] = (u_char)v;
}

uint32_t get_id(const u_char id[4])
{
    return (uint32_t)id[0] << 24 | (uint32_t)id[1] << 16 | (uint32_t)id[2] << 8 | id[3];
}

int WSAAPI ip_startup(WORD version, LPWSADATA data)
{
    if (LOBYTE(version) < 1)
        return WSAVERNOTSUPPORTED;
    if (!data)
        return WSAEFAULT;
    memset(data, 0, sizeof *data);
    data->wVersion = version;
    data->wHighVersion = MAKEWORD(2, 2);
    InProc &p = inproc();
    std::lock_guard<std::mutex> g(p.lock);
    p.startups++;
    return 0;
}

int WSAAPI ip_cleanup(void)
{
    InProc &p = inproc();
    std::lock_guard<std::mutex> g(p.lock);
    if (p.startups == 0)
        return fail(WSANOTINITIALISED);
    if (--p.startups == 0)
        p.socks.clear();
    return 0;
}

int WSAAPI ip_last_error(void) { return t_error; }

SOCKET WSAAPI ip_socket(int af, int type, int protocol)
{
    InProc &p = inproc();
    std::lock_guard<std::mutex> g(p.lock);
    if (p.startups == 0)
        return fail(WSANOTINITIALISED), INVALID_SOCKET;
    if (af != AF_IRDA)
        return fail(WSAEAFNOSUPPORT), INVALID_SOCKET;
    if (type != SOCK_STREAM)
        return fail(WSAESOCKTNOSUPPORT), INVALID_SOCKET;
    if (protocol != 0)
        return fail(WSAEPROTONOSUPPORT), INVALID_SOCKET;
    SOCKET s = p.next;
    p.next += 4;
    p.socks[s].reset(new InProc::Sock());
    return s;
}

int WSAAPI ip_closesocket(SOCKET s)
{
    InProc &p = inproc();
    std::lock_guard<std::mutex> g(p.lock);
    if (!lookup(p, s))
        return SOCKET_ERROR;
    p.socks.erase(s);
    return 0;
}

int WSAAPI ip_getsockopt(SOCKET s, int level, int optname, char *optval, int *optlen)
{
    InProc &p = inproc();
    std::lock_guard<std::mutex> g(p.lock);
    if (!lookup(p, s))
        return SOCKET_ERROR;
    if (!optval || !optlen)
        return fail(WSAEFAULT);
    if (level != SOL_IRLMP)
        return fail(WSAEINVAL);
    PhoneSim *sim = p.sim;
    if (optname == IRLMP_ENUMDEVICES) {
        if (*optlen < (int)sizeof(ULONG))
            return fail(WSAEFAULT);
        DEVICELIST *list = reinterpret_cast<DEVICELIST *>(optval);
        size_t room = ((size_t)*optlen - offsetof(DEVICELIST, Device)) / sizeof(IRDA_DEVICE_INFO);
        list->numDevice = 0;
        if (sim && !sim->options().hidden && room > 0) {
            IRDA_DEVICE_INFO info;
            memset(&info, 0, sizeof info);
            put_id(info.irdaDeviceID, sim->options().deviceId);
            strncpy(info.irdaDeviceName, sim->options().name.c_str(), sizeof info.irdaDeviceName - 1);
            info.irdaDeviceHints1 = 0x80;
            info.irdaDeviceHints2 = 0x04;  // IrCOMM
            info.irdaCharSet = LmCharSetASCII;
            memcpy(optval + offsetof(DEVICELIST, Device), &info, sizeof info);
            list->numDevice = 1;
        }
        return 0;
    }
    if (optname == IRLMP_IAS_QUERY) {
        if (*optlen < (int)sizeof(IAS_QUERY))
            return fail(WSAEFAULT);
        IAS_QUERY *q = reinterpret_cast<IAS_QUERY *>(optval);
        if (!sim || sim->options().hidden || get_id(q->irdaDeviceID) != sim->options().deviceId)
            return fail(WSAETIMEDOUT);
        if (strncmp(q->irdaClassName, IRDA_SERVICE_NAME, sizeof q->irdaClassName) != 0) {
            q->irdaAttribType = IAS_ATTRIB_NO_CLASS;
        } else if (strncmp(q->irdaAttribName, IRDA_IAS_ATTRIBUTE, sizeof q->irdaAttribName) != 0) {
            q->irdaAttribType = IAS_ATTRIB_NO_ATTRIB;
        } else {
            const std::vector<uint8_t> &o = sim->options().params;
            q->irdaAttribType = IAS_ATTRIB_OCTETSEQ;
            q->irdaAttribute.irdaAttribOctetSeq.Len = (ULONG)o.size();
            memcpy(q->irdaAttribute.irdaAttribOctetSeq.OctetSeq, o.data(), o.size());
        }
        return 0;
    }
    return fail(WSAENOPROTOOPT);
}

int WSAAPI ip_setsockopt(SOCKET s, int level, int optname, const char *optval, int optlen)
{
    InProc &p = inproc();
    std::lock_guard<std::mutex> g(p.lock);
    InProc::Sock *k = lookup(p, s);
    if (!k)
        return SOCKET_ERROR;
    if (!optval)
        return fail(WSAEFAULT);
    if (level != SOL_IRLMP)
        return fail(WSAEINVAL);
    if (optname != IRLMP_9WIRE_MODE)
        return fail(WSAENOPROTOOPT);
    if (optlen < 4)
        return fail(WSAEFAULT);
    DWORD v;
    memcpy(&v, optval, 4);
    k->nineWire = v != 0;
    return 0;
}

int WSAAPI ip_connect(SOCKET s, const struct sockaddr *name, int namelen)
{
    InProc &p = inproc();
    std::lock_guard<std::mutex> g(p.lock);
    InProc::Sock *k = lookup(p, s);
    if (!k)
        return SOCKET_ERROR;
    if (k->connected)
        return fail(WSAEISCONN);
    if (!name || namelen < (int)sizeof(SOCKADDR_IRDA))
        return fail(WSAEFAULT);
    SOCKADDR_IRDA addr;
    memcpy(&addr, name, sizeof addr);
    if (addr.irdaAddressFamily != AF_IRDA)
        return fail(WSAEAFNOSUPPORT);
    PhoneSim *sim = p.sim;
    if (!sim || sim->options().hidden || get_id(addr.irdaDeviceID) != sim->options().deviceId)
        return fail(WSAETIMEDOUT);
    std::string service(addr.irdaServiceName, strnlen(addr.irdaServiceName, sizeof addr.irdaServiceName));
    if (!sim->AcceptConnect(k->nineWire, service))
        return fail(WSAECONNREFUSED);
    k->session = sim->OpenSession();
    k->connected = true;
    return 0;
}

/* The checks send and recv share: a connected, unbroken link, no flags, a sane buffer. */
bool transfer_allowed(const InProc::Sock *k, const char *buf, int len, int flags)
{
    int err = !k->connected         ? WSAENOTCONN
              : k->broken           ? WSAECONNRESET
              : flags != 0          ? WSAEOPNOTSUPP
              : len < 0             ? WSAEINVAL
              : (len > 0 && !buf)   ? WSAEFAULT
                                    : 0;
    if (err)
        fail(err);
    return err == 0;
}

int WSAAPI ip_send(SOCKET s, const char *buf, int len, int flags)
{
    InProc &p = inproc();
    std::unique_lock<std::mutex> g(p.lock);
    InProc::Sock *k = lookup(p, s);
    if (!k)
        return SOCKET_ERROR;
    if (!transfer_allowed(k, buf, len, flags))
        return SOCKET_ERROR;
    int64_t r = k->session->OnData((const uint8_t *)buf, (uint32_t)len);
    if (r == Session::kReset) {
        k->broken = true;
        return fail(WSAECONNRESET);
    }
    if (r == Session::kStall) {
        int ms = p.sim ? p.sim->options().stallMs : 0;
        k->broken = true;
        g.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));  // the link timeout
        return fail(WSAETIMEDOUT);
    }
    return (int)r;
}

int WSAAPI ip_recv(SOCKET s, char *buf, int len, int flags)
{
    InProc &p = inproc();
    std::lock_guard<std::mutex> g(p.lock);
    InProc::Sock *k = lookup(p, s);
    if (!k)
        return SOCKET_ERROR;
    if (!transfer_allowed(k, buf, len, flags))
        return SOCKET_ERROR;
    if (len == 0)
        return 0;
    if (!k->session->hasReply())
        return fail(WSAETIMEDOUT);  // the phone has nothing to say
    std::string r = k->session->TakeReply();
    int n = (int)std::min<size_t>(r.size(), (size_t)len);
    memcpy(buf, r.data(), (size_t)n);
    return n;
}

const IRDA_SOCKET_API kInProcApi = {
    ip_startup, ip_cleanup, ip_last_error, ip_socket, ip_closesocket,
    ip_getsockopt, ip_setsockopt, ip_connect, ip_send, ip_recv,
};

}  // namespace

const IRDA_SOCKET_API *PhoneSim::InProcessApi()
{
    InProc &p = inproc();
    std::lock_guard<std::mutex> g(p.lock);
    p.sim = this;
    return &kInProcApi;
}

void DetachInProcess(PhoneSim *sim)
{
    InProc &p = inproc();
    std::lock_guard<std::mutex> g(p.lock);
    if (p.sim == sim) {
        p.socks.clear();  // sessions report their unfinished transfers
        p.sim = nullptr;
    }
}

}  // namespace phone
