// The main window: its size limits, the layout of screen and panel, and the
// first show's banner and start-up command.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "app/MainWnd.h"
#include "settings/AppConfig.h"
#include "support/AdbSim.h"
#include "support/AllocFailure.h"
#include "support/StoreLines.h"
#include "support/TestWindows.h"

namespace {

class MainWnd : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (main.m_hWnd) {
            main.ShowWindow(SW_HIDE);
            main.DestroyWindow();
        }
        CMainWnd::s_bFirstShow = false;
    }
    CMainWnd main;
};

TEST_F(MainWnd, CannotBeMadeSmallerThan192By128)
{
    CMainWnd::s_bFirstShow = false;
    ASSERT_TRUE(main.CreateMain());
    MINMAXINFO mmi = {};
    main.SendMessage(WM_GETMINMAXINFO, 0, LPARAM(&mmi));
    EXPECT_EQ(mmi.ptMinTrackSize.x, 192);
    EXPECT_EQ(mmi.ptMinTrackSize.y, 128);
    EXPECT_EQ(mmi.ptMaxTrackSize.x, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(mmi.ptMaxTrackSize.y, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(MainWnd, LaysTheScreenOutAboveA26PixelPanel)
{
    CMainWnd::s_bFirstShow = false;
    ASSERT_TRUE(main.CreateMain());
    main.ShowWindow(SW_SHOW);
    for (SIZE size : { SIZE{ 640, 480 }, SIZE{ 300, 200 }, SIZE{ 1000, 700 } }) {
        RECT rcWnd = { 0, 0, size.cx, size.cy };
        ::AdjustWindowRectEx(&rcWnd, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CLIENTEDGE);
        ::SetWindowPos(main.m_hWnd, nullptr, 0, 0, rcWnd.right - rcWnd.left, rcWnd.bottom - rcWnd.top,
                       SWP_NOZORDER | SWP_NOMOVE);
        RECT client;
        main.GetClientRect(&client);
        RECT view, panel;
        ::GetWindowRect(main.m_view.m_hWnd, &view);
        ::GetWindowRect(main.m_panel.m_hWnd, &panel);
        ::MapWindowPoints(nullptr, main.m_hWnd, reinterpret_cast<POINT*>(&view), 2);
        ::MapWindowPoints(nullptr, main.m_hWnd, reinterpret_cast<POINT*>(&panel), 2);
        EXPECT_EQ(main.m_panel.m_nEditHeight, 20);
        EXPECT_EQ(view.left, 0);
        EXPECT_EQ(view.top, 0);
        EXPECT_EQ(view.right, client.right);
        EXPECT_EQ(view.bottom, client.bottom - 26);
        EXPECT_EQ(panel.top, client.bottom - 26);
        EXPECT_EQ(panel.bottom, client.bottom);
        EXPECT_EQ(panel.right, client.right);
    }
    EXPECT_EQ(::GetDlgCtrlID(main.m_view.m_hWnd), 11);
    EXPECT_EQ(::GetDlgCtrlID(main.m_panel.m_hWnd), 12);
}

TEST_F(MainWnd, TakesItsColoursAndStoreSizeFromTheSettings)
{
    // Values that no default has, so that a colour taken from elsewhere shows.
    CSettings& set = g_config.m_settings;
    CColorSetting* colours[] = { &set.BackColor, &set.TextColor, &set.ErrorColor, &set.EchoColor,
                                 &set.InfoColor, &set.FindBackColor, &set.FindTextColor, &set.MarkBackColor };
    std::vector<COLORREF> before;
    for (size_t i = 0; i < 8; ++i) {
        before.push_back(colours[i]->m_value);
        colours[i]->m_value = RGB(0x10 + i, 0x20 + i, 0x30 + i);
    }
    const int nMegabytes = set.BufferMegabytes.m_value;
    set.BufferMegabytes.m_value = 3;
    CMainWnd::s_bFirstShow = false;
    const bool bCreated = main.CreateMain() != FALSE;
    for (size_t i = 0; i < 8; ++i)
        colours[i]->m_value = before[i];
    set.BufferMegabytes.m_value = nMegabytes;
    ASSERT_TRUE(bCreated);
    EXPECT_EQ(main.m_view.m_store.m_nCapacity, 3 * 1048576 - 1);
    const COLORREF taken[] = { main.m_view.m_crBack, main.m_view.m_crText, main.m_view.m_crError,
                               main.m_view.m_crEcho, main.m_view.m_crInfo, main.m_view.m_crFindBack,
                               main.m_view.m_crFindText, main.m_view.m_crMarkBack };
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(taken[i], RGB(0x10 + i, 0x20 + i, 0x30 + i)) << "colour " << i;
    LOGFONTA lf = {}, lfItalic = {};
    ::GetObjectA(main.m_view.m_font.m_hObject, sizeof lf, &lf);
    ::GetObjectA(main.m_view.m_fontItalic.m_hObject, sizeof lfItalic, &lfItalic);
    EXPECT_STREQ(lf.lfFaceName, "Courier");
    EXPECT_FALSE(lf.lfItalic);
    EXPECT_TRUE(lfItalic.lfItalic);
    EXPECT_GT(-lf.lfHeight, -lfItalic.lfHeight) << "the echo font is one point smaller";
}

TEST_F(MainWnd, StoreThatCannotBeHadRaisesInsteadOfAScreenThatKeepsNothing)
{
    // Catches what the creation raises before the framework would end the
    // program with it.
    class CCatchingMainWnd : public CMainWnd {
    public:
        bool m_bRaised = false;

    protected:
        LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override
        {
            try {
                return CMainWnd::WindowProc(nMsg, wParam, lParam);
            } catch (const std::bad_alloc&) {
                m_bRaised = true;
                return nMsg == WM_CREATE ? -1 : 0;
            }
        }
    } wnd;
    CMainWnd::s_bFirstShow = false;
    BOOL bCreated;
    {
        CFailLargeAllocations guard(1 << 20);
        bCreated = wnd.CreateMain();
    }
    if (wnd.m_hWnd)
        wnd.DestroyWindow();
    EXPECT_TRUE(wnd.m_bRaised) << "the store was left without a block";
    EXPECT_FALSE(bCreated);
    EXPECT_EQ(wnd.m_view.m_store.m_nCapacity, 0);
}

TEST_F(MainWnd, FirstShowPrintsTheBannerAndRunsAdbVersionOnce)
{
    PutAdbImitationOnPath();
    CProcessRunner::s_nNextRunId = 0;
    CMainWnd::s_bFirstShow = true;
    ASSERT_TRUE(main.CreateMain());
    main.ShowWindow(SW_SHOW);
    // The start-up command ran synchronously inside the first show.
    std::vector<std::string> lines = ViewLines(main.m_view);
    ASSERT_GE(lines.size(), 9u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], std::string("\x02") + kBanner);
    EXPECT_EQ(lines[0].substr(0, 16), "\x02Kestrelbox 1.00");
    EXPECT_EQ(lines[1], "\x02Press F1 for Help");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "\x03" "adb version");
    EXPECT_EQ(lines[4], "Android Debug Bridge version 1.0.41");
    EXPECT_EQ(lines[5].substr(0, 8), "Version ");
    EXPECT_EQ(lines[6].substr(0, 13), "Installed as ");
    EXPECT_EQ(lines[lines.size() - 2], "\x02#0 ExitCode: 0");
    EXPECT_EQ(lines.back(), "");
    EXPECT_FALSE(CMainWnd::s_bFirstShow);
    EXPECT_FALSE(main.m_interp.m_cmdRunner.IsRunning());
    EXPECT_FALSE(::IsZoomed(main.m_hWnd)) << "the default placement is not maximised";

    size_t before = lines.size();
    main.ShowWindow(SW_HIDE);
    main.ShowWindow(SW_SHOW);
    PumpPending();
    EXPECT_EQ(ViewLines(main.m_view).size(), before) << "a later show prints and runs nothing";
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 1);
}

