/*
 * The library's debug assertion report.
 *
 * MD_ASSERT(expr) reports a failed precondition with the text of `expr` (by convention the
 * parameter's name, or the checked expression such as "nIndex >= 0"), the source file name and
 * line, and then the operation carries on: each operation decides what it does next with the
 * bad value.  Reports go to the installed handler; the default handler writes one line
 *   Assertion failed: <expr>, file <name>, line <n>
 * to the debugger output and to standard error.
 */
#pragma once

typedef void (*BaseAssertHandler)(const char *expr, const char *file, int line);

/* Installs `handler` (null restores the default); returns the previous one. */
BaseAssertHandler BaseSetAssertHandler(BaseAssertHandler handler);
void BaseAssertReport(const char *expr, const char *file, int line);

#define MD_ASSERT(expr)                                        \
    do {                                                       \
        if (!(expr))                                           \
            BaseAssertReport(#expr, __FILE__, __LINE__);       \
    } while (0)
