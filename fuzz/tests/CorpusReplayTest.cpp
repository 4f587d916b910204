// Every fuzz target's corpus, each input run once under the sanitizers: the
// seeds, and the inputs kept from faults that were found and mended.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#define KB_TARGET(name) extern "C" int FuzzOne_##name(const uint8_t* data, size_t size);
#include "Targets.inc"
#undef KB_TARGET

namespace {

typedef int (*FuzzOne)(const uint8_t*, size_t);

// A property that fails aborts the program: say which input it was.
char g_szCurrent[4096];

void OnAbort(int)
{
    const char szLead[] = "\nwhile running the corpus input ";
    (void)!write(2, szLead, sizeof szLead - 1);
    (void)!write(2, g_szCurrent, strlen(g_szCurrent));
    (void)!write(2, "\n", 1);
    signal(SIGABRT, SIG_DFL);
    raise(SIGABRT);
}

// Runs every file of corpus/<name>; returns how many there were.
int ReplayCorpus(const char* pszName, FuzzOne fn)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(KB_CORPUS_DIR) / pszName;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    signal(SIGABRT, OnAbort);
    for (const fs::path& file : files) {
        snprintf(g_szCurrent, sizeof g_szCurrent, "%s", file.c_str());
        std::ifstream in(file, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(file.string());
        // An exact-size heap copy, as libFuzzer hands it over.
        std::vector<uint8_t> data(bytes.begin(), bytes.end());
        data.reserve(1);
        EXPECT_EQ(fn(data.data(), data.size()), 0);
    }
    return int(files.size());
}

} // namespace

#define KB_TARGET(name)                                                \
    TEST(CorpusReplay, name)                                           \
    {                                                                  \
        EXPECT_GE(ReplayCorpus(#name, FuzzOne_##name), 5)              \
            << "corpus/" #name " should hold the target's seeds";      \
    }
#include "Targets.inc"
#undef KB_TARGET
