#include "E2eTest.h"

class FindText : public KestrelboxTest {
protected:
    // Where the find colours' rectangle lies in the text area when the
    // match of nLength characters in column 0 of line nLine has been
    // scrolled to a third of the page.
    RECT ExpectedMatchRect(int nLine, int nLength, int nLineCount)
    {
        int nPage = Kb().PageLines();
        int nPos = nLine - nPage / 3;
        if (nPos + nPage > nLineCount)
            nPos = nLineCount - nPage;
        if (nPos < 0)
            nPos = 0;
        SIZE cell = CKestrelboxSession::CharCell();
        int nRow = nLine - nPos;
        RECT rc = { 0, nRow * cell.cy, nLength * cell.cx, (nRow + 1) * cell.cy };
        return rc;
    }
    // Opens the Find dialog with Ctrl+F and empties its text, which shows
    // the last search of whichever test ran before.
    HWND OpenEmptyFind()
    {
        Kb().Chord({ VK_CONTROL }, 'F');
        HWND hDlg = Kb().WaitForWindow("Find", 5000);
        if (!hDlg || !CKestrelboxSession::WaitForeground(hDlg))
            return nullptr;
        Kb().Press(VK_HOME);
        Kb().Chord({ VK_SHIFT }, VK_END);
        Kb().Press(VK_DELETE);
        HWND hCombo = ::GetDlgItem(hDlg, 101);
        if (!WaitUntil([&] { return CKestrelboxSession::ControlText(hCombo).empty(); }, 5000))
            ADD_FAILURE() << "the Find text was not emptied: " << CKestrelboxSession::ControlText(hCombo);
        return hDlg;
    }
};

TEST_F(FindText, CtrlFHighlightsFirstMatchInViewAndF3ShiftF3MoveBetweenMatches)
{
    // Line 2k + 2 reads "err k": far more lines than fit on the screen, so
    // the screen follows the end and the first match is out of view.
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-interleave 100", 1, lines));
    ASSERT_EQ(lines.size(), 202u) << Describe(lines);
    ASSERT_EQ(lines[16], "err 7");
    ASSERT_EQ(lines[142], "err 70");
    ASSERT_GT(202, Kb().PageLines() + 17) << "the screen is too tall for this test";
    RECT rcSeen = {};
    EXPECT_FALSE(MatchRect(rcSeen)) << "find colours before any search at " << rcSeen;

    HWND hDlg = OpenEmptyFind();
    ASSERT_NE(hDlg, nullptr) << "Ctrl+F opened no Find dialog in front";
    Kb().Type("ERR 7");
    HWND hCombo = ::GetDlgItem(hDlg, 101);
    ASSERT_TRUE(WaitUntil([&] { return CKestrelboxSession::ControlText(hCombo) == "ERR 7"; }, 5000))
        << CKestrelboxSession::ControlText(hCombo);
    EXPECT_EQ(::SendMessageA(::GetDlgItem(hDlg, 112), BM_GETCHECK, 0, 0), BST_CHECKED) << "Begin is not chosen";
    CKestrelboxSession::Screenshot("find-dialog");
    Kb().Press(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(hDlg); }, 5000));

    // The search ignores case; the match is scrolled a third down the page.
    RECT rcWant = ExpectedMatchRect(16, 5, 202);
    EXPECT_TRUE(WaitMatchAt(rcWant, rcSeen)) << "want " << rcWant << ", seen " << rcSeen;
    CKestrelboxSession::Screenshot("find-match");

    Kb().Press(VK_F3);
    rcWant = ExpectedMatchRect(142, 5, 202);
    EXPECT_TRUE(WaitMatchAt(rcWant, rcSeen)) << "F3: want " << rcWant << ", seen " << rcSeen;

    Kb().Chord({ VK_SHIFT }, VK_F3);
    rcWant = ExpectedMatchRect(16, 5, 202);
    EXPECT_TRUE(WaitMatchAt(rcWant, rcSeen)) << "Shift+F3: want " << rcWant << ", seen " << rcSeen;
}

TEST_F(FindText, CancelledFindDialogChangesNothing)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-interleave 3", 1, lines));
    HWND hDlg = OpenEmptyFind();
    ASSERT_NE(hDlg, nullptr);
    Kb().Type("out");
    Kb().Press(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(hDlg); }, 5000));
    // The focus is back in the command line.
    ASSERT_TRUE(RunAndWait("get-state", 2, lines));
    RECT rc = {};
    EXPECT_FALSE(MatchRect(rc)) << "a cancelled dialog searched: " << rc;
}
