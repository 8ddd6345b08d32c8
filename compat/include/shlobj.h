/* Declarations of <shlobj.h> for non-Windows hosts: see compat/include/compat/system.h. */
#pragma once
#include <windows.h>
