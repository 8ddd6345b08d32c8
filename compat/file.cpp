/*
 * Files, folders and drives over the host file system.
 *
 * File and search handles share one table of kernel objects keyed by small handle numbers
 * (multiples of 4, as Windows hands them out), so CloseHandle and FindClose refuse each
 * other's handles and a closed handle stays invalid.  Paths go through compat::host_path.
 */
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <ctype.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "compat/extensions.h"
#include "file_private.h"
#include "internal.h"

namespace {

struct Object {
    int fd = -1;                        // a file
    std::string host;                   // the file's host path
    bool is_find = false;               // a search
    std::vector<WIN32_FIND_DATAA> found;
    size_t next = 0;
};

std::mutex g_lock;
std::map<uintptr_t, Object> g_objects;
uintptr_t g_next_handle = 0x100;
UINT g_error_mode = 0;

HANDLE add_object(Object o)
{
    std::lock_guard<std::mutex> g(g_lock);
    uintptr_t h = g_next_handle;
    g_next_handle += 4;
    g_objects[h] = std::move(o);
    return (HANDLE)h;
}

/* The host path a file handle was opened by, "" for another handle. */
std::string host_of(HANDLE h)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_objects.find((uintptr_t)h);
    return it == g_objects.end() || it->second.is_find ? std::string() : it->second.host;
}

int fd_of(HANDLE h)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_objects.find((uintptr_t)h);
    return it == g_objects.end() || it->second.is_find ? -1 : it->second.fd;
}

std::string parent_of(const std::string &host)
{
    size_t slash = host.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : host.substr(0, slash);
}

bool is_dir(const std::string &host)
{
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/* ReadFile and WriteFile: `step` moves up to `left` bytes at offset `at` of the caller's buffer
 * and answers like read(2)/write(2).  The count done is zeroed first and holds what moved
 * even on failure; a short step is repeated, a step of nothing is the end of the file.
 * `fault` is the error of an injected failure, `odd_errno` the one errno that maps to
 * `odd_error` rather than through compat::error_from_errno. */
template <class Step>
BOOL transfer(HANDLE h, const void *buf, DWORD n, LPDWORD done, DWORD fault, int odd_errno, DWORD odd_error,
              Step step)
{
    if (done)
        *done = 0;
    int fd = fd_of(h);
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (n && !buf) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (compat::should_fail("file")) {
        SetLastError(fault);
        return FALSE;
    }
    DWORD total = 0;
    while (total < n) {
        ssize_t r = step(fd, total, n - total);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            SetLastError(errno == odd_errno ? odd_error : compat::error_from_errno(errno));
            if (done)
                *done = total;
            return FALSE;
        }
        if (r == 0)
            break;
        total += (DWORD)r;
    }
    if (done)
        *done = total;
    return TRUE;
}

/* The first checks of the calls that change the file system: a name left out is "path not
 * found", and the fault injector may refuse the change as "access denied". */
