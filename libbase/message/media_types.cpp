/*
 * The media-type table, path pieces, and the MIME files of a folder and of two text files.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base_assert.h"
#include "basemem.h"
#include "fileio.h"
#include "message.h"
#include "message_private.h"
#include "mime.h"
#include "mkarray"

namespace {

/* Rows are tried in this order; an extension is compared with its dot, in any case. */
const struct {
    const char *ext;
    const char *type;
} kMediaTypes[] = {
    {".gif", "image/gif"},
    {".bmp", "image/jpeg"},  // bitmaps are labelled as JPEG
    {".jpg", "image/jpeg"},
    {".smil", "application/smil"},
    {".xml", "text/html"},
    {".psf", "application/psf"},
    {".emf", "application/emf"},
    {".wav", "audio/x-wav"},
    {".mid", "x-music/x-midi"},
};

}  // namespace

namespace msgfile {

static char Lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c; }

bool SameText(LPCSTR a, LPCSTR b)
{
    if (!a || !b)
        return false;
    for (; *a && *b; a++, b++)
        if (Lower(*a) != Lower(*b))
            return false;
    return *a == *b;
}

static void Put(LPSTR out, const char *from, size_t n)
{
    if (!out)
        return;
    if (n > MAX_PATH - 1)
        n = MAX_PATH - 1;
    memcpy(out, from, n);
    out[n] = 0;
}

void SplitPieces(LPCSTR lpszPath, LPSTR lpszDrive, LPSTR lpszDir, LPSTR lpszName, LPSTR lpszExt)
{
    const char *p = lpszPath ? lpszPath : "";
    const char *drive = p;
    if (p[0] && p[1] == ':')
        p += 2;
    Put(lpszDrive, drive, (size_t)(p - drive));
    const char *lastSep = nullptr;
    for (const char *q = p; *q; q++)
        if (*q == '\\' || *q == '/')
            lastSep = q;
    const char *name = lastSep ? lastSep + 1 : p;
    Put(lpszDir, p, (size_t)(name - p));
    const char *dot = strrchr(name, '.');
    const char *end = name + strlen(name);
    if (!dot)
        dot = end;
    Put(lpszName, name, (size_t)(dot - name));
    Put(lpszExt, dot, (size_t)(end - dot));
}

bool JoinPath(LPSTR lpszOut, LPCSTR a, LPCSTR b)
{
    size_t la = strlen(a), lb = strlen(b);
    if (la + lb >= MAX_PATH) {
        lpszOut[0] = 0;
        return false;
    }
    memmove(lpszOut, a, la);
    memcpy(lpszOut + la, b, lb + 1);
    return true;
}

}  // namespace msgfile

const char *MimeTypeOfExtension(LPCSTR lpszExt)
{
    if (!lpszExt)
        return nullptr;
    for (const auto &row : kMediaTypes)
        if (msgfile::SameText(lpszExt, row.ext))
            return row.type;
    return nullptr;
}

void AppendBackslash(LPSTR lpszPath)
{
    if (!lpszPath || !*lpszPath)
        return;
    size_t n = strlen(lpszPath);
    if (lpszPath[n - 1] != '\\') {
        lpszPath[n] = '\\';
        lpszPath[n + 1] = 0;
    }
}

