/*
 * File fault injection and the system levers for the tests.  Natively the compat layer counts
 * the calls and holds the levers.  On Windows it happens here: the import address tables of
 * the test program and of the DLLs beside it are rerouted, for the kernel32 calls concerned, to
 * wrappers that fail the armed call with the same codes as the compat layer (or answer as the
 * lever says) and pass every other call on.
 */
#include "testkit.h"

#if defined(_WIN32)
#include <commdlg.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#else
#include "compat/testing.h"
#endif

namespace testkit {

#if defined(_WIN32)
namespace {

std::atomic<unsigned> g_remaining{0};

bool fault_now()
{
    unsigned r = g_remaining.load();
    while (r != 0) {
        if (g_remaining.compare_exchange_weak(r, r - 1))
            return r == 1;
    }
    return false;
}

struct Real {
    decltype(&CreateFileA) createFile;
    decltype(&ReadFile) readFile;
    decltype(&WriteFile) writeFile;
    decltype(&DeleteFileA) deleteFile;
    decltype(&MoveFileA) moveFile;
    decltype(&MoveFileExA) moveFileEx;
    decltype(&CopyFileA) copyFile;
    decltype(&CreateDirectoryA) createDirectory;
    decltype(&FlushFileBuffers) flushFileBuffers;
    decltype(&GetProcAddress) getProcAddress;
    decltype(&GetVersionExA) getVersionEx;
    decltype(&RegCreateKeyExA) regCreateKeyEx;
    decltype(&GetSaveFileNameA) getSaveFileName;
    decltype(&GetOpenFileNameA) getOpenFileName;
} g_real;

std::atomic<unsigned> g_registryRemaining{0};
std::atomic<unsigned> g_flushRemaining{0};

BOOL WINAPI HookFlushFileBuffers(HANDLE h)
{
    unsigned r = g_flushRemaining.load();
    while (r != 0) {
        if (g_flushRemaining.compare_exchange_weak(r, r - 1)) {
            if (r == 1) {
                SetLastError(ERROR_WRITE_FAULT);
                return FALSE;
            }
            break;
        }
    }
    return g_real.flushFileBuffers(h);
}

std::mutex g_leverLock;
std::set<std::string> g_hiddenProcs;
std::map<std::string, FARPROC> g_replacedProcs;
std::string g_fakeVersion;  // empty: the real one

FARPROC WINAPI HookGetProcAddress(HMODULE module, LPCSTR name)
{
    if ((ULONG_PTR)name > 0xFFFF) {
        std::lock_guard<std::mutex> g(g_leverLock);
        if (g_hiddenProcs.count(name)) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return NULL;
        }
        auto it = g_replacedProcs.find(name);
        if (it != g_replacedProcs.end())
            return it->second;
    }
    return g_real.getProcAddress(module, name);
}

/* The compat layer's reading of MEDLEY_WINVER: "major.minor[.build] [9x|nt] [Service Pack N]". */
BOOL WINAPI HookGetVersionExA(LPOSVERSIONINFOA vi)
{
    std::string text;
    {
        std::lock_guard<std::mutex> g(g_leverLock);
        text = g_fakeVersion;
    }
    if (text.empty() || !vi || vi->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA))
        return g_real.getVersionEx(vi);
    unsigned major = 5, minor = 1, build = 2600;
    int used = 0;
    if (sscanf(text.c_str(), "%u.%u%n", &major, &minor, &used) < 2)
        used = 0;
    std::string rest = text.substr((size_t)used);
    if (!rest.empty() && rest[0] == '.')
        build = (unsigned)strtoul(rest.c_str() + 1, NULL, 10);
    bool nineX = rest.find("9x") != std::string::npos;
    size_t sp = rest.find("Service Pack");
    memset(vi->szCSDVersion, 0, sizeof vi->szCSDVersion);
    if (sp != std::string::npos)
        snprintf(vi->szCSDVersion, sizeof vi->szCSDVersion, "%s", rest.substr(sp).c_str());
    vi->dwMajorVersion = major;
    vi->dwMinorVersion = minor;
    vi->dwBuildNumber = nineX ? ((major << 24) | (minor << 16) | (build & 0xFFFF)) : build;
    vi->dwPlatformId = nineX ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT;
    return TRUE;
}

