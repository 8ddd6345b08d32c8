/* Declarations of <shellapi.h> for non-Windows hosts: see compat/include/compat/shell.h. */
#pragma once
#include <windows.h>
