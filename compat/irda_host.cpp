/* The local IrDA link over Unix-domain sockets: discovery, IAS queries and framed streams. */
#include "irda_host.h"
#include "private_folder.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace compat {
namespace irda {

namespace {

int64_t now_ms()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

/* Waits for `events` on fd until the deadline; false on timeout or error. */
bool wait_for(int fd, short events, int64_t deadline)
{
    for (;;) {
        int64_t left = deadline - now_ms();
        if (left < 0)
            left = 0;
        struct pollfd p = {fd, events, 0};
        int r = poll(&p, 1, (int)std::min<int64_t>(left, 1 << 30));
        if (r > 0)
            return true;
        if (r == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

/* Writes all n octets before the deadline. */
Status write_all(int fd, const void *data, size_t n, int64_t deadline)
{
    const char *p = static_cast<const char *>(data);
    while (n > 0) {
        if (!wait_for(fd, POLLOUT, deadline))
            return kTimedOut;
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return kReset;
        }
        p += w;
        n -= (size_t)w;
    }
    return kOk;
}

/* Reads exactly n octets before the deadline; kReset when the peer closes first. */
Status read_all(int fd, void *buf, size_t n, int64_t deadline)
{
    char *p = static_cast<char *>(buf);
    while (n > 0) {
        if (!wait_for(fd, POLLIN, deadline))
            return kTimedOut;
        ssize_t r = ::recv(fd, p, n, MSG_DONTWAIT);
        if (r < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return kReset;
        }
        if (r == 0)
            return kReset;
        p += r;
        n -= (size_t)r;
    }
    return kOk;
}

Status read_line(int fd, std::string *line, int64_t deadline)
{
    line->clear();
    for (;;) {
        char c;
        Status s = read_all(fd, &c, 1, deadline);
        if (s != kOk)
            return s;
        if (c == '\n')
            return kOk;
        if (line->size() >= 511)
            return kReset;
        line->push_back(c);
    }
}

/* Connects to the device socket of `id`; -1 with a status when nobody listens there. */
int dial(uint32_t id, int64_t deadline, Status *status)
{
    char name[16];
    snprintf(name, sizeof name, "%08x.sock", id);
    std::string folder = link_folder();
    if (!link_folder_usable()) {
        *status = kLinkRefused;
        return -1;
    }
    std::string path = folder + "/" + name;
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        *status = kUnreachable;
        return -1;
    }
    memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *status = kNoBuffers;
        return -1;
    }
    if (::connect(fd, (struct sockaddr *)&addr, sizeof addr) != 0) {
        bool pending = errno == EINPROGRESS || errno == EAGAIN;
        int err = 0;
        socklen_t len = sizeof err;
        if (!pending || !wait_for(fd, POLLOUT, deadline) ||
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
            ::close(fd);
            *status = kUnreachable;
            return -1;
        }
    }
    // Not a byte to a device of another user's, whatever its socket is called.
    if (!peer_is_this_user(fd)) {
        ::close(fd);
        *status = kUnreachable;
        return -1;
    }
    *status = kOk;
    return fd;
}

/* One request line and its answer on a fresh connection. */
Status ask(uint32_t id, const std::string &request, int timeout_ms, std::string *answer)
{
    int64_t deadline = now_ms() + timeout_ms;
    Status s;
    int fd = dial(id, deadline, &s);
    if (fd < 0)
        return s;
    std::string line = request + "\n";
    s = write_all(fd, line.data(), line.size(), deadline);
    if (s == kOk)
        s = read_line(fd, answer, deadline);
    ::close(fd);
    return s;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void put_u32(unsigned char *p, uint32_t v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

uint32_t get_u32(const unsigned char *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

}  // namespace

bool peer_is_this_user(int fd)
{
    struct ucred cred;
    socklen_t len = sizeof cred;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && len == sizeof cred &&
           cred.uid == geteuid();
}

std::string link_folder()
{
    const char *dir = getenv("MEDLEY_IRDA_DIR");
    if (dir && *dir)
        return dir;
    const char *run = getenv("XDG_RUNTIME_DIR");
    if (run && *run)
        return std::string(run) + "/medley-irda";
    std::string temp;
    if (temp_folder(&temp) != 0)
        return temp;  // refused again, with its reason, when the link is used
    return temp + "/irda";
}

bool link_folder_usable() { return private_folder(link_folder()) == 0; }

int default_timeout_ms()
{
    const char *t = getenv("MEDLEY_IRDA_TIMEOUT_MS");
    if (t && *t) {
        long v = strtol(t, nullptr, 10);
        if (v > 0 && v <= 600000)
            return (int)v;
    }
    return 5000;
}

std::vector<Device> discover(int timeout_ms)
{
    std::vector<Device> found;
    std::vector<uint32_t> ids;
    if (!link_folder_usable())
        return found;
    DIR *d = opendir(link_folder().c_str());
    if (!d)
        return found;
    while (struct dirent *e = readdir(d)) {
        const char *n = e->d_name;
        if (strlen(n) != 13 || strcmp(n + 8, ".sock") != 0)
            continue;
        uint32_t id = 0;
        bool ok = true;
        for (int i = 0; i < 8 && ok; i++) {
            int h = hex_value(n[i]);
            ok = h >= 0;
            id = id << 4 | (uint32_t)(h & 15);
        }
        if (ok)
            ids.push_back(id);
    }
    closedir(d);
    std::sort(ids.begin(), ids.end());
    /* Discovery is one slot per device: a device that does not answer in a slot is not in
     * range, so each gets a share of the bound and never the whole of it. */
    int slot = std::max(50, std::min(timeout_ms, 1000));
    for (uint32_t id : ids) {
        std::string answer;
        if (ask(id, "INFO", slot, &answer) != kOk)
            continue;
        unsigned rid = 0, h1 = 0, h2 = 0, cs = 0;
        int used = 0;
        if (sscanf(answer.c_str(), "DEVICE %8x %2x %2x %u %n", &rid, &h1, &h2, &cs, &used) < 4 ||
            rid != id)
            continue;
        Device dev;
        dev.id = id;
        dev.hints1 = (uint8_t)h1;
        dev.hints2 = (uint8_t)h2;
        dev.charset = (uint8_t)cs;
        dev.name = answer.substr((size_t)used);
        found.push_back(dev);
    }
    return found;
}

Status ias_query(uint32_t id, const std::string &cls, const std::string &attr, int timeout_ms,
                 IasAnswer *out)
{
    std::string answer;
    Status s = ask(id, "IAS " + cls + "\t" + attr, timeout_ms, &answer);
    if (s != kOk)
        return s == kReset ? kTimedOut : s;
    *out = IasAnswer();
    if (answer == "NOCLASS") {
        out->kind = IasAnswer::kNoClass;
    } else if (answer == "NOATTRIB") {
        out->kind = IasAnswer::kNoAttrib;
    } else if (answer.compare(0, 4, "INT ") == 0) {
        out->kind = IasAnswer::kInt;
        out->value = (int32_t)strtol(answer.c_str() + 4, nullptr, 10);
    } else if (answer.compare(0, 7, "OCTETS ") == 0 || answer == "OCTETS") {
        out->kind = IasAnswer::kOctets;
        for (size_t i = 7; i + 1 < answer.size(); i += 2) {
            int hi = hex_value(answer[i]), lo = hex_value(answer[i + 1]);
            if (hi < 0 || lo < 0)
                return kTimedOut;
            out->octets.push_back((uint8_t)(hi << 4 | lo));
        }
    } else {
        return kTimedOut;
    }
    return kOk;
}

Status open_stream(uint32_t id, const std::string &service, bool nine_wire, int timeout_ms, int *fd)
{
    int64_t deadline = now_ms() + timeout_ms;
    Status s;
    int c = dial(id, deadline, &s);
    if (c < 0)
        return s == kUnreachable ? kTimedOut : s;
    std::string line = "CONNECT " + service + "\t" + (nine_wire ? "1" : "0") + "\n";
    std::string answer;
    s = write_all(c, line.data(), line.size(), deadline);
    if (s == kOk)
        s = read_line(c, &answer, deadline);
    if (s == kOk && answer != "OK")
        s = kRefused;
    if (s != kOk) {
        ::close(c);
        return s;
    }
    *fd = c;
    return kOk;
}

Status send_frame(int fd, const void *data, uint32_t n, int timeout_ms, uint32_t *accepted)
{
    int64_t deadline = now_ms() + timeout_ms;
    unsigned char head[5] = {'D'};
    put_u32(head + 1, n);
    Status s = write_all(fd, head, sizeof head, deadline);
    /* The device reads the whole frame and answers how much it took. */
    const char *p = static_cast<const char *>(data);
    uint32_t left = n;
    while (s == kOk && left > 0) {
        uint32_t part = std::min<uint32_t>(left, 65536);
        s = write_all(fd, p, part, deadline);
        p += part;
        left -= part;
        deadline = now_ms() + timeout_ms;  // the bound is on a stalled link, not a long frame
    }
    unsigned char reply[5];
    if (s == kOk)
        s = read_all(fd, reply, 1, deadline);
    if (s == kOk && reply[0] == 'X')
        return kReset;
    if (s == kOk && reply[0] != 'A')
        return kReset;
    if (s == kOk)
        s = read_all(fd, reply + 1, 4, deadline);
    if (s != kOk)
        return s;
    *accepted = std::min(get_u32(reply + 1), n);
    return kOk;
}

Status recv_frame(int fd, void *buf, uint32_t max, int timeout_ms, uint32_t *got)
{
    int64_t deadline = now_ms() + timeout_ms;
    unsigned char head[5] = {'R'};
    put_u32(head + 1, max);
    Status s = write_all(fd, head, sizeof head, deadline);
    unsigned char reply[5];
    if (s == kOk)
        s = read_all(fd, reply, 1, deadline);
    if (s != kOk)
        return s;
    if (reply[0] == 'E') {
        *got = 0;
        return kOk;
    }
    if (reply[0] != 'D')
        return kReset;
    s = read_all(fd, reply + 1, 4, deadline);
    if (s != kOk)
        return s;
    uint32_t n = get_u32(reply + 1);
    if (n > max || n == 0)
        return kReset;  // a device that breaks the exchange is treated as a dropped link
    s = read_all(fd, buf, n, deadline);
    if (s != kOk)
        return s;
    *got = n;
    return kOk;
}

void close_stream(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

}  // namespace irda
}  // namespace compat