LSTATUS WINAPI HookRegCreateKeyExA(HKEY a, LPCSTR b, DWORD c, LPSTR d, DWORD e, REGSAM f,
                                   const LPSECURITY_ATTRIBUTES g, PHKEY h, LPDWORD i)
{
    unsigned r = g_registryRemaining.load();
    while (r != 0) {
        if (g_registryRemaining.compare_exchange_weak(r, r - 1)) {
            if (r == 1)
                return ERROR_ACCESS_DENIED;
            break;
        }
    }
    return g_real.regCreateKeyEx(a, b, c, d, e, f, g, h, i);
}

/* The scripted file dialog: what it was asked with, and its answer. */
std::string g_dialogAnswer;
bool g_dialogScripted = false;
FileDialogSeen g_dialogSeen;

BOOL AnswerFileDialog(LPOPENFILENAMEA ofn)
{
    std::string answer;
    {
        std::lock_guard<std::mutex> g(g_leverLock);
        if (!ofn)
            return FALSE;
        g_dialogSeen.count++;
        g_dialogSeen.flags = ofn->Flags;
        g_dialogSeen.filter.clear();
        for (const char *f = ofn->lpstrFilter; f && *f && g_dialogSeen.filter.size() < 4096; f += strlen(f) + 1)
            g_dialogSeen.filter.append(f, strlen(f) + 1);
        if (!g_dialogScripted)
            return FALSE;  // cancelled
        answer = g_dialogAnswer;
    }
    if (!ofn->lpstrFile || answer.size() + 1 > ofn->nMaxFile)
        return FALSE;
    memcpy(ofn->lpstrFile, answer.c_str(), answer.size() + 1);
    size_t sep = answer.find_last_of("\\/");
    size_t nameAt = sep == std::string::npos ? 0 : sep + 1;
    size_t dot = answer.find_last_of('.');
    ofn->nFileOffset = (WORD)nameAt;
    ofn->nFileExtension = (WORD)(dot != std::string::npos && dot >= nameAt ? dot + 1 : answer.size());
    return TRUE;
}
BOOL WINAPI HookGetSaveFileNameA(LPOPENFILENAMEA ofn) { return AnswerFileDialog(ofn); }
BOOL WINAPI HookGetOpenFileNameA(LPOPENFILENAMEA ofn) { return AnswerFileDialog(ofn); }

