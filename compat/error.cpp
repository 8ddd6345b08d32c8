/* Per-thread last error, errno translation and fault injection. */
#include <errno.h>
#include <stdlib.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "compat/testing.h"
#include "internal.h"

static thread_local DWORD last_error = 0;

DWORD WINAPI GetLastError(void) { return last_error; }
void WINAPI SetLastError(DWORD code) { last_error = code; }

namespace compat {

DWORD error_from_errno(int err)
{
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_INVALID_FUNCTION;
    }
}

namespace {
struct FaultPlan {
    std::mutex lock;
    std::map<std::string, unsigned> remaining;  // calls left until the failing one
};
/* MEDLEY_FAIL_NTH="file:3,alloc:1" arms the injector at start-up, as compat_fail_nth would:
 * for programs that a test runs as a whole. */
void arm_from_environment(FaultPlan &p)
{
    const char *wanted = getenv("MEDLEY_FAIL_NTH");
    if (!wanted)
        return;
    std::string all(wanted);
    size_t at = 0;
    while (at < all.size()) {
        size_t end = all.find(',', at);
        if (end == std::string::npos)
            end = all.size();
        std::string item = all.substr(at, end - at);
        size_t colon = item.find(':');
        if (colon != std::string::npos) {
            unsigned long n = strtoul(item.c_str() + colon + 1, nullptr, 10);
            if (n > 0)
                p.remaining[item.substr(0, colon)] = (unsigned)n;
        }
        at = end + 1;
    }
}

FaultPlan &plan()
{
    static FaultPlan p;
    static bool armed = (arm_from_environment(p), true);
    (void)armed;
    return p;
}
}  // namespace

bool should_fail(const char *layer)
{
    FaultPlan &p = plan();
    std::lock_guard<std::mutex> g(p.lock);
    auto it = p.remaining.find(layer);
    if (it == p.remaining.end())
        return false;
    if (--it->second == 0) {
        p.remaining.erase(it);
        return true;
    }
    return false;
}

}  // namespace compat

void compat_fail_nth(const char *layer, unsigned n)
{
    compat::FaultPlan &p = compat::plan();
    std::lock_guard<std::mutex> g(p.lock);
    if (n == 0)
        p.remaining.erase(layer);
    else
        p.remaining[layer] = n;
}

unsigned compat_fault_remaining(const char *layer)
{
    compat::FaultPlan &p = compat::plan();
    std::lock_guard<std::mutex> g(p.lock);
    auto it = p.remaining.find(layer ? layer : "");
    return it == p.remaining.end() ? 0 : it->second;
}