bool may_change(bool named)
{
    if (!named) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (compat::should_fail("file")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

/* ENOENT means "file not found" when the folder exists and "path not found" otherwise. */
void set_error_for(int err, const std::string &host)
{
    if (err == ENOENT && !is_dir(parent_of(host)))
        SetLastError(ERROR_PATH_NOT_FOUND);
    else
        SetLastError(compat::error_from_errno(err));
}

void to_filetime(time_t t, FILETIME *ft)
{
    uint64_t v = ((uint64_t)t + 11644473600ull) * 10000000ull;
    ft->dwLowDateTime = (DWORD)v;
    ft->dwHighDateTime = (DWORD)(v >> 32);
}


/* Windows wildcard match, without regard to case. */
bool wild_match(const char *p, const char *s)
{
    while (*p) {
        if (*p == '*') {
            while (*p == '*')
                ++p;
            if (!*p)
                return true;
            for (; *s; ++s)
                if (wild_match(p, s))
                    return true;
            return wild_match(p, s);
        }
        if (!*s)
            return false;
        if (*p != '?' && compat::lower_1252((unsigned char)*p) != compat::lower_1252((unsigned char)*s))
            return false;
        ++p;
        ++s;
    }
    return !*s;
}

bool name_matches(const std::string &pattern, const std::string &name)
{
    if (pattern == "*.*" || pattern == "*")
        return true;
    if (wild_match(pattern.c_str(), name.c_str()))
        return true;
    // "x.*" also matches "x" (a name without extension), as on Windows.
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0)
        return wild_match(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
    return false;
}

/* A symbolic link answers as Windows' links do: REPARSE_POINT, with DIRECTORY when it leads to
 * a folder (ARCHIVE otherwise, a dangling link included); the times and size are its target's.
 * 0 when `host` is no link. */
DWORD link_attributes(const std::string &host, struct stat *target)
{
    struct stat ls;
    if (lstat(host.c_str(), &ls) != 0 || !S_ISLNK(ls.st_mode))
        return 0;
    bool dir = stat(host.c_str(), target) == 0 && S_ISDIR(target->st_mode);
    if (!dir && stat(host.c_str(), target) != 0)
        *target = ls;
    return FILE_ATTRIBUTE_REPARSE_POINT | (dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
}

void fill_find(const std::string &dir, const std::string &name, WIN32_FIND_DATAA &fd)
{
    memset(&fd, 0, sizeof fd);
    struct stat st;
    std::string full = dir == "/" ? "/" + name : dir + "/" + name;
    if (DWORD link = link_attributes(full, &st)) {
        fd.dwFileAttributes = link;
    } else {
        if (stat(full.c_str(), &st) != 0)
            memset(&st, 0, sizeof st);
        fd.dwFileAttributes = compat::file_attributes(st, name, full);
    }
    to_filetime(st.st_mtime, &fd.ftCreationTime);
    to_filetime(st.st_atime, &fd.ftLastAccessTime);
    to_filetime(st.st_mtime, &fd.ftLastWriteTime);
    if (!S_ISDIR(st.st_mode)) {
        fd.nFileSizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
        fd.nFileSizeLow = (DWORD)st.st_size;
    }
    snprintf(fd.cFileName, sizeof fd.cFileName, "%s", name.c_str());
}

/* Copies `s` into (buf, size) with the Windows folder-query convention. */
DWORD give_string(const std::string &s, LPSTR buf, DWORD size)
{
    if (!buf || size <= s.size())
        return (DWORD)s.size() + 1;
    memcpy(buf, s.c_str(), s.size() + 1);
    return (DWORD)s.size();
}

bool copy_bytes(const std::string &from, const std::string &to, bool fail_if_exists)
{
    int in = open(from.c_str(), O_RDONLY);
    if (in < 0) {
        set_error_for(errno, from);
        return false;
    }
    struct stat st;
    if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(in);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | (fail_if_exists ? O_EXCL : 0), 0644);
    if (out < 0) {
        int e = errno;
        close(in);
        if (e == EEXIST)
            SetLastError(ERROR_FILE_EXISTS);
        else
            set_error_for(e, to);
        return false;
    }
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0 || write(out, buf, (size_t)n) != n) {
            ok = false;
            SetLastError(n < 0 ? ERROR_READ_FAULT : ERROR_WRITE_FAULT);
            break;
        }
    }
    close(in);
    if (close(out) != 0)
        ok = false;
    if (!ok)
        unlink(to.c_str());
    return ok;
}

int drive_index(LPCSTR root)
{
    if (!root || !root[0] || root[1] != ':')
        return -1;
    char c = (char)toupper((unsigned char)root[0]);
    return c >= 'A' && c <= 'Z' ? c - 'A' : -1;
}

