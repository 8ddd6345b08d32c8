// Tiled drawing onto a screen-sized 32-bit DIB section: small tiles (many SetDIBitsToDevice
// calls) against one large tile, and a 2x StretchDIBits for comparison.
#include <benchmark/benchmark.h>
#include <string.h>

#include <vector>

#include "dib.h"

namespace {

std::vector<BYTE> Dib24(int w, int h)
{
    size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
    std::vector<BYTE> d(40 + stride * size_t(h));
    BITMAPINFOHEADER bih = {};
    bih.biSize = 40;
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    memcpy(d.data(), &bih, 40);
    for (size_t i = 40; i < d.size(); ++i)
        d[i] = BYTE(i * 7);
    return d;
}

struct Target {
    HDC dc;
    HBITMAP bm;
    HGDIOBJ old;
    Target(int w, int h)
    {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = 40;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void *bits;
        dc = CreateCompatibleDC(NULL);
        bm = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
        old = SelectObject(dc, bm);
    }
    ~Target()
    {
        SelectObject(dc, old);
        DeleteObject(bm);
        DeleteDC(dc);
    }
};

void BM_TileDib(benchmark::State &state)
{
    int side = int(state.range(0));
    std::vector<BYTE> tile = Dib24(side, side);
    Target t(1024, 768);
    RECT r = {0, 0, 1024, 768};
    for (auto _ : state)
        benchmark::DoNotOptimize(TileDib(t.dc, tile.data(), &r, 0, NULL, 0));
    state.SetItemsProcessed(state.iterations() * 1024 * 768);
}
BENCHMARK(BM_TileDib)->Arg(16)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_StretchDIBits2x(benchmark::State &state)
{
    std::vector<BYTE> src = Dib24(512, 384);
    Target t(1024, 768);
    for (auto _ : state)
        benchmark::DoNotOptimize(StretchDIBits(t.dc, 0, 0, 1024, 768, 0, 0, 512, 384, src.data() + 40,
                                               reinterpret_cast<const BITMAPINFO *>(src.data()), DIB_RGB_COLORS,
                                               SRCCOPY));
    state.SetItemsProcessed(state.iterations() * 1024 * 768);
}
BENCHMARK(BM_StretchDIBits2x)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
