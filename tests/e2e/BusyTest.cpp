#include "E2eTest.h"
#include "UserInput.h"

// What the program refuses while a command runs (the red lamp).
class WhileBusy : public KestrelboxTest {};

TEST_F(WhileBusy, EnterKeepsTheLineAndRunsNothingUntilTheCommandEnds)
{
    Kb().EnterLine("--sim-sleep 2000");
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Red, 5000));
    Kb().EnterLine("get-state");
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Green, 15000));
    EXPECT_EQ(Kb().CommandLineText(), "get-state");
    ScreenLines lines;
    ASSERT_TRUE(WaitExitLines(1, lines));
    EXPECT_EQ(lines.size(), 2u) << Describe(lines);
    // Once it is green, the same Enter runs the kept line.
    Kb().Press(VK_RETURN);
    ASSERT_TRUE(WaitExitLines(2, lines));
    EXPECT_EQ(lines[2], ">adb get-state") << Describe(lines);
    EXPECT_EQ(Kb().CommandLineText(), "");
}

TEST_F(WhileBusy, CtrlBOpensNoBatchDialog)
{
    Kb().EnterLine("--sim-sleep 1500");
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Red, 5000));
    Kb().Chord({ VK_CONTROL }, 'B');
    bool bOpened = false;
    ASSERT_TRUE(WaitUntil([&] {
        bOpened = bOpened || Kb().FindOwnWindow("Batch of commands") != nullptr;
        return Kb().Lamp() == LampColour::Green;
    }, 15000));
    EXPECT_FALSE(bOpened);
    HWND hDlg = Kb().FindOwnWindow("Batch of commands");
    if (hDlg)
        ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(WhileBusy, CopyOfWholeScreenIsRefusedButMarkedLinesCopy)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-write a\\r\\n", 1, lines));
    ASSERT_EQ(lines[1], "a");
    UserInput::MiddleClick(Kb().CellPoint(1, 2), false);
    Kb().EnterLine("--sim-sleep 6000");
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Red, 5000));
    std::string strText;
    EXPECT_TRUE(Kb().CopyScreen(strText)) << "a marked copy was refused while busy";
    EXPECT_EQ(strText, "a");
    UserInput::MiddleClick(Kb().CellPoint(4, 6), false);
    UserInput::MiddleClick(Kb().CellPoint(1, 12), false);
    ASSERT_TRUE(WaitNoMark());
    EXPECT_FALSE(Kb().CopyScreen(strText)) << "copied while busy: " << strText;
    EXPECT_EQ(Kb().Lamp(), LampColour::Red) << "the command ended too early for this test";
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Green, 15000));
    EXPECT_TRUE(Kb().CopyScreen(strText));
}
