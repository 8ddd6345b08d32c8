/*
 * System queries answered by the host's own means: the configured Windows version, screen
 * metrics, the user's folders (XDG user dirs), wave output devices, the default printer,
 * version resources of loaded modules, and the clock.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>

#include <fstream>
#include <string>

#include "compat/resource.h"
#include "internal.h"

namespace {

std::string home_dir() { return compat::home_folder(); }

/* XDG_<NAME>_DIR from $XDG_CONFIG_HOME/user-dirs.dirs, else ~/<fallback>. */
std::string xdg_user_dir(const char *name, const char *fallback)
{
    std::string config;
    if (const char *x = getenv("XDG_CONFIG_HOME"); x && *x)
        config = x;
    else
        config = home_dir() + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line, key = std::string("XDG_") + name + "_DIR=";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string v = line.substr(key.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
            v = v.substr(1, v.size() - 2);
        if (v.compare(0, 5, "$HOME") == 0)
            v = home_dir() + v.substr(5);
        if (!v.empty())
            return v;
    }
    return home_dir() + "/" + fallback;
}

std::string env_or(const char *var, const std::string &fallback)
{
    const char *v = getenv(var);
    return v && *v ? v : fallback;
}

/* The host folder of a shell folder id, or "" for ids we do not know. */
std::string folder_for(int csidl)
{
    switch (csidl & 0xFF) {
    case CSIDL_PERSONAL: return xdg_user_dir("DOCUMENTS", "Documents");
    case CSIDL_MYPICTURES: return xdg_user_dir("PICTURES", "Pictures");
    case CSIDL_MYMUSIC: return xdg_user_dir("MUSIC", "Music");
    case CSIDL_MYVIDEO: return xdg_user_dir("VIDEOS", "Videos");
    case CSIDL_DESKTOPDIRECTORY: return xdg_user_dir("DESKTOP", "Desktop");
    case CSIDL_APPDATA: return env_or("XDG_CONFIG_HOME", home_dir() + "/.config");
    case CSIDL_LOCAL_APPDATA: return env_or("XDG_DATA_HOME", home_dir() + "/.local/share");
    case CSIDL_COMMON_APPDATA: return compat::host_path("C:\\ProgramData");
    case CSIDL_PROGRAM_FILES: return compat::host_path("C:\\Program Files");
    case CSIDL_WINDOWS: return compat::host_path("C:\\windows");
    case CSIDL_SYSTEM: return compat::host_path("C:\\windows\\system32");
    default: return "";
    }
}

