// Idle benchmark: the CPU time the real Kestrelbox.exe spends in ten seconds
// of doing nothing, with the device tracker running (the adb imitation's
// track-devices on the default device set), beside the same program whose
// tracker could not run (the imitation refuses track-devices, as adb builds
// before it did), which is the figure of the program before tracking. Also
// the tracking child's own time. Prints figures, decides nothing.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/KestrelboxSession.h"

namespace {

const DWORD kIdleMs = 10000;

double CpuSeconds(HANDLE hProcess)
{
    FILETIME ftCreate, ftExit, ftKernel, ftUser;
    if (!::GetProcessTimes(hProcess, &ftCreate, &ftExit, &ftKernel, &ftUser))
        return -1;
    ULARGE_INTEGER k, u;
    k.LowPart = ftKernel.dwLowDateTime;
    k.HighPart = ftKernel.dwHighDateTime;
    u.LowPart = ftUser.dwLowDateTime;
    u.HighPart = ftUser.dwHighDateTime;
    return double(k.QuadPart + u.QuadPart) / 1e7;
}

bool Measure(const char* pszWhat, bool bTracking)
{
    CKestrelboxSession session;
    if (!bTracking)
        session.SetEnvironment({ { "ADBSIM_NO_TRACK", "1" } });
    std::string strError;
    if (!session.Start(strError)) {
        printf("  %s: the program did not start: %s\n", pszWhat, strError.c_str());
        return false;
    }
    // Settle: the tracker's first list (or its end) has been taken.
    WaitUntil([] { return false; }, 2000);
    HANDLE hKb = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, session.ProcessId());
    std::vector<HANDLE> children = session.OpenLiveChildren();
    double dKb0 = CpuSeconds(hKb);
    std::vector<double> child0;
    for (HANDLE h : children)
        child0.push_back(CpuSeconds(h));
    ::Sleep(kIdleMs);   // the figure is the time of a fixed idle stretch
    double dKb = CpuSeconds(hKb) - dKb0;
    double dChild = 0;
    for (size_t i = 0; i < children.size(); ++i) {
        dChild += CpuSeconds(children[i]) - child0[i];
        ::CloseHandle(children[i]);
    }
    printf("  %-34s Kestrelbox %.3f CPU s per 10 s; %zu child(ren) %.3f CPU s\n", pszWhat, dKb, children.size(),
           dChild);
    ::CloseHandle(hKb);
    session.Kill();
    return true;
}

} // namespace

int main()
{
    printf("idle, 10 s with nothing typed:\n");
    bool bOk = Measure("before tracking (tracker refused):", false);
    bOk = Measure("tracking devices:", true) && bOk;
    return bOk ? 0 : 1;
}
