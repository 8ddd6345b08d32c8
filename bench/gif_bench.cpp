/*
 * The GIF reader and writer against giflib on the same files, in the same run:
 * CGifFile::Load against DGifSlurp, and CGifFile::Save against EGifSpew of the same decoded
 * pictures (the output sizes are reported as counters "bytes").  The files are made once at
 * start-up with giflib's encoder:
 *   photo  - one 1920 x 1080 frame of 256 colours, smooth gradients with grain
 *   anim   - 30 frames of 480 x 360, 64 colours, a moving pattern
 *   bilevel- one 4096 x 4096 frame of 2 colours, blocks and diagonals
 * Items processed are pixels, so the two decoders' pixel rates read side by side.
 */
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "basemem.h"
#include "bench_util.h"
#include "gif.h"

namespace {

// Before any allocation (see SteadyHeap).
const bool kSteadyHeap = bench::SteadyHeap();

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
    std::filesystem::path dir = bench::Scratch::Dir();
    struct BenchFile {
        const char *name;
        int w, h, frames, bits;
        int (*pixel)(int, int, int);
    } benchFiles[] = {{"photo.gif", 1920, 1080, 1, 8, PhotoPixel},
                 {"anim.gif", 480, 360, 30, 6, AnimPixel},
                 {"bilevel.gif", 4096, 4096, 1, 1, BilevelPixel}};
    if (bench::Smoke()) {  // a quarter of each side of the stills, three frames of the animation
        for (BenchFile *s : {&benchFiles[0], &benchFiles[2]}) {
            s->w /= 4;
            s->h /= 4;
        }
        benchFiles[1].frames = 3;
    }
    for (const BenchFile &s : benchFiles) {
        std::string path = (dir / s.name).string();
        if (!WriteGif(path, s.w, s.h, s.frames, s.bits, s.pixel)) {
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

std::string OutPath(const char *name) {
    return bench::Scratch::Path(name);
}

void BM_CGifFileSave(benchmark::State &state) {
    const Sample &s = Samples()[size_t(state.range(0))];
    CGifFile gif;
    if (!gif.Load(s.path.c_str()))
        state.SkipWithError("Load failed");
    const std::string out = OutPath("ours.gif");
    for (auto _ : state) {
        if (!gif.Save(out.c_str()))
            state.SkipWithError("Save failed");
    }
    state.SetItemsProcessed(state.iterations() * s.pixels);
    state.counters["bytes"] = double(std::filesystem::file_size(out));
    state.SetLabel(std::filesystem::path(s.path).filename().string());
}

void BM_GiflibSpew(benchmark::State &state) {
    const Sample &s = Samples()[size_t(state.range(0))];
    const std::string out = OutPath("giflib.gif");
    int err = 0;
    GifFileType *in = DGifOpenFileName(s.path.c_str(), &err);
    if (!in || DGifSlurp(in) != GIF_OK) {
        state.SkipWithError("DGifSlurp failed");
        return;
    }
    for (auto _ : state) {
        // EGifSpew frees what it writes: hand it a copy of the decoded file, untimed.
        state.PauseTiming();
        GifFileType *gif = EGifOpenFileName(out.c_str(), false, &err);
        gif->SWidth = in->SWidth;
        gif->SHeight = in->SHeight;
        gif->SColorResolution = in->SColorResolution;
        gif->SBackGroundColor = in->SBackGroundColor;
        gif->SColorMap = GifMakeMapObject(in->SColorMap->ColorCount, in->SColorMap->Colors);
        for (int i = 0; i < in->ImageCount; ++i)
            GifMakeSavedImage(gif, &in->SavedImages[i]);
        state.ResumeTiming();
        if (EGifSpew(gif) != GIF_OK)
            state.SkipWithError("EGifSpew failed");
    }
    DGifCloseFile(in, &err);
    state.SetItemsProcessed(state.iterations() * s.pixels);
    state.counters["bytes"] = double(std::filesystem::file_size(out));
    state.SetLabel(std::filesystem::path(s.path).filename().string());
}

/* A 1920 x 1080 photo-like true-colour picture: gradients, soft discs and grain. */
HGLOBAL PhotoDib() {
    const int w = 1920, h = 1080;
    const size_t stride = size_t(w) * 3;
    HGLOBAL hDib = BaseMemAlloc(GMEM_MOVEABLE, DWORD(40 + stride * h));
    BYTE *p = static_cast<BYTE *>(BaseMemLock(hDib));
    BITMAPINFOHEADER *bih = reinterpret_cast<BITMAPINFOHEADER *>(p);
    memset(bih, 0, sizeof(*bih));
    bih->biSize = 40;
    bih->biWidth = w;
    bih->biHeight = h;
    bih->biPlanes = 1;
    bih->biBitCount = 24;
    bih->biSizeImage = DWORD(stride * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE *q = p + 40 + size_t(y) * stride + 3 * size_t(x);
            int dx = x - 700, dy = y - 400;
            bool disc = dx * dx + dy * dy < 250 * 250;
            int grain = int(Noise(uint32_t(y * w + x)) % 17) - 8;
            auto clamp = [](int v) { return BYTE(v < 0 ? 0 : v > 255 ? 255 : v); };
            q[2] = clamp((disc ? 220 : x * 255 / w) + grain);
            q[1] = clamp((disc ? 90 + dy / 4 : y * 255 / h) + grain);
            q[0] = clamp(((x + y) * 255 / (w + h)) / 2 + 60 + grain);
        }
    BaseMemUnlock(hDib);
    return hDib;
}

void BM_ReduceToPalette(benchmark::State &state) {
    // Made once and freed at exit (a handle is no pointer the leak checker can follow).
    static const struct Photo {
        HGLOBAL h = PhotoDib();
        ~Photo() { BaseMemFree(h); }
    } photo;
    const int mode = int(state.range(0));
    for (auto _ : state) {
        HGLOBAL r = ReduceToPalette(photo.h, mode, 0);
        if (IsReduceFailure(r))
            state.SkipWithError("ReduceToPalette failed");
        else
            BaseMemFree(r);
    }
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
    state.SetLabel(mode == 1 ? "no dithering" : mode == 3 ? "ordered" : "error diffusion");
}

void BM_ResizeGif(benchmark::State &state) {
    const Sample &s = Samples()[1];  // the 30-frame 480 x 360 animation
    const std::string out = OutPath("resized.gif");
    for (auto _ : state)
        if (!ResizeGif(s.path.c_str(), 176, 144, out.c_str()))
            state.SkipWithError("ResizeGif failed");
    state.SetItemsProcessed(state.iterations() * s.pixels);
}

void BM_CropGif(benchmark::State &state) {
    const Sample &s = Samples()[1];
    const std::string out = OutPath("cropped.gif");
    for (auto _ : state)
        if (!CropGif(s.path.c_str(), 100, 80, 240, 180, out.c_str()))
            state.SkipWithError("CropGif failed");
    state.SetItemsProcessed(state.iterations() * s.pixels);
}

BENCHMARK(BM_CGifFileLoad)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GiflibSlurp)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CGifFileSave)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GiflibSpew)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceToPalette)->Arg(1)->Arg(3)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeGif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CropGif)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
