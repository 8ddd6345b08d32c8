/* System: Windows version, screen metrics, shell folders, version resources, wave output
 * devices, the default printer, system time. */
#pragma once
#include "compat/types.h"

/* Version.  The version reported is configured by MEDLEY_WINVER: "major.minor[.build]
 * [9x|nt] [Service Pack N]"; default "5.1.2600 nt Service Pack 3". */
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;
typedef OSVERSIONINFOA OSVERSIONINFO;
/* Fails with ERROR_INSUFFICIENT_BUFFER unless dwOSVersionInfoSize is 148 (or larger). */
COMPAT_API BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);

/* Screen metrics: MEDLEY_SCREEN "WIDTHxHEIGHT[xBITS]", default 1024x768x32. */
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CXSMICON 49
#define SM_CYSMICON 50
COMPAT_API int WINAPI GetSystemMetrics(int nIndex);

/* Shell folders: the user's folders as the XDG user-dirs name them (documents, pictures, music,
 * videos, desktop), ~/.config for application data, ~/.local/share for local application data,
 * C:\ProgramData and C:\Program Files of the C: drive.  Exported from the modules
 * "shell32.dll" and "shfolder.dll" for run-time lookup. */
#define CSIDL_DESKTOPDIRECTORY 0x0010
#define CSIDL_PERSONAL 0x0005
#define CSIDL_MYMUSIC 0x000d
#define CSIDL_MYVIDEO 0x000e
#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_WINDOWS 0x0024
#define CSIDL_SYSTEM 0x0025
#define CSIDL_PROGRAM_FILES 0x0026
#define CSIDL_MYPICTURES 0x0027
#define CSIDL_FLAG_CREATE 0x8000
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
COMPAT_API BOOL WINAPI SHGetSpecialFolderPathA(HWND hwnd, LPSTR pszPath, int csidl, BOOL fCreate);
COMPAT_API HRESULT WINAPI SHGetFolderPathA(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPSTR pszPath);

/* Wave output devices: the sound cards the system lists (/proc/asound/pcm playback entries);
 * MEDLEY_WAVEOUT_DEVICES overrides the count. */
COMPAT_API UINT WINAPI waveOutGetNumDevs(void);

/* Time. */
COMPAT_API void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime);
COMPAT_API void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);

/* The default printer, as the print spooler reports it (PRINTER, then CUPS' default).  Only
 * PD_RETURNDEFAULT is served: no dialog is ever shown. */
#define PD_RETURNDEFAULT 0x00000400
#define PDERR_NODEFAULTPRN 0x1008
#define CCHDEVICENAME 32
#define CCHFORMNAME 32
typedef struct _devicemodeA {
    BYTE dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    BYTE dmPrinterFields[16];
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    BYTE dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
} DEVMODEA, *PDEVMODEA, *LPDEVMODEA;
typedef struct tagDEVNAMES {
    WORD wDriverOffset;
    WORD wDeviceOffset;
    WORD wOutputOffset;
    WORD wDefault;
} DEVNAMES, *LPDEVNAMES;
typedef UINT_PTR(CALLBACK *LPPRINTHOOKPROC)(HWND, UINT, WPARAM, LPARAM);
typedef struct tagPDA {
    DWORD lStructSize;
    HWND hwndOwner;
    HGLOBAL hDevMode;
    HGLOBAL hDevNames;
    HDC hDC;
    DWORD Flags;
    WORD nFromPage;
    WORD nToPage;
    WORD nMinPage;
    WORD nMaxPage;
    WORD nCopies;
    HINSTANCE hInstance;
    LPARAM lCustData;
    LPPRINTHOOKPROC lpfnPrintHook;
    LPPRINTHOOKPROC lpfnSetupHook;
    LPCSTR lpPrintTemplateName;
    LPCSTR lpSetupTemplateName;
    HGLOBAL hPrintTemplate;
    HGLOBAL hSetupTemplate;
} PRINTDLGA, *LPPRINTDLGA;
COMPAT_API BOOL WINAPI PrintDlgA(LPPRINTDLGA pPD);
