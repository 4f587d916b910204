// The console view as a real window: its scroll state, following, keys,
// wheel, and what it paints, read back as pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "screen/ConsoleView.h"
#include "support/TestWindows.h"

namespace {

// Exposes what the view decides about one line, and when it paints.
class CTestView : public CConsoleView {
public:
    using CConsoleView::GetLineAttributes;
    std::vector<DWORD> m_paintTicks;

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override
    {
        if (nMsg == WM_PAINT)
            m_paintTicks.push_back(::GetTickCount());
        return CConsoleView::WindowProc(nMsg, wParam, lParam);
    }
};

class ConsoleViewWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.CreateHost(800, 600));
        view.m_store.Resize(1 << 20);
        view.SetScreenFont("Courier", 10);
        RECT rc = { 0, 0, 0, 0 };
        ASSERT_TRUE(view.Create(nullptr, "", WS_CHILD | WS_VISIBLE, rc, &host, 11));
        ASSERT_GT(view.m_nLineHeight, 0);
        ASSERT_GT(view.m_nCharWidth, 0);
    }

    // Sizes the view so that exactly nLines lines and nColumns columns fit.
    void SizeForPage(int nLines, int nColumns)
    {
        int cx = nColumns * view.m_nCharWidth + GetSystemMetrics(SM_CXVSCROLL);
        int cy = nLines * view.m_nLineHeight + GetSystemMetrics(SM_CYHSCROLL);
        view.MoveWindow(0, 0, cx, cy, TRUE);
        ASSERT_EQ(view.m_vBar.m_nPage, nLines);
        ASSERT_EQ(view.m_hBar.m_nPage, nColumns);
    }

    void Paint() { ::RedrawWindow(view.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

    void FillLines(int n, int nWidth = 10)
    {
        for (int i = 0; i < n; ++i) {
            CString s;
            s.Format("%0*d", nWidth, i);
            view.Print(s);
        }
    }

    // Shows the store from line nTop and column nColumn. The ranges are
    // still the last paint's: they are set first, or the positions would
    // be clamped to them.
    void ShowAt(int nTop, int nColumn)
    {
        view.m_vBar.SetRange(view.m_store.CountLines());
        view.m_hBar.SetRange(view.m_store.m_nMaxLineLen);
        view.m_vBar.SetPos(nTop);
        view.m_hBar.SetPos(nColumn);
        Paint();
    }

    void VScroll(int nCode) { view.SendMessage(WM_VSCROLL, MAKEWPARAM(nCode, 0), LPARAM(view.m_vBar.m_hWnd)); }

    // The pixel of the view's window at the centre-left of a text line.
    COLORREF LinePixel(int nLine, int x)
    {
        return WindowPixel(view.m_hWnd, x, nLine * view.m_nLineHeight + view.m_nLineHeight / 2);
    }

    // Whether any pixel of a line's first nColumns columns has exactly colour c.
    bool LineHasColour(int nLine, int nColumns, COLORREF c)
    {
        HDC hdc = ::GetDC(view.m_hWnd);
        bool found = false;
        for (int y = nLine * view.m_nLineHeight; y < (nLine + 1) * view.m_nLineHeight && !found; ++y)
            for (int x = 0; x < nColumns * view.m_nCharWidth && !found; ++x)
                found = ::GetPixel(hdc, x, y) == c;
        ::ReleaseDC(view.m_hWnd, hdc);
        return found;
    }

    CHostWnd host;
    CTestView view;
};

TEST_F(ConsoleViewWindow, FollowsTheNewestLineUntilScrolledUp)
{
    SizeForPage(30, 40);
    FillLines(100);
    Paint();
    EXPECT_EQ(view.m_vBar.m_nRange, 100);
    EXPECT_EQ(view.m_vBar.m_nPos, 70);
    VScroll(SB_LINEUP);
    EXPECT_EQ(view.m_vBar.m_nPos, 69);
    EXPECT_FALSE(view.m_bFollow);
    FillLines(5);
    Paint();
    EXPECT_EQ(view.m_vBar.m_nPos, 69) << "no following while scrolled away";
    while (view.m_vBar.m_nPos + view.m_vBar.m_nPage < 105)
        VScroll(SB_PAGEDOWN);
    EXPECT_TRUE(view.m_bFollow) << "the last line back in view resumes following";
    FillLines(3);
    Paint();
    EXPECT_EQ(view.m_vBar.m_nPos, 108 - 30);
}

TEST_F(ConsoleViewWindow, ScrolledBackViewKeepsItsTextWhileOldLinesAreDropped)
{
    SizeForPage(10, 40);
    // Room for exactly 100 lines of ten digits.
    view.m_store.Resize(100 * 11 + 1);
    FillLines(100);
    Paint();
    view.ScrollByKey(VK_PRIOR);
    view.ScrollByKey(VK_PRIOR);
    ASSERT_EQ(view.m_vBar.m_nPos, 70);
    ASSERT_FALSE(view.m_bFollow);
    auto Top = [&] { return std::string(view.m_store.GetLine(view.m_vBar.m_nPos)); };
    for (int i = 100; i < 105; ++i)
        view.PrintF("%010d", i);
    // A click before the next paint is on the line that the screen shows.
    const int y = view.m_nLineHeight / 2;
    view.SendMessage(WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(2, y));
    EXPECT_EQ(std::make_pair(view.m_nMarkFirst, view.m_nMarkLast), std::make_pair(65, 65));
    view.m_nMarkFirst = view.m_nMarkLast = -1;
    Paint();
    EXPECT_EQ(view.m_vBar.m_nPos, 65);
    EXPECT_EQ(Top(), "0000000070") << "the view slid away with the dropped lines";
    EXPECT_FALSE(view.m_bFollow);

    // Once its text is dropped too, the view shows the oldest line.
    for (int i = 105; i < 180; ++i)
        view.PrintF("%010d", i);
    Paint();
    EXPECT_EQ(view.m_vBar.m_nPos, 0);
    EXPECT_EQ(Top(), "0000000080");

    // Following the newest line is unchanged.
    view.m_bFollow = true;
    for (int i = 180; i < 190; ++i)
        view.PrintF("%010d", i);
    Paint();
    EXPECT_EQ(view.m_vBar.m_nPos, 90);
    EXPECT_EQ(Top(), "0000000180");
}

// Lines of changing lengths: when long lines replace short ones the count of
// lines shrinks, when short ones replace long ones it grows. Either way the
// view keeps its top line where it was, and the system's scroll bar shows
// the same range, page and position as the view.
TEST_F(ConsoleViewWindow, ScrolledBackViewKeepsItsTextWhateverTheLengthsOfNewAndDroppedLines)
{
    SizeForPage(10, 40);
    view.m_store.Resize(20000);
    std::mt19937 random(7);
    int nNumber = 0;
    auto PrintOfLength = [&](int nLength) {
        CString s;
        s.Format("%07d", nNumber++);
        while (s.GetLength() < nLength)
            s += '-';
        view.Print(s);
    };
    // The index of the stored line that starts with the number, or -1.
    auto IndexOf = [&](const std::string& strNumber) {
        for (int i = view.m_store.CountLines() - 1; i >= 0; --i)
            if (strNumber.compare(0, 7, view.m_store.GetLine(i), 7) == 0)
                return i;
        return -1;
    };
    auto PrintLines = [&](int nCount, int nFrom, int nTo) {
        std::uniform_int_distribution<int> length(nFrom, nTo);
        for (int i = 0; i < nCount; ++i)
            PrintOfLength(length(random));
    };
    // Each phase fills the whole store anew (from a first and a second kind
    // of line), scrolls back, then prints rounds of new lines.
    struct Phase {
        const char* pszName;
        int nFill1, nFill1From, nFill1To, nFill2, nFill2From, nFill2To;
        int nPagesBack;
        int nRound, nFrom, nTo;
    };
    for (const Phase& phase : { Phase { "short then long", 3000, 8, 8, 0, 0, 0, 6, 3, 900, 900 },
                                Phase { "long then short", 30, 900, 900, 100, 8, 8, 6, 150, 8, 8 },
                                Phase { "mixed", 3000, 8, 8, 60, 8, 600, 3, 4, 8, 600 } }) {
        SCOPED_TRACE(phase.pszName);
        view.m_bFollow = true;
        PrintLines(phase.nFill1, phase.nFill1From, phase.nFill1To);
        PrintLines(phase.nFill2, phase.nFill2From, phase.nFill2To);
        Paint();
        for (int k = 0; k < phase.nPagesBack; ++k)
            view.ScrollByKey(VK_PRIOR);
        Paint();
        ASSERT_FALSE(view.m_bFollow);
        ASSERT_GT(view.m_vBar.m_nPos, 0);
        const std::string strTop(view.m_store.GetLine(view.m_vBar.m_nPos), 7);
        bool bGone = false;
        for (int round = 0; round < 8 && !bGone; ++round) {
            PrintLines(phase.nRound, phase.nFrom, phase.nTo);
            Paint();
            const int nAt = IndexOf(strTop);
            bGone = nAt < 0;
            EXPECT_EQ(view.m_vBar.m_nPos, bGone ? 0 : nAt)
                << "round " << round << (bGone ? ": its text gone, the view shows the oldest line" : ": the view moved off ")
                << strTop;
            SCROLLINFO si = {};
            si.cbSize = sizeof si;
            si.fMask = SIF_ALL;
            ASSERT_TRUE(::GetScrollInfo(view.m_vBar.m_hWnd, SB_CTL, &si));
            EXPECT_EQ(std::make_tuple(si.nMax + 1, int(si.nPage), si.nPos),
                      std::make_tuple(view.m_store.CountLines(), 10, view.m_vBar.m_nPos))
                << "round " << round << ": the scroll bar's range, page or position is stale";
        }
        EXPECT_FALSE(view.m_bFollow);
    }
}

TEST_F(ConsoleViewWindow, OutputRepaintsAtOnceAfterAQuietSpellThenAtMostOncePer50Ms)
{
    const DWORD dwGap = CTextGridWnd::kOutputPaintMs;
    SizeForPage(30, 40);
    FillLines(10);
    Paint();
    const DWORD dwQuiet = ::GetTickCount();
    PumpUntil([&] { return ::GetTickCount() - dwQuiet > 2 * dwGap; });
    view.m_paintTicks.clear();

    view.Print("first after the quiet spell");
    view.InvalidateForOutput();
    PumpPending();
    ASSERT_EQ(view.m_paintTicks.size(), 1u) << "the first repaint after a quiet spell comes at once, without a wait";

    // A reader thread asks after every line, far more often than every 50 ms,
    // for 600 ms of its own clock (a flood of repaints must not keep it
    // going).
    std::atomic<bool> bDone { false };
    const DWORD dwStart = ::GetTickCount();
    std::thread reader([&] {
        for (int i = 0; ::GetTickCount() - dwStart < 600; ++i) {
            CString s;
            s.Format("streamed line %d", i);
            view.Print(s);
            view.InvalidateForOutput();
            ::Sleep(1);
        }
        bDone = true;
    });
    PumpUntil([&] { return bDone.load(); }, 5000);
    reader.join();
    const DWORD dwStreamed = ::GetTickCount() - dwStart;
    // The last asks are still answered.
    const size_t nBefore = view.m_paintTicks.size();
    PumpUntil([&] { return view.m_paintTicks.size() > nBefore; }, 1000);

    const std::vector<DWORD>& t = view.m_paintTicks;
    ASSERT_GE(t.size(), 6u) << "the screen shows output while it streams";
    EXPECT_LE(t.size(), size_t(dwStreamed / dwGap + 3));
    // One tick of the Windows clock (16 ms) of slack: a timer and
    // GetTickCount count in it.
    int nTooSoon = 0;
    DWORD dwShortest = INFINITE;
    for (size_t i = 1; i < t.size(); ++i) {
        nTooSoon += t[i] - t[i - 1] < dwGap - 16 ? 1 : 0;
        dwShortest = std::min(dwShortest, t[i] - t[i - 1]);
    }
    EXPECT_EQ(nTooSoon, 0) << "of " << t.size() << " repaints; the shortest gap " << dwShortest << " ms";
}

namespace {

// Counts what makes the scroll bars it is put on draw themselves again:
// paints, erases, and new scroll state or arrow states given to them.
struct CPaintCounter {
    static int s_nPaints;
    static WNDPROC s_pfnOld;
    static LRESULT CALLBACK Proc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
    {
        if (nMsg == WM_PAINT || nMsg == WM_ERASEBKGND || nMsg == SBM_ENABLE_ARROWS ||
            (nMsg == SBM_SETSCROLLINFO && wParam))
            ++s_nPaints;
        return ::CallWindowProcA(s_pfnOld, hWnd, nMsg, wParam, lParam);
    }
};
int CPaintCounter::s_nPaints = 0;
WNDPROC CPaintCounter::s_pfnOld = nullptr;

} // namespace

TEST_F(ConsoleViewWindow, OutputRepaintLeavesTheScrollBarsAlone)
{
    // Each repaint for output erased and redrew the scroll bars, arrows and
    // all, and a screen caught half-way showed an arrow blank.
    SizeForPage(30, 40);
    FillLines(100, 60);
    Paint();
    ::RedrawWindow(view.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ASSERT_TRUE(::IsWindowEnabled(view.m_hBar.m_hWnd)) << "lines longer than the page enable the bar";
    const DWORD dwQuiet = ::GetTickCount();
    PumpUntil([&] { return ::GetTickCount() - dwQuiet > 2 * CTextGridWnd::kOutputPaintMs; });
    // The new line changes only the vertical range; the horizontal bar and
    // the size grip (one class, one counter at a time) stay as they are.
    for (HWND hBar : { view.m_hBar.m_hWnd, view.m_sizeBox.m_hWnd }) {
        CPaintCounter::s_nPaints = 0;
        CPaintCounter::s_pfnOld = WNDPROC(::SetWindowLongPtrA(hBar, GWLP_WNDPROC, LONG_PTR(&CPaintCounter::Proc)));
        view.m_paintTicks.clear();

        view.Print("one more line");
        view.InvalidateForOutput();
        PumpPending();
        const int nBarPaints = CPaintCounter::s_nPaints;
        ::SetWindowLongPtrA(hBar, GWLP_WNDPROC, LONG_PTR(CPaintCounter::s_pfnOld));

        ASSERT_EQ(view.m_paintTicks.size(), 1u);
        EXPECT_EQ(view.m_vBar.m_nPos, view.m_vBar.m_nRange - 30) << "the view shows the new line";
        EXPECT_EQ(nBarPaints, 0) << (hBar == view.m_sizeBox.m_hWnd ? "the size grip" : "the horizontal bar")
                                 << " was redrawn by an output repaint that did not change it";
        const DWORD dwQuiet = ::GetTickCount();
        PumpUntil([&] { return ::GetTickCount() - dwQuiet > 2 * CTextGridWnd::kOutputPaintMs; });
    }
}

TEST_F(ConsoleViewWindow, WheelMovesFourLinesPerNotch)
{
    SizeForPage(30, 40);
    FillLines(100);
    Paint();
    view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0);
    EXPECT_EQ(view.m_vBar.m_nPos, 62);
    EXPECT_FALSE(view.m_bFollow);
    view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 60), 0);
    EXPECT_EQ(view.m_vBar.m_nPos, 62) << "less than a notch moves nothing";
    view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), 0);
    EXPECT_EQ(view.m_vBar.m_nPos, 66);
}

