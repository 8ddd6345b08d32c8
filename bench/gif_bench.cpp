/*
 * CGifFile::Load against giflib's DGifSlurp on the same files, in the same run.  The files
 * are made once at start-up with giflib's encoder:
 *   photo  - one 1920 x 1080 frame of 256 colours, smooth gradients with grain
 *   anim   - 30 frames of 480 x 360, 64 colours, a moving pattern
 *   bilevel- one 4096 x 4096 frame of 2 colours, blocks and diagonals
 * Items processed are pixels, so the two decoders' pixel rates read side by side.
 */
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gif.h"

namespace {

struct Sample {
    std::string path;
    int64_t pixels;
};

bool WriteGif(const std::string &path, int w, int h, int frames, int bits,
              int (*pixel)(int x, int y, int frame)) {
    int err = 0;
    GifFileType *gif = EGifOpenFileName(path.c_str(), false, &err);
    if (!gif)
        return false;
    int colours = 1 << bits;
    std::vector<GifColorType> table(static_cast<size_t>(colours));
    for (int i = 0; i < colours; ++i) {
        table[size_t(i)].Red = GifByteType(i * 255 / (colours - 1));
        table[size_t(i)].Green = GifByteType((i * 97) & 255);
        table[size_t(i)].Blue = GifByteType(255 - i * 255 / (colours - 1));
    }
    ColorMapObject *map = GifMakeMapObject(colours, table.data());
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, w, h, bits, 0, map) == GIF_OK;
    std::vector<GifPixelType> line(static_cast<size_t>(w));
    for (int f = 0; ok && f < frames; ++f) {
        GraphicsControlBlock gcb{0, false, 4, NO_TRANSPARENT_COLOR};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < h; ++y) {
            for (int x = 0; x < w; ++x)
                line[size_t(x)] = GifPixelType(pixel(x, y, f) & (colours - 1));
            ok = EGifPutLine(gif, line.data(), w) == GIF_OK;
        }
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &err) == GIF_OK && ok;
}

uint32_t Noise(uint32_t v) {
    v ^= v >> 16;
    v *= 0x7feb352d;
    v ^= v >> 15;
    v *= 0x846ca68b;
    v ^= v >> 16;
    return v;
}

int PhotoPixel(int x, int y, int) {
    int base = (x * 180 / 1920) + (y * 60 / 1080);
    return base + int(Noise(uint32_t(y * 1920 + x)) % 9) - 4 + (((x / 240 + y / 270) & 1) ? 10 : 0);
}
int AnimPixel(int x, int y, int f) { return ((x + f * 7) / 6 ^ (y + f * 3) / 6) + (((x - 240) * (x - 240) + (y - 180) * (y - 180)) < 900 * (f % 5 + 1) ? 32 : 0); }
int BilevelPixel(int x, int y, int) { return (((x / 64) ^ (y / 64)) & 1) ^ ((x + y) % 97 == 0); }

std::vector<Sample> &Samples() {
    static std::vector<Sample> samples;
    if (!samples.empty())
        return samples;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "medley_gif_bench";
    std::filesystem::create_directories(dir);
    struct BenchFile {
        const char *name;
        int w, h, frames, bits;
        int (*pixel)(int, int, int);
    } benchFiles[] = {{"photo.gif", 1920, 1080, 1, 8, PhotoPixel},
                 {"anim.gif", 480, 360, 30, 6, AnimPixel},
                 {"bilevel.gif", 4096, 4096, 1, 1, BilevelPixel}};
    for (const BenchFile &s : benchFiles) {
        std::string path = (dir / s.name).string();
        if (!std::filesystem::exists(path) && !WriteGif(path, s.w, s.h, s.frames, s.bits, s.pixel)) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            exit(1);
        }
        samples.push_back({path, int64_t(s.w) * s.h * s.frames});
    }
    return samples;
}

void BM_CGifFileLoad(benchmark::State &state) {
    const Sample &s = Samples()[size_t(state.range(0))];
    for (auto _ : state) {
        CGifFile gif;
        if (!gif.Load(s.path.c_str()) || gif.GetFrameCount() == 0)
            state.SkipWithError("Load failed");
        benchmark::DoNotOptimize(gif.GetFrameDib(0));
    }
    state.SetItemsProcessed(state.iterations() * s.pixels);
    state.SetLabel(std::filesystem::path(s.path).filename().string());
}

void BM_GiflibSlurp(benchmark::State &state) {
    const Sample &s = Samples()[size_t(state.range(0))];
    for (auto _ : state) {
        int err = 0;
        GifFileType *gif = DGifOpenFileName(s.path.c_str(), &err);
        if (!gif || DGifSlurp(gif) != GIF_OK)
            state.SkipWithError("DGifSlurp failed");
        if (gif) {
            benchmark::DoNotOptimize(gif->SavedImages);
            DGifCloseFile(gif, &err);
        }
    }
    state.SetItemsProcessed(state.iterations() * s.pixels);
    state.SetLabel(std::filesystem::path(s.path).filename().string());
}

BENCHMARK(BM_CGifFileLoad)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GiflibSlurp)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
