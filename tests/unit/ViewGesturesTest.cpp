// What the user does with the screen's text, on the real view inside the
// main window: middle clicks that mark, Ctrl with a middle click that copies
// (read back as the clipboard's raw bytes), double clicks that pick a word
// into the command line, F3 and Shift-F3 through the command line, the
// scrolling to a match, and F4.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/AllocFailure.h"
#include "support/MainWndFixture.h"

namespace {

const char kSentinel[] = "clipboard before";

class ViewGestures : public MainWndFixture {
protected:
    CConsoleView& View() { return main.m_view; }

    void Paint() { ::RedrawWindow(View().m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

    void PrintLines(std::initializer_list<std::string> lines)
    {
        for (const std::string& s : lines)
            View().Print(s.c_str());
        Paint();
    }

    // A mouse message on a text line (index into the store) and a screen column.
    void Mouse(UINT nMsg, int nLine, int nColumn, WPARAM flags)
    {
        int y = (nLine - View().m_vBar.m_nPos) * View().m_nLineHeight + View().m_nLineHeight / 2;
        int x = nColumn * View().m_nCharWidth + View().m_nCharWidth / 2;
        View().SendMessage(nMsg, flags, MAKELPARAM(x, y));
    }
    void Middle(int nLine) { Mouse(WM_MBUTTONDOWN, nLine, 0, MK_MBUTTON); }
    // Marks the lines from nFirst to nLast: a click on each end.
    void MarkLines(int nFirst, int nLast)
    {
        Middle(nFirst);
        Middle(nLast);
    }
    void CtrlMiddle(int nLine = 0) { Mouse(WM_MBUTTONDOWN, nLine, 0, MK_MBUTTON | MK_CONTROL); }
    void DoubleClick(int nLine, int nColumn) { Mouse(WM_LBUTTONDBLCLK, nLine, nColumn, MK_LBUTTON); }

    std::pair<int, int> Mark() const { return { main.m_view.m_nMarkFirst, main.m_view.m_nMarkLast }; }
    std::pair<int, int> Match() const { return { main.m_view.m_finder.m_nLine, main.m_view.m_finder.m_nColumn }; }

    // The clipboard after a copy gesture; kSentinel when nothing was copied.
    std::string CopyOf(const std::function<void()>& gesture)
    {
        PutClipboardText(kSentinel);
        gesture();
        std::string bytes;
        bool bTerminated = false;
        EXPECT_TRUE(GetClipboardText(bytes, &bTerminated) && bTerminated) << "the text ends in a zero inside its block";
        return bytes;
    }

    // Word pick into an empty command line.
    std::string Pick(int nLine, int nColumn)
    {
        ::SetWindowTextA(Edit(), "");
        DoubleClick(nLine, nColumn);
        return EditText();
    }

    // Sizes the view so that exactly nLines lines and nColumns columns fit.
    void SizeForPage(int nLines, int nColumns)
    {
        int cx = nColumns * View().m_nCharWidth + ::GetSystemMetrics(SM_CXVSCROLL);
        int cy = nLines * View().m_nLineHeight + ::GetSystemMetrics(SM_CYHSCROLL);
        View().MoveWindow(0, 0, cx, cy, TRUE);
        ASSERT_EQ(View().m_vBar.m_nPage, nLines);
        ASSERT_EQ(View().m_hBar.m_nPage, nColumns);
    }
};

} // namespace

TEST_F(ViewGestures, MiddleClicksMarkALineExtendTheMarkAndClearIt)
{
    for (int i = 0; i < 12; ++i)
        View().PrintF("line %d", i);
    Paint();
    Middle(5);
    EXPECT_EQ(Mark(), std::make_pair(5, 5));
    Middle(9);
    EXPECT_EQ(Mark(), std::make_pair(5, 9));
    Middle(7);
    EXPECT_EQ(Mark(), std::make_pair(-1, -1));

    Middle(9);
    Middle(5);
    EXPECT_EQ(Mark(), std::make_pair(5, 9)) << "the mark extends upwards too";
    Middle(5);
    EXPECT_EQ(Mark(), std::make_pair(-1, -1));

    Middle(3);
    Middle(3);
    EXPECT_EQ(Mark(), std::make_pair(3, 3)) << "a second click on the marked line keeps one line";
    Middle(4);
    EXPECT_EQ(Mark(), std::make_pair(3, 4));
    Middle(0);
    EXPECT_EQ(Mark(), std::make_pair(-1, -1));
    Middle(14);
    EXPECT_EQ(Mark(), std::make_pair(14, 14)) << "a line below the last one can be marked";
}

TEST_F(ViewGestures, CtrlMiddleClickCopiesTheMarkedLinesWithTheirCodeMarks)
{
    View().Print("a");
    View().PrintF("%cerr", 1);
    View().PrintF("%ccmd", 3);
    Paint();
    MarkLines(1, 2);
    EXPECT_EQ(CopyOf([&] { CtrlMiddle(0); }), "!err\r\n>cmd");
    EXPECT_EQ(Mark(), std::make_pair(1, 2)) << "copying leaves the mark";

    Middle(0);
    ASSERT_EQ(Mark(), std::make_pair(-1, -1));
    EXPECT_EQ(CopyOf([&] { CtrlMiddle(); }), "a\r\n!err\r\n>cmd") << "no mark: every line, CR LF between them";

    // Another program holding the clipboard for a moment delays the copy;
    // it does not lose it.
    EXPECT_EQ(CopyOf([&] {
        HANDLE hOpen = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::thread holder([hOpen] {
            // Opened for a window of its own, as another program does.
            HWND hWnd = ::CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
            const bool bOpen = hWnd && ::OpenClipboard(hWnd);
            ::SetEvent(hOpen);
            if (bOpen) {
                ::Sleep(40);
                ::CloseClipboard();
            }
            if (hWnd)
                ::DestroyWindow(hWnd);
        });
        ::WaitForSingleObject(hOpen, INFINITE);
        CtrlMiddle();
        holder.join();
        ::CloseHandle(hOpen);
    }),
              "a\r\n!err\r\n>cmd");
}

TEST_F(ViewGestures, OutputGoesOnWhileTheClipboardsOwnerKeepsTheCopyWaiting)
{
    PrintLines({ "a", "b" });
    // Another program owns the clipboard and, for a while, answers none of
    // the messages sent to it: emptying the clipboard sends it one.
    HANDLE hSent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hAnswer = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hOwned = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        HWND hWnd = ::CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        HGLOBAL hText = ::GlobalAlloc(GMEM_MOVEABLE, 6);
        if (char* p = static_cast<char*>(::GlobalLock(hText))) {
            memcpy(p, "owned", 6);
            ::GlobalUnlock(hText);
        }
        if (hWnd && WaitUntil([&] { return ::OpenClipboard(hWnd) != FALSE; }, 3000)) {
            ::EmptyClipboard();
            ::SetClipboardData(CF_TEXT, hText);
            ::CloseClipboard();
        }
        ::SetEvent(hOwned);
        // Waits, without answering, until a message is sent to this thread.
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20000, QS_SENDMESSAGE) == WAIT_OBJECT_0)
            ::SetEvent(hSent);
        ::WaitForSingleObject(hAnswer, 20000);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        if (hWnd)
            ::DestroyWindow(hWnd);
    });
    ::WaitForSingleObject(hOwned, 20000);
    std::thread copier([&] { View().CopyToClipboard(); });
    const bool bSent = ::WaitForSingleObject(hSent, 20000) == WAIT_OBJECT_0;
    std::atomic<bool> bPrinted{ false };
    std::thread printer([&] {
        View().Print("output meanwhile");
        bPrinted = true;
    });
    const bool bGoesOn = WaitUntil([&] { return bPrinted.load(); }, 3000);
    ::SetEvent(hAnswer);
    printer.join();
    copier.join();
    owner.join();
    ::CloseHandle(hSent);
    ::CloseHandle(hAnswer);
    ::CloseHandle(hOwned);
    ASSERT_TRUE(bSent) << "the copy never sent the owner its message";
    EXPECT_TRUE(bGoesOn) << "output waited while the copy waited for another program";
    std::string bytes;
    EXPECT_TRUE(GetClipboardText(bytes));
    EXPECT_EQ(bytes, "a\r\nb");
}

