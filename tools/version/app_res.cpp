// Publishes the program's own resources (its version block) under the program's module handle,
// where Windows finds an executable's resources by itself.
#include <windows.h>

#include "compat/extensions.h"

extern "C" const unsigned char app_res_begin[];
extern "C" const unsigned char app_res_end[];

namespace {

struct AppResources {
    AppResources()
    {
        compat_register_resources(GetModuleHandleA(NULL), app_res_begin, (size_t)(app_res_end - app_res_begin));
    }
    ~AppResources() { compat_unregister_resources(GetModuleHandleA(NULL)); }
} g_appResources;

}  // namespace
