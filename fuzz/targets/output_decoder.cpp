// The output decoder on one chunk, the whole stream. Properties: the lines it hands over are
// the chunk's lines as the line-break rules cut them (CR LF, CR CR LF,
// CR CR CR LF, a lone CR or LF), with NUL bytes dropped and, for a UTF-8
// run, every sequence turned into its ANSI character; no line holds CR, LF
// or NUL; only the last text can be unfinished; an abort stops it at once.
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "process/OutputDecoder.h"
#include "process/Utf8Conv.h"
#include "targets/DecoderCarry.h"
#include "targets/FuzzCheck.h"

namespace {

struct CLine {
    std::string text;
    bool bUnfinished;
    bool operator==(const CLine& o) const { return text == o.text && bUnfinished == o.bUnfinished; }
};

class CSink : public IOutputSink {
public:
    std::vector<CLine> m_lines;
    std::atomic<bool>* m_pAbort = nullptr;
    int m_nAbortAfter = -1;

    void OnLine(const char* psz, int n, bool bUnfinished) override
    {
        KB_CHECK(psz != nullptr && n >= 0 && psz[n] == 0 && strlen(psz) == size_t(n));
        KB_CHECK(strpbrk(psz, "\r\n") == nullptr);
        KB_CHECK(m_pAbort == nullptr || !*m_pAbort);
        m_lines.push_back({ std::string(psz, size_t(n)), bUnfinished });
        if (int(m_lines.size()) == m_nAbortAfter)
            *m_pAbort = true;
    }
};

// The rules, written out plainly: a break is looked for first, then the
// byte (or the UTF-8 sequence) joins the line.
std::vector<CLine> Expected(const std::string& s, bool bUtf8)
{
    std::vector<CLine> lines;
    std::string line;
    size_t i = 0;
    while (i < s.size()) {
        const size_t nLeft = s.size() - i;
        size_t nBreak = 0;
        if (s[i] == '\n')
            nBreak = 1;
        else if (s[i] == '\r') {
            if (s.compare(i, 2, "\r\n") == 0 && nLeft >= 2)
                nBreak = 2;
            else if (nLeft >= 3 && s.compare(i, 3, "\r\r\n") == 0)
                nBreak = 3;
            else if (nLeft >= 4 && s.compare(i, 4, "\r\r\r\n") == 0)
                nBreak = 4;
            else
                nBreak = 1;
        }
        if (nBreak) {
            lines.push_back({ line, false });
            line.clear();
            i += nBreak;
        } else if (s[i] == 0) {
            ++i;
        } else if (bUtf8) {
            CUtf8Conv conv(CP_ACP);
            char ch[4];
            line.append(ch, size_t(conv.ToNarrowChar(s.data() + i, nLeft, ch)));
            i += size_t(conv.m_nLength);
        } else {
            line += s[i++];
        }
    }
    if (!line.empty())
        lines.push_back({ line, true });
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool bUtf8 = in.ConsumeBool();
    const int nAbortAfter = in.ConsumeIntegralInRange(-1, 6);
    const std::string chunk = in.ConsumeRemainingBytesAsString();
    // An exact-size copy, so that a read past the chunk is seen.
    std::vector<char> bytes(chunk.begin(), chunk.end());

    COutputDecoder decoder;
    std::atomic<bool> bAbort{ false };
    CSink sink;
    sink.m_pAbort = &bAbort;
    sink.m_nAbortAfter = nAbortAfter;
    const bool bDone = DecodeChunk(decoder, bytes.data(), DWORD(bytes.size()), bUtf8, bAbort, sink, true);

    std::vector<CLine> expected = Expected(chunk, bUtf8);
    for (size_t k = 0; k < sink.m_lines.size(); ++k)
        KB_CHECK(!sink.m_lines[k].bUnfinished || k + 1 == sink.m_lines.size());
    if (nAbortAfter > 0 && size_t(nAbortAfter) <= expected.size()) {
        // Aborted in the sink of line nAbortAfter: nothing after it, and
        // Decode says so, unless that was the unfinished text at the end.
        expected.resize(size_t(nAbortAfter));
        KB_CHECK(bDone == expected.back().bUnfinished);
    } else {
        KB_CHECK(bDone);
    }
    if (!(sink.m_lines == expected)) {
        fprintf(stderr, "chunk '%s' (utf8 %d): %zu lines, expected %zu\n", Escaped(chunk).c_str(), bUtf8,
                sink.m_lines.size(), expected.size());
        for (const CLine& l : sink.m_lines)
            fprintf(stderr, "  got '%s'%s\n", Escaped(l.text).c_str(), l.bUnfinished ? " (unfinished)" : "");
        for (const CLine& l : expected)
            fprintf(stderr, "  expected '%s'%s\n", Escaped(l.text).c_str(), l.bUnfinished ? " (unfinished)" : "");
    }
    KB_CHECK(sink.m_lines == expected);
    return 0;
}
