/* A loaded cursor or icon. */
#pragma once
#include <windows.h>

#include <stdint.h>

#include <vector>

namespace compat {

struct IconObject {
    bool cursor = false;
    POINT hotspot = {0, 0};
    int width = 0, height = 0, bitcount = 0;
    std::vector<uint8_t> dib;  // BITMAPINFOHEADER (height doubled), palette, XOR bits, AND mask
    bool owned = false;        // made for one caller (not a shared resource): DestroyIcon frees it
};

/* Registers an icon made in code (owned by the caller) and returns its handle. */
HICON icon_add(IconObject *obj);

/* The object behind a handle, or null. */
IconObject *icon_from_handle(HICON h);

/* Frees the shared cursors and icons loaded from a module's resources: the module is going
 * away (or its resources are replaced), and its handles with it, as on Windows. */
void icon_release_module(HINSTANCE module);

}  // namespace compat
