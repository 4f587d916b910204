// Host benchmark of the finder, built apart from the Windows build by
// scripts/bench (the host's code page layer from fuzz/shim, code page 1252):
//   g++ -std=c++17 -O2 -I. -Itests -Ifuzz/shim bench/TextFinderBench.cpp screen/TextFinder*.cpp
//       screen/LineStore.cpp framework/String.cpp fuzz/shim/HostPlatform.cpp
//       -lbenchmark -pthread
// Argument: store megabytes. A full store of 100-byte lines like a log's is
// searched forward and backward for a text that is not in it; the Literal
// cases run the literal walk (_mbsnbicmp at every byte) it replaces.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "screen/LineStore.h"
#include "screen/TextFinder.h"
#include "support/LiteralFind.h"

namespace {

// The console view's walk without a mark.
class CStoreSource : public ILineSource {
public:
    explicit CStoreSource(CLineStore& store) : m_store(store) {}
    int FirstLine() override { return 0; }
    int LastLine() override { return m_store.CountLines() - 1; }
    const char* GetLine(int n) override { return m_store.GetLine(n); }
    const char* EndOfLines() override { return m_store.GetLine(0) + m_store.m_nUsed; }

private:
    CLineStore& m_store;
};

// 100-byte lines (99 and the terminator) of the kind logcat prints.
void Fill(CLineStore& store)
{
    static const char* const kTags[] = { "ActivityManager", "PackageManager", "WindowManager", "chromium",
                                         "InputDispatcher", "wpa_supplicant", "SurfaceFlinger", "dalvikvm" };
    for (int i = 0;; ++i) {
        char sz[160];
        snprintf(sz, sizeof sz, "12-08 02:%02d:%02d.%03d  %4d  %4d %c %s: Start proc %d:com.example.app%d/u0a%d for service",
                 i / 60 % 60, i % 60, i % 1000, 1000 + i % 9000, 2000 + i % 7000, "VDIWE"[i % 5], kTags[i % 8],
                 i % 30000, i % 97, i % 500);
        std::string line(sz);
        line.resize(99, ' ');
        if (store.StoreLine(line.c_str(), false) != 0)
            return;
    }
}

const char* const kAbsent = "FATAL EXCEPTION";

template <bool bLiteral, bool bForward>
void FindAbsent(benchmark::State& state)
{
    CLineStore store(int(state.range(0)) << 20);
    Fill(store);
    CTextFinder finder;
    CStoreSource source(store);
    finder.SetPattern(kAbsent);
    for (auto _ : state) {
        bool bFound;
        if (bLiteral)
            bFound = bForward ? LiteralFind::SearchForward(finder, source) : LiteralFind::SearchBackward(finder, source);
        else
            bFound = bForward ? finder.SearchForward(source) : finder.SearchBackward(source);
        if (bFound)
            state.SkipWithError("found a text that is not there");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * store.m_nUsed);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK_TEMPLATE(FindAbsent, false, true)->Apply(Sizes)->Name("FindForward");
BENCHMARK_TEMPLATE(FindAbsent, false, false)->Apply(Sizes)->Name("FindBackward");
BENCHMARK_TEMPLATE(FindAbsent, true, true)->Apply(Sizes)->Name("LiteralFindForward");
BENCHMARK_TEMPLATE(FindAbsent, true, false)->Apply(Sizes)->Name("LiteralFindBackward");

BENCHMARK_MAIN();
