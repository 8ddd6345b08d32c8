/*
 * The registry, kept in files.
 *
 * Each hive lives in one text file under the folder named by MEDLEY_REGISTRY_DIR (default
 * $XDG_CONFIG_HOME/medley/registry, else ~/.config/medley/registry): "user.reg" for
 * HKEY_CURRENT_USER, "machine.reg" for HKEY_LOCAL_MACHINE.  A hive is read on first use (and
 * again when the folder setting changes) and written whole, through a temporary file and a
 * rename, after every change.  File layout, one record a line:
 *
 *   key <path-hex>                       a key; "A\B" is the path from the hive root
 *   val <type> <name-hex> <data-hex>     a value of the key last named (name "" = default)
 *
 * Hex keeps any byte of names and data intact.  In memory a hive maps the lower-cased key path
 * to the key; a key exists exactly when it has an entry (its parents always do too).
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <map>
#include <sstream>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"

namespace {

struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

struct Key {
    std::string name;                   // path as first created
    std::map<std::string, Value> values;  // by lower-cased name
};

struct Hive {
    const char *file;
    std::string loaded_from;  // folder the hive was read from ("" = not yet)
    std::map<std::string, Key> keys;
};

struct Open {
    int hive;
    std::string path;  // lower-cased
    REGSAM access;
};

std::recursive_mutex g_lock;
Hive g_hives[2] = {{"user.reg", "", {}}, {"machine.reg", "", {}}};
std::map<uintptr_t, Open> g_open;
uintptr_t g_next = 0x1000;

std::string lower(const std::string &s)
{
    std::string out(s);
    for (char &c : out)
        c = (char)compat::lower_1252((unsigned char)c);
    return out;
}

std::string registry_dir()
{
    if (const char *d = getenv("MEDLEY_REGISTRY_DIR"); d && *d)
        return d;
    std::string base;
    if (const char *x = getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else
        base = compat::home_folder() + "/.config";
    return base + "/medley/registry";
}

void make_dirs(const std::string &dir)
{
    for (size_t i = 1; i <= dir.size(); ++i)
        if (i == dir.size() || dir[i] == '/')
            mkdir(dir.substr(0, i).c_str(), 0755);
}

std::string to_hex(const void *p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    const BYTE *b = (const BYTE *)p;
    for (size_t i = 0; i < n; ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s.empty() ? "-" : s;
}

bool from_hex(const std::string &s, std::vector<BYTE> &out)
{
    out.clear();
    if (s == "-")
        return true;
    if (s.size() % 2)
        return false;
    for (size_t i = 0; i < s.size(); i += 2) {
        auto nib = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            return -1;
        };
        int hi = nib(s[i]), lo = nib(s[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back((BYTE)(hi * 16 + lo));
    }
    return true;
}

Hive &hive(int which)
{
    Hive &h = g_hives[which];
    std::string dir = registry_dir();
    if (h.loaded_from == dir)
        return h;
    h.keys.clear();
    h.loaded_from = dir;
    h.keys[""] = Key{"", {}};
    FILE *f = fopen((dir + "/" + h.file).c_str(), "r");
    if (!f)
        return h;
    std::string line;
    Key *cur = NULL;
    for (int ch; (ch = fgetc(f)) != EOF;) {
        if (ch != '\n') {
            line += (char)ch;
            continue;
        }
        std::istringstream in(line);
        line.clear();
        std::string kind, a, b, c;
        in >> kind >> a;
        std::vector<BYTE> name, data;
        if (kind == "key" && from_hex(a, name)) {
            std::string n(name.begin(), name.end());
            cur = &h.keys[lower(n)];
            cur->name = n;
        } else if (kind == "val" && cur && (in >> b >> c) && from_hex(b, name) && from_hex(c, data)) {
            std::string n(name.begin(), name.end());
            cur->values[lower(n)] = Value{n, (DWORD)strtoul(a.c_str(), NULL, 10), data};
        }
    }
    fclose(f);
    return h;
}

bool save(int which)
{
    Hive &h = g_hives[which];
    std::string dir = registry_dir();
    make_dirs(dir);
    std::string path = dir + "/" + h.file, tmp = path + ".new";
    if (compat::should_fail("file"))
        return false;
    FILE *f = fopen(tmp.c_str(), "w");
    if (!f)
        return false;
    for (auto &kv : h.keys) {
        fprintf(f, "key %s\n", to_hex(kv.second.name.data(), kv.second.name.size()).c_str());
        for (auto &v : kv.second.values)
            fprintf(f, "val %u %s %s\n", (unsigned)v.second.type,
                    to_hex(v.second.name.data(), v.second.name.size()).c_str(),
                    to_hex(v.second.data.data(), v.second.data.size()).c_str());
    }
    bool ok = fclose(f) == 0;
    return ok && rename(tmp.c_str(), path.c_str()) == 0;
}

/* Resolves a handle to (hive, path); false for an unknown handle. */
bool resolve(HKEY key, int &which, std::string &path, REGSAM *access = NULL)
{
    if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) {
        which = key == HKEY_CURRENT_USER ? 0 : 1;
        path.clear();
        if (access)
            *access = KEY_ALL_ACCESS;
        return true;
    }
    auto it = g_open.find((uintptr_t)key);
    if (it == g_open.end())
        return false;
    which = it->second.hive;
    path = it->second.path;
    if (access)
        *access = it->second.access;
    return true;
}

