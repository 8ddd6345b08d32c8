/* Helpers shared by the system-information sources. */
#pragma once
#include <windows.h>

#include <string.h>

#include <string>

namespace sysinfo {

/* Copies src into (dst, size): at most size - 1 characters, always terminated. */
void CopyBounded(LPSTR dst, LPCSTR src, size_t size);

/* Writes s into a 260-character buffer; false (buffer emptied) when it does not fit. */
inline bool PutPath(LPSTR buf, const std::string &s)
{
    if (s.size() >= MAX_PATH) {
        buf[0] = 0;
        return false;
    }
    memcpy(buf, s.c_str(), s.size() + 1);
    return true;
}

/* A product version cut to `depth` components: the separator is ',' when the text has one,
 * else '.'; below depth 4 the text ends at the depth-th separator when there are that many. */
std::string CutVersion(std::string version, int depth);

}  // namespace sysinfo
