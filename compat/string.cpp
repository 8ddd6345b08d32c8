/*
 * ANSI string functions.  The ANSI code page here is 1252: single-byte, no lead bytes, case
 * mapping over the Latin-1 letters as well as ASCII.  Conversions to and from UTF-16 treat
 * the 0x80-0x9F range as 1252 does.
 */
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "internal.h"

namespace compat {

unsigned char upper_1252(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return (unsigned char)(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return (unsigned char)(c - 32);
    if (c == 0x9A || c == 0x9C || c == 0x9E)
        return (unsigned char)(c - 16);
    if (c == 0xFF)
        return 0x9F;
    return c;
}

unsigned char lower_1252(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return (unsigned char)(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return (unsigned char)(c + 32);
    if (c == 0x8A || c == 0x8C || c == 0x8E)
        return (unsigned char)(c + 16);
    if (c == 0x9F)
        return 0xFF;
    return c;
}

}  // namespace compat

int WINAPI lstrlenA(LPCSTR s) { return s ? (int)strlen(s) : 0; }

LPSTR WINAPI lstrcpyA(LPSTR d, LPCSTR s)
{
    if (!d || !s)
        return NULL;
    memmove(d, s, strlen(s) + 1);
    return d;
}

LPSTR WINAPI lstrcpynA(LPSTR d, LPCSTR s, int n)
{
    // Windows: copies at most n-1 characters and always terminates (when n > 0).
    if (!d || !s)
        return NULL;
    if (n <= 0)
        return d;
    int i = 0;
    for (; i < n - 1 && s[i]; ++i)
        d[i] = s[i];
    d[i] = 0;
    return d;
}

LPSTR WINAPI lstrcatA(LPSTR d, LPCSTR s)
{
    if (!d || !s)
        return NULL;
    memmove(d + strlen(d), s, strlen(s) + 1);
    return d;
}

/* lstrcmp/lstrcmpi order by the user's locale (word sort), not by code point; for the
 * strings this project compares (ASCII names) a case-folded comparison in which the case
 * only breaks ties matches CompareString's answer. */
static int compare(LPCSTR a, LPCSTR b, bool fold)
{
    if (!a && !b)
        return 0;
    if (!a)
        return -1;
    if (!b)
        return 1;
    const unsigned char *p = (const unsigned char *)a, *q = (const unsigned char *)b;
    int tie = 0;
    for (;; ++p, ++q) {
        unsigned char x = compat::lower_1252(*p), y = compat::lower_1252(*q);
        if (x != y)
            return x < y ? -1 : 1;
        if (!tie && *p != *q)
            tie = (*p == x) ? -1 : 1;  // lower case sorts first
        if (!*p)
            break;
    }
    return fold ? 0 : tie;
}

int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) { return compare(a, b, false); }
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) { return compare(a, b, true); }

LPSTR WINAPI CharUpperA(LPSTR s)
{
    if (IS_INTRESOURCE(s))  // a single character in the low word
        return (LPSTR)(ULONG_PTR)compat::upper_1252((unsigned char)(ULONG_PTR)s);
    for (char *p = s; *p; ++p)
        *p = (char)compat::upper_1252((unsigned char)*p);
    return s;
}

LPSTR WINAPI CharLowerA(LPSTR s)
{
    if (IS_INTRESOURCE(s))
        return (LPSTR)(ULONG_PTR)compat::lower_1252((unsigned char)(ULONG_PTR)s);
    for (char *p = s; *p; ++p)
        *p = (char)compat::lower_1252((unsigned char)*p);
    return s;
}

DWORD WINAPI CharUpperBuffA(LPSTR s, DWORD n)
{
    if (!s)
        return 0;
    for (DWORD i = 0; i < n; ++i)
        s[i] = (char)compat::upper_1252((unsigned char)s[i]);
    return n;
}

DWORD WINAPI CharLowerBuffA(LPSTR s, DWORD n)
{
    if (!s)
        return 0;
    for (DWORD i = 0; i < n; ++i)
        s[i] = (char)compat::lower_1252((unsigned char)s[i]);
    return n;
}

LPSTR WINAPI CharNextA(LPCSTR s) { return (LPSTR)(s && *s ? s + 1 : s); }
LPSTR WINAPI CharPrevA(LPCSTR start, LPCSTR cur) { return (LPSTR)(cur > start ? cur - 1 : start); }
BOOL WINAPI IsDBCSLeadByte(BYTE) { return FALSE; }

int WINAPIV wsprintfA(LPSTR buf, LPCSTR fmt, ...)
{
    // wsprintf writes at most 1024 characters and knows no floating point.
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, 1025, fmt, ap);
    va_end(ap);
    if (n > 1024)
        n = 1024;
    return n < 0 ? 0 : n;
}

static const WCHAR cp1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

static WCHAR to_wide(unsigned char c) { return (c >= 0x80 && c < 0xA0) ? cp1252_high[c - 0x80] : c; }