/* Normalises a sub-key: separators trimmed at both ends, empty pieces dropped.  A sub-key
 * starting with "\" is invalid, as on Windows. */
bool join(const std::string &base, const char *sub, std::string &out_name)
{
    std::string s = sub ? sub : "";
    if (!s.empty() && s[0] == '\\')
        return false;
    std::string joined = base;
    std::string piece;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == '\\') {
            if (!piece.empty())
                joined += (joined.empty() ? "" : "\\") + piece;
            piece.clear();
        } else {
            piece += s[i];
        }
    }
    out_name = joined;
    return true;
}

HKEY new_handle(int which, const std::string &path, REGSAM access)
{
    uintptr_t h = g_next;
    g_next += 4;
    g_open[h] = Open{which, lower(path), access};
    return (HKEY)h;
}

/* Locates the key named by a handle and a sub-key: its hive and the joined path.  The base
 * part keeps the case the key was created with (the handle knows it lower-cased only), the
 * sub-key part is as given.  The named key need not exist; the key behind the handle must. */
LSTATUS locate(HKEY key, const char *sub, int &which, std::string &full)
{
    std::string base;
    if (!resolve(key, which, base))
        return ERROR_INVALID_HANDLE;
    Hive &h = hive(which);
    auto bit = h.keys.find(base);
    if (bit == h.keys.end())
        return ERROR_KEY_DELETED;
    if (!join(bit->second.name, sub, full))
        return ERROR_BAD_PATHNAME;
    return ERROR_SUCCESS;
}