TEST_F(MainWnd, FirstShowMaximisesTheWindowWhenThePlacementSaysSo)
{
    CPlacementSetting& place = g_config.m_settings.WindowPlacement;
    const bool bWas = place.m_maximized;
    place.m_maximized = true;
    CMainWnd::s_bFirstShow = true;
    bool bCreated = main.CreateMain();
    if (bCreated) {
        main.m_interp.m_strAdbDir = "C:\\no such folder\\";
        main.ShowWindow(SW_SHOW);
    }
    place.m_maximized = bWas;
    ASSERT_TRUE(bCreated);
    EXPECT_TRUE(::IsZoomed(main.m_hWnd));
    RECT rc;
    main.GetClientRect(&rc);
    EXPECT_GT(rc.right, ::GetSystemMetrics(SM_CXSCREEN) * 3 / 4);
}

TEST_F(MainWnd, StartUpCommandThatCannotStartPrintsTheSystemText)
{
    CMainWnd::s_bFirstShow = true;
    ASSERT_TRUE(main.CreateMain());
    main.m_interp.m_strAdbDir = "C:\\no such folder\\";
    main.ShowWindow(SW_SHOW);
    std::vector<std::string> lines = ViewLines(main.m_view);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[3], "\x03" "C:\\no such folder\\adb version");
    EXPECT_EQ(lines[4][0], '\x01') << lines[4];
    EXPECT_GT(lines[4].size(), 3u);
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines.size(), 6u) << "no exit line";
}

} // namespace
