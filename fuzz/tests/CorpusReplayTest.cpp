// Every fuzz target's corpus, each input run once under the sanitizers: the
// seeds, and the inputs kept from faults that were found and mended.
#include <gtest/gtest.h>

#include <algorithm>
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
    for (const fs::path& file : files) {
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
