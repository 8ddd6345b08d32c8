/*
 * Resources of registered modules.
 *
 * A module registers its compiled .res data at load.  The data is a sequence of records:
 *
 *   +0  DWORD DataSize      +4  DWORD HeaderSize
 *   +8  TYPE  (0xFFFF, WORD id) or a zero-terminated UTF-16 name
 *       NAME  (the same), then padding to a DWORD boundary
 *       DWORD DataVersion, WORD MemoryFlags, WORD LanguageId, DWORD Version, DWORD Characteristics
 *   +HeaderSize  DataSize bytes of data, then padding to a DWORD boundary
 *
 * The first record is an empty one (all zero).  Records come in any order.  Names compare
 * without regard to case, as Windows stores them upper-cased; "#123" names the integer 123.
 */
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "icon_private.h"
#include "compat/extensions.h"
#include "internal.h"
#include "resource_private.h"

namespace {

struct Module {
    std::vector<compat::ResEntry> entries;
    // Aligned copies of data that a malformed header left off a DWORD boundary: the readers
    // view resource data as Win32 structures, which Windows always hands out aligned.
    std::vector<std::unique_ptr<uint8_t[]>> copies;
};

std::mutex g_lock;
std::map<HMODULE, Module> g_modules;

uint32_t rd32(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }
uint16_t rd16(const uint8_t *p) { return (uint16_t)(p[0] | (p[1] << 8)); }

/* Reads a TYPE/NAME field; returns false when it runs past `end`. */
bool read_id(const uint8_t *&p, const uint8_t *end, compat::ResId &id)
{
    if (end - p < 2)
        return false;
    if (rd16(p) == 0xFFFF) {
        if (end - p < 4)
            return false;
        id.num = rd16(p + 2);
        id.name.clear();
        p += 4;
        return true;
    }
    id.num = -1;
    id.name.clear();
    while (end - p >= 2) {
        uint16_t c = rd16(p);
        p += 2;
        if (!c)
            return true;
        id.name += (char)compat::upper_1252(c < 256 ? (unsigned char)c : '?');
    }
    return false;
}

compat::ResId id_from(LPCSTR s)
{
    compat::ResId id;
    if (IS_INTRESOURCE(s)) {
        id.num = (int)(ULONG_PTR)s;
    } else if (s[0] == '#') {
        id.num = atoi(s + 1);
    } else {
        id.num = -1;
        for (const char *p = s; *p; ++p)
            id.name += (char)compat::upper_1252((unsigned char)*p);
    }
    return id;
}

}  // namespace

void compat_register_resources(HINSTANCE module, const void *data, size_t size)
{
    Module m;
    const uint8_t *p = (const uint8_t *)data, *end = p + size;
    while (end - p >= 32) {
        uint32_t dataSize = rd32(p), headerSize = rd32(p + 4);
        if (headerSize < 32 || headerSize > (size_t)(end - p) || dataSize > (size_t)(end - p) - headerSize)
            break;
        const uint8_t *q = p + 8, *hend = p + headerSize;
        compat::ResEntry e;
        if (!read_id(q, hend, e.type) || !read_id(q, hend, e.name))
            break;
        q = p + ((q - p + 3) & ~3);
        if (hend - q >= 16)
            e.language = rd16(q + 6);
        e.data = p + headerSize;
        e.size = dataSize;
        if (((uintptr_t)e.data & 3) && dataSize) {
            std::unique_ptr<uint8_t[]> copy(new uint8_t[dataSize]);
            memcpy(copy.get(), e.data, dataSize);
            e.data = copy.get();
            m.copies.push_back(std::move(copy));
        }
        if (!(e.type.num == 0 && e.name.num == 0 && dataSize == 0))
            m.entries.push_back(e);
        p += headerSize + ((dataSize + 3) & ~3u);
    }
    compat::icon_release_module(module);  // images of resources this block replaces
    std::lock_guard<std::mutex> g(g_lock);
    g_modules[module] = std::move(m);
}

void compat_unregister_resources(HINSTANCE module)
{
    compat::icon_release_module(module);
    std::lock_guard<std::mutex> g(g_lock);
    g_modules.erase(module);
}

