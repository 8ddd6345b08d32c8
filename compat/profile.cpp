/*
 * Private profile (INI) files, read and written whole on every call.
 *
 * A file is a list of sections in file order; the lines before the first "[...]" form a
 * section with an empty name that no lookup by name reaches.  Each section keeps its lines in
 * order: keys ("name=value", or a bare "name" with no value) and other lines (blank lines,
 * ";" comments), which are written back unchanged.
 */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "internal.h"

namespace {

struct Line {
    bool isKey = false;
    bool hasValue = false;
    std::string name;   // key name (trimmed), or the raw line for other lines
    std::string value;  // trimmed
};

struct Section {
    std::string name;
    std::vector<Line> lines;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trim(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        b++;
    while (e > b && IsBlank(s[e - 1]))
        e--;
    return s.substr(b, e - b);
}

/* Stored names are kept trimmed; a name asked for is trimmed the same way, so that a section or
 * key written as " name " is found again under that spelling. */
bool SameName(const std::string &a, const char *b)
{
    while (IsBlank(*b))
        b++;
    size_t n = strlen(b);
    while (n > 0 && IsBlank(b[n - 1]))
        n--;
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; i++)
        if (compat::lower_1252((unsigned char)a[i]) != compat::lower_1252((unsigned char)b[i]))
            return false;
    return true;
}

/* Host path of the profile file: a bare or relative name lives in the Windows folder. */
std::string ProfilePath(const char *file, bool forWrite)
{
    std::string f = file ? file : "win.ini";
    bool full = (f.size() >= 2 && f[1] == ':') || (!f.empty() && (f[0] == '\\' || f[0] == '/'));
    if (full)
        return compat::host_path(f.c_str());
    std::string windir = compat::drive_root('C') + "/windows";
    if (forWrite)
        mkdir(windir.c_str(), 0755);
    for (char &c : f)
        if (c == '\\')
            c = '/';
    return windir + "/" + f;
}

/* Parses the file; false when it cannot be opened. */
bool Load(const std::string &path, std::vector<Section> &out)
{
    out.clear();
    FILE *fp = fopen(path.c_str(), "rb");
    if (!fp)
        return false;
    std::string text;
    char buf[8192];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, fp)) > 0)
        text.append(buf, n);
    fclose(fp);

    out.push_back(Section());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string raw = text.substr(pos, end - pos);
        pos = end + 1;
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        std::string t = Trim(raw);
        if (!t.empty() && t[0] == '[') {
            size_t close = t.rfind(']');
            Section s;
            s.name = Trim(close == std::string::npos ? t.substr(1) : t.substr(1, close - 1));
            out.push_back(std::move(s));
            continue;
        }
        Line l;
        if (t.empty() || t[0] == ';') {
            l.name = raw;
        } else {
            l.isKey = true;
            size_t eq = t.find('=');
            if (eq == std::string::npos) {
                l.name = t;
            } else {
                l.name = Trim(t.substr(0, eq));
                l.value = Trim(t.substr(eq + 1));
                l.hasValue = true;
            }
        }
        out.back().lines.push_back(std::move(l));
    }
    return true;
}

bool Save(const std::string &path, const std::vector<Section> &secs)
{
    std::string text;
    for (size_t i = 0; i < secs.size(); i++) {
        const Section &s = secs[i];
        if (i > 0)
            text += "[" + s.name + "]\r\n";
        for (const Line &l : s.lines) {
            text += l.name;
            if (l.isKey && l.hasValue)
                text += "=" + l.value;
            text += "\r\n";
        }
    }
    FILE *fp = fopen(path.c_str(), "wb");
    if (!fp) {
        SetLastError(compat::error_from_errno(errno));
        return false;
    }
    bool ok = fwrite(text.data(), 1, text.size(), fp) == text.size();
    ok = fclose(fp) == 0 && ok;
    if (!ok)
        SetLastError(ERROR_WRITE_FAULT);
    return ok;
}

Section *FindSection(std::vector<Section> &secs, const char *name)
{
    for (size_t i = 1; i < secs.size(); i++)
        if (SameName(secs[i].name, name))
            return &secs[i];
    return nullptr;
}

Line *FindKey(Section *s, const char *name)
{
    if (!s)
        return nullptr;
    for (Line &l : s->lines)
        if (l.isKey && SameName(l.name, name))
            return &l;
    return nullptr;
}

DWORD CopyOut(const std::string &v, LPSTR buf, DWORD size)
{
    size_t n = v.size() < size - 1 ? v.size() : size - 1;
    memcpy(buf, v.data(), n);
    buf[n] = 0;
    return (DWORD)n;
}

