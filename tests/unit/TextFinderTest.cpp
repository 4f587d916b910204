#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "screen/TextFinder.h"

namespace {

// Lines back to back in one block, each ended by a zero byte, as the screen
// keeps them; with a mark it refuses to step out of it the way the view does.
class CVectorSource : public ILineSource {
public:
    CVectorSource(std::vector<std::string> lines, int nMarkFirst = -1, int nMarkLast = -1)
        : m_nMarkFirst(nMarkFirst), m_nMarkLast(nMarkLast)
    {
        for (const std::string& s : lines) {
            m_offsets.push_back(m_block.size());
            m_block += s;
            m_block += '\0';
        }
    }
    int FirstLine() override { return HasMark() ? m_nMarkFirst : 0; }
    int LastLine() override { return HasMark() ? m_nMarkLast : Count() - 1; }
    const char* GetLine(int n) override
    {
        return n >= 0 && n < Count() ? m_block.data() + m_offsets[size_t(n)] : nullptr;
    }
    const char* EndOfLines() override { return m_block.data() + m_block.size(); }

private:
    bool HasMark() const { return m_nMarkFirst >= 0; }
    int Count() const { return int(m_offsets.size()); }
    int m_nMarkFirst, m_nMarkLast;
    std::string m_block;
    std::vector<size_t> m_offsets;
};

using Pos = std::pair<int, int>;
const Pos kNone{ -1, -1 };

Pos Forward(CTextFinder& f, ILineSource& s)
{
    bool b = f.SearchForward(s);
    EXPECT_EQ(b, f.m_nLine >= 0);
    return { f.m_nLine, f.m_nColumn };
}

Pos Backward(CTextFinder& f, ILineSource& s)
{
    bool b = f.SearchBackward(s);
    EXPECT_EQ(b, f.m_nLine >= 0);
    return { f.m_nLine, f.m_nColumn };
}

// The positions after each step: 'F' searches forward, 'B' backward.
std::vector<Pos> Walk(CTextFinder& f, ILineSource& s, const char* pszSteps)
{
    std::vector<Pos> seen;
    for (const char* p = pszSteps; *p; ++p)
        seen.push_back(*p == 'F' ? Forward(f, s) : Backward(f, s));
    return seen;
}

using Walked = std::vector<Pos>;

} // namespace

TEST(TextFinderTest, ForwardIgnoresCaseAndWrapsAfterAMiss)
{
    CTextFinder f;
    CVectorSource s({ "Abc", "xabcx" });
    f.SetPattern("ABC");
    EXPECT_EQ(Walk(f, s, "FFFF"), (Walked{ Pos(0, 0), Pos(1, 1), kNone, Pos(0, 0) }));
}

TEST(TextFinderTest, BackwardContinuesFromAForwardMatchAndWraps)
{
    CTextFinder f;
    CVectorSource s({ "Abc", "xabcx" });
    f.SetPattern("ABC");
    EXPECT_EQ(Walk(f, s, "FFBBB"), (Walked{ Pos(0, 0), Pos(1, 1), Pos(0, 0), kNone, Pos(1, 1) }));
}

TEST(TextFinderTest, MatchesOverlapInBothDirections)
{
    CTextFinder f;
    CVectorSource s({ "aaaa" });
    f.SetPattern("aa");
    EXPECT_EQ(Walk(f, s, "FFFFBBBB"),
              (Walked{ Pos(0, 0), Pos(0, 1), Pos(0, 2), kNone, Pos(0, 2), Pos(0, 1), Pos(0, 0), kNone }));
}

TEST(TextFinderTest, FindsMatchesFillingTheLineOrEndingIt)
{
    CTextFinder f;
    CVectorSource s({ "ab", "x", "\x03" "ab ab" });
    f.SetPattern("ab");
    EXPECT_EQ(Walk(f, s, "FFF"), (Walked{ Pos(0, 0), Pos(2, 1), Pos(2, 4) }));
    f.SetPattern("AB");
    EXPECT_EQ(Walk(f, s, "BBB"), (Walked{ Pos(2, 4), Pos(2, 1), Pos(0, 0) }));
}

TEST(TextFinderTest, StaysInsideTheMark)
{
    CTextFinder f;
    CVectorSource s({ "0 pat", "1 pat", "2 pat", "3 pat" }, 1, 2);
    f.SetPattern("pat");
    EXPECT_EQ(Walk(f, s, "FFFBBBF"), (Walked{ Pos(1, 2), Pos(2, 2), kNone, Pos(2, 2), Pos(1, 2), kNone, Pos(1, 2) }));
}

TEST(TextFinderTest, PatternLongerThanEveryLineFindsNothing)
{
    CTextFinder f;
    CVectorSource s({ "ab", "", "abc" });
    f.SetPattern("abcd");
    EXPECT_EQ(Walk(f, s, "FB"), (Walked{ kNone, kNone }));
}

TEST(TextFinderTest, EmptyPatternFailsAndKeepsThePosition)
{
    CTextFinder f;
    CVectorSource s({ "abc", "abc" });
    EXPECT_FALSE(f.SearchForward(s));
    EXPECT_FALSE(f.SearchBackward(s));
    EXPECT_EQ(Pos(f.m_nLine, f.m_nColumn), kNone);
    f.m_nLine = 1;
    f.m_nColumn = 2;
    EXPECT_FALSE(f.SearchForward(s));
    EXPECT_FALSE(f.SearchBackward(s));
    EXPECT_EQ(Pos(f.m_nLine, f.m_nColumn), Pos(1, 2));
}

