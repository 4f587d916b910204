// The Batch of commands dialog opened with Ctrl-B and worked from a second
// thread: its size limit and layout, Clear, Paste, Enter and Escape, the
// text kept between openings, and the batch it hands to the queue.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/MainWndFixture.h"

namespace {

RECT ChildRect(HWND hDlg, int nId)
{
    RECT rc;
    ::GetWindowRect(::GetDlgItem(hDlg, nId), &rc);
    ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::string EditOf(HWND hDlg)
{
    return CDialogDriver::Text(::GetDlgItem(hDlg, IDC_BATCH_EDIT));
}

bool WaitEditText(HWND hDlg, const std::string& s)
{
    return WaitUntil([&] { return EditOf(hDlg) == s; });
}

class BatchDialog : public MainWndFixture {
protected:
    // Opens the dialog with Ctrl-B; fn works it and must close it.
    HWND Open(std::function<void(HWND)> fn)
    {
        CDialogDriver driver("Batch of commands", fn);
        Press('B', true);
        driver.Join();
        return driver.Found();
    }

    // The text the dialog showed when it opened, then Cancel.
    std::string TextOnOpening()
    {
        std::string s = "(not opened)";
        Open([&](HWND h) {
            s = EditOf(h);
            CDialogDriver::Click(h, IDCANCEL);
        });
        return s;
    }
};

} // namespace

TEST_F(BatchDialog, CannotBeMadeSmallerThan384By128)
{
    MINMAXINFO mmi = {};
    RECT rc = {};
    HWND hDlg = Open([&](HWND h) {
        ::SendMessageA(h, WM_GETMINMAXINFO, 0, LPARAM(&mmi));
        ::SetWindowPos(h, nullptr, 0, 0, 100, 50, SWP_NOMOVE | SWP_NOZORDER);
        ::GetWindowRect(h, &rc);
        CDialogDriver::Click(h, IDCANCEL);
    });
    ASSERT_NE(hDlg, nullptr);
    EXPECT_EQ(mmi.ptMinTrackSize.x, 384);
    EXPECT_EQ(mmi.ptMinTrackSize.y, 128);
    EXPECT_EQ(rc.right - rc.left, 384);
    EXPECT_EQ(rc.bottom - rc.top, 128);
}

TEST_F(BatchDialog, ButtonsStayInOneRowAndTheEditFillsTheRestAtAnySize)
{
    struct CLayout {
        RECT client, edit, clear, paste, ok, cancel;
    };
    std::vector<CLayout> seen;
    Open([&](HWND h) {
        for (SIZE size : { SIZE{ 0, 0 }, SIZE{ 384, 128 }, SIZE{ 640, 480 }, SIZE{ 1000, 300 } }) {
            if (size.cx)
                ::SetWindowPos(h, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
            CLayout l;
            ::GetClientRect(h, &l.client);
            l.edit = ChildRect(h, IDC_BATCH_EDIT);
            l.clear = ChildRect(h, IDC_BATCH_CLEAR);
            l.paste = ChildRect(h, IDC_BATCH_PASTE);
            l.ok = ChildRect(h, IDOK);
            l.cancel = ChildRect(h, IDCANCEL);
            seen.push_back(l);
        }
        CDialogDriver::Click(h, IDCANCEL);
    });
    ASSERT_EQ(seen.size(), 4u);
    for (const CLayout& l : seen) {
        SCOPED_TRACE(::testing::Message() << "client " << l.client.right << " x " << l.client.bottom);
        int w = l.cancel.right - l.cancel.left, h = l.cancel.bottom - l.cancel.top;
        ASSERT_GT(w, 0);
        ASSERT_GT(h, 0);
        EXPECT_EQ(l.cancel.right, l.client.right - 8);
        EXPECT_EQ(l.cancel.bottom, l.client.bottom - 8);
        EXPECT_EQ(l.ok.left, l.cancel.left - w - 2);
        EXPECT_EQ(l.clear.left, 8);
        EXPECT_EQ(l.paste.left, 8 + w + 2);
        for (const RECT& b : { l.ok, l.clear, l.paste }) {
            EXPECT_EQ(b.top, l.cancel.top);
            EXPECT_EQ(b.right - b.left, w);
            EXPECT_EQ(b.bottom - b.top, h);
        }
        EXPECT_EQ(l.edit.left, 8);
        EXPECT_EQ(l.edit.top, 8);
        EXPECT_EQ(l.edit.right, l.client.right - 8);
        EXPECT_EQ(l.edit.bottom, l.client.bottom - h - 16);
    }
}

TEST_F(BatchDialog, ClearEmptiesTheEditAndPasteInsertsAtTheCaret)
{
    PutClipboardText("pasted\r\ntext");
    bool bCleared = false, bPasted = false;
    std::string pasted;
    HWND hEdit = nullptr, hFocusCleared = nullptr, hFocusPasted = nullptr;
    DWORD dwSelStart = 0, dwSelEnd = 0;
    auto Focus = [](HWND h) {
        GUITHREADINFO gti = {};
        gti.cbSize = sizeof gti;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(h, nullptr), &gti);
        return gti.hwndFocus;
    };
    Open([&](HWND h) {
        hEdit = ::GetDlgItem(h, IDC_BATCH_EDIT);
        ::SetWindowTextA(hEdit, "some\r\nlines");
        ::SendMessageA(::GetDlgItem(h, IDC_BATCH_CLEAR), BM_CLICK, 0, 0);
        bCleared = WaitEditText(h, "");
        hFocusCleared = Focus(h);
        ::SetWindowTextA(hEdit, "12");
        ::SendMessageA(hEdit, EM_SETSEL, 1, 1);
        ::SendMessageA(::GetDlgItem(h, IDC_BATCH_PASTE), BM_CLICK, 0, 0);
        bPasted = WaitEditText(h, "1pasted\r\ntext2");
        pasted = EditOf(h);
        hFocusPasted = Focus(h);
        ::SendMessageA(hEdit, EM_GETSEL, WPARAM(&dwSelStart), LPARAM(&dwSelEnd));
        CDialogDriver::Click(h, IDCANCEL);
    });
    EXPECT_TRUE(bCleared);
    EXPECT_TRUE(bPasted) << pasted;
    EXPECT_EQ(hFocusCleared, hEdit) << "after Clear the focus goes back to the text";
    EXPECT_EQ(hFocusPasted, hEdit) << "after Paste the focus goes back to the text";
    const DWORD dwAfterPaste = DWORD(strlen("1pasted\r\ntext"));
    EXPECT_EQ(dwSelStart, dwAfterPaste) << "the caret stands just after what was pasted";
    EXPECT_EQ(dwSelEnd, dwAfterPaste);
    EXPECT_TRUE(Lines().empty()) << "Cancel runs nothing";
}

TEST_F(BatchDialog, EnterMakesANewLineAndEscapeClosesAsCancelKeepingTheText)
{
    bool bNewLine = false, bStillOpen = false, bGone = false;
    HWND hDlg = Open([&](HWND h) {
        HWND hEdit = ::GetDlgItem(h, IDC_BATCH_EDIT);
        ::SetWindowTextA(hEdit, "first");
        ::SendMessageA(hEdit, EM_SETSEL, 5, 5);
        ::PostMessageA(hEdit, WM_KEYDOWN, VK_RETURN, 1);
        // The line break's character is posted when the key is translated,
        // behind anything already waiting; type on only after it.
        bNewLine = WaitEditText(h, "first\r\n");
        ::PostMessageA(hEdit, WM_CHAR, 'x', 1);
        bNewLine = WaitEditText(h, "first\r\nx") && bNewLine;
        bStillOpen = ::IsWindow(h) && ::IsWindowVisible(h);
        ::PostMessageA(hEdit, WM_KEYDOWN, VK_ESCAPE, 1);
        bGone = CDialogDriver::WaitGone(h);
        if (!bGone)
            CDialogDriver::Click(h, IDCANCEL);
    });
    ASSERT_NE(hDlg, nullptr);
    EXPECT_TRUE(bNewLine);
    EXPECT_TRUE(bStillOpen) << "Enter does not close the dialog";
    EXPECT_TRUE(bGone) << "Escape closes it";
    EXPECT_TRUE(Lines().empty()) << "closed as Cancel: nothing runs";
    EXPECT_FALSE(main.m_batch.IsActive());
    EXPECT_EQ(TextOnOpening(), "first\r\nx");
    EXPECT_EQ(TextOnOpening(), "first\r\nx") << "kept over a second Cancel too";
    EXPECT_EQ(::GetFocus(), Edit()) << "the focus goes back to the command line";
}

TEST_F(BatchDialog, FirstOpeningIsEmptyAndOkWithNothingRunsNothing)
{
    std::string first = "(not opened)";
    Open([&](HWND h) {
        first = EditOf(h);
        CDialogDriver::Click(h, IDOK);
    });
    EXPECT_EQ(first, "");
    EXPECT_TRUE(Lines().empty());
    EXPECT_FALSE(main.m_batch.IsActive());
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 0);
}

