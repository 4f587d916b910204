// The Find dialog opened from the command line's keys and worked from a
// second thread: its history, the start choice that matches the key, OK
// with an empty text, Cancel, and the focus afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/FindDlg.h"
#include "resources/resource.h"
#include "support/MainWndFixture.h"

namespace {

using Strings = std::vector<std::string>;

// What a driver saw in one opening of the dialog.
struct CFindSeen {
    std::string strEdit;
    Strings items;
    bool bBegin = false;
    bool bEnd = false;
};

CFindSeen Look(HWND hDlg)
{
    CFindSeen seen;
    HWND hCombo = ::GetDlgItem(hDlg, IDC_FIND_COMBO);
    seen.strEdit = CDialogDriver::Text(hCombo);
    int n = int(::SendMessageA(hCombo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        char buf[256] = {};
        ::SendMessageA(hCombo, CB_GETLBTEXT, WPARAM(i), LPARAM(buf));
        seen.items.emplace_back(buf);
    }
    seen.bBegin = CDialogDriver::Checked(hDlg, IDC_FIND_BEGIN);
    seen.bEnd = CDialogDriver::Checked(hDlg, IDC_FIND_END);
    return seen;
}

// Looks at the dialog, optionally puts a text into its field and picks a
// start, then closes it with OK or Cancel.
std::function<void(HWND)> Answer(CFindSeen& seen, int nButton, const char* pszText = nullptr, int nStart = -1)
{
    return [&seen, nButton, pszText, nStart](HWND h) {
        seen = Look(h);
        if (pszText)
            ::SetWindowTextA(::GetDlgItem(h, IDC_FIND_COMBO), pszText);
        if (nStart >= 0)
            ::SendMessageA(::GetDlgItem(h, nStart == 0 ? IDC_FIND_BEGIN : IDC_FIND_END), BM_CLICK, 0, 0);
        CDialogDriver::Click(h, nButton);
    };
}

class FindDialog : public MainWndFixture {
protected:
    void SetUp() override
    {
        CFindDlg::s_findHistory.Clear();
        MainWndFixture::SetUp();
    }
    void TearDown() override
    {
        MainWndFixture::TearDown();
        CFindDlg::s_findHistory.Clear();
    }

    Strings History()
    {
        Strings out;
        for (int i = 0; i < CFindDlg::s_findHistory.GetCount(); ++i)
            out.emplace_back(CFindDlg::s_findHistory.GetAt(i));
        return out;
    }

    void PrintLines(std::initializer_list<const char*> lines)
    {
        for (const char* p : lines)
            main.m_view.Print(p);
    }
};

} // namespace

TEST_F(FindDialog, FirstOpeningShowsAnEmptyFieldWithBeginSelected)
{
    CFindDlg::s_nStartFrom = 1;
    CFindSeen seen;
    CDialogDriver driver("Find", Answer(seen, IDCANCEL));
    Press('F', true);
    driver.Join();
    ASSERT_NE(driver.Found(), nullptr);
    EXPECT_EQ(seen.strEdit, "");
    EXPECT_TRUE(seen.items.empty());
    EXPECT_TRUE(seen.bBegin) << "Ctrl-F always opens with Begin, whatever was chosen last";
    EXPECT_FALSE(seen.bEnd);
    EXPECT_EQ(::GetFocus(), Edit()) << "the focus goes back to the command line";
    EXPECT_FALSE(::IsWindow(driver.Found()));
}

TEST_F(FindDialog, ListsEarlierSearchesNewestFirstAndMovesARepeatToTheTop)
{
    for (const char* p : { "alpha", "beta", "gamma" })
        CFindDlg::s_findHistory.Add(p);
    CFindSeen seen;
    {
        CDialogDriver driver("Find", Answer(seen, IDOK, "BETA"));
        Press('F', true);
    }
    EXPECT_EQ(seen.items, (Strings{ "gamma", "beta", "alpha" }));
    EXPECT_EQ(seen.strEdit, "gamma") << "the field shows the most recent search";
    EXPECT_EQ(History(), (Strings{ "alpha", "gamma", "beta" })) << "one entry, with its first spelling, now newest";
    EXPECT_EQ(main.m_view.m_finder.m_strPattern, CString("BETA")) << "the search text is what stood in the field";

    {
        CDialogDriver driver("Find", Answer(seen, IDCANCEL));
        Press('F', true);
    }
    EXPECT_EQ(seen.items, (Strings{ "beta", "gamma", "alpha" }));
    EXPECT_EQ(seen.strEdit, "beta");
}

TEST_F(FindDialog, ThirtyThirdTextPushesTheOldestOut)
{
    for (int i = 0; i < 32; ++i)
        CFindDlg::s_findHistory.Add(("text" + std::to_string(i)).c_str());
    CFindSeen seen;
    {
        CDialogDriver driver("Find", Answer(seen, IDOK, "text32"));
        Press('F', true);
    }
    EXPECT_EQ(seen.items.size(), 32u);
    Strings h = History();
    ASSERT_EQ(h.size(), 32u);
    EXPECT_EQ(h.front(), "text1");
    EXPECT_EQ(h.back(), "text32");
}

TEST_F(FindDialog, StartChoiceMatchesTheKeyThatOpenedIt)
{
    ASSERT_TRUE(main.m_view.m_finder.m_strPattern.IsEmpty());
    CFindSeen seen;
    CFindDlg::s_nStartFrom = 1;
    {
        CDialogDriver driver("Find", Answer(seen, IDCANCEL));
        Press(VK_F3);
    }
    EXPECT_TRUE(seen.bBegin);
    EXPECT_FALSE(seen.bEnd);
    {
        CDialogDriver driver("Find", Answer(seen, IDCANCEL));
        Press(VK_F3, false, true);
    }
    EXPECT_FALSE(seen.bBegin);
    EXPECT_TRUE(seen.bEnd) << "Shift-F3 without a search text opens with End";
    {
        CDialogDriver driver("Find", Answer(seen, IDCANCEL));
        Press('F', true, true);
    }
    EXPECT_TRUE(seen.bBegin) << "Ctrl-F opens with Begin even with Shift held";
    EXPECT_TRUE(History().empty()) << "Cancel stores nothing";
    EXPECT_TRUE(main.m_view.m_finder.m_strPattern.IsEmpty());
    EXPECT_EQ(::GetFocus(), Edit());
}

TEST_F(FindDialog, OkWithAnEmptyTextOpensTheDialogAgainWithTheSameStart)
{
    CFindSeen first, second;
    HWND hFirst = nullptr;
    CDialogDriver driver("Find", [&](HWND h) {
        hFirst = h;
        Answer(first, IDOK, "")(h);
        CDialogDriver::WaitGone(h);
        HWND h2 = nullptr;
        if (WaitUntil([&] {
                h2 = ::FindWindowA("#32770", "Find");
                return h2 != nullptr && ::IsWindowVisible(h2);
            }))
            Answer(second, IDCANCEL)(h2);
    });
    Press(VK_F3, false, true);
    driver.Join();
    ASSERT_NE(hFirst, nullptr);
    EXPECT_TRUE(first.bEnd);
    EXPECT_TRUE(second.bEnd) << "the second opening keeps End";
    EXPECT_FALSE(second.bBegin);
    EXPECT_EQ(History(), (Strings{ "" })) << "the empty text is stored like any other";
    EXPECT_TRUE(main.m_view.m_finder.m_strPattern.IsEmpty());
    EXPECT_EQ(::GetFocus(), Edit());
}

TEST_F(FindDialog, BeginSearchesForwardFromTheFirstLineAndEndBackwardFromTheLast)
{
    PrintLines({ "one x", "two x", "three x" });
    CFindSeen seen;
    {
        CDialogDriver driver("Find", Answer(seen, IDOK, "X", 1));
        Press('F', true);
    }
    EXPECT_EQ(CFindDlg::s_nStartFrom, 1);
    EXPECT_EQ(main.m_view.m_finder.m_nLine, 2);
    EXPECT_EQ(main.m_view.m_finder.m_nColumn, 6);
    {
        CDialogDriver driver("Find", Answer(seen, IDOK, "x", 0));
        Press('F', true);
    }
    EXPECT_EQ(CFindDlg::s_nStartFrom, 0);
    EXPECT_EQ(main.m_view.m_finder.m_nLine, 0) << "a new text forgets the old position";
    EXPECT_EQ(main.m_view.m_finder.m_nColumn, 4);
    EXPECT_EQ(History(), (Strings{ "X" })) << "x and X are one entry";
}

TEST_F(FindDialog, CancelLeavesTextPositionAndHistoryAlone)
{
    PrintLines({ "abc", "xabc" });
    CFindSeen seen;
    {
        CDialogDriver driver("Find", Answer(seen, IDOK, "abc"));
        Press('F', true);
    }
    Press(VK_F3);
    ASSERT_EQ(main.m_view.m_finder.m_nLine, 1);
    ASSERT_EQ(main.m_view.m_finder.m_nColumn, 1);
    {
        CDialogDriver driver("Find", Answer(seen, IDCANCEL, "other", 1));
        Press('F', true);
    }
    EXPECT_EQ(main.m_view.m_finder.m_strPattern, CString("abc"));
    EXPECT_EQ(main.m_view.m_finder.m_nLine, 1);
    EXPECT_EQ(main.m_view.m_finder.m_nColumn, 1);
    EXPECT_EQ(History(), (Strings{ "abc" }));
    EXPECT_EQ(::GetFocus(), Edit());
}

TEST_F(FindDialog, NewTextWaitsForTheScreenLockThatPrintTakes)
{
    PrintLines({ "abc", "xabc" });
    main.m_view.m_finder.SetPattern("abc");
    Press(VK_F3);
    ASSERT_EQ(main.m_view.m_finder.m_nLine, 0);

    // Another thread takes the screen's lock, as a reader thread inside
    // Print does, just before the dialog hands over a new text.
    std::atomic<bool> bLockWanted{ false }, bHolding{ false }, bRelease{ false };
    std::atomic<int> nLineWhileHeld{ 99 };
    std::thread holder([&] {
        if (!WaitUntil([&] { return bLockWanted.load(); }, 30000))
            return;
        CSingleLock lock(main.m_view.m_lock);
        bHolding = true;
        WaitUntil([&] { return bRelease.load(); }, 30000);
        nLineWhileHeld = main.m_view.m_finder.m_nLine;
    });
    CFindSeen seen;
    std::atomic<bool> bChangedUnderLock{ false }, bGone{ false };
    CDialogDriver driver("Find", [&](HWND h) {
        seen = Look(h);
        ::SetWindowTextA(::GetDlgItem(h, IDC_FIND_COMBO), "x");
        bLockWanted = true;
        if (WaitUntil([&] { return bHolding.load(); })) {
            CDialogDriver::Click(h, IDOK);
            bGone = CDialogDriver::WaitGone(h);
            // The position that a new text forgets may only change once the
            // lock is free; give a wrong order every chance to show.
            bChangedUnderLock = WaitUntil([&] { return main.m_view.m_finder.m_nLine != 0; }, kQuietMs);
        }
        bRelease = true;
    });
    Press('F', true);
    driver.Join();
    bLockWanted = true;
    bRelease = true;
    holder.join();
    ASSERT_TRUE(bGone);
    EXPECT_FALSE(bChangedUnderLock) << "the find position changed while another thread held the lock";
    EXPECT_EQ(nLineWhileHeld, 0);
    EXPECT_EQ(main.m_view.m_finder.m_strPattern, CString("x"));
    EXPECT_EQ(main.m_view.m_finder.m_nLine, 1);
    EXPECT_EQ(main.m_view.m_finder.m_nColumn, 0);
}
