#include "E2eTest.h"

class CommandHistory : public KestrelboxTest {
protected:
    bool WaitLineText(const std::string& strText)
    {
        return WaitUntil([&] { return Kb().CommandLineText() == strText; }, 5000);
    }
};

TEST_F(CommandHistory, CtrlPgDownWalksFromNewestToOlderAndEnterRunsIt)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("get-state", 1, lines));
    ASSERT_TRUE(RunAndWait("get-serialno", 2, lines));
    ASSERT_TRUE(RunAndWait("devices", 3, lines));
    Kb().Chord({ VK_CONTROL }, VK_NEXT);
    EXPECT_TRUE(WaitLineText("devices")) << Kb().CommandLineText();
    Kb().Chord({ VK_CONTROL }, VK_NEXT);
    EXPECT_TRUE(WaitLineText("get-serialno")) << Kb().CommandLineText();
    Kb().Chord({ VK_CONTROL }, VK_NEXT);
    EXPECT_TRUE(WaitLineText("get-state")) << Kb().CommandLineText();
    // The walked-to line is selected: typing replaces it.
    Kb().Type("xyz");
    EXPECT_TRUE(WaitLineText("xyz")) << Kb().CommandLineText();
    // Editing does not end the walk: one step back up is the next newer
    // entry, not the newest.
    Kb().Chord({ VK_CONTROL }, VK_PRIOR);
    ASSERT_TRUE(WaitLineText("get-serialno")) << "the walk did not go on from where it was: "
                                                << Kb().CommandLineText();
    ASSERT_TRUE(RunAndWait("", 4, lines));
    lines = WithoutServerNotes(lines);
    EXPECT_EQ(FindExitLine(lines, 0), 2) << Describe(lines);
    EXPECT_EQ(LastTextLine(ScreenLines(lines.begin(), lines.end() - 2)), ">adb get-serialno") << Describe(lines);
}

TEST_F(CommandHistory, ShiftCtrlPgUpClearsHistoryAndTheWalkedText)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("get-state", 1, lines));
    Kb().Chord({ VK_CONTROL }, VK_PRIOR);
    ASSERT_TRUE(WaitLineText("get-state")) << Kb().CommandLineText();
    Kb().Chord({ VK_SHIFT, VK_CONTROL }, VK_PRIOR);
    EXPECT_TRUE(WaitLineText("")) << Kb().CommandLineText();
    // With the history empty the walk keys leave the line alone.
    Kb().Type("abc");
    ASSERT_TRUE(WaitLineText("abc"));
    Kb().Chord({ VK_CONTROL }, VK_NEXT);
    Kb().Chord({ VK_CONTROL }, VK_PRIOR);
    Kb().Type("d");
    EXPECT_TRUE(WaitLineText("abcd")) << Kb().CommandLineText();
}