static int to_narrow(WCHAR w)
{
    if (w < 0x80 || (w >= 0xA0 && w < 0x100))
        return w;
    for (int i = 0; i < 32; ++i)
        if (cp1252_high[i] == w)
            return 0x80 + i;
    return -1;
}

/* The ANSI code page is UTF-8 here, as on a Windows set to use UTF-8 for every language: the
 * host's file names, arguments and environment are UTF-8, and that is what an "A" function gets
 * and hands back.  Code page 1252 stays available by its number. */
UINT WINAPI GetACP(void) { return CP_UTF8; }

static bool is_utf8_page(UINT cp) { return cp == CP_UTF8 || cp == CP_ACP; }

int WINAPI MultiByteToWideChar(UINT cp, DWORD, LPCSTR src, int srclen, LPWSTR dst, int dstlen)
{
    if (!src || srclen == 0 || dstlen < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string out;
    size_t n = srclen < 0 ? strlen(src) + 1 : (size_t)srclen;
    if (is_utf8_page(cp)) {
        const unsigned char *s = (const unsigned char *)src;
        for (size_t i = 0; i < n;) {
            unsigned c = s[i];
            unsigned cp32 = 0xFFFD;
            size_t len = 1;
            if (c < 0x80) cp32 = c;
            else if ((c >> 5) == 6 && i + 1 < n) { cp32 = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F); len = 2; }
            else if ((c >> 4) == 14 && i + 2 < n) { cp32 = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F); len = 3; }
            else if ((c >> 3) == 30 && i + 3 < n) { cp32 = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F); len = 4; }
            i += len;
            if (cp32 >= 0x10000) {
                cp32 -= 0x10000;
                out += (char16_t)(0xD800 + (cp32 >> 10));
                out += (char16_t)(0xDC00 + (cp32 & 0x3FF));
            } else {
                out += (char16_t)cp32;
            }
        }
    } else {
        for (size_t i = 0; i < n; ++i)
            out += (char16_t)to_wide((unsigned char)src[i]);
    }
    if (dstlen == 0)
        return (int)out.size();
    if ((int)out.size() > dstlen) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(dst, out.data(), out.size() * sizeof(WCHAR));
    return (int)out.size();
}

int WINAPI WideCharToMultiByte(UINT cp, DWORD, LPCWSTR src, int srclen, LPSTR dst, int dstlen,
                               LPCSTR defchar, LPBOOL used_default)
{
    if (!src || srclen == 0 || dstlen < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = 0;
    if (srclen < 0) {
        while (src[n])
            ++n;
        ++n;
    } else {
        n = (size_t)srclen;
    }
    std::string out;
    BOOL used = FALSE;
    for (size_t i = 0; i < n; ++i) {
        unsigned w = src[i];
        if (is_utf8_page(cp)) {
            if (w >= 0xD800 && w < 0xDC00 && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] < 0xE000) {
                w = 0x10000 + ((w - 0xD800) << 10) + (src[i + 1] - 0xDC00);
                ++i;
            }
            if (w < 0x80) out += (char)w;
            else if (w < 0x800) { out += (char)(0xC0 | (w >> 6)); out += (char)(0x80 | (w & 0x3F)); }
            else if (w < 0x10000) { out += (char)(0xE0 | (w >> 12)); out += (char)(0x80 | ((w >> 6) & 0x3F)); out += (char)(0x80 | (w & 0x3F)); }
            else { out += (char)(0xF0 | (w >> 18)); out += (char)(0x80 | ((w >> 12) & 0x3F)); out += (char)(0x80 | ((w >> 6) & 0x3F)); out += (char)(0x80 | (w & 0x3F)); }
        } else {
            int c = to_narrow((WCHAR)w);
            if (c < 0) {
                c = defchar ? (unsigned char)*defchar : '?';
                used = TRUE;
            }
            out += (char)c;
        }
    }
    if (used_default)
        *used_default = used;
    if (dstlen == 0)
        return (int)out.size();
    if ((int)out.size() > dstlen) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(dst, out.data(), out.size());
    return (int)out.size();
}

DWORD WINAPI GetTickCount(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (DWORD)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}

void WINAPI Sleep(DWORD ms)
{
    struct timespec ts = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

void WINAPI OutputDebugStringA(LPCSTR s)
{
    if (s && getenv("MEDLEY_DEBUG_OUTPUT"))
        fputs(s, stderr);
}

DWORD WINAPI GetCurrentProcessId(void) { return (DWORD)getpid(); }
DWORD WINAPI GetCurrentThreadId(void) { return (DWORD)gettid(); }

DWORD WINAPI GetEnvironmentVariableA(LPCSTR name, LPSTR buf, DWORD size)
{
    const char *v = name ? getenv(name) : NULL;
    if (!v) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    size_t len = strlen(v);
    if (!buf || len + 1 > size)
        return (DWORD)(len + 1);
    memcpy(buf, v, len + 1);
    return (DWORD)len;
}

BOOL WINAPI SetEnvironmentVariableA(LPCSTR name, LPCSTR value)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int r = value ? setenv(name, value, 1) : unsetenv(name);
    return r == 0;
}
