/*
 * GDI objects: the handle table, bitmaps (DDBs), memory device contexts, and the DIB
 * conversions between them (CreateDIBitmap, GetDIBits, LoadBitmapA).
 *
 * Invariant: every live object is in g_objects; a handle not in it is refused.  A DDB keeps its
 * rows top-down, each padded to 2 bytes, as Windows reports them in BITMAP.bmWidthBytes; a
 * monochrome bit set means white.  Packed DIBs are bottom-up unless biHeight is negative, with
 * rows padded to 4 bytes.
 */
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <set>

#include "gdi_private.h"
#include "internal.h"
#include "resource_private.h"

namespace {

std::mutex g_lock;
/* Live objects; what is left at exit goes with the process. */
struct ObjectTable : std::set<compat::GdiObject *> {
    ~ObjectTable()
    {
        for (compat::GdiObject *o : *this)
            delete o;
        clear();
    }
} g_objects;

/* The 16 colours of the standard VGA palette, the 4-bit default colour table. */
const uint32_t kVga16[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                             0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
/* The 20 reserved colours of the default logical palette (DIB_PAL_COLORS indices). */
const uint32_t kSystem20[20] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080,
                                0xC0C0C0, 0xC0DCC0, 0xA6CAF0, 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000,
                                0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

int ddb_stride(int width, int bpp) { return ((width * bpp + 15) / 16) * 2; }
size_t dib_stride(int width, int bpp) { return (((size_t)width * (size_t)bpp + 31) / 32) * 4; }

/* The colour table written for an output of `bpp` bits (empty above 8). */
std::vector<uint32_t> default_table(int bpp)
{
    std::vector<uint32_t> t;
    if (bpp == 1) {
        t = {0x000000, 0xFFFFFF};
    } else if (bpp == 4) {
        t.assign(kVga16, kVga16 + 16);
    } else if (bpp == 8) {
        // The 10 low system colours, a 6x6x6 cube, a grey ramp, the 10 high system colours.
        t.assign(kSystem20, kSystem20 + 10);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    t.push_back((uint32_t)(r * 51) << 16 | (uint32_t)(g * 51) << 8 | (uint32_t)(b * 51));
        for (int i = 1; i <= 20; ++i) {
            uint32_t v = (uint32_t)(i * 255 / 21);
            t.push_back(v << 16 | v << 8 | v);
        }
        t.insert(t.end(), kSystem20 + 10, kSystem20 + 20);
    }
    return t;
}

int nearest(const std::vector<uint32_t> &table, uint32_t rgb)
{
    int best = 0;
    long bestDist = LONG_MAX;
    for (size_t i = 0; i < table.size(); ++i) {
        long dr = (long)((table[i] >> 16) & 0xFF) - (long)((rgb >> 16) & 0xFF);
        long dg = (long)((table[i] >> 8) & 0xFF) - (long)((rgb >> 8) & 0xFF);
        long db = (long)(table[i] & 0xFF) - (long)(rgb & 0xFF);
        long d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = (int)i;
        }
    }
    return best;
}

uint32_t quad_rgb(const RGBQUAD &q) { return (uint32_t)q.rgbRed << 16 | (uint32_t)q.rgbGreen << 8 | q.rgbBlue; }

/* 0xRRGGBB of a pixel value whose red, green and blue sit under `masks`; each field is scaled
 * from its own width to 0..255 (in 64 bits: a 32-bit field times 255 does not fit in 32), a
 * missing mask gives 0. */
uint32_t from_masks(uint32_t v, const uint32_t masks[3])
{
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        uint32_t m = masks[c];
        if (!m)
            continue;
        int shift = 0;
        while (!((m >> shift) & 1))
            ++shift;
        uint64_t max = m >> shift, part = (v & m) >> shift;
        out |= (uint32_t)(part * 255 / max) << (16 - 8 * c);
    }
    return out;
}

