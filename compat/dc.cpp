/*
 * Device contexts that draw into memory.
 *
 * A DC draws on a surface: a memory DC on its selected bitmap, a DC of the display on the one
 * screen bitmap (made on first use, as large as MEDLEY_SCREEN says).  Every drawing call works
 * in 0x00RRGGBB through bitmap_get_pixel / bitmap_set_pixel, so DDBs and DIB sections of any
 * depth behave alike, and clips its rectangle to the surface first: nothing is ever written
 * outside it.
 */
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <mutex>
#include <vector>

#include "gdi_private.h"
#include "icon_private.h"
#include "internal.h"

namespace {

struct BrushObject : compat::GdiObject {
    uint32_t rgb = 0;  // 0x00RRGGBB
    bool hollow = false;
};

struct Screen {
    int width = 1024, height = 768, bpp = 32;
};

/* The virtual screen: "WxHxBPP" from MEDLEY_SCREEN, read as GetSystemMetrics reads it. */
Screen screen_info()
{
    Screen s;
    if (const char *v = getenv("MEDLEY_SCREEN"); v && *v) {
        unsigned a = 0, b = 0, c = 32;
        if (sscanf(v, "%ux%ux%u", &a, &b, &c) >= 2 && a && b && a <= 16384 && b <= 16384) {
            s.width = (int)a;
            s.height = (int)b;
            s.bpp = (c == 1 || c == 4 || c == 8 || c == 16 || c == 24 || c == 32) ? (int)c : 32;
        }
    }
    return s;
}

std::mutex g_screenLock;

HBITMAP screen_surface()
{
    std::lock_guard<std::mutex> g(g_screenLock);
    static HBITMAP surface = NULL;
    if (!surface) {
        Screen s = screen_info();
        surface = compat::bitmap_create(s.width, s.height, s.bpp);
        if (surface)
            compat::bitmap_get(surface)->stock = true;
    }
    return surface;
}

uint32_t rgb_of(COLORREF c) { return (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF); }
COLORREF colorref_of(uint32_t rgb) { return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF); }

compat::DcObject *dc_get(HDC hdc)
{
    compat::GdiObject *o = compat::gdi_get((HGDIOBJ)hdc, 0);
    if (!o || (o->type != OBJ_DC && o->type != OBJ_MEMDC))
        return nullptr;
    return static_cast<compat::DcObject *>(o);
}

/* The bitmap a DC draws on, or null. */
compat::BitmapObject *surface_of(HDC hdc)
{
    compat::DcObject *dc = dc_get(hdc);
    if (!dc)
        return nullptr;
    return compat::bitmap_get(dc->bitmap);
}

HDC new_screen_dc(bool fromGetDC)
{
    HBITMAP surface = screen_surface();
    if (!surface) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    auto *dc = new compat::DcObject();
    dc->type = OBJ_DC;
    dc->bitmap = surface;
    dc->screenDepth = screen_info().bpp;
    dc->fromGetDC = fromGetDC;
    return (HDC)compat::gdi_add(dc);
}

/* Classic system colours, as this host's desktop scheme. */
const uint32_t kSysColors[31] = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000, 0x000000, 0xB4B4B4,
    0xF4F7FC, 0xABABAB, 0x3399FF, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D, 0x000000, 0x434E54, 0xFFFFFF, 0x696969,
    0xE3E3E3, 0x000000, 0xFFFFE1, 0xB5B5B5, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0};

HBRUSH make_brush(uint32_t rgb, bool hollow, bool stock)
{
    auto *b = new BrushObject();
    b->type = OBJ_BRUSH;
    b->rgb = rgb;
    b->hollow = hollow;
    b->stock = stock;
    return (HBRUSH)compat::gdi_add(b);
}

/* A decoded packed DIB: pixel (x, y) with y from the top of the whole image, or false when the
 * buffer does not hold that line. */
struct DibSource {
    int width = 0, height = 0, bpp = 0;
    bool topDown = false;
    size_t stride = 0;
    const uint8_t *bits = nullptr;
    UINT firstScan = 0, lines = 0;  // the buffer's lines, counted as the DIB counts them
    std::vector<uint32_t> table;