TEST_F(BatchDialog, OkRunsTheLinesStrictlyOneAfterAnotherAndKeepsTheText)
{
    const char* pszText = "--sim-sleep 300 --sim-write one\r\n\r\n  --sim-write two  \r\n--sim-write three";
    Open([&](HWND h) {
        ::SetWindowTextA(::GetDlgItem(h, IDC_BATCH_EDIT), pszText);
        CDialogDriver::Click(h, IDOK);
    });
    ASSERT_TRUE(WaitForLine(ExitLine(2, 0))) << ::testing::PrintToString(Lines());
    ASSERT_TRUE(WaitIdle());
    std::vector<std::string> expected = {
        "\x03" "adb --sim-sleep 300 --sim-write one", "one", ExitLine(0, 0),
        "\x03" "adb --sim-write two", "two", ExitLine(1, 0),
        "\x03" "adb --sim-write three", "three", ExitLine(2, 0),
    };
    EXPECT_EQ(Lines(), expected) << "each line starts only after the previous one's exit line";
    EXPECT_FALSE(main.m_batch.IsActive());
    EXPECT_EQ(TextOnOpening(), pszText) << "the text comes back after OK as well";
}

TEST_F(BatchDialog, CtrlBIsRefusedWhileTheBatchRunsAndOpensAgainAfter)
{
    Open([&](HWND h) {
        ::SetWindowTextA(::GetDlgItem(h, IDC_BATCH_EDIT), "--sim-sleep 20000\r\nversion");
        CDialogDriver::Click(h, IDOK);
    });
    ASSERT_TRUE(PumpKeysUntil([] { return g_bBusy.load(); }));
    CDialogDriver refused("Batch of commands", [](HWND h) { CDialogDriver::Click(h, IDCANCEL); });
    Press('B', true);
    refused.Stop();
    EXPECT_EQ(refused.Found(), nullptr);

    Press(VK_ESCAPE);
    EXPECT_GE(IndexOfLine("\x01" "Abort batch"), 0);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(IndexOfLine("\x03" "adb version"), -1) << "the aborted batch does not go on";
    EXPECT_EQ(TextOnOpening(), "--sim-sleep 20000\r\nversion");
}

