/* Drives, devices, screen, versions, the first-run marker and the machine-key test. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <commdlg.h>
#include <mmsystem.h>

#include "sysinfo.h"
#include "sys_private.h"

static int g_versionDepth = 2;

void SetVersionDepth(int nDepth)
{
    if (nDepth >= 1 && nDepth <= 4)
        g_versionDepth = nDepth;
}

int GetVersionDepth() { return g_versionDepth; }

uint64_t GetDiskFreeBytes(LPCSTR lpszPath)
{
    if (!lpszPath || !lpszPath[0])
        return 0;
    char drive[MAX_PATH];
    SplitPath(lpszPath, drive, NULL, NULL, NULL);
    std::string root = std::string(drive) + "\\";
    uint64_t result = 0;
    HMODULE lib = LoadLibraryA("kernel32.dll");
    typedef BOOL(WINAPI * FreeSpaceExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    FreeSpaceExFn ex = lib ? (FreeSpaceExFn)(void *)GetProcAddress(lib, "GetDiskFreeSpaceExA") : NULL;
    if (ex) {
        ULARGE_INTEGER avail, total, free_total;
        if (ex(root.c_str(), &avail, &total, &free_total))
            result = avail.QuadPart;
    } else {
        DWORD spc, bps, freeClusters, clusters;
        // Computed in 64 bits: a 32-bit product wraps on disks of 4 GB and more.
        if (GetDiskFreeSpaceA(root.c_str(), &spc, &bps, &freeClusters, &clusters))
            result = (uint64_t)spc * bps * freeClusters;
    }
    if (lib)
        FreeLibrary(lib);
    return result;
}

DWORD GetFixedDrives()
{
    DWORD mask = GetLogicalDrives();
    for (int i = 0; i <= 30; ++i) {
        if (!(mask & (1u << i)))
            continue;
        char root[4] = {(char)('a' + i), ':', '\\', 0};
        if (GetDriveTypeA(root) != DRIVE_FIXED)
            mask &= ~(1u << i);
    }
    return mask;
}

char FindRoomiestDrive()
{
    char best = 'c';
    uint64_t bestFree = GetDiskFreeBytes("c:\\");
    DWORD fixed = GetFixedDrives();
    char last = 'c';
    for (int i = 25; i >= 2; --i)
        if (fixed & (1u << i)) {
            last = (char)('a' + i);
            break;
        }
    for (char c = 'c'; c <= last; ++c) {
        char root[8];
        snprintf(root, sizeof root, "%c:\\", c);
        uint64_t f = GetDiskFreeBytes(root);
        if (f > bestFree) {
            bestFree = f;
            best = c;
        }
    }
    return best;
}

int FindCdDriveWithMedia(char cDrive)
{
    DWORD mask = GetLogicalDrives();
    if (cDrive >= 'A' && cDrive <= 'Z')
        cDrive = (char)(cDrive - 'A' + 'a');
    for (int i = 0; i < 26 && (mask >> i); ++i) {
        char letter = (char)('a' + i);
        bool present = (mask & (1u << i)) != 0;
        bool candidate = cDrive == 0 ? (present && i >= 3) : cDrive == letter;
        if (!candidate)
            continue;
        char root[4] = {letter, ':', '\\', 0};
        if (GetDriveTypeA(root) != DRIVE_CDROM)
            continue;
        UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
        bool media = GetFileAttributesA(root) != INVALID_FILE_ATTRIBUTES;
        SetErrorMode(old);
        if (media)
            return 1;
    }
    return 0;
}

int HasDefaultPrinter()
{
    PRINTDLGA pd;
    memset(&pd, 0, sizeof pd);
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT;
    if (!PrintDlgA(&pd))
        return 0;
    int found = 0;
    DEVMODEA *mode = pd.hDevMode ? (DEVMODEA *)GlobalLock(pd.hDevMode) : NULL;
    DEVNAMES *names = pd.hDevNames ? (DEVNAMES *)GlobalLock(pd.hDevNames) : NULL;
    if (names) {
        const char *base = (const char *)names;
        typedef HDC(WINAPI * CreateDCFn)(LPCSTR, LPCSTR, LPCSTR, const DEVMODEA *);
        typedef BOOL(WINAPI * DeleteDCFn)(HDC);
        HMODULE gdi = LoadLibraryA("gdi32.dll");
        CreateDCFn create = gdi ? (CreateDCFn)(void *)GetProcAddress(gdi, "CreateDCA") : NULL;
        DeleteDCFn del = gdi ? (DeleteDCFn)(void *)GetProcAddress(gdi, "DeleteDC") : NULL;
        HDC dc = create ? create(base + names->wDriverOffset, base + names->wDeviceOffset,
                                 base + names->wOutputOffset, mode)
                        : NULL;
        if (dc) {
            found = 1;
            if (del)
                del(dc);
        }
        if (gdi)
            FreeLibrary(gdi);
    }
    if (names)
        GlobalUnlock(pd.hDevNames);
    if (mode)
        GlobalUnlock(pd.hDevMode);
    if (pd.hDevNames)
        GlobalFree(pd.hDevNames);
    if (pd.hDevMode)
        GlobalFree(pd.hDevMode);
    return found;
}

int HasWaveOutDevice() { return waveOutGetNumDevs() != 0 ? 1 : 0; }

void GetScreenInfo(int *pWidth, int *pHeight, int *pBits)
{
    if (!pWidth || !pHeight || !pBits)
        return;
    typedef HDC(WINAPI * GetDCFn)(HWND);
    typedef int(WINAPI * ReleaseDCFn)(HWND, HDC);
    typedef int(WINAPI * GetDeviceCapsFn)(HDC, int);
    HMODULE user = LoadLibraryA("user32.dll");
    HMODULE gdi = LoadLibraryA("gdi32.dll");
    GetDCFn getDC = user ? (GetDCFn)(void *)GetProcAddress(user, "GetDC") : NULL;
    ReleaseDCFn releaseDC = user ? (ReleaseDCFn)(void *)GetProcAddress(user, "ReleaseDC") : NULL;
    GetDeviceCapsFn caps = gdi ? (GetDeviceCapsFn)(void *)GetProcAddress(gdi, "GetDeviceCaps") : NULL;
    *pWidth = GetSystemMetrics(SM_CXSCREEN);
    *pHeight = GetSystemMetrics(SM_CYSCREEN);
    *pBits = 0;
    HDC dc = getDC ? getDC(NULL) : NULL;
    if (dc) {
        if (caps)
            *pBits = caps(dc, 12 /* BITSPIXEL */);
        if (releaseDC)
            releaseDC(NULL, dc);
    }
    if (gdi)
        FreeLibrary(gdi);
    if (user)
        FreeLibrary(user);
}