TEST_F(ConsoleViewWindow, ClampsPositionsToTheRange)
{
    SizeForPage(30, 40);
    FillLines(10);
    Paint();
    EXPECT_EQ(view.m_vBar.m_nPos, 0) << "fewer lines than a page";
    VScroll(SB_PAGEDOWN);
    EXPECT_EQ(view.m_vBar.m_nPos, 0);
    FillLines(40);
    Paint();
    view.m_vBar.SetPos(1000);
    EXPECT_EQ(view.m_vBar.m_nPos, 50 - 30);
    view.m_vBar.SetPos(-5);
    EXPECT_EQ(view.m_vBar.m_nPos, 0);
}

TEST_F(ConsoleViewWindow, ThumbTrackOneStepBeforeTheEndShowsTheEnd)
{
    SizeForPage(30, 40);
    FillLines(100);
    Paint();
    VScroll(SB_LINEUP);
    Paint();   // pushes position 69 to the control: 69 + 30 == nMax 99
    VScroll(SB_THUMBTRACK);
    EXPECT_EQ(view.m_vBar.m_nPos, 70);
    EXPECT_TRUE(view.m_bFollow);
    view.m_vBar.SetPos(40);
    view.m_bFollow = false;
    Paint();
    VScroll(SB_THUMBTRACK);
    EXPECT_EQ(view.m_vBar.m_nPos, 40) << "elsewhere the thumb's own position";
}

