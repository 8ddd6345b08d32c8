/*
 * CreateMaskRgn on 1920 x 1080 masks (a disc, a ring, sparse and dense noise, and all of them
 * together), beside the square-by-square construction it replaces.  Windows' window system:
 * run as mask_region_bench.exe (under wine64 on Linux).
 *
 * usage: mask_region_bench [--reps N] [--no-baseline]
 * Each case reports the fastest and the median of N runs.  The square-by-square baseline is
 * quadratic: it runs once per case, on the full picture where that ends within about a minute
 * and on a smaller picture of the same kind otherwise (its size is printed).
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "winshape.h"
#include "../../tests/ui/mask_reference.h"

namespace {

double NowMs()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart * 1000.0 / (double)f.QuadPart;
}

enum { DISC = 1, RING = 2, NOISE = 4, DENSE = 8 };

/* An 8-bit mask of w x h: index 255 where the kinds select. */
std::vector<BYTE> MakeMask(int w, int h, int kinds)
{
    const size_t stride = ((size_t)w + 3) / 4 * 4;
    std::vector<BYTE> m(40 + 1024 + stride * (size_t)h, 0);
    BITMAPINFOHEADER bih = {};
    bih.biSize = 40;
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = 8;
    bih.biClrUsed = 256;
    memcpy(m.data(), &bih, sizeof bih);
    BYTE *px = m.data() + 1064;
    unsigned seed = 1080;
    const double s = w / 1920.0;  // radii scale with the picture
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double dx = x - w / 2.0 + 0.5, dy = y - h / 2.0 + 0.5, d = dx * dx + dy * dy;
            seed = seed * 1103515245u + 12345u;
            unsigned r = (seed >> 16) & 0x7FFF;
            bool on = ((kinds & DISC) && d < 400 * 400 * s * s) ||
                      ((kinds & RING) && d >= 450 * 450 * s * s && d < 500 * 500 * s * s) ||
                      ((kinds & NOISE) && r % 100 == 0) || ((kinds & DENSE) && r % 4 == 0);
            px[(size_t)(h - 1 - y) * stride + (size_t)x] = on ? 255 : 0;
        }
    return m;
}

DWORD Rects(HRGN r)
{
    DWORD n = r ? GetRegionData(r, 0, NULL) : 0;
    return n ? (n - (DWORD)sizeof(RGNDATAHEADER)) / (DWORD)sizeof(RECT) : 0;
}

}  // namespace

int main(int argc, char **argv)
{
    int reps = 7;
    bool baseline = true;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--reps") && i + 1 < argc)
            reps = atoi(argv[++i]) > 0 ? atoi(argv[i]) : 1;
        else if (!strcmp(argv[i], "--no-baseline"))
            baseline = false;
        else {
            fprintf(stderr, "usage: mask_region_bench [--reps N] [--no-baseline]\n");
            return 2;
        }
    }
    setvbuf(stdout, NULL, _IONBF, 0);
    const struct {
        const char *name;
        int kinds;
        int baselineWidth;  // picture width for the square-by-square run (0: none)
    } cases[] = {{"disc", DISC, 1920},
                 {"ring", RING, 1920},
                 {"noise 1%", NOISE, 1920},
                 {"disc+ring+noise 1%", DISC | RING | NOISE, 1920},
                 {"noise 25%", DENSE, 480}};
    printf("%-20s %9s %9s %10s %10s   %s\n", "1920 x 1080 mask", "pixels", "rects", "fastest", "median",
           "square by square");
    for (const auto &c : cases) {
        std::vector<BYTE> mask = MakeMask(1920, 1080, c.kinds);
        long pixels = 0;
        for (size_t i = 1064; i < mask.size(); ++i)
            pixels += mask[i] == 255;
        std::vector<double> times;
        DWORD rects = 0;
        for (int r = 0; r < reps; ++r) {
            double t0 = NowMs();
            HRGN rgn = CreateMaskRgn(mask.data(), 255);
            times.push_back(NowMs() - t0);
            rects = Rects(rgn);
            if (rgn)
                DeleteObject(rgn);
        }
        std::sort(times.begin(), times.end());
        std::string base = "-";
        if (baseline && c.baselineWidth) {
            const int bw = c.baselineWidth, bh = bw * 1080 / 1920;
            std::vector<BYTE> small = bw == 1920 ? mask : MakeMask(bw, bh, c.kinds);
            HRGN fast = CreateMaskRgn(small.data(), 255);
            double t0 = NowMs();
            HRGN slow = MaskRegionSquareBySquare(small.data(), 255);
            double ms = NowMs() - t0;
            t0 = NowMs();
            HRGN again = CreateMaskRgn(small.data(), 255);
            double fastMs = NowMs() - t0;
            char line[160];
            snprintf(line, sizeof line, "%.0f ms at %d x %d (runs: %.2f ms there; %s)", ms, bw, bh, fastMs,
                     (fast && slow && EqualRgn(fast, slow)) ? "equal" : "DIFFERENT");
            base = line;
            for (HRGN r : {fast, slow, again})
                if (r)
                    DeleteObject(r);
        }
        printf("%-20s %9ld %9lu %8.2f ms %7.2f ms   %s\n", c.name, pixels, (unsigned long)rects, times.front(),
               times[times.size() / 2], base.c_str());
    }
    return 0;
}
