/* Album files: the input is opened as an album.  Nothing may fault; an album that opens is
 * listed whole, saved, and opened again with the same objects and fields. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <windows.h>

#include "album.h"

#include "fuzz_check.h"

namespace {

std::string TempName(const char *name)
{
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (!n || n >= sizeof dir)
        return "";
    char file[64];
    wsprintfA(file, "album_fuzz_%lu_%s", (unsigned long)GetCurrentProcessId(), name);
    return std::string(dir) + file;
}

/* Every object's path and user fields, in order. */
std::vector<std::string> Listing(int32_t h)
{
    std::vector<std::string> out;
    int32_t count = ABM_GetObjectCount(h);
    CHECK(count >= 0);
    for (int32_t i = 1; i <= count; ++i) {
        char path[MAX_PATH];
        CHECK(ABM_GetImageName(h, i, path));
        CHECK(memchr(path, 0, sizeof path));
        out.push_back(path);
        CAlbumImage rec;
        CHECK(ABM_GetImageName(h, i, &rec) && rec.nIndex == i && out.back() == rec.szPath);
        for (const char *f : {ALBUM_USER1, ALBUM_USER2, ALBUM_USER3, "THUMBDIB"}) {
            char buf[MAX_PATH];
            DWORD cb = sizeof buf;
            if (ABM_GetFieldData(h, i, f, buf, &cb)) {
                CHECK(cb <= sizeof buf);
                out.push_back(std::string(buf, cb));
            } else {
                out.push_back(GetLastError() == ERROR_MORE_DATA ? "more:" + std::to_string(cb) : "-");
            }
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string in = TempName("in.abm"), out = TempName("out.abm");
    FILE *f = in.empty() ? nullptr : fopen(in.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    int32_t h = CreateAlbumHandle(0);
    CHECK(h > 0);
    if (ABM_OpenAlbum(h, in.c_str())) {
        std::vector<std::string> first = Listing(h);
        CHECK(ABM_SaveAlbum(h, out.c_str()));
        int32_t g = CreateAlbumHandle(0);
        CHECK(ABM_OpenAlbum(g, out.c_str()));
        CHECK(Listing(g) == first);
        ABM_Release(g);
        DeleteFileA(out.c_str());
    } else {
        CHECK(ABM_GetObjectCount(h) == 0);  // a refused file leaves the handle as it was
    }
    ABM_Release(h);
    DeleteFileA(in.c_str());
    return 0;
}
