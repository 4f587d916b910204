// CTextFinder over a real line store, through a line source with the
// console view's rules (the marked lines, or all), beside the literal search
// (_mbsnbicmp at every byte) from the same position, and ExtractWord.
// Properties: every reported match is a real case-insensitive match of the
// whole pattern, on a stored line, inside the walk the line source allows;
// the finder reports exactly the next match in its direction (none is
// skipped, and a failed search leaves no position); ExtractWord gives the
// delimiter-free word around the position, or one space.
#include <cstring>
#include <string>
#include <vector>

#include "screen/LineStore.h"
#include "screen/TextFinder.h"
#include "support/CodePageTable.h"
#include "support/LiteralFind.h"
#include "targets/FuzzCheck.h"

namespace {

unsigned char Fold(char c) { return CodePageTable::kBytes[static_cast<unsigned char>(c)].nLower; }

// The console view's line source: a mark limits the walk.
class CSource : public ILineSource {
public:
    CLineStore m_store;
    int m_nMarkFirst = -1;
    int m_nMarkLast = -1;

    bool HasMark() const { return m_nMarkFirst >= 0 || m_nMarkLast >= 0; }
    int FirstLine() override { return HasMark() ? m_nMarkFirst : 0; }
    int LastLine() override { return HasMark() ? m_nMarkLast : m_store.CountLines() - 1; }
    const char* GetLine(int nIndex) override { return m_store.GetLine(nIndex); }
    const char* EndOfLines() override
    {
        const char* p = m_store.GetLine(0);
        return p ? p + m_store.m_nUsed : nullptr;
    }
};

bool MatchAt(const std::string& line, int c, const std::string& pattern)
{
    if (c < 0 || size_t(c) + pattern.size() > line.size())
        return false;
    for (size_t i = 0; i < pattern.size(); ++i)
        if (Fold(line[size_t(c) + i]) != Fold(pattern[i]))
            return false;
    return true;
}

struct CPos {
    bool bFound;
    int nLine;
    int nColumn;
};

// The next match after (nLine, nColumn) as the rules walk: the start line
// is searched whatever the mark says, the walk then goes on while the
// source gives lines.
CPos ExpectForward(const std::vector<std::string>& lines, const CSource& src, int nLine, int nColumn,
                   const std::string& pattern)
{
    const int n = int(pattern.size());
    if (nLine < 0) {
        nLine = src.HasMark() ? src.m_nMarkFirst : 0;
        nColumn = -1;
    }
    if (nColumn < -1)
        nColumn = -1;
    for (int l = nLine; l < int(lines.size()); ++l) {
        if (l > nLine && src.HasMark() && l > src.m_nMarkLast)
            break;
        const int len = int(lines[size_t(l)].size());
        for (int c = (l == nLine ? nColumn + 1 : 0); c <= len - n; ++c)
            if (MatchAt(lines[size_t(l)], c, pattern))
                return { true, l, c };
    }
    return { false, -1, -1 };
}

CPos ExpectBackward(const std::vector<std::string>& lines, const CSource& src, int nLine, int nColumn,
                    const std::string& pattern)
{
    const int n = int(pattern.size());
    if (nLine < 0) {
        nLine = src.HasMark() ? src.m_nMarkLast : int(lines.size()) - 1;
        nColumn = -1;
    }
    if (nColumn < -1)
        nColumn = -1;
    if (nLine >= int(lines.size()))
        return { false, -1, -1 };
    for (int l = nLine; l >= 0; --l) {
        if (l < nLine && src.HasMark() && l < src.m_nMarkFirst)
            break;
        const int len = int(lines[size_t(l)].size());
        int nStart = len - n + 1;
        if (l == nLine && nColumn != -1 && nColumn < nStart)
            nStart = nColumn;
        for (int c = nStart - 1; c >= 0; --c)
            if (MatchAt(lines[size_t(l)], c, pattern))
                return { true, l, c };
    }
    return { false, -1, -1 };
}

std::vector<std::string> Lines(CLineStore& store)
{
    std::vector<std::string> lines;
    const int n = store.CountLines();
    for (int i = 0; i < n; ++i)
        lines.push_back(store.GetLine(i));
    return lines;
}

bool IsDelimiter(unsigned char c)
{
    return c == 0 || c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == ':'
           || c == '=';
}

void CheckExtractWord(const std::string& t, int i)
{
    const CString w = ExtractWord(t.c_str(), i);
    auto at = [&](long k) -> unsigned char {
        return k >= 0 && k < long(t.size()) ? static_cast<unsigned char>(t[size_t(k)]) : 0;
    };
    if (IsDelimiter(at(i))) {
        KB_CHECK(w == " ");
        return;
    }
    long b = i, e = i;
    while (!IsDelimiter(at(b - 1)))
        --b;
    while (!IsDelimiter(at(e + 1)))
        ++e;
    KB_CHECK(std::string(w.GetString(), size_t(w.GetLength())) == t.substr(size_t(b), size_t(e - b + 1)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    CTextFinder finder;
    CSource src;
    src.m_store.Resize(in.ConsumeIntegralInRange(1, 600));
    for (int nStep = 0; nStep < 48 && in.remaining_bytes() > 0; ++nStep) {
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0:
        case 1: {
            // Output joins the store as Print stores it; dropped lines shift
            // the position and the mark.
            const std::string text = in.ConsumeRandomLengthString(80);
            const bool bContinue = in.ConsumeBool();
            const int nDropped = src.m_store.StoreLine(text.c_str(), bContinue);
            if (nDropped > 0) {
                src.m_nMarkFirst -= nDropped;
                if (src.m_nMarkFirst < 0)
                    src.m_nMarkFirst = 0;
                src.m_nMarkLast -= nDropped;
                if (src.m_nMarkLast < 0)
                    src.m_nMarkFirst = src.m_nMarkLast = -1;
                finder.m_nLine -= nDropped;
                if (finder.m_nLine < 0)
                    finder.m_nLine = finder.m_nColumn = -1;
            }
            break;
        }
        case 2:
            finder.SetPattern(in.ConsumeRandomLengthString(12).c_str());
            KB_CHECK(finder.m_nLine == -1 && finder.m_nColumn == -1);
            break;
        case 3:
        case 4: {
            const bool bForward = in.ConsumeBool();
            const std::vector<std::string> lines = Lines(src.m_store);
            const std::string pattern(finder.m_strPattern.GetString());
            const int nLine = finder.m_nLine, nColumn = finder.m_nColumn;
            // The literal search walks the same lines and mark from the same
            // position.
            CTextFinder literal;
            literal.m_strPattern = finder.m_strPattern;
            literal.m_nLine = nLine;
            literal.m_nColumn = nColumn;
            const bool bLiteral = bForward ? LiteralFind::SearchForward(literal, src)
                                           : LiteralFind::SearchBackward(literal, src);
            const bool bFound = bForward ? finder.SearchForward(src) : finder.SearchBackward(src);
            KB_CHECK(bFound == bLiteral && finder.m_nLine == literal.m_nLine && finder.m_nColumn == literal.m_nColumn);
            if (pattern.empty()) {
                KB_CHECK(!bFound && finder.m_nLine == nLine && finder.m_nColumn == nColumn);
                break;
            }
            const CPos expected = bForward ? ExpectForward(lines, src, nLine, nColumn, pattern)
                                           : ExpectBackward(lines, src, nLine, nColumn, pattern);
            if (bFound) {
                // A real match on a stored line.
                KB_CHECK(finder.m_nLine >= 0 && finder.m_nLine < int(lines.size()));
                KB_CHECK(MatchAt(lines[size_t(finder.m_nLine)], finder.m_nColumn, pattern));
            } else {
                KB_CHECK(finder.m_nLine == -1 && finder.m_nColumn == -1);
            }
            if (bFound != expected.bFound || finder.m_nLine != expected.nLine || finder.m_nColumn != expected.nColumn)
                fprintf(stderr, "%s from %d/%d with '%s': %d at %d/%d, expected %d at %d/%d\n",
                        bForward ? "forward" : "backward", nLine, nColumn, Escaped(pattern).c_str(), bFound,
                        finder.m_nLine, finder.m_nColumn, expected.bFound, expected.nLine, expected.nColumn);
            KB_CHECK(bFound == expected.bFound);
            KB_CHECK(finder.m_nLine == expected.nLine && finder.m_nColumn == expected.nColumn);
            break;
        }
        case 5: {
            // The mark rule of a middle click, on any line below the last too.
            const int nLine = in.ConsumeIntegralInRange(0, 40);
            if (src.m_nMarkFirst < 0 && src.m_nMarkLast < 0) {
                src.m_nMarkFirst = src.m_nMarkLast = nLine;
            } else if (src.m_nMarkFirst == src.m_nMarkLast) {
                const int m = src.m_nMarkFirst;
                src.m_nMarkFirst = m < nLine ? m : nLine;
                src.m_nMarkLast = m < nLine ? nLine : m;
            } else {
                src.m_nMarkFirst = src.m_nMarkLast = -1;
            }
            break;
        }
        case 6:
            // Clearing the screen forgets the position, keeps pattern and mark.
            finder.m_nLine = finder.m_nColumn = -1;
            src.m_store.Clear();
            break;
        default: {
            const std::string t = in.ConsumeRandomLengthString(60).c_str();
            CheckExtractWord(t, in.ConsumeIntegralInRange(-3, int(t.size()) + 3));
            break;
        }
        }
    }
    return 0;
}