int MakeMimeFromFolderEx(LPSTR lpszFilePath, LPCSTR lpszOutFolder, LPCSTR lpszOutName, MSGFILE_SKIP_PROC pfnSkip,
                         LPVOID pvUser)
{
    MD_ASSERT(lpszFilePath);
    if (!lpszFilePath || !lpszOutFolder || !lpszOutName || !FileExists(lpszFilePath))
        return 0;
    // Room for the backslash and then "*.*" in a MAX_PATH buffer.
    if (strlen(lpszFilePath) + 1 + 3 >= MAX_PATH)
        return 0;
    AppendBackslash(lpszFilePath);

    char pattern[MAX_PATH];
    snprintf(pattern, sizeof pattern, "%s*.*", lpszFilePath);
    // Copies of the entry names (the array relocates its elements bytewise, so it holds plain
    // pointers), each behind one octet that says what the entry is; NameList frees them on
    // every way out.
    enum : char { kFile = 'f', kFolder = 'd', kEmpty = 'e', kLink = 'l' };
    struct NameList {
        CMkArray<char *> a;
        ~NameList()
        {
            for (int32_t i = 0; i < a.GetSize(); i++)
                free(a[i]);
            a.SetSize(0);
        }
    } names;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(pattern, &fd);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    bool copied = true;
    do {
        size_t n = strlen(fd.cFileName) + 1;
        char *copy = (char *)malloc(n + 1);
        if (!copy) {
            copied = false;
            break;
        }
        copy[0] = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)      ? kLink
                  : (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)        ? kFolder
                  : (fd.nFileSizeLow == 0 && fd.nFileSizeHigh == 0) ? kEmpty
                                                                          : kFile;
        memcpy(copy + 1, fd.cFileName, n);
        if (names.a.Add(copy) < 0) {
            free(copy);
            copied = false;
            break;
        }
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    if (!copied) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }

    MIME_MESSAGE *msg = MimeCreate();
    if (!msg)
        return 0;
    for (int32_t i = 0; i < names.a.GetSize(); i++) {
        const char kind = names.a[i][0];
        const char *name = names.a[i] + 1;
        if (!strcmp(name, ".") || !strcmp(name, ".."))
            continue;
        char ext[MAX_PATH];
        msgfile::SplitPieces(name, nullptr, nullptr, nullptr, ext);
        const char *type = MimeTypeOfExtension(ext);
        if (!type)
            continue;
        // A folder named like a media file is no media file, and an empty file makes an entry
        // that peers reject: both are left out, and the caller hears of them.
        if (kind != kFile) {
            if (pfnSkip)
                pfnSkip(name,
                        kind == kFolder ? ERROR_DIRECTORY_NOT_SUPPORTED
                        : kind == kLink ? MIME_ERROR_LINK
                                        : MIME_ERROR_EMPTY_PART,
                        pvUser);
            continue;
        }
        MIME_PART_INFO info = {type, lpszFilePath, name, nullptr};
        if (!MimeAddPart(msg, &info)) {
            MimeDestroy(msg);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
    }
    char outPath[MAX_PATH];
    int ok = msgfile::JoinPath(outPath, lpszOutFolder, lpszOutName) ? MimeWriteFile(msg, lpszOutFolder, lpszOutName) : 0;
    DWORD e = GetLastError();
    MimeDestroy(msg);
    SetLastError(e);
    return ok;
}

int MakeMimeFromFolder(LPSTR lpszFilePath, LPCSTR lpszOutFolder, LPCSTR lpszOutName)
{
    return MakeMimeFromFolderEx(lpszFilePath, lpszOutFolder, lpszOutName, nullptr, nullptr);
}

int MakeTextMime(LPCSTR szSubFile, LPCSTR lpszSecondFile)
{
    MD_ASSERT(szSubFile);
    if (!szSubFile || !lpszSecondFile || !FileExists(szSubFile) || !FileExists(lpszSecondFile))
        return 0;
    MIME_MESSAGE *msg = MimeCreate();
    if (!msg)
        return 0;
    const char *files[2] = {szSubFile, lpszSecondFile};
    for (const char *file : files) {
        char drive[MAX_PATH], dir[MAX_PATH], name[MAX_PATH], ext[MAX_PATH];
        char folder[MAX_PATH], fileName[MAX_PATH];
        msgfile::SplitPieces(file, drive, dir, name, ext);
        if (!msgfile::JoinPath(folder, drive, dir) || !msgfile::JoinPath(fileName, name, ext)) {
            MimeDestroy(msg);
            return 0;
        }
        MIME_PART_INFO info = {"text/plain", folder, fileName, nullptr};
        if (!MimeAddPart(msg, &info)) {
            MimeDestroy(msg);
            return 0;
        }
    }
    char drive[MAX_PATH], dir[MAX_PATH], folder[MAX_PATH];
    msgfile::SplitPieces(lpszSecondFile, drive, dir, nullptr, nullptr);
    int ok = msgfile::JoinPath(folder, drive, dir) ? MimeWriteFile(msg, folder, "newMime.dat") : 0;
    DWORD e = GetLastError();
    MimeDestroy(msg);
    SetLastError(e);
    return ok;
}
