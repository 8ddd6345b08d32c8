/* Common dialogs, for non-Windows hosts.  See compat/include/compat/dialog.h. */
#pragma once
#include <windows.h>
#include "compat/dialog.h"
