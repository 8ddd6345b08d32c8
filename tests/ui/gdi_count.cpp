#include "gdi_count.h"

#include <gtest/gtest.h>

#include "pixkit.h"

#include <string.h>

#include <algorithm>
#include <atomic>
#include <initializer_list>

namespace uitest {
namespace {

std::atomic<long> g_regions{0}, g_fonts{0};  // alive

decltype(&CreateRectRgn) real_CreateRectRgn;
decltype(&ExtCreateRegion) real_ExtCreateRegion;
decltype(&CreatePolygonRgn) real_CreatePolygonRgn;
decltype(&CreateFontA) real_CreateFontA;
decltype(&DeleteObject) real_DeleteObject;
decltype(&SetWindowRgn) real_SetWindowRgn;
decltype(&PxOpenFile) real_PxOpenFile;
decltype(&GlobalFree) real_GlobalFree;
decltype(&PxLoadBmpFileThumbnail) real_PxLoadBmpFileThumbnail;
std::vector<HGLOBAL> g_loaded, g_freed, g_pictures;
std::vector<std::string> g_asked, g_failing;  // g_failing: names that load as missing

HRGN Made(HRGN h)
{
    if (h)
        ++g_regions;
    return h;
}

HRGN WINAPI my_CreateRectRgn(int a, int b, int c, int d) { return Made(real_CreateRectRgn(a, b, c, d)); }
HRGN WINAPI my_ExtCreateRegion(const XFORM *x, DWORD n, const RGNDATA *d) { return Made(real_ExtCreateRegion(x, n, d)); }
HRGN WINAPI my_CreatePolygonRgn(const POINT *p, int n, int m) { return Made(real_CreatePolygonRgn(p, n, m)); }
HFONT WINAPI my_CreateFontA(int h, int w, int e, int o, int wt, DWORD i, DWORD u, DWORD s, DWORD cs, DWORD op,
                            DWORD cp, DWORD q, DWORD pf, LPCSTR face)
{
    HFONT f = real_CreateFontA(h, w, e, o, wt, i, u, s, cs, op, cp, q, pf, face);
    if (f)
        ++g_fonts;
    return f;
}
BOOL WINAPI my_DeleteObject(HGDIOBJ h)
{
    DWORD type = h ? GetObjectType(h) : 0;
    BOOL ok = real_DeleteObject(h);
    if (ok && type == OBJ_REGION)
        --g_regions;
    if (ok && type == OBJ_FONT)
        --g_fonts;
    return ok;
}
int WINAPI my_SetWindowRgn(HWND w, HRGN r, BOOL redraw)
{
    int ok = real_SetWindowRgn(w, r, redraw);
    if (ok && r)
        --g_regions;
    return ok;
}

std::string BaseName(LPCSTR path)
{
    std::string name = path ? path : "";
    return name.substr(name.find_last_of("\\/") + 1);  // npos + 1: the whole name
}

bool Failing(LPCSTR path) { return std::count(g_failing.begin(), g_failing.end(), BaseName(path)) != 0; }

/* A load through `real` that fails for the names given to BlockWatch::Fail; kept in made. */
template <typename Load>
HGLOBAL Loaded(Load real, LPCSTR path, int a, int b, std::vector<HGLOBAL> &made)
{
    if (Failing(path)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    HGLOBAL h = real(path, a, b);
    if (h)
        made.push_back(h);
    return h;
}
HGLOBAL WINAPI my_PxOpenFile(LPCSTR path, int a, int b) { return Loaded(real_PxOpenFile, path, a, b, g_loaded); }
HGLOBAL WINAPI my_PxLoadBmpFileThumbnail(LPCSTR path, int a, int b)
{
    g_asked.push_back(BaseName(path));
    return Loaded(real_PxLoadBmpFileThumbnail, path, a, b, g_pictures);
}
HGLOBAL WINAPI my_GlobalFree(HGLOBAL h)
{
    HGLOBAL r = real_GlobalFree(h);
    if (!r && h)
        g_freed.push_back(h);
    return r;
}

}  // namespace

void *PatchImport(HMODULE m, const char *dll, const char *name, void *hook)
{
    BYTE *base = (BYTE *)m;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return nullptr;
    void *old = nullptr;
    for (IMAGE_IMPORT_DESCRIPTOR *d = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); d->Name; ++d) {
        if ((dll && lstrcmpiA((const char *)(base + d->Name), dll) != 0) || !d->OriginalFirstThunk)
            continue;
        IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slots = (IMAGE_THUNK_DATA *)(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            IMAGE_IMPORT_BY_NAME *byName = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (strcmp((const char *)byName->Name, name) != 0)
                continue;
            DWORD prot;
            VirtualProtect(&slots->u1.Function, sizeof(void *), PAGE_READWRITE, &prot);
            old = (void *)slots->u1.Function;
            slots->u1.Function = (ULONG_PTR)hook;
            VirtualProtect(&slots->u1.Function, sizeof(void *), prot, &prot);
        }
    }
    return old;
}

namespace {

/* Each watched call: its DLL, its name, its wrapper and where the real one is kept; `all`: watched
 * in the test program and the stand-in DLLs, else (the base library's block traffic) in the test
 * program only. */
#define HOOK(dll, name, all) {dll, #name, (void *)my_##name, (void **)&real_##name, all}
const struct {
    const char *dll, *name;
    void *hook;
    void **real;
    bool all;
} kHooks[] = {
    HOOK("gdi32.dll", CreateRectRgn, true),     HOOK("gdi32.dll", ExtCreateRegion, true),
    HOOK("gdi32.dll", CreatePolygonRgn, true),  HOOK("gdi32.dll", CreateFontA, true),
    HOOK("gdi32.dll", DeleteObject, true),      HOOK("user32.dll", SetWindowRgn, true),
    HOOK("PixKit.dll", PxOpenFile, false),      HOOK("kernel32.dll", GlobalFree, false),
    HOOK("PixKit.dll", PxLoadBmpFileThumbnail, false),
};
#undef HOOK

void HookOnce()
{
    static const bool hooked = [] {
        for (const auto &h : kHooks)
            *h.real = (void *)GetProcAddress(GetModuleHandleA(h.dll), h.name);
        for (const char *module : {(const char *)NULL, "SKUI.dll", "SKUILib.dll"})
            if (HMODULE m = GetModuleHandleA(module))
                for (const auto &h : kHooks)
                    if (h.all || !module)
                        PatchImport(m, h.dll, h.name, h.hook);
        return true;
    }();
    (void)hooked;
}

}  // namespace

NoGdiLeft::NoGdiLeft()
{
    HookOnce();
    m_regions = g_regions;
    m_fonts = g_fonts;
}

NoGdiLeft::~NoGdiLeft()
{
    EXPECT_EQ(m_regions, g_regions.load()) << "regions left undeleted";
    EXPECT_EQ(m_fonts, g_fonts.load()) << "fonts left undeleted";
}

BlockWatch::BlockWatch()
{
    HookOnce();
    g_loaded.clear();
    g_freed.clear();
    g_pictures.clear();
    g_asked.clear();
    g_failing.clear();
}

BlockWatch::~BlockWatch() { g_failing.clear(); }
const std::vector<HGLOBAL> &BlockWatch::Loaded() const { return g_loaded; }

bool BlockWatch::Freed(HGLOBAL h) const { return std::count(g_freed.begin(), g_freed.end(), h) != 0; }

bool BlockWatch::AllLoadedFreed() const
{
    return std::all_of(g_loaded.begin(), g_loaded.end(), [this](HGLOBAL h) { return Freed(h); });
}

const std::vector<std::string> &BlockWatch::Asked() const { return g_asked; }
const std::vector<HGLOBAL> &BlockWatch::Given() const { return g_pictures; }
void BlockWatch::Fail(const std::string &fileName) { g_failing.push_back(fileName); }

}  // namespace uitest
