/* Splitting and joining paths; the pieces of CPathName. */
#include <string.h>

#include "sysinfo.h"
#include "sys_private.h"

namespace sysinfo {

/* Copies src into (dst, size): at most size - 1 characters, always terminated. */
void CopyBounded(LPSTR dst, LPCSTR src, size_t size)
{
    if (!dst || !size)
        return;
    size_t n = src ? strlen(src) : 0;
    if (n >= size)
        n = size - 1;
    if (n)
        memmove(dst, src, n);
    dst[n] = 0;
}

/* The splitter: drive when the second character is ':', folder to the last separator, the
 * extension from the last '.' after it; each piece cut to 255 characters.  Lead bytes of the
 * ANSI code page are stepped over, so a trail byte is never taken for a separator. */
static void Split(LPCSTR p, LPSTR drive, LPSTR dir, LPSTR name, LPSTR ext)
{
    const size_t kPiece = 256;
    const char *rest = p;
    if (p[0] && p[1] == ':') {
        if (drive) {
            drive[0] = p[0];
            drive[1] = ':';
            drive[2] = 0;
        }
        rest = p + 2;
    } else if (drive) {
        drive[0] = 0;
    }
    const char *lastSep = nullptr, *lastDot = nullptr;
    for (const char *q = rest; *q;) {
        if (*q == '\\' || *q == '/')
            lastSep = q;
        else if (*q == '.')
            lastDot = q;
        q = IsDBCSLeadByte((BYTE)*q) && q[1] ? q + 2 : q + 1;
    }
    const char *nameStart = lastSep ? lastSep + 1 : rest;
    if (lastDot && lastDot < nameStart)
        lastDot = nullptr;
    const char *end = rest + strlen(rest);
    const char *nameEnd = lastDot ? lastDot : end;
    auto put = [](LPSTR out, const char *from, const char *to) {
        if (!out)
            return;
        size_t n = (size_t)(to - from);
        if (n >= kPiece)
            n = kPiece - 1;
        memcpy(out, from, n);
        out[n] = 0;
    };
    put(dir, rest, nameStart);
    put(name, nameStart, nameEnd);
    put(ext, nameEnd, end);
}

}  // namespace sysinfo

using sysinfo::CopyBounded;

int SplitPath(LPCSTR lpszPath, LPSTR lpszDrive, LPSTR lpszDir, LPSTR lpszName, LPSTR lpszExt)
{
    if (!lpszPath)
        return 0;
    if (lpszDrive && lpszPath[0] == '\\' && lpszPath[1] == '\\') {
        // A network path: the drive is one backslash, the rest keeps the other.
        sysinfo::Split(lpszPath + 1, nullptr, lpszDir, lpszName, lpszExt);
        lpszDrive[0] = '\\';
        lpszDrive[1] = 0;
        return 1;
    }
    sysinfo::Split(lpszPath, lpszDrive, lpszDir, lpszName, lpszExt);
    return 1;
}

int MakePath(LPSTR lpszBuf, LPCSTR lpszDrive, LPCSTR lpszDir, LPCSTR lpszName, LPCSTR lpszExt)
{
    if (!lpszBuf)
        return 0;
    std::string out;
    if (lpszDrive && lpszDrive[0]) {
        if (lpszDrive[0] == '\\')
            out += '\\';
        else {
            out += lpszDrive[0];
            out += ':';
        }
    }
    if (lpszDir && lpszDir[0]) {
        out += lpszDir;
        char last = out.back();
        if (last != '\\' && last != '/')
            out += '\\';
    }
    if (lpszName)
        out += lpszName;
    if (lpszExt && lpszExt[0]) {
        if (lpszExt[0] != '.')
            out += '.';
        out += lpszExt;
    }
    if (out.size() >= MAX_PATH) {
        lpszBuf[0] = 0;  // would not fit a path buffer
        return 0;
    }
    memcpy(lpszBuf, out.c_str(), out.size() + 1);
    return 1;
}

int GetFileExt(LPCSTR lpszPath, LPSTR lpszBuf, int nSize)
{
    if (!lpszPath || !lpszBuf || nSize <= 0)
        return 0;
    char ext[MAX_PATH];
    SplitPath(lpszPath, nullptr, nullptr, nullptr, ext);
    CopyBounded(lpszBuf, ext[0] == '.' ? ext + 1 : ext, (size_t)nSize);
    return 1;
}

