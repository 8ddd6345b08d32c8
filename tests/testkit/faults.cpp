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

/* The armed faults: the Nth call from the arming fires, once (0: disarmed). */
std::atomic<unsigned> g_fileFaults{0}, g_registryFaults{0}, g_flushFaults{0};

bool Fires(std::atomic<unsigned> &remaining)
{
    unsigned r = remaining.load();
    while (r != 0 && !remaining.compare_exchange_weak(r, r - 1)) {
    }
    return r == 1;
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

/* A wrapper that fails the armed call of `counter` with `error` (after `before`). */
#define FAULT_HOOK(name, counter, error, params, args, before) \
    BOOL WINAPI hook_##name params                           \
    {                                                        \
        if (Fires(counter)) {                                \
            before;                                          \
            SetLastError(error);                             \
            return FALSE;                                    \
        }                                                    \
        return g_real.name args;                             \
    }
#define NOTHING (void)0
FAULT_HOOK(flushFileBuffers, g_flushFaults, ERROR_WRITE_FAULT, (HANDLE h), (h), NOTHING)
FAULT_HOOK(readFile, g_fileFaults, ERROR_READ_FAULT, (HANDLE h, LPVOID b, DWORD n, LPDWORD done, LPOVERLAPPED o),
           (h, b, n, done, o), if (done) *done = 0)
FAULT_HOOK(writeFile, g_fileFaults, ERROR_WRITE_FAULT, (HANDLE h, LPCVOID b, DWORD n, LPDWORD done, LPOVERLAPPED o),
           (h, b, n, done, o), if (done) *done = 0)
FAULT_HOOK(deleteFile, g_fileFaults, ERROR_ACCESS_DENIED, (LPCSTR a), (a), NOTHING)
FAULT_HOOK(moveFile, g_fileFaults, ERROR_ACCESS_DENIED, (LPCSTR a, LPCSTR b), (a, b), NOTHING)
FAULT_HOOK(moveFileEx, g_fileFaults, ERROR_ACCESS_DENIED, (LPCSTR a, LPCSTR b, DWORD c), (a, b, c), NOTHING)
FAULT_HOOK(copyFile, g_fileFaults, ERROR_ACCESS_DENIED, (LPCSTR a, LPCSTR b, BOOL c), (a, b, c), NOTHING)
FAULT_HOOK(createDirectory, g_fileFaults, ERROR_ACCESS_DENIED, (LPCSTR a, LPSECURITY_ATTRIBUTES b), (a, b), NOTHING)
#undef NOTHING
#undef FAULT_HOOK

HANDLE WINAPI hook_createFile(LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g)
{
    if (Fires(g_fileFaults)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return g_real.createFile(a, b, c, d, e, f, g);
}

std::mutex g_leverLock;
std::set<std::string> g_hiddenProcs;
std::map<std::string, FARPROC> g_replacedProcs;
std::string g_fakeVersion;  // empty: the real one

FARPROC WINAPI hook_getProcAddress(HMODULE module, LPCSTR name)
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
BOOL WINAPI hook_getVersionEx(LPOSVERSIONINFOA vi)
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

LSTATUS WINAPI hook_regCreateKeyEx(HKEY a, LPCSTR b, DWORD c, LPSTR d, DWORD e, REGSAM f,
                                  const LPSECURITY_ATTRIBUTES g, PHKEY h, LPDWORD i)
{
    return Fires(g_registryFaults) ? ERROR_ACCESS_DENIED : g_real.regCreateKeyEx(a, b, c, d, e, f, g, h, i);
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
BOOL WINAPI hook_getSaveFileName(LPOPENFILENAMEA ofn) { return AnswerFileDialog(ofn); }
BOOL WINAPI hook_getOpenFileName(LPOPENFILENAMEA ofn) { return AnswerFileDialog(ofn); }

/* Each rerouted call: its DLL, its name, the wrapper and where the real one is kept. */
#define HOOK(dll, name, field) {dll, #name, (void *)hook_##field, (void **)&g_real.field}
const struct {
    const char *dll, *name;
    void *hook;
    void **real;
} kHooks[] = {
    HOOK("kernel32.dll", CreateFileA, createFile),       HOOK("kernel32.dll", ReadFile, readFile),
    HOOK("kernel32.dll", WriteFile, writeFile),          HOOK("kernel32.dll", DeleteFileA, deleteFile),
    HOOK("kernel32.dll", MoveFileA, moveFile),           HOOK("kernel32.dll", MoveFileExA, moveFileEx),
    HOOK("kernel32.dll", CopyFileA, copyFile),           HOOK("kernel32.dll", CreateDirectoryA, createDirectory),
    HOOK("kernel32.dll", FlushFileBuffers, flushFileBuffers), HOOK("kernel32.dll", GetProcAddress, getProcAddress),
    HOOK("kernel32.dll", GetVersionExA, getVersionEx),   HOOK("advapi32.dll", RegCreateKeyExA, regCreateKeyEx),
    HOOK("comdlg32.dll", GetSaveFileNameA, getSaveFileName), HOOK("comdlg32.dll", GetOpenFileNameA, getOpenFileName),
};
#undef HOOK

/* Replaces, in one module's import address table, every entry holding a real address by its
 * wrapper. */
void reroute_imports(HMODULE module)
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
            for (const auto &h : kHooks) {
                if ((void *)(ULONG_PTR)t->u1.Function != *h.real)
                    continue;
                DWORD old;
                if (VirtualProtect(&t->u1.Function, sizeof t->u1.Function, PAGE_READWRITE, &old)) {
                    t->u1.Function = (ULONG_PTR)h.hook;
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
    for (const auto &h : kHooks)
        *h.real = (void *)GetProcAddress(LoadLibraryA(h.dll), h.name);
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
            reroute_imports(me.hModule);
    }
    CloseHandle(snap);
}

}  // namespace

void FailNthFileOperation(unsigned n)
{
    install_once();
    g_fileFaults = n;
}

bool FileFaultPending() { return g_fileFaults.load() != 0; }

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
    g_registryFaults = n;
}

void FailNthFlush(unsigned n)
{
    install_once();
    g_flushFaults = n;
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
