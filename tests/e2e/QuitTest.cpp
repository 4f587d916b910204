#include <gtest/gtest.h>

#include "KestrelboxSession.h"
#include "ScreenCapture.h"
#include "UserInput.h"

// Each of these ends the program, so each has a run of its own.
class QuitConfirmation : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string strError;
        ASSERT_TRUE(m_kb.Start(strError)) << strError;
    }

    // Alt+F4 as the user presses it, with the window in front.
    void PressAltF4()
    {
        ASSERT_TRUE(m_kb.BringToFront());
        UserInput::Chord({ VK_MENU }, VK_F4);
    }

    // A point on the close box of the frame that Wine draws, found by asking
    // the window what lies under points of its caption's right end.
    bool FindCloseBox(POINT& pt)
    {
        RECT rc;
        if (!::GetWindowRect(m_kb.MainWnd(), &rc))
            return false;
        for (int y = rc.top + 2; y < rc.top + 40; y += 2)
            for (int x = rc.right - 3; x > rc.right - 80; x -= 2) {
                DWORD_PTR nHit = 0;
                if (::SendMessageTimeoutA(m_kb.MainWnd(), WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 2000,
                                          &nHit) && nHit == HTCLOSE) {
                    pt = POINT { x - 2, y + 2 };
                    return true;
                }
            }
        return false;
    }

    HWND WaitForQuestion(DWORD dwMs) { return m_kb.WaitForWindow("Process is running", dwMs); }

    static bool AsksReallyQuit(HWND hBox)
    {
        return CKestrelboxSession::ChildTexts(hBox, "Static").find("Really quit ?") != std::string::npos;
    }

    void EnterAndWaitForPrompt(const char* pszLine)
    {
        m_kb.EnterLine(pszLine);
        ScreenLines lines;
        ASSERT_TRUE(m_kb.WaitForScreen([](const ScreenLines& l) {
            for (const std::string& s : l)
                if (s.size() > 2 && s.compare(s.size() - 2, 2, "$ ") == 0)
                    return true;
            return false;
        }, lines)) << Describe(lines);
    }

    CKestrelboxSession m_kb;
};

TEST_F(QuitConfirmation, ClosesAtOnceWhenNothingRuns)
{
    PressAltF4();
    bool bAsked = false;
    DWORD dwCode = 1;
    ASSERT_TRUE(WaitUntil([&] {
        bAsked = bAsked || m_kb.FindOwnWindow("Process is running") != nullptr;
        return m_kb.WaitExit(0, &dwCode);
    }, 20000)) << "the program did not end";
    EXPECT_FALSE(bAsked);
    EXPECT_EQ(dwCode, 0u);
}

TEST_F(QuitConfirmation, AsksWhileLogcatRunsCancelKeepsItOkEndsCleanly)
{
    m_kb.EnterLine("logcat");
    ASSERT_TRUE(m_kb.WaitLamp(LampColour::Red, 10000));

    PressAltF4();
    HWND hBox = WaitForQuestion(5000);
    ASSERT_NE(hBox, nullptr) << "no question while logcat runs";
    EXPECT_TRUE(AsksReallyQuit(hBox)) << CKestrelboxSession::ChildTexts(hBox, "Static");
    EXPECT_EQ(::GetWindow(hBox, GW_OWNER), m_kb.MainWnd());
    CKestrelboxSession::Screenshot("quit-question");
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == hBox; }, 5000));
    UserInput::Press(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(hBox); }, 5000));

    // Cancel: the window stays and logcat goes on.
    EXPECT_FALSE(m_kb.WaitExit(kQuietMs)) << "Cancel ended the program";
    EXPECT_TRUE(::IsWindowVisible(m_kb.MainWnd()));
    EXPECT_EQ(m_kb.Lamp(), LampColour::Red);
    // Each log line carries its time, so the screen keeps changing while
    // logcat goes on writing.
    CScreenCapture before;
    ASSERT_TRUE(before.Grab(m_kb.TextArea()));
    EXPECT_TRUE(WaitUntil([&] {
        CScreenCapture now;
        return now.Grab(m_kb.TextArea()) && !now.SameAs(before);
    }, 10000)) << "no more output after Cancel";

    PressAltF4();
    hBox = WaitForQuestion(5000);
    ASSERT_NE(hBox, nullptr) << "no question the second time";
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == hBox; }, 5000));
    UserInput::Press(VK_RETURN);
    DWORD dwCode = 1;
    ASSERT_TRUE(m_kb.WaitExit(20000, &dwCode)) << "OK did not end the program";
    EXPECT_EQ(dwCode, 0u) << "the program did not end cleanly";
}

TEST_F(QuitConfirmation, AsksWhenOnlyTheInteractiveShellRuns)
{
    EnterAndWaitForPrompt("shell");
    EXPECT_EQ(m_kb.Lamp(), LampColour::Green);
    // This time the user clicks the close box.
    POINT ptClose;
    ASSERT_TRUE(FindCloseBox(ptClose)) << "no close box found on the frame";
    UserInput::LeftClick(ptClose);
    HWND hBox = WaitForQuestion(5000);
    ASSERT_NE(hBox, nullptr) << "no question while the shell runs";
    EXPECT_TRUE(AsksReallyQuit(hBox));
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == hBox; }, 5000));
    UserInput::Press(VK_RETURN);
    DWORD dwCode = 1;
    ASSERT_TRUE(m_kb.WaitExit(20000, &dwCode)) << "OK did not end the program";
    EXPECT_EQ(dwCode, 0u);
}