TEST_F(ConsoleViewWindow, ArrowKeysMoveTheColumnsTheOtherWayRound)
{
    SizeForPage(10, 20);
    FillLines(5, 60);
    Paint();
    view.ScrollByKey(VK_RIGHT);
    EXPECT_EQ(view.m_hBar.m_nPos, 0);
    view.ScrollByKey(VK_LEFT);
    EXPECT_EQ(view.m_hBar.m_nPos, 1);
    view.ScrollByKey(VK_END);
    EXPECT_EQ(view.m_hBar.m_nPos, 60 - 20);
    view.ScrollByKey(VK_HOME);
    EXPECT_EQ(view.m_hBar.m_nPos, 0);
}

TEST_F(ConsoleViewWindow, CtrlHomeAndEndGoToTheFirstAndLastLine)
{
    SizeForPage(10, 20);
    FillLines(50, 60);
    Paint();
    view.ScrollByKey(VK_LEFT);
    SetKeyDown(VK_CONTROL, true);
    view.ScrollByKey(VK_HOME);
    EXPECT_EQ(view.m_vBar.m_nPos, 0);
    EXPECT_EQ(view.m_hBar.m_nPos, 0);
    EXPECT_FALSE(view.m_bFollow);
    view.ScrollByKey(VK_LEFT);
    view.ScrollByKey(VK_END);
    SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(view.m_vBar.m_nPos, 40);
    EXPECT_EQ(view.m_hBar.m_nPos, 0);
    EXPECT_TRUE(view.m_bFollow);
    view.ScrollByKey(VK_UP);
    view.ScrollByKey(VK_UP);
    view.ScrollByKey(VK_DOWN);
    EXPECT_EQ(view.m_vBar.m_nPos, 39);
    view.ScrollByKey(VK_PRIOR);
    EXPECT_EQ(view.m_vBar.m_nPos, 29);
    view.ScrollByKey(VK_NEXT);
    EXPECT_EQ(view.m_vBar.m_nPos, 39);
}

