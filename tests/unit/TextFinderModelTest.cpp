// The finder's searches against the literal walk (_mbsnbicmp at every byte):
// random stores and patterns, forward and backward from every kind of start
// position, with and without a mark, under the C runtime switched to the
// Western, the Cyrillic and the Simplified Chinese code page.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "screen/TextFinder.h"
#include "support/LiteralFind.h"
#include "support/RuntimeCodePage.h"

namespace {

// Lines back to back, with the console view's rules for a mark.
class CModelSource : public ILineSource {
public:
    CModelSource(const std::string& block, const std::vector<int>& offsets) : m_block(block), m_offsets(offsets) {}
    int m_nMarkFirst = -1;
    int m_nMarkLast = -1;

    int FirstLine() override { return HasMark() ? m_nMarkFirst : 0; }
    int LastLine() override
    {
        const int nLast = Count() - 1;
        if (!HasMark())
            return nLast;
        return m_nMarkLast > nLast && nLast >= m_nMarkFirst ? nLast : m_nMarkLast;
    }
    const char* GetLine(int n) override
    {
        return n >= 0 && n < Count() ? m_block.data() + m_offsets[size_t(n)] : nullptr;
    }
    const char* EndOfLines() override { return m_block.data() + m_block.size(); }

private:
    bool HasMark() const { return m_nMarkFirst >= 0 || m_nMarkLast >= 0; }
    int Count() const { return int(m_offsets.size()); }
    const std::string& m_block;
    const std::vector<int>& m_offsets;
};

// The pieces lines are made of, per code page: letters in both cases, and
// for the double-byte page characters whose second byte is an ASCII letter
// or a lead byte, so that half a character can look like a match.
std::vector<std::string> Pieces(int nCodePage)
{
    std::vector<std::string> v = { "a", "A", "b", "B", "ab", "AB", "x", " ", ":", "0", "\x01", "\x02", "\x03" };
    if (nCodePage == 1252)
        v.insert(v.end(), { "\xE9", "\xC9", "\x8A", "\x9A", "\xFF", "\x9F", "\xDF", "\xD7", "\xF7" });
    if (nCodePage == 1251)
        v.insert(v.end(), { "\xC0", "\xE0", "\xA8", "\xB8", "\xDF", "\xFF", "\x80", "\x90", "\xB9" });
    if (nCodePage == 936)
        v.insert(v.end(), { "\xB0\xA1", "\xA3\xC1", "\xA3\xE1", "\x81\x41", "\x81\x61", "\x81\x62", "\xC1\xA3",
                            "\xA3\xA3", "\xB0\xB0", "\xA1\xA1", "\xA6\xA1", "\xA6\xC1" });
    return v;
}

struct CPos {
    bool bFound;
    int nLine;
    int nColumn;
    bool operator==(const CPos& o) const { return bFound == o.bFound && nLine == o.nLine && nColumn == o.nColumn; }
};

std::ostream& operator<<(std::ostream& os, const CPos& p)
{
    return os << (p.bFound ? "found" : "none") << " " << p.nLine << "/" << p.nColumn;
}

std::string Hex(const std::string& s)
{
    std::string out;
    char sz[4];
    for (unsigned char c : s) {
        snprintf(sz, sizeof sz, "%02X ", c);
        out += sz;
    }
    return out;
}

// True when column c of the line is the second byte of a double-byte
// character, reading the line's characters from its start.
bool InsideCharacter(const char* p, int c)
{
    int i = 0;
    while (i < c)
        i += _ismbblead(static_cast<unsigned char>(p[i])) && p[i + 1] ? 2 : 1;
    return i != c;
}

class CModelRun {
public:
    CModelRun(int nCodePage, unsigned nSeed) : m_nCodePage(nCodePage), m_rng(nSeed), m_pieces(Pieces(nCodePage)) {}

    // Runs nStores random stores; returns the number of literal matches
    // that began inside a double-byte character (skipped by the finder).
    int Run(int nStores)
    {
        int nInside = 0;
        for (int s = 0; s < nStores && !::testing::Test::HasFailure(); ++s)
            nInside += OneStore();
        return nInside;
    }

private:
    int Pick(int nMax) { return std::uniform_int_distribution<int>(0, nMax)(m_rng); }

