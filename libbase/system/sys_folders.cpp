/* Special, named and application folders; current and temporary paths; folder trees. */
#include <stdio.h>
#include <string.h>

#include "sysinfo.h"
#include "sys_private.h"

using sysinfo::PutPath;

namespace {

typedef BOOL(WINAPI *SHGetSpecialFolderPathFn)(HWND, LPSTR, int, BOOL);
typedef HRESULT(WINAPI *SHGetFolderPathFn)(HWND, int, HANDLE, DWORD, LPSTR);

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

/* Reads a string value of the shell-folders key into a 260-byte buffer; false when absent,
 * empty, not a string, or not terminated within the buffer. */
bool ReadShellFolder(LPCSTR lpszValue, LPSTR lpszBuf)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return false;
    char value[MAX_PATH];
    DWORD type = 0, cb = sizeof value;
    LONG rc = RegQueryValueExA(key, lpszValue, NULL, &type, (LPBYTE)value, &cb);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || cb == 0 || !memchr(value, 0, cb) ||
        !value[0])
        return false;
    memcpy(lpszBuf, value, strlen(value) + 1);
    return true;
}

/* The folder below the documents folder, its tree created. */
void DocumentsSub(LPSTR lpszBuf, LPCSTR lpszSub)
{
    char docs[MAX_PATH];
    GetMyDocumentsFolder(docs, TRUE);
    if (PutPath(lpszBuf, std::string(docs) + lpszSub))
        CreateFolderTree(lpszBuf);
}

/* folder\maker\product\version below a shell folder (code 0 only). */
void AppDataFolder(LPSTR lpszBuf, int nFolder)
{
    int code = GetSpecialFolder(lpszBuf, nFolder, TRUE);
    if (code != 0)
        return;
    char maker[MAX_PATH], product[MAX_PATH], version[MAX_PATH];
    GetMakerName(maker);
    GetProductName(product);
    GetProductVersion(version);
    SanitizeVersion(version);
    std::string base(lpszBuf);
    std::string s = base + "\\" + maker + "\\" + product + "\\" + version;
    if (PutPath(lpszBuf, s))
        CreateFolderTree(lpszBuf);
    else
        PutPath(lpszBuf, base);  // too long: keep the shell folder itself
}

}  // namespace

int GetSpecialFolder(LPSTR lpszBuf, int nFolder, BOOL bCreate)
{
    if (!lpszBuf)
        return -1;
    lpszBuf[0] = 0;
    int code = 0;
    SHGetSpecialFolderPathFn special = NULL;
    SHGetFolderPathFn folder = NULL;
    HMODULE lib = LoadLibraryA("Shell32.dll");
    if (lib)
        special = (SHGetSpecialFolderPathFn)(void *)GetProcAddress(lib, "SHGetSpecialFolderPathA");
    if (!special) {
        if (lib)
            FreeLibrary(lib);
        lib = LoadLibraryA("shfolder.dll");
        if (lib)
            folder = (SHGetFolderPathFn)(void *)GetProcAddress(lib, "SHGetFolderPathA");
    }
    auto ask = [&](int id) {
        char tmp[MAX_PATH * 2] = "";  // slack for a shell that writes up to MAX_PATH + 1
        if (special)
            special(NULL, tmp, id, bCreate);
        else
            folder(NULL, id | SYS_CSIDL_FLAG_CREATE, NULL, 0, tmp);
        tmp[MAX_PATH - 1] = 0;
        memcpy(lpszBuf, tmp, strlen(tmp) + 1);
    };
    if (special || folder) {
        ask(nFolder);
        if (nFolder == SYS_CSIDL_COMMON_APPDATA && !lpszBuf[0])
            ask(SYS_CSIDL_APPDATA);
        if (!lpszBuf[0]) {
            if (nFolder == SYS_CSIDL_APPDATA || nFolder == SYS_CSIDL_LOCAL_APPDATA ||
                nFolder == SYS_CSIDL_COMMON_APPDATA) {
                char win[MAX_PATH] = "";
                UINT n = GetWindowsDirectoryA(win, MAX_PATH);
                if (n == 0 || n >= MAX_PATH || !PutPath(lpszBuf, std::string(win) + "\\Application Data"))
                    code = -1;
            } else if (nFolder == SYS_CSIDL_PROGRAM_FILES) {
                PutPath(lpszBuf, "c:\\Program Files");
            } else if (nFolder == SYS_CSIDL_MYPICTURES) {
                if (bCreate) {
                    char docs[MAX_PATH];
                    GetSpecialFolder(docs, SYS_CSIDL_PERSONAL, TRUE);
                    if (PutPath(lpszBuf, std::string(docs) + "\\My Pictures")) {
                        CreateFolderTree(lpszBuf);
                        code = 1;
                    } else {
                        code = -1;
                    }
                } else {
                    code = 3;
                }
            } else {
                code = -1;
            }
        }
    } else {
        if (nFolder == SYS_CSIDL_PERSONAL || nFolder == SYS_CSIDL_MYPICTURES) {
            std::string path = "C:\\My Documents";
            if (nFolder == SYS_CSIDL_MYPICTURES) {
                char docs[MAX_PATH];
                GetSpecialFolder(docs, SYS_CSIDL_PERSONAL, TRUE);
                path = std::string(docs) + "\\My Pictures";
            }
            if (!PutPath(lpszBuf, path))
                code = -1;
            else if (bCreate) {
                CreateFolderTree(lpszBuf);
                code = 1;
            } else {
                code = 3;
            }
        } else if (nFolder == SYS_CSIDL_APPDATA || nFolder == SYS_CSIDL_LOCAL_APPDATA ||
                   nFolder == SYS_CSIDL_COMMON_APPDATA) {
            GetAppFolder(lpszBuf);
            code = 2;
        } else {
            code = -1;
        }
    }
    if (lib)
        FreeLibrary(lib);
    return code;
}

