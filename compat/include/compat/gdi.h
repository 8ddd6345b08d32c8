#pragma once
#include "compat/types.h"
