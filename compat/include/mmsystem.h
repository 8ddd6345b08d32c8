/* Declarations of <mmsystem.h> for non-Windows hosts: see compat/include/compat/system.h. */
#pragma once
#include <windows.h>
#include "compat/mci.h"
