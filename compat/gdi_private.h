/*
 * The GDI object table, shared by the files that implement GDI objects (bitmaps here; device
 * contexts, DIB sections and the other kinds add their own subclasses of GdiObject).
 *
 * A handle is the address of its object; the table holds every live object so that a stale or
 * foreign handle is recognised and refused instead of followed.  Stock objects are never freed.
 */
#pragma once
#include <windows.h>

#include <stdint.h>

#include <vector>

namespace compat {

struct GdiObject {
    DWORD type = 0;       // OBJ_BITMAP, OBJ_MEMDC, ...
    bool stock = false;   // DeleteObject refuses stock objects without an error
    virtual ~GdiObject() = default;
};

/* A device-dependent bitmap: rows top-down, each `stride` bytes (a multiple of 2), 1, 4, 8, 16,
 * 24 or 32 bits per pixel.  Monochrome: bit set = white.  16 bits: x1r5g5b5.  24: B, G, R.
 * 32: B, G, R, unused.  DIB sections (another file) may keep their pixels elsewhere: `pixels`
 * then points at them and `dibSection` is set; everything here reads through `pixels`. */
struct BitmapObject : GdiObject {
    int width = 0, height = 0, bpp = 1, stride = 0;
    std::vector<uint8_t> bits;
    uint8_t *pixels = nullptr;
    bool dibSection = false;
    HDC selectedInto = NULL;
    /* DIB sections: rows kept bottom-up (row 0 of `pixels` is the lowest line) and the
     * section's own colour table for 1, 4 and 8 bits (empty: the defaults). */
    bool bottomUp = false;
    std::vector<uint32_t> table;
};

/* A device context.  A memory DC draws on its selected bitmap; `screenDepth` is non-zero for a
 * DC of the display (the depth of compatible bitmaps made from it). */
struct DcObject : GdiObject {
    HBITMAP bitmap = NULL;
    int screenDepth = 0;
    HGDIOBJ brush = NULL;    // the selected brush (NULL: the stock white brush)
    bool fromGetDC = false;  // handed out by GetDC, given back with ReleaseDC
};

/* Registers a new object and returns its handle. */
HGDIOBJ gdi_add(GdiObject *obj);
/* The live object behind `h` when it has `type` (0: any type), else null. */
GdiObject *gdi_get(HGDIOBJ h, DWORD type);
/* Unregisters and frees a non-stock object; false when `h` is not live. */
bool gdi_free(HGDIOBJ h);

/* Bitmaps. */
BitmapObject *bitmap_get(HBITMAP h);
/* A new DDB (not zero-filled when `bits` is given); NULL for bad sizes or depths. */
HBITMAP bitmap_create(int width, int height, int bpp);
/* The shared 1x1 monochrome bitmap that memory DCs start with. */
HBITMAP stock_bitmap();
/* Pixel access in 0x00RRGGBB; monochrome reads as black or white. */
uint32_t bitmap_get_pixel(const BitmapObject *b, int x, int y);
void bitmap_set_pixel(BitmapObject *b, int x, int y, uint32_t rgb);
/* Depth of bitmaps compatible with `hdc`: 1 for NULL or a memory DC holding a monochrome
 * bitmap, else the DC's depth. */
int dc_compatible_depth(HDC hdc);

/* Reads a packed DIB (header, colour table, bottom-up or top-down rows) into a new DDB of
 * depth `bpp`.  Returns NULL for a malformed or truncated DIB. */
HBITMAP bitmap_from_dib(const BITMAPINFO *info, size_t infoSize, const void *bits, size_t bitsSize, int bpp);

}  // namespace compat
