/*
 * A folder fitted into a carrier's budget: ten camera photos (4000 x 3000 JPEG) and one
 * animation of 60 frames (320 x 240, 256 colours, transparency) composed and fitted into
 * 300 KiB (FitFolder), as `medley pack FOLDER OUT --max-size 300k` does.  The files are made
 * once at start-up (the photos as the fitting tests make theirs); each iteration writes the
 * message anew.  Counters: the message's octets and the octets read from the folder.
 */
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <windows.h>

#include "basemem.h"
#include "bench_util.h"
#include "filefun.h"
#include "fit.h"
#include "gif.h"
#include "picture_files.h"
#include "pixkit.h"

namespace {

std::string g_folder, g_work, g_out;
long long g_input = 0;

using testkit::PhotoDib;

bool WriteBlock(const std::string &path, HGLOBAL block, DWORD n)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const void *p = BaseMemLock(block);
    bool ok = fwrite(p, 1, n, f) == n;
    BaseMemUnlock(block);
    return fclose(f) == 0 && ok;
}

bool MakeAnimation(const std::string &path)
{
    std::vector<BYTE> table(3 * 256);
    for (int i = 0; i < 256; ++i) {
        table[3 * size_t(i)] = BYTE(i);
        table[3 * size_t(i) + 1] = BYTE((i * 97) & 255);
        table[3 * size_t(i) + 2] = BYTE(255 - i);
    }
    GIFPALETTE pal{256, table.data()};
    CGifFile gif;
    if (!gif.Create(320, 240, 0, &pal))
        return false;
    for (int f = 0; f < 60; ++f) {
        const int w = 320, h = 240;
        const size_t stride = testkit::DibStride(w, 8);
        BYTE *p;
        HGLOBAL d = testkit::DibBlock(w, h, 8, 256, &p);
        RGBQUAD *q = reinterpret_cast<RGBQUAD *>(p + 40);
        for (int i = 0; i < 256; ++i)
            q[i] = RGBQUAD{table[3 * size_t(i) + 2], table[3 * size_t(i) + 1], table[3 * size_t(i)], 0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int dx = x - f * 5, dy = y - 120;
                bool ball = dx * dx + dy * dy < 900;
                p[40 + 1024 + size_t(h - 1 - y) * stride + x] =
                    BYTE(ball ? 200 + (f & 31) : ((x / 8 + y / 8 + f) & 1) ? 0 : 1 + ((x + y) >> 2) % 120);
            }
        BaseMemUnlock(d);
        GIFFRAMEINFO info = {};
        info.width = WORD(w);
        info.height = WORD(h);
        info.delay = 4 + f % 3;
        info.disposal = 1;
        info.hasTransparency = 1;
        info.transparentIndex = 0;
        if (gif.AddDecodedFrame(d, &info, -1) < 0)
            return false;
    }
    return gif.Save(path.c_str()) == 1;
}

bool Setup()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "medley-fit-bench-" + std::to_string(GetCurrentProcessId());
    g_folder = root + "/photos";
    g_work = root + "/work";
    g_out = root + "/out.dat";
    if (!CreateDirectoryA(root.c_str(), NULL) || !CreateDirectoryA(g_folder.c_str(), NULL) ||
        !CreateDirectoryA(g_work.c_str(), NULL))
        return false;
    // A smoke run fits two small photos.
    const int photos = bench::Smoke() ? 2 : 10;
    for (int i = 0; i < photos; ++i) {
        HGLOBAL d = bench::Smoke() ? PhotoDib(800, 600, 11u + unsigned(i)) : PhotoDib(4000, 3000, 11u + unsigned(i));
        DWORD n = 0;
        HGLOBAL j = PxDibEncodeJpeg(d, 90, &n);
        BaseMemFree(d);
        if (!j)
            return false;
        char name[32];
        snprintf(name, sizeof name, "/photo%02d.jpg", i);
        bool ok = WriteBlock(g_folder + name, j, n);
        BaseMemFree(j);
        if (!ok)
            return false;
        g_input += n;
    }
    std::string gif = g_folder + "/anim.gif";
    if (!MakeAnimation(gif))
        return false;
    WORD w, h;
    GetGifSize(gif.c_str(), &w, &h);
    FILE *f = fopen(gif.c_str(), "rb");
    fseek(f, 0, SEEK_END);
    g_input += ftell(f);
    fclose(f);
    return true;
}

void BM_FitFolderInto300k(benchmark::State &state)
{
    long long size = 0;
    for (auto _ : state) {
        FitResult r;
        if (!FitFolder(g_folder.c_str(), g_work.c_str(), g_out.c_str(), 300 * 1024, &r, nullptr, nullptr)) {
            state.SkipWithError(r.reason.c_str());
            return;
        }
        size = r.size;
    }
    state.counters["message_octets"] = double(size);
    state.counters["input_octets"] = double(g_input);
}
BENCHMARK(BM_FitFolderInto300k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char **argv)
{
    BaseMemInit();
    if (!Setup()) {
        fprintf(stderr, "fit_bench: cannot make the photos and the animation\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::string root = g_folder.substr(0, g_folder.size() - 7);
    DeleteDirTree(root.c_str(), "*.*");
    RemoveDirectoryA(root.c_str());
    return 0;
}