HANDLE WINAPI HookCreateFileA(LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g)
{
    if (fault_now()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return g_real.createFile(a, b, c, d, e, f, g);
}

BOOL WINAPI HookReadFile(HANDLE h, LPVOID buf, DWORD n, LPDWORD done, LPOVERLAPPED o)
{
    if (fault_now()) {
        if (done)
            *done = 0;
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    return g_real.readFile(h, buf, n, done, o);
}

BOOL WINAPI HookWriteFile(HANDLE h, LPCVOID buf, DWORD n, LPDWORD done, LPOVERLAPPED o)
{
    if (fault_now()) {
        if (done)
            *done = 0;
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return g_real.writeFile(h, buf, n, done, o);
}

#define CHANGE_HOOK(name, field, params, args)     \
    BOOL WINAPI Hook##name params                  \
    {                                              \
        if (fault_now()) {                         \
            SetLastError(ERROR_ACCESS_DENIED);     \
            return FALSE;                          \
        }                                          \
        return g_real.field args;                  \
    }
CHANGE_HOOK(DeleteFileA, deleteFile, (LPCSTR a), (a))
CHANGE_HOOK(MoveFileA, moveFile, (LPCSTR a, LPCSTR b), (a, b))
CHANGE_HOOK(MoveFileExA, moveFileEx, (LPCSTR a, LPCSTR b, DWORD c), (a, b, c))
CHANGE_HOOK(CopyFileA, copyFile, (LPCSTR a, LPCSTR b, BOOL c), (a, b, c))
CHANGE_HOOK(CreateDirectoryA, createDirectory, (LPCSTR a, LPSECURITY_ATTRIBUTES b), (a, b))
#undef CHANGE_HOOK

/* Replaces, in one module's import address table, every entry holding one of the real
 * addresses by its wrapper. */
void reroute_imports(HMODULE module, const void *const *real, const void *const *hooks, size_t count)
{
    BYTE *base = (BYTE *)module;
    IMAGE_DOS_HEADER *dos = (IMAGE_DOS_HEADER *)base;
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + dos->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return;
    for (IMAGE_IMPORT_DESCRIPTOR *d = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); d->Name; ++d) {
        for (IMAGE_THUNK_DATA *t = (IMAGE_THUNK_DATA *)(base + d->FirstThunk); t->u1.Function; ++t) {
            for (size_t i = 0; i < count; ++i) {
                if ((const void *)(ULONG_PTR)t->u1.Function != real[i])
                    continue;
                DWORD old;
                if (VirtualProtect(&t->u1.Function, sizeof t->u1.Function, PAGE_READWRITE, &old)) {
                    t->u1.Function = (ULONG_PTR)hooks[i];
                    VirtualProtect(&t->u1.Function, sizeof t->u1.Function, old, &old);
                }
            }
        }
    }
}

void install_once()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    HMODULE k32 = GetModuleHandleA("kernel32.dll");
#define REAL(field, name) g_real.field = (decltype(g_real.field))(void *)GetProcAddress(k32, #name)
    REAL(createFile, CreateFileA);
    REAL(readFile, ReadFile);
    REAL(writeFile, WriteFile);
    REAL(deleteFile, DeleteFileA);
    REAL(moveFile, MoveFileA);
    REAL(moveFileEx, MoveFileExA);
    REAL(copyFile, CopyFileA);
    REAL(createDirectory, CreateDirectoryA);
    REAL(flushFileBuffers, FlushFileBuffers);
    REAL(getProcAddress, GetProcAddress);
    REAL(getVersionEx, GetVersionExA);
#undef REAL
    HMODULE advapi = LoadLibraryA("advapi32.dll"), comdlg = LoadLibraryA("comdlg32.dll");
    g_real.regCreateKeyEx = (decltype(g_real.regCreateKeyEx))(void *)GetProcAddress(advapi, "RegCreateKeyExA");
    g_real.getSaveFileName = (decltype(g_real.getSaveFileName))(void *)GetProcAddress(comdlg, "GetSaveFileNameA");
    g_real.getOpenFileName = (decltype(g_real.getOpenFileName))(void *)GetProcAddress(comdlg, "GetOpenFileNameA");
    const void *real[] = {(void *)g_real.createFile,      (void *)g_real.readFile,      (void *)g_real.writeFile,
                          (void *)g_real.deleteFile,      (void *)g_real.moveFile,      (void *)g_real.moveFileEx,
                          (void *)g_real.copyFile,        (void *)g_real.createDirectory,
                          (void *)g_real.getProcAddress,  (void *)g_real.getVersionEx,
                          (void *)g_real.regCreateKeyEx,  (void *)g_real.getSaveFileName,
                          (void *)g_real.getOpenFileName, (void *)g_real.flushFileBuffers};
    const void *hooks[] = {(void *)HookCreateFileA,  (void *)HookReadFile,          (void *)HookWriteFile,
                           (void *)HookDeleteFileA,  (void *)HookMoveFileA,         (void *)HookMoveFileExA,
                           (void *)HookCopyFileA,    (void *)HookCreateDirectoryA,
                           (void *)HookGetProcAddress, (void *)HookGetVersionExA,
                           (void *)HookRegCreateKeyExA, (void *)HookGetSaveFileNameA,
                           (void *)HookGetOpenFileNameA, (void *)HookFlushFileBuffers};
    /* Our own modules: the program and the DLLs in its folder. */
    std::string dir = ProgramDir();
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    if (snap == INVALID_HANDLE_VALUE)
        return;
    MODULEENTRY32 me;
    me.dwSize = sizeof me;
    for (BOOL more = Module32First(snap, &me); more; more = Module32Next(snap, &me)) {
        std::string path = me.szExePath;
        if (path.size() > dir.size() && _strnicmp(path.c_str(), dir.c_str(), dir.size()) == 0)
            reroute_imports(me.hModule, real, hooks, sizeof real / sizeof real[0]);
    }
    CloseHandle(snap);
}

}  // namespace

