/*
 * The phone simulator on the local link of non-Windows hosts: a Unix-domain socket
 * "<folder>/<device id>.sock" answering the exchanges described in compat/irda_link.h.
 * On Windows the platform's own IrDA stack is in charge and Start() declines.
 */
#include "phone_sim.h"

#include <stdio.h>
#include <string.h>

#if !defined(_WIN32)
#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "compat/extensions.h"
#include "compat/irda_link.h"
#endif

namespace phone {

#if defined(_WIN32)

std::string DefaultLinkFolder() { return std::string(); }

bool PhoneSim::Start(std::string *error)
{
    if (error)
        *error = "no local IrDA link on Windows: the platform's IrDA stack is used";
    return false;
}

void PhoneSim::Stop() { DetachInProcess(this); }

#else

static const int kIdleMs = 60000;  // a connection silent this long is closed

std::string DefaultLinkFolder()
{
    char buf[4096];
    DWORD n = compat_irda_link_folder(buf, sizeof buf);
    return n ? std::string(buf, n) : std::string();
}

namespace {

/* Waits for input on fd in short steps so that Stop() is seen; false on timeout or stop. */
bool wait_input(PhoneSim *sim, int fd, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (sim->stopping())
            return false;
        struct pollfd p = {fd, POLLIN, 0};
        int r = poll(&p, 1, 100);
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
    }
    return false;
}

bool read_n(PhoneSim *sim, int fd, void *buf, size_t n, int timeoutMs)
{
    char *p = static_cast<char *>(buf);
    while (n > 0) {
        if (!wait_input(sim, fd, timeoutMs))
            return false;
        ssize_t r = ::recv(fd, p, n, 0);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= (size_t)r;
    }
    return true;
}

bool write_n(int fd, const void *buf, size_t n)
{
    const char *p = static_cast<const char *>(buf);
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= (size_t)w;
    }
    return true;
}

bool write_line(int fd, const std::string &s)
{
    std::string l = s + "\n";
    return write_n(fd, l.data(), l.size());
}

void put_u32(unsigned char *p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = (unsigned char)(v >> (8 * i));
}

uint32_t get_u32(const unsigned char *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

/* The framed stream after "OK". */
void run_stream(PhoneSim *sim, int fd)
{
    std::unique_ptr<Session> session = sim->OpenSession();
    std::vector<uint8_t> frame;
    bool pendingRecv = false;
    uint32_t pendingMax = 0;
    for (;;) {
        if (pendingRecv && session->hasReply()) {
            std::string r = session->TakeReply();
            if (r.size() > pendingMax)
                r.resize(pendingMax);
            unsigned char head[5] = {'D'};
            put_u32(head + 1, (uint32_t)r.size());
            if (!write_n(fd, head, 5) || !write_n(fd, r.data(), r.size()))
                return;
            pendingRecv = false;
        }
        unsigned char head[5];
        if (!read_n(sim, fd, head, 1, kIdleMs))
            return;
        if (session->stalled())
            continue;  // a stalled phone reads on but never answers
        if (!read_n(sim, fd, head + 1, 4, kIdleMs))
            return;
        uint32_t n = get_u32(head + 1);
        if (head[0] == 'R') {
            pendingRecv = n > 0;
            pendingMax = n;
            continue;
        }
        if (head[0] != 'D' || n > (64u << 20))
            return;
        frame.resize(n);
        if (n && !read_n(sim, fd, frame.data(), n, kIdleMs))
            return;
        int64_t taken = session->OnData(frame.data(), n);
        if (taken == Session::kStall)
            continue;
        if (taken == Session::kReset) {
            write_n(fd, "X", 1);
            return;
        }
        unsigned char ack[5] = {'A'};
        put_u32(ack + 1, (uint32_t)taken);
        if (!write_n(fd, ack, 5))
            return;
    }
}

}  // namespace

