/*
 * Private helpers shared by the compat implementation files.  Not part of the Win32 surface.
 */
#pragma once
#include <windows.h>

#include <string>

#include "private_folder.h"

namespace compat {

/* Windows path -> host path.  "\" and "/" both separate; "X:" maps to the folder named by
 * MEDLEY_DRIVE_X, Z: defaults to "/", C: to a per-user folder ($XDG_DATA_HOME/medley/drive_c,
 * created on first use).  A path starting with "/" is taken as a host path already; a relative
 * path stays relative to the current directory. */
std::string host_path(const char *win_path);

/* The host folder that stands for drive letter `letter` ('A'..'Z'), or "" when unmapped. */
std::string drive_root(char letter);

/* errno -> Windows error code, for the file and socket layers. */
DWORD error_from_errno(int err);

/* Fault injection: a layer calls should_fail("file") at each operation; when the environment
 * or a test (compat_fail_nth) asked for the Nth call of that layer to fail, it answers true
 * exactly once. */
bool should_fail(const char *layer);

/* Case mapping of code page 1252, the ANSI code page we answer for. */
unsigned char upper_1252(unsigned char c);
unsigned char lower_1252(unsigned char c);


}  // namespace compat