    std::string RandomText(int nLen)
    {
        std::string s;
        while (int(s.size()) < nLen)
            s += m_pieces[size_t(Pick(int(m_pieces.size()) - 1))];
        return s;
    }

    // Short lines mostly, some long ones (a word at a time), empty ones,
    // lines ending in a lone lead byte, and now and then a line of
    // thousands of a's and b's, in which a longer pattern's window moves a
    // byte or two at a time.
    void MakeStore()
    {
        m_block.clear();
        m_offsets.clear();
        m_lines.clear();
        const int nLines = Pick(30);
        const int nLong = Pick(3) == 0 ? Pick(nLines) : -1;
        for (int i = 0; i < nLines; ++i) {
            const int nKind = Pick(9);
            std::string line = nKind == 0 ? std::string() : RandomText(nKind < 7 ? Pick(12) : 40 + Pick(200));
            if (i == nLong) {
                line.assign(size_t(600 + Pick(6000)), 'a');
                for (char& c : line)
                    c = "aAb"[Pick(2)];
            }
            if (m_nCodePage == 936 && Pick(7) == 0)
                line += '\x81';
            m_offsets.push_back(int(m_block.size()));
            m_block += line;
            m_block += '\0';
            m_lines.push_back(line);
        }
    }

    // A piece of a line (case changed here and there), or random text; in
    // the double-byte code page it never ends in half a character, which
    // the runtime's comparison completes with the byte after the pattern.
    std::string MakePattern()
    {
        std::string s = MakeAnyPattern();
        while (m_nCodePage == 936 && !s.empty() && EndsInHalfACharacter(s))
            s.pop_back();
        return s.empty() ? "a" : s;
    }

    static bool EndsInHalfACharacter(const std::string& s)
    {
        size_t i = 0;
        while (i + 1 < s.size())
            i += _ismbblead(static_cast<unsigned char>(s[i])) ? 2 : 1;
        return i + 1 == s.size() && _ismbblead(static_cast<unsigned char>(s[i]));
    }

