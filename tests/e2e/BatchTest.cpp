#include "support/ClipboardText.h"
#include "E2eTest.h"
#include "UserInput.h"

class BatchOfCommands : public KestrelboxTest {
protected:
    HWND OpenDialog()
    {
        Kb().Chord({ VK_CONTROL }, 'B');
        HWND hDlg = Kb().WaitForWindow("Batch of commands", 5000);
        if (hDlg && !CKestrelboxSession::WaitForeground(hDlg))
            ADD_FAILURE() << "the Batch dialog did not become the foreground window";
        return hDlg;
    }
    // The dialog keeps the last batch's text: a test that needs an empty
    // one clears it (Alt+L), whichever test ran before.
    HWND OpenEmptyDialog()
    {
        HWND hDlg = OpenDialog();
        if (hDlg) {
            UserInput::Chord({ VK_MENU }, 'L');
            if (!WaitEditText(hDlg, ""))
                ADD_FAILURE() << "Clear left: " << EditText(hDlg);
        }
        return hDlg;
    }
    static std::string EditText(HWND hDlg)
    {
        return CKestrelboxSession::ControlText(::GetDlgItem(hDlg, 101));
    }
    static bool WaitEditText(HWND hDlg, const std::string& strText)
    {
        return WaitUntil([&] { return EditText(hDlg) == strText; }, 5000);
    }
    static bool WaitClosed(HWND hDlg)
    {
        return WaitUntil([&] { return !::IsWindow(hDlg); }, 5000);
    }
};

TEST_F(BatchOfCommands, PastedLinesRunInOrderEachAfterThePreviousExit)
{
    // The first line sleeps before it writes: a batch that did not wait for
    // each run to end would show the second line's output first.
    const std::string strBatch =
        "--sim-sleep 400 --sim-write first\\r\\n\r\n\r\n  get-state  \r\n--sim-write third\\r\\n\r\n";
    ASSERT_TRUE(PutClipboardText(strBatch));
    HWND hDlg = OpenEmptyDialog();
    ASSERT_NE(hDlg, nullptr) << "Ctrl+B opened no dialog";
    UserInput::Chord({ VK_MENU }, 'P');
    ASSERT_TRUE(WaitEditText(hDlg, strBatch)) << "Paste gave: " << EditText(hDlg);
    CKestrelboxSession::Screenshot("batch-dialog");
    UserInput::Chord({ VK_MENU }, 'O');
    ASSERT_TRUE(WaitClosed(hDlg));

    ScreenLines lines;
    ASSERT_TRUE(WaitExitLines(3, lines));
    lines = WithoutServerNotes(lines);
    ASSERT_EQ(lines.size(), 9u) << Describe(lines);
    EXPECT_EQ(lines[0], ">adb --sim-sleep 400 --sim-write first\\r\\n");
    EXPECT_EQ(lines[1], "first");
    EXPECT_EQ(lines[3], ">adb get-state");
    EXPECT_EQ(lines[4], "device");
    EXPECT_EQ(lines[6], ">adb --sim-write third\\r\\n");
    EXPECT_EQ(lines[7], "third");
    ExitLineInfo a, b, c;
    ASSERT_TRUE(ParseExitLine(lines[2], a)) << Describe(lines);
    ASSERT_TRUE(ParseExitLine(lines[5], b)) << Describe(lines);
    ASSERT_TRUE(ParseExitLine(lines[8], c)) << Describe(lines);
    EXPECT_EQ(b.nRun, a.nRun + 1);
    EXPECT_EQ(c.nRun, b.nRun + 1);
    EXPECT_EQ(a.strCode + b.strCode + c.strCode, "000");
}

