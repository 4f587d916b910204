#include <gtest/gtest.h>

#include "KestrelboxSession.h"
#include "UserInput.h"

// Sizing the main window by its frame, with a run of its own so that the
// shared window keeps its size.
class MainWindowFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string strError;
        ASSERT_TRUE(m_kb.Start(strError)) << strError;
    }
    void TearDown() override
    {
        if (m_kb.IsRunning() && m_kb.BringToFront()) {
            UserInput::Chord({ VK_MENU }, VK_F4);
            m_kb.WaitExit(10000);
        }
    }
    CKestrelboxSession m_kb;
};

TEST_F(MainWindowFrame, DragsNoSmallerThanMinimumAndKeepsPanelAtBottom)
{
    RECT rcStart;
    ASSERT_TRUE(::GetWindowRect(m_kb.MainWnd(), &rcStart));
    // The lower right corner of the sizing frame, dragged far up and left.
    POINT ptCorner = { rcStart.right - 2, rcStart.bottom - 2 };
    UserInput::LeftDrag(ptCorner, POINT { rcStart.left + 40, rcStart.top + 30 });
    // The drag is handled after SendInput returns: wait for where it ends.
    RECT rc = {};
    EXPECT_TRUE(WaitUntil([&] {
        ::GetWindowRect(m_kb.MainWnd(), &rc);
        return rc.right - rc.left == 192 && rc.bottom - rc.top == 128;
    }, 5000)) << "the window is " << rc.right - rc.left << " x " << rc.bottom - rc.top;

    // The strip keeps its height at the bottom of the client area and the
    // screen takes the rest.
    RECT rcClient = {}, rcPanel = {}, rcView = {};
    auto layout = [&] {
        ::GetClientRect(m_kb.MainWnd(), &rcClient);
        ::GetWindowRect(m_kb.PanelWnd(), &rcPanel);
        ::GetWindowRect(m_kb.ViewWnd(), &rcView);
        ::MapWindowPoints(nullptr, m_kb.MainWnd(), reinterpret_cast<POINT*>(&rcPanel), 2);
        ::MapWindowPoints(nullptr, m_kb.MainWnd(), reinterpret_cast<POINT*>(&rcView), 2);
        return rcPanel.bottom == rcClient.bottom && rcPanel.right == rcClient.right;
    };
    EXPECT_TRUE(WaitUntil(layout, 5000)) << "the strip did not move to the new bottom";
    EXPECT_EQ(rcPanel.bottom, rcClient.bottom);
    EXPECT_EQ(rcPanel.bottom - rcPanel.top, 26);
    EXPECT_EQ(rcPanel.right, rcClient.right);
    EXPECT_EQ(rcView.top, 0);
    EXPECT_EQ(rcView.bottom, rcPanel.top);

    // And it still works at that size.
    ASSERT_TRUE(m_kb.BringToFront());
    m_kb.EnterLine("get-state");
    ScreenLines lines;
    EXPECT_TRUE(m_kb.WaitForScreen([](const ScreenLines& l) { return FindLine(l, "device") >= 0; }, lines))
        << Describe(lines);
}