namespace compat {

std::vector<HMODULE> registered_modules()
{
    std::lock_guard<std::mutex> g(g_lock);
    std::vector<HMODULE> out;
    for (auto &m : g_modules)
        out.push_back(m.first);
    return out;
}

const ResEntry *find_resource(HMODULE module, LPCSTR type, LPCSTR name, int language)
{
    if (!type || !name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ResId t = id_from(type), n = id_from(name);
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_modules.find(module);
    if (it == g_modules.end()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    bool typeSeen = false;
    const ResEntry *match = nullptr;
    for (const ResEntry &e : it->second.entries) {
        if (!(e.type == t))
            continue;
        typeSeen = true;
        if (!(e.name == n))
            continue;
        if (language < 0 || e.language == language)
            return &e;
        if (!match)
            match = &e;
    }
    if (match && language >= 0) {
        SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
        return nullptr;
    }
    SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

}  // namespace compat

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    return (HRSRC)compat::find_resource(module, type, name, -1);
}

HRSRC WINAPI FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language)
{
    return (HRSRC)compat::find_resource(module, type, name, language);
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC res)
{
    if (!res) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    return (HGLOBAL)((const compat::ResEntry *)res)->data;
}

LPVOID WINAPI LockResource(HGLOBAL data) { return data; }

DWORD WINAPI SizeofResource(HMODULE, HRSRC res)
{
    if (!res) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return ((const compat::ResEntry *)res)->size;
}

BOOL WINAPI FreeResource(HGLOBAL) { return FALSE; }

/* Windows: a zero-length buffer is an error (-1); otherwise at most cchBufferMax - 1 bytes are
 * copied, the buffer is always terminated, and the result counts the bytes copied (0 for an
 * id without a string).  Only the low 16 bits of the id count. */
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int max)
{
    if (!max)
        return -1;
    if (!buffer) {
        SetLastError(ERROR_NOACCESS);
        return 0;
    }
    int copied = 0;
    WORD low = LOWORD(id);
    const compat::ResEntry *e =
        compat::find_resource(instance, RT_STRING, MAKEINTRESOURCEA((low >> 4) + 1), -1);
    if (e) {
        const uint8_t *p = e->data, *end = e->data + e->size;
        for (unsigned i = low & 15; i && end - p >= 2; --i)
            p += 2 + 2 * (size_t)rd16(p);
        if (end - p >= 2) {
            unsigned count = rd16(p);
            p += 2;
            if ((size_t)(end - p) / 2 < count)
                count = (unsigned)((end - p) / 2);
            std::vector<WCHAR> w(count);
            for (unsigned i = 0; i < count; ++i)
                w[i] = rd16(p + 2 * i);
            if (max != 1 && count) {
                std::string narrow;
                int n = WideCharToMultiByte(CP_ACP, 0, w.data(), (int)count, NULL, 0, NULL, NULL);
                narrow.resize((size_t)n);
                WideCharToMultiByte(CP_ACP, 0, w.data(), (int)count, &narrow[0], n, NULL, NULL);
                copied = n < max - 1 ? n : max - 1;
                memcpy(buffer, narrow.data(), (size_t)copied);
            }
        }
    }
    buffer[copied] = 0;
    return copied;
}

BOOL WINAPI EnumResourceNamesA(HMODULE module, LPCSTR type, ENUMRESNAMEPROCA func, LONG_PTR lParam)
{
    if (!type || !func) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    compat::ResId t = id_from(type);
    std::vector<std::string> names;
    std::vector<int> ids;
    {
        std::lock_guard<std::mutex> g(g_lock);
        auto it = g_modules.find(module);
        if (it == g_modules.end()) {
            SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
            return FALSE;
        }
        for (const compat::ResEntry &e : it->second.entries) {
            if (!(e.type == t))
                continue;
            if (e.name.num >= 0)
                ids.push_back(e.name.num);
            else
                names.push_back(e.name.name);
        }
    }
    if (ids.empty() && names.empty()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    for (std::string &n : names) {
        if (!func(module, type, &n[0], lParam)) {
            SetLastError(ERROR_RESOURCE_ENUM_USER_STOP);
            return FALSE;
        }
    }
    for (int id : ids) {
        if (!func(module, type, MAKEINTRESOURCEA(id), lParam)) {
            SetLastError(ERROR_RESOURCE_ENUM_USER_STOP);
            return FALSE;
        }
    }
    return TRUE;
}
