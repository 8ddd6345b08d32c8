/*
 * Scrambling short texts into digits and back.
 *
 *   "0kk" | "ddd" "ddd" ...      key kk (10-99), or "00k" for a key of one digit (0-9);
 *                                then per character its signed 8-bit value plus the key, in
 *                                decimal: three characters as they are ("123", "-45"), two
 *                                with a "0" before them ("065").
 *
 * A value from -9 to 9 would take one or two characters that do not read back, and one
 * below -99 four: such a character cannot be carried.  The key is drawn at random (the C
 * runtime's generator seeded with the time, its first two digits) and, when it cannot carry
 * every character of the text, another key is taken that can.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>

#include "filefun.h"

namespace {

const size_t kBuffer = MAX_PATH;  // the callers' buffers

/* The group of one character under `key`, or "" when the character cannot be carried. */
std::string Group(char c, int key)
{
    int v = (signed char)c + key;
    char text[8];
    int n = snprintf(text, sizeof text, "%d", v);
    if (n == 3)
        return text;
    if (n == 2 && v >= 10)
        return std::string("0") + text;
    return "";
}

bool Carries(LPCSTR text, int key)
{
    for (const char *p = text; *p; ++p)
        if (Group(*p, key).empty())
            return false;
    return true;
}

/* The key from a draw r (0-32767): its first two digits, or r itself when it has one. */
int KeyOf(int r) { return r < 10 ? r : atoi(std::to_string(r).substr(0, 2).c_str()); }

}  // namespace

int EncodeText(LPCSTR lpStr1, LPSTR lpStr2)
{
    MD_ASSERT(lpStr1);
    MD_ASSERT(lpStr2);
    if (!lpStr2)
        return 0;
    lpStr2[0] = 0;
    if (!lpStr1)
        return 0;
    size_t len = strlen(lpStr1);
    if (3 + 3 * len >= kBuffer) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    srand((unsigned)time(nullptr));
    int key = KeyOf(rand() & 0x7FFF);
    for (int tries = 0; !Carries(lpStr1, key) && tries < 8; ++tries)
        key = KeyOf(rand() & 0x7FFF);
    for (int step = 0; !Carries(lpStr1, key) && step < 100; ++step)
        key = (key + 1) % 100;
    if (!Carries(lpStr1, key)) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    char head[4];
    snprintf(head, sizeof head, "%03d", key);
    std::string out = head;
    for (const char *p = lpStr1; *p; ++p)
        out += Group(*p, key);
    memcpy(lpStr2, out.c_str(), out.size() + 1);
    return 1;
}

int DecodeText(LPCSTR lpStr1, LPSTR lpStr2)
{
    MD_ASSERT(lpStr1);
    MD_ASSERT(lpStr2);
    if (!lpStr2)
        return 0;
    lpStr2[0] = 0;
    if (!lpStr1)
        return 0;
    size_t groups = strlen(lpStr1) / 3;
    if (groups == 0 || groups > kBuffer) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    auto read = [&](size_t g, int *v) {
        const char *p = lpStr1 + 3 * g;
        bool ok = (p[0] == '-' || (p[0] >= '0' && p[0] <= '9')) && p[1] >= '0' && p[1] <= '9' && p[2] >= '0' &&
                  p[2] <= '9';
        *v = atoi(std::string(p, 3).c_str());
        return ok;
    };
    int key = 0;
    if (!read(0, &key) || key < 0 || key > 99) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    std::string out;
    for (size_t g = 1; g < groups; ++g) {
        int v = 0;
        bool ok = read(g, &v);
        int c = v - key;
        if (!ok || c < -128 || c > 127 || c == 0) {
            SetLastError(ERROR_INVALID_DATA);
            return 0;
        }
        out += (char)c;
    }
    memcpy(lpStr2, out.c_str(), out.size() + 1);
    return 1;
}