void ServeConnection(PhoneSim *sim, int fd)
{
    std::string line;
    char c;
    while (line.size() < 512 && read_n(sim, fd, &c, 1, 2000) && c != '\n')
        line.push_back(c);
    const Options &o = sim->options();
    if (line == "INFO") {
        if (!o.hidden) {
            char buf[128];
            snprintf(buf, sizeof buf, "DEVICE %08x 80 04 0 %.21s", o.deviceId, o.name.c_str());
            write_line(fd, buf);
        }
    } else if (line.compare(0, 4, "IAS ") == 0 && !o.hidden) {
        size_t tab = line.find('\t');
        std::string cls = line.substr(4, tab == std::string::npos ? std::string::npos : tab - 4);
        std::string attr = tab == std::string::npos ? std::string() : line.substr(tab + 1);
        if (cls != "IrDA:IrCOMM") {
            write_line(fd, "NOCLASS");
        } else if (attr != "Parameters") {
            write_line(fd, "NOATTRIB");
        } else {
            std::string hex = "OCTETS ";
            char b[3];
            for (uint8_t v : o.params) {
                snprintf(b, sizeof b, "%02x", v);
                hex += b;
            }
            write_line(fd, hex);
        }
    } else if (line.compare(0, 8, "CONNECT ") == 0 && !o.hidden) {
        size_t tab = line.find('\t');
        std::string service = line.substr(8, tab == std::string::npos ? std::string::npos : tab - 8);
        bool nine = tab != std::string::npos && line.substr(tab + 1) == "1";
        if (sim->AcceptConnect(nine, service) && write_line(fd, "OK"))
            run_stream(sim, fd);
        else
            write_line(fd, "REFUSED");
    }
    ::close(fd);
}

void RunServer(PhoneSim *sim)
{
    while (!sim->stopping()) {
        struct pollfd p = {sim->listenFd(), POLLIN, 0};
        int r = poll(&p, 1, 100);
        if (r <= 0)
            continue;
        int fd = accept4(sim->listenFd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // Another user's program gets no answer at all.
        struct ucred cred;
        socklen_t len = sizeof cred;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != geteuid()) {
            ::close(fd);
            continue;
        }
        {
            std::lock_guard<std::mutex> g(sim->m_lock);
            sim->m_threads++;
        }
        std::thread([sim, fd] {
            ServeConnection(sim, fd);
            std::lock_guard<std::mutex> g(sim->m_lock);
            sim->m_threads--;
            sim->m_cond.notify_all();
        }).detach();
    }
}

bool PhoneSim::Start(std::string *error)
{
    std::string dir = m_opt.linkFolder.empty() ? DefaultLinkFolder() : m_opt.linkFolder;
    auto failWith = [&](const std::string &why) {
        if (error)
            *error = why;
        return false;
    };
    if (m_listen >= 0)
        return failWith("already listening");
    if (dir.empty())
        return failWith("no link folder");
    // Only a folder of this user's own that nobody else can enter.
    switch (CompatPrivateFolderA(dir.c_str())) {
    case 0: break;  // ERROR_SUCCESS
    case COMPAT_ERROR_FOLDER_IS_LINK: return failWith("the link folder " + dir + " is a link");
    case COMPAT_ERROR_FOLDER_NOT_OWNED: return failWith("the link folder " + dir + " belongs to another user");
    case COMPAT_ERROR_FOLDER_OPEN: return failWith("the link folder " + dir + " is open to other users");
    default: return failWith("cannot make the link folder " + dir);
    }
    char name[16];
    snprintf(name, sizeof name, "%08x.sock", m_opt.deviceId);
    std::string path = dir + "/" + name;
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        return failWith("link folder path too long: " + dir);
    memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return failWith(std::string("socket: ") + strerror(errno));
    unlink(path.c_str());  // a socket left by a phone that died
    if (bind(fd, (struct sockaddr *)&addr, sizeof addr) != 0 || listen(fd, 16) != 0) {
        std::string why = strerror(errno);
        ::close(fd);
        return failWith("cannot listen on " + path + ": " + why);
    }
    m_listen = fd;
    m_socketPath = path;
    m_stop = false;
    m_acceptThread = std::thread(RunServer, this);
    return true;
}

void PhoneSim::Stop()
{
    DetachInProcess(this);
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_stop = true;
    }
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    {
        /* Connection threads see the stop within one poll step. */
        std::unique_lock<std::mutex> g(m_lock);
        m_cond.wait(g, [&] { return m_threads == 0; });
    }
    if (m_listen >= 0) {
        ::close(m_listen);
        unlink(m_socketPath.c_str());
        m_listen = -1;
    }
}

#endif

}  // namespace phone
