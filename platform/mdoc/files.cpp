/*
 * File access of the library, through the file streams of fileio.h: paths are Windows paths,
 * failures leave Windows' codes in GetLastError(), and a file written here appears complete or
 * not at all.
 */
#include <stdio.h>
#include <string.h>

#include "fileio.h"

#include "mdoc_private.h"

namespace mdoc {

bool FileExists(const std::string &path)
{
    if (path.empty())
        return false;
    // A folder is not a media file.
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadWholeFile(const std::string &path, std::string &out, size_t maxBytes)
{
    out.clear();
    FIO_FILE *f = path.empty() ? nullptr : FioOpen(path.c_str(), "rb");
    if (!f)
        return false;
    long long size = FioSize(f);
    bool ok = size >= 0 && (unsigned long long)size <= maxBytes;
    if (ok) {
        out.resize((size_t)size);
        ok = FioRead(f, &out[0], out.size()) == out.size();
    } else if (size >= 0) {
        SetLastError(ERROR_FILE_TOO_LARGE);
    }
    DWORD e = ok ? NO_ERROR : (FioError(f) ? FioLastError(f) : GetLastError());
    FioClose(f);
    if (!ok) {
        out.clear();
        SetLastError(e ? e : ERROR_HANDLE_EOF);
    }
    return ok;
}

bool WriteWholeFile(const std::string &path, const std::string &data)
{
    FIO_FILE *f = path.empty() ? nullptr : FioCreateAtomic(path.c_str());
    if (!f)
        return false;
    if (FioWrite(f, data.data(), data.size()) != data.size()) {
        DWORD e = FioLastError(f);
        FioClose(f);
        SetLastError(e);
        return false;
    }
    return FioCommit(f) != 0;
}

std::string FolderOf(const std::string &path)
{
    size_t p = path.find_last_of("\\/");
    if (p == std::string::npos) {
        if (path.size() >= 2 && path[1] == ':')
            return path.substr(0, 2);
        return std::string();
    }
    return path.substr(0, p + 1);
}

std::string NameOf(const std::string &path)
{
    size_t p = path.find_last_of("\\/:");
    return p == std::string::npos ? path : path.substr(p + 1);
}

bool SamePath(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i] == '\\' ? '/' : a[i];
        char y = b[i] == '\\' ? '/' : b[i];
#if defined(_WIN32)
        if (x >= 'A' && x <= 'Z')
            x += 32;
        if (y >= 'A' && y <= 'Z')
            y += 32;
#endif
        if (x != y)
            return false;
    }
    return true;
}

}  // namespace mdoc
