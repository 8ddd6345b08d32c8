/* The module entry point and its one export. */
#include <windows.h>

#include "plugin.h"

#if defined(_WIN32)
#define MD_EXPORT extern "C" __declspec(dllexport)
#else
#define MD_EXPORT extern "C" __attribute__((visibility("default")))
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        return PlugInProcessAttach(hInstance);
    case DLL_PROCESS_DETACH:
        PlugInProcessDetach();
        break;
    default:
        break;
    }
    return TRUE;
}

/* The module's plug-in object, seen through CPlugIn's slot table; null before attach. */
MD_EXPORT CPlugIn *MD_GetPlugInInterface() { return PlugInGetInterface(); }

#if !defined(_WIN32)
#include "compat/dllmain.h"
#include "compat/extensions.h"

/* The compiled resource script, linked in by redll_res.S. */
extern "C" const unsigned char redll_res_begin[];
extern "C" const unsigned char redll_res_end[];

static BOOL WINAPI LinuxEntry(HINSTANCE hInstance, DWORD dwReason, LPVOID reserved)
{
    if (dwReason == DLL_PROCESS_ATTACH)
        compat_register_resources(hInstance, redll_res_begin, (size_t)(redll_res_end - redll_res_begin));
    BOOL ok = DllMain(hInstance, dwReason, reserved);
    if (dwReason == DLL_PROCESS_DETACH)
        compat_unregister_resources(hInstance);
    return ok;
}
COMPAT_DLL_ENTRY(LinuxEntry)
#endif
