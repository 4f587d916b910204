// The batch queue's text. Properties: every line handed to the owner is
// non-empty, holds no CR, LF or NUL, and starts and ends with no white
// space; the lines are those of the text, in order (CR LF, a lone CR and a
// lone LF end a line; blank lines are skipped); an owner that stops the
// batch or asks for the next line from inside RunCommand gets no line
// twice and none out of order; TakeLine and TrimSpace stay inside the text.
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "commands/BatchQueue.h"
#include "support/CodePageTable.h"
#include "targets/FuzzCheck.h"

namespace {

// White space as the C runtime sees it under the program's ".ACP" locale.
bool IsBlank(char c) { return CodePageTable::kBytes[static_cast<unsigned char>(c)].bSpace; }

std::vector<std::string> ExpectedLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    auto finish = [&] {
        size_t b = 0, e = line.size();
        while (b < e && IsBlank(line[b]))
            ++b;
        while (e > b && IsBlank(line[e - 1]))
            --e;
        if (e > b)
            lines.push_back(line.substr(b, e - b));
        line.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            finish();
        } else if (text[i] == '\n') {
            finish();
        } else {
            line += text[i];
        }
    }
    finish();
    return lines;
}

class COwner : public ICommandTarget {
public:
    CBatchQueue* m_pQueue = nullptr;
    std::vector<std::string> m_lines;
    int m_nStopAt = -1;       // stop the batch from inside this run
    int m_nNestAt = -1;       // ask for the next line from inside this run
    int m_nDepth = 0;

    void RunCommand(CString& strLine, bool bSync) override
    {
        KB_CHECK(!bSync);
        const std::string line(strLine.GetString(), size_t(strLine.GetLength()));
        KB_CHECK(!line.empty());
        KB_CHECK(line.find_first_of("\r\n") == std::string::npos);
        KB_CHECK(strlen(line.c_str()) == line.size());
        KB_CHECK(!IsBlank(line.front()) && !IsBlank(line.back()));
        m_lines.push_back(line);
        const int nRun = int(m_lines.size()) - 1;
        if (nRun == m_nStopAt)
            m_pQueue->Stop();
        if (nRun == m_nNestAt && m_nDepth < 4) {
            ++m_nDepth;
            m_pQueue->RunNext();
            --m_nDepth;
        }
    }
};

void CheckTrimSpace(const std::string& text)
{
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back(0);
    char* p = CBatchQueue::TrimSpace(buf.data());
    const size_t n = strlen(buf.data());
    KB_CHECK(p >= buf.data() && p <= buf.data() + n);
    const std::string trimmed = p;
    if (!trimmed.empty())
        KB_CHECK(!IsBlank(trimmed.front()) && !IsBlank(trimmed.back()));
    // Only blanks were cut.
    const std::string original(text.c_str());
    const size_t nLead = size_t(p - buf.data());
    KB_CHECK(original.compare(nLead, trimmed.size(), trimmed) == 0);
    for (size_t i = 0; i < nLead; ++i)
        KB_CHECK(IsBlank(original[i]));
    for (size_t i = nLead + trimmed.size(); i < original.size(); ++i)
        KB_CHECK(IsBlank(original[i]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int nStopAt = in.ConsumeIntegralInRange(-1, 8);
    const int nNestAt = in.ConsumeIntegralInRange(-1, 8);
    const bool bRestart = in.ConsumeBool();
    const std::string raw = in.ConsumeRemainingBytesAsString();
    // The dialog hands over a C string: the text ends at its first NUL.
    const std::string text = raw.c_str();

    CheckTrimSpace(raw);

    CBatchQueue queue;
    COwner owner;
    owner.m_pQueue = &queue;
    owner.m_nStopAt = nStopAt;
    owner.m_nNestAt = nNestAt;
    queue.Start(&owner, text.c_str());
    const bool bRestarted = bRestart && queue.IsActive();
    if (bRestarted) {
        // A new batch replaces one that still waits.
        owner.m_lines.clear();
        owner.m_nStopAt = owner.m_nNestAt = -1;
        queue.Start(&owner, text.c_str());
    }
    int nGuard = 0;
    while (queue.RunNext())
        KB_CHECK(++nGuard <= int(text.size()) + 1);
    KB_CHECK(!queue.IsActive());

    std::vector<std::string> expected = ExpectedLines(text);
    // Stopped from inside run nStopAt: nothing after it runs, not even a
    // line asked for from inside that same run.
    if (!bRestarted && nStopAt >= 0 && size_t(nStopAt) < expected.size())
        expected.resize(size_t(nStopAt) + 1);
    if (owner.m_lines != expected) {
        fprintf(stderr, "text '%s': %zu lines, expected %zu\n", Escaped(text).c_str(), owner.m_lines.size(),
                expected.size());
        for (const std::string& s : owner.m_lines)
            fprintf(stderr, "  got '%s'\n", Escaped(s).c_str());
        for (const std::string& s : expected)
            fprintf(stderr, "  expected '%s'\n", Escaped(s).c_str());
    }
    KB_CHECK(owner.m_lines == expected);
    return 0;
}
