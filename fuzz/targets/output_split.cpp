// The output decoder on a stream cut into chunks at any points. Property:
// the console's lines (an unfinished text is continued by the next chunk's
// first text) are those of the stream decoded whole, wherever it is cut,
// also inside a line break or a UTF-8 sequence: a decoder that carries
// nothing from one chunk to the next fails it.
#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "process/OutputDecoder.h"
#include "targets/DecoderCarry.h"
#include "targets/FuzzCheck.h"

namespace {

// The console's side: finished lines, and the unfinished one continued.
class CConsole : public IOutputSink {
public:
    std::vector<std::string> m_lines;
    bool m_bContinue = false;

    void OnLine(const char* psz, int n, bool bUnfinished) override
    {
        if (m_bContinue && !m_lines.empty())
            m_lines.back().append(psz, size_t(n));
        else
            m_lines.emplace_back(psz, size_t(n));
        m_bContinue = bUnfinished;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool bUtf8 = in.ConsumeBool();
    std::vector<size_t> cuts(in.ConsumeIntegralInRange<size_t>(0, 8));
    for (size_t& k : cuts)
        k = in.ConsumeIntegral<uint16_t>();
    const std::string stream = in.ConsumeRemainingBytesAsString();
    for (size_t& k : cuts)
        k = stream.empty() ? 0 : k % (stream.size() + 1);
    std::sort(cuts.begin(), cuts.end());

    std::atomic<bool> bAbort{ false };
    COutputDecoder whole;
    CConsole expected;
    std::vector<char> all(stream.begin(), stream.end());
    KB_CHECK(DecodeChunk(whole, all.data(), DWORD(all.size()), bUtf8, bAbort, expected, true));

    COutputDecoder decoder;
    CConsole console;
    size_t nFrom = 0;
    cuts.push_back(stream.size());
    for (size_t i = 0; i < cuts.size(); ++i) {
        const size_t k = cuts[i];
        // Each chunk in a buffer of its own size, as the runner hands it over.
        std::vector<char> chunk(stream.begin() + long(nFrom), stream.begin() + long(k));
        KB_CHECK(DecodeChunk(decoder, chunk.data(), DWORD(chunk.size()), bUtf8, bAbort, console,
                             i + 1 == cuts.size()));
        nFrom = k;
    }
    if (console.m_lines != expected.m_lines) {
        fprintf(stderr, "stream '%s' (utf8 %d): %zu lines when cut, %zu whole\n", Escaped(stream).c_str(), bUtf8,
                console.m_lines.size(), expected.m_lines.size());
        for (const std::string& l : console.m_lines)
            fprintf(stderr, "  cut '%s'\n", Escaped(l).c_str());
        for (const std::string& l : expected.m_lines)
            fprintf(stderr, "  whole '%s'\n", Escaped(l).c_str());
    }
    KB_CHECK(console.m_lines == expected.m_lines);
    // Whatever the cuts, no text is lost or made up: the lines hold the
    // same characters, in the same order, apart from the breaks.
    if (!bUtf8) {
        std::string a, b;
        for (const std::string& l : console.m_lines)
            a += l;
        for (const std::string& l : expected.m_lines)
            b += l;
        KB_CHECK(a == b);
    }
    return 0;
}
