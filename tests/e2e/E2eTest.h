#pragma once
// The fixture of the tests that share one run of Kestrelbox.exe: starting
// the program costs seconds under Wine, so the scenarios take turns on one
// window. Each test begins with nothing running, the plain "adb " mode, an
// empty command history and an empty screen; the batch text and the Find
// dialog's texts are a test's own to set.
#include <gtest/gtest.h>

#include "KestrelboxSession.h"

class KestrelboxTest : public ::testing::Test {
public:
    // Closes the shared program at the end of the test program.
    static void EndSharedSession();

protected:
    void SetUp() override;

    CKestrelboxSession& Kb() { return *s_pSession; }

    // Types the line, presses Enter and waits until the screen holds
    // nExitLines exit lines in all and the lamp is green again.
    ::testing::AssertionResult RunAndWait(const char* pszLine, int nExitLines, ScreenLines& lines,
                                          DWORD dwMs = 20000);
    // Waits until the screen holds nExitLines exit lines in all and then for
    // the green lamp: the exit line is printed before the busy flag clears,
    // and a line typed in between would be refused.
    ::testing::AssertionResult WaitExitLines(int nExitLines, ScreenLines& lines, DWORD dwMs = 20000);

    // The stored line shown in a visible row, read the way a user can: mark
    // that one line, copy it, and take the mark away again. Needs a screen
    // without a mark.
    ::testing::AssertionResult ReadRow(int nRow, std::string& strLine);
    // Waits until no row shows the marked background.
    bool WaitNoMark();
    // The bounding box of the find background's pixels in the text area.
    bool MatchRect(RECT& rc);
    // Waits until the find background covers exactly rcWant.
    bool WaitMatchAt(const RECT& rcWant, RECT& rcSeen);

    static CKestrelboxSession* s_pSession;

private:
    static bool StartShared(std::string& strError);
    bool ResetShared();
};

// Waits until each of the children has ended, and checks that it was
// killed (exit code 255), not left running or ended by itself (a logcat
// whose output pipe was closed ends with 1). Closes the handles.
::testing::AssertionResult ChildrenKilled(std::vector<HANDLE>& children, DWORD dwMs = 10000);

std::ostream& operator<<(std::ostream& os, const RECT& rc);

int CountExitLines(const ScreenLines& lines);
// The last line that is not empty, or an empty text.
std::string LastTextLine(const ScreenLines& lines);
