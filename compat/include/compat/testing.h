/*
 * Test hooks of the compat layer (not Win32): fault injection.  Only on non-Windows hosts.
 */
#pragma once
#include "compat/types.h"

/* Make the Nth call (1-based) from now on of `layer` fail: "alloc", "file", "socket".  n == 0
 * clears it. */
COMPAT_API void compat_fail_nth(const char *layer, unsigned n);

/* Make GetProcAddress answer ERROR_PROC_NOT_FOUND for `name` (hide != 0) or answer it again;
 * a null or empty name shows every export again. */
COMPAT_API void compat_hide_proc(const char *name, int hide);