void FailNthFileOperation(unsigned n)
{
    install_once();
    g_remaining = n;
}

bool FileFaultPending() { return g_remaining.load() != 0; }

void HideProc(const char *name, bool hide)
{
    install_once();
    std::lock_guard<std::mutex> g(g_leverLock);
    if (!name || !*name)
        g_hiddenProcs.clear();
    else if (hide)
        g_hiddenProcs.insert(name);
    else
        g_hiddenProcs.erase(name);
}

void ReplaceProc(const char *name, FARPROC fn)
{
    install_once();
    std::lock_guard<std::mutex> g(g_leverLock);
    if (!name || !*name)
        return;
    if (fn)
        g_replacedProcs[name] = fn;
    else
        g_replacedProcs.erase(name);
}

void FakeWindowsVersion(const char *text)
{
    install_once();
    std::lock_guard<std::mutex> g(g_leverLock);
    g_fakeVersion = text ? text : "";
}

void FailNthRegistryCreate(unsigned n)
{
    install_once();
    g_registryRemaining = n;
}

void FailNthFlush(unsigned n)
{
    install_once();
    g_flushRemaining = n;
}

void ScriptFileDialog(const char *answer)
{
    install_once();
    std::lock_guard<std::mutex> g(g_leverLock);
    g_dialogScripted = answer != nullptr;
    g_dialogAnswer = answer ? answer : "";
}

FileDialogSeen LastFileDialog()
{
    std::lock_guard<std::mutex> g(g_leverLock);
    return g_dialogSeen;
}

#else

void FailNthRegistryCreate(unsigned n) { compat_fail_nth("registry", n); }

void FailNthFlush(unsigned n) { compat_fail_nth("flush", n); }

void ScriptFileDialog(const char *answer) { SetEnvironmentVariableA("MEDLEY_FILE_DIALOG", answer); }

FileDialogSeen LastFileDialog()
{
    FileDialogSeen seen;
    char filter[4096];
    size_t n = 0;
    seen.count = compat_last_file_dialog(&seen.flags, filter, sizeof filter, &n);
    seen.filter.assign(filter, n < sizeof filter ? n : sizeof filter);
    return seen;
}

void FailNthFileOperation(unsigned n) { compat_fail_nth("file", n); }

bool FileFaultPending() { return compat_fault_remaining("file") != 0; }

void HideProc(const char *name, bool hide) { compat_hide_proc(name, hide ? 1 : 0); }

void ReplaceProc(const char *name, FARPROC fn) { compat_replace_proc(name, (void *)fn); }

void FakeWindowsVersion(const char *text) { SetEnvironmentVariableA("MEDLEY_WINVER", text); }

#endif

unsigned ForEachFileFault(const std::function<void()> &reset, const std::function<bool()> &op,
                          const std::function<void(bool ok, unsigned n)> &check, unsigned limit)
{
    for (unsigned n = 1; n <= limit; ++n) {
        reset();
        FailNthFileOperation(n);
        bool ok = op();
        bool fired = !FileFaultPending();
        FailNthFileOperation(0);
        check(ok, n);
        if (!fired)
            return n - 1;
    }
    return 0;
}

}  // namespace testkit