/* A zero-separated list ending in a second zero; nSize - 2 when cut short. */
DWORD CopyList(const std::vector<std::string> &names, LPSTR buf, DWORD size)
{
    if (size < 2) {
        buf[0] = 0;
        return 0;
    }
    DWORD free_ = size - 1;  // room before the final zero
    char *p = buf;
    for (const std::string &name : names) {
        DWORD l = (DWORD)name.size() + 1;
        if (l > free_) {
            if (free_ > 0) {
                memcpy(p, name.data(), free_ - 1);
                p += free_ - 1;
                *p++ = 0;
            }
            *p = 0;
            return size - 2;
        }
        memcpy(p, name.c_str(), l);
        p += l;
        free_ -= l;
    }
    *p = 0;
    return (DWORD)(p - buf);
}

}  // namespace

COMPAT_API DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                                 LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName)
{
    if (!lpReturnedString || nSize == 0)
        return 0;
    std::string def = lpDefault ? lpDefault : "";
    while (!def.empty() && def.back() == ' ')
        def.pop_back();

    std::vector<Section> secs;
    if (!Load(ProfilePath(lpFileName, false), secs)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        if (!lpAppName || !lpKeyName)
            return CopyList({}, lpReturnedString, nSize);
        return CopyOut(def, lpReturnedString, nSize);
    }
    if (!lpAppName) {
        std::vector<std::string> names;
        for (size_t i = 1; i < secs.size(); i++)
            if (!secs[i].name.empty())
                names.push_back(secs[i].name);
        return CopyList(names, lpReturnedString, nSize);
    }
    Section *s = FindSection(secs, lpAppName);
    if (!lpKeyName) {
        std::vector<std::string> names;
        if (s)
            for (const Line &l : s->lines)
                if (l.isKey && !l.name.empty())
                    names.push_back(l.name);
        return CopyList(names, lpReturnedString, nSize);
    }
    Line *k = FindKey(s, lpKeyName);
    if (!k || !k->hasValue)
        return CopyOut(def, lpReturnedString, nSize);
    std::string v = k->value;
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        v = v.substr(1, v.size() - 2);
    return CopyOut(v, lpReturnedString, nSize);
}

COMPAT_API UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName)
{
    if (!lpAppName || !lpKeyName)
        return (UINT)nDefault;
    char buf[64];
    if (GetPrivateProfileStringA(lpAppName, lpKeyName, "", buf, sizeof buf, lpFileName) == 0)
        return (UINT)nDefault;
    const char *p = buf;
    while (*p && (unsigned char)*p <= ' ')
        p++;
    bool neg = false;
    if (*p == '+' || *p == '-') {
        neg = *p == '-';
        p++;
    }
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (p[0] == '0' && (p[1] == 'o' || p[1] == 'O')) {
        base = 8;
        p += 2;
    } else if (p[0] == '0' && (p[1] == 'b' || p[1] == 'B')) {
        base = 2;
        p += 2;
    }
    uint32_t v = 0;
    for (;; p++) {
        unsigned d;
        if (*p >= '0' && *p <= '9')
            d = (unsigned)(*p - '0');
        else if (*p >= 'a' && *p <= 'f')
            d = (unsigned)(*p - 'a' + 10);
        else if (*p >= 'A' && *p <= 'F')
            d = (unsigned)(*p - 'A' + 10);
        else
            break;
        if (d >= base)
            break;
        v = v * base + d;
    }
    return neg ? (UINT)(0u - v) : (UINT)v;
}

COMPAT_API BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                                  LPCSTR lpFileName)
{
    if (!lpAppName && !lpKeyName && !lpString)
        return TRUE;  // the documented flush
    if (!lpAppName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string path = ProfilePath(lpFileName, true);
    std::vector<Section> secs;
    if (!Load(path, secs)) {
        if (!lpKeyName || !lpString)
            return TRUE;  // nothing to delete
        secs.assign(1, Section());
    }
    if (!lpKeyName) {
        for (size_t i = secs.size(); i-- > 1;)
            if (SameName(secs[i].name, lpAppName))
                secs.erase(secs.begin() + i);
        return Save(path, secs);
    }
    Section *s = FindSection(secs, lpAppName);
    if (!lpString) {
        if (!s)
            return TRUE;
        for (size_t i = 0; i < s->lines.size(); i++)
            if (s->lines[i].isKey && SameName(s->lines[i].name, lpKeyName)) {
                s->lines.erase(s->lines.begin() + i);
                break;
            }
        return Save(path, secs);
    }
    if (!s) {
        Section ns;
        ns.name = Trim(lpAppName);
        secs.push_back(std::move(ns));
        s = &secs.back();
    }
    const char *value = lpString;
    while (*value == ' ' || *value == '\t')
        value++;
    Line *k = FindKey(s, lpKeyName);
    if (!k) {
        Line l;
        l.isKey = true;
        l.name = Trim(lpKeyName);
        // New keys go after the section's last key, before trailing blank lines.
        size_t at = s->lines.size();
        while (at > 0 && !s->lines[at - 1].isKey && Trim(s->lines[at - 1].name).empty())
            at--;
        s->lines.insert(s->lines.begin() + at, std::move(l));
        k = &s->lines[at];
    }
    k->hasValue = true;
    k->value = value;
    return Save(path, secs);
}
