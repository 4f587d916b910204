// The command panel and its lamp as real windows: where the lamp and the
// command line stand for two font sizes, that the prompt's column does not
// move with the mode, and the lamp's colour read back from its pixels.
#include <gtest/gtest.h>

#include <string>

#include "support/MainWndFixture.h"

namespace {

RECT ChildRect(HWND hChild)
{
    RECT rc;
    ::GetWindowRect(hChild, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hChild), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool IsRed(COLORREF c)
{
    return GetRValue(c) > GetGValue(c) + 60 && GetRValue(c) > GetBValue(c) + 60;
}

bool IsGreen(COLORREF c)
{
    return GetGValue(c) > GetRValue(c) + 60 && GetGValue(c) > GetBValue(c) + 60;
}

class Panel : public MainWndFixture {
protected:
    COLORREF LampCentre() { return WindowPixel(main.m_panel.m_lamp.m_hWnd, 8, 8); }

    void RepaintPanel()
    {
        ::RedrawWindow(main.m_panel.m_hWnd, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }

    // The leftmost column of the prompt's area, right of the lamp, that is
    // not the face colour.
    int PromptLeftEdge()
    {
        RepaintPanel();
        RECT rcEdit = ChildRect(Edit());
        COLORREF face = ::GetSysColor(COLOR_BTNFACE) & 0xFFFFFF;
        HDC hdc = ::GetDC(main.m_panel.m_hWnd);
        int left = -1;
        for (int x = 16; x < rcEdit.left && left < 0; ++x)
            for (int y = 7; y < rcEdit.bottom && left < 0; ++y)
                if (::GetPixel(hdc, x, y) != face)
                    left = x;
        ::ReleaseDC(main.m_panel.m_hWnd, hdc);
        return left;
    }
};

// The panel made with another command font: the font is set from the
// settings before the panel's window exists.
class PanelFont : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (main.m_hWnd) {
            main.ShowWindow(SW_HIDE);
            main.DestroyWindow();
        }
        g_config.m_settings.CommandFont.m_size = nSaved;
    }
    int nSaved = g_config.m_settings.CommandFont.m_size;
    CMainWnd main;
};

} // namespace

TEST_F(Panel, DefaultFontPutsLampAndCommandLineSixPixelsDown)
{
    RECT panel = ChildRect(main.m_panel.m_hWnd);
    EXPECT_EQ(panel.bottom - panel.top, 26);
    RECT lamp = ChildRect(main.m_panel.m_lamp.m_hWnd);
    EXPECT_EQ(lamp.left, 0);
    EXPECT_EQ(lamp.top, 6);
    EXPECT_EQ(lamp.right - lamp.left, 16);
    EXPECT_EQ(lamp.bottom - lamp.top, 16);
    RECT edit = ChildRect(Edit());
    EXPECT_EQ(edit.top, 6);
    EXPECT_EQ(edit.bottom - edit.top, 20);
    EXPECT_EQ(edit.left, 16 + main.m_interp.GetPromptWidth(main.m_panel.m_hWnd));
    EXPECT_EQ(edit.right, panel.right - panel.left) << "the command line fills the rest of the width";
    EXPECT_EQ(::GetDlgCtrlID(main.m_panel.m_lamp.m_hWnd), 21);
    EXPECT_EQ(::GetDlgCtrlID(Edit()), 22);
    EXPECT_EQ(::SendMessageA(Edit(), EM_GETLIMITTEXT, 0, 0), 2048);
}

TEST_F(Panel, CommandLineFontHasTheCharacterSetOfTheAnsiCodePage)
{
    // As the screen's font: DEFAULT_CHARSET would let a Chinese system
    // space Latin letters wide.
    HFONT hFont = HFONT(::SendMessageA(Edit(), WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    ASSERT_EQ(::GetObjectA(hFont, sizeof(lf), &lf), int(sizeof(lf)));
    CHARSETINFO csi = {};
    const BOOL bKnown = ::TranslateCharsetInfo(reinterpret_cast<DWORD*>(UINT_PTR(::GetACP())), &csi, TCI_SRCCODEPAGE);
    EXPECT_EQ(lf.lfCharSet, bKnown && ::GetACP() != CP_UTF8 ? BYTE(csi.ciCharset) : BYTE(DEFAULT_CHARSET));
    if (::GetACP() == 1252) {
        EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET);
    }
}

TEST_F(PanelFont, TwelvePointCommandFontMakesA32PixelPanel)
{
    g_config.m_settings.CommandFont.m_size = 12;
    CMainWnd::s_bFirstShow = false;
    ASSERT_TRUE(main.CreateMain());
    main.ShowWindow(SW_SHOW);
    EXPECT_EQ(main.m_panel.m_nEditHeight, 26);
    RECT panel = ChildRect(main.m_panel.m_hWnd);
    RECT client;
    main.GetClientRect(&client);
    EXPECT_EQ(panel.bottom - panel.top, 32);
    EXPECT_EQ(panel.bottom, client.bottom);
    RECT edit = ChildRect(main.m_panel.m_edit.m_hWnd);
    EXPECT_EQ(edit.top, 6);
    EXPECT_EQ(edit.bottom - edit.top, 26);
    RECT view = ChildRect(main.m_view.m_hWnd);
    EXPECT_EQ(view.bottom, client.bottom - 32);

    LOGFONTA lf = {};
    HFONT hFont = HFONT(::SendMessageA(main.m_panel.m_edit.m_hWnd, WM_GETFONT, 0, 0));
    ASSERT_NE(hFont, nullptr);
    ::GetObjectA(hFont, sizeof lf, &lf);
    HDC hdc = ::GetDC(nullptr);
    EXPECT_EQ(lf.lfHeight, -MulDiv(12, ::GetDeviceCaps(hdc, LOGPIXELSY), 72));
    ::ReleaseDC(nullptr, hdc);
    EXPECT_STREQ(lf.lfFaceName, "Arial");
}

TEST_F(Panel, CommandLineKeepsItsPlaceWhenThePromptChanges)
{
    RECT before = ChildRect(Edit());
    int nAdbEdge = PromptLeftEdge();
    ASSERT_GT(nAdbEdge, 16) << "the short prompt leaves room in its column";

    Type("pm");
    ASSERT_STREQ(main.m_interp.GetPrompt(), "adb shell pm ");
    main.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 500));
    RECT after = ChildRect(Edit());
    EXPECT_EQ(after.left, before.left);
    int nPmEdge = PromptLeftEdge();
    EXPECT_LT(nPmEdge, nAdbEdge) << "the longer prompt reaches further left, ending at the command line";
    EXPECT_GT(nPmEdge, 0);

    Type("exit");
    EXPECT_EQ(PromptLeftEdge(), nAdbEdge);
}

