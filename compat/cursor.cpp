/*
 * Cursors and icons from resources.
 *
 * A group resource (RT_GROUP_CURSOR / RT_GROUP_ICON) lists the images of one cursor or icon:
 *
 *   WORD reserved, WORD type (1 icon, 2 cursor), WORD count, then count entries of 14 bytes:
 *   icon:   BYTE width, BYTE height, BYTE colours, BYTE reserved, WORD planes, WORD bitcount,
 *           DWORD bytes, WORD id
 *   cursor: WORD width, WORD height (doubled), WORD planes, WORD bitcount, DWORD bytes, WORD id
 *
 * Each image is an RT_CURSOR / RT_ICON resource: a cursor starts with WORD xHotspot, WORD
 * yHotspot; then a BITMAPINFOHEADER whose height is doubled, the palette, the XOR bits and
 * the AND mask.  A loaded handle points at an IconObject that keeps the parsed image.
 */
#include <string.h>

#include <mutex>
#include <set>

#include "icon_private.h"
#include "internal.h"
#include "resource_private.h"

namespace {
std::mutex g_lock;
std::set<compat::IconObject *> g_icons;

uint16_t rd16(const uint8_t *p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t rd32(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }

/* Picks the image nearest to 32x32 (the system size), preferring more colours. */
HICON load_group(HINSTANCE instance, LPCSTR name, bool cursor)
{
    const compat::ResEntry *group =
        compat::find_resource(instance, cursor ? RT_GROUP_CURSOR : RT_GROUP_ICON, name, -1);
    if (!group) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return NULL;
    }
    const uint8_t *p = group->data;
    if (group->size < 6)
        return NULL;
    unsigned count = rd16(p + 4);
    if (group->size < 6 + 14 * (size_t)count)
        return NULL;
    int bestId = -1, bestScore = 1 << 30;
    for (unsigned i = 0; i < count; ++i) {
        const uint8_t *e = p + 6 + 14 * i;
        int w, h, bits;
        if (cursor) {
            w = rd16(e);
            h = rd16(e + 2) / 2;
            bits = rd16(e + 6);
        } else {
            w = e[0] ? e[0] : 256;
            h = e[1] ? e[1] : 256;
            bits = rd16(e + 6);
        }
        int score = abs(w - 32) + abs(h - 32);
        score = score * 64 - bits;
        if (score < bestScore) {
            bestScore = score;
            bestId = rd16(e + 12);
        }
    }
    if (bestId < 0)
        return NULL;
    const compat::ResEntry *image =
        compat::find_resource(instance, cursor ? RT_CURSOR : RT_ICON, MAKEINTRESOURCEA(bestId), -1);
    if (!image)
        return NULL;
    auto *obj = new compat::IconObject();
    obj->cursor = cursor;
    const uint8_t *d = image->data;
    size_t size = image->size;
    if (cursor) {
        if (size < 4) {
            delete obj;
            return NULL;
        }
        obj->hotspot.x = rd16(d);
        obj->hotspot.y = rd16(d + 2);
        d += 4;
        size -= 4;
    }
    if (size < 40 || rd32(d) < 40) {
        delete obj;
        SetLastError(ERROR_INVALID_DATA);
        return NULL;
    }
    obj->width = (int)rd32(d + 4);
    obj->height = (int)rd32(d + 8) / 2;
    obj->bitcount = rd16(d + 14);
    obj->dib.assign(d, d + size);
    if (!cursor) {
        obj->hotspot.x = obj->width / 2;
        obj->hotspot.y = obj->height / 2;
    }
    std::lock_guard<std::mutex> g(g_lock);
    g_icons.insert(obj);
    return (HICON)obj;
}
}  // namespace

namespace compat {
IconObject *icon_from_handle(HICON h)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_icons.find((IconObject *)h);
    return it == g_icons.end() ? nullptr : *it;
}
}  // namespace compat

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    return (HCURSOR)load_group(instance, name, true);
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    return load_group(instance, name, false);
}

static BOOL destroy(HICON h)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_icons.find((compat::IconObject *)h);
    if (it == g_icons.end()) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    // Loaded from resources: shared, as on Windows; destroying one is a no-op that succeeds.
    return TRUE;
}

BOOL WINAPI DestroyCursor(HCURSOR h) { return destroy((HICON)h); }
BOOL WINAPI DestroyIcon(HICON h) { return destroy(h); }
