// Add over 10 million ints, and arrays of strings, CMkArray against std::vector.  The array
// grows by at most 1024 elements a step, moving everything each time, so 10 million Adds do
// about 10 000 moves of up to 40 MB: one iteration is plenty.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mkarray"

static void BM_MkArrayAddInts(benchmark::State &state)
{
    for (auto _ : state) {
        CMkArray<int> a;
        for (int i = 0; i < 10000000; ++i)
            a.Add(i);
        benchmark::DoNotOptimize(a.m_pData);
    }
}
BENCHMARK(BM_MkArrayAddInts)->Unit(benchmark::kMillisecond)->Iterations(1);

static void BM_VectorPushInts(benchmark::State &state)
{
    for (auto _ : state) {
        std::vector<int> v;
        for (int i = 0; i < 10000000; ++i)
            v.push_back(i);
        benchmark::DoNotOptimize(v.data());
    }
}
BENCHMARK(BM_VectorPushInts)->Unit(benchmark::kMillisecond)->Iterations(3);

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