TEST_F(Panel, LampIsRedWhileACommandRunsAndGreenAfter)
{
    main.m_panel.m_lamp.Invalidate(TRUE);
    ASSERT_TRUE(PumpUntil([&] { return IsGreen(LampCentre()); })) << std::hex << LampCentre();
    Type("--sim-sleep 3000");
    EXPECT_TRUE(PumpKeysUntil([&] { return IsRed(LampCentre()); })) << std::hex << LampCentre();
    EXPECT_TRUE(g_bBusy);
    EXPECT_TRUE(PumpKeysUntil([&] { return IsGreen(LampCentre()); })) << std::hex << LampCentre();
    EXPECT_GE(IndexOfLine(ExitLine(0, 0)), 0) << "green again only once the command has ended";
}

TEST_F(Panel, LampStaysGreenWhileTheInteractiveShellRuns)
{
    Type("shell");
    ASSERT_TRUE(main.m_interp.IsShellRunning());
    Type("whoami");
    ASSERT_TRUE(WaitForLineEnding("$ shell")) << ::testing::PrintToString(Lines());
    main.m_panel.m_lamp.Invalidate(TRUE);
    PumpKeysPending();
    EXPECT_TRUE(IsGreen(LampCentre())) << std::hex << LampCentre();
}

TEST_F(Panel, LampStaysRedWhenTheShellEndsWhileACommandRuns)
{
    Type("shell");
    ASSERT_TRUE(main.m_interp.IsShellRunning());
    // Lines typed now go to the shell: the command starts as a batch line
    // would, on the command runner.
    ASSERT_TRUE(main.m_interp.m_cmdRunner.Start("adb --sim-sleep 4000"));
    ASSERT_TRUE(PumpKeysUntil([] { return g_bBusy.load(); }));
    main.m_interp.m_shellRunner.WriteLine("exit");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    ASSERT_TRUE(main.m_interp.m_cmdRunner.IsRunning()) << "the command ended too early for this test";
    EXPECT_TRUE(g_bBusy);
    main.m_panel.m_lamp.Invalidate(TRUE);
    PumpKeysPending();
    EXPECT_TRUE(IsRed(LampCentre())) << std::hex << LampCentre();
    EXPECT_TRUE(PumpKeysUntil([&] { return IsGreen(LampCentre()); })) << std::hex << LampCentre();
}

TEST_F(Panel, LampDoesNotChangeWhenTheProgramCannotStart)
{
    main.m_interp.m_strAdbDir = "C:\\kb no such folder\\";
    Type("devices");
    ASSERT_TRUE(WaitIdle());
    main.m_panel.m_lamp.Invalidate(TRUE);
    PumpKeysPending();
    EXPECT_TRUE(IsGreen(LampCentre())) << std::hex << LampCentre();
}

// A panel under a window that is not the main window: it has no prompt to
// show, and its command line's keys are the edit's own.
TEST(PanelAlone, UnderAnotherWindowShowsNoPromptAndRunsNothing)
{
    CHostWnd host;
    ASSERT_TRUE(host.CreateHost(400, 60));
    CCommandPanel panel;
    RECT rc = { 0, 0, 400, 30 };
    ASSERT_TRUE(panel.Create(nullptr, "", WS_CHILD | WS_VISIBLE, rc, &host, 12));
    panel.MoveWindow(0, 0, 400, 30);
    ::RedrawWindow(panel.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // No room is kept for a prompt: the command line starts at the lamp.
    EXPECT_EQ(ChildRect(panel.m_edit.m_hWnd).left, ChildRect(panel.m_lamp.m_hWnd).right);
    ::SetWindowTextA(panel.m_edit.m_hWnd, "devices");
    for (UINT nKey : { VK_RETURN, VK_ESCAPE, VK_F1, VK_F4, VK_PRIOR, VK_UP })
        ::PostMessageA(panel.m_edit.m_hWnd, WM_KEYDOWN, nKey, 1);
    PumpKeysPending();
    EXPECT_EQ(CDialogDriver::Text(panel.m_edit.m_hWnd), "devices") << "a key took the line away";
}
