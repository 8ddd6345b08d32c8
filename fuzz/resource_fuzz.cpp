/* Compiled resource data (.res) registered under a module handle of its own: any bytes must
 * register, and every resource the data names must load, walk and free without faults. */
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include <windows.h>
#if !defined(_WIN32)
#include "compat/extensions.h"
#endif

#if !defined(_WIN32)

namespace {

// Names seen by EnumResourceNamesA, copied out so they outlive the callback.
struct Names {
    std::vector<std::vector<char>> strs;  // textual names (empty for ids)
    std::vector<ULONG_PTR> ids;
};

BOOL CALLBACK collect(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    Names *n = (Names *)param;
    if (n->ids.size() >= 16)
        return FALSE;
    if (IS_INTRESOURCE(name)) {
        n->ids.push_back((ULONG_PTR)name);
        n->strs.emplace_back();
    } else {
        n->ids.push_back(0);
        n->strs.emplace_back(name, name + strlen(name) + 1);
    }
    return TRUE;
}

Names names_of(HMODULE m, LPCSTR type)
{
    Names n;
    EnumResourceNamesA(m, type, collect, (LONG_PTR)&n);
    return n;
}

LPCSTR name_at(const Names &n, size_t i)
{
    return n.ids[i] ? MAKEINTRESOURCEA(n.ids[i]) : n.strs[i].data();
}

/* Reads an icon's or cursor's pictures back and frees the bitmaps GetIconInfo made. */
void read_icon_info(HICON h)
{
    ICONINFO info;
    if (!GetIconInfo(h, &info))
        return;
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
}

void walk_menu(HMENU menu, int depth)
{
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count && i < 64; ++i) {
        char text[32];
        GetMenuStringA(menu, (UINT)i, text, sizeof text, MF_BYPOSITION);
        GetMenuStringA(menu, (UINT)i, text, 1, MF_BYPOSITION);
        UINT id = GetMenuItemID(menu, i);
        GetMenuState(menu, id, MF_BYCOMMAND);
        MENUITEMINFOA mii;
        memset(&mii, 0, sizeof mii);
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_TYPE;
        mii.dwTypeData = text;
        mii.cch = sizeof text;
        GetMenuItemInfoA(menu, (UINT)i, TRUE, &mii);
        HMENU sub = GetSubMenu(menu, i);
        if (sub && depth < 8)
            walk_menu(sub, depth + 1);
    }
}

const char *const kVersionQueries[] = {
    "\\",
    "\\VarFileInfo\\Translation",
    "\\StringFileInfo\\040904B0\\FileVersion",
    "\\StringFileInfo\\040904B0\\ProductName",
    "\\StringFileInfo\\040904E4\\CompanyName",
    "\\StringFileInfo\\000004B0\\FileDescription",
};

void walk_version(const uint8_t *data, DWORD size)
{
    if (size < 6)
        return;
    DWORD len = (DWORD)(data[0] | (data[1] << 8));
    if (len < 6 || len > size)
        return;
    // The caller's block as GetFileVersionInfoA hands it out: the data, "FE2X", then room.
    std::vector<uint8_t> block(2 * (size_t)len + 4, 0);
    memcpy(block.data(), data, len);
    memcpy(block.data() + len, "FE2X", 4);
    for (const char *q : kVersionQueries) {
        LPVOID value = NULL;
        UINT n = 0;
        if (VerQueryValueA(block.data(), q, &value, &n) && value && n) {
            volatile uint8_t sink = 0;
            const uint8_t *v = (const uint8_t *)value;
            for (UINT i = 0; i < n && i < 4096; ++i)
                sink ^= v[i];
            (void)sink;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HMODULE m = (HMODULE)(ULONG_PTR)0x7e570000;
    compat_register_resources(m, data, size);

    // Lookups of fixed ids, by number and by "#n" text.
    for (UINT id = 1; id < 4; ++id) {
        HRSRC r = FindResourceA(m, MAKEINTRESOURCEA(id), RT_RCDATA);
        if (r) {
            SizeofResource(m, r);
            LockResource(LoadResource(m, r));
        }
    }
    FindResourceA(m, "#1", RT_VERSION);
    FindResourceExA(m, RT_STRING, MAKEINTRESOURCEA(1), 0x0409);

    // Strings: the fixed ids the module serves, then every string of each block present.
    char buf[300];
    const UINT fixed[] = {0, 1, 15, 16, 110, 0xFFFF};
    for (UINT id : fixed) {
        LoadStringA(m, id, buf, sizeof buf);
        LoadStringA(m, id, buf, 1);
        LoadStringA(m, id, buf, 2);
    }
    Names strings = names_of(m, RT_STRING);
    for (size_t i = 0; i < strings.ids.size(); ++i) {
        if (!strings.ids[i])
            continue;
        UINT base = (UINT)(strings.ids[i] - 1) * 16;
        for (UINT j = 0; j < 16; ++j)
            LoadStringA(m, base + j, buf, (int)(1 + j * 7));
    }

    Names cursors = names_of(m, RT_GROUP_CURSOR);
    for (size_t i = 0; i < cursors.ids.size(); ++i) {
        HCURSOR c = LoadCursorA(m, name_at(cursors, i));
        if (c) {
            read_icon_info((HICON)c);
            DestroyCursor(c);
        }
    }
    Names icons = names_of(m, RT_GROUP_ICON);
    for (size_t i = 0; i < icons.ids.size(); ++i) {
        HICON h = LoadIconA(m, name_at(icons, i));
        if (h) {
            read_icon_info(h);
            DestroyIcon(h);
        }
    }

    Names menus = names_of(m, RT_MENU);
    for (size_t i = 0; i < menus.ids.size(); ++i) {
        HMENU h = LoadMenuA(m, name_at(menus, i));
        if (h) {
            walk_menu(h, 0);
            DestroyMenu(h);
        }
    }

    Names accels = names_of(m, RT_ACCELERATOR);
    for (size_t i = 0; i < accels.ids.size(); ++i) {
        HACCEL h = LoadAcceleratorsA(m, name_at(accels, i));
        if (h) {
            int n = CopyAcceleratorTableA(h, NULL, 0);
            if (n > 0 && n < 4096) {
                std::vector<ACCEL> table((size_t)n);
                CopyAcceleratorTableA(h, table.data(), n);
                CopyAcceleratorTableA(h, table.data(), 1);
            }
            DestroyAcceleratorTable(h);
        }
    }

    Names bitmaps = names_of(m, RT_BITMAP);
    for (size_t i = 0; i < bitmaps.ids.size(); ++i) {
        HBITMAP h = LoadBitmapA(m, name_at(bitmaps, i));
        if (h) {
            BITMAP bm;
            GetObjectA(h, sizeof bm, &bm);
            DeleteObject(h);
        }
    }

    Names versions = names_of(m, RT_VERSION);
    for (size_t i = 0; i < versions.ids.size(); ++i) {
        HRSRC r = FindResourceA(m, name_at(versions, i), RT_VERSION);
        if (r)
            walk_version((const uint8_t *)LockResource(LoadResource(m, r)), SizeofResource(m, r));
    }

    compat_unregister_resources(m);
    return 0;
}

#else

/* Windows keeps resources in the loaded image, not in a blob registered at run time: there is
 * nothing to replay the data through. */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *, size_t) { return 0; }

#endif