TEST_F(ViewGestures, CopyOfEverythingWhileACommandRunsCopiesNothing)
{
    Type("--sim-sleep 20000");
    ASSERT_TRUE(PumpKeysUntil([] { return g_bBusy.load(); }));
    Paint();
    EXPECT_EQ(CopyOf([&] { CtrlMiddle(); }), kSentinel);
    Middle(0);
    EXPECT_EQ(CopyOf([&] { CtrlMiddle(); }), ">adb --sim-sleep 20000") << "a mark may be copied while busy";
    Press(VK_ESCAPE);
}

TEST_F(ViewGestures, MarkNamingMissingLinesCopiesOnlyTheLinesThatExist)
{
    PrintLines({ "a", "b", "c" });
    MarkLines(1, 10);
    ASSERT_EQ(Mark(), std::make_pair(1, 10));
    EXPECT_EQ(CopyOf([&] { CtrlMiddle(); }), "b\r\nc");

    Middle(0);
    Middle(7);
    Middle(9);
    ASSERT_EQ(Mark(), std::make_pair(7, 9));
    EXPECT_EQ(CopyOf([&] { CtrlMiddle(); }), kSentinel) << "no marked line exists";

    Middle(0);
    Middle(0);
    Middle(1);
    ASSERT_EQ(Mark(), std::make_pair(0, 1));
    Press(VK_F4);
    EXPECT_EQ(Mark(), std::make_pair(0, 1));
    EXPECT_EQ(CopyOf([&] { CtrlMiddle(); }), kSentinel) << "an empty screen copies nothing";
    PrintLines({ "z" });
    EXPECT_EQ(CopyOf([&] { CtrlMiddle(); }), "z");
}

