/*
 * Modules: LoadLibraryA / GetProcAddress / FreeLibrary over the dynamic loader.
 *
 * A module handle is the load address of the shared object (dladdr's dli_fbase), so the
 * same handle comes back from the module's own entry point, GetModuleHandleA and
 * LoadLibraryA.  The entry point itself runs from the object's constructor/destructor
 * (compat/dllmain.h); the loader serialises those as Windows' loader does.
 */
#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "compat/dllmain.h"
#include "compat/testing.h"
#include "internal.h"

namespace {
std::mutex g_lock;
std::map<HMODULE, void *> g_dl;  // module handle -> dlopen handle, one per LoadLibraryA
std::multimap<HMODULE, void *> g_refs;

std::string exe_dir()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    buf[n] = 0;
    std::string s(buf);
    size_t slash = s.rfind('/');
    return slash == std::string::npos ? "." : s.substr(0, slash);
}

bool file_exists(const std::string &p) { return access(p.c_str(), F_OK) == 0; }

/* The path of this library: system DLLs are answered by it. */
std::string self_path()
{
    Dl_info info;
    if (dladdr((void *)&LoadLibraryA, &info) && info.dli_fname)
        return info.dli_fname;
    return "";
}

bool is_system_dll(const std::string &lower)
{
    static const char *const names[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                        "shell32.dll", "shfolder.dll", "comdlg32.dll", "version.dll",
                                        "winmm.dll", "ws2_32.dll"};
    for (const char *n : names)
        if (lower == n || lower + ".dll" == n)
            return true;
    return false;
}

/* Windows DLL names ("PixKit.dll") -> the shared object that stands for them. */
std::string resolve(const char *name)
{
    {
        std::string base = name;
        size_t sep = base.find_last_of("\\/");
        if (sep != std::string::npos)
            base = base.substr(sep + 1);
        for (char &c : base)
            c = (char)tolower((unsigned char)c);
        if (is_system_dll(base))
            return self_path();
    }
    std::string host = compat::host_path(name);
    if (host.find('/') != std::string::npos)
        return host;
    std::string dir = exe_dir();
    std::string cand = dir + "/" + host;
    if (file_exists(cand))
        return cand;
    std::string lower;
    for (char c : host)
        lower += (char)tolower((unsigned char)c);
    size_t dot = lower.rfind(".dll");
    if (dot != std::string::npos && dot + 4 == lower.size())
        lower.resize(dot);
    cand = dir + "/lib" + lower + ".so";
    if (file_exists(cand))
        return cand;
    return host;
}
}  // namespace

HINSTANCE compat_module_of_address(const void *address)
{
    Dl_info info;
    if (!dladdr(address, &info))
        return NULL;
    return (HINSTANCE)info.dli_fbase;
}

HMODULE WINAPI LoadLibraryA(LPCSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    std::string path = resolve(name);
    if (!file_exists(path)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    void *dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return NULL;
    }
    struct link_map *map = NULL;
    HMODULE mod = NULL;
    if (dlinfo(dl, RTLD_DI_LINKMAP, &map) == 0 && map)
        mod = (HMODULE)map->l_addr;
    if (!mod) {
        // Non-PIE objects load at 0 bias; fall back to an exported symbol's object base.
        mod = (HMODULE)dl;
    }
    std::lock_guard<std::mutex> g(g_lock);
    g_refs.emplace(mod, dl);
    return mod;
}

BOOL WINAPI FreeLibrary(HMODULE mod)
{
    void *dl = NULL;
    {
        std::lock_guard<std::mutex> g(g_lock);
        auto it = g_refs.find(mod);
        if (it == g_refs.end()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        dl = it->second;
        g_refs.erase(it);
    }
    dlclose(dl);
    return TRUE;
}

static std::set<std::string> g_hidden;

/* Test hook: GetProcAddress answers "not found" for a hidden name, so callers' fallbacks for
 * a missing export can be driven.  Empty or null name: show everything again. */
void compat_hide_proc(const char *name, int hide)
{
    std::lock_guard<std::mutex> g(g_lock);
    if (!name || !*name)
        g_hidden.clear();
    else if (hide)
        g_hidden.insert(name);
    else
        g_hidden.erase(name);
}

static std::map<std::string, void *> g_replaced;

/* Test hook: GetProcAddress answers `fn` for `name` from any module (null: the real export
 * again), so callers can be handed a stand-in that answers as a test needs. */
void compat_replace_proc(const char *name, void *fn)
{
    std::lock_guard<std::mutex> g(g_lock);
    if (!name || !*name)
        return;
    if (fn)
        g_replaced[name] = fn;
    else
        g_replaced.erase(name);
}

static bool compat_proc_hidden(const char *name)
{
    std::lock_guard<std::mutex> g(g_lock);
    return g_hidden.count(name) != 0;
}

static void *compat_proc_replaced(const char *name)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_replaced.find(name);
    return it == g_replaced.end() ? NULL : it->second;
}

