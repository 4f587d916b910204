#include "E2eTest.h"
#include "ScreenCapture.h"
#include "UserInput.h"

#include <cstdio>
#include <string>

class ScreenScroll : public KestrelboxTest {
protected:
    bool WaitScreenChange(const CScreenCapture& before)
    {
        return WaitUntil([&] {
            CScreenCapture now;
            return now.Grab(Kb().TextArea()) && !now.SameAs(before);
        }, 5000);
    }
};

TEST_F(ScreenScroll, FollowsTheEndThenWheelAndPageKeysScrollBack)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-interleave 100", 1, lines));
    ASSERT_EQ(lines.size(), 202u);
    int nPage = Kb().PageLines();
    ASSERT_GT(202 - nPage, 4 + nPage) << "the screen is too tall for this test";
    int nTop = 202 - nPage;
    std::string strRow;
    ASSERT_TRUE(ReadRow(0, strRow));
    EXPECT_EQ(strRow, lines[size_t(nTop)]) << "the screen does not show the newest lines";

    // The wheel reaches the command line, which has the focus, and the
    // screen scrolls: one notch is four lines.
    CScreenCapture before;
    ASSERT_TRUE(before.Grab(Kb().TextArea()));
    RECT rc = Kb().TextArea();
    UserInput::Wheel(POINT { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 }, 120);
    ASSERT_TRUE(WaitScreenChange(before)) << "the wheel did not scroll";
    ASSERT_TRUE(ReadRow(0, strRow));
    EXPECT_EQ(strRow, lines[size_t(nTop - 4)]);

    // PgUp typed in the command line pages the screen.
    ASSERT_TRUE(before.Grab(Kb().TextArea()));
    Kb().Press(VK_PRIOR);
    ASSERT_TRUE(WaitScreenChange(before)) << "PgUp did not scroll";
    ASSERT_TRUE(ReadRow(0, strRow));
    EXPECT_EQ(strRow, lines[size_t(nTop - 4 - nPage)]);

    // Ctrl+Home goes to the first line, Ctrl+End back to the last page.
    Kb().Chord({ VK_CONTROL }, VK_HOME);
    ASSERT_TRUE(WaitUntil([&] { return ReadRow(0, strRow) && strRow == lines[0]; }, 10000)) << strRow;
    Kb().Chord({ VK_CONTROL }, VK_END);
    ASSERT_TRUE(WaitUntil([&] { return ReadRow(0, strRow) && strRow == lines[size_t(nTop)]; }, 10000))
        << strRow;
}

// A full store of short lines, the screen paged back, then 4,000-byte lines:
// each one drops hundreds of short lines, so the count of lines shrinks as
// they arrive, and the screen still shows the same line at its top.
TEST_F(ScreenScroll, PagedBackScreenStaysOnItsLineWhileLongLinesReplaceShortOnes)
{
    const std::string strFlag = Kb().WorkDir() + "\\long-lines.go";
    ::DeleteFileA(strFlag.c_str());
    const int nShort = 450000;   // 4.5 MB of 10-byte lines: more than the store keeps
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait(("--sim-lines " + std::to_string(nShort) + "x9").c_str(), 1, lines, 60000));
    // The next run waits for the test's signal before its long lines come.
    Kb().EnterLine("--sim-wait-file long-lines.go --sim-lines 300x4000");
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Red, 10000));
    for (int i = 0; i < 6; ++i)
        Kb().Press(VK_PRIOR);
    // Below the last short line: the exit line and the new echo.
    const int nPage = Kb().PageLines();
    char szTop[16];
    snprintf(szTop, sizeof szTop, "%07d--", nShort - 1 - (7 * nPage - 3));
    std::string strRow;
    ASSERT_TRUE(WaitUntil([&] { return ReadRow(0, strRow) && strRow == szTop; }, 10000))
        << "six pages back the top row shows " << strRow << ", not " << szTop;

    HANDLE hFlag = ::CreateFileA(strFlag.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(hFlag, INVALID_HANDLE_VALUE);
    ::CloseHandle(hFlag);
    ASSERT_TRUE(WaitExitLines(2, lines, 60000));
    ASSERT_NE(LastTextLine(lines).find("ExitCode: 0"), std::string::npos) << LastTextLine(lines);
    ASSERT_TRUE(ReadRow(0, strRow));
    EXPECT_EQ(strRow, szTop) << "the screen moved while long lines replaced short ones";
    ::DeleteFileA(strFlag.c_str());
}
