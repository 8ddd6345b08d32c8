/* Kernel: last error, modules, ANSI strings, time. */
#pragma once
#include "compat/types.h"

#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_INVALID_DRIVE 15L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_NOT_READY 21L
#define ERROR_GEN_FAILURE 31L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_NOT_SAME_DEVICE 17L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_ENVVAR_NOT_FOUND 203L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_FILE_TOO_LARGE 223L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_DIRECTORY 267L
#define ERROR_DIRECTORY_NOT_SUPPORTED 336L
#define ERROR_NOACCESS 998L
#define ERROR_CANTOPEN 1011L
#define ERROR_CANTREAD 1012L
#define ERROR_CANTWRITE 1013L
#define ERROR_BADKEY 1010L
#define ERROR_KEY_DELETED 1018L
#define ERROR_DLL_INIT_FAILED 1114L
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_RESOURCE_LANG_NOT_FOUND 1815L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_INVALID_MENU_HANDLE 1401L
#define ERROR_INVALID_CURSOR_HANDLE 1402L
#define ERROR_INVALID_ACCEL_HANDLE 1403L
#define ERROR_INVALID_ICON_HANDLE 1405L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_NOT_FOUND 1168L
#define ERROR_TIMEOUT 1460L

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001

COMPAT_API DWORD WINAPI GetLastError(void);
COMPAT_API void WINAPI SetLastError(DWORD dwErrCode);

/* Modules.  A module handle is the load address of the shared object; LoadLibraryA needs a
 * path or a name found beside the calling program, and runs the module's entry point. */
COMPAT_API HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
COMPAT_API BOOL WINAPI FreeLibrary(HMODULE hLibModule);
COMPAT_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
COMPAT_API HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
COMPAT_API DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
COMPAT_API BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule);

/* ANSI strings (code page 1252 semantics for case mapping). */
COMPAT_API int WINAPI lstrlenA(LPCSTR lpString);
COMPAT_API LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2);
COMPAT_API LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength);
COMPAT_API LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2);
COMPAT_API int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
COMPAT_API int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);
COMPAT_API LPSTR WINAPI CharUpperA(LPSTR lpsz);
COMPAT_API LPSTR WINAPI CharLowerA(LPSTR lpsz);
COMPAT_API DWORD WINAPI CharUpperBuffA(LPSTR lpsz, DWORD cchLength);
COMPAT_API DWORD WINAPI CharLowerBuffA(LPSTR lpsz, DWORD cchLength);
COMPAT_API LPSTR WINAPI CharNextA(LPCSTR lpsz);
COMPAT_API LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent);
COMPAT_API BOOL WINAPI IsDBCSLeadByte(BYTE TestChar);
COMPAT_API int WINAPIV wsprintfA(LPSTR, LPCSTR, ...);
/* The ANSI code page: 1252 here. */
COMPAT_API UINT WINAPI GetACP(void);
COMPAT_API int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                          int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar);
COMPAT_API int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr,
                                          int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                          LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);

COMPAT_API DWORD WINAPI GetTickCount(void);
COMPAT_API void WINAPI Sleep(DWORD dwMilliseconds);
COMPAT_API void WINAPI OutputDebugStringA(LPCSTR lpOutputString);
COMPAT_API DWORD WINAPI GetCurrentProcessId(void);
COMPAT_API DWORD WINAPI GetCurrentThreadId(void);
COMPAT_API DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize);
COMPAT_API BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue);
