// Add over 10 million ints, and arrays of strings, CMkArray against std::vector.  The array
// grows by at most 1024 elements a step, so 10 million Adds make about 10 000 reallocations of
// up to 40 MB; std::vector doubles.  One iteration of the largest case is plenty.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_util.h"
#include "mkarray"

/* The counts of ints added: a smoke run takes only a small one (the largest is quadratic in
 * copying under a memory checker). */
static void IntCounts(benchmark::internal::Benchmark *b)
{
    if (bench::Smoke()) {
        b->Arg(100000);
        return;
    }
    b->Arg(1000000)->Arg(10000000);
}

static void BM_MkArrayAddInts(benchmark::State &state)
{
    for (auto _ : state) {
        CMkArray<int> a;
        for (int i = 0, n = (int)state.range(0); i < n; ++i)
            a.Add(i);
        benchmark::DoNotOptimize(a.m_pData);
    }
}
BENCHMARK(BM_MkArrayAddInts)->Unit(benchmark::kMillisecond)->Apply(IntCounts)->Iterations(1);

static void BM_VectorPushInts(benchmark::State &state)
{
    for (auto _ : state) {
        std::vector<int> v;
        for (int i = 0, n = (int)state.range(0); i < n; ++i)
            v.push_back(i);
        benchmark::DoNotOptimize(v.data());
    }
}
BENCHMARK(BM_VectorPushInts)->Unit(benchmark::kMillisecond)->Apply(IntCounts)->Iterations(3);

static void BM_MkArrayAddStrings(benchmark::State &state)
{
    const std::string s(32, 'x');
    for (auto _ : state) {
        CMkArray<std::string> a;
        for (int i = 0; i < 200000; ++i)
            a.Add(s);
        benchmark::DoNotOptimize(a.m_pData);
    }
}
BENCHMARK(BM_MkArrayAddStrings)->Unit(benchmark::kMillisecond);

static void BM_VectorPushStrings(benchmark::State &state)
{
    const std::string s(32, 'x');
    for (auto _ : state) {
        std::vector<std::string> v;
        for (int i = 0; i < 200000; ++i)
            v.push_back(s);
        benchmark::DoNotOptimize(v.data());
    }
}
BENCHMARK(BM_VectorPushStrings)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