int GetMyDocumentsFolder(LPSTR lpszBuf, BOOL bCreate)
{
    if (!lpszBuf)
        return 0;
    int code = GetSpecialFolder(lpszBuf, SYS_CSIDL_PERSONAL, bCreate);
    return (code == 0 || code == 1 || code == 2) ? 1 : 0;
}

int GetMyPicturesFolder(LPSTR lpszBuf, BOOL bCreate)
{
    if (!lpszBuf)
        return 0;
    if (ReadShellFolder("My Pictures", lpszBuf))
        return 1;
    int code = GetSpecialFolder(lpszBuf, SYS_CSIDL_MYPICTURES, bCreate);
    return (code == 0 || code == 1) ? 1 : 0;
}

int GetMyMusicFolder(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    if (!ReadShellFolder("My Music", lpszBuf))
        DocumentsSub(lpszBuf, "\\My Music");
    return 1;
}

int GetMyVideosFolder(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    DocumentsSub(lpszBuf, "\\My Videos");
    return 1;
}

int GetCommonAppDataFolder(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    AppDataFolder(lpszBuf, SYS_CSIDL_COMMON_APPDATA);
    return 1;
}

int GetUserAppDataFolder(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    AppDataFolder(lpszBuf, SYS_CSIDL_APPDATA);
    return 1;
}

void GetAppFolder(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return;
    char exe[MAX_PATH] = "", drive[MAX_PATH], dir[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        lpszBuf[0] = 0;  // no name, or one cut short: no folder rather than a wrong one
        return;
    }
    SplitPath(exe, drive, dir, NULL, NULL);
    std::string s = std::string(drive) + dir;
    if (s.size() > 1 && (s.back() == '\\' || s.back() == '/'))
        s.pop_back();
    PutPath(lpszBuf, s);
}

int GetProgramFolder(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    GetAppFolder(lpszBuf);
    return 1;
}

int GetDataFolder(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    return GetUserAppDataFolder(lpszBuf);
}

static int MoveIntoFolder(LPSTR lpszPath, bool data)
{
    if (!lpszPath)
        return 0;
    char folder[MAX_PATH], name[MAX_PATH], ext[MAX_PATH];
    SplitPath(lpszPath, NULL, NULL, name, ext);
    if (data)
        GetUserAppDataFolder(folder);
    else
        GetAppFolder(folder);
    char out[MAX_PATH * 3 + 4];
    snprintf(out, sizeof out, "%s\\%s%s", folder, name, ext);
    if (strlen(out) >= MAX_PATH)
        return 0;  // the path is left as it was
    memcpy(lpszPath, out, strlen(out) + 1);
    return 1;
}

int MakeProgramFilePath(LPSTR lpszPath) { return MoveIntoFolder(lpszPath, false); }
int MakeDataFilePath(LPSTR lpszPath) { return MoveIntoFolder(lpszPath, true); }

int GetCurrentFolder(LPSTR lpszBuf, int nSize)
{
    if (!lpszBuf || nSize <= 0)
        return 0;
    char cur[MAX_PATH * 4];
    DWORD n = GetCurrentDirectoryA(sizeof cur, cur);
    if (n == 0 || n >= sizeof cur)
        cur[0] = 0;
    std::string s = std::string(cur) + "\\";
    sysinfo::CopyBounded(lpszBuf, s.c_str(), (size_t)nSize);
    return 1;
}

int MakeCurrentFolderPath(LPSTR lpszBuf, LPCSTR lpszName, int nSize)
{
    if (!lpszBuf || !lpszName || nSize <= 0)
        return 0;
    char cur[MAX_PATH * 4];
    DWORD n = GetCurrentDirectoryA(sizeof cur, cur);
    if (n == 0 || n >= sizeof cur)
        cur[0] = 0;
    std::string s = std::string(cur) + "\\" + lpszName;
    sysinfo::CopyBounded(lpszBuf, s.c_str(), (size_t)nSize);
    return 1;
}

int MakeTempPath(LPSTR lpszBuf, LPCSTR lpszName)
{
    if (!lpszBuf || !lpszName)
        return 0;
    char tmp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, tmp);
    if (n == 0 || n >= MAX_PATH || !PutPath(lpszBuf, std::string(tmp) + lpszName)) {
        if (n != 0)
            SetLastError(ERROR_FILENAME_EXCED_RANGE);  // else why the folder could not be had
        lpszBuf[0] = 0;
        return 0;
    }
    return 1;
}

int CreateFolderTree(LPCSTR lpszPath)
{
    if (!lpszPath)
        return -1;
    size_t len = strlen(lpszPath);
    if (len < 3)
        return -1;
    if (len >= MAX_PATH)
        return -2;  // no such folder can be made
    // A trailing separator ends the path ("C:\A\B\" is the folder C:\A\B), and an empty
    // piece between two separators names no folder of its own.
    while (len > 3 && (lpszPath[len - 1] == '\\' || lpszPath[len - 1] == '/'))
        --len;
    char prefix[MAX_PATH];
    for (size_t i = 3; i < len; ++i) {
        char next = i + 1 < len ? lpszPath[i + 1] : 0;
        if (next != '\\' && next != '/' && next != 0)
            continue;
        if (lpszPath[i] == '\\' || lpszPath[i] == '/')
            continue;
        memcpy(prefix, lpszPath, i + 1);
        prefix[i + 1] = 0;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(prefix, &fd);
        if (h != INVALID_HANDLE_VALUE)
            FindClose(h);
        else if (!CreateDirectoryA(prefix, NULL))
            return -2;
    }
    return 0;
}
