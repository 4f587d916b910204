// The main window moved between screens of other resolutions, told as the
// system tells it: WM_GETDPISCALEDSIZE asks for the size to take, then
// WM_DPICHANGED brings the new resolution and the suggested rectangle.
// Wine never sends either, so the tests send them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "framework/Dpi.h"
#include "support/MainWndFixture.h"

#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

namespace {

class DpiChange : public MainWndFixture {
protected:
    void TearDown() override
    {
        // The next test's window starts at the system's resolution.
        if (main.m_hWnd && main.m_nDpi != Dpi::System())
            MoveToDpi(Dpi::System(), false);
        MainWndFixture::TearDown();
    }

    // A text area of nCols x nRows cells with a few pixels to spare.
    void SizeGrid(int nCols, int nRows, int nSpareX, int nSpareY)
    {
        const CConsoleView& v = main.m_view;
        RECT rc = { 0, 0, nCols * v.m_nCharWidth + nSpareX + v.ScrollBarWidth(),
                    nRows * v.m_nLineHeight + nSpareY + v.ScrollBarHeight() + main.m_panel.StripHeight() };
        ::AdjustWindowRectEx(&rc, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CLIENTEDGE);
        ::SetWindowPos(main.m_hWnd, nullptr, 40, 30, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER);
        PumpPending();
    }

    // What the system does when the window reaches a screen of nDpi: asks
    // for the size (Windows 10 1703 and later) and suggests a rectangle of
    // it, or, bAsk false, suggests the window's rectangle scaled.
    void MoveToDpi(UINT nDpi, bool bAsk = true)
    {
        RECT rw;
        ::GetWindowRect(main.m_hWnd, &rw);
        SIZE size = { ::MulDiv(rw.right - rw.left, int(nDpi), int(main.m_nDpi)),
                      ::MulDiv(rw.bottom - rw.top, int(nDpi), int(main.m_nDpi)) };
        if (bAsk) {
            EXPECT_TRUE(main.SendMessage(WM_GETDPISCALEDSIZE, nDpi, LPARAM(&size)));
        }
        RECT suggested = { rw.left, rw.top, rw.left + size.cx, rw.top + size.cy };
        main.SendMessage(WM_DPICHANGED, MAKEWPARAM(nDpi, nDpi), LPARAM(&suggested));
        PumpPending();
    }

