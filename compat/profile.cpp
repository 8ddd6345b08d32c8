/*
 * Private profile (INI) files, read and written whole on every call.  The file's text is
 * parsed in place (a thread keeps its text and line buffers between calls), so a call does
 * not allocate per line.
 *
 * A file is a list of sections in file order; the lines before the first "[...]" form a
 * section with an empty name that no lookup by name reaches.  Each section keeps its lines in
 * order: keys ("name=value", or a bare "name" with no value) and other lines (blank lines,
 * ";" comments), which are written back unchanged.
 */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view TrimView(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        b++;
    while (e > b && IsBlank(s[e - 1]))
        e--;
    return s.substr(b, e - b);
}

std::string Trim(const std::string &s) { return std::string(TrimView(s)); }

/* Stored names are kept trimmed; a name asked for is trimmed the same way, so that a section or
 * key written as " name " is found again under that spelling. */
bool SameName(std::string_view a, const char *b)
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

/* One line of the text as the parser sees it. */
struct LineView {
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::string_view raw;    // the line without its end (and without a final '\r')
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // trimmed
    bool hasValue = false;
};

/* Takes the line starting at *pos and moves *pos past it. */
LineView NextLine(std::string_view text, size_t *pos)
{
    LineView l;
    size_t end = text.find('\n', *pos);
    if (end == std::string_view::npos)
        end = text.size();
    std::string_view raw = text.substr(*pos, end - *pos);
    *pos = end + 1;
    if (!raw.empty() && raw.back() == '\r')
        raw.remove_suffix(1);
    l.raw = raw;
    std::string_view t = TrimView(raw);
    if (!t.empty() && t[0] == '[') {
        size_t close = t.rfind(']');
        l.kind = LineView::kSection;
        l.name = TrimView(close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1));
    } else if (!t.empty() && t[0] != ';') {
        l.kind = LineView::kKey;
        size_t eq = t.find('=');
        if (eq == std::string_view::npos) {
            l.name = t;
        } else {
            l.name = TrimView(t.substr(0, eq));
            l.value = TrimView(t.substr(eq + 1));
            l.hasValue = true;
        }
    }
    return l;
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

/* The text of a file, read whole into a buffer that a thread keeps between calls (grown,
 * never cleared): a read allocates and fills nothing it does not need. */
class FileText {
public:
    /* False when the file cannot be opened.  Plain descriptor calls: no stream buffer. */
    bool Read(const std::string &path)
    {
        m_size = 0;
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        // A regular file is read at its size in one call where it can be; anything else (or
        // a file that changes meanwhile) until its end.
        struct stat st;
        size_t known = 0;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
            known = (size_t)st.st_size;
        bool ok = Reserve(known ? known : 8192);
        while (ok) {
            if (m_size == m_cap && !(ok = Reserve(m_cap * 2)))
                break;
            ssize_t n = read(fd, m_data.get() + m_size, m_cap - m_size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            m_size += (size_t)n;
            if (known && m_size == known)
                break;
        }
        close(fd);
        if (!ok)
            m_size = 0;  // no memory for it: read as empty, as an unreadable file
        return true;
    }
    std::string_view Text() const { return std::string_view(m_data.get(), m_size); }

private:
    bool Reserve(size_t cap)
    {
        if (cap <= m_cap)
            return true;
        std::unique_ptr<char[]> bigger(new (std::nothrow) char[cap]);
        if (!bigger)
            return false;
        if (m_size)
            memcpy(bigger.get(), m_data.get(), m_size);
        m_data = std::move(bigger);
        m_cap = cap;
        return true;
    }
    std::unique_ptr<char[]> m_data;
    size_t m_cap = 0, m_size = 0;
};

FileText &ThreadText()
{
    thread_local FileText text;
    return text;
}

/* The file's lines, parsed in place: the form a change edits.  The views point into the
 * thread's file text (or into strings the caller keeps for new lines).  False when the file
 * cannot be opened. */
bool LoadLines(const std::string &path, std::vector<LineView> &out)
{
    out.clear();
    FileText &text = ThreadText();
    if (!text.Read(path))
        return false;
    std::string_view all = text.Text();
    for (size_t pos = 0; pos < all.size();)
        out.push_back(NextLine(all, &pos));
    return true;
}

/* Writes the lines back: section headers as "[name]", keys as "name=value" (or the bare name),
 * other lines as they were; each line ends in CR LF. */
bool SaveLines(const std::string &path, const std::vector<LineView> &lines)
{
    thread_local std::string text;
    text.clear();
    for (const LineView &l : lines) {
        if (l.kind == LineView::kSection) {
            text += '[';
            text += l.name;
            text += ']';
        } else if (l.kind == LineView::kKey) {
            text += l.name;
            if (l.hasValue) {
                text += '=';
                text += l.value;
            }
        } else {
            text += l.raw;
        }
        text += "\r\n";
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastError(compat::error_from_errno(errno));
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += (size_t)n;
    }
    ok = close(fd) == 0 && ok;
    if (!ok)
        SetLastError(ERROR_WRITE_FAULT);
    return ok;
}

/* The first section named `name` (the lines before any section are none): its header at
 * *begin, its lines up to *end.  False when there is none. */
bool FindSectionLines(const std::vector<LineView> &lines, const char *name, size_t *begin, size_t *end)
{
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i].kind != LineView::kSection || !SameName(lines[i].name, name))
            continue;
        size_t e = i + 1;
        while (e < lines.size() && lines[e].kind != LineView::kSection)
            e++;
        *begin = i;
        *end = e;
        return true;
    }
    return false;
}