TEST_F(ConsoleViewWindow, EmptyStorePaintsOnlyTheBackgroundWithBarsDisabled)
{
    view.m_crBack = RGB(10, 20, 30);
    SizeForPage(20, 40);
    Paint();
    HDC hdc = ::GetDC(view.m_hWnd);
    int other = 0;
    for (int y = 0; y < 20 * view.m_nLineHeight; y += 3)
        for (int x = 0; x < 40 * view.m_nCharWidth; x += 3)
            other += ::GetPixel(hdc, x, y) != RGB(10, 20, 30);
    ::ReleaseDC(view.m_hWnd, hdc);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(view.m_vBar.m_nPos, 0);
    EXPECT_EQ(view.m_hBar.m_nPos, 0);
    SCROLLBARINFO sbi = {};
    sbi.cbSize = sizeof sbi;
    ASSERT_TRUE(::GetScrollBarInfo(view.m_vBar.m_hWnd, OBJID_CLIENT, &sbi));
    EXPECT_TRUE(sbi.rgstate[0] & STATE_SYSTEM_UNAVAILABLE);
}

TEST_F(ConsoleViewWindow, PaintsEachCodeInItsColour)
{
    SizeForPage(20, 40);
    view.Print("WWWWWWWWWW");
    view.Print("\x01WWWWWWWWWW");
    view.Print("\x03WWWWWWWWWW");
    view.Print("\x02WWWWWWWWWW");
    view.Print("");
    Paint();
    EXPECT_TRUE(LineHasColour(0, 10, 0xF0F0F0)) << "plain text";
    EXPECT_TRUE(LineHasColour(1, 10, view.m_crError));
    EXPECT_TRUE(LineHasColour(2, 10, view.m_crEcho));
    EXPECT_TRUE(LineHasColour(3, 10, view.m_crInfo));
    EXPECT_FALSE(LineHasColour(1, 10, 0xF0F0F0)) << "an error line has no plain text";
    EXPECT_FALSE(LineHasColour(4, 40, 0xF0F0F0)) << "an empty line stays background";
    EXPECT_EQ(LinePixel(0, 39 * view.m_nCharWidth), view.m_crBack);
}