/* Reads pixel x of a packed row of `bpp` bits; indices go through `table`. */
uint32_t read_packed(const uint8_t *row, int x, int bpp, const std::vector<uint32_t> &table, const uint32_t masks[3])
{
    switch (bpp) {
    case 1:
    case 4:
    case 8: {
        int per = 8 / bpp;
        unsigned idx = (row[x / per] >> (8 - bpp * (x % per + 1))) & ((1u << bpp) - 1);
        return idx < table.size() ? table[idx] : 0;
    }
    case 16: {
        uint32_t v = (uint32_t)(row[2 * x] | row[2 * x + 1] << 8);
        return from_masks(v, masks);
    }
    case 24:
        return (uint32_t)row[3 * x + 2] << 16 | (uint32_t)row[3 * x + 1] << 8 | row[3 * x];
    case 32: {
        uint32_t v = (uint32_t)row[4 * x] | (uint32_t)row[4 * x + 1] << 8 | (uint32_t)row[4 * x + 2] << 16 |
                     (uint32_t)row[4 * x + 3] << 24;
        if (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)
            return v & 0xFFFFFF;
        return from_masks(v, masks);
    }
    }
    return 0;
}

void write_packed(uint8_t *row, int x, int bpp, uint32_t rgb, const std::vector<uint32_t> &table)
{
    switch (bpp) {
    case 1:
    case 4:
    case 8: {
        int per = 8 / bpp, shift = 8 - bpp * (x % per + 1);
        unsigned idx = (unsigned)nearest(table, rgb);
        row[x / per] = (uint8_t)((row[x / per] & ~(((1u << bpp) - 1) << shift)) | idx << shift);
        break;
    }
    case 16: {
        uint32_t v = ((rgb >> 19) & 0x1F) << 10 | ((rgb >> 11) & 0x1F) << 5 | ((rgb >> 3) & 0x1F);
        row[2 * x] = (uint8_t)v;
        row[2 * x + 1] = (uint8_t)(v >> 8);
        break;
    }
    case 24:
        row[3 * x] = (uint8_t)rgb;
        row[3 * x + 1] = (uint8_t)(rgb >> 8);
        row[3 * x + 2] = (uint8_t)(rgb >> 16);
        break;
    case 32:
        row[4 * x] = (uint8_t)rgb;
        row[4 * x + 1] = (uint8_t)(rgb >> 8);
        row[4 * x + 2] = (uint8_t)(rgb >> 16);
        row[4 * x + 3] = 0;
        break;
    }
}

/* Windows rounds a requested depth up to the next one it keeps. */
int round_depth(UINT bpp)
{
    if (bpp == 1)
        return 1;
    if (bpp <= 4)
        return 4;
    if (bpp <= 8)
        return 8;
    if (bpp <= 16)
        return 16;
    if (bpp <= 24)
        return 24;
    if (bpp <= 32)
        return 32;
    return 0;
}

/* A checked view of a packed DIB's header and colour table. */
struct DibFormat {
    int width = 0, height = 0, bpp = 0;
    bool topDown = false;
    std::vector<uint32_t> table;
    uint32_t masks[3] = {0, 0, 0};
};

