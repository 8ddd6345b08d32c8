/*
 * Menus loaded from MENU resources.
 *
 * The resource (the classic format, version 0):
 *
 *   WORD wVersion (0), WORD cbHeaderSize (0), then the items of the top level:
 *   item:   WORD fItemFlags   (MF_POPUP 0x10: no id, its items follow at once;
 *                              MF_END 0x80: the last item of its level)
 *           WORD wMenuID      (plain items only)
 *           WCHAR szText[]    zero-terminated; an empty plain item is a separator
 *
 * A loaded menu is a tree of MenuObjects, one per level; the handle of a level is the address
 * of its object, kept in g_menus so that stale handles are refused.  Each LoadMenuA makes a new
 * tree, freed by DestroyMenu (with every submenu).
 */
#include <string.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "internal.h"
#include "resource_private.h"

namespace {

struct MenuObject;

struct MenuItem {
    UINT type = MFT_STRING;  // MFT_SEPARATOR, MF_MENUBREAK, ...
    UINT state = 0;          // MFS_GRAYED, MFS_CHECKED, ...
    UINT id = 0;
    std::string text;
    bool hasText = false;
    MenuObject *sub = nullptr;
};

struct MenuObject {
    std::vector<MenuItem> items;
};

std::mutex g_lock;
/* Live menus; what is left at exit goes with the process. */
struct MenuTable : std::set<MenuObject *> {
    ~MenuTable()
    {
        for (MenuObject *m : *this)
            delete m;
    }
} g_menus;

const UINT kStateFlags = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_DEFAULT;
const UINT kTypeFlags = MF_MENUBARBREAK | MF_MENUBREAK | MF_OWNERDRAW | MF_RIGHTJUSTIFY | MF_RIGHTORDER;

uint16_t rd16(const uint8_t *p) { return (uint16_t)(p[0] | (p[1] << 8)); }

/* Frees a tree; the caller holds g_lock. */
void free_tree(MenuObject *m)
{
    for (MenuItem &it : m->items)
        if (it.sub)
            free_tree(it.sub);
    g_menus.erase(m);
    delete m;
}

/* Parses one level starting at p; returns false on truncated or too deeply nested data.  The
 * caller holds g_lock. */
bool parse_level(const uint8_t *&p, const uint8_t *end, MenuObject *menu, int depth)
{
    if (depth > 32)
        return false;
    for (;;) {
        if (end - p < 2)
            return false;
        UINT flags = rd16(p);
        p += 2;
        MenuItem item;
        bool popup = (flags & MF_POPUP) != 0;
        if (!popup) {
            if (end - p < 2)
                return false;
            item.id = rd16(p);
            p += 2;
        }
        std::vector<WCHAR> w;
        for (;;) {
            if (end - p < 2)
                return false;
            WCHAR c = rd16(p);
            p += 2;
            if (!c)
                break;
            w.push_back(c);
        }
        if (!w.empty()) {
            int n = WideCharToMultiByte(CP_ACP, 0, w.data(), (int)w.size(), NULL, 0, NULL, NULL);
            item.text.resize((size_t)n);
            WideCharToMultiByte(CP_ACP, 0, w.data(), (int)w.size(), &item.text[0], n, NULL, NULL);
        }
        item.state = flags & kStateFlags;
        item.type = flags & kTypeFlags;
        if (popup) {
            item.hasText = true;
            item.sub = new MenuObject();
            g_menus.insert(item.sub);
            menu->items.push_back(item);
            if (!parse_level(p, end, item.sub, depth + 1))
                return false;
        } else {
            if (w.empty() && !(flags & (MF_BITMAP | MF_OWNERDRAW)))
                item.type |= MFT_SEPARATOR;
            else
                item.hasText = true;
            menu->items.push_back(item);
        }
        if (flags & MF_END)
            return true;
    }
}

MenuObject *lookup(HMENU h)
{
    auto it = g_menus.find((MenuObject *)h);
    return it == g_menus.end() ? nullptr : *it;
}

/* Finds an item by position or by command (searching submenus first, as Windows does). */
MenuItem *find_item(MenuObject *m, UINT item, UINT flags)
{
    if (flags & MF_BYPOSITION)
        return item < m->items.size() ? &m->items[item] : nullptr;
    for (MenuItem &it : m->items) {
        if (it.sub) {
            if (MenuItem *found = find_item(it.sub, item, flags))
                return found;
        } else if (it.id == item) {
            return &it;
        }
    }
    return nullptr;
}

}  // namespace

