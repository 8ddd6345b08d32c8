/*
 * Message boxes on a host without a desktop: the answer comes from the environment and each
 * box is logged on standard error, so that scripted runs and tests can steer and read them.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "internal.h"

namespace {

struct Buttons {
    int first;
    int ids[3];
};

/* The buttons of each box type, the first being what a user pressing Enter gets. */
Buttons buttons_of(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, {IDOK, IDCANCEL, 0}};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, {IDABORT, IDRETRY, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {IDYES, {IDYES, IDNO, IDCANCEL}};
    case MB_YESNO:
        return {IDYES, {IDYES, IDNO, 0}};
    case MB_RETRYCANCEL:
        return {IDRETRY, {IDRETRY, IDCANCEL, 0}};
    default:
        return {IDOK, {IDOK, 0, 0}};
    }
}

int parse_answer(const char *s)
{
    static const struct {
        const char *name;
        int id;
    } names[] = {{"ok", IDOK},         {"cancel", IDCANCEL}, {"abort", IDABORT}, {"retry", IDRETRY},
                 {"ignore", IDIGNORE}, {"yes", IDYES},       {"no", IDNO}};
    if (!s || !*s)
        return 0;
    if (!strncasecmp(s, "ID", 2))
        s += 2;
    for (const auto &n : names)
        if (!strcasecmp(s, n.name))
            return n.id;
    char *end = NULL;
    long v = strtol(s, &end, 10);
    return (end && !*end && v >= IDOK && v <= IDNO) ? (int)v : 0;
}

}  // namespace

int WINAPI MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    Buttons b = buttons_of(uType);
    int answer = b.first;
    int wanted = parse_answer(getenv("MEDLEY_MESSAGEBOX_ANSWER"));
    for (int id : b.ids)
        if (id && id == wanted)
            answer = wanted;
    fprintf(stderr, "[MessageBox] %s: %s -> %d\n", lpCaption ? lpCaption : "Error", lpText ? lpText : "", answer);
    return answer;
}