static void *dl_for(HMODULE mod)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_refs.find(mod);
    return it == g_refs.end() ? NULL : it->second;
}

FARPROC WINAPI GetProcAddress(HMODULE mod, LPCSTR proc)
{
    if (!proc || IS_INTRESOURCE(proc)) {
        // Ordinals are a PE notion; our stand-ins export names on this host.
        SetLastError(ERROR_PROC_NOT_FOUND);
        return NULL;
    }
    void *dl = mod ? dl_for(mod) : dlopen(NULL, RTLD_NOW);
    if (!dl) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    void *sym = compat_proc_hidden(proc) ? NULL : compat_proc_replaced(proc);
    if (!sym && !compat_proc_hidden(proc))
        sym = dlsym(dl, proc);
    if (!mod)
        dlclose(dl);
    if (!sym) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return NULL;
    }
    return (FARPROC)sym;
}

/* The program's own module: the first object the loader lists. */
static HMODULE exe_module()
{
    HMODULE found = NULL;
    dl_iterate_phdr(
        [](struct dl_phdr_info *info, size_t, void *data) -> int {
            *(HMODULE *)data = (HMODULE)info->dlpi_addr;
            return 1;
        },
        &found);
    return found;
}

struct FindCtx {
    std::string want;
    HMODULE found;
};

static std::string base_name_lower(const char *p)
{
    std::string s(p ? p : "");
    size_t slash = s.find_last_of("/\\");
    if (slash != std::string::npos)
        s = s.substr(slash + 1);
    for (char &c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    if (!name)
        return exe_module();
    FindCtx ctx{base_name_lower(name), NULL};
    std::string alt = ctx.want;
    dl_iterate_phdr(
        [](struct dl_phdr_info *info, size_t, void *data) -> int {
            FindCtx *c = (FindCtx *)data;
            std::string n = base_name_lower(info->dlpi_name);
            std::string want = c->want;
            size_t dot = want.rfind(".dll");
            std::string so = dot != std::string::npos && dot + 4 == want.size()
                                 ? "lib" + want.substr(0, dot) + ".so"
                                 : want;
            if (!n.empty() && (n == want || n == so)) {
                c->found = (HMODULE)info->dlpi_addr;
                return 1;
            }
            return 0;
        },
        &ctx);
    if (!ctx.found)
        SetLastError(ERROR_MOD_NOT_FOUND);
    return ctx.found;
}

DWORD WINAPI GetModuleFileNameA(HMODULE mod, LPSTR buf, DWORD size)
{
    std::string path;
    if (!mod) {
        char tmp[PATH_MAX];
        ssize_t n = readlink("/proc/self/exe", tmp, sizeof tmp - 1);
        if (n > 0)
            path.assign(tmp, (size_t)n);
    } else {
        struct Ctx {
            HMODULE mod;
            std::string path;
        } ctx{mod, ""};
        dl_iterate_phdr(
            [](struct dl_phdr_info *info, size_t, void *data) -> int {
                Ctx *c = (Ctx *)data;
                if ((HMODULE)info->dlpi_addr == c->mod && info->dlpi_name && *info->dlpi_name) {
                    c->path = info->dlpi_name;
                    return 1;
                }
                return 0;
            },
            &ctx);
        path = ctx.path;
        if (path.empty()) {
            char tmp[PATH_MAX];
            ssize_t n = readlink("/proc/self/exe", tmp, sizeof tmp - 1);
            if (n > 0 && exe_module() == mod)
                path.assign(tmp, (size_t)n);
        }
    }
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Windows: a short buffer gets size-1 characters, a terminator, the result size and
    // ERROR_INSUFFICIENT_BUFFER.
    if (path.size() >= size) {
        memcpy(buf, path.data(), size - 1);
        buf[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(buf, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE) { return TRUE; }