TEST_F(ConsoleViewWindow, TabTakesOneBlankCell)
{
    SizeForPage(20, 40);
    view.Print("emulator-5554\tdevice");
    Paint();
    HDC hdc = ::GetDC(view.m_hWnd);
    int lit = 0, litTab = 0;
    for (int y = 0; y < view.m_nLineHeight; ++y) {
        for (int x = 0; x < view.m_nCharWidth; ++x) {
            lit += ::GetPixel(hdc, 12 * view.m_nCharWidth + x, y) != view.m_crBack;   // the '4'
            litTab += ::GetPixel(hdc, 13 * view.m_nCharWidth + x, y) != view.m_crBack;
        }
    }
    ::ReleaseDC(view.m_hWnd, hdc);
    EXPECT_GT(lit, 0);
    EXPECT_EQ(litTab, 0);
    EXPECT_TRUE(LineHasColour(0, 20, view.m_crText)) << "the text after the tab is drawn";
}

TEST_F(ConsoleViewWindow, EchoLinesUseTheItalicFontAndHideTheirCode)
{
    view.Print("\x03" "cmd");
    view.Print("\x05" "five");
    CLineDrawInfo info = { 0, 0, 0, view.m_crBack, view.m_crText, &view.m_font, nullptr, 0 };
    view.GetLineAttributes(&info);
    EXPECT_EQ(info.pFont, &view.m_fontItalic);
    EXPECT_STREQ(info.pszText, "cmd");
    EXPECT_EQ(info.crText, view.m_crEcho);
    CLineDrawInfo five = { 1, 0, 0, view.m_crBack, view.m_crText, &view.m_font, nullptr, 0 };
    view.GetLineAttributes(&five);
    EXPECT_EQ(five.pFont, &view.m_font);
    EXPECT_STREQ(five.pszText, "\x05" "five") << "codes 4 to 7 are drawn as characters";
    EXPECT_EQ(five.crText, view.m_crText);
    CLineDrawInfo none = { 7, 0, 0, view.m_crBack, view.m_crText, &view.m_font, nullptr, 0 };
    view.GetLineAttributes(&none);
    EXPECT_EQ(none.pszText, nullptr);
}

TEST_F(ConsoleViewWindow, MarkedLinesGetTheMarkBackgroundAcrossTheWidth)
{
    SizeForPage(20, 40);
    FillLines(5);
    view.m_nMarkFirst = 1;
    view.m_nMarkLast = 2;
    Paint();
    int right = 39 * view.m_nCharWidth;
    EXPECT_EQ(LinePixel(0, right), view.m_crBack);
    EXPECT_EQ(LinePixel(1, right), view.m_crMarkBack);
    EXPECT_EQ(LinePixel(2, right), view.m_crMarkBack);
    EXPECT_EQ(LinePixel(3, right), view.m_crBack);
}

