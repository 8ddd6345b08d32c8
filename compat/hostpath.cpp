/* Windows path -> host path, exported for library code that opens files through the C runtime. */
#include <string.h>

#include "compat/extensions.h"
#include "internal.h"

DWORD WINAPI CompatHostPathA(LPCSTR lpszWinPath, LPSTR lpszHostPath, DWORD cchHostPath)
{
    if (!lpszWinPath || (!lpszHostPath && cchHostPath)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string host = compat::host_path(lpszWinPath);
    if (host.size() + 1 > cchHostPath)
        return (DWORD)host.size() + 1;
    memcpy(lpszHostPath, host.c_str(), host.size() + 1);
    return (DWORD)host.size();
}
