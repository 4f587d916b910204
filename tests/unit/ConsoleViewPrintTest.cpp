// Print: code bytes, continuation, dropping with the mark and the find
// position shifted, the code page conversion, and printing from threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "screen/ConsoleView.h"
#include "support/StoreLines.h"

namespace {

class ConsoleViewPrint : public ::testing::Test {
protected:
    void SetUp() override { view.m_store.Resize(4096); }
    CConsoleView view;
};

TEST_F(ConsoleViewPrint, PutsTheCurrentCodeInFrontOfPlainText)
{
    view.m_nCode = CODE_INFO;
    view.Print("hello");
    view.Print("\x01" "err");
    view.Print("");
    EXPECT_EQ(StoreLines(view.m_store), (std::vector<std::string>{ "\x02hello", "\x01" "err", "" }));
}

TEST_F(ConsoleViewPrint, LetterAbove127IsPlainTextNotACode)
{
    view.m_nCode = CODE_INFO;
    view.Print("\xC8x");
    ASSERT_EQ(StoreLines(view.m_store).size(), 1u);
    EXPECT_EQ(StoreLines(view.m_store)[0][0], CODE_INFO);
    view.m_nCode = 0;
    view.m_bContinueLine = true;
    view.Print("\xC8");
    EXPECT_EQ(StoreLines(view.m_store).size(), 1u) << "a letter of the code page continues the line";
}

TEST_F(ConsoleViewPrint, ContinuationJoinsPlainTextButNotCodedText)
{
    view.Print("ab");
    view.m_bContinueLine = true;
    view.Print("cd");
    EXPECT_FALSE(view.m_bContinueLine);
    view.m_bContinueLine = true;
    view.Print("\x03" "cmd");
    view.m_bContinueLine = true;
    view.Print("x");
    EXPECT_EQ(StoreLines(view.m_store), (std::vector<std::string>{ "abcd", "\x03" "cmdx" }));
}

TEST_F(ConsoleViewPrint, RunsOutputIsContinuedOnlyByTheSameRun)
{
    int runA = 0, runB = 0;
    view.PrintOutput(&runA, "hel", true);
    view.PrintOutput(&runA, "lo", false);
    // Another run's text, or a plain text, between two pieces ends the line.
    view.PrintOutput(&runA, "$ ", true);
    view.PrintOutput(&runB, "other", false);
    view.PrintOutput(&runA, "ls", false);
    view.PrintOutput(&runA, "$ ", true);
    view.Print("");
    view.PrintOutput(&runA, "pwd", false);
    view.PrintOutput(&runA, "$ ", true);
    view.Print("echo");
    EXPECT_EQ(StoreLines(view.m_store), (std::vector<std::string>{ "hello", "$ ", "other", "ls", "$ ", "", "pwd", "$ ", "echo" }));
    EXPECT_FALSE(view.m_bContinueLine);
}

TEST_F(ConsoleViewPrint, TwoRunsPrintingAtOnceNeverJoinEachOthersLines)
{
    // Each run prints pieces of its own letter; a piece ends its line only
    // every fifth time. A joined line would hold both letters.
    int runA = 0, runB = 0;
    view.m_store.Resize(1 << 20);
    auto work = [&](const int* pRun, const char* pszPiece) {
        for (int i = 0; i < 2000; ++i)
            view.PrintOutput(pRun, pszPiece, i % 5 != 4);
    };
    std::thread a(work, &runA, "a"), b(work, &runB, "b");
    a.join();
    b.join();
    for (const std::string& s : StoreLines(view.m_store))
        ASSERT_TRUE(s.find_first_not_of('a') == std::string::npos || s.find_first_not_of('b') == std::string::npos)
            << s;
}

TEST_F(ConsoleViewPrint, ContinuationIsClearedEvenWhenTheTextCannotBeStored)
{
    view.m_store.Resize(8);
    view.Print("ab");
    view.m_bContinueLine = true;
    view.Print("far too long for the store");
    EXPECT_FALSE(view.m_bContinueLine);
    EXPECT_EQ(StoreLines(view.m_store), (std::vector<std::string>{ "ab" }));
}

TEST_F(ConsoleViewPrint, BackspaceTakesBackBytesAcrossLines)
{
    view.Print("ab");
    view.Print("\b\bx");
    EXPECT_EQ(StoreLines(view.m_store), (std::vector<std::string>{ "ax" }));
}

TEST_F(ConsoleViewPrint, ConvertsOemLettersToTheWindowsCodePage)
{
    // Code page 437's e acute (0x82) is 0xE9 in code page 1252; code bytes
    // pass unchanged.
    ASSERT_EQ(GetOEMCP(), 437u);
    ASSERT_EQ(GetACP(), 1252u);
    view.Print("\x01" "caf\x82");
    EXPECT_EQ(StoreLines(view.m_store), (std::vector<std::string>{ "\x01" "caf\xE9" }));
}

TEST_F(ConsoleViewPrint, AnsiTextIsStoredAsItCame)
{
    // 0x82 and 0xE9 are letters of the ANSI code page here (a low quote and
    // e acute): converted again as if OEM they would change.
    view.m_nCode = CODE_INFO;
    view.PrintAnsi("caf\xE9 \x82");
    view.m_nCode = 0;
    view.PrintOutput(&view, "\x80 5", true, true);
    view.PrintOutput(&view, "\xE9t\xE9", false, true);
    view.PrintOutput(&view, "caf\x82", false, false);
    EXPECT_EQ(StoreLines(view.m_store),
              (std::vector<std::string>{ "\x02" "caf\xE9 \x82", "\x80 5\xE9t\xE9", "caf\xE9" }));
}

TEST_F(ConsoleViewPrint, EveryByteIsStoredAsOemToCharAConvertsIt)
{
    std::string text;
    for (int c = 9; c < 256; ++c)
        text += char(c);
    std::string want = text;
    ::OemToCharA(&want[0], &want[0]);
    view.Print(text.c_str());
    EXPECT_EQ(StoreLines(view.m_store), (std::vector<std::string>{ want }));
}

TEST_F(ConsoleViewPrint, DroppedLinesShiftTheMarkAndTheFindPosition)
{
    // 10 lines of 9 bytes fill a 90-byte store exactly; three more drop three.
    // A find position on a line that stays moves with it; one on a
    // dropped line is gone.
    struct Case { int first, last, wantFirst, wantLast, find, wantFind; };
    for (Case c : { Case{ 5, 7, 2, 4, 2, -1 }, Case{ 1, 7, 0, 4, 6, 3 }, Case{ 1, 2, -1, -1, 9, 6 },
                    Case{ -1, -1, -1, -1, -1, -1 } }) {
        CConsoleView v;
        v.m_store.Resize(91);
        for (int i = 0; i < 10; ++i)
            v.PrintF("line %03d", i);
        v.m_nMarkFirst = c.first;
        v.m_nMarkLast = c.last;
        v.m_finder.m_nLine = c.find;
        v.m_finder.m_nColumn = c.find < 0 ? -1 : 5;
        for (int i = 0; i < 3; ++i)
            v.PrintF("more %03d", i);
        EXPECT_EQ(v.m_nMarkFirst, c.wantFirst) << c.first << ".." << c.last;
        EXPECT_EQ(v.m_nMarkLast, c.wantLast) << c.first << ".." << c.last;
        EXPECT_EQ(v.m_finder.m_nLine, c.wantFind) << "find on line " << c.find;
        EXPECT_EQ(v.m_finder.m_nColumn, c.wantFind < 0 ? -1 : 5) << "find on line " << c.find;
        EXPECT_STREQ(v.m_store.GetLine(0), "line 003");
    }
}

TEST_F(ConsoleViewPrint, PrintFHasNoLengthLimit)
{
    view.m_store.Resize(1 << 20);
    std::string big(20000, 'q');
    view.PrintF("<%s>", big.c_str());
    ASSERT_EQ(StoreLines(view.m_store).size(), 1u);
    EXPECT_EQ(StoreLines(view.m_store)[0].size(), 20002u);
}

TEST_F(ConsoleViewPrint, LinesFromTwoThreadsNeverMix)
{
    view.m_store.Resize(1 << 20);
    auto writer = [this](char tag) {
        for (int i = 0; i < 2000; ++i)
            view.PrintF("%c%c%c%c %05d", tag, tag, tag, tag, i);
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    std::vector<std::string> lines = StoreLines(view.m_store);
    ASSERT_EQ(lines.size(), 4000u);
    int next[2] = { 0, 0 };
    for (const std::string& s : lines) {
        ASSERT_EQ(s.size(), 10u) << s;
        int k = s[0] == 'a' ? 0 : 1;
        ASSERT_EQ(s.substr(0, 4), std::string(4, s[0]));
        EXPECT_EQ(atoi(s.c_str() + 5), next[k]++) << "each thread's lines stay in order";
    }
}

} // namespace