TEST(TextFinderTest, EmptySourceFindsNothing)
{
    CTextFinder f;
    CVectorSource s({});
    f.SetPattern("x");
    EXPECT_EQ(Walk(f, s, "FB"), (Walked{ kNone, kNone }));
}

TEST(TextFinderTest, PositionOutsideTheLinesStartsOver)
{
    CTextFinder f;
    CVectorSource s({ "x", "x" });
    f.SetPattern("x");
    f.m_nLine = 10;
    f.m_nColumn = 0;
    EXPECT_EQ(Forward(f, s), kNone);
    EXPECT_EQ(Forward(f, s), Pos(0, 0));
    f.m_nLine = -5;
    f.m_nColumn = -9;
    EXPECT_EQ(Backward(f, s), Pos(1, 0));
    f.m_nLine = 0;
    f.m_nColumn = -9;
    EXPECT_EQ(Forward(f, s), Pos(0, 0));
}

TEST(TextFinderTest, NeverMatchesPastTheEndOfAShrunkLine)
{
    // The old match column lies beyond the line; the next line's bytes follow.
    CTextFinder f;
    CVectorSource s({ "ab", "ab" });
    f.SetPattern("ab");
    f.m_nLine = 0;
    f.m_nColumn = 4;
    EXPECT_EQ(Backward(f, s), Pos(0, 0));
    // Forward, nothing of the line is left after that column.
    f.m_nColumn = 4;
    EXPECT_EQ(Forward(f, s), Pos(1, 0));
}

TEST(TextFinderTest, SetPatternForgetsThePosition)
{
    CTextFinder f;
    CVectorSource s({ "one two" });
    f.SetPattern("two");
    EXPECT_EQ(Forward(f, s), Pos(0, 4));
    f.SetPattern("o");
    EXPECT_EQ(Pos(f.m_nLine, f.m_nColumn), kNone);
    EXPECT_STREQ(f.m_strPattern, "o");
    EXPECT_EQ(Forward(f, s), Pos(0, 0));
}

TEST(TextFinderTest, FoldsLettersOfTheWindowsCodePage)
{
    // The runtime's letters follow the system's language as well as the
    // code page: É and é are one letter in a Western system's.
    if (::GetACP() != 1252)
        GTEST_SKIP() << "the system's code page is " << ::GetACP();
    CTextFinder f;
    CVectorSource s({ "l'\xE9t\xE9" });
    f.SetPattern("\xC9T\xC9");
    EXPECT_EQ(Forward(f, s), Pos(0, 2));
}

TEST(TextFinderTest, InUtf8LettersFoldAsTheSystemFoldsThemAndMatchWhole)
{
    CTextFinder f;
    f.m_bUtf8 = true;
    // Cyrillic and Greek fold; ASCII folds; a Chinese letter and an emoji
    // match only themselves; "ss" is not the sharp s.
    CVectorSource s({ "x \xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2 \xCE\xA3\xCE\xBF", "\xE4\xB8\xAD Stra\xC3\x9F" "e ss",
                      "\xF0\x9F\x98\x80 ABC \xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82" });
    f.SetPattern("\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");   // lower case
    EXPECT_EQ(Walk(f, s, "FFFB"), (Walked{ Pos(0, 2), Pos(2, 9), kNone, Pos(2, 9) }));
    f.SetPattern("\xCF\x83\xCE\x9F");   // upper and lower case swapped
    EXPECT_EQ(Walk(f, s, "F"), (Walked{ Pos(0, 15) }));
    f.SetPattern("STRASSE");
    EXPECT_EQ(Walk(f, s, "F"), (Walked{ kNone }));
    f.SetPattern("stra\xC3\x9F" "E");
    EXPECT_EQ(Walk(f, s, "F"), (Walked{ Pos(1, 4) }));
    f.SetPattern("\xE4\xB8\xAD");
    EXPECT_EQ(Walk(f, s, "FF"), (Walked{ Pos(1, 0), kNone }));
    f.SetPattern("\xF0\x9F\x98\x80 abc");
    EXPECT_EQ(Walk(f, s, "F"), (Walked{ Pos(2, 0) }));
}

TEST(TextFinderTest, InUtf8ALongPatternSkipsAheadYetFindsFoldedLetters)
{
    CTextFinder f;
    f.m_bUtf8 = true;
    // Long enough for the skipping scan, whose steps must allow for every
    // form of each letter; the match begins on a whole letter.
    CVectorSource t({ std::string(300, 'x') + "\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2" + std::string(300, 'y'),
                      "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82Y" });
    f.SetPattern("x\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82y");
    EXPECT_EQ(Walk(f, t, "FFB"), (Walked{ Pos(0, 299), kNone, Pos(0, 299) }));
    f.SetPattern("\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2y");
    EXPECT_EQ(Walk(f, t, "BBB"), (Walked{ Pos(1, 0), Pos(0, 300), kNone }));
}