TEST_F(ViewGestures, CopyOfAFullStoreNeedsNoSecondCopyOfIt)
{
    // About 2 MB of lines, each with a code byte that the copy rewrites.
    std::string expected;
    const std::string body(200, 'w');
    for (int i = 0; i < 10000; ++i) {
        View().PrintF("%c%05d%s", CODE_INFO, i, body.c_str());
        if (i > 0)
            expected += "\r\n";
        char szNumber[8];
        snprintf(szNumber, sizeof szNumber, "%05d", i);
        expected += "." + std::string(szNumber) + body;
    }
    // Each CR LF stands for one terminator.
    ASSERT_EQ(View().m_store.m_nUsed, int(expected.size()) + 1 - 9999) << "nothing was dropped";
    Paint();
    std::string copied = CopyOf([&] {
        // Nothing of the store's size can be had from the C++ heap now; a
        // failure would have had to stay inside the window procedure.
        CFailLargeAllocations guard(1 << 20);
        CtrlMiddle();
        EXPECT_EQ(CFailLargeAllocations::Refused(), 0u);
    });
    EXPECT_EQ(copied.size(), expected.size());
    EXPECT_TRUE(copied == expected) << "the copy differs from the store's text";
}

TEST_F(ViewGestures, DoubleClickPutsASpaceAndTheWordIntoTheCommandLine)
{
    PrintLines({ "adb devices", "x=1 key:value", "\x03" "adb shell ls" });
    EXPECT_EQ(Pick(0, 1), " adb");
    EXPECT_EQ(Pick(0, 3), "  ") << "on a delimiter: two spaces";
    EXPECT_EQ(Pick(0, 40), "  ") << "beyond the end of the line: two spaces";
    EXPECT_EQ(Pick(1, 0), " x");
    EXPECT_EQ(Pick(1, 10), " value");
    EXPECT_EQ(Pick(2, 0), " adb") << "the code byte is not on the screen and not in the word";
    EXPECT_EQ(Pick(2, 5), " shell");
    EXPECT_EQ(Pick(5, 0), "") << "below the last line nothing is picked";

    ::SetWindowTextA(Edit(), "run ");
    ::SendMessageA(Edit(), EM_SETSEL, 4, 4);
    DoubleClick(0, 5);
    EXPECT_EQ(EditText(), "run  devices") << "inserted at the caret";
    ::SendMessageA(Edit(), EM_SETSEL, 0, 3);
    DoubleClick(0, 0);
    EXPECT_EQ(EditText(), " adb  devices") << "the selection is replaced";
    ::SendMessageA(Edit(), EM_UNDO, 0, 0);
    EXPECT_EQ(EditText(), "run  devices") << "the pick can be undone";
}

TEST_F(ViewGestures, CopyCarriesUnicodeTextAndTheSystemLocaleBesideTheAnsiText)
{
    // What a Unicode program pastes must be the letters shown, whatever
    // keyboard layout is active: the copy says so itself.
    View().PrintAnsi("caf\xE9 \x80");
    View().PrintF("%cerr", 1);
    Paint();
    const std::string strAnsi = CopyOf([&] { CtrlMiddle(); });
    EXPECT_EQ(strAnsi, "caf\xE9 \x80\r\n!err");
    std::wstring strWide;
    LCID lcid = 0;
    ASSERT_TRUE(GetClipboardUnicode(strWide, &lcid));
    EXPECT_TRUE(strWide == WideOfAnsi(strAnsi));
    EXPECT_EQ(lcid, ::GetSystemDefaultLCID());
    if (::GetACP() == 1252) {
        EXPECT_TRUE(strWide == L"caf\x00E9 \x20AC\r\n!err");
    }
}

