/* Writing and reading back a message of 20 parts totalling 200 MB, against copying the same
 * octets with plain fread/fwrite in 2048-octet blocks and in one large block.  Every iteration
 * extracts into the same folder, replacing the files of the one before. */
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "mime.h"

namespace fs = std::filesystem;

namespace {

const int kParts = 20;
const size_t kPartSize = bench::Smoke() ? 10 * 1000 : 10 * 1000 * 1000;
const double kMinTime = bench::Smoke() ? 0.001 : 3;

struct Data {
    fs::path dir;
    std::string folder;
    Data()
    {
        dir = bench::Scratch::Dir();
        fs::create_directories(dir / "out");
        folder = dir.string() + "/";
        std::vector<unsigned char> block(kPartSize);
        for (int i = 0; i < kParts; ++i) {
            for (size_t k = 0; k < block.size(); ++k)
                block[k] = (unsigned char)(k * 31 + i);
            FILE *f = fopen((dir / ("p" + std::to_string(i))).c_str(), "wb");
            fwrite(block.data(), 1, block.size(), f);
            fclose(f);
        }
    }
};

Data &Get()
{
    static Data d;
    return d;
}

void BM_MimeWriteAndExtract(benchmark::State &state)
{
    Data &d = Get();
    std::string out = d.folder + "out/";
    for (auto _ : state) {
        MIME_MESSAGE *m = MimeCreate();
        for (int i = 0; i < kParts; ++i) {
            std::string name = "p" + std::to_string(i);
            MIME_PART_INFO info = {"image/jpeg", d.folder.c_str(), name.c_str(), nullptr};
            MimeAddPart(m, &info);
        }
        if (!MimeWriteFile(m, d.folder.c_str(), "msg.mms"))
            state.SkipWithError("write failed");
        MimeDestroy(m);
        MIME_MESSAGE *r = MimeOpenFile(d.folder.c_str(), "msg.mms");
        if (!r || !MimeExtractAllEx(r, out.c_str(), MIME_EXTRACT_REPLACE, nullptr, nullptr))
            state.SkipWithError("read failed");
        MimeDestroy(r);
    }
    state.SetBytesProcessed(state.iterations() * 2 * kParts * (int64_t)kPartSize);
}

/* The same traffic: every part copied into one file, then that file copied out part by part. */
void PlainCopy(benchmark::State &state, size_t block)
{
    Data &d = Get();
    std::vector<unsigned char> buf(block);
    for (auto _ : state) {
        FILE *msg = fopen((d.dir / "plain.mms").c_str(), "wb");
        for (int i = 0; i < kParts; ++i) {
            FILE *in = fopen((d.dir / ("p" + std::to_string(i))).c_str(), "rb");
            size_t n;
            while ((n = fread(buf.data(), 1, block, in)) > 0)
                fwrite(buf.data(), 1, n, msg);
            fclose(in);
        }
        fclose(msg);
        FILE *src = fopen((d.dir / "plain.mms").c_str(), "rb");
        for (int i = 0; i < kParts; ++i) {
            FILE *out = fopen((d.dir / "out" / ("p" + std::to_string(i))).c_str(), "wb");
            size_t left = kPartSize;
            while (left) {
                size_t n = fread(buf.data(), 1, left < block ? left : block, src);
                if (!n)
                    break;
                fwrite(buf.data(), 1, n, out);
                left -= n;
            }
            fclose(out);
        }
        fclose(src);
    }
    state.SetBytesProcessed(state.iterations() * 2 * kParts * (int64_t)kPartSize);
}

void BM_PlainCopy2048(benchmark::State &state)
{
    PlainCopy(state, 2048);
}

void BM_PlainCopyOneBlock(benchmark::State &state)
{
    PlainCopy(state, kPartSize);
}

BENCHMARK(BM_MimeWriteAndExtract)->Unit(benchmark::kMillisecond)->MinTime(kMinTime)->UseRealTime();
BENCHMARK(BM_PlainCopy2048)->Unit(benchmark::kMillisecond)->MinTime(kMinTime)->UseRealTime();
BENCHMARK(BM_PlainCopyOneBlock)->Unit(benchmark::kMillisecond)->MinTime(kMinTime)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