bool parse_dib_header(const BITMAPINFO *info, size_t infoSize, UINT usage, DibFormat &f)
{
    if (!info || infoSize < sizeof(BITMAPINFOHEADER))
        return false;
    const BITMAPINFOHEADER &h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > infoSize || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == INT32_MIN || h.biPlanes != 1)
        return false;
    f.width = h.biWidth;
    f.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    f.topDown = h.biHeight < 0;
    f.bpp = h.biBitCount;
    const uint8_t *after = (const uint8_t *)info + h.biSize;
    size_t room = infoSize - h.biSize;
    if (f.bpp == 1 || f.bpp == 4 || f.bpp == 8) {
        if (h.biCompression != BI_RGB)
            return false;
        size_t n = h.biClrUsed ? h.biClrUsed : (1u << f.bpp);
        if (n > (1u << f.bpp))
            n = 1u << f.bpp;
        size_t entry = usage == DIB_PAL_COLORS ? 2 : 4;
        if (room / entry < n)
            return false;
        for (size_t i = 0; i < n; ++i) {
            if (usage == DIB_PAL_COLORS) {
                unsigned idx = (unsigned)(after[2 * i] | after[2 * i + 1] << 8);
                f.table.push_back(idx < 20 ? kSystem20[idx] : 0);
            } else {
                RGBQUAD q;
                memcpy(&q, after + 4 * i, 4);
                f.table.push_back(quad_rgb(q));
            }
        }
        return true;
    }
    if (f.bpp != 16 && f.bpp != 24 && f.bpp != 32)
        return false;
    if (h.biCompression == BI_BITFIELDS && f.bpp != 24) {
        if (h.biSize == sizeof(BITMAPINFOHEADER)) {
            if (room < 12)
                return false;
            memcpy(f.masks, after, 12);
        } else {
            memcpy(f.masks, (const uint8_t *)info + 40, 12);  // V4/V5 headers carry them inside
        }
    } else if (h.biCompression == BI_RGB) {
        if (f.bpp == 16) {
            f.masks[0] = 0x7C00;
            f.masks[1] = 0x03E0;
            f.masks[2] = 0x001F;
        } else {
            f.masks[0] = 0xFF0000;
            f.masks[1] = 0x00FF00;
            f.masks[2] = 0x0000FF;
        }
    } else {
        return false;
    }
    return true;
}

/* Fills `b` from DIB pixels; rows beyond `bitsSize` are left as they are. */
void copy_dib_into(compat::BitmapObject *b, const DibFormat &f, const uint8_t *bits, size_t bitsSize)
{
    size_t stride = dib_stride(f.width, f.bpp);
    for (int r = 0; r < f.height && r < b->height; ++r) {
        size_t row = f.topDown ? (size_t)r : (size_t)(f.height - 1 - r);
        if (stride && (row + 1) > bitsSize / stride)
            continue;
        const uint8_t *p = bits + row * stride;
        for (int x = 0; x < f.width && x < b->width; ++x)
            compat::bitmap_set_pixel(b, x, r, read_packed(p, x, f.bpp, f.table, f.masks));
    }
}

}  // namespace

namespace compat {

HGDIOBJ gdi_add(GdiObject *obj)
{
    std::lock_guard<std::mutex> g(g_lock);
    g_objects.insert(obj);
    return (HGDIOBJ)obj;
}

GdiObject *gdi_get(HGDIOBJ h, DWORD type)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_objects.find((GdiObject *)h);
    if (it == g_objects.end() || (type && (*it)->type != type))
        return nullptr;
    return *it;
}

bool gdi_free(HGDIOBJ h)
{
    GdiObject *obj;
    {
        std::lock_guard<std::mutex> g(g_lock);
        auto it = g_objects.find((GdiObject *)h);
        if (it == g_objects.end())
            return false;
        obj = *it;
        if (obj->stock)
            return true;
        g_objects.erase(it);
    }
    delete obj;
    return true;
}

BitmapObject *bitmap_get(HBITMAP h) { return static_cast<BitmapObject *>(gdi_get((HGDIOBJ)h, OBJ_BITMAP)); }