TEST_F(ConsoleViewWindow, FindMatchIsDrawnInItsColoursOverTheMark)
{
    SizeForPage(20, 40);
    view.Print("\x01" "0123456789");
    view.m_nMarkFirst = view.m_nMarkLast = 0;
    view.m_finder.SetPattern("345");
    view.m_finder.m_nLine = 0;
    view.m_finder.m_nColumn = 4;   // the code byte counts: "345" stands at screen column 3
    Paint();
    int y = view.m_nLineHeight / 2;
    EXPECT_EQ(WindowPixel(view.m_hWnd, 3 * view.m_nCharWidth + 1, 1), view.m_crFindBack);
    EXPECT_EQ(WindowPixel(view.m_hWnd, 6 * view.m_nCharWidth - 1, 1), view.m_crFindBack);
    EXPECT_EQ(WindowPixel(view.m_hWnd, 6 * view.m_nCharWidth + 1, 1), view.m_crMarkBack);
    EXPECT_EQ(WindowPixel(view.m_hWnd, 3 * view.m_nCharWidth - 1, y), view.m_crMarkBack);
    EXPECT_TRUE(LineHasColour(0, 10, view.m_crFindText));
}

// The text area's pixels as the window shows them.
std::vector<COLORREF> CaptureTextArea(CConsoleView& v)
{
    RECT rc;
    v.GetTextRect(&rc);
    return CaptureMemoryDC(v.m_hWnd, rc.right, rc.bottom);
}

// The visible lines painted as the view always painted them: every
// character by itself, one ExtTextOutA each, at its cell of the grid.
std::vector<COLORREF> PaintCharByChar(CTestView& v)
{
    RECT rc;
    v.GetTextRect(&rc);
    return CaptureMemoryDC(v.m_hWnd, rc.right, rc.bottom, [&](HDC hMem) {
        HBRUSH hBack = ::CreateSolidBrush(v.m_crBack);
        ::FillRect(hMem, &rc, hBack);
        ::DeleteObject(hBack);
        ::SetBkMode(hMem, TRANSPARENT);
        for (int i = 0; i <= v.m_vBar.m_nPage; ++i) {
            CLineDrawInfo info = { v.m_vBar.m_nPos + i, v.m_hBar.m_nPos, v.m_hBar.m_nPos, v.m_crBack, v.m_crText, &v.m_font, nullptr, 0 };
            v.GetLineAttributes(&info);
            RECT line = v.GetLineRect(info.nLine);
            if (info.crBack != v.m_crBack) {
                HBRUSH hBrush = ::CreateSolidBrush(info.crBack);
                ::FillRect(hMem, &line, hBrush);
                ::DeleteObject(hBrush);
            }
            if (!info.pszText)
                continue;
            ::SelectObject(hMem, info.pFont->m_hObject);
            ::SetTextColor(hMem, info.crText);
            const int nLength = int(strlen(info.pszText));
            int x = (info.nColumn - v.m_hBar.m_nPos) * v.m_nCharWidth;
            for (int c = info.nFirstChar; c < nLength && x < line.right; ++c, x += v.m_nCharWidth) {
                RECT cell = line;
                cell.left = x;
                if (info.pszText[c] != '\t')
                    ::ExtTextOutA(hMem, x, line.top, 0, &cell, info.pszText + c, 1, nullptr);
            }
        }
    });
}

// Lines of every kind: codes 1, 2, 3 and 5, tabs, letters above 127,
// lengths from empty to wider than the window.
std::string MixedLine(std::mt19937& rng)
{
    std::string s;
    const unsigned nKind = rng() % 10;
    if (nKind < 3)
        s += char(1 + nKind);
    else if (nKind == 3)
        s += char(5);
    const int nLen = int(rng() % 130);
    for (int i = 0; i < nLen; ++i) {
        const unsigned r = rng() % 40;
        s += r == 0 ? '\t' : r == 1 ? char(0xC0 + rng() % 64) : char(0x21 + rng() % 94);
    }
    return s;
}

size_t Differences(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b)
{
    size_t n = a.size() == b.size() ? 0 : 1 + (a.size() > b.size() ? a.size() : b.size());
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        n += a[i] != b[i];
    return n;
}

} // namespace

TEST_F(ConsoleViewWindow, ScreenFontOfAPaintCanBeReplacedAndDeleted)
{
    SizeForPage(10, 40);
    FillLines(5);
    view.Print("\x03" "echo");
    Paint();
    HFONT hOld = view.m_font.m_hObject;
    HFONT hOldItalic = view.m_fontItalic.m_hObject;
    // A font still selected in a device context cannot be deleted.
    HGDIOBJ hSelected = ::GetCurrentObject(view.m_offscreen.m_hDC, OBJ_FONT);
    EXPECT_NE(hSelected, HGDIOBJ(hOld)) << "the screen font is left in the off-screen context";
    EXPECT_NE(hSelected, HGDIOBJ(hOldItalic));
    ASSERT_EQ(DWORD(OBJ_FONT), ::GetObjectType(hOld));
    ASSERT_EQ(DWORD(OBJ_FONT), ::GetObjectType(hOldItalic));
    view.SetScreenFont("Courier", 12);
    EXPECT_EQ(0u, ::GetObjectType(hOld)) << "the painted font is still selected somewhere and lives on";
    EXPECT_EQ(0u, ::GetObjectType(hOldItalic));
    Paint();
    EXPECT_EQ(DWORD(OBJ_FONT), ::GetObjectType(view.m_font.m_hObject));
}

