/* Deleting files: the scratch folder, the files of a folder, folder trees, read-only files. */
#include <string.h>

#include <string>

#include "basemem.h"
#include "filefun.h"
#include "sys_private.h"

namespace {

bool IsDots(const char *name) { return !strcmp(name, ".") || !strcmp(name, ".."); }

bool EndsWithSeparator(const std::string &s) { return !s.empty() && (s.back() == '\\' || s.back() == '/'); }

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
    std::string prefix = std::string(temp) + "MMSTemp\\";
    std::string pattern = prefix + "*.*";
    if (pattern.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do {
        // Folders, and the "." and ".." entries, stay as they are.
        if (IsDots(fd.cFileName) || (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        std::string path = prefix + fd.cFileName;
        if (path.size() >= MAX_PATH)
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            DeleteFileA(path.c_str());  // the link only: what it leads to is left as it is
            continue;
        }
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileForce(path.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return 1;
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
    if (!lpszDir || !lpszPattern)
        return;
    std::string dir(lpszDir);
    std::string search = dir + lpszPattern;
    if (search.size() >= MAX_PATH)
        return;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(search.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (IsDots(fd.cFileName))
            continue;
        std::string path = dir + fd.cFileName;
        if (path.size() + 1 >= MAX_PATH)
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A link (or junction) goes by itself: the tree is never followed out through it,
            // and what it leads to keeps its files and attributes.
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryA(path.c_str());
            else
                DeleteFileA(path.c_str());
            continue;
        }
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DWORD attrs = GetFileAttributesA(path.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY))
            DeleteDirTree((path + "\\").c_str(), "*.*");
        else
            DeleteFileForce(path.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    RemoveDirectoryA(lpszDir);
}
