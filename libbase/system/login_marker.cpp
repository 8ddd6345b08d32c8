/* The login marker: "temp_log.ini" in the user's temporary folder, [login] login=1 or 0. */
#include "basemem.h"
#include "filefun.h"
#include "sysinfo.h"

namespace {

const char kMarker[] = "temp_log.ini";

}  // namespace

int SetLoginMarker(int bLoggedIn)
{
    char path[MAX_PATH];
    if (!MakeTempPath(path, kMarker))
        return -1;
    if (!FileExists(path)) {
        HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY,
                               NULL);
        if (h == INVALID_HANDLE_VALUE)
            return -1;
        CloseHandle(h);
    }
    // Written into the file that is there: whatever else it holds stays.
    return WritePrivateProfileStringA("login", "login", bLoggedIn ? "1" : "0", path);
}

int ClearLoginMarker()
{
    char path[MAX_PATH];
    if (!MakeTempPath(path, kMarker) || !FileExists(path))
        return 0;
    return DeleteFileA(path);
}
