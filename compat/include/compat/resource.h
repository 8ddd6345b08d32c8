/*
 * Resources: the module's compiled resource data (a .res file: a sequence of records of data
 * size, header size, type, name, 4-byte alignment, language, flags, data) registered by the
 * module at load (compat/extensions.h), and the Win32 functions that look it up.
 */
#pragma once
#include "compat/types.h"

#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_ACCELERATOR MAKEINTRESOURCEA(9)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEA(12)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define RT_VERSION MAKEINTRESOURCEA(16)

COMPAT_API HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
COMPAT_API HRSRC WINAPI FindResourceExA(HMODULE hModule, LPCSTR lpType, LPCSTR lpName, WORD wLanguage);
COMPAT_API HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
COMPAT_API LPVOID WINAPI LockResource(HGLOBAL hResData);
COMPAT_API DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
COMPAT_API BOOL WINAPI FreeResource(HGLOBAL hResData);
/* EnumResourceNamesA: calls lpEnumFunc once per name of the type (names before ids, each in
 * ascending order), whatever the languages.  RETURNS TRUE; FALSE with
 * ERROR_RESOURCE_TYPE_NOT_FOUND when the module has no such type, or with
 * ERROR_RESOURCE_ENUM_USER_STOP when the callback stopped it. */
typedef BOOL(CALLBACK *ENUMRESNAMEPROCA)(HMODULE hModule, LPCSTR lpType, LPSTR lpName, LONG_PTR lParam);
#ifndef ERROR_RESOURCE_ENUM_USER_STOP
#define ERROR_RESOURCE_ENUM_USER_STOP 15106L
#endif
COMPAT_API BOOL WINAPI EnumResourceNamesA(HMODULE hModule, LPCSTR lpType, ENUMRESNAMEPROCA lpEnumFunc,
                                          LONG_PTR lParam);
COMPAT_API int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);
