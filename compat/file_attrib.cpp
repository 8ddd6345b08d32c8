/*
 * The file attributes that a POSIX file system has no bits for.
 *
 * READONLY of a file is its owner-write permission bit, so other programs see it too.  The
 * others that Windows keeps for a file or folder (HIDDEN, SYSTEM, ARCHIVE, TEMPORARY, OFFLINE,
 * NOT_CONTENT_INDEXED, and READONLY of a folder, which Windows keeps without it stopping new
 * files) are kept in the extended attribute "user.medley.attributes", a text "0x%x".  A file
 * without one reports what a file copied in from elsewhere reports on Windows: ARCHIVE
 * (HIDDEN as well for a name starting with a dot); a folder reports DIRECTORY alone.
 * NOTES: on a host file system without user extended attributes only READONLY is kept.
 */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include "file_private.h"

namespace {
const char kAttrName[] = "user.medley.attributes";
}

namespace compat {

bool kept_attributes(const std::string &host, DWORD *attrs)
{
    char text[32];
    ssize_t n = getxattr(host.c_str(), kAttrName, text, sizeof text - 1);
    if (n <= 0)
        return false;
    text[n] = 0;
    char *end = nullptr;
    unsigned long v = strtoul(text, &end, 16);
    if (end == text)
        return false;
    *attrs = (DWORD)v & kKeptAttributes;
    return true;
}

void keep_attributes(const std::string &host, DWORD attrs)
{
    char text[32];
    int n = snprintf(text, sizeof text, "0x%x", (unsigned)(attrs & kKeptAttributes));
    setxattr(host.c_str(), kAttrName, text, (size_t)n, 0);
}

DWORD file_attributes(const struct stat &st, const std::string &name, const std::string &host)
{
    bool dir = S_ISDIR(st.st_mode);
    DWORD a;
    if (!kept_attributes(host, &a)) {
        a = dir ? 0 : FILE_ATTRIBUTE_ARCHIVE;
        if (name.size() > 1 && name[0] == '.' && name != "..")
            a |= FILE_ATTRIBUTE_HIDDEN;
    }
    if (dir)
        a |= FILE_ATTRIBUTE_DIRECTORY;
    else if (!(st.st_mode & S_IWUSR))
        a |= FILE_ATTRIBUTE_READONLY;
    else
        a &= ~(DWORD)FILE_ATTRIBUTE_READONLY;
    return a ? a : FILE_ATTRIBUTE_NORMAL;
}

bool is_read_only(const struct stat &st, const std::string &host)
{
    if (!S_ISDIR(st.st_mode))
        return !(st.st_mode & S_IWUSR);
    DWORD a;
    return kept_attributes(host, &a) && (a & FILE_ATTRIBUTE_READONLY);
}

}  // namespace compat
