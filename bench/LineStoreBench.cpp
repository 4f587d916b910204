// Host benchmark of the line store, built apart from the Windows build by
// scripts/bench:
//   g++ -std=c++17 -O2 -I. -Itests bench/LineStoreBench.cpp screen/LineStore.cpp
//       -lbenchmark -pthread
// Arguments: store megabytes, line length (0 = empty lines).
// The Literal* cases run the literal reference of the same operations, as
// the baseline they replace.
#include <benchmark/benchmark.h>

#include <string>

#include "screen/LineStore.h"
#include "support/LineStoreModel.h"

namespace {

// The lines that one paint of a 50-line page takes from the store.
const int kPageLines = 50;

template <class TStore>
void Fill(TStore& store, const std::string& line)
{
    while (store.StoreLine(line.c_str(), false) == 0) {
    }
}

template <class TStore>
void StoreIntoEmpty(benchmark::State& state)
{
    const std::string line(size_t(state.range(1)), 'x');
    TStore store(int(state.range(0)) << 20);
    // Once through, so that the block's pages are all in memory, as they are
    // in a program that has run a while.
    Fill(store, line);
    store.Clear();
    for (auto _ : state) {
        if (store.StoreLine(line.c_str(), false) != 0) {
            state.PauseTiming();
            store.Clear();
            store.StoreLine(line.c_str(), false);
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}

template <class TStore>
void StoreIntoFull(benchmark::State& state)
{
    const std::string line(size_t(state.range(1)), 'y');
    TStore store(int(state.range(0)) << 20);
    Fill(store, line);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.StoreLine(line.c_str(), false));
    state.SetItemsProcessed(int64_t(state.iterations()));
}

// What a paint asks of a full store that follows the newest line: the count
// (and longest line), then each of the page + 1 last lines by index. A line
// is stored before each paint, as during a flood, and counted in the figure
// (StoreIntoFull gives its share).
template <class TStore>
void PaintWork(benchmark::State& state)
{
    const std::string line(size_t(state.range(1)), 'z');
    TStore store(int(state.range(0)) << 20);
    Fill(store, line);
    for (auto _ : state) {
        store.StoreLine(line.c_str(), false);
        const int nLines = store.CountLines();
        int nSum = store.m_nMaxLineLen;
        for (int i = nLines - kPageLines - 1; i < nLines; ++i) {
            const char* p = store.GetLine(i);
            nSum += p != nullptr ? p[0] : 0;
        }
        benchmark::DoNotOptimize(nSum);
    }
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (int nLen : { 100, 0 })
        for (int nMegabytes : { 1, 4, 16, 64 })
            b->Args({ nMegabytes, nLen });
}

void LiteralSizes(benchmark::internal::Benchmark* b)
{
    for (int nLen : { 100, 0 })
        for (int nMegabytes : { 1, 4 })
            b->Args({ nMegabytes, nLen });
}

// Memory of a full store beside its block, as a counter.
void Memory(benchmark::State& state)
{
    const std::string line(size_t(state.range(1)), 'm');
    const int nSize = int(state.range(0)) << 20;
    CLineStore store(nSize);
    Fill(store, line);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.CountLines());
    state.counters["extra_percent"] = 100.0 * double(store.AllocatedBytes() - nSize) / nSize;
}

} // namespace

BENCHMARK_TEMPLATE(StoreIntoEmpty, CLineStore)->Apply(Sizes);
BENCHMARK_TEMPLATE(StoreIntoFull, CLineStore)->Apply(Sizes);
BENCHMARK_TEMPLATE(PaintWork, CLineStore)->Apply(Sizes);
BENCHMARK(Memory)->Apply(Sizes)->Iterations(1);
BENCHMARK_TEMPLATE(StoreIntoFull, CLineStoreModel)->Name("LiteralStoreIntoFull")->Apply(LiteralSizes)->MinTime(0.2);
BENCHMARK_TEMPLATE(PaintWork, CLineStoreModel)->Name("LiteralPaintWork")->Apply(LiteralSizes)->MinTime(0.2);

BENCHMARK_MAIN();
