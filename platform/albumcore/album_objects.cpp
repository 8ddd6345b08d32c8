/*
 * Album handles: each a field table and the objects of one album, kept in memory between an
 * open and a save.  Invariant: every field an object holds is named in its handle's table
 * (opening a file whose table has fields the handle lacks adds them to the handle's table,
 * so that saving keeps them).
 */
#include <string.h>

#include <mutex>

#include <shlobj.h>

#include "album_private.h"
#include "fileio.h"

using album::Field;
using album::Object;

namespace {

struct Handle {
    DWORD owner = 0;
    std::vector<Field> table;
    std::vector<Object> objects;
    std::string path;  // the album file opened or created; "" for none
};

std::mutex g_lock;
std::map<int32_t, Handle> g_handles;
int32_t g_next = 1;

/* The handle, or null with ERROR_INVALID_HANDLE.  Call with g_lock held. */
Handle *Find(int32_t h)
{
    auto it = g_handles.find(h);
    if (it == g_handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

/* The object nIndex (from 1), or null with ERROR_INVALID_PARAMETER. */
Object *ObjectAt(Handle *a, int32_t nIndex)
{
    if (nIndex < 1 || (size_t)nIndex > a->objects.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return &a->objects[(size_t)nIndex - 1];
}

const Field *FieldNamed(const Handle *a, LPCSTR name)
{
    if (name)
        for (const Field &f : a->table)
            if (f.name == name)
                return &f;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

bool ValidPath(LPCSTR path)
{
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (strlen(path) > album::kMaxPath) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

/* The whole of a file, through the file streams. */
bool ReadAll(LPCSTR path, std::vector<uint8_t> *out)
{
    FIO_FILE *f = FioOpen(path, "rb");
    if (!f)
        return false;
    long long size = FioSize(f);
    if (size < 0 || (uint64_t)size > album::kMaxAlbumFile) {
        DWORD error = size < 0 ? FioLastError(f) : (DWORD)ERROR_FILE_TOO_LARGE;
        FioClose(f);
        SetLastError(error ? error : (DWORD)ERROR_READ_FAULT);
        return false;
    }
    out->resize((size_t)size);
    size_t got = out->empty() ? 0 : FioRead(f, out->data(), out->size());
    bool ok = got == out->size() && !FioError(f);
    DWORD error = ok ? ERROR_SUCCESS : (FioError(f) ? FioLastError(f) : (DWORD)ERROR_HANDLE_EOF);
    FioClose(f);
    SetLastError(error);
    return ok;
}

/* Writes a file whole or not at all: the bytes go to a new file beside `path`, renamed over it
 * once complete.  A read-only album is not replaced. */
bool WriteAll(LPCSTR path, const std::vector<uint8_t> &bytes)
{
    DWORD attrs = GetFileAttributesA(path);
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    FIO_FILE *f = FioCreateAtomic(path);
    if (!f)
        return false;
    if (!bytes.empty() && FioWrite(f, bytes.data(), bytes.size()) != bytes.size()) {
        DWORD error = FioLastError(f);
        FioClose(f);  // abandons the temporary file
        SetLastError(error);
        return false;
    }
    return FioCommit(f) == 1;
}

}  // namespace

int32_t ABM_Create(DWORD dwOwner, const ABM_FIELDDEF *pFields, int32_t nFields)
{
    if (!pFields || nFields < 1 || (size_t)nFields > album::kMaxFields) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    Handle a;
    a.owner = dwOwner;
    for (int32_t i = 0; i < nFields; ++i) {
        const ABM_FIELDDEF &d = pFields[i];
        const char *end = (const char *)memchr(d.szName, 0, sizeof d.szName);
        if (!end || end == d.szName || d.dwKind > 1) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return -1;
        }
        Field f;
        f.kind = d.dwKind;
        f.size = d.dwSize;
        f.name.assign(d.szName, end);
        for (const Field &g : a.table)
            if (g.name == f.name) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return -1;
            }
        a.table.push_back(f);
    }
    std::lock_guard<std::mutex> g(g_lock);
    while (g_handles.count(g_next) || g_next <= 0)
        g_next = g_next == INT32_MAX ? 1 : g_next + 1;
    int32_t h = g_next++;
    g_handles[h] = std::move(a);
    return h;
}

int ABM_Release(int32_t hAlbum)
{
    std::lock_guard<std::mutex> g(g_lock);
    if (!Find(hAlbum))
        return 0;
    g_handles.erase(hAlbum);
    return 1;
}

int ABM_NewAlbum(int32_t hAlbum)
{
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    if (!a)
        return 0;
    a->objects.clear();
    a->path.clear();
    return 1;
}

int ABM_CreateAlbumFile(int32_t hAlbum, LPCSTR lpszPath)
{
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    if (!a || !ValidPath(lpszPath))
        return 0;
    if (GetFileAttributesA(lpszPath) != INVALID_FILE_ATTRIBUTES) {
        SetLastError(ERROR_FILE_EXISTS);
        return 0;
    }
    if (!WriteAll(lpszPath, album::Encode(a->table, {})))
        return 0;
    a->objects.clear();
    a->path = lpszPath;
    return 1;
}

int ABM_OpenAlbum(int32_t hAlbum, LPCSTR lpszPath)
{
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    if (!a || !ValidPath(lpszPath))
        return 0;
    std::vector<uint8_t> bytes;
    if (!ReadAll(lpszPath, &bytes))
        return 0;
    std::vector<Field> table;
    std::vector<Object> objects;
    DWORD error = 0;
    if (!album::Decode(bytes.data(), bytes.size(), &table, &objects, &error)) {
        SetLastError(error);
        return 0;
    }
    for (const Field &f : table) {
        bool known = false;
        for (const Field &g : a->table)
            known = known || g.name == f.name;
        if (!known)
            a->table.push_back(f);
    }
    a->objects = std::move(objects);
    a->path = lpszPath;
    return 1;
}

int ABM_SaveAlbum(int32_t hAlbum, LPCSTR lpszPath)
{
    std::vector<uint8_t> bytes;
    {
        std::lock_guard<std::mutex> g(g_lock);
        Handle *a = Find(hAlbum);
        if (!a || !ValidPath(lpszPath))
            return 0;
        bytes = album::Encode(a->table, a->objects);
    }
    return WriteAll(lpszPath, bytes) ? 1 : 0;
}

int ABM_CloseAlbum(int32_t hAlbum)
{
    return ABM_NewAlbum(hAlbum);
}

int ABM_GetAlbumPath(int32_t hAlbum, LPSTR lpszBuf, int32_t nSize)
{
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    if (!a)
        return 0;
    if (!lpszBuf || nSize <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpszBuf[0] = 0;
    if (a->path.empty()) {
        SetLastError(ERROR_NOT_FOUND);
        return 0;
    }
    if (a->path.size() >= (size_t)nSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpszBuf, a->path.c_str(), a->path.size() + 1);
    return 1;
}

int32_t ABM_GetObjectCount(int32_t hAlbum)
{
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    return a ? (int32_t)a->objects.size() : -1;
}

int32_t ABM_InsertObject(int32_t hAlbum, LPCSTR lpszFile, int32_t nPos, DWORD dwFlags)
{
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    if (!a || !ValidPath(lpszFile))
        return -1;
    if (dwFlags != 0 || (nPos != -1 && (nPos < 1 || (size_t)nPos > a->objects.size() + 1))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    DWORD attrs = GetFileAttributesA(lpszFile);
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return -1;  // the reason is GetFileAttributesA's
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
        SetLastError(ERROR_DIRECTORY);
        return -1;
    }
    Object o;
    o.path = lpszFile;
    size_t at = nPos == -1 ? a->objects.size() : (size_t)nPos - 1;
    a->objects.insert(a->objects.begin() + (ptrdiff_t)at, std::move(o));
    return (int32_t)at + 1;
}

int ABM_DeleteObject(int32_t hAlbum, int32_t nIndex, DWORD dwFlags)
{
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    if (!a || !ObjectAt(a, nIndex))
        return 0;
    if (dwFlags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    a->objects.erase(a->objects.begin() + (nIndex - 1));
    return 1;
}

int ABM_GetImageRecord(int32_t hAlbum, int32_t nIndex, CAlbumImage *pImage)
{
    if (!pImage) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    memset(pImage, 0, sizeof *pImage);
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    Object *o = a ? ObjectAt(a, nIndex) : nullptr;
    if (!o)
        return 0;
    pImage->nIndex = nIndex;
    memcpy(pImage->szPath, o->path.c_str(), o->path.size() + 1);
    return 1;
}

int ABM_GetImageNameBuf(int32_t hAlbum, int32_t nIndex, LPSTR lpszBuf)
{
    if (!lpszBuf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpszBuf[0] = 0;
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    Object *o = a ? ObjectAt(a, nIndex) : nullptr;
    if (!o)
        return 0;
    memcpy(lpszBuf, o->path.c_str(), o->path.size() + 1);
    return 1;
}

int ABM_SetFieldData(int32_t hAlbum, int32_t nIndex, LPCSTR lpszField, const void *pData, DWORD cb)
{
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    Object *o = a ? ObjectAt(a, nIndex) : nullptr;
    const Field *f = o ? FieldNamed(a, lpszField) : nullptr;
    if (!f)
        return 0;
    if ((cb && !pData) || cb > album::FieldLimit(*f)) {
        SetLastError(cb > album::FieldLimit(*f) ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
        return 0;
    }
    const uint8_t *p = (const uint8_t *)pData;
    o->fields[f->name].assign(p, p + cb);
    return 1;
}

int ABM_GetFieldData(int32_t hAlbum, int32_t nIndex, LPCSTR lpszField, void *pBuf, DWORD *pcb)
{
    std::lock_guard<std::mutex> g(g_lock);
    Handle *a = Find(hAlbum);
    Object *o = a ? ObjectAt(a, nIndex) : nullptr;
    const Field *f = o ? FieldNamed(a, lpszField) : nullptr;
    if (!f)
        return 0;
    if (!pcb || (*pcb && !pBuf)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto it = o->fields.find(f->name);
    if (it == o->fields.end()) {
        SetLastError(ERROR_NOT_FOUND);
        return 0;
    }
    DWORD need = (DWORD)it->second.size();
    if (*pcb < need) {
        *pcb = need;
        SetLastError(ERROR_MORE_DATA);
        return 0;
    }
    if (need)
        memcpy(pBuf, it->second.data(), need);
    *pcb = need;
    return 1;
}

int ABM_GetDefaultFolder(LPSTR lpszBuf)
{
    if (!lpszBuf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpszBuf[0] = 0;
    char folder[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("MEDLEY_ALBUM_FOLDER", folder, sizeof folder);
    std::string path;
    if (n && n < sizeof folder) {
        path = folder;
    } else {
        char docs[MAX_PATH];
        if (SHGetFolderPathA(NULL, 5 /* CSIDL_PERSONAL */, NULL, 0, docs) != S_OK)
            return 0;
        path = std::string(docs) + "\\My Albums";
    }
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    if (path.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    // Made folder by folder from the root; each one that exists already is passed over.
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\' || path[i] == '/')
            CreateDirectoryA(path.substr(0, i).c_str(), NULL);
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(attrs == INVALID_FILE_ATTRIBUTES ? ERROR_PATH_NOT_FOUND : ERROR_DIRECTORY);
        return 0;
    }
    memcpy(lpszBuf, path.c_str(), path.size() + 1);
    return 1;
}