HBITMAP bitmap_create(int width, int height, int bpp)
{
    if (width <= 0 || height <= 0 || round_depth((UINT)bpp) != bpp) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    // The width is bounded before the stride is worked out from it, which would overflow.
    if (width > INT_MAX / 32 || height > 128 * 1024 * 1024 / ddb_stride(width, bpp)) {  // Windows' 128 MB limit
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    int stride = ddb_stride(width, bpp);
    auto *b = new BitmapObject();
    b->type = OBJ_BITMAP;
    b->width = width;
    b->height = height;
    b->bpp = bpp;
    b->stride = stride;
    b->bits.assign((size_t)stride * (size_t)height, 0);
    b->pixels = b->bits.data();
    return (HBITMAP)gdi_add(b);
}

HBITMAP stock_bitmap()
{
    static HBITMAP stock = [] {
        HBITMAP h = bitmap_create(1, 1, 1);
        bitmap_get(h)->stock = true;
        return h;
    }();
    return stock;
}

uint32_t bitmap_get_pixel(const BitmapObject *b, int x, int y)
{
    static const uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    static const uint32_t masks32[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    static const std::vector<uint32_t> mono = {0x000000, 0xFFFFFF};
    static const std::vector<uint32_t> vga(kVga16, kVga16 + 16);
    static const std::vector<uint32_t> eight = default_table(8);
    size_t line = b->bottomUp ? (size_t)(b->height - 1 - y) : (size_t)y;
    const uint8_t *row = b->pixels + line * (size_t)b->stride;
    const std::vector<uint32_t> &t = !b->table.empty() ? b->table : b->bpp == 1 ? mono : b->bpp == 4 ? vga : eight;
    return read_packed(row, x, b->bpp, t, b->bpp == 16 ? masks : masks32);
}

void bitmap_set_pixel(BitmapObject *b, int x, int y, uint32_t rgb)
{
    static const std::vector<uint32_t> mono = {0x000000, 0xFFFFFF};
    static const std::vector<uint32_t> vga(kVga16, kVga16 + 16);
    static const std::vector<uint32_t> eight = default_table(8);
    size_t line = b->bottomUp ? (size_t)(b->height - 1 - y) : (size_t)y;
    uint8_t *row = b->pixels + line * (size_t)b->stride;
    const std::vector<uint32_t> &t = !b->table.empty() ? b->table : b->bpp == 1 ? mono : b->bpp == 4 ? vga : eight;
    write_packed(row, x, b->bpp, rgb, t);
}

int dc_compatible_depth(HDC hdc)
{
    if (!hdc)
        return 1;
    GdiObject *o = gdi_get((HGDIOBJ)hdc, 0);
    if (!o || (o->type != OBJ_DC && o->type != OBJ_MEMDC))
        return 0;
    DcObject *dc = static_cast<DcObject *>(o);
    if (dc->screenDepth)
        return dc->screenDepth;
    BitmapObject *b = bitmap_get(dc->bitmap);
    return b ? b->bpp : 1;
}

HBITMAP bitmap_from_dib(const BITMAPINFO *info, size_t infoSize, const void *bits, size_t bitsSize, int bpp)
{
    DibFormat f;
    if (!parse_dib_header(info, infoSize, DIB_RGB_COLORS, f))
        return NULL;
    HBITMAP h = bitmap_create(f.width, f.height, bpp);
    if (!h)
        return NULL;
    copy_dib_into(bitmap_get(h), f, (const uint8_t *)bits, bitsSize);
    return h;
}

}  // namespace compat

HBITMAP WINAPI CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void *lpBits)
{
    if (!nWidth || !nHeight)
        return compat::stock_bitmap();
    if (nPlanes != 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    int bpp = round_depth(nBitCount);
    if (!bpp) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    HBITMAP h = compat::bitmap_create(abs(nWidth), abs(nHeight), bpp);
    if (h && lpBits) {
        compat::BitmapObject *b = compat::bitmap_get(h);
        memcpy(b->pixels, lpBits, b->bits.size());
    }
    return h;
}

HBITMAP WINAPI CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER *pbmih, DWORD fdwInit, const void *pjBits,
                              const BITMAPINFO *pbmi, UINT iUsage)
{
    if (!pbmih || pbmih->biSize < sizeof(BITMAPINFOHEADER) || pbmih->biWidth < 0 || iUsage > DIB_PAL_COLORS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    int depth = compat::dc_compatible_depth(hdc);
    if (!depth) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    LONG height = pbmih->biHeight < 0 ? -pbmih->biHeight : pbmih->biHeight;
    if (!pbmih->biWidth || !height)
        return compat::stock_bitmap();
    HBITMAP h = compat::bitmap_create(pbmih->biWidth, height, depth);
    if (!h)
        return NULL;
    if ((fdwInit & CBM_INIT) && pjBits && pbmi) {
        // The caller vouches for the sizes, as on Windows: there is no size to check against.
        DibFormat f;
        if (!parse_dib_header(pbmi, (size_t)-1 / 2, iUsage, f)) {
            DeleteObject(h);
            SetLastError(ERROR_INVALID_PARAMETER);
            return NULL;
        }
        copy_dib_into(compat::bitmap_get(h), f, (const uint8_t *)pjBits, (size_t)-1 / 2);
    }
    return h;
}

int WINAPI GetDIBits(HDC hdc, HBITMAP hbm, UINT uStartScan, UINT cScanLines, LPVOID lpvBits, LPBITMAPINFO lpbmi,
                     UINT uUsage)
{
    if (!lpbmi || uUsage > DIB_PAL_COLORS)
        return 0;
    compat::GdiObject *dc = compat::gdi_get((HGDIOBJ)hdc, 0);
    if (!dc || (dc->type != OBJ_DC && dc->type != OBJ_MEMDC)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    compat::BitmapObject *b = compat::bitmap_get(hbm);
    if (!b)
        return 0;
    BITMAPINFOHEADER &h = lpbmi->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER))
        return 0;
    if (!lpvBits && h.biBitCount == 0) {
        // Only the format of the bitmap is asked for.
        h.biWidth = b->width;
        h.biHeight = b->height;
        h.biPlanes = 1;
        h.biBitCount = (WORD)b->bpp;
        h.biCompression = BI_RGB;
        h.biSizeImage = (DWORD)(dib_stride(b->width, b->bpp) * (size_t)b->height);
        h.biXPelsPerMeter = h.biYPelsPerMeter = 0;
        h.biClrUsed = h.biClrImportant = 0;
        return 1;
    }
    int bpp = h.biBitCount;
    if ((bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) || h.biCompression != BI_RGB ||
        h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
        return 0;
    int width = h.biWidth, height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    bool topDown = h.biHeight < 0;
    size_t stride = dib_stride(width, bpp);
    if (stride > (size_t)UINT32_MAX / (size_t)height)
        return 0;
    h.biSizeImage = (DWORD)(stride * (size_t)height);
    h.biClrUsed = h.biClrImportant = 0;
    std::vector<uint32_t> table = default_table(bpp);
    if (bpp == 1 && b->bpp != 1) {
        table = {0x000000, 0xFFFFFF};
    }
    for (size_t i = 0; i < table.size(); ++i) {
        if (uUsage == DIB_PAL_COLORS) {
            WORD idx = (WORD)i;
            memcpy((uint8_t *)lpbmi->bmiColors + 2 * i, &idx, 2);
        } else {
            RGBQUAD q = {(BYTE)table[i], (BYTE)(table[i] >> 8), (BYTE)(table[i] >> 16), 0};
            lpbmi->bmiColors[i] = q;
        }
    }
    if (uStartScan >= (UINT)height)
        return cScanLines ? 1 : 0;  // as the reference GDI answers: nothing copied, yet 1
    UINT lines = cScanLines;
    if (lines > (UINT)height - uStartScan)
        lines = (UINT)height - uStartScan;
    if (!lpvBits)
        return (int)lines;
    uint8_t *out = (uint8_t *)lpvBits;
    for (UINT i = 0; i < lines; ++i) {
        // Output row i holds scan uStartScan + i: counted from the bottom for a bottom-up
        // DIB, from the top for a top-down one.
        int y = topDown ? (int)(uStartScan + i) : height - 1 - (int)(uStartScan + i);
        uint8_t *row = out + (size_t)i * stride;
        memset(row, 0, stride);
        if (y < 0 || y >= b->height)
            continue;
        for (int x = 0; x < width && x < b->width; ++x)
            write_packed(row, x, bpp, compat::bitmap_get_pixel(b, x, y), table);
    }
    return (int)lines;
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv)
{
    compat::GdiObject *o = compat::gdi_get((HGDIOBJ)h, 0);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (o->type != OBJ_BITMAP)
        return 0;
    compat::BitmapObject *b = static_cast<compat::BitmapObject *>(o);
    if (!pv)
        return (int)sizeof(BITMAP);
    if (c < (int)sizeof(BITMAP))
        return 0;
    BITMAP bm;
    bm.bmType = 0;
    bm.bmWidth = b->width;
    bm.bmHeight = b->height;
    bm.bmWidthBytes = b->stride;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = (WORD)b->bpp;
    bm.bmBits = b->dibSection ? b->pixels : NULL;
    memcpy(pv, &bm, sizeof bm);
    return (int)sizeof(BITMAP);
}

DWORD WINAPI GetObjectType(HGDIOBJ h)
{
    compat::GdiObject *o = compat::gdi_get(h, 0);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return o->type;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    compat::GdiObject *o = compat::gdi_get(ho, 0);
    if (!o || o->type == OBJ_DC || o->type == OBJ_MEMDC)
        return FALSE;
    if (o->type == OBJ_BITMAP && static_cast<compat::BitmapObject *>(o)->selectedInto && !o->stock)
        return FALSE;  // still selected into a device context
    return compat::gdi_free(ho) ? TRUE : FALSE;
}

HDC WINAPI CreateCompatibleDC(HDC hdc)
{
    if (hdc && !compat::dc_compatible_depth(hdc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    auto *dc = new compat::DcObject();
    dc->type = OBJ_MEMDC;
    dc->bitmap = compat::stock_bitmap();
    return (HDC)compat::gdi_add(dc);
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    compat::GdiObject *o = compat::gdi_get((HGDIOBJ)hdc, 0);
    if (!o || (o->type != OBJ_DC && o->type != OBJ_MEMDC)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    compat::DcObject *dc = static_cast<compat::DcObject *>(o);
    if (compat::BitmapObject *b = compat::bitmap_get(dc->bitmap))
        if (b->selectedInto == hdc)
            b->selectedInto = NULL;
    return compat::gdi_free((HGDIOBJ)hdc) ? TRUE : FALSE;
}

/* A bitmap resource is a packed DIB.  As on Windows, one whose palette is black and white
 * becomes a monochrome DDB, any other one a bitmap of the display's depth (32 bits here). */
HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName)
{
    if (!lpBitmapName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    const compat::ResEntry *e = compat::find_resource(hInstance, RT_BITMAP, lpBitmapName, -1);
    if (!e)
        return NULL;
    const BITMAPINFO *info = (const BITMAPINFO *)e->data;
    DibFormat f;
    if (e->size < sizeof(BITMAPINFOHEADER) || !parse_dib_header(info, e->size, DIB_RGB_COLORS, f)) {
        SetLastError(ERROR_INVALID_DATA);
        return NULL;
    }
    size_t tableBytes = f.table.size() * 4;
    if (f.bpp > 8 && info->bmiHeader.biCompression == BI_BITFIELDS && info->bmiHeader.biSize == 40)
        tableBytes = 12;
    size_t offset = info->bmiHeader.biSize + tableBytes;
    if (offset > e->size) {
        SetLastError(ERROR_INVALID_DATA);
        return NULL;
    }
    bool mono = f.bpp == 1 && f.table.size() == 2 &&
                ((f.table[0] == 0 && f.table[1] == 0xFFFFFF) || (f.table[0] == 0xFFFFFF && f.table[1] == 0));
    return compat::bitmap_from_dib(info, e->size, e->data + offset, e->size - offset, mono ? 1 : 32);
}