bool make_tree(const std::string &dir)
{
    for (size_t i = 1; i <= dir.size(); ++i)
        if (i == dir.size() || dir[i] == '/')
            mkdir(dir.substr(0, i).c_str(), 0755);
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/* Shared by both shell entry points: the folder in `out` (MAX_PATH), made when asked. */
bool shell_folder(int csidl, bool create, LPSTR out)
{
    std::string dir = folder_for(csidl);
    if (dir.empty() || dir.size() >= MAX_PATH)
        return false;
    struct stat st;
    bool exists = stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (!exists && !(create && make_tree(dir)))
        return false;
    memcpy(out, dir.c_str(), dir.size() + 1);
    return true;
}

}  // namespace

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA vi)
{
    if (!vi || vi->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::string wintext = env_or("MEDLEY_WINVER", "5.1.2600 nt Service Pack 3");
    unsigned major = 5, minor = 1, build = 2600;
    int used = 0;
    if (sscanf(wintext.c_str(), "%u.%u%n", &major, &minor, &used) < 2) {
        major = 5;
        minor = 1;
        used = 0;
    }
    std::string rest = wintext.substr((size_t)used);
    if (!rest.empty() && rest[0] == '.')
        build = (unsigned)strtoul(rest.c_str() + 1, NULL, 10);
    bool nine_x = rest.find("9x") != std::string::npos;
    size_t sp = rest.find("Service Pack");
    memset(vi->szCSDVersion, 0, sizeof vi->szCSDVersion);
    if (sp != std::string::npos)
        snprintf(vi->szCSDVersion, sizeof vi->szCSDVersion, "%s", rest.substr(sp).c_str());
    vi->dwMajorVersion = major;
    vi->dwMinorVersion = minor;
    vi->dwBuildNumber = nine_x ? ((major << 24) | (minor << 16) | (build & 0xFFFF)) : build;
    vi->dwPlatformId = nine_x ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT;
    return TRUE;
}

int WINAPI GetSystemMetrics(int index)
{
    unsigned w = 1024, h = 768, bits = 32;
    if (const char *s = getenv("MEDLEY_SCREEN"); s && *s) {
        unsigned a = 0, b = 0, c = 32;
        if (sscanf(s, "%ux%ux%u", &a, &b, &c) >= 2 && a && b) {
            w = a;
            h = b;
            bits = c;
        }
    }
    (void)bits;
    switch (index) {
    case SM_CXSCREEN: return (int)w;
    case SM_CYSCREEN: return (int)h;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 17;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    default: return 0;
    }
}

BOOL WINAPI SHGetSpecialFolderPathA(HWND, LPSTR path, int csidl, BOOL create)
{
    if (!path)
        return FALSE;
    return shell_folder(csidl, create != 0, path) ? TRUE : FALSE;
}

HRESULT WINAPI SHGetFolderPathA(HWND, int csidl, HANDLE, DWORD, LPSTR path)
{
    if (!path)
        return E_INVALIDARG;
    path[0] = 0;
    if (folder_for(csidl).empty())
        return E_INVALIDARG;
    return shell_folder(csidl, (csidl & CSIDL_FLAG_CREATE) != 0, path) ? S_OK
                                                                      : (HRESULT)0x80070002L;  // file not found
}

UINT WINAPI waveOutGetNumDevs(void)
{
    if (const char *v = getenv("MEDLEY_WAVEOUT_DEVICES"); v && *v)
        return (UINT)strtoul(v, NULL, 10);
    std::ifstream in("/proc/asound/pcm");
    std::string line;
    UINT n = 0;
    while (std::getline(in, line))
        if (line.find("playback") != std::string::npos)
            ++n;
    return n;
}

/* The current time broken down by `convert` (gmtime_r or localtime_r). */
static void current_time(LPSYSTEMTIME st, struct tm *(*convert)(const time_t *, struct tm *))
{
    struct timeval tv;
    gettimeofday(&tv, NULL);
    struct tm tm;
    time_t t = tv.tv_sec;
    convert(&t, &tm);
    st->wYear = (WORD)(tm.tm_year + 1900);
    st->wMonth = (WORD)(tm.tm_mon + 1);
    st->wDayOfWeek = (WORD)tm.tm_wday;
    st->wDay = (WORD)tm.tm_mday;
    st->wHour = (WORD)tm.tm_hour;
    st->wMinute = (WORD)tm.tm_min;
    st->wSecond = (WORD)tm.tm_sec;
    st->wMilliseconds = (WORD)(tv.tv_usec / 1000);
}

void WINAPI GetSystemTime(LPSYSTEMTIME st) { current_time(st, gmtime_r); }
void WINAPI GetLocalTime(LPSYSTEMTIME st) { current_time(st, localtime_r); }

/* The default printer's name: PRINTER, then the DefaultPrinter of CUPS' printers.conf. */
static std::string default_printer()
{
    if (const char *p = getenv("PRINTER"); p && *p)
        return p;
    std::ifstream in(env_or("MEDLEY_CUPS_PRINTERS", "/etc/cups/printers.conf"));
    std::string line;
    while (std::getline(in, line)) {
        const std::string tag = "<DefaultPrinter ";
        if (line.compare(0, tag.size(), tag) == 0 && line.back() == '>')
            return line.substr(tag.size(), line.size() - tag.size() - 1);
    }
    return "";
}

BOOL WINAPI PrintDlgA(LPPRINTDLGA pd)
{
    if (!pd || pd->lStructSize != sizeof(PRINTDLGA) || !(pd->Flags & PD_RETURNDEFAULT) || pd->hDevMode ||
        pd->hDevNames)
        return FALSE;
    std::string name = default_printer();
    if (name.empty() || name.size() >= CCHDEVICENAME)
        return FALSE;
    const char driver[] = "winspool", port[] = "CUPS:";
    size_t names_size = sizeof(DEVNAMES) + sizeof driver + name.size() + 1 + sizeof port;
    HGLOBAL hNames = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, names_size);
    HGLOBAL hMode = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVMODEA));
    char *n = hNames ? (char *)GlobalLock(hNames) : NULL;
    DEVMODEA *m = hMode ? (DEVMODEA *)GlobalLock(hMode) : NULL;
    if (!n || !m) {
        if (n)
            GlobalUnlock(hNames);
        if (m)
            GlobalUnlock(hMode);
        GlobalFree(hNames);
        GlobalFree(hMode);
        return FALSE;
    }
    DEVNAMES *dn = (DEVNAMES *)n;
    size_t off = sizeof(DEVNAMES);
    dn->wDriverOffset = (WORD)off;
    memcpy(n + off, driver, sizeof driver);
    off += sizeof driver;
    dn->wDeviceOffset = (WORD)off;
    memcpy(n + off, name.c_str(), name.size() + 1);
    off += name.size() + 1;
    dn->wOutputOffset = (WORD)off;
    memcpy(n + off, port, sizeof port);
    dn->wDefault = 1;
    memcpy(m->dmDeviceName, name.c_str(), name.size() + 1);
    m->dmSpecVersion = 0x0401;
    m->dmSize = (WORD)sizeof(DEVMODEA);
    GlobalUnlock(hNames);
    GlobalUnlock(hMode);
    pd->hDevNames = hNames;
    pd->hDevMode = hMode;
    return TRUE;
}