/* The key behind a handle, for work on its values; the handle must grant `need`. */
LSTATUS open_key(HKEY key, REGSAM need, int &which, Key *&out)
{
    std::string path;
    REGSAM access;
    if (!resolve(key, which, path, &access))
        return ERROR_INVALID_HANDLE;
    if (!(access & need))
        return ERROR_ACCESS_DENIED;
    Hive &h = hive(which);
    auto kit = h.keys.find(path);
    if (kit == h.keys.end())
        return ERROR_KEY_DELETED;
    out = &kit->second;
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR sub, DWORD, LPSTR, DWORD, REGSAM sam,
                               const LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    if (compat::should_fail("registry"))
        return ERROR_ACCESS_DENIED;
    std::lock_guard<std::recursive_mutex> g(g_lock);
    int which;
    std::string full;
    if (LSTATUS st = locate(hKey, sub, which, full); st != ERROR_SUCCESS)
        return st;
    Hive &h = hive(which);
    bool created = false;
    std::string partial;
    size_t start = 0;
    while (start <= full.size() && !full.empty()) {
        size_t end = full.find('\\', start);
        if (end == std::string::npos)
            end = full.size();
        partial = full.substr(0, end);
        std::string lp = lower(partial);
        if (!h.keys.count(lp)) {
            h.keys[lp] = Key{partial, {}};
            created = true;
        }
        start = end + 1;
    }
    if (created && !save(which)) {
        h.loaded_from.clear();  // drop what could not be kept
        return ERROR_ACCESS_DENIED;
    }
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = new_handle(which, full, sam ? sam : KEY_ALL_ACCESS);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyA(HKEY hKey, LPCSTR sub, PHKEY result)
{
    return RegCreateKeyExA(hKey, sub, 0, NULL, 0, KEY_ALL_ACCESS, NULL, result, NULL);
}

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR sub, DWORD, REGSAM sam, PHKEY result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::recursive_mutex> g(g_lock);
    int which;
    std::string full;
    if (LSTATUS st = locate(hKey, sub, which, full); st != ERROR_SUCCESS)
        return st;
    if (!hive(which).keys.count(lower(full)))
        return ERROR_FILE_NOT_FOUND;
    *result = new_handle(which, full, sam);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegOpenKeyA(HKEY hKey, LPCSTR sub, PHKEY result)
{
    return RegOpenKeyExA(hKey, sub, 0, KEY_ALL_ACCESS, result);
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD cb)
{
    if ((data && !cb) || reserved)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::recursive_mutex> g(g_lock);
    int which;
    Key *key;
    if (LSTATUS st = open_key(hKey, KEY_QUERY_VALUE, which, key); st != ERROR_SUCCESS)
        return st;
    auto vit = key->values.find(lower(name ? name : ""));
    if (vit == key->values.end())
        return ERROR_FILE_NOT_FOUND;
    const Value &v = vit->second;
    if (type)
        *type = v.type;
    DWORD need = (DWORD)v.data.size();
    if (!cb)
        return ERROR_SUCCESS;
    if (data && *cb < need) {
        *cb = need;
        return ERROR_MORE_DATA;
    }
    if (data && need)
        memcpy(data, v.data.data(), need);
    *cb = need;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR name, DWORD, DWORD type, const BYTE *data, DWORD cb)
{
    if (!data && cb)
        return ERROR_NOACCESS;
    std::lock_guard<std::recursive_mutex> g(g_lock);
    int which;
    Key *key;
    if (LSTATUS st = open_key(hKey, KEY_SET_VALUE, which, key); st != ERROR_SUCCESS)
        return st;
    std::vector<BYTE> bytes(data, data + cb);
    if ((type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) && cb && data[cb - 1])
        bytes.push_back(0);  // a string counted without its terminator keeps one
    std::string n = name ? name : "";
    key->values[lower(n)] = Value{n, type, bytes};
    if (!save(which)) {
        g_hives[which].loaded_from.clear();
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR name)
{
    std::lock_guard<std::recursive_mutex> g(g_lock);
    int which;
    Key *key;
    if (LSTATUS st = open_key(hKey, KEY_SET_VALUE, which, key); st != ERROR_SUCCESS)
        return st;
    if (!key->values.erase(lower(name ? name : "")))
        return ERROR_FILE_NOT_FOUND;
    return save(which) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR sub)
{
    if (!sub)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::recursive_mutex> g(g_lock);
    int which;
    std::string full;
    if (LSTATUS st = locate(hKey, sub, which, full); st != ERROR_SUCCESS)
        return st;
    Hive &h = hive(which);
    std::string lf = lower(full);
    if (lf.empty())
        return ERROR_ACCESS_DENIED;  // a hive root is not deleted
    if (!h.keys.count(lf))
        return ERROR_FILE_NOT_FOUND;
    auto first = h.keys.lower_bound(lf + "\\");
    if (first != h.keys.end() && first->first.compare(0, lf.size() + 1, lf + "\\") == 0)
        return ERROR_ACCESS_DENIED;  // subkeys remain
    h.keys.erase(lf);
    return save(which) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    std::lock_guard<std::recursive_mutex> g(g_lock);
    return g_open.erase((uintptr_t)hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