int ChangeFileExt(LPCSTR lpszPath, LPCSTR lpszExt, LPSTR lpszBuf, int nSize)
{
    if (!lpszPath || !lpszBuf || nSize <= 0)
        return 0;
    char drive[MAX_PATH], dir[MAX_PATH], name[MAX_PATH], out[MAX_PATH];
    SplitPath(lpszPath, drive, dir, name, nullptr);
    if (!MakePath(out, drive, dir, name, lpszExt)) {
        lpszBuf[0] = 0;
        return 0;
    }
    CopyBounded(lpszBuf, out, (size_t)nSize);
    return 1;
}

int GetPathNoExt(LPCSTR lpszPath, LPSTR lpszBuf, int nSize) { return ChangeFileExt(lpszPath, nullptr, lpszBuf, nSize); }

int GetFileNameExt(LPCSTR lpszPath, LPSTR lpszBuf, int nSize)
{
    if (!lpszPath || !lpszBuf || nSize <= 0)
        return 0;
    char name[MAX_PATH], ext[MAX_PATH];
    SplitPath(lpszPath, nullptr, nullptr, name, ext);
    std::string s = std::string(name) + ext;
    CopyBounded(lpszBuf, s.c_str(), (size_t)nSize);
    return 1;
}

int GetFolderOfPath(LPCSTR lpszPath, LPSTR lpszBuf, int nSize)
{
    if (!lpszPath || !lpszBuf || nSize <= 0)
        return 0;
    char drive[MAX_PATH], dir[MAX_PATH];
    SplitPath(lpszPath, drive, dir, nullptr, nullptr);
    std::string s = std::string(drive) + dir;
    CopyBounded(lpszBuf, s.c_str(), (size_t)nSize);
    return 1;
}

int JoinStrings(LPSTR lpszBuf, LPCSTR lpszFirst, LPCSTR lpszSecond, int nSize)
{
    if (!lpszBuf || !lpszFirst || !lpszSecond || nSize <= 0)
        return 0;
    std::string s = std::string(lpszFirst) + lpszSecond;
    CopyBounded(lpszBuf, s.c_str(), (size_t)nSize);
    return 1;
}

/* Letters of the ANSI code page (1252): ASCII letters and the accented ones above 0xC0. */
static bool IsAnsiLetter(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
        return true;
    if (c >= 0xC0)
        return c != 0xD7 && c != 0xF7;
    return c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F ||
           c == 0xAA || c == 0xB5 || c == 0xBA;
}

void SanitizeVersion(LPSTR lpszText)
{
    if (!lpszText)
        return;
    int depth = GetVersionDepth();
    int seen = 0;
    for (char *p = lpszText; *p;) {
        unsigned char c = (unsigned char)*p;
        if (IsDBCSLeadByte(c) && p[1]) {
            p += 2;  // a double-byte character is a letter
            continue;
        }
        bool keep = c == ' ' || (c >= '0' && c <= '9') || IsAnsiLetter(c);
        if (!keep) {
            if (seen < depth - 1) {
                *p = '.';
                ++seen;
            } else {
                *p = 0;
                return;
            }
        }
        ++p;
    }
}

CPathName::CPathName() { m_szPath[0] = m_szDrive[0] = m_szDir[0] = m_szName[0] = m_szExt[0] = 0; }

CPathName::CPathName(LPCSTR lpszPath) : CPathName() { SetPath(lpszPath); }

void CPathName::SetPath(LPCSTR lpszPath)
{
    if (!lpszPath)
        return;
    CopyBounded(m_szPath, lpszPath, sizeof m_szPath);
    SplitPath(m_szPath, m_szDrive, m_szDir, m_szName, m_szExt);
}

/* NOTES: pieces that together do not fit a path buffer give an empty path, never the path
 * made before: a caller must not go on to read or write some other file. */
LPCSTR CPathName::Make()
{
    MakePath(m_szPath, m_szDrive, m_szDir, m_szName, m_szExt);  // empties m_szPath on failure
    return m_szPath;
}

void CPathName::SetDrive(LPCSTR lpsz)
{
    if (lpsz)
        CopyBounded(m_szDrive, lpsz, sizeof m_szDrive);
}

void CPathName::SetDir(LPCSTR lpsz)
{
    if (lpsz)
        CopyBounded(m_szDir, lpsz, sizeof m_szDir);
}

void CPathName::SetFileName(LPCSTR lpsz)
{
    if (lpsz && strlen(lpsz) < sizeof m_szName)
        memcpy(m_szName, lpsz, strlen(lpsz) + 1);
}

void CPathName::SetExt(LPCSTR lpsz)
{
    if (lpsz)
        CopyBounded(m_szExt, lpsz, sizeof m_szExt);
}
