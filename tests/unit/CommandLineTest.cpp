// The command line's keys, sent as real WM_KEYDOWN messages through the
// loop's pre-translation: Enter and its refusal while a command runs, the
// history walk and its clearing, Esc, F1, F4 and the keys that scroll the
// screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/MainWndFixture.h"

namespace {

class CommandLine : public MainWndFixture {
protected:
    bool WaitBusy() { return PumpKeysUntil([] { return g_bBusy.load(); }); }

    // Runs a line to its end.
    void Run(const char* pszLine, int nRun)
    {
        Type(pszLine);
        ASSERT_TRUE(WaitForLine(ExitLine(nRun, 0)));
        ASSERT_TRUE(WaitIdle());
    }

    DWORD Selection()
    {
        DWORD b = 0, e = 0;
        ::SendMessageA(Edit(), EM_GETSEL, WPARAM(&b), LPARAM(&e));
        return MAKELONG(b, e);
    }

    int EchoCount()
    {
        int n = 0;
        for (const std::string& s : Lines())
            n += !s.empty() && s[0] == '\x03';
        return n;
    }

    // Fills the screen with numbered lines and paints it, so that the view
    // follows to the last page.
    void FillScreen(int nLines)
    {
        for (int i = 0; i < nLines; ++i)
            main.m_view.PrintF("line %d", i);
        ::RedrawWindow(main.m_view.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
};

} // namespace

TEST_F(CommandLine, EnterWhileACommandRunsKeepsTheTextAndStoresNothing)
{
    Type("--sim-sleep 20000");
    ASSERT_TRUE(WaitBusy());
    EXPECT_EQ(EditText(), "");
    ::SetWindowTextA(Edit(), "devices");
    Press(VK_RETURN);
    EXPECT_EQ(EditText(), "devices");
    EXPECT_EQ(main.m_panel.m_edit.m_history.GetCount(), 1);
    EXPECT_EQ(EchoCount(), 1);

    Press(VK_ESCAPE);
    ASSERT_TRUE(WaitForLine(ExitLine(0, 255)));
    EXPECT_GE(IndexOfLine("\x01" "Abort command"), 0);
    ASSERT_TRUE(WaitIdle());
    Press(VK_RETURN);
    EXPECT_EQ(EditText(), "") << "once the lamp is green Enter runs the line";
    ASSERT_TRUE(WaitForLine(ExitLine(1, 0)));
    EXPECT_GE(IndexOfLine("\x03" "adb devices"), 0);
}

TEST_F(CommandLine, SecondEnterBeforeTheChildHasStartedIsRefused)
{
    ::SetWindowTextA(Edit(), "--sim-sleep 2000");
    // Both Enters are handled in one go, long before the reader thread has
    // made the child and raised the busy flag.
    ::PostMessageA(Edit(), WM_KEYDOWN, VK_RETURN, 1);
    ::PostMessageA(Edit(), WM_CHAR, 'v', 1);
    ::PostMessageA(Edit(), WM_KEYDOWN, VK_RETURN, 1);
    PumpKeysPending();
    EXPECT_EQ(EditText(), "v");
    EXPECT_EQ(EchoCount(), 1);
    EXPECT_EQ(main.m_panel.m_edit.m_history.GetCount(), 1);
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 1);
}

TEST_F(CommandLine, CtrlPgDownWalksTowardsOlderAndWraps)
{
    Run("devices", 0);
    Run("version", 1);
    Press(VK_NEXT, true);
    EXPECT_EQ(EditText(), "version");
    EXPECT_EQ(Selection(), DWORD(MAKELONG(0, 7))) << "the walked-to entry is selected";
    Press(VK_NEXT, true);
    EXPECT_EQ(EditText(), "devices");
    Press(VK_NEXT, true);
    EXPECT_EQ(EditText(), "version");
}

TEST_F(CommandLine, CtrlPgUpStartsAtTheNewestThenWrapsToTheOldest)
{
    Run("devices", 0);
    Run("version", 1);
    int nTop = main.m_view.m_vBar.m_nPos;
    Press(VK_PRIOR, true);
    EXPECT_EQ(EditText(), "version");
    Press(VK_PRIOR, true);
    EXPECT_EQ(EditText(), "devices");
    Press(VK_PRIOR, true);
    EXPECT_EQ(EditText(), "version");
    EXPECT_EQ(main.m_view.m_vBar.m_nPos, nTop) << "Ctrl-PgUp does not scroll the screen";

    // Editing does not end the walk; a new entry does.
    ::SetWindowTextA(Edit(), "edited");
    Press(VK_PRIOR, true);
    EXPECT_EQ(EditText(), "devices");
    Type("Devices");
    ASSERT_TRUE(WaitForLine("\x03" "adb Devices"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(main.m_panel.m_edit.m_history.GetCount(), 2);
    Press(VK_PRIOR, true);
    EXPECT_EQ(EditText(), "devices") << "the re-entered line is the newest, spelled as first stored";
}

TEST_F(CommandLine, ShiftCtrlPgUpClearsTheHistoryAndTheSelectedText)
{
    Run("devices", 0);
    Run("version", 1);
    Press(VK_NEXT, true);
    ASSERT_EQ(EditText(), "version");
    Press(VK_PRIOR, true, true);
    EXPECT_EQ(main.m_panel.m_edit.m_history.GetCount(), 0);
    EXPECT_EQ(EditText(), "");

    ::SetWindowTextA(Edit(), "abc def");
    ::SendMessageA(Edit(), EM_SETSEL, 4, 7);
    Press(VK_NEXT, true, true);
    EXPECT_EQ(EditText(), "abc ") << "Shift-Ctrl-PgDown removes only the selection";
    Press(VK_PRIOR, true);
    Press(VK_NEXT, true);
    EXPECT_EQ(EditText(), "abc ") << "walking an empty history leaves the line alone";
}

TEST_F(CommandLine, EmptyEnterIsStoredOnceAndTypedLettersRunInTheWindowsCodePage)
{
    Type("");
    Type("");
    EXPECT_EQ(main.m_panel.m_edit.m_history.GetCount(), 1);

    Type("--sim-write caf\xE9");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    EXPECT_EQ(main.m_panel.m_edit.m_history.GetCount(), 2);
    EXPECT_STREQ(main.m_panel.m_edit.m_history.GetAt(1), "--sim-write caf\xE9");
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_strCommand, CString("adb --sim-write caf\xE9"));
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_nCodePage, UINT(CP_ACP)) << "the child gets the letters typed";
    EXPECT_GE(IndexOfLine("\x03" "adb --sim-write caf\xE9"), 0) << "the echo is shown in the Windows code page";
}

TEST_F(CommandLine, EnterEscF1AndF4ActWhateverModifiersAreHeld)
{
    Press(VK_F1, true, true);
    EXPECT_EQ(Lines().size(), 17u);
    Press(VK_F4, false, true);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(main.m_view.m_store.m_nUsed, 0);

    ::SetWindowTextA(Edit(), "--sim-sleep 20000");
    Press(VK_RETURN, true, false);
    ASSERT_TRUE(WaitBusy());
    Press(VK_ESCAPE, false, true);
    EXPECT_GE(IndexOfLine("\x01" "Abort command"), 0);
    ASSERT_TRUE(WaitForLine(ExitLine(0, 255)));
}

TEST_F(CommandLine, F4EmptiesTheScreenButKeepsTheCommandLine)
{
    FillScreen(10);
    ::SetWindowTextA(Edit(), "typed");
    Press(VK_F4);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(EditText(), "typed");
}

TEST_F(CommandLine, ScrollingKeysReachTheScreen)
{
    FillScreen(300);
    CGridScrollBar& bar = main.m_view.m_vBar;
    ASSERT_GT(bar.m_nPage, 2);
    const int nEnd = 300 - bar.m_nPage;
    ASSERT_EQ(bar.m_nPos, nEnd);

    Press(VK_PRIOR);
    EXPECT_EQ(bar.m_nPos, nEnd - bar.m_nPage);
    EXPECT_FALSE(main.m_view.m_bFollow);
    Press(VK_NEXT);
    EXPECT_EQ(bar.m_nPos, nEnd);
    Press(VK_UP);
    EXPECT_EQ(bar.m_nPos, nEnd - 1);
    Press(VK_UP, true);
    EXPECT_EQ(bar.m_nPos, nEnd - 2);
    Press(VK_DOWN, true);
    EXPECT_EQ(bar.m_nPos, nEnd - 1);
    Press(VK_HOME, true);
    EXPECT_EQ(bar.m_nPos, 0);
    Press(VK_END, true);
    EXPECT_EQ(bar.m_nPos, nEnd);

    // Without Ctrl, Home and End are the edit's own.
    ::SetWindowTextA(Edit(), "abcdef");
    ::SendMessageA(Edit(), EM_SETSEL, 6, 6);
    Press(VK_HOME);
    EXPECT_EQ(Selection(), DWORD(MAKELONG(0, 0)));
    EXPECT_EQ(bar.m_nPos, nEnd);
}

TEST_F(CommandLine, NewCommandFollowsTheNewestLineAgainAfterScrollingUp)
{
    FillScreen(300);
    CGridScrollBar& bar = main.m_view.m_vBar;
    Press(VK_HOME, true);
    ASSERT_EQ(bar.m_nPos, 0);
    ASSERT_FALSE(main.m_view.m_bFollow);
    Run("--sim-write done\\r\\n", 0);
    ::RedrawWindow(main.m_view.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(main.m_view.m_bFollow);
    const int nLines = int(Lines().size());
    ASSERT_GT(nLines, 300);
    EXPECT_EQ(bar.m_nPos, nLines - bar.m_nPage) << "the screen stayed where the user had scrolled";
}

TEST_F(CommandLine, CtrlBWhileACommandRunsOpensNoDialog)
{
    Type("--sim-sleep 20000");
    ASSERT_TRUE(WaitBusy());
    CDialogDriver driver("Batch of commands", [](HWND h) { CDialogDriver::Click(h, IDCANCEL); });
    Press('B', true);
    driver.Stop();
    EXPECT_EQ(driver.Found(), nullptr);
    Press(VK_ESCAPE);
}

TEST_F(CommandLine, EveryKindOfLineReachesItsChildWithTheLettersTyped)
{
    // The euro sign and the dash of "file - copy" names are letters of 1252
    // that the OEM code page 437 lacks. adb (the imitation) writes its
    // arguments back as UTF-8, which shows them in the Windows code page.
    Type("--sim-write \x80\x96" "caf\xE9|\\r\\n");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0))) << ::testing::PrintToString(Lines());
    EXPECT_GE(IndexOfLine("\x80\x96" "caf\xE9|"), 0) << "typed: " << ::testing::PrintToString(Lines());
    ASSERT_TRUE(WaitIdle());

    main.m_batch.Start(&main, "--sim-write b\x80\x96|\\r\\n\r\n");
    ASSERT_TRUE(PumpKeysUntil([&] { return IndexOfLine(ExitLine(1, 0)) >= 0; })) << ::testing::PrintToString(Lines());
    EXPECT_GE(IndexOfLine("b\x80\x96|"), 0) << "batch: " << ::testing::PrintToString(Lines());
    ASSERT_TRUE(WaitIdle());

    // dir finds a file by the dash in its name; through the OEM code page
    // the dash became a hyphen, which names no file.
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "kb dir ansi";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    const std::string file = dir + "\\kb\x96x.txt";
    HANDLE h = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ::CloseHandle(h);
    Type(("dir /b \"" + dir + "\\kb\x96*\"").c_str());
    bool bDone = PumpKeysUntil([&] { return IndexOfLine(ExitLine(2, 0)) >= 0 || IndexOfLine(ExitLine(2, 1)) >= 0; });
    ::DeleteFileA(file.c_str());
    ::RemoveDirectoryA(dir.c_str());
    ASSERT_TRUE(bDone) << ::testing::PrintToString(Lines());
    bool bListed = false;
    for (const std::string& line : Lines())
        bListed = bListed || (line.size() == 8 && line.compare(0, 2, "kb") == 0 && line.compare(3, 5, "x.txt") == 0);
    EXPECT_TRUE(bListed) << "dir: " << ::testing::PrintToString(Lines());
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_nCodePage, UINT(CP_ACP));
}