HMENU WINAPI LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName)
{
    if (!lpMenuName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    const compat::ResEntry *e = compat::find_resource(hInstance, RT_MENU, lpMenuName, -1);
    if (!e)
        return NULL;
    const uint8_t *p = e->data, *end = e->data + e->size;
    if (e->size < 4 || rd16(p) != 0) {  // MENUEX (version 1) templates are not carried here
        SetLastError(ERROR_INVALID_DATA);
        return NULL;
    }
    p += 4 + rd16(p + 2);
    std::lock_guard<std::mutex> g(g_lock);
    auto *menu = new MenuObject();
    g_menus.insert(menu);
    if (p > end || !parse_level(p, end, menu, 0)) {
        free_tree(menu);
        SetLastError(ERROR_INVALID_DATA);
        return NULL;
    }
    return (HMENU)menu;
}

BOOL WINAPI DestroyMenu(HMENU hMenu)
{
    std::lock_guard<std::mutex> g(g_lock);
    MenuObject *m = lookup(hMenu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    // A submenu destroyed on its own leaves its parent item without a submenu.
    for (MenuObject *other : g_menus)
        for (MenuItem &it : other->items)
            if (it.sub == m)
                it.sub = nullptr;
    free_tree(m);
    return TRUE;
}

int WINAPI GetMenuItemCount(HMENU hMenu)
{
    std::lock_guard<std::mutex> g(g_lock);
    MenuObject *m = lookup(hMenu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return (int)m->items.size();
}

UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos)
{
    std::lock_guard<std::mutex> g(g_lock);
    MenuObject *m = lookup(hMenu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return (UINT)-1;
    }
    if (nPos < 0 || (size_t)nPos >= m->items.size())
        return (UINT)-1;
    const MenuItem &it = m->items[(size_t)nPos];
    return it.sub ? (UINT)-1 : it.id;
}

HMENU WINAPI GetSubMenu(HMENU hMenu, int nPos)
{
    std::lock_guard<std::mutex> g(g_lock);
    MenuObject *m = lookup(hMenu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return NULL;
    }
    if (nPos < 0 || (size_t)nPos >= m->items.size())
        return NULL;
    return (HMENU)m->items[(size_t)nPos].sub;
}

int WINAPI GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags)
{
    if (lpString && cchMax > 0)
        lpString[0] = 0;
    std::lock_guard<std::mutex> g(g_lock);
    MenuObject *m = lookup(hMenu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return 0;
    }
    MenuItem *it = find_item(m, uIDItem, flags);
    if (!it) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return 0;
    }
    if (!it->hasText)
        return 0;
    if (!lpString || cchMax <= 0)
        return (int)it->text.size();
    size_t n = it->text.size() < (size_t)cchMax - 1 ? it->text.size() : (size_t)cchMax - 1;
    memcpy(lpString, it->text.data(), n);
    lpString[n] = 0;
    return (int)n;
}

UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags)
{
    std::lock_guard<std::mutex> g(g_lock);
    MenuObject *m = lookup(hMenu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return (UINT)-1;
    }
    MenuItem *it = find_item(m, uId, uFlags);
    if (!it)
        return (UINT)-1;
    if (it->sub)
        return (UINT)(it->sub->items.size() << 8) | ((it->state | it->type | MF_POPUP) & 0xFF);
    return it->type | it->state;
}

BOOL WINAPI GetMenuItemInfoA(HMENU hmenu, UINT item, BOOL fByPosition, LPMENUITEMINFOA lpmii)
{
    if (!lpmii || (lpmii->cbSize != sizeof(MENUITEMINFOA) && lpmii->cbSize != offsetof(MENUITEMINFOA, hbmpItem)) ||
        ((lpmii->fMask & MIIM_TYPE) && (lpmii->fMask & (MIIM_STRING | MIIM_FTYPE | MIIM_BITMAP)))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> g(g_lock);
    MenuObject *m = lookup(hmenu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    MenuItem *it = find_item(m, item, fByPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (!it) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    UINT mask = lpmii->fMask;
    if (mask & (MIIM_TYPE | MIIM_FTYPE))
        lpmii->fType = it->type;
    if (mask & (MIIM_TYPE | MIIM_STRING)) {
        if (!it->hasText) {
            if (lpmii->dwTypeData && lpmii->cch)
                lpmii->dwTypeData[0] = 0;
            lpmii->cch = 0;
        } else {
            UINT len = (UINT)it->text.size();
            if (lpmii->dwTypeData && lpmii->cch) {
                // A short buffer gets cch - 1 characters and the length copied.
                UINT n = len < lpmii->cch - 1 ? len : lpmii->cch - 1;
                memcpy(lpmii->dwTypeData, it->text.data(), n);
                lpmii->dwTypeData[n] = 0;
                lpmii->cch = n;
            } else {
                lpmii->cch = len;
            }
        }
    }
    if (mask & MIIM_STATE)
        lpmii->fState = it->state;
    if (mask & MIIM_ID)
        lpmii->wID = it->sub ? (UINT)(UINT_PTR)it->sub : it->id;
    lpmii->hSubMenu = (mask & MIIM_SUBMENU) ? (HMENU)it->sub : NULL;
    if (mask & MIIM_CHECKMARKS) {
        lpmii->hbmpChecked = NULL;
        lpmii->hbmpUnchecked = NULL;
    }
    if (mask & MIIM_DATA)
        lpmii->dwItemData = 0;
    if ((mask & MIIM_BITMAP) && lpmii->cbSize == sizeof(MENUITEMINFOA))
        lpmii->hbmpItem = NULL;
    return TRUE;
}
