/*
 * Host side of the local IrDA link (see compat/irda_link.h for the folder and the exchanges).
 * Plain types only: this header is shared by the Windows Sockets surface and the POSIX code,
 * which cannot meet in one file.  Every call is bounded by the timeout it is given.
 */
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

namespace compat {
namespace irda {

/* Link-level outcomes, mapped to Windows Sockets codes by the caller. */
enum Status { kOk = 0, kTimedOut, kRefused, kReset, kUnreachable, kNoBuffers, kLinkRefused };

struct Device {
    uint32_t id = 0;
    std::string name;
    uint8_t hints1 = 0, hints2 = 0, charset = 0;
};

struct IasAnswer {
    enum Kind { kNoClass, kNoAttrib, kInt, kOctets } kind = kNoClass;
    int32_t value = 0;
    std::vector<uint8_t> octets;
};

std::string link_folder();
/* The link folder is private (see private_folder in internal.h); when it is not, nothing is
 * listed in it and nothing connects through it. */
bool link_folder_usable();
/* The process at the other end of a connected local socket runs as this user. */
bool peer_is_this_user(int fd);
int default_timeout_ms();

/* The devices that answer discovery, ordered by device id. */
std::vector<Device> discover(int timeout_ms);
Status ias_query(uint32_t id, const std::string &cls, const std::string &attr, int timeout_ms,
                 IasAnswer *out);
/* Opens the stream to a service; *fd receives the connection on kOk. */
Status open_stream(uint32_t id, const std::string &service, bool nine_wire, int timeout_ms, int *fd);
/* One send: *accepted receives the octets the device took. */
Status send_frame(int fd, const void *data, uint32_t n, int timeout_ms, uint32_t *accepted);
/* One receive: *got receives 0..max octets; 0 means the device closed the stream. */
Status recv_frame(int fd, void *buf, uint32_t max, int timeout_ms, uint32_t *got);
void close_stream(int fd);

}  // namespace irda
}  // namespace compat
