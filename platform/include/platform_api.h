/* Export/import decoration for the stand-ins of the application's closed libraries. */
#pragma once
#if defined(_WIN32)
#define MD_DLL_EXPORT __declspec(dllexport)
#define MD_DLL_IMPORT __declspec(dllimport)
#else
#define MD_DLL_EXPORT __attribute__((visibility("default")))
#define MD_DLL_IMPORT
#endif
