/* Deleting files: the scratch folder, the files of a folder, folder trees, read-only files. */
#include <string.h>

#include <string>

#include "basemem.h"
#include "filefun.h"
#include "sys_private.h"

#if !defined(_WIN32)
#include "compat/extensions.h"
#endif

namespace {

bool IsDots(const char *name) { return !strcmp(name, ".") || !strcmp(name, ".."); }

bool EndsWithSeparator(const std::string &s) { return !s.empty() && (s.back() == '\\' || s.back() == '/'); }

#if defined(_WIN32)

/* Opens an entry itself: a link (or junction) is opened as the link, never what it leads to. */
HANDLE OpenEntry(const std::string &path, DWORD access, DWORD share)
{
    return CreateFileA(path.c_str(), access, share, NULL, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
}

/* Deletes the entry open as h: read-only cleared first (never on a link, whose target would
 * be changed), put back when the deletion fails. */
bool DeleteOpenEntry(HANDLE h, DWORD attrs, bool link)
{
    FILE_BASIC_INFO basic = {};
    bool cleared = false;
    if (!link && (attrs & FILE_ATTRIBUTE_READONLY)) {
        DWORD writable = attrs & ~(DWORD)FILE_ATTRIBUTE_READONLY;
        basic.FileAttributes = writable ? writable : FILE_ATTRIBUTE_NORMAL;
        cleared = SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO gone = {TRUE};
    if (SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone))
        return true;
    DWORD error = GetLastError();
    if (cleared) {
        basic.FileAttributes = attrs;
        SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
    }
    SetLastError(error);
    return false;
}

/* Deletes what `dir` (with its separator) holds under `pattern`, never through a link.  The
 * folder is held open without sharing deletion while it is walked, so it cannot be renamed or
 * swapped for a link meanwhile, and each entry is judged by the attributes of its own handle.
 * RETURNS: 1 when all of it went, 0 when something stayed, -1 when the folder is missing or
 * is no real folder (a link), so nothing was done. */
int DeleteInside(const std::string &dir, const char *pattern, bool filesOnly)
{
    HANDLE folder = OpenEntry(dir, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (folder == INVALID_HANDLE_VALUE)
        return -1;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(folder);
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    bool all = true;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir + pattern).c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (IsDots(fd.cFileName))
                continue;
            std::string path = dir + fd.cFileName;
            if (path.size() + 1 >= MAX_PATH) {
                all = false;
                continue;
            }
            HANDLE h = OpenEntry(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
            BY_HANDLE_FILE_INFORMATION e;
            if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &e)) {
                if (h != INVALID_HANDLE_VALUE)
                    CloseHandle(h);
                all = false;
                continue;
            }
            bool link = (e.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (!link && (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                CloseHandle(h);
                if (!filesOnly)
                    all = DeleteInside(path + "\\", "*.*", false) == 1 && RemoveDirectoryA(path.c_str()) && all;
                continue;
            }
            all = DeleteOpenEntry(h, e.dwFileAttributes, link) && all;
            CloseHandle(h);
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    CloseHandle(folder);
    return all ? 1 : 0;
}

#endif

}  // namespace

BOOL DeleteFileForce(LPCSTR lpszFile)
{
    if (!lpszFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (DeleteFileA(lpszFile))
        return TRUE;
    DWORD error = GetLastError();
    DWORD attrs = GetFileAttributesA(lpszFile);
    if (error != ERROR_ACCESS_DENIED || attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY) ||
        !(attrs & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(error);
        return FALSE;
    }
    DWORD writable = attrs & ~(DWORD)FILE_ATTRIBUTE_READONLY;
    if (!SetFileAttributesA(lpszFile, writable ? writable : FILE_ATTRIBUTE_NORMAL))
        return FALSE;
    if (DeleteFileA(lpszFile))
        return TRUE;
    error = GetLastError();
    SetFileAttributesA(lpszFile, attrs);  // it stays: as it was
    SetLastError(error);
    return FALSE;
}

int ClearTempFolder()
{
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp)
        return 0;
    std::string folder = std::string(temp) + "MMSTemp";
    if (folder.size() + 5 >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    // Only a real folder is cleared: a link there leads somewhere else.
    DWORD attrs = GetFileAttributesA(folder.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY) ||
        (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetLastError(attrs == INVALID_FILE_ATTRIBUTES ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return 0;
    }
    // Files, read-only ones too, go; folders stay; a link goes by itself.  Failures are ignored.
#if defined(_WIN32)
    return DeleteInside(folder + "\\", "*.*", true) >= 0 ? 1 : 0;
#else
    CompatDeleteTreeA(folder.c_str(), "*.*", COMPAT_TREE_FILES_ONLY);
    return 1;
#endif
}

int DeleteDirFiles(LPCSTR lpszDir)
{
    MD_ASSERT(lpszDir);
    if (!lpszDir)
        return 0;
    if (!FileExists(lpszDir)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    std::string dir(lpszDir);
    if (!EndsWithSeparator(dir))
        dir += '\\';
    std::string pattern = dir + "*.*";
    if (pattern.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    int all = 1;
    DWORD lastError = ERROR_SUCCESS;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return 1;  // nothing in it (a drive root lists no "." entries)
    do {
        if (IsDots(fd.cFileName) || (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        std::string path = dir + fd.cFileName;
        // Attributes are left alone: a read-only file stays.
        if (path.size() >= MAX_PATH || !DeleteFileA(path.c_str())) {
            all = 0;
            lastError = path.size() >= MAX_PATH ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    SetLastError(lastError);
    return all;
}

void DeleteDirTree(LPCSTR lpszDir, LPCSTR lpszPattern)
{
    // Only inside the folder named: an empty name would be the current folder, and a name
    // without its separator would select the folder's siblings.
    if (!lpszDir || !*lpszDir || !lpszPattern || !*lpszPattern) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return;
    }
    std::string dir(lpszDir);
    if (!EndsWithSeparator(dir))
        dir += '\\';
    if (dir.size() + strlen(lpszPattern) >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return;
    }
#if defined(_WIN32)
    if (DeleteInside(dir, lpszPattern, false) >= 0)
        RemoveDirectoryA(dir.c_str());
#else
    CompatDeleteTreeA(dir.c_str(), lpszPattern, 0);
#endif
}