TEST_F(BatchDialog, TextSurvivesADialogEndedByTheEndOfTheMessageLoop)
{
    // WM_QUIT ends the modal loop without OK or Cancel; the dialog's window
    // and its edit are destroyed all the same.
    DWORD dwThread = ::GetCurrentThreadId();
    Open([&](HWND h) {
        ::SetWindowTextA(::GetDlgItem(h, IDC_BATCH_EDIT), "kept over quit");
        ::PostThreadMessageA(dwThread, WM_QUIT, 0, 0);
        CDialogDriver::WaitGone(h);
    });
    ASSERT_NE(main.m_batch.m_hText, nullptr);
    ASSERT_NE(::LocalFlags(main.m_batch.m_hText), UINT(LMEM_INVALID_HANDLE));
    const char* p = static_cast<const char*>(::LocalLock(main.m_batch.m_hText));
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "kept over quit");
    ::LocalUnlock(main.m_batch.m_hText);
    EXPECT_TRUE(Lines().empty()) << "not an OK: nothing runs";
    EXPECT_EQ(TextOnOpening(), "kept over quit");
}

TEST_F(BatchDialog, EditorHasAFixedPitchFaceThatFollowsTheDialogsResolution)
{
    LOGFONTA lf96 = {}, lf192 = {};
    TEXTMETRICA tm = {};
    RECT client = {}, edit = {};
    Open([&](HWND h) {
        HWND hEdit = ::GetDlgItem(h, IDC_BATCH_EDIT);
        HFONT hFont = HFONT(::SendMessageA(hEdit, WM_GETFONT, 0, 0));
        ::GetObjectA(hFont, sizeof(lf96), &lf96);
        HDC hdc = ::GetDC(hEdit);
        HGDIOBJ hOld = ::SelectObject(hdc, hFont);
        ::GetTextMetricsA(hdc, &tm);
        ::SelectObject(hdc, hOld);
        ::ReleaseDC(hEdit, hdc);
        // Moved to a screen of twice the resolution, as the system tells it.
        RECT rw;
        ::GetWindowRect(h, &rw);
        RECT suggested = { rw.left, rw.top, rw.left + 2 * (rw.right - rw.left), rw.top + 2 * (rw.bottom - rw.top) };
        ::SendMessageA(h, WM_DPICHANGED, MAKEWPARAM(192, 192), LPARAM(&suggested));
        ::GetObjectA(HFONT(::SendMessageA(hEdit, WM_GETFONT, 0, 0)), sizeof(lf192), &lf192);
        ::GetClientRect(h, &client);
        edit = ChildRect(h, IDC_BATCH_EDIT);
        CDialogDriver::Click(h, IDCANCEL);
    });
    // 10 points at 96 dpi; TMPF_FIXED_PITCH set means a variable pitch.
    EXPECT_EQ(lf96.lfHeight, -13);
    EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "a proportional face: " << lf96.lfFaceName;
    EXPECT_EQ(lf192.lfHeight, -27);
    EXPECT_EQ(lf192.lfPitchAndFamily & 3, FIXED_PITCH);
    // The margins follow: 8 pixels at 96 dpi are 16 at 192.
    EXPECT_EQ(edit.left, 16);
    EXPECT_EQ(edit.top, 16);
    EXPECT_EQ(edit.right, client.right - 16);
}