/* The host folder a root or any path on a drive stands for. */
std::string host_dir_for(LPCSTR path)
{
    if (!path)
        return ".";
    return compat::host_path(path);
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                          DWORD flags, HANDLE)
{
    if (!name || !*name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (compat::should_fail("file")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    std::string host = compat::host_path(name);
    int mode = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    struct stat st;
    bool exists = stat(host.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode) && !(flags & FILE_FLAG_BACKUP_SEMANTICS)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // A read-only file is opened for reading only, and never emptied.
    bool writes = (access & GENERIC_WRITE) || disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (exists && !S_ISDIR(st.st_mode) && writes && compat::is_read_only(st, host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    switch (disposition) {
    case CREATE_NEW: mode |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: mode |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: mode |= O_CREAT; break;
    case TRUNCATE_EXISTING:
        if (!(access & GENERIC_WRITE)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        mode |= O_TRUNC;
        break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    if ((mode & O_TRUNC) && (mode & O_ACCMODE) == O_RDONLY)
        mode = (mode & ~O_ACCMODE) | O_RDWR;
    int fd = open(host.c_str(), mode | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            SetLastError(ERROR_FILE_EXISTS);
        else
            set_error_for(errno, host);
        return INVALID_HANDLE_VALUE;
    }
    if (!exists || disposition == CREATE_ALWAYS) {
        // A file made (or made anew) takes the attributes asked for, and ARCHIVE.
        compat::keep_attributes(host, (flags & compat::kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE);
        if (flags & FILE_ATTRIBUTE_READONLY)
            fchmod(fd, exists ? (st.st_mode & 07777 & ~(mode_t)0222) : 0444);
    }
    Object o;
    o.fd = fd;
    o.host = host;
    HANDLE h = add_object(std::move(o));
    SetLastError(exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                        : ERROR_SUCCESS);
    return h;
}

BOOL WINAPI ReadFile(HANDLE h, LPVOID buf, DWORD n, LPDWORD got, struct _OVERLAPPED *)
{
    return transfer(h, buf, n, got, ERROR_READ_FAULT, EISDIR, ERROR_INVALID_FUNCTION,
                    [buf](int fd, DWORD at, DWORD left) { return read(fd, (char *)buf + at, left); });
}

BOOL WINAPI WriteFile(HANDLE h, LPCVOID buf, DWORD n, LPDWORD put, struct _OVERLAPPED *)
{
    return transfer(h, buf, n, put, ERROR_WRITE_FAULT, EBADF, ERROR_ACCESS_DENIED,
                    [buf](int fd, DWORD at, DWORD left) { return write(fd, (const char *)buf + at, left); });
}

DWORD WINAPI SetFilePointer(HANDLE h, LONG low, PLONG high, DWORD method)
{
    int fd = fd_of(h);
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t dist = high ? (int64_t)(((uint64_t)(uint32_t)*high << 32) | (uint32_t)low) : (int64_t)low;
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? lseek(fd, 0, SEEK_CUR) : lseek(fd, 0, SEEK_END);
    if (base + dist < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    off_t pos = lseek(fd, (off_t)(base + dist), SEEK_SET);
    if (pos < 0) {
        SetLastError(compat::error_from_errno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (high)
        *high = (LONG)((uint64_t)pos >> 32);
    else if ((uint64_t)pos > 0xFFFFFFFFull) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    SetLastError(ERROR_SUCCESS);  // callers tell 0xFFFFFFFF from failure by the last error
    return (DWORD)pos;
}

DWORD WINAPI GetFileSize(HANDLE h, LPDWORD high)
{
    int fd = fd_of(h);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (high)
        *high = (DWORD)((uint64_t)st.st_size >> 32);
    SetLastError(ERROR_SUCCESS);
    return (DWORD)st.st_size;
}

BOOL WINAPI SetEndOfFile(HANDLE h)
{
    int fd = fd_of(h);
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    off_t pos = lseek(fd, 0, SEEK_CUR);
    if (pos < 0 || ftruncate(fd, pos) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE h, LPBY_HANDLE_FILE_INFORMATION info)
{
    int fd = fd_of(h);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!info) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    memset(info, 0, sizeof *info);
    std::string host = host_of(h);
    size_t slash = host.find_last_of('/');
    info->dwFileAttributes =
        compat::file_attributes(st, slash == std::string::npos ? host : host.substr(slash + 1), host);
    to_filetime(st.st_ctime, &info->ftCreationTime);
    to_filetime(st.st_atime, &info->ftLastAccessTime);
    to_filetime(st.st_mtime, &info->ftLastWriteTime);
    info->dwVolumeSerialNumber = (DWORD)(st.st_dev ^ (st.st_dev >> 32));
    info->nFileSizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
    info->nFileSizeLow = (DWORD)st.st_size;
    info->nNumberOfLinks = (DWORD)st.st_nlink;
    info->nFileIndexHigh = (DWORD)((uint64_t)st.st_ino >> 32);
    info->nFileIndexLow = (DWORD)st.st_ino;
    return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE h)
{
    int fd = fd_of(h);
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (compat::should_fail("flush")) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {  // those cannot keep data anyway
        SetLastError(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE h)
{
    int fd;
    {
        std::lock_guard<std::mutex> g(g_lock);
        auto it = g_objects.find((uintptr_t)h);
        if (it == g_objects.end() || it->second.is_find) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        fd = it->second.fd;
        g_objects.erase(it);
    }
    close(fd);
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR name)
{
    if (!may_change(name))
        return FALSE;
    std::string host = compat::host_path(name);
    struct stat st;
    if (DWORD link = link_attributes(host, &st)) {
        // The link goes, never its target; a link to a folder is removed as a folder.
        if (link & FILE_ATTRIBUTE_DIRECTORY) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    } else if (stat(host.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || compat::is_read_only(st, host))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (unlink(host.c_str()) != 0) {
        set_error_for(errno, host);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI MoveFileA(LPCSTR from, LPCSTR to)
{
    return MoveFileExA(from, to, MOVEFILE_COPY_ALLOWED);
}

BOOL WINAPI MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (!may_change(from && to))
        return FALSE;
    std::string a = compat::host_path(from), b = compat::host_path(to);
    struct stat st, target;
    if (stat(a.c_str(), &st) != 0) {
        set_error_for(errno, a);
        return FALSE;
    }
    if (stat(b.c_str(), &target) == 0) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        // Windows refuses to replace a folder or a read-only file.
        if (S_ISDIR(target.st_mode) || S_ISDIR(st.st_mode) || compat::is_read_only(target, b)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        // The file that takes the name keeps who may read it: a private file stays private.
        if (S_ISREG(st.st_mode) && S_ISREG(target.st_mode))
            chmod(a.c_str(), target.st_mode & 07777);
    }
    if (rename(a.c_str(), b.c_str()) == 0)
        return TRUE;
    int err = errno;
    if (err != EXDEV || S_ISDIR(st.st_mode) || !(flags & MOVEFILE_COPY_ALLOWED)) {
        if (err == EXDEV)
            SetLastError(ERROR_NOT_SAME_DEVICE);
        else
            set_error_for(err, b);
        return FALSE;
    }
    if (!copy_bytes(a, b, !(flags & MOVEFILE_REPLACE_EXISTING)))
        return FALSE;
    unlink(a.c_str());
    return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR from, LPCSTR to, BOOL fail_if_exists)
{
    if (!may_change(from && to))
        return FALSE;
    std::string a = compat::host_path(from), b = compat::host_path(to);
    if (a == b && !fail_if_exists) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    return copy_bytes(a, b, fail_if_exists != 0);
}

DWORD WINAPI GetFileAttributesA(LPCSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string host = compat::host_path(name);
    struct stat st;
    if (DWORD link = link_attributes(host, &st))
        return link;
    if (stat(host.c_str(), &st) != 0) {
        set_error_for(errno, host);
        return INVALID_FILE_ATTRIBUTES;
    }
    size_t slash = host.find_last_of('/');
    return compat::file_attributes(st, slash == std::string::npos ? host : host.substr(slash + 1), host);
}

BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attrs)
{
    if (!name || !*name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::string host = compat::host_path(name);
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        set_error_for(errno, host);
        return FALSE;
    }
    // NORMAL, alone, clears the others; DIRECTORY cannot be set or cleared.
    if (!S_ISDIR(st.st_mode)) {
        mode_t m = st.st_mode & 07777;
        m = (attrs & FILE_ATTRIBUTE_READONLY) ? (m & ~(mode_t)0222) : (m | S_IWUSR);
        if (chmod(host.c_str(), m) != 0) {
            SetLastError(compat::error_from_errno(errno));
            return FALSE;
        }
    }
    compat::keep_attributes(host, attrs);
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES)
{
    if (!may_change(name && *name))
        return FALSE;
    std::string host = compat::host_path(name);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    if (mkdir(host.c_str(), 0755) != 0) {
        int e = errno;
        SetLastError(e == ENOENT ? ERROR_PATH_NOT_FOUND : compat::error_from_errno(e));
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::string host = compat::host_path(name);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    struct stat st;
    if (DWORD link = link_attributes(host, &st)) {
        if (!(link & FILE_ATTRIBUTE_DIRECTORY)) {
            SetLastError(ERROR_DIRECTORY);
            return FALSE;
        }
        if (unlink(host.c_str()) != 0) {  // the link to a folder, not the folder
            set_error_for(errno, host);
            return FALSE;
        }
        return TRUE;
    }
    if (stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && compat::is_read_only(st, host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (rmdir(host.c_str()) != 0) {
        int e = errno;
        SetLastError(e == ENOTDIR ? ERROR_DIRECTORY : e == EEXIST ? ERROR_DIR_NOT_EMPTY : 0);
        if (e != ENOTDIR && e != EEXIST)
            set_error_for(e, host);
        return FALSE;
    }
    return TRUE;
}

BOOLEAN WINAPI CreateSymbolicLinkA(LPCSTR link, LPCSTR target, DWORD)
{
    if (!may_change(link && *link && target && *target))
        return FALSE;
    std::string from = compat::host_path(link), to = compat::host_path(target);
    while (to.size() > 1 && to.back() == '/')
        to.pop_back();
    if (symlink(to.c_str(), from.c_str()) != 0) {
        int e = errno;
        SetLastError(e == EEXIST ? ERROR_ALREADY_EXISTS : compat::error_from_errno(e));
        return FALSE;
    }
    return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    if (!pattern || !*pattern || !data) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string host = compat::host_path(pattern);
    std::string win(pattern);
    if (win.back() == '\\' || win.back() == '/') {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    size_t slash = host.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : host.substr(0, slash));
    std::string leaf = slash == std::string::npos ? host : host.substr(slash + 1);
    if (!is_dir(dir)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    Object o;
    o.is_find = true;
    bool wild = leaf.find_first_of("*?") != std::string::npos;
    if (!wild) {
        struct stat st;
        if (stat((dir == "/" ? "/" + leaf : dir + "/" + leaf).c_str(), &st) == 0) {
            WIN32_FIND_DATAA fd;
            fill_find(dir, leaf, fd);
            o.found.push_back(fd);
        }
    } else {
        DIR *d = opendir(dir.c_str());
        if (!d) {
            SetLastError(compat::error_from_errno(errno));
            return INVALID_HANDLE_VALUE;
        }
        std::vector<std::string> names;
        while (struct dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if ((n == "." || n == "..") && dir == "/")
                continue;  // a drive root has no "." and ".." entries
            if (name_matches(leaf, n))
                names.push_back(n);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        for (auto &n : names) {
            WIN32_FIND_DATAA fd;
            fill_find(dir, n, fd);
            o.found.push_back(fd);
        }
    }
    if (o.found.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = o.found[0];
    o.next = 1;
    return add_object(std::move(o));
}

BOOL WINAPI FindNextFileA(HANDLE h, LPWIN32_FIND_DATAA data)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_objects.find((uintptr_t)h);
    if (it == g_objects.end() || !it->second.is_find || !data) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Object &o = it->second;
    if (o.next >= o.found.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = o.found[o.next++];
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE h)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_objects.find((uintptr_t)h);
    if (it == g_objects.end() || !it->second.is_find) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    g_objects.erase(it);
    return TRUE;
}

DWORD WINAPI GetTempPathA(DWORD size, LPSTR buf)
{
    // Windows gives each user a temporary folder of their own; so do we, inside the shared one.
    std::string t;
    if (DWORD error = compat::temp_folder(&t); error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    return give_string(t + "/", buf, size);
}

UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR out)
{
    if (!path || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string dir(path);
    char sep = dir.find('\\') != std::string::npos || (dir.size() >= 2 && dir[1] == ':') ? '\\' : '/';
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/')
        dir += sep;
    std::string pre = prefix ? std::string(prefix).substr(0, 3) : "";
    UINT n = unique ? (unique & 0xFFFF) : (UINT)((GetTickCount() ^ (DWORD)getpid()) & 0xFFFF);
    for (unsigned tries = 0; tries < 0x10000; ++tries, n = (n + 1) & 0xFFFF) {
        if (!n)
            continue;
        char name[32];
        snprintf(name, sizeof name, "%s%X.TMP", pre.c_str(), n);
        std::string full = dir + name;
        if (full.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        if (unique) {
            memcpy(out, full.c_str(), full.size() + 1);
            return unique;
        }
        std::string host = compat::host_path(full.c_str());
        int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            close(fd);
            memcpy(out, full.c_str(), full.size() + 1);
            return n;
        }
        if (errno != EEXIST) {
            set_error_for(errno, host);
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buf)
{
    char tmp[4096];
    if (!getcwd(tmp, sizeof tmp)) {
        SetLastError(compat::error_from_errno(errno));
        return 0;
    }
    return give_string(tmp, buf, size);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string host = compat::host_path(name);
    if (chdir(host.c_str()) != 0) {
        SetLastError(errno == ENOTDIR ? ERROR_DIRECTORY : errno == ENOENT ? ERROR_FILE_NOT_FOUND
                                                                          : compat::error_from_errno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buf, LPSTR *file_part)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    std::string in(name);
    bool windows = in.size() >= 2 && isalpha((unsigned char)in[0]) && in[1] == ':';
    char sep = windows ? '\\' : '/';
    std::string prefix, rest;
    if (windows) {
        prefix = in.substr(0, 2);
        rest = in.substr(2);
    } else if (in[0] == '/' || in[0] == '\\') {
        rest = in;
    } else {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) {
            SetLastError(compat::error_from_errno(errno));
            return 0;
        }
        rest = std::string(cwd) + "/" + in;
    }
    std::vector<std::string> parts;
    std::string piece;
    for (size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == '/' || rest[i] == '\\') {
            if (piece == "..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!piece.empty() && piece != ".") {
                parts.push_back(piece);
            }
            piece.clear();
        } else {
            piece += rest[i];
        }
    }
    std::string out = prefix;
    for (auto &p : parts)
        out += sep + p;
    bool trailing = !rest.empty() && (rest.back() == '/' || rest.back() == '\\');
    if (parts.empty() || trailing)
        out += sep;
    DWORD r = give_string(out, buf, size);
    if (buf && size > out.size() && file_part) {
        size_t last = out.find_last_of(sep);
        *file_part = (last == std::string::npos || last + 1 == out.size()) ? NULL : buf + last + 1;
    }
    return r;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buf, UINT size)
{
    // The Windows folder of the C: drive, created on first use like the drive itself.
    std::string host = compat::host_path("C:\\windows");
    mkdir(host.c_str(), 0755);
    return give_string(host, buf, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buf, UINT size)
{
    std::string host = compat::host_path("C:\\windows\\system32");
    mkdir(compat::host_path("C:\\windows").c_str(), 0755);
    mkdir(host.c_str(), 0755);
    return give_string(host, buf, size);
}

DWORD WINAPI GetLogicalDrives(void)
{
    DWORD mask = 0;
    for (int i = 0; i < 26; ++i)
        if (!compat::drive_root((char)('A' + i)).empty())
            mask |= 1u << i;
    return mask;
}

UINT WINAPI GetDriveTypeA(LPCSTR root)
{
    int i = drive_index(root);
    if (!root || (i < 0 && (root[0] == '/' || root[0] == '\\')))
        return DRIVE_FIXED;  // the current drive, or the host's own root
    if (i < 0 || compat::drive_root((char)('A' + i)).empty() || (root[2] && root[2] != '\\' && root[2] != '/'))
        return DRIVE_NO_ROOT_DIR;
    char var[] = "MEDLEY_DRIVE_X_TYPE";
    var[13] = (char)('A' + i);
    const char *t = getenv(var);
    if (!t || !*t || !strcasecmp(t, "fixed"))
        return DRIVE_FIXED;
    if (!strcasecmp(t, "cdrom"))
        return DRIVE_CDROM;
    if (!strcasecmp(t, "removable"))
        return DRIVE_REMOVABLE;
    if (!strcasecmp(t, "remote"))
        return DRIVE_REMOTE;
    if (!strcasecmp(t, "ramdisk"))
        return DRIVE_RAMDISK;
    return DRIVE_UNKNOWN;
}

BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR dir, PULARGE_INTEGER avail, PULARGE_INTEGER total, PULARGE_INTEGER total_free)
{
    std::string host = host_dir_for(dir);
    struct statvfs vs;
    if (!is_dir(host) || statvfs(host.c_str(), &vs) != 0) {
        SetLastError(drive_index(dir) >= 0 && compat::drive_root(dir[0]).empty() ? ERROR_INVALID_DRIVE
                                                                                  : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    ULONGLONG free_bytes = (ULONGLONG)vs.f_bavail * vs.f_frsize, size = (ULONGLONG)vs.f_blocks * vs.f_frsize;
    ULONGLONG all_free = (ULONGLONG)vs.f_bfree * vs.f_frsize;
    if (int i = drive_index(dir); i >= 0) {
        // MEDLEY_DRIVE_X_FREE: the free bytes a drive reports, for trying out low-space paths.
        char var[] = "MEDLEY_DRIVE_X_FREE";
        var[13] = (char)('A' + i);
        if (const char *f = getenv(var); f && *f) {
            free_bytes = all_free = strtoull(f, nullptr, 10);
            size = std::max(size, free_bytes);
        }
    }
    if (avail)
        avail->QuadPart = free_bytes;
    if (total)
        total->QuadPart = size;
    if (total_free)
        total_free->QuadPart = all_free;
    return TRUE;
}

BOOL WINAPI GetDiskFreeSpaceA(LPCSTR root, LPDWORD spc, LPDWORD bps, LPDWORD free_clusters, LPDWORD clusters)
{
    ULARGE_INTEGER avail, total;
    if (!GetDiskFreeSpaceExA(root, &avail, &total, NULL))
        return FALSE;
    const ULONGLONG cluster = 8 * 512;
    auto cut = [](ULONGLONG v) -> DWORD { return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)v; };
    if (spc)
        *spc = 8;
    if (bps)
        *bps = 512;
    if (free_clusters)
        *free_clusters = cut(avail.QuadPart / cluster);
    if (clusters)
        *clusters = cut(total.QuadPart / cluster);
    return TRUE;
}

BOOL WINAPI GetVolumeInformationA(LPCSTR root, LPSTR vol, DWORD vol_size, LPDWORD serial, LPDWORD max_comp,
                                  LPDWORD fs_flags, LPSTR fs_name, DWORD fs_size)
{
    std::string host = host_dir_for(root);
    struct statfs fs;
    struct stat st;
    if (!is_dir(host) || statfs(host.c_str(), &fs) != 0 || stat(host.c_str(), &st) != 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::string label;
    if (int i = drive_index(root); i >= 0) {
        char var[] = "MEDLEY_DRIVE_X_LABEL";
        var[13] = (char)('A' + i);
        if (const char *l = getenv(var))
            label = l;
    }
    const char *name = fs.f_type == 0xEF53 ? "ext4" : fs.f_type == 0x01021994 ? "tmpfs"
                     : fs.f_type == 0x794c7630 ? "overlay" : fs.f_type == 0x9123683E ? "btrfs" : "unix";
    if ((vol && vol_size <= label.size()) || (fs_name && fs_size <= strlen(name))) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    if (vol)
        memcpy(vol, label.c_str(), label.size() + 1);
    if (fs_name)
        memcpy(fs_name, name, strlen(name) + 1);
    if (serial)
        *serial = (DWORD)(st.st_dev * 2654435761u);
    if (max_comp)
        *max_comp = 255;
    if (fs_flags)
        *fs_flags = 0x3;  // case-sensitive search, case-preserved names
    return TRUE;
}

UINT WINAPI SetErrorMode(UINT mode)
{
    UINT old = g_error_mode;
    g_error_mode = mode;
    return old;
}

namespace {

/* Removes what is in the open folder `dfd` whose names match `pattern`, never through a link:
 * each entry is judged by fstatat without following it, a link or any other non-folder is
 * unlinked itself, and a folder is entered by openat with O_NOFOLLOW, so a folder swapped for
 * a link after it was judged is not entered.  RETURNS false when something stayed. */
bool remove_inside(int dfd, const std::string &pattern, bool files_only)
{
    int lister = dup(dfd);
    DIR *d = lister >= 0 ? fdopendir(lister) : nullptr;
    if (!d) {
        if (lister >= 0)
            close(lister);
        return false;
    }
    std::vector<std::string> names;
    while (struct dirent *e = readdir(d))
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..") && name_matches(pattern, e->d_name))
            names.push_back(e->d_name);
    closedir(d);
    bool all = true;
    for (const std::string &n : names) {
        struct stat st;
        if (fstatat(dfd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            all = false;
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            all = unlinkat(dfd, n.c_str(), 0) == 0 && all;
            continue;
        }
        if (files_only)
            continue;
        int sub = openat(dfd, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0) {
            // Swapped since it was judged: a link now stands there, which goes by itself.
            all = (errno == ELOOP || errno == ENOTDIR) && unlinkat(dfd, n.c_str(), 0) == 0 && all;
            continue;
        }
        all = remove_inside(sub, "*", false) && all;
        close(sub);
        all = unlinkat(dfd, n.c_str(), AT_REMOVEDIR) == 0 && all;
    }
    return all;
}

}  // namespace

BOOL WINAPI CompatDeleteTreeA(LPCSTR dir, LPCSTR pattern, DWORD flags)
{
    if (!dir || !*dir || !pattern || !*pattern) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string host = compat::host_path(dir);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    if (compat::should_fail("file")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // The folder named, itself no link; then only what is inside it.
    int top = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (top < 0) {
        if (errno == ELOOP)
            SetLastError(ERROR_ACCESS_DENIED);
        else
            set_error_for(errno, host);
        return FALSE;
    }
    bool all = remove_inside(top, pattern, flags & COMPAT_TREE_FILES_ONLY);
    close(top);
    if (!all) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (flags & COMPAT_TREE_FILES_ONLY)
        return TRUE;
    if (rmdir(host.c_str()) != 0) {
        set_error_for(errno, host);
        return FALSE;
    }
    return TRUE;
}
