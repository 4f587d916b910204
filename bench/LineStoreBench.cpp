// Host benchmark of CLineStore::StoreLine, built apart from the Windows build:
//   g++ -std=c++17 -O2 -I. bench/LineStoreBench.cpp screen/LineStore.cpp -lbenchmark -pthread
#include <benchmark/benchmark.h>

#include <string>

#include "screen/LineStore.h"

namespace {

// Lines into a store that still has room.
void BM_StoreLineWhileFilling(benchmark::State& state)
{
    const std::string line(size_t(state.range(0)), 'x');
    CLineStore store(64 << 20);
    for (auto _ : state) {
        if (store.StoreLine(line.c_str(), false) != 0)
            store.Clear();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * (state.range(0) + 1));
}
BENCHMARK(BM_StoreLineWhileFilling)->Arg(16)->Arg(80)->Arg(1000);

// Lines into a full store of the given megabytes: every line drops the
// oldest ones and moves the rest of the block down.
void BM_StoreLineWhenFull(benchmark::State& state)
{
    const std::string line(80, 'y');
    CLineStore store(int(state.range(0)) << 20);
    while (store.StoreLine(line.c_str(), false) == 0) {
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(store.StoreLine(line.c_str(), false));
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_StoreLineWhenFull)->Arg(1)->Arg(4)->Arg(64);

// Dropping many short lines for one long one: one move, not one per line.
void BM_LongLineAfterShortOnes(benchmark::State& state)
{
    const std::string longLine(4000, 'z');
    CLineStore store(4 << 20);
    for (auto _ : state) {
        state.PauseTiming();
        store.Clear();
        while (store.StoreLine("a", false) == 0) {
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(store.StoreLine(longLine.c_str(), false));
    }
}
BENCHMARK(BM_LongLineAfterShortOnes)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
