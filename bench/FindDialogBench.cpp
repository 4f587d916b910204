// Find benchmark: the real Kestrelbox.exe beside this program, its 4 MiB
// store filled with 100-byte lines by the adb imitation, then searched from
// the Find dialog for texts that are not there. Each figure is the time from
// the Enter that closes the dialog to the next message the main window
// handles (a WM_NULL sent as soon as the dialog is gone): the time the
// window stays frozen. Run by scripts/bench under Wine, once beside the
// product and once beside the benchmark build with the literal search;
// prints figures, decides nothing. The same closing with Esc instead of
// Enter (no search) is the floor: what closing the dialog costs by itself.
//   findbench [REPEATS [PATTERN...]]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/KestrelboxSession.h"

namespace {

const int kFindCombo = 101;
// More than the store holds, so that it is full and its oldest lines gone.
const char* const kFill = "--sim-flood 6291456 100 --sim-flood-report ";

double Now()
{
    LARGE_INTEGER freq, count;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&count);
    return double(count.QuadPart) / double(freq.QuadPart);
}

// One search from the dialog closed with vkClose; milliseconds, or -1 when
// something did not appear.
double FindOnce(CKestrelboxSession& session, const char* pszPattern, WORD vkClose)
{
    session.Chord({ VK_CONTROL }, 'F');
    HWND hDlg = session.WaitForWindow("Find", 10000);
    if (!hDlg || !CKestrelboxSession::WaitForeground(hDlg))
        return -1;
    HWND hCombo = ::GetDlgItem(hDlg, kFindCombo);
    ::SendMessageA(hCombo, WM_SETTEXT, 0, LPARAM(pszPattern));
    if (CKestrelboxSession::ControlText(hCombo) != pszPattern)
        return -1;
    const double dStart = Now();
    session.Press(vkClose);
    // The dialog is destroyed before the search starts.
    while (::IsWindow(hDlg))
        ::Sleep(0);
    DWORD_PTR dwResult = 0;
    if (!::SendMessageTimeoutA(session.MainWnd(), WM_NULL, 0, 0, SMTO_NORMAL, 120000, &dwResult))
        return -1;
    return (Now() - dStart) * 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    const int nRepeats = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    std::vector<std::string> patterns;
    for (int i = 2; i < argc; ++i)
        patterns.push_back(argv[i]);
    if (patterns.empty())
        patterns = { "FATAL EXCEPTION" };

    CKestrelboxSession session;
    std::string strError;
    if (!session.Start(strError)) {
        printf("  Kestrelbox did not start: %s\n", strError.c_str());
        return 1;
    }
    session.BringToFront();
    // The imitation writes its report when the last line is out; the green
    // lamp follows once the program has taken it.
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string strReport = std::string(szTemp) + "kbfind-fill.txt";
    ::DeleteFileA(strReport.c_str());
    session.EnterLine((kFill + strReport).c_str());
    const bool bFilled =
        WaitUntil([&] { return ::GetFileAttributesA(strReport.c_str()) != INVALID_FILE_ATTRIBUTES; }, 600000);
    if (!bFilled || !session.WaitLamp(LampColour::Green, 600000)) {
        printf("  the store was not filled\n");
        return 1;
    }
    for (size_t nPattern = 0; nPattern <= patterns.size(); ++nPattern) {
        const bool bFloor = nPattern == patterns.size();
        const std::string pattern = bFloor ? patterns[0] : patterns[nPattern];
        std::vector<double> times;
        for (int i = 0; i < nRepeats; ++i) {
            const double d = FindOnce(session, pattern.c_str(), bFloor ? VK_ESCAPE : VK_RETURN);
            if (d < 0) {
                printf("  '%s': the Find dialog did not answer\n", pattern.c_str());
                return 1;
            }
            times.push_back(d);
        }
        std::sort(times.begin(), times.end());
        // One line per pattern, read by scripts/bench: median, then least.
        if (bFloor)
            printf("  floor, the dialog closed with Esc: median %.1f ms, least %.1f ms (%d times)\n",
                   times[times.size() / 2], times[0], nRepeats);
        else
            printf("  find '%s': median %.1f ms, least %.1f ms (%d searches)\n", pattern.c_str(),
                   times[times.size() / 2], times[0], nRepeats);
    }
    return 0;
}
