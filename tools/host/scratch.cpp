/* Scratch folders: unpredictable names, made exclusively, for this user only. */
#include "scratch.h"

#include <windows.h>

#include <stdio.h>

#include <random>

#include "filefun.h"

#if !defined(_WIN32)
#include <errno.h>
#include <sys/stat.h>

#include "compat/extensions.h"
#endif

namespace scratch {

namespace {

/* Makes `path` only when nothing is there yet. */
bool MakeExclusive(const std::string &path)
{
#if defined(_WIN32)
    return CreateDirectoryA(path.c_str(), NULL) != 0;  // inherits the private folder's rights
#else
    char host[MAX_PATH * 4];
    DWORD n = CompatHostPathA(path.c_str(), host, sizeof host);
    if (n == 0 || n >= sizeof host) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (mkdir(host, 0700) == 0)
        return true;
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
    return false;
#endif
}

}  // namespace

std::string MakeFolder(const std::string &prefix)
{
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0)
        return "";
    if (n >= sizeof temp) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return "";
    }
    std::random_device random;
    for (int tries = 0; tries < 16; ++tries) {
        unsigned long long r = (unsigned long long)random() << 32 | random();
        char tail[17];
        snprintf(tail, sizeof tail, "%016llx", r);
        std::string path = std::string(temp) + prefix + tail;
        if (path.size() + 2 >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return "";
        }
        if (MakeExclusive(path))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return "";
    }
    return "";
}

void RemoveFolder(const std::string &folder)
{
    if (!folder.empty())
        DeleteDirTree((folder + "\\").c_str(), "*.*");
}

}  // namespace scratch
