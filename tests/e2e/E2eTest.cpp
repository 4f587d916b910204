#include "E2eTest.h"

#include "ScreenCapture.h"
#include "UserInput.h"

CKestrelboxSession* KestrelboxTest::s_pSession = nullptr;

bool KestrelboxTest::MatchRect(RECT& rc)
{
    CScreenCapture cap;
    return cap.Grab(Kb().TextArea()) && cap.Bounds(RGB(255, 255, 255), rc);
}

bool KestrelboxTest::WaitMatchAt(const RECT& rcWant, RECT& rcSeen)
{
    return WaitUntil([&] { return MatchRect(rcSeen) && ::EqualRect(&rcSeen, &rcWant); }, 5000);
}

std::ostream& operator<<(std::ostream& os, const RECT& rc)
{
    return os << "(" << rc.left << "," << rc.top << ")-(" << rc.right << "," << rc.bottom << ")";
}

int CountExitLines(const ScreenLines& lines)
{
    int n = 0;
    for (const std::string& s : lines) {
        ExitLineInfo info;
        if (ParseExitLine(s, info))
            ++n;
    }
    return n;
}

std::string LastTextLine(const ScreenLines& lines)
{
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (!it->empty())
            return *it;
    return std::string();
}

bool KestrelboxTest::StartShared(std::string& strError)
{
    delete s_pSession;
    s_pSession = new CKestrelboxSession;
    return s_pSession->Start(strError);
}

bool KestrelboxTest::ResetShared()
{
    if (!Kb().BringToFront())
        return false;
    // Esc ends whatever an earlier test left running (Enter is refused until
    // the lamp is green), the command line is emptied, "exit" leaves any
    // mode; the copy shows the line last only when nothing runs and no mark
    // limits the copy. Shift+Ctrl+PgUp then empties the command history.
    Kb().Press(VK_ESCAPE);
    if (!Kb().WaitLamp(LampColour::Green, 10000))
        return false;
    Kb().Press(VK_HOME);
    Kb().Chord({ VK_SHIFT }, VK_END);
    Kb().Press(VK_DELETE);
    Kb().EnterLine("exit");
    ScreenLines lines;
    if (!Kb().WaitForScreen([](const ScreenLines& l) { return LastTextLine(l) == ">exit"; }, lines, 10000))
        return false;
    // Keys are handled in order: whatever the test types next comes after.
    Kb().Chord({ VK_SHIFT, VK_CONTROL }, VK_PRIOR);
    return true;
}

void KestrelboxTest::SetUp()
{
    std::string strError;
    if (!s_pSession || !s_pSession->IsRunning()) {
        ASSERT_TRUE(StartShared(strError)) << strError;
    }
    // A test that failed half-way may leave a state that the keys cannot
    // undo (a mark, say): the next test then gets a fresh program.
    if (!ResetShared()) {
        ASSERT_TRUE(StartShared(strError)) << strError;
        ASSERT_TRUE(ResetShared()) << "a fresh program could not be brought to a known state";
    }
    Kb().Press(VK_F4);
    // The device tracker runs all the time; what a test starts is new.
    Kb().MarkChildren();
}

::testing::AssertionResult ChildrenKilled(std::vector<HANDLE>& children, DWORD dwMs)
{
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    if (children.empty())
        result = ::testing::AssertionFailure() << "no child was running";
    const DWORD dwStart = ::GetTickCount();
    for (HANDLE h : children) {
        DWORD dwSpent = ::GetTickCount() - dwStart;
        DWORD dwCode = STILL_ACTIVE;
        if (::WaitForSingleObject(h, dwSpent < dwMs ? dwMs - dwSpent : 0) != WAIT_OBJECT_0)
            result = ::testing::AssertionFailure() << "a child still runs";
        else if (::GetExitCodeProcess(h, &dwCode) && dwCode != 255)
            result = ::testing::AssertionFailure() << "a child was not killed: it ended with " << dwCode;
        ::CloseHandle(h);
    }
    children.clear();
    return result;
}

::testing::AssertionResult KestrelboxTest::RunAndWait(const char* pszLine, int nExitLines, ScreenLines& lines,
                                                      DWORD dwMs)
{
    Kb().EnterLine(pszLine);
    return WaitExitLines(nExitLines, lines, dwMs) << "after '" << pszLine << "'";
}

::testing::AssertionResult KestrelboxTest::WaitExitLines(int nExitLines, ScreenLines& lines, DWORD dwMs)
{
    if (!Kb().WaitForScreen([&](const ScreenLines& l) { return CountExitLines(l) >= nExitLines; }, lines, dwMs)) {
        LampColour lamp = Kb().Lamp();
        return ::testing::AssertionFailure()
               << "the screen did not show " << nExitLines << " exit lines (lamp now "
               << (lamp == LampColour::Red ? "red" : lamp == LampColour::Green ? "green" : "unclear")
               << "); last copy:\n" << Describe(lines);
    }
    if (!Kb().WaitLamp(LampColour::Green, dwMs))
        return ::testing::AssertionFailure() << "the lamp did not turn green after " << nExitLines
                                             << " exit lines; last copy:\n" << Describe(lines);
    return ::testing::AssertionSuccess();
}

void KestrelboxTest::EndSharedSession()
{
    if (!s_pSession)
        return;
    if (s_pSession->IsRunning() && s_pSession->BringToFront()) {
        UserInput::Chord({ VK_MENU }, VK_F4);
        if (!s_pSession->WaitExit(10000) && s_pSession->FindOwnWindow("Process is running")) {
            UserInput::Press(VK_RETURN);
            s_pSession->WaitExit(10000);
        }
    }
    delete s_pSession;
    s_pSession = nullptr;
}

bool KestrelboxTest::WaitNoMark()
{
    return WaitUntil([&] {
        CScreenCapture cap;
        RECT all = { 0, 0, 0, 0 };
        if (!cap.Grab(Kb().TextArea()))
            return false;
        all.right = cap.Width();
        all.bottom = cap.Height();
        return cap.Count(all, RGB(0x3F, 0x3F, 0x3F)) == 0;
    }, 5000);
}

::testing::AssertionResult KestrelboxTest::ReadRow(int nRow, std::string& strLine)
{
    UserInput::MiddleClick(Kb().CellPoint(nRow, 1), false);
    bool bCopied = Kb().CopyScreen(strLine);
    // A second line makes the mark a range, a third click removes it; the
    // clicks lie apart so that none of them pairs into a double click.
    int nOther = nRow >= 4 ? nRow - 3 : nRow + 3;
    UserInput::MiddleClick(Kb().CellPoint(nOther, 6), false);
    UserInput::MiddleClick(Kb().CellPoint(nRow, 12), false);
    if (!bCopied)
        return ::testing::AssertionFailure() << "no copy of row " << nRow;
    if (!WaitNoMark())
        return ::testing::AssertionFailure() << "the mark of row " << nRow << " did not go away";
    return ::testing::AssertionSuccess();
}
