/*
 * File access of the library.  Paths arrive as Windows paths; on other hosts the compat layer
 * maps them to the host paths its own file functions open.
 */
#include <stdio.h>
#include <string.h>

#include "mdoc_private.h"

namespace mdoc {

static std::string Native(const std::string &path)
{
#if defined(_WIN32)
    return path;
#else
    char buf[4096];
    DWORD n = CompatHostPathA(path.c_str(), buf, sizeof buf);
    if (n == 0 || n >= sizeof buf)
        return std::string();
    return std::string(buf, n);
#endif
}

FILE *OpenFile(const std::string &path, const char *mode)
{
    std::string native = path.empty() ? path : Native(path);
    if (native.empty())
        return nullptr;
    return fopen(native.c_str(), mode);
}

bool FileExists(const std::string &path)
{
    FILE *f = OpenFile(path, "rb");
    if (!f)
        return false;
    // A folder opens on some hosts; it is not a media file.
    char c;
    bool ok = fread(&c, 1, 1, f) == 1 || !ferror(f);
    fclose(f);
    return ok;
}

bool ReadWholeFile(const std::string &path, std::string &out, size_t maxBytes)
{
    FILE *f = OpenFile(path, "rb");
    if (!f)
        return false;
    out.clear();
    char buf[16384];
    bool ok = true;
    for (;;) {
        size_t n = fread(buf, 1, sizeof buf, f);
        if (n == 0) {
            ok = !ferror(f);
            break;
        }
        if (out.size() + n > maxBytes) {
            ok = false;
            break;
        }
        out.append(buf, n);
    }
    fclose(f);
    return ok;
}

bool WriteWholeFile(const std::string &path, const std::string &data)
{
    FILE *f = OpenFile(path, "wb");
    if (!f)
        return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (fclose(f) == 0) && ok;
    return ok;
}

void RemoveFile(const std::string &path)
{
    std::string native = Native(path);
    if (!native.empty())
        remove(native.c_str());
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
