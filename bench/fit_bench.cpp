/*
 * A folder fitted into a carrier's budget: ten camera photos (4000 x 3000 JPEG) and one
 * animation of 60 frames (320 x 240, 256 colours, transparency on every other frame) composed
 * and fitted into 300 KiB (FitFolder), as `medley pack FOLDER OUT --max-size 300k` does.  The
 * files are made once at start-up, the photos and the animation as the fitting tests make
 * theirs; each iteration writes the message anew.  Counters: the message's octets and the
 * octets read from the folder.
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
#include "gif_files.h"
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
    const std::vector<unsigned char> gif = giftest::Animation(320, 240, 60);
    FILE *f = fopen((g_folder + "/anim.gif").c_str(), "wb");
    bool ok = f && fwrite(gif.data(), 1, gif.size(), f) == gif.size();
    if (f && fclose(f) != 0)
        ok = false;
    g_input += (long long)gif.size();
    return ok;
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
