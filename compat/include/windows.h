/* The Win32 subset this project uses, for non-Windows hosts.  See compat/EXPORTS.md. */
#pragma once
#include "compat/types.h"
#include "compat/kernel.h"
#include "compat/file.h"
#include "compat/memory.h"
#include "compat/registry.h"
#include "compat/profile.h"
#include "compat/user.h"
#include "compat/gdi.h"
#include "compat/dc.h"
#include "compat/shell.h"
#include "compat/resource.h"
#include "compat/system.h"