int GetIEVersion(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return 0;
    char value[100];
    DWORD type = 0, cb = sizeof value;
    LONG rc = RegQueryValueExA(key, "Version", NULL, &type, (LPBYTE)value, &cb);
    RegCloseKey(key);
    // Only a terminated string is handed on.
    if (rc != ERROR_SUCCESS || type != REG_SZ || !memchr(value, 0, cb))
        return 0;
    memcpy(lpszBuf, value, strlen(value) + 1);
    return 1;
}

int GetMakerName(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    strcpy(lpszBuf, "Zelkova");
    return 1;
}

/* A string of the executable's version resource, or "". */
static std::string VersionString(const char *field)
{
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return "";
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(exe, &handle);
    if (!size)
        return "";
    std::string block(size, '\0');
    if (!GetFileVersionInfoA(exe, 0, size, &block[0]))
        return "";
    WORD *trans = NULL;
    UINT len = 0;
    if (!VerQueryValueA(&block[0], "\\VarFileInfo\\Translation", (LPVOID *)&trans, &len) || len < 4 || !trans)
        return "";
    char query[80];
    snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", trans[0], trans[1], field);
    char *text = NULL;
    if (!VerQueryValueA(&block[0], query, (LPVOID *)&text, &len) || !text)
        return "";
    std::string s(text, strnlen(text, len));
    return s.size() < MAX_PATH ? s : s.substr(0, MAX_PATH - 1);
}