DWORD CopyOut(std::string_view v, LPSTR buf, DWORD size)
{
    size_t n = v.size() < size - 1 ? v.size() : size - 1;
    memcpy(buf, v.data(), n);
    buf[n] = 0;
    return (DWORD)n;
}

/* A zero-separated list ending in a second zero; nSize - 2 when cut short. */
DWORD CopyList(const std::vector<std::string_view> &names, LPSTR buf, DWORD size)
{
    if (size < 2) {
        buf[0] = 0;
        return 0;
    }
    DWORD free_ = size - 1;  // room before the final zero
    char *p = buf;
    for (std::string_view name : names) {
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
        memcpy(p, name.data(), l - 1);
        p[l - 1] = 0;
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

    // One text per thread, kept between calls: a read parses in place and allocates nothing
    // per line (callers read many keys, and every call reads the file again, as on Windows).
    FileText &text = ThreadText();
    thread_local std::vector<std::string_view> names;
    if (!text.Read(ProfilePath(lpFileName, false))) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        if (!lpAppName || !lpKeyName)
            return CopyList({}, lpReturnedString, nSize);
        return CopyOut(def, lpReturnedString, nSize);
    }
    std::string_view all = text.Text();
    names.clear();
    size_t pos = 0;
    if (!lpAppName) {
        while (pos < all.size()) {
            LineView l = NextLine(all, &pos);
            if (l.kind == LineView::kSection && !l.name.empty())
                names.push_back(l.name);
        }
        return CopyList(names, lpReturnedString, nSize);
    }
    // The first section of that name (the lines before any section are none).
    bool found = false;
    while (!found && pos < all.size()) {
        LineView l = NextLine(all, &pos);
        found = l.kind == LineView::kSection && SameName(l.name, lpAppName);
    }
    bool haveKey = false;
    LineView key;
    while (found && pos < all.size()) {
        LineView l = NextLine(all, &pos);
        if (l.kind == LineView::kSection)
            break;
        if (l.kind != LineView::kKey)
            continue;
        if (!lpKeyName) {
            if (!l.name.empty())
                names.push_back(l.name);
        } else if (SameName(l.name, lpKeyName)) {
            haveKey = true;
            key = l;
            break;
        }
    }
    if (!lpKeyName)
        return CopyList(names, lpReturnedString, nSize);
    if (!haveKey || !key.hasValue)
        return CopyOut(def, lpReturnedString, nSize);
    std::string_view v = key.value;
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
    thread_local std::vector<LineView> lines;
    if (!LoadLines(path, lines)) {
        if (!lpKeyName || !lpString)
            return TRUE;  // nothing to delete
        lines.clear();
    }
    if (!lpKeyName) {
        // Every section of that name goes, with its lines.
        size_t kept = 0;
        bool dropping = false;
        for (size_t i = 0; i < lines.size(); i++) {
            if (lines[i].kind == LineView::kSection)
                dropping = SameName(lines[i].name, lpAppName);
            if (!dropping)
                lines[kept++] = lines[i];
        }
        lines.resize(kept);
        return SaveLines(path, lines);
    }
    size_t begin = 0, end = 0;
    bool found = FindSectionLines(lines, lpAppName, &begin, &end);
    if (!lpString) {
        if (!found)
            return TRUE;
        for (size_t i = begin + 1; i < end; i++)
            if (lines[i].kind == LineView::kKey && SameName(lines[i].name, lpKeyName)) {
                lines.erase(lines.begin() + (ptrdiff_t)i);
                break;
            }
        return SaveLines(path, lines);
    }
    std::string sectionName, keyName;  // the text of new lines, while they are written
    if (!found) {
        sectionName = Trim(lpAppName);
        LineView header;
        header.kind = LineView::kSection;
        header.name = sectionName;
        lines.push_back(header);
        begin = lines.size() - 1;
        end = lines.size();
    }
    const char *value = lpString;
    while (*value == ' ' || *value == '\t')
        value++;
    size_t k = end;
    for (size_t i = begin + 1; i < end; i++)
        if (lines[i].kind == LineView::kKey && SameName(lines[i].name, lpKeyName)) {
            k = i;
            break;
        }
    if (k == end) {
        keyName = Trim(lpKeyName);
        LineView key;
        key.kind = LineView::kKey;
        key.name = keyName;
        // New keys go after the section's last key, before trailing blank lines.
        size_t at = end;
        while (at > begin + 1 && lines[at - 1].kind != LineView::kKey && TrimView(lines[at - 1].raw).empty())
            at--;
        lines.insert(lines.begin() + (ptrdiff_t)at, key);
        k = at;
    }
    lines[k].hasValue = true;
    lines[k].value = value;
    return SaveLines(path, lines);
}
