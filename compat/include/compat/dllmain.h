/*
 * Entry point glue for a shared object that carries a DllMain.
 *
 * Windows calls DllMain(instance, DLL_PROCESS_ATTACH, 0) when a DLL is mapped and
 * DLL_PROCESS_DETACH when it is unmapped.  On other hosts a constructor and a destructor
 * function do the same; the instance handle is the object's load address.
 *
 *     COMPAT_DLL_ENTRY(DllMain)
 */
#pragma once
#include "compat/types.h"

COMPAT_API HINSTANCE compat_module_of_address(const void *address);

#define COMPAT_DLL_ENTRY(entry)                                                            \
    static void compat_dll_attach_(void) __attribute__((constructor));                    \
    static void compat_dll_detach_(void) __attribute__((destructor));                     \
    static void compat_dll_attach_(void)                                                   \
    {                                                                                       \
        entry(compat_module_of_address((const void *)&compat_dll_attach_),                 \
              DLL_PROCESS_ATTACH, NULL);                                                    \
    }                                                                                       \
    static void compat_dll_detach_(void)                                                   \
    {                                                                                       \
        entry(compat_module_of_address((const void *)&compat_dll_attach_),                 \
              DLL_PROCESS_DETACH, NULL);                                                    \
    }