int GetProductName(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    sysinfo::PutPath(lpszBuf, VersionString("ProductName"));
    return 1;
}

int GetProductVersion(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    sysinfo::PutPath(lpszBuf, sysinfo::CutVersion(VersionString("ProductVersion"), g_versionDepth));
    return 1;
}

namespace sysinfo {

std::string CutVersion(std::string v, int depth)
{
    char sep = v.find(',') != std::string::npos ? ',' : '.';
    if (depth < 4) {
        size_t pos = std::string::npos, from = 0;
        bool all = true;
        for (int i = 0; i < depth; ++i) {
            pos = v.find(sep, from);
            if (pos == std::string::npos) {
                all = false;
                break;
            }
            from = pos + 1;
        }
        if (all)
            v.resize(pos);
    }
    return v;
}

}  // namespace sysinfo

int IsOSAtLeast(DWORD dw9xMajor, DWORD dw9xMinor, DWORD dwNtMajor, DWORD dwNtMinor, DWORD dwServicePack)
{
    OSVERSIONINFOA vi;
    memset(&vi, 0, sizeof vi);
    vi.dwOSVersionInfoSize = sizeof vi;
    if (!GetVersionExA(&vi))
        return 0;
    if (vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        return (vi.dwMajorVersion > dw9xMajor || (vi.dwMajorVersion == dw9xMajor && vi.dwMinorVersion >= dw9xMinor))
                   ? 1
                   : 0;
    if (vi.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return 0;
    if (vi.dwMajorVersion != dwNtMajor)
        return vi.dwMajorVersion > dwNtMajor ? 1 : 0;
    if (vi.dwMinorVersion != dwNtMinor)
        return vi.dwMinorVersion > dwNtMinor ? 1 : 0;
    int sp = 0;
    vi.szCSDVersion[sizeof vi.szCSDVersion - 1] = 0;
    if (sscanf(vi.szCSDVersion, "Service Pack %d", &sp) != 1)
        sp = 0;
    return sp >= (int)dwServicePack ? 1 : 0;
}

int IsFirstRun()
{
    char maker[MAX_PATH], product[MAX_PATH], version[MAX_PATH];
    GetMakerName(maker);
    GetProductName(product);
    GetProductVersion(version);
    std::string path = std::string("Software\\") + maker + "\\" + product + "\\" + version;
    DWORD kind = IsOSAtLeast(5, 0, 5, 0, 0) ? 2 : 1;
    HKEY key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disposition) !=
        ERROR_SUCCESS)
        return 0;  // nowhere to keep the marker: report no first run rather than one every time
    if (disposition == REG_OPENED_EXISTING_KEY) {
        DWORD value = 0, type = 0, cb = sizeof value;
        // A value of another type or size counts as absent.
        if (RegQueryValueExA(key, "HasBeenRun", NULL, &type, (LPBYTE)&value, &cb) != ERROR_SUCCESS ||
            type != REG_DWORD || cb != sizeof value)
            value = 0;
        if ((kind == 1 && value != 0) || (kind == 2 && value == 2)) {
            RegCloseKey(key);
            return 0;
        }
    }
    RegSetValueExA(key, "HasBeenRun", 0, REG_DWORD, (const BYTE *)&kind, sizeof kind);
    RegCloseKey(key);
    return 1;
}

int CanWriteMachineKey()
{
    HKEY key;
    char cls[] = "Software\\Temp0";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Temp0", 0, cls, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Temp0");
    return 1;
}