TEST_F(ViewGestures, InUtf8ADoubleClickOnAnyCellOfALetterPicksItsWord)
{
    View().SetLetters(CP_UTF8);
    SizeForPage(20, 40);
    // ab, a blank, two wide letters (cells 3 to 6), a blank, two Cyrillic ones.
    View().PrintAnsi("ab \xE4\xB8\xAD\xE6\x96\x87 \xD0\x9F\xD1\x80");
    Paint();
    EXPECT_EQ(Pick(0, 4), " \xE4\xB8\xAD\xE6\x96\x87") << "the second half of a wide letter";
    EXPECT_EQ(Pick(0, 6), " \xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(Pick(0, 7), "  ");
    EXPECT_EQ(Pick(0, 9), " \xD0\x9F\xD1\x80");
    EXPECT_EQ(Pick(0, 10), "  ") << "past the last letter, not past the last byte";
}

TEST_F(ViewGestures, DoubleClickCountsTheHorizontalScrollPosition)
{
    SizeForPage(20, 40);
    PrintLines({ "abc xyz " + std::string(100, '-') });
    View().m_hBar.SetPos(4);
    ASSERT_EQ(View().m_hBar.m_nPos, 4);
    EXPECT_EQ(Pick(0, 0), " xyz");
    EXPECT_EQ(Pick(0, 4), " " + std::string(100, '-'));
}

TEST_F(ViewGestures, DoubleClickBeforeTheNextPaintPicksFromTheLineTheScreenShows)
{
    SizeForPage(10, 40);
    View().m_store.Resize(50 * 8 + 1);   // room for exactly 50 lines "word%02d"
    for (int i = 0; i < 50; ++i)
        View().PrintF("word%02d", i);
    Paint();
    ASSERT_EQ(View().m_vBar.m_nPos, 40);
    for (int i = 50; i < 55; ++i)
        View().PrintF("word%02d", i);
    // Five lines went, and no paint has renumbered the screen yet.
    EXPECT_EQ(Pick(40, 1), " word40");
    EXPECT_EQ(Pick(49, 1), " word49");
}

TEST_F(ViewGestures, AVeryLongWordIsFoundFromAnyOfItsColumns)
{
    SizeForPage(20, 40);
    const std::string word(5000, 'w');
    PrintLines({ "ab " + word + " cd" });
    View().m_hBar.SetPos(4980);
    ASSERT_EQ(View().m_hBar.m_nPos, 5006 - 40);
    EXPECT_EQ(Pick(0, 10), " " + word.substr(0, 2047)) << "the command line holds its 2048 characters";
    ::SendMessageA(Edit(), EM_LIMITTEXT, 0, 0);
    std::string picked = Pick(0, 10);
    EXPECT_EQ(picked.size(), word.size() + 1);
    EXPECT_EQ(picked, " " + word) << "the whole word, found from a column near its end";
}

TEST_F(ViewGestures, F3AndShiftF3FindMatchesIgnoringCaseAndWrap)
{
    PrintLines({ "Abc", "xabcx" });
    View().m_finder.SetPattern("ABC");
    Press(VK_F3);
    EXPECT_EQ(Match(), std::make_pair(0, 0));
    EXPECT_FALSE(View().m_bFollow);
    Press(VK_F3);
    EXPECT_EQ(Match(), std::make_pair(1, 1));
    Press(VK_F3);
    EXPECT_EQ(Match(), std::make_pair(-1, -1)) << "no further match: beep and no position";
    Press(VK_F3);
    EXPECT_EQ(Match(), std::make_pair(0, 0)) << "the search wraps";
    Press(VK_F3);
    Press(VK_F3, false, true);
    EXPECT_EQ(Match(), std::make_pair(0, 0)) << "Shift-F3 goes back from the second match";

    View().m_finder.SetPattern("abcdefgh");
    Press(VK_F3);
    EXPECT_EQ(Match(), std::make_pair(-1, -1)) << "a pattern longer than every line";
}

TEST_F(ViewGestures, SearchesStayInsideTheMark)
{
    PrintLines({ "0 pat", "1 pat", "2 pat", "3 pat" });
    MarkLines(1, 2);
    View().m_finder.SetPattern("pat");
    Press(VK_F3);
    EXPECT_EQ(Match(), std::make_pair(1, 2));
    Press(VK_F3);
    EXPECT_EQ(Match(), std::make_pair(2, 2));
    Press(VK_F3);
    EXPECT_EQ(Match(), std::make_pair(-1, -1));
    Press(VK_F3, false, true);
    EXPECT_EQ(Match(), std::make_pair(2, 2)) << "backward starts at the mark's last line";
    Press(VK_F3, false, true);
    EXPECT_EQ(Match(), std::make_pair(1, 2));
    Press(VK_F3, false, true);
    EXPECT_EQ(Match(), std::make_pair(-1, -1));
}

TEST_F(ViewGestures, ShiftF3WithAMarkReachingBelowTheLastLineStartsAtTheLastLine)
{
    PrintLines({ "0 pat", "1 pat", "2 pat", "3 pat" });
    MarkLines(1, 12);
    ASSERT_EQ(Mark(), std::make_pair(1, 12));
    View().m_finder.SetPattern("pat");
    Press(VK_F3, false, true);
    EXPECT_EQ(Match(), std::make_pair(3, 2)) << "the last stored line inside the mark";
    Press(VK_F3, false, true);
    EXPECT_EQ(Match(), std::make_pair(2, 2));
    Press(VK_F3, false, true);
    EXPECT_EQ(Match(), std::make_pair(1, 2));
    Press(VK_F3, false, true);
    EXPECT_EQ(Match(), std::make_pair(-1, -1)) << "the line above the mark is not searched";

    Middle(0);
    Middle(7);
    Middle(9);
    ASSERT_EQ(Mark(), std::make_pair(7, 9));
    Press(VK_F3, false, true);
    EXPECT_EQ(Match(), std::make_pair(-1, -1)) << "no marked line exists: no line outside the mark is searched";
}

TEST_F(ViewGestures, MatchInLinesPrintedSinceTheLastPaintIsScrolledToAll)
{
    SizeForPage(30, 40);
    PrintLines({ "first" });
    // These lines arrive without a paint in between, as output does while
    // the user presses F3.
    for (int i = 1; i < 100; ++i)
        View().PrintF(i == 60 ? "line %d MATCH" : "line %d", i);
    View().m_finder.SetPattern("match");
    Press(VK_F3);
    ASSERT_EQ(Match(), std::make_pair(60, 8));
    EXPECT_EQ(View().m_vBar.m_nPos, 60 - 10) << "a third down the screen, not clamped to the old range";
}

TEST_F(ViewGestures, FoundMatchIsScrolledAThirdDownAndIntoTheColumns)
{
    SizeForPage(30, 40);
    for (int i = 0; i < 100; ++i) {
        std::string s(100, '.');
        if (i == 50)
            s.replace(50, 5, "MATCH");
        if (i == 60)
            s.replace(10, 5, "MATCH");
        if (i == 95)
            s.replace(34, 5, "MATCH");
        View().Print(s.c_str());
    }
    Paint();
    View().m_finder.SetPattern("match");
    Press(VK_F3);
    ASSERT_EQ(Match(), std::make_pair(50, 50));
    EXPECT_EQ(View().m_vBar.m_nPos, 50 - 10);
    EXPECT_EQ(View().m_hBar.m_nPos, 30) << "50 - 40 / 2";
    Press(VK_F3);
    ASSERT_EQ(Match(), std::make_pair(60, 10));
    EXPECT_EQ(View().m_vBar.m_nPos, 50);
    EXPECT_EQ(View().m_hBar.m_nPos, 0) << "the match fits in the first page of columns";
    Press(VK_F3);
    ASSERT_EQ(Match(), std::make_pair(95, 34));
    EXPECT_EQ(View().m_vBar.m_nPos, 70) << "clamped at the last page";
    EXPECT_EQ(View().m_hBar.m_nPos, 0) << "34 + 5 still fits in 40 columns";
}

TEST_F(ViewGestures, F4EmptiesTheScreenAndTheFindPositionButKeepsPatternAndMark)
{
    PrintLines({ "one", "two", "three" });
    MarkLines(1, 2);
    View().m_finder.SetPattern("t");
    Press(VK_F3);
    ASSERT_EQ(Match(), std::make_pair(1, 0));
    Press(VK_F4);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(Match(), std::make_pair(-1, -1));
    EXPECT_EQ(Mark(), std::make_pair(1, 2));
    EXPECT_EQ(View().m_finder.m_strPattern, CString("t"));
    Press(VK_F3);
    EXPECT_EQ(Match(), std::make_pair(-1, -1)) << "searching an empty screen finds nothing";
    Paint();
}