// A full store of 4 MiB scrolled to its start, middle and end (and a few
// columns to the right) paints what a small store holding only the visible
// lines paints, and both paint what drawing character by character gives.
TEST_F(ConsoleViewWindow, FullStorePaintsTheSamePixelsAsASmallStoreAndCharByChar)
{
    SizeForPage(20, 60);
    view.m_store.Resize(4 << 20);
    std::mt19937 rng(5);
    std::vector<std::string> lines;
    int nDropped = 0;
    for (;;) {
        lines.push_back(MixedLine(rng));
        const int n = view.m_store.StoreLine(lines.back().c_str(), false);
        ASSERT_GE(n, 0);
        nDropped += n;
        if (n > 0 && lines.size() > 100000)
            break;
    }
    lines.erase(lines.begin(), lines.begin() + nDropped);
    const int nCount = view.m_store.CountLines();
    ASSERT_EQ(size_t(nCount), lines.size());
    view.m_bFollow = false;
    const int nPage = view.m_vBar.m_nPage;
    for (int nTop : { 0, nCount / 2, nCount - nPage }) {
        for (int nColumn : { 0, 7 }) {
            SCOPED_TRACE("top " + std::to_string(nTop) + " column " + std::to_string(nColumn));
            view.m_store.Resize(4 << 20);
            view.m_store.Clear();
            for (const std::string& line : lines)
                view.m_store.StoreLine(line.c_str(), false);
            view.m_nMarkFirst = nTop + 2;
            view.m_nMarkLast = nTop + 4;
            ShowAt(nTop, nColumn);
            ASSERT_EQ(view.m_vBar.m_nPos, nTop);
            ASSERT_EQ(view.m_hBar.m_nPos, nColumn);
            const std::vector<COLORREF> full = CaptureTextArea(view);

            view.m_store.Resize(8192);
            view.m_store.Clear();
            for (int i = nTop; i <= nTop + nPage && i < nCount; ++i)
                view.m_store.StoreLine(lines[size_t(i)].c_str(), false);
            // Below the page (or blank): keeps the columns' range as wide as
            // the full store's, so that the horizontal position stays.
            view.m_store.StoreLine(std::string(200, ' ').c_str(), false);
            view.m_nMarkFirst = 2;
            view.m_nMarkLast = 4;
            ShowAt(0, nColumn);
            ASSERT_EQ(view.m_hBar.m_nPos, nColumn);
            const std::vector<COLORREF> small = CaptureTextArea(view);
            EXPECT_EQ(Differences(full, small), 0u);
            EXPECT_EQ(Differences(small, PaintCharByChar(view)), 0u);
        }
    }
}

// Scrolled five columns to the right, the view paints what it paints at
// column 0 for the same lines without their first five characters: the
// text and the find colours alike.
TEST_F(ConsoleViewWindow, HorizontalPositionMovesTextAndFindColoursAlike)
{
    SizeForPage(10, 30);
    const std::string strLong = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ";
    auto show = [&](int nCut, int nPos) {
        view.m_store.Clear();
        view.Print(("\x01" + strLong.substr(size_t(nCut))).c_str());
        view.Print(strLong.substr(size_t(nCut)).c_str());
        view.m_bFollow = false;
        view.m_finder.SetPattern("mno");
        view.m_finder.m_nLine = 0;
        view.m_finder.m_nColumn = 13 - nCut; // the code byte counts
        ShowAt(0, nPos);
        EXPECT_EQ(view.m_hBar.m_nPos, nPos);
        return CaptureTextArea(view);
    };
    const std::vector<COLORREF> scrolled = show(0, 5);
    const std::vector<COLORREF> cut = show(5, 0);
    EXPECT_EQ(Differences(scrolled, cut), 0u);
    EXPECT_NE(std::count(cut.begin(), cut.end(), view.m_crFindBack), 0) << "no find colours to compare";
}

TEST_F(ConsoleViewWindow, ScreenFontHasTheCharacterSetOfTheAnsiCodePageAndAFixedPitch)
{
    // The character set of each ANSI code page, as the system names them.
    struct { UINT nCodePage; BYTE nCharSet; } const kSets[] = {
        { 1252, ANSI_CHARSET }, { 1251, RUSSIAN_CHARSET }, { 1250, EASTEUROPE_CHARSET },
        { 936, GB2312_CHARSET }, { 932, SHIFTJIS_CHARSET }, { 949, HANGUL_CHARSET }, { 950, CHINESEBIG5_CHARSET },
        // UTF-8 has no character set: the system picks a font per letter.
        { CP_UTF8, DEFAULT_CHARSET },
    };
    int nWant = -1;
    for (const auto& set : kSets)
        if (set.nCodePage == ::GetACP())
            nWant = set.nCharSet;
    ASSERT_GE(nWant, 0) << "no character set known here for code page " << ::GetACP();
    for (CFont* pFont : { &view.m_font, &view.m_fontItalic }) {
        LOGFONTA lf = {};
        ASSERT_EQ(::GetObjectA(pFont->m_hObject, sizeof(lf), &lf), int(sizeof(lf)));
        EXPECT_EQ(lf.lfCharSet, nWant);
        EXPECT_EQ(lf.lfPitchAndFamily, FIXED_PITCH | FF_MODERN);
        EXPECT_STREQ(lf.lfFaceName, "Courier");
        // The font the system made of it draws that character set.
        HDC hdc = ::GetDC(nullptr);
        HGDIOBJ hOld = ::SelectObject(hdc, pFont->m_hObject);
        if (nWant != DEFAULT_CHARSET) {
            EXPECT_EQ(::GetTextCharset(hdc), nWant);
        }
        ::SelectObject(hdc, hOld);
        ::ReleaseDC(nullptr, hdc);
    }
}

