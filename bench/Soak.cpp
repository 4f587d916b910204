// The soak benchmark's driver: runs the real Kestrelbox.exe the way the
// end-to-end tests do and prints figures, never a verdict on its own.
//   kbsoak commands N   N commands in one run of the program, with its
//                       handle and GDI object counts before and after
//   kbsoak closes N     N closes of the window during a 64 MiB flood: exit
//                       code and processes left behind
//   kbsoak esc N        Esc during a flood, from the key to the abort line
//                       on the screen and to the green lamp
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "KestrelboxSession.h"
#include "ScreenCapture.h"

namespace {

const char kFlood[] = "--sim-bytes 67108864 --sim-bytes-lines";
// The error colour of the default settings, in which the abort line shows.
const COLORREF kErrorColour = RGB(255, 0, 0);

double Now()
{
    static LARGE_INTEGER s_freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(s_freq.QuadPart);
}

struct CCounts {
    DWORD dwThreads = 0;
    SIZE_T nPrivate = 0;
    DWORD dwHandles = 0;
    bool bHandles = false;
    DWORD dwGdi = 0;
    DWORD dwUser = 0;
    DWORD dwGdiError = 0;
};

CCounts Count(HANDLE hProcess)
{
    CCounts c;
    c.bHandles = ::GetProcessHandleCount(hProcess, &c.dwHandles) != FALSE;
    ::SetLastError(0);
    c.dwGdi = ::GetGuiResources(hProcess, GR_GDIOBJECTS);
    c.dwGdiError = c.dwGdi ? 0 : ::GetLastError();
    c.dwUser = ::GetGuiResources(hProcess, GR_USEROBJECTS);
    // Where the system keeps no handle counts, threads and private memory
    // still show what a run leaves behind.
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    if (::GetProcessMemoryInfo(hProcess, &pmc, sizeof(pmc)))
        c.nPrivate = pmc.PagefileUsage;
    const DWORD dwPid = ::GetProcessId(hProcess);
    HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap != INVALID_HANDLE_VALUE) {
        THREADENTRY32 te = {};
        te.dwSize = sizeof(te);
        for (BOOL b = ::Thread32First(hSnap, &te); b; b = ::Thread32Next(hSnap, &te))
            c.dwThreads += te.th32OwnerProcessID == dwPid ? 1 : 0;
        ::CloseHandle(hSnap);
    }
    return c;
}

// The counts once they have stopped moving: a reader thread closes its
// child's handles a moment after the lamp turns green.
CCounts SettledCounts(HANDLE hProcess)
{
    CCounts last = Count(hProcess);
    int nSame = 0;
    for (int i = 0; i < 200 && nSame < 10; ++i) {
        ::Sleep(50);
        CCounts now = Count(hProcess);
        nSame = now.dwHandles == last.dwHandles && now.dwGdi == last.dwGdi && now.dwThreads == last.dwThreads
            ? nSame + 1
            : 0;
        last = now;
    }
    return last;
}

// Posts the line into the command line and presses Enter until the program
// takes it (Enter is refused while a command runs).
bool RunLine(CKestrelboxSession& kb, const char* pszLine)
{
    ::SendMessageA(kb.EditWnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszLine));
    for (int i = 0; i < 20000; ++i) {
        ::PostMessageA(kb.EditWnd(), WM_KEYDOWN, VK_RETURN, 1);
        if (WaitUntil([&] { return kb.CommandLineText().empty(); }, 20))
            return true;
    }
    return false;
}

bool Start(CKestrelboxSession& kb)
{
    std::string strError;
    if (kb.Start(strError))
        return true;
    std::printf("cannot start Kestrelbox: %s\n", strError.c_str());
    return false;
}

// Processes whose parent is dwPid and that still run.
std::vector<std::string> ChildrenOf(DWORD dwPid)
{
    std::vector<std::string> names;
    HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return names;
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof(pe);
    for (BOOL b = ::Process32First(hSnap, &pe); b; b = ::Process32Next(hSnap, &pe))
        if (pe.th32ParentProcessID == dwPid || pe.th32ProcessID == dwPid)
            names.push_back(pe.szExeFile);
    ::CloseHandle(hSnap);
    return names;
}

int Commands(int nCommands)
{
    CKestrelboxSession kb;
    if (!Start(kb))
        return 1;
    HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, kb.ProcessId());
    if (!hProcess) {
        std::printf("cannot open the program's process: error %lu\n", ::GetLastError());
        return 1;
    }
    // One of each kind first, so that what a first use allocates once (the
    // adb server, fonts, the Find history) is in the baseline.
    const char* const kLines[] = { "get-state", "version", "dir", "lcd", "shell ls", "--sim-write \"a\\r\\nb\\r\"" };
    const int nKinds = int(sizeof(kLines) / sizeof(kLines[0]));
    for (const char* p : kLines)
        RunLine(kb, p);
    RunLine(kb, "lcd");
    CCounts before = SettledCounts(hProcess);
    double t0 = Now();
    int nRun = 0;
    for (int i = 0; i < nCommands; ++i)
        nRun += RunLine(kb, kLines[i % nKinds]) ? 1 : 0;
    RunLine(kb, "lcd");
    double dMs = Now() - t0;
    CCounts after = SettledCounts(hProcess);
    std::printf("commands: %d of %d taken in %.1f s (%.1f ms each)\n", nRun, nCommands, dMs / 1000.0,
                dMs / (nCommands ? nCommands : 1));
    std::printf("threads: %lu before, %lu after; private memory: %.1f MiB before, %.1f MiB after\n",
                before.dwThreads, after.dwThreads, before.nPrivate / 1048576.0, after.nPrivate / 1048576.0);
    if (before.bHandles)
        std::printf("handles: %lu before, %lu after (%+ld)\n", before.dwHandles, after.dwHandles,
                    long(after.dwHandles) - long(before.dwHandles));
    else
        std::printf("handles: GetProcessHandleCount failed (error %lu)\n", ::GetLastError());
    if (before.dwGdi || after.dwGdi)
        std::printf("GDI objects: %lu before, %lu after (%+ld); USER objects %lu, %lu\n", before.dwGdi,
                    after.dwGdi, long(after.dwGdi) - long(before.dwGdi), before.dwUser, after.dwUser);
    else
        std::printf("GDI objects: GetGuiResources gives 0 here (last error %lu): not reported by this system\n",
                    before.dwGdiError);
    ::CloseHandle(hProcess);
    kb.Kill();
    return nRun == nCommands ? 0 : 1;
}