TEST_F(BatchOfCommands, TextSurvivesCancelAndCancelRunsNothing)
{
    HWND hDlg = OpenEmptyDialog();
    ASSERT_NE(hDlg, nullptr);
    // The user clicks into the edit to type.
    RECT rc;
    ASSERT_TRUE(::GetWindowRect(::GetDlgItem(hDlg, 101), &rc));
    UserInput::LeftClick(POINT { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 });
    // Enter in the edit starts a new line instead of closing the dialog.
    Kb().Type("get-state");
    Kb().Press(VK_RETURN);
    Kb().Type("get-serialno");
    ASSERT_TRUE(WaitEditText(hDlg, "get-state\r\nget-serialno")) << EditText(hDlg);
    UserInput::Chord({ VK_MENU }, 'C');
    ASSERT_TRUE(WaitClosed(hDlg));

    hDlg = OpenDialog();
    ASSERT_NE(hDlg, nullptr);
    EXPECT_TRUE(WaitEditText(hDlg, "get-state\r\nget-serialno")) << EditText(hDlg);
    // Escape closes it like Cancel.
    Kb().Press(VK_ESCAPE);
    ASSERT_TRUE(WaitClosed(hDlg)) << "Escape did not close the dialog";

    // The focus is back in the command line, and nothing ran meanwhile.
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("devices", 1, lines));
    EXPECT_EQ(lines[0], ">adb devices") << Describe(lines);
    EXPECT_EQ(CountExitLines(lines), 1) << Describe(lines);
}

TEST_F(BatchOfCommands, AfterAClickOnClearOrPasteTypingGoesIntoTheText)
{
    // Left on the clicked button, the focus would turn the letters typed
    // into mnemonics: p pastes this, o runs it.
    const std::string strClip = "--sim-write PASTED-AND-RUN\\r\\n";
    ASSERT_TRUE(PutClipboardText(strClip));
    HWND hDlg = OpenDialog();
    ASSERT_NE(hDlg, nullptr);
    auto clickButton = [&](int nId) {
        RECT rc;
        ASSERT_TRUE(::GetWindowRect(::GetDlgItem(hDlg, nId), &rc));
        UserInput::LeftClick(POINT { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 });
    };
    clickButton(102);
    ASSERT_TRUE(WaitEditText(hDlg, "")) << "Clear left: " << EditText(hDlg);
    Kb().Type("pm");
    ASSERT_TRUE(WaitEditText(hDlg, "pm")) << EditText(hDlg);
    // The paste goes in at the caret, and the caret stays just after it.
    Kb().Press(VK_HOME);
    clickButton(103);
    ASSERT_TRUE(WaitEditText(hDlg, strClip + "pm")) << EditText(hDlg);
    Kb().Type("o");
    EXPECT_TRUE(WaitEditText(hDlg, strClip + "opm")) << EditText(hDlg);
    Kb().Press(VK_ESCAPE);
    ASSERT_TRUE(WaitClosed(hDlg));

    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("devices", 1, lines));
    EXPECT_EQ(lines[0], ">adb devices") << Describe(lines);
    EXPECT_EQ(FindLine(lines, "PASTED-AND-RUN"), -1) << Describe(lines);
    EXPECT_EQ(CountExitLines(lines), 1) << Describe(lines);
}

TEST_F(BatchOfCommands, EscStopsTheRunningLineAndDropsTheRest)
{
    const std::string strBatch = "--sim-sleep 5000\r\nget-state\r\nget-serialno\r\n";
    ASSERT_TRUE(PutClipboardText(strBatch));
    HWND hDlg = OpenEmptyDialog();
    ASSERT_NE(hDlg, nullptr);
    UserInput::Chord({ VK_MENU }, 'P');
    ASSERT_TRUE(WaitEditText(hDlg, strBatch)) << EditText(hDlg);
    UserInput::Chord({ VK_MENU }, 'O');
    ASSERT_TRUE(WaitClosed(hDlg));
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Red, 5000));
    Kb().Press(VK_ESCAPE);
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Green, 10000));

    // Whatever else would run has had its chance once a later command has
    // run and ended.
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-write done\\r\\n", 2, lines));
    lines = WithoutServerNotes(lines);
    EXPECT_EQ(lines[0], ">adb --sim-sleep 5000");
    EXPECT_GE(FindLine(lines, "!Abort command"), 0) << Describe(lines);
    EXPECT_GE(FindLine(lines, "!Abort batch"), 0) << Describe(lines);
    EXPECT_EQ(FindLine(lines, ">adb get-state"), -1) << Describe(lines);
    EXPECT_EQ(FindLine(lines, ">adb get-serialno"), -1) << Describe(lines);
    EXPECT_EQ(CountExitLines(lines), 2) << Describe(lines);
}