    void Repaint() { ::RedrawWindow(main.m_view.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

    int Cols() const { return main.m_view.m_hBar.m_nPage; }
    int Rows() const { return main.m_view.m_vBar.m_nPage; }

    SIZE WindowSize() const
    {
        RECT rw;
        ::GetWindowRect(main.m_hWnd, &rw);
        return SIZE{ rw.right - rw.left, rw.bottom - rw.top };
    }

    RECT ChildRect(HWND hChild) const
    {
        RECT rc;
        ::GetWindowRect(hChild, &rc);
        ::MapWindowPoints(nullptr, ::GetParent(hChild), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
};

TEST_F(DpiChange, KeepsRowsAndColumnsAt144And192AndComesBackToItsSizeAt96)
{
    ASSERT_EQ(main.m_nDpi, 96u) << "the test prefix runs at 96 dpi";
    const SIZE base = { main.m_view.m_nCharWidth, main.m_view.m_nLineHeight };
    // Spare pixels just short of a cell: rounding them up at another
    // resolution would make one column or row more.
    SizeGrid(48, 14, base.cx - 1, base.cy - 1);
    const int cols = Cols(), rows = Rows();
    ASSERT_EQ(cols, 48);
    ASSERT_EQ(rows, 14);
    const SIZE start = WindowSize();
    printf("[ dpi 96 ] %d columns x %d rows, window %ld x %ld at the start\n", cols, rows, long(start.cx),
           long(start.cy));
    for (UINT dpi : { 144u, 192u, 96u }) {
        MoveToDpi(dpi);
        SIZE now = WindowSize();
        printf("[ dpi %u ] %d columns x %d rows, cell %ld x %ld, window %ld x %ld\n", dpi, Cols(), Rows(),
               long(main.m_view.m_nCharWidth), long(main.m_view.m_nLineHeight), long(now.cx), long(now.cy));
        EXPECT_EQ(main.m_nDpi, dpi);
        // Asked again at the same resolution, as while the window is dragged
        // along the edge between two screens, it keeps the size it has.
        // (Its client area, that is: Wine draws every frame at 96 dpi.)
        SIZE again = { 0, 0 };
        EXPECT_TRUE(main.SendMessage(WM_GETDPISCALEDSIZE, dpi, LPARAM(&again)));
        RECT frame = { 0, 0, 0, 0 }, client;
        Dpi::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, WS_EX_CLIENTEDGE, dpi);
        main.GetClientRect(&client);
        EXPECT_EQ(again.cx - (frame.right - frame.left), client.right) << dpi << " dpi";
        EXPECT_EQ(again.cy - (frame.bottom - frame.top), client.bottom) << dpi << " dpi";
        EXPECT_EQ(Cols(), cols) << dpi << " dpi";
        EXPECT_EQ(Rows(), rows) << dpi << " dpi";
        EXPECT_EQ(main.m_view.m_nCharWidth, Dpi::Scale(base.cx, dpi)) << dpi << " dpi";
        EXPECT_EQ(main.m_view.m_nLineHeight, Dpi::Scale(base.cy, dpi)) << dpi << " dpi";
        // The strip: 26 pixels at 96 dpi, the lamp 16, both 6 pixels down.
        RECT panel, lamp, edit;
        panel = ChildRect(main.m_panel.m_hWnd);
        lamp = ChildRect(main.m_panel.m_lamp.m_hWnd);
        edit = ChildRect(main.m_panel.m_edit.m_hWnd);
        EXPECT_EQ(panel.bottom - panel.top, Dpi::Scale(26, dpi)) << dpi << " dpi";
        EXPECT_EQ(panel.bottom, client.bottom);
        EXPECT_EQ(lamp.right - lamp.left, Dpi::Scale(16, dpi)) << dpi << " dpi";
        EXPECT_EQ(lamp.top, Dpi::Scale(6, dpi)) << dpi << " dpi";
        EXPECT_EQ(edit.bottom - edit.top, Dpi::Scale(20, dpi)) << dpi << " dpi";
        if (dpi == 96) {   // the prompt's column as measured in the system font
            EXPECT_EQ(edit.left, 16 + main.m_interp.GetPromptWidth(main.m_panel.m_hWnd));
        }
        // The scroll bars are as wide as the system makes them at dpi.
        RECT vbar = ChildRect(main.m_view.m_vBar.m_hWnd);
        EXPECT_EQ(vbar.right - vbar.left, Dpi::Metric(SM_CXVSCROLL, dpi)) << dpi << " dpi";
    }
    SIZE end = WindowSize();
    EXPECT_LE(std::abs(end.cx - start.cx), 1) << start.cx << " -> " << end.cx;
    EXPECT_LE(std::abs(end.cy - start.cy), 1) << start.cy << " -> " << end.cy;
}

TEST_F(DpiChange, ScaledSuggestionWithoutTheQuestionStillKeepsTheGrid)
{
    // Windows before 10 1703 does not ask; it suggests the old rectangle
    // scaled, and the frame may not be scaled at all.
    SizeGrid(40, 12, 3, 5);
    const int cols = Cols(), rows = Rows();
    for (UINT dpi : { 120u, 168u, 96u }) {
        MoveToDpi(dpi, false);
        EXPECT_EQ(Cols(), cols) << dpi << " dpi";
        EXPECT_EQ(Rows(), rows) << dpi << " dpi";
    }
}

TEST_F(DpiChange, KeepsScrollPositionMarksFindMatchAndCommandLine)
{
    SizeGrid(40, 10, 2, 2);
    for (int i = 0; i < 100; ++i)
        main.m_view.Print(("line " + std::to_string(i) + " of the scrollback").c_str());
    Repaint();
    main.m_view.ScrollByKey(VK_PRIOR);
    main.m_view.ScrollByKey(VK_PRIOR);
    main.m_view.m_nMarkFirst = 70;
    main.m_view.m_nMarkLast = 72;
    main.m_view.m_finder.m_nLine = 71;
    main.m_view.m_finder.m_nColumn = 5;
    ::SetWindowTextA(Edit(), "shell getprop");
    main.m_panel.m_edit.SetSel(3, 7);
    Repaint();
    const int pos = main.m_view.m_vBar.m_nPos;
    ASSERT_FALSE(main.m_view.m_bFollow);
    ASSERT_GT(pos, 0);
    for (UINT dpi : { 144u, 192u, 96u }) {
        MoveToDpi(dpi);
        Repaint();
        EXPECT_EQ(main.m_view.m_vBar.m_nPos, pos) << dpi << " dpi";
        EXPECT_FALSE(main.m_view.m_bFollow);
        EXPECT_EQ(main.m_view.m_nMarkFirst, 70);
        EXPECT_EQ(main.m_view.m_nMarkLast, 72);
        EXPECT_EQ(main.m_view.m_finder.m_nLine, 71);
        EXPECT_EQ(EditText(), "shell getprop");
        DWORD dwStart = 0, dwEnd = 0;
        main.m_panel.m_edit.SendMessage(EM_GETSEL, WPARAM(&dwStart), LPARAM(&dwEnd));
        EXPECT_EQ(dwStart, 3u);
        EXPECT_EQ(dwEnd, 7u);
    }
}

TEST_F(DpiChange, MaximisedWindowTakesItsGridFromTheSystemsSize)
{
    main.ShowWindow(SW_MAXIMIZE);
    PumpPending();
    SIZE size = { 0, 0 };
    EXPECT_FALSE(main.SendMessage(WM_GETDPISCALEDSIZE, 144, LPARAM(&size)));
    RECT rw;
    ::GetWindowRect(main.m_hWnd, &rw);
    main.SendMessage(WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(&rw));
    PumpPending();
    RECT rc;
    main.m_view.GetClientRect(&rc);
    EXPECT_EQ(Cols(), (rc.right - main.m_view.ScrollBarWidth()) / Dpi::Scale(8, 144));
    EXPECT_EQ(Rows(), (rc.bottom - main.m_view.ScrollBarHeight()) / Dpi::Scale(14, 144));
    main.ShowWindow(SW_RESTORE);
}

TEST(LampSize, NearestImageOfTheIconIsDrawnAndEverySizeIsInTheIcons)
{
    EXPECT_EQ(CLampWnd::NearestSize(16), 16);
    EXPECT_EQ(CLampWnd::NearestSize(17), 16);
    EXPECT_EQ(CLampWnd::NearestSize(18), 16);   // a tie takes the smaller
    EXPECT_EQ(CLampWnd::NearestSize(19), 20);
    EXPECT_EQ(CLampWnd::NearestSize(28), 24);
    EXPECT_EQ(CLampWnd::NearestSize(29), 32);
    EXPECT_EQ(CLampWnd::NearestSize(40), 32);
    EXPECT_EQ(CLampWnd::NearestSize(41), 48);
    EXPECT_EQ(CLampWnd::NearestSize(200), 48);
    EXPECT_EQ(CLampWnd::NearestSize(0), 16);
    // Each icon has an image of each size, not one to be stretched.
    HMODULE hMod = ::GetModuleHandleA(nullptr);
    for (const char* name : { "REDLAMP", "GREENLAMP", "YELLOWLAMP" }) {
        HRSRC hDir = ::FindResourceA(hMod, name, MAKEINTRESOURCEA(14));   // RT_GROUP_ICON
        ASSERT_NE(hDir, nullptr) << name;
        BYTE* pDir = static_cast<BYTE*>(::LockResource(::LoadResource(hMod, hDir)));
        for (int n : CLampWnd::s_sizes) {
            int id = ::LookupIconIdFromDirectoryEx(pDir, TRUE, n, n, LR_DEFAULTCOLOR);
            HRSRC hIcon = ::FindResourceA(hMod, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));   // RT_ICON
            ASSERT_NE(hIcon, nullptr) << name << " " << n;
            const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(hMod, hIcon)));
            EXPECT_EQ(bih->biWidth, n) << name;
            EXPECT_EQ(bih->biHeight, 2 * n) << name;
        }
    }
}

TEST(DpiHelpers, SystemResolutionGivesTheSystemsOwnSizes)
{
    const UINT sys = Dpi::System();
    for (int n : { SM_CXVSCROLL, SM_CYHSCROLL, SM_CXSCREEN })
        EXPECT_EQ(Dpi::Metric(n, sys), ::GetSystemMetrics(n));
    EXPECT_EQ(Dpi::Scale(26, 96), 26);
    EXPECT_EQ(Dpi::Scale(26, 120), 33);   // 32.5 rounds up
    EXPECT_EQ(Dpi::Scale(7, 144), 11);    // 10.5 rounds up
    EXPECT_EQ(Dpi::FontHeight(10, 96), -13);
    EXPECT_EQ(Dpi::FontHeight(10, 192), -27);
    // At twice the resolution a scroll bar is about twice as wide.
    EXPECT_NEAR(Dpi::Metric(SM_CXVSCROLL, 2 * sys), 2 * ::GetSystemMetrics(SM_CXVSCROLL), 2);
    RECT rc96 = { 0, 0, 100, 100 }, rc192 = rc96;
    ASSERT_TRUE(Dpi::AdjustWindowRect(&rc96, WS_OVERLAPPEDWINDOW, WS_EX_CLIENTEDGE, 96));
    ASSERT_TRUE(Dpi::AdjustWindowRect(&rc192, WS_OVERLAPPEDWINDOW, WS_EX_CLIENTEDGE, 192));
    EXPECT_GT(rc192.bottom - rc192.top, rc96.bottom - rc96.top);
}

} // namespace
