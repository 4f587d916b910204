// Idle benchmark: the CPU time the real Kestrelbox.exe spends in ten seconds
// of doing nothing, with the device tracker running (the adb imitation's
// track-devices on the default device set), beside the same program whose
// tracker could not run (the imitation refuses track-devices, as adb builds
// before it did), which is the figure of the program before tracking. Also
// the tracking child's own time. Wine does not report another process's
// times, so they are read from the Linux side (/proc through the Z: drive),
// where each Windows process is a Linux process whose command line is the
// Windows one. Prints figures, decides nothing.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/KestrelboxSession.h"

namespace {

const DWORD kIdleMs = 10000;

std::string ReadFileText(const std::string& strPath)
{
    std::string s;
    FILE* f = fopen(strPath.c_str(), "rb");
    if (!f)
        return s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    fclose(f);
    return s;
}

struct CLinuxProc {
    int nPid = 0;
    int nParent = 0;
    double dCpu = 0;   // user + system, seconds
    std::string strCmd;
};

// Every Linux process with its parent, CPU time and command line.
std::vector<CLinuxProc> LinuxProcesses()
{
    std::vector<CLinuxProc> procs;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA("Z:\\proc\\*", &fd);
    if (h == INVALID_HANDLE_VALUE)
        return procs;
    do {
        if (fd.cFileName[0] < '0' || fd.cFileName[0] > '9')
            continue;
        CLinuxProc p;
        p.nPid = atoi(fd.cFileName);
        std::string strDir = std::string("Z:\\proc\\") + fd.cFileName + "\\";
        std::string stat = ReadFileText(strDir + "stat");
        size_t nClose = stat.rfind(')');
        if (nClose == std::string::npos)
            continue;
        char cState = 0;
        int nParent = 0;
        unsigned long long u = 0, k = 0;
        if (sscanf(stat.c_str() + nClose + 1, " %c %d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &cState,
                   &nParent, &u, &k) != 4)
            continue;
        p.nParent = nParent;
        p.dCpu = double(u + k) / 100.0;
        p.strCmd = ReadFileText(strDir + "cmdline");
        for (char& c : p.strCmd)
            if (c == '\0')
                c = ' ';
        procs.push_back(p);
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    return procs;
}

// The CPU seconds of the program (by its full path) and of its children.
bool ProgramCpu(const std::string& strExe, double& dProgram, double& dChildren, int& nChildren)
{
    std::vector<CLinuxProc> procs = LinuxProcesses();
    int nPid = 0;
    for (const CLinuxProc& p : procs)
        if (_strnicmp(p.strCmd.c_str(), strExe.c_str(), strExe.size()) == 0 ||
            (p.strCmd.size() > strExe.size() + 1 && _strnicmp(p.strCmd.c_str() + 1, strExe.c_str(), strExe.size()) == 0)) {
            nPid = p.nPid;
            dProgram = p.dCpu;
        }
    if (!nPid)
        return false;
    dChildren = 0;
    nChildren = 0;
    for (const CLinuxProc& p : procs)
        if (p.nParent == nPid) {
            dChildren += p.dCpu;
            ++nChildren;
        }
    return true;
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
    char szExe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    std::string strExe = szExe;
    strExe = strExe.substr(0, strExe.find_last_of("\\/") + 1) + "Kestrelbox.exe";
    double dKb0 = 0, dChild0 = 0, dKb1 = 0, dChild1 = 0;
    int nChildren = 0;
    bool bOk = ProgramCpu(strExe, dKb0, dChild0, nChildren);
    ::Sleep(kIdleMs);   // the figure is the time of a fixed idle stretch
    bOk = ProgramCpu(strExe, dKb1, dChild1, nChildren) && bOk;
    // Wine starts a child detached from its Linux parent: where the
    // children cannot be told, only the program's own figure is given.
    if (bOk && nChildren > 0)
        printf("  %-34s Kestrelbox %.2f CPU s per 10 s; %d child(ren) %.2f CPU s\n", pszWhat, dKb1 - dKb0,
               nChildren, dChild1 - dChild0);
    else if (bOk)
        printf("  %-34s Kestrelbox %.2f CPU s per 10 s\n", pszWhat, dKb1 - dKb0);
    else
        printf("  %s: the program's Linux process was not found\n", pszWhat);
    // Closed as a user closes it, so that the tracker's child goes too.
    ::PostMessageA(session.MainWnd(), WM_CLOSE, 0, 0);
    if (!session.WaitExit(10000))
        session.Kill();
    return bOk;
}

} // namespace

int main()
{
    printf("idle, 10 s with nothing typed:\n");
    bool bOk = Measure("before tracking (tracker refused):", false);
    bOk = Measure("tracking devices:", true) && bOk;
    return bOk ? 0 : 1;
}