    bool Parse(const BITMAPINFO *info, const void *pixels, UINT usage)
    {
        if (!info || !pixels || usage != DIB_RGB_COLORS)
            return false;
        const BITMAPINFOHEADER &h = info->bmiHeader;
        if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN ||
            h.biCompression != BI_RGB)
            return false;
        bpp = h.biBitCount;
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            return false;
        width = h.biWidth;
        height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
        topDown = h.biHeight < 0;
        stride = (((size_t)width * (size_t)bpp + 31) / 32) * 4;
        if (bpp <= 8) {
            size_t n = h.biClrUsed && h.biClrUsed < (1u << bpp) ? h.biClrUsed : (1u << bpp);
            const RGBQUAD *q = (const RGBQUAD *)((const uint8_t *)info + h.biSize);
            for (size_t i = 0; i < n; ++i)
                table.push_back((uint32_t)q[i].rgbRed << 16 | (uint32_t)q[i].rgbGreen << 8 | q[i].rgbBlue);
        }
        bits = (const uint8_t *)pixels;
        firstScan = 0;
        lines = (UINT)height;
        return true;
    }

    /* Pixel at column x of the line `scan` counted from the bottom (bottom-up) or the top. */
    bool Get(int x, UINT scan, uint32_t *rgb) const
    {
        if (x < 0 || x >= width || scan < firstScan || scan - firstScan >= lines || scan >= (UINT)height)
            return false;
        const uint8_t *row = bits + (size_t)(scan - firstScan) * stride;
        switch (bpp) {
        case 1:
        case 4:
        case 8: {
            int per = 8 / bpp;
            unsigned idx = (row[x / per] >> (8 - bpp * (x % per + 1))) & ((1u << bpp) - 1);
            *rgb = idx < table.size() ? table[idx] : 0;
            return true;
        }
        case 16: {
            uint32_t v = (uint32_t)(row[2 * x] | row[2 * x + 1] << 8);
            uint32_t r = (v >> 10) & 0x1F, g = (v >> 5) & 0x1F, b = v & 0x1F;
            *rgb = (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | (b << 3 | b >> 2);
            return true;
        }
        case 24:
            *rgb = (uint32_t)row[3 * x + 2] << 16 | (uint32_t)row[3 * x + 1] << 8 | row[3 * x];
            return true;
        default:
            *rgb = (uint32_t)row[4 * x + 2] << 16 | (uint32_t)row[4 * x + 1] << 8 | row[4 * x];
            return true;
        }
    }

    /* Pixel at (x, y) with y from the top of the image. */
    bool GetTop(int x, int y, uint32_t *rgb) const
    {
        if (y < 0 || y >= height)
            return false;
        return Get(x, topDown ? (UINT)y : (UINT)(height - 1 - y), rgb);
    }
};

/* The thread's keyboard state. */
thread_local bool t_keysLoaded = false;
thread_local BYTE t_keys[256];

void load_keys()
{
    if (t_keysLoaded)
        return;
    t_keysLoaded = true;
    memset(t_keys, 0, sizeof t_keys);
    const char *v = getenv("MEDLEY_KEYS_DOWN");
    while (v && *v) {
        char *end = nullptr;
        unsigned long k = strtoul(v, &end, 0);
        if (end == v)
            break;
        if (k < 256)
            t_keys[k] = 0x80;
        v = end;
        while (*v == ',' || *v == ' ')
            ++v;
    }
}

}  // namespace

HDC WINAPI GetDC(HWND hWnd)
{
    if (hWnd) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    return new_screen_dc(true);
}

int WINAPI ReleaseDC(HWND, HDC hDC)
{
    compat::DcObject *dc = dc_get(hDC);
    if (!dc || !dc->fromGetDC)
        return 0;
    return compat::gdi_free((HGDIOBJ)hDC) ? 1 : 0;
}

HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR, const void *)
{
    const char *name = driver ? driver : device;
    if (name && !strncmp(name, "\\\\.\\", 4))
        name += 4;
    if (!name || strcasecmp(name, "DISPLAY") != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    return new_screen_dc(false);
}

int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    if (!dc_get(hdc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    Screen s = screen_info();
    switch (index) {
    case DRIVERVERSION: return 0x4000;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZSIZE: return s.width * 254 / 960;  // millimetres at 96 dots per inch
    case VERTSIZE: return s.height * 254 / 960;
    case HORZRES:
    case DESKTOPHORZRES: return s.width;
    case VERTRES:
    case DESKTOPVERTRES: return s.height;
    case BITSPIXEL: return s.bpp;
    case PLANES: return 1;
    case NUMCOLORS: return s.bpp <= 8 ? 1 << s.bpp : -1;
    case RASTERCAPS: return RC_BITBLT | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE: return s.bpp <= 8 ? 1 << s.bpp : 0;
    default: return 0;
    }
}

HGDIOBJ WINAPI GetStockObject(int i)
{
    static HBRUSH brushes[6] = {
        make_brush(0xFFFFFF, false, true), make_brush(0xC0C0C0, false, true), make_brush(0x808080, false, true),
        make_brush(0x404040, false, true), make_brush(0x000000, false, true), make_brush(0, true, true)};
    if (i < 0 || i > NULL_BRUSH)
        return NULL;
    return (HGDIOBJ)brushes[i];
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) { return make_brush(rgb_of(color & 0xFFFFFF), false, false); }

DWORD WINAPI GetSysColor(int nIndex)
{
    if (nIndex < 0 || nIndex >= (int)(sizeof kSysColors / sizeof kSysColors[0]))
        return 0;
    return colorref_of(kSysColors[nIndex]);
}

HBRUSH WINAPI GetSysColorBrush(int nIndex)
{
    static std::mutex lock;
    static HBRUSH brushes[sizeof kSysColors / sizeof kSysColors[0]];
    if (nIndex < 0 || nIndex >= (int)(sizeof kSysColors / sizeof kSysColors[0]))
        return NULL;
    std::lock_guard<std::mutex> g(lock);
    if (!brushes[nIndex])
        brushes[nIndex] = make_brush(kSysColors[nIndex], false, true);
    return brushes[nIndex];
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    compat::DcObject *dc = dc_get(hdc);
    compat::GdiObject *o = compat::gdi_get(h, 0);
    if (!dc || !o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    if (o->type == OBJ_BRUSH) {
        HGDIOBJ old = dc->brush ? dc->brush : GetStockObject(WHITE_BRUSH);
        dc->brush = h;
        return old;
    }
    if (o->type != OBJ_BITMAP)
        return NULL;  // fonts, pens and regions are not kept here
    if (dc->type != OBJ_MEMDC)
        return NULL;  // only memory DCs take bitmaps
    auto *b = static_cast<compat::BitmapObject *>(o);
    if (b->selectedInto && b->selectedInto != hdc && !b->stock)
        return NULL;
    if (!b->dibSection && b->bpp != 1 && b->bpp != screen_info().bpp)
        return NULL;  // a DDB of another device
    HBITMAP old = dc->bitmap;
    if (compat::BitmapObject *ob = compat::bitmap_get(old))
        if (ob->selectedInto == hdc)
            ob->selectedInto = NULL;
    dc->bitmap = (HBITMAP)h;
    if (!b->stock)
        b->selectedInto = hdc;
    return (HGDIOBJ)old;
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type)
{
    compat::DcObject *dc = dc_get(hdc);
    if (!dc)
        return NULL;
    if (type == OBJ_BITMAP)
        return dc->type == OBJ_MEMDC ? (HGDIOBJ)dc->bitmap : NULL;
    if (type == OBJ_BRUSH)
        return dc->brush ? dc->brush : GetStockObject(WHITE_BRUSH);
    return NULL;
}

HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO *pbmi, UINT usage, void **ppvBits, HANDLE hSection,
                                DWORD)
{
    if (ppvBits)
        *ppvBits = NULL;
    if (hdc && !dc_get(hdc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    if (!pbmi || usage != DIB_RGB_COLORS || hSection) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    const BITMAPINFOHEADER &h = pbmi->bmiHeader;
    int bpp = h.biBitCount;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN ||
        h.biPlanes != 1 || h.biCompression != BI_RGB ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    int width = h.biWidth, height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    size_t stride = (((size_t)width * (size_t)bpp + 31) / 32) * 4;
    if (stride > (size_t)INT_MAX || (size_t)height > ((size_t)1 << 30) / stride) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    auto *b = new compat::BitmapObject();
    b->type = OBJ_BITMAP;
    b->width = width;
    b->height = height;
    b->bpp = bpp;
    b->stride = (int)stride;
    b->bits.assign(stride * (size_t)height, 0);
    b->pixels = b->bits.data();
    b->dibSection = true;
    b->bottomUp = h.biHeight > 0;
    if (bpp <= 8) {
        size_t n = h.biClrUsed && h.biClrUsed < (1u << bpp) ? h.biClrUsed : (1u << bpp);
        const RGBQUAD *q = (const RGBQUAD *)((const uint8_t *)pbmi + h.biSize);
        for (size_t i = 0; i < n; ++i)
            b->table.push_back((uint32_t)q[i].rgbRed << 16 | (uint32_t)q[i].rgbGreen << 8 | q[i].rgbBlue);
    }
    if (ppvBits)
        *ppvBits = b->pixels;
    return (HBITMAP)compat::gdi_add(b);
}

int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc, UINT StartScan,
                             UINT cLines, const void *lpvBits, const BITMAPINFO *lpbmi, UINT ColorUse)
{
    compat::BitmapObject *surface = surface_of(hdc);
    DibSource src;
    if (!surface || !lpvBits || !lpbmi || !src.Parse(lpbmi, lpvBits, ColorUse))
        return 0;
    if (!cLines || StartScan >= (UINT)src.height)
        return 0;
    if (cLines > (UINT)src.height - StartScan)
        cLines = (UINT)src.height - StartScan;
    src.firstScan = StartScan;
    src.lines = cLines;
    if (w > (DWORD)INT_MAX || h > (DWORD)INT_MAX)
        return 0;
    for (long long i = 0; i < (long long)h; ++i) {
        long long dy = (long long)yDest + i;
        if (dy < 0 || dy >= surface->height)
            continue;
        // Destination line i shows source line ySrc + h - 1 - i counted from the bottom for a
        // bottom-up DIB, line ySrc + i from the top for a top-down one.
        long long scan = src.topDown ? (long long)ySrc + i : (long long)ySrc + (long long)h - 1 - i;
        if (scan < 0 || scan >= src.height)
            continue;
        for (long long j = 0; j < (long long)w; ++j) {
            long long dx = (long long)xDest + j, sx = (long long)xSrc + j;
            if (dx < 0 || dx >= surface->width || sx < 0 || sx >= src.width)
                continue;
            uint32_t rgb;
            if (src.Get((int)sx, (UINT)scan, &rgb))
                compat::bitmap_set_pixel(surface, (int)dx, (int)dy, rgb);
        }
    }
    return (int)cLines;
}

int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc,
                         int SrcWidth, int SrcHeight, const void *lpBits, const BITMAPINFO *lpbmi, UINT iUsage,
                         DWORD rop)
{
    compat::BitmapObject *surface = surface_of(hdc);
    if (!surface || !lpbmi)
        return 0;
    if (rop != SRCCOPY && rop != BLACKNESS && rop != WHITENESS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DibSource src;
    bool needSource = rop == SRCCOPY;
    if (needSource && (!lpBits || !src.Parse(lpbmi, lpBits, iUsage)))
        return 0;
    if (!DestWidth || !DestHeight || (needSource && (!SrcWidth || !SrcHeight)))
        return 0;
    // A negative extent on one side flips that direction; on both sides it cancels out.  As
    // in GDI's bounding rectangles, x with a negative width w spans [x + w + 1, x + 1).
    long long dx0 = xDest, dy0 = yDest, dw = DestWidth, dh = DestHeight;
    bool flipX = false, flipY = false;
    if (dw < 0) {
        dx0 += dw + 1;
        dw = -dw;
        flipX = !flipX;
    }
    if (dh < 0) {
        dy0 += dh + 1;
        dh = -dh;
        flipY = !flipY;
    }
    long long sx0 = xSrc, sy0 = ySrc, sw = SrcWidth, sh = SrcHeight;
    if (sw < 0) {
        sx0 += sw + 1;
        sw = -sw;
        flipX = !flipX;
    }
    if (sh < 0) {
        sy0 += sh + 1;
        sh = -sh;
        flipY = !flipY;
    }
    // The source rectangle in lines from the top of the image: a bottom-up DIB counts ySrc
    // from its lowest line.
    long long top = needSource && !src.topDown ? (long long)src.height - sy0 - sh : sy0;
    for (long long i = 0; i < dh; ++i) {
        long long dy = dy0 + i;
        if (dy < 0 || dy >= surface->height)
            continue;
        long long si = (flipY ? dh - 1 - i : i) * sh / dh;
        for (long long j = 0; j < dw; ++j) {
            long long dx = dx0 + j;
            if (dx < 0 || dx >= surface->width)
                continue;
            uint32_t rgb = rop == WHITENESS ? 0xFFFFFF : 0;
            if (needSource) {
                long long sj = (flipX ? dw - 1 - j : j) * sw / dw;
                long long sx = sx0 + sj, sy = top + si;
                if (sx < 0 || sx >= src.width || sy < 0 || sy >= src.height ||
                    !src.GetTop((int)sx, (int)sy, &rgb))
                    continue;
            }
            compat::bitmap_set_pixel(surface, (int)dx, (int)dy, rgb);
        }
    }
    return needSource ? src.height : (DestHeight < 0 ? -DestHeight : DestHeight);
}

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop)
{
    compat::BitmapObject *dst = surface_of(hdc);
    if (!dst) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (rop != SRCCOPY && rop != BLACKNESS && rop != WHITENESS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    compat::BitmapObject *src = nullptr;
    if (rop == SRCCOPY) {
        src = surface_of(hdcSrc);
        if (!src) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    if (cx <= 0 || cy <= 0)
        return TRUE;
    // Read the whole source part first, so that a blit within one surface sees the old pixels.
    std::vector<uint32_t> part;
    std::vector<bool> have;
    if (src) {
        part.assign((size_t)cx * (size_t)cy, 0);
        have.assign((size_t)cx * (size_t)cy, false);
        for (long long i = 0; i < cy; ++i)
            for (long long j = 0; j < cx; ++j) {
                long long sx = (long long)x1 + j, sy = (long long)y1 + i;
                if (sx < 0 || sy < 0 || sx >= src->width || sy >= src->height)
                    continue;
                part[(size_t)(i * cx + j)] = compat::bitmap_get_pixel(src, (int)sx, (int)sy);
                have[(size_t)(i * cx + j)] = true;
            }
    }
    for (long long i = 0; i < cy; ++i)
        for (long long j = 0; j < cx; ++j) {
            long long dx = (long long)x + j, dy = (long long)y + i;
            if (dx < 0 || dy < 0 || dx >= dst->width || dy >= dst->height)
                continue;
            if (src && !have[(size_t)(i * cx + j)])
                continue;
            uint32_t rgb = src ? part[(size_t)(i * cx + j)] : rop == WHITENESS ? 0xFFFFFF : 0;
            compat::bitmap_set_pixel(dst, (int)dx, (int)dy, rgb);
        }
    return TRUE;
}

int WINAPI FillRect(HDC hDC, const RECT *lprc, HBRUSH hbr)
{
    compat::BitmapObject *surface = surface_of(hDC);
    if (!surface || !lprc)
        return 0;
    uintptr_t sys = (uintptr_t)hbr;
    if (sys >= 1 && sys <= sizeof kSysColors / sizeof kSysColors[0])
        hbr = GetSysColorBrush((int)sys - 1);
    auto *brush = static_cast<BrushObject *>(compat::gdi_get((HGDIOBJ)hbr, OBJ_BRUSH));
    if (!brush)
        return 0;
    if (brush->hollow)
        return 1;
    long long left = lprc->left < 0 ? 0 : lprc->left, top = lprc->top < 0 ? 0 : lprc->top;
    long long right = lprc->right > surface->width ? surface->width : lprc->right;
    long long bottom = lprc->bottom > surface->height ? surface->height : lprc->bottom;
    for (long long yy = top; yy < bottom; ++yy)
        for (long long xx = left; xx < right; ++xx)
            compat::bitmap_set_pixel(surface, (int)xx, (int)yy, brush->rgb);
    return 1;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y)
{
    compat::BitmapObject *surface = surface_of(hdc);
    if (!surface || x < 0 || y < 0 || x >= surface->width || y >= surface->height)
        return CLR_INVALID;
    return colorref_of(compat::bitmap_get_pixel(surface, x, y));
}

/* SetPixel: RETURNS the colour the surface keeps, CLR_INVALID for a bad DC.
 * NOTES a point outside the surface is not drawn, yet answers the colour as if it were (as the
 * reference GDI does). */
COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    compat::BitmapObject *surface = surface_of(hdc);
    if (!surface)
        return CLR_INVALID;
    if (x < 0 || y < 0 || x >= surface->width || y >= surface->height)
        return color & 0xFFFFFF;
    compat::bitmap_set_pixel(surface, x, y, rgb_of(color & 0xFFFFFF));
    return colorref_of(compat::bitmap_get_pixel(surface, x, y));  // the colour the surface keeps
}

BOOL WINAPI DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth, UINT, HBRUSH hbr,
                       UINT diFlags)
{
    compat::BitmapObject *surface = surface_of(hdc);
    if (!surface) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    compat::IconObject *icon = compat::icon_from_handle(hIcon);
    if (!icon) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    ICONINFO ii;
    if (!GetIconInfo(hIcon, &ii))
        return FALSE;
    compat::BitmapObject *mask = compat::bitmap_get(ii.hbmMask), *color = compat::bitmap_get(ii.hbmColor);
    int w = icon->width, h = icon->height;
    if (!cxWidth)
        cxWidth = (diFlags & DI_DEFAULTSIZE) ? 32 : w;
    if (!cyWidth)
        cyWidth = (diFlags & DI_DEFAULTSIZE) ? 32 : h;
    if (!(diFlags & DI_NORMAL))
        diFlags |= DI_NORMAL;
    if (hbr) {
        RECT r = {xLeft, yTop, xLeft + cxWidth, yTop + cyWidth};
        FillRect(hdc, &r, hbr);
    }
    for (int i = 0; i < cyWidth && cxWidth > 0; ++i) {
        long long dy = (long long)yTop + i;
        if (dy < 0 || dy >= surface->height)
            continue;
        int sy = (int)((long long)i * h / cyWidth);
        for (int j = 0; j < cxWidth; ++j) {
            long long dx = (long long)xLeft + j;
            if (dx < 0 || dx >= surface->width)
                continue;
            int sx = (int)((long long)j * w / cxWidth);
            uint32_t px = compat::bitmap_get_pixel(surface, (int)dx, (int)dy);
            if (diFlags & DI_MASK)
                px &= compat::bitmap_get_pixel(mask, sx, sy);
            if (diFlags & DI_IMAGE)
                px ^= color ? compat::bitmap_get_pixel(color, sx, sy) : compat::bitmap_get_pixel(mask, sx, sy + h);
            compat::bitmap_set_pixel(surface, (int)dx, (int)dy, px);
        }
    }
    DeleteObject(ii.hbmMask);
    if (ii.hbmColor)
        DeleteObject(ii.hbmColor);
    return TRUE;
}

BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon)
{
    return DrawIconEx(hDC, X, Y, hIcon, 0, 0, 0, NULL, DI_NORMAL | DI_COMPAT | DI_DEFAULTSIZE);
}

SHORT WINAPI GetKeyState(int nVirtKey)
{
    load_keys();
    if (nVirtKey < 0 || nVirtKey > 255)
        return 0;
    BYTE k = t_keys[nVirtKey];
    return (SHORT)(((k & 0x80) ? 0xFF80 : 0) | (k & 1));
}

BOOL WINAPI GetKeyboardState(PBYTE lpKeyState)
{
    if (!lpKeyState) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    load_keys();
    memcpy(lpKeyState, t_keys, sizeof t_keys);
    return TRUE;
}

BOOL WINAPI SetKeyboardState(PBYTE lpKeyState)
{
    if (!lpKeyState) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    t_keysLoaded = true;
    memcpy(t_keys, lpKeyState, sizeof t_keys);
    return TRUE;
}
