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

#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "gdi_private.h"

#include "icon_private.h"
#include "internal.h"
#include "resource_private.h"

namespace {
std::mutex g_lock;
/* Every loaded image; what is left is freed with the process. */
struct IconTable : std::set<compat::IconObject *> {
    ~IconTable()
    {
        for (compat::IconObject *o : *this)
            delete o;
    }
} g_icons;
/* Loaded images are shared, as Windows shares LOADED resources: the same image of the same
 * module gives the same handle, so a host that loads a cursor at every mouse move does not
 * grow the table.  They live until their module's resources go. */
std::map<std::tuple<HINSTANCE, const uint8_t *, uint32_t, bool>, compat::IconObject *> g_shared;

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
    auto key = std::make_tuple(instance, image->data, image->size, cursor);
    {
        std::lock_guard<std::mutex> g(g_lock);
        auto it = g_shared.find(key);
        if (it != g_shared.end())
            return (HICON)it->second;
    }
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
    auto it = g_shared.find(key);
    if (it != g_shared.end()) {
        delete obj;
        return (HICON)it->second;
    }
    g_icons.insert(obj);
    g_shared[key] = obj;
    return (HICON)obj;
}
}  // namespace

namespace compat {
void icon_release_module(HINSTANCE module)
{
    std::lock_guard<std::mutex> g(g_lock);
    for (auto it = g_shared.begin(); it != g_shared.end();) {
        if (std::get<0>(it->first) == module) {
            g_icons.erase(it->second);
            delete it->second;
            it = g_shared.erase(it);
        } else {
            ++it;
        }
    }
}

HICON icon_add(IconObject *obj)
{
    std::lock_guard<std::mutex> g(g_lock);
    g_icons.insert(obj);
    return (HICON)obj;
}

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
    // Icons made for one caller go away.
    if ((*it)->owned) {
        delete *it;
        g_icons.erase(it);
    }
    return TRUE;
}

BOOL WINAPI DestroyCursor(HCURSOR h) { return destroy((HICON)h); }
BOOL WINAPI DestroyIcon(HICON h) { return destroy(h); }

/*
 * GetIconInfo: new bitmaps the caller deletes.  A monochrome image gives no colour bitmap and a
 * mask of twice the height (AND mask on top, XOR image below); a colour image gives a mask of
 * its own height and a colour bitmap of the display's depth.  Icons report their centre as hot
 * spot.
 */
BOOL WINAPI GetIconInfo(HICON hIcon, PICONINFO piconinfo)
{
    compat::IconObject *obj = compat::icon_from_handle(hIcon);
    if (!obj) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    if (!piconinfo) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    const std::vector<uint8_t> &d = obj->dib;
    if (d.size() < 40) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    uint32_t headerSize = rd32(d.data());
    int w = obj->width, h = obj->height, bpp = obj->bitcount;
    if (headerSize < 40 || headerSize > d.size() || w <= 0 || h <= 0 || w > 256 || h > 256 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    size_t colours = bpp <= 8 ? (rd32(d.data() + 32) ? rd32(d.data() + 32) : (1u << bpp)) : 0;
    if (colours > 256)
        colours = 256;
    size_t xorStride = (((size_t)w * bpp + 31) / 32) * 4, andStride = (((size_t)w + 31) / 32) * 4;
    size_t xorOff = headerSize + 4 * colours, andOff = xorOff + xorStride * h;
    if (andOff + andStride * h > d.size()) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    auto palette = [&](unsigned idx) -> uint32_t {
        if (idx >= colours)
            return 0;
        const uint8_t *q = d.data() + headerSize + 4 * idx;
        return (uint32_t)q[2] << 16 | (uint32_t)q[1] << 8 | q[0];
    };
    auto xorPixel = [&](int x, int y) -> uint32_t {  // y from the top
        const uint8_t *row = d.data() + xorOff + xorStride * (size_t)(h - 1 - y);
        switch (bpp) {
        case 1:
            return palette((row[x / 8] >> (7 - x % 8)) & 1);
        case 4:
            return palette((row[x / 2] >> (x % 2 ? 0 : 4)) & 15);
        case 8:
            return palette(row[x]);
        case 24:
            return (uint32_t)row[3 * x + 2] << 16 | (uint32_t)row[3 * x + 1] << 8 | row[3 * x];
        default:
            return (uint32_t)row[4 * x + 2] << 16 | (uint32_t)row[4 * x + 1] << 8 | row[4 * x];
        }
    };
    auto andBit = [&](int x, int y) -> bool {
        const uint8_t *row = d.data() + andOff + andStride * (size_t)(h - 1 - y);
        return (row[x / 8] >> (7 - x % 8)) & 1;
    };
    bool mono = bpp == 1;
    HBITMAP mask = compat::bitmap_create(w, mono ? 2 * h : h, 1);
    HBITMAP color = mono ? NULL : compat::bitmap_create(w, h, 32);
    if (!mask || (!mono && !color)) {
        if (mask)
            DeleteObject(mask);
        if (color)
            DeleteObject(color);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    compat::BitmapObject *m = compat::bitmap_get(mask), *c = compat::bitmap_get(color);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            compat::bitmap_set_pixel(m, x, y, andBit(x, y) ? 0xFFFFFF : 0);
            if (mono)
                compat::bitmap_set_pixel(m, x, y + h, xorPixel(x, y));
            else
                compat::bitmap_set_pixel(c, x, y, xorPixel(x, y));
        }
    }
    piconinfo->fIcon = obj->cursor ? FALSE : TRUE;
    piconinfo->xHotspot = (DWORD)obj->hotspot.x;
    piconinfo->yHotspot = (DWORD)obj->hotspot.y;
    piconinfo->hbmMask = mask;
    piconinfo->hbmColor = color;
    return TRUE;
}