// Starts the flood and waits until it shows on the screen.
bool StartFlood(CKestrelboxSession& kb)
{
    if (!RunLine(kb, kFlood))
        return false;
    return kb.WaitLamp(LampColour::Red, 20000) && WaitUntil([&] { return kb.RowInk(2) > 0; }, 20000);
}

int Closes(int nCloses)
{
    int nClean = 0;
    std::vector<double> times;
    for (int i = 0; i < nCloses; ++i) {
        CKestrelboxSession kb;
        if (!Start(kb))
            return 1;
        DWORD dwPid = kb.ProcessId();
        bool bFlood = StartFlood(kb);
        double t0 = Now();
        ::PostMessageA(kb.MainWnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        // "Really quit ?" while the flood runs.
        HWND hBox = kb.WaitForWindow("Process is running", 20000);
        if (hBox)
            ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
        DWORD dwCode = 0xDEAD;
        bool bExited = kb.WaitExit(30000, &dwCode);
        double dMs = Now() - t0;
        std::vector<std::string> left;
        if (bExited)
            WaitUntil([&] { left = ChildrenOf(dwPid); return left.empty(); }, 10000);
        bool bClean = bFlood && hBox && bExited && dwCode == 0 && left.empty();
        nClean += bClean ? 1 : 0;
        if (bExited)
            times.push_back(dMs);
        if (!bClean) {
            std::printf("close %d: flood %s, question %s, exited %s, code %lu, left:", i + 1, bFlood ? "yes" : "no",
                        hBox ? "yes" : "no", bExited ? "yes" : "no", dwCode);
            for (const std::string& s : left)
                std::printf(" %s", s.c_str());
            std::printf("\n");
        }
        kb.Kill();
    }
    std::sort(times.begin(), times.end());
    std::printf("closes during a 64 MiB flood: %d of %d ended with exit code 0 and no process left\n", nClean,
                nCloses);
    if (!times.empty())
        std::printf("close to exit: median %.0f ms, worst %.0f ms\n", times[times.size() / 2], times.back());
    return nClean == nCloses ? 0 : 1;
}

// Whether the screen's text area shows the error colour anywhere.
bool ShowsErrorColour(CKestrelboxSession& kb)
{
    RECT rc = kb.TextArea();
    CScreenCapture cap;
    if (!cap.Grab(rc))
        return false;
    RECT all = { 0, 0, cap.Width(), cap.Height() };
    return cap.Count(all, kErrorColour) > 0;
}

int Esc(int nRounds)
{
    CKestrelboxSession kb;
    if (!Start(kb))
        return 1;
    std::vector<double> toLine, toLamp;
    for (int i = 0; i < nRounds; ++i) {
        ::SendMessageA(kb.EditWnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        ::PostMessageA(kb.EditWnd(), WM_KEYDOWN, VK_F4, 1);
        if (!WaitUntil([&] { return kb.RowInk(0) == 0; }, 10000) || !StartFlood(kb) || ShowsErrorColour(kb)) {
            std::printf("round %d: no flood on a clear screen\n", i + 1);
            continue;
        }
        double t0 = Now();
        ::PostMessageA(kb.EditWnd(), WM_KEYDOWN, VK_ESCAPE, 1);
        double tLine = -1, tLamp = -1;
        while (Now() - t0 < 30000 && (tLine < 0 || tLamp < 0)) {
            if (tLine < 0 && ShowsErrorColour(kb))
                tLine = Now() - t0;
            if (tLamp < 0 && kb.Lamp() == LampColour::Green)
                tLamp = Now() - t0;
        }
        if (tLine >= 0)
            toLine.push_back(tLine);
        if (tLamp >= 0)
            toLamp.push_back(tLamp);
        std::printf("esc %d: abort line after %.0f ms, green lamp after %.0f ms\n", i + 1, tLine, tLamp);
    }
    auto Report = [](const char* pszWhat, std::vector<double> v) {
        if (v.empty())
            return;
        std::sort(v.begin(), v.end());
        std::printf("esc to %s: median %.0f ms, worst %.0f ms (%zu rounds; target 100 ms)\n", pszWhat,
                    v[v.size() / 2], v.back(), v.size());
    };
    Report("abort line", toLine);
    Report("green lamp", toLamp);
    kb.Kill();
    return 0;
}

}

int main(int argc, char** argv)
{
    std::string strMode = argc > 1 ? argv[1] : "";
    int n = argc > 2 ? std::atoi(argv[2]) : 0;
    if (strMode == "commands")
        return Commands(n > 0 ? n : 1000);
    if (strMode == "closes")
        return Closes(n > 0 ? n : 50);
    if (strMode == "esc")
        return Esc(n > 0 ? n : 10);
    std::printf("usage: kbsoak commands|closes|esc [N]\n");
    return 2;
}
