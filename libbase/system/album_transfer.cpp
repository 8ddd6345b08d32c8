/*
 * Album transfer through the album library.
 *
 * Neither operation deletes an album file before its replacement is complete: the album
 * library writes an album whole or not at all (beside the old file, then renamed over it), so
 * a failed save leaves the album file as it was.
 */
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "album.h"
#include "basemem.h"
#include "sysinfo.h"

namespace {

struct FieldRow {
    const char *name;
    uint32_t kind, size;
};

const FieldRow kFields[ALBUM_FIELD_COUNT] = {
    {"THUMBDIB", 1, 0},
    {"FILENAME", 0, 260},
    {"THUMBDESCRIPTION", 0, 260},
    {ALBUM_USER1, 0, 20},
    {ALBUM_USER2, 0, 20},
    {ALBUM_USER3, 0, 20},
    {"MB_ABMFLD_AUDIO", 0, 260},
    {"FIELINFORMITION", 0, 100},
    {"MB_ABMFLD_CD_RELATIVEFILENAME", 0, 260},
    {"MB_ABMFLD_CD_ISOBJECTFOLDER", 0, 1},
};

const char *const kUserFields[] = {ALBUM_USER1, ALBUM_USER2, ALBUM_USER3};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

/* Offsets of the path's separators, double-byte characters stepped over. */
std::vector<size_t> Separators(const char *path)
{
    std::vector<size_t> at;
    for (const char *p = path; *p;) {
        if (IsSeparator(*p))
            at.push_back((size_t)(p - path));
        p = IsDBCSLeadByte((BYTE)*p) && p[1] ? p + 2 : p + 1;
    }
    return at;
}

bool PutPath(LPSTR buf, const std::string &s)
{
    if (s.size() >= MAX_PATH) {
        buf[0] = 0;
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    memcpy(buf, s.c_str(), s.size() + 1);
    return true;
}

bool SetText(int32_t h, int32_t index, const char *field, const std::string &text)
{
    return ABM_SetFieldData(h, index, field, text.c_str(), (DWORD)text.size() + 1) != 0;
}

/* Stores one record in its album.  False at the first failing step (last error set). */
bool InsertOne(DWORD dwOwner, const CONTINFO &rec, const std::string &tempAlbum)
{
    // A text the record uses must end inside its field.
    if ((rec.wType == 1 || rec.wType == 2) && !memchr(rec.szText, 0, sizeof rec.szText)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (FileExists(tempAlbum.c_str()))
        DeleteFileA(tempAlbum.c_str());
    char abm[MAX_PATH];
    if (!GetAlbumFileOf(&rec, abm))
        return false;
    int32_t h = CreateAlbumHandle(dwOwner);
    if (h < 0)
        return false;
    bool ok = false;
    DWORD error = ERROR_SUCCESS;
    do {
        if (!FileExists(abm) && !(ABM_NewAlbum(h) && ABM_CreateAlbumFile(h, abm)))
            break;
        if (!ABM_OpenAlbum(h, abm))
            break;
        // The older entry for the same file goes first (only the first one found).
        const char *lookup = rec.wType == 2 ? rec.szText : rec.szFile;
        int32_t count = ABM_GetObjectCount(h);
        bool removed = true;
        for (int32_t i = 1; i <= count; ++i) {
            char path[MAX_PATH];
            if (ABM_GetImageName(h, i, path) && !strcmp(path, lookup)) {
                removed = ABM_DeleteObject(h, i, 0) != 0;
                break;
            }
        }
        if (!removed)
            break;
        int32_t index = ABM_InsertObject(h, rec.szFile, -1, 0);
        if (index < 0)
            break;
        char user2[32], user3[32];
        snprintf(user2, sizeof user2, "%d/%d", (int)rec.nValue2, (int)rec.nValue1);
        snprintf(user3, sizeof user3, "%d/%d", (int)rec.nValue3, (int)rec.nValue4);
        if (rec.wType >= 1 && rec.wType <= 5 && !SetText(h, index, ALBUM_USER1, rec.wType == 1 ? rec.szText : ""))
            break;
        if (!SetText(h, index, ALBUM_USER2, user2) || !SetText(h, index, ALBUM_USER3, user3))
            break;
        // Through the temporary copy; the album file is replaced only by a whole album.
        if (!ABM_SaveAlbum(h, tempAlbum.c_str()) || !ABM_CloseAlbum(h) || !ABM_OpenAlbum(h, tempAlbum.c_str()) ||
            !ABM_SaveAlbum(h, abm))
            break;
        ok = true;
    } while (0);
    if (!ok)
        error = GetLastError();
    ABM_Release(h);
    SetLastError(error);
    return ok;
}

}  // namespace

void GetAlbumFieldTable(ABM_FIELDDEF table[ALBUM_FIELD_COUNT])
{
    memset(table, 0, sizeof(ABM_FIELDDEF) * ALBUM_FIELD_COUNT);
    for (int i = 0; i < ALBUM_FIELD_COUNT; ++i) {
        table[i].dwKind = kFields[i].kind;
        table[i].dwSize = kFields[i].size;
        strcpy(table[i].szName, kFields[i].name);
        strcpy(table[i].szName2, kFields[i].name);
    }
}

int32_t CreateAlbumHandle(DWORD dwOwner)
{
    ABM_FIELDDEF table[ALBUM_FIELD_COUNT];
    GetAlbumFieldTable(table);
    return ABM_Create(dwOwner, table, ALBUM_FIELD_COUNT);
}

int GetAlbumFileOf(const CONTINFO *lpContInfo, LPSTR lpszAbmFile)
{
    if (!lpContInfo || !lpszAbmFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpszAbmFile[0] = 0;
    const char *file = lpContInfo->szFile;
    if (!memchr(file, 0, sizeof lpContInfo->szFile)) {
        SetLastError(ERROR_BAD_PATHNAME);
        return 0;
    }
    // From the end: the file, the object folder, then the album's name.  The first character
    // never counts (a network path's first backslash).
    std::vector<size_t> seps = Separators(file);
    while (!seps.empty() && seps.front() == 0)
        seps.erase(seps.begin());
    if (seps.size() < 3) {
        SetLastError(ERROR_BAD_PATHNAME);
        return 0;
    }
    size_t cut = seps[seps.size() - 2], nameStart = seps[seps.size() - 3] + 1;
    std::string albumFolder(file, cut);
    std::string name(file + nameStart, cut - nameStart);
    std::string folder = albumFolder;
    if (lpContInfo->wType == 3 || lpContInfo->wType == 4) {
        char own[MAX_PATH];
        if (!ABM_GetDefaultFolder(own))
            return 0;
        folder = own;
    }
    return PutPath(lpszAbmFile, folder + "\\" + name + ".abm") ? 1 : 0;
}

int InsertIntoAlbums(DWORD dwOwner, const CONTINFO *lpContInfo, int32_t nCount)
{
    MD_ASSERT(lpContInfo);
    if (!lpContInfo)
        return 0;
    MD_ASSERT(lpContInfo->szFile[0]);
    if (!memchr(lpContInfo->szFile, 0, sizeof lpContInfo->szFile)) {
        SetLastError(ERROR_BAD_PATHNAME);
        return 0;
    }
    if (!FileExists(lpContInfo->szFile)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    char temp[MAX_PATH];
    if (!MakeTempPath(temp, "abmTemp.abm"))
        return 0;  // with the reason
    int stored = 0;
    DWORD error = ERROR_SUCCESS;
    for (int32_t i = 0; i < nCount; ++i) {
        if (!InsertOne(dwOwner, lpContInfo[i], temp)) {
            error = GetLastError();
            break;
        }
        ++stored;
    }
    if (FileExists(temp))
        DeleteFileA(temp);
    SetLastError(error);
    return stored;
}

int RebaseAlbum(DWORD dwOwner, LPCSTR lpszAbmFile, int32_t hSource)
{
    MD_ASSERT(lpszAbmFile);
    if (!lpszAbmFile)
        return 0;
    char drive[MAX_PATH], dir[MAX_PATH], name[MAX_PATH], ext[MAX_PATH];
    SplitPath(lpszAbmFile, drive, dir, name, ext);
    std::string folder = std::string(drive) + dir;
    std::string temp = folder + name + "_tmp" + ext;
    if (temp.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    if (FileExists(temp.c_str())) {
        SetLastError(ERROR_ALREADY_EXISTS);  // an earlier rebuild did not end
        return 0;
    }
    int32_t hNew = CreateAlbumHandle(dwOwner);
    if (hNew < 0)
        return 0;
    if (!ABM_NewAlbum(hNew) || !ABM_CreateAlbumFile(hNew, temp.c_str())) {
        DWORD error = GetLastError();
        ABM_Release(hNew);
        SetLastError(error);
        return 0;
    }
    bool ok = false;
    do {
        if (!ABM_OpenAlbum(hSource, lpszAbmFile) || !ABM_OpenAlbum(hNew, temp.c_str()))
            break;
        int32_t count = ABM_GetObjectCount(hSource);
        bool copied = true;
        for (int32_t i = 1; i <= count && copied; ++i) {
            char path[MAX_PATH];
            if (!ABM_GetImageName(hSource, i, path))
                continue;
            // The object folder and the file name, under the album's folder.  A path without
            // them has nothing to move: it is kept as it is.
            std::vector<size_t> seps = Separators(path);
            std::string moved = seps.size() < 2 ? std::string(path) : folder + (path + seps[seps.size() - 2] + 1);
            if (moved.size() >= MAX_PATH || !FileExists(moved.c_str()))
                continue;  // not there: dropped
            int32_t index = ABM_InsertObject(hNew, moved.c_str(), -1, 0);
            copied = index >= 0;
            for (const char *field : kUserFields) {
                char data[MAX_PATH];
                DWORD cb = sizeof data;
                if (!copied || !ABM_GetFieldData(hSource, i, field, data, &cb))
                    continue;
                size_t len = strnlen(data, cb);
                copied = ABM_SetFieldData(hNew, index, field, data, (DWORD)(len < cb ? len + 1 : cb)) != 0;
            }
        }
        if (!copied)
            break;
        char check[MAX_PATH];
        ABM_GetAlbumPath(hNew, check, sizeof check);
        ABM_CloseAlbum(hSource);
        ok = ABM_SaveAlbum(hNew, lpszAbmFile) != 0;  // replaces the album only when whole
    } while (0);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    DeleteFileA(temp.c_str());
    ABM_Release(hNew);
    SetLastError(error);
    return ok ? 1 : 0;
}