namespace {
// Pixels of a visible line's cell that differ from the background.
int CellInk(CConsoleView& v, int nRow, int nColumn)
{
    HDC hdc = ::GetDC(v.m_hWnd);
    int n = 0;
    for (int y = nRow * v.m_nLineHeight; y < (nRow + 1) * v.m_nLineHeight; ++y)
        for (int x = nColumn * v.m_nCharWidth; x < (nColumn + 1) * v.m_nCharWidth; ++x)
            n += ::GetPixel(hdc, x, y) != v.m_crBack;
    ::ReleaseDC(v.m_hWnd, hdc);
    return n;
}

// The first and last cell of a visible line that show colour c, or -1.
std::pair<int, int> CellsOfColour(CConsoleView& v, int nRow, COLORREF c)
{
    HDC hdc = ::GetDC(v.m_hWnd);
    std::pair<int, int> cells(-1, -1);
    const int y = nRow * v.m_nLineHeight + 1;
    for (int x = 0; x < v.m_hBar.m_nPage * v.m_nCharWidth; ++x) {
        if (::GetPixel(hdc, x, y) == c) {
            if (cells.first < 0)
                cells.first = x / v.m_nCharWidth;
            cells.second = x / v.m_nCharWidth;
        }
    }
    ::ReleaseDC(v.m_hWnd, hdc);
    return cells;
}
}

TEST_F(ConsoleViewWindow, Utf8LettersTakeOneCellEastAsianWideLettersTwo)
{
    view.SetLetters(CP_UTF8);
    SizeForPage(20, 40);
    // Three Cyrillic letters, a blank, two Chinese ones and "!": 9 cells of 14 bytes.
    view.PrintAnsi("\xD0\x9F\xD1\x80\xD0\xB8 \xE4\xB8\xAD\xE6\x96\x87!");
    view.PrintAnsi("ab");
    Paint();
    EXPECT_EQ(view.m_hBar.m_nRange, 9) << "the longest line in cells";
    EXPECT_GT(CellInk(view, 0, 8), 0) << "the '!' stands in cell 8";
    for (int c = 9; c < 14; ++c)
        EXPECT_EQ(CellInk(view, 0, c), 0) << "nothing is drawn byte by byte, cell " << c;
    // The find colours cover the letters' cells, not their bytes.
    view.m_finder.SetPattern("\xE6\x96\x87!");
    view.FindNext();
    Paint();
    EXPECT_EQ(CellsOfColour(view, 0, view.m_crFindBack), std::make_pair(6, 8));
}

TEST_F(ConsoleViewWindow, ScrolledOntoTheSecondHalfOfAWideLetterTheLineStartsWithTheNextLetter)
{
    SizeForPage(20, 40);
    // UTF-8, where a wide letter is three bytes and two cells, and a
    // double-byte code page, where it is two of each; the bytes draw
    // something in any locale, so a half letter would leave ink.
    for (UINT nCodePage : { UINT(CP_UTF8), 936u }) {
        view.m_store.Clear();
        view.SetLetters(nCodePage);
        const std::string strWide = nCodePage == CP_UTF8 ? "\xE4\xB8\xAD" : "\xD6\xD0";
        std::string strLine = "x";
        for (int i = 0; i < 40; ++i)
            strLine += strWide + "b";
        view.PrintAnsi(strLine.c_str());
        view.PrintAnsi(("b" + strWide + "b").c_str());
        ShowAt(0, 2);
        ASSERT_EQ(view.m_hBar.m_nPos, 2) << nCodePage;
        EXPECT_EQ(CellInk(view, 0, 0), 0) << nCodePage << ": no half letter in the first column";
        EXPECT_GT(CellInk(view, 0, 1), 0) << nCodePage << ": the 'b' after it stands in the second";
        EXPECT_EQ(CellInk(view, 1, 0), 0) << nCodePage;
        EXPECT_GT(CellInk(view, 1, 1), 0) << nCodePage;
        ShowAt(0, 1);
        EXPECT_GT(CellInk(view, 1, 0), 0) << nCodePage << ": a whole letter from the first column";
    }
}