    std::string MakeAnyPattern()
    {
        if (!m_lines.empty() && Pick(3) > 0) {
            const std::string& line = m_lines[size_t(Pick(int(m_lines.size()) - 1))];
            if (!line.empty()) {
                const int nFrom = Pick(int(line.size()) - 1);
                std::string s = line.substr(size_t(nFrom), size_t(1 + Pick(5)));
                for (char& c : s) {
                    if (Pick(2) == 0 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
                        c = char(c ^ 0x20);
                }
                if (s[0] != 0)
                    return s;
            }
        }
        return RandomText(1 + Pick(4));
    }

    void RandomStart(CTextFinder& f)
    {
        const int nLines = int(m_lines.size());
        switch (Pick(5)) {
        case 0: f.m_nLine = f.m_nColumn = -1; break;
        case 1: f.m_nLine = Pick(nLines + 2); f.m_nColumn = Pick(14) - 1; break;
        case 2: f.m_nLine = Pick(nLines); f.m_nColumn = -1; break;
        case 3: f.m_nLine = -1 - Pick(3); f.m_nColumn = -2 - Pick(3); break;
        default: f.m_nLine = Pick(nLines); f.m_nColumn = 200 + Pick(10); break;
        }
    }

    int OneStore()
    {
        MakeStore();
        CTextFinder literal, finder;
        CModelSource literalSource(m_block, m_offsets);
        CModelSource source(m_block, m_offsets);
        int nInside = 0;
        for (int nPattern = 0; nPattern < 8; ++nPattern) {
            const std::string pattern = MakePattern();
            literal.SetPattern(pattern.c_str());
            finder.SetPattern(pattern.c_str());
            const int nLines = int(m_lines.size());
            if (Pick(2) == 0) {
                literalSource.m_nMarkFirst = source.m_nMarkFirst = Pick(nLines);
                literalSource.m_nMarkLast = source.m_nMarkLast = source.m_nMarkFirst + Pick(4);
            } else {
                literalSource.m_nMarkFirst = source.m_nMarkFirst = -1;
                literalSource.m_nMarkLast = source.m_nMarkLast = -1;
            }
            for (int nStep = 0; nStep < 12; ++nStep) {
                if (Pick(4) == 0) {
                    RandomStart(finder);
                    literal.m_nLine = finder.m_nLine;
                    literal.m_nColumn = finder.m_nColumn;
                }
                const bool bForward = Pick(1) == 0;
                const CPos from = { true, finder.m_nLine, finder.m_nColumn };
                const bool bFound = bForward ? finder.SearchForward(source) : finder.SearchBackward(source);
                const CPos got = { bFound, finder.m_nLine, finder.m_nColumn };
                CPos want;
                for (;;) {
                    const bool b = bForward ? LiteralFind::SearchForward(literal, literalSource)
                                            : LiteralFind::SearchBackward(literal, literalSource);
                    want = { b, literal.m_nLine, literal.m_nColumn };
                    // The literal walk may begin a match on the second byte
                    // of a character; the finder never does.
                    if (!b || !InsideCharacter(literalSource.GetLine(literal.m_nLine), literal.m_nColumn))
                        break;
                    ++nInside;
                }
                if (got == want)
                    continue;
                ADD_FAILURE() << "got " << got << ", literal " << want << ", " << (bForward ? "forward" : "backward") << " from " << from << " for "
                                     << Hex(pattern) << "in store of " << m_lines.size() << " lines, mark "
                                     << source.m_nMarkFirst << ".." << source.m_nMarkLast << ", line: "
                                     << (got.nLine >= 0 && got.nLine < nLines ? Hex(m_lines[size_t(got.nLine)])
                                                                              : std::string());
                return nInside;
            }
        }
        return nInside;
    }

    int m_nCodePage;
    std::mt19937 m_rng;
    std::vector<std::string> m_pieces;
    std::string m_block;
    std::vector<int> m_offsets;
    std::vector<std::string> m_lines;
};

} // namespace

TEST(TextFinderModelTest, WesternCodePageFindsWhatTheLiteralWalkFinds)
{
    CRuntimeCodePage cp(1252);
    ASSERT_TRUE(cp.Ok());
    EXPECT_EQ(CModelRun(1252, 7).Run(120), 0);
}

TEST(TextFinderModelTest, CyrillicCodePageFindsWhatTheLiteralWalkFinds)
{
    CRuntimeCodePage cp(1251);
    ASSERT_TRUE(cp.Ok());
    EXPECT_EQ(CModelRun(1251, 11).Run(120), 0);
}

TEST(TextFinderModelTest, DoubleByteCodePageNeverMatchesHalfACharacter)
{
    CRuntimeCodePage cp(936);
    ASSERT_TRUE(cp.Ok());
    ASSERT_NE(_ismbblead(0xB0), 0);
    // The literal walk does start matches inside characters here: those are
    // the only places where the two differ.
    EXPECT_GT(CModelRun(936, 13).Run(120), 0);
}

TEST(TextFinderModelTest, DoubleBytePatternEndingInALeadByteMatchesThatByteAtACharacterStart)
{
    CRuntimeCodePage cp(936);
    ASSERT_TRUE(cp.Ok());
    // The second character's second byte is 0xB0 as well.
    const std::string block = std::string("x\xA1\xB0\xB0\xA1" "a\xB0\xA2" "\0", 9);
    const std::vector<int> offsets = { 0 };
    CTextFinder f;
    CModelSource source(block, offsets);
    f.SetPattern("\xB0");
    EXPECT_TRUE(f.SearchForward(source));
    EXPECT_EQ(f.m_nColumn, 3);
    EXPECT_TRUE(f.SearchForward(source));
    EXPECT_EQ(f.m_nColumn, 6);
    EXPECT_FALSE(f.SearchForward(source));
    f.SetPattern("A\xB0");
    EXPECT_TRUE(f.SearchBackward(source));
    EXPECT_EQ(f.m_nColumn, 5);
    EXPECT_FALSE(f.SearchBackward(source));
}
