// Flood benchmark: how fast the real Kestrelbox.exe takes a child's output,
// beside the ceiling of its 10 ms read loop with nothing behind it, both
// measured by the adb imitation's own writes in the same run. Run by
// scripts/bench under Wine in the virtual display; prints figures, decides
// nothing.
//   floodbench [BYTES LINELEN]...   (default: 64 MiB of 100-byte lines,
//                                    16 MiB of empty lines)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "e2e/KestrelboxSession.h"

namespace {

const DWORD kChunkSize = 131072;
const DWORD kFloodTimeoutMs = 15 * 60 * 1000;

struct CFlood {
    unsigned long long nBytes;
    int nLineLen;
};

std::string TempFile(const char* pszName)
{
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    return std::string(szTemp) + pszName;
}

// The three figures that adbsim --sim-flood reports: bytes, seconds, MiB/s.
bool ReadReport(const std::string& strFile, double* pdRate, double* pdSeconds)
{
    FILE* f = fopen(strFile.c_str(), "r");
    if (!f)
        return false;
    unsigned long long nBytes = 0;
    const bool bOk = fscanf(f, "%llu %lf %lf", &nBytes, pdSeconds, pdRate) == 3;
    fclose(f);
    return bOk;
}

std::string FloodArgs(const CFlood& flood, const std::string& strReport)
{
    return "--sim-flood " + std::to_string(flood.nBytes) + " " + std::to_string(flood.nLineLen)
        + " --sim-flood-report " + strReport;
}

// The runner's read loop and nothing else: wait 10 ms on the child, read what
// is waiting in chunks of 128 KiB, throw it away.
bool BareReadLoop(const CFlood& flood, double* pdRate)
{
    const std::string strReport = TempFile("kbflood-ceiling.txt");
    ::DeleteFileA(strReport.c_str());
    HANDLE hInRead, hInWrite, hOutRead, hOutWrite;
    SECURITY_ATTRIBUTES sa = { sizeof(sa), nullptr, TRUE };
    if (!::CreatePipe(&hInRead, &hInWrite, &sa, 2048) || !::CreatePipe(&hOutRead, &hOutWrite, &sa, kChunkSize))
        return false;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = hInRead;
    si.hStdOutput = hOutWrite;
    si.hStdError = hOutWrite;
    PROCESS_INFORMATION pi = {};
    std::string strCommand = "\"" + CKestrelboxSession::AdbPath() + "\" " + FloodArgs(flood, strReport);
    if (!::CreateProcessA(nullptr, &strCommand[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                          &pi))
        return false;
    std::vector<char> buffer(kChunkSize + 1);
    DWORD dwWait;
    do {
        dwWait = ::WaitForSingleObject(pi.hProcess, 10);
        DWORD dwAvail = 0;
        if (!::PeekNamedPipe(hOutRead, nullptr, 0, nullptr, &dwAvail, nullptr))
            dwAvail = 0;
        while (dwAvail > 0) {
            DWORD dwRead = 0;
            if (!::ReadFile(hOutRead, buffer.data(), dwAvail < kChunkSize ? dwAvail : kChunkSize, &dwRead, nullptr)
                || dwRead == 0)
                break;
            buffer[dwRead] = 0;
            dwAvail -= dwRead < dwAvail ? dwRead : dwAvail;
        }
    } while (dwWait == WAIT_TIMEOUT);
    for (HANDLE h : { hInRead, hInWrite, hOutRead, hOutWrite, pi.hProcess, pi.hThread })
        ::CloseHandle(h);
    double dSeconds = 0;
    return ReadReport(strReport, pdRate, &dSeconds);
}

bool Memory(DWORD dwPid, PROCESS_MEMORY_COUNTERS* pmc)
{
    HANDLE h = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwPid);
    if (!h)
        return false;
    pmc->cb = sizeof(*pmc);
    const bool bOk = ::GetProcessMemoryInfo(h, pmc, sizeof(*pmc)) != 0;
    ::CloseHandle(h);
    return bOk;
}

// Under Wine the program is also a Linux process, whose proportional set
// size counts each page of memory once. Printed for people to look at, with
// no target: Wine clears every new thread's stack and keeps freed heap
// blocks resident where Windows does not. -1 where there is no such process.
long long ProportionalKb()
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA("Z:\\proc\\*", &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return -1;
    long long nKb = -1;
    do {
        if (fd.cFileName[0] < '0' || fd.cFileName[0] > '9')
            continue;
        const std::string strDir = std::string("Z:\\proc\\") + fd.cFileName;
        FILE* f = fopen((strDir + "\\cmdline").c_str(), "rb");
        if (!f)
            continue;
        char szCmd[512] = {};
        const size_t n = fread(szCmd, 1, sizeof(szCmd) - 1, f);
        fclose(f);
        for (size_t i = 0; i < n; ++i)
            szCmd[i] = szCmd[i] ? szCmd[i] : ' ';
        if (!strstr(szCmd, "\\Kestrelbox.exe"))
            continue;
        f = fopen((strDir + "\\smaps_rollup").c_str(), "r");
        if (!f)
            continue;
        char szLine[256];
        while (fgets(szLine, sizeof(szLine), f))
            if (sscanf(szLine, "Pss: %lld", &nKb) == 1)
                break;
        fclose(f);
        break;
    } while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
    return nKb;
}

// The same flood typed into a fresh Kestrelbox. A screenshot is taken while
// it runs, for people to look at.
bool KestrelboxFlood(const CFlood& flood, int nIndex, double* pdRate)
{
    CKestrelboxSession session;
    std::string strError;
    if (!session.Start(strError)) {
        printf("  Kestrelbox did not start: %s\n", strError.c_str());
        return false;
    }
    session.BringToFront();
    // Idle is taken after one small command has run and shown its lines, so
    // that what any first command costs once (its reader thread, the first
    // text painted) does not count as the flood's.
    PROCESS_MEMORY_COUNTERS fresh = {}, idle = {};
    const bool bFresh = Memory(session.ProcessId(), &fresh);
    const long long nFreshKb = ProportionalKb();
    auto InkedRows = [&] {
        int n = 0;
        for (int i = 0; i < session.PageLines(); ++i)
            n += session.RowInk(i) > 0 ? 1 : 0;
        return n;
    };
    const int nRows = InkedRows();
    session.EnterLine("version");
    // The echo, its lines and the exit line: the command has ended.
    const bool bIdle = WaitUntil([&] { return InkedRows() >= nRows + 4; }, 20000)
        && session.WaitLamp(LampColour::Green, 20000) && Memory(session.ProcessId(), &idle);
    const long long nIdleKb = ProportionalKb();
    if (bFresh && bIdle)
        printf("  memory: just started: working set %.1f MiB, commit %.1f MiB; after one small command: %.1f MiB, "
               "%.1f MiB\n",
               fresh.WorkingSetSize / 1048576.0, fresh.PagefileUsage / 1048576.0, idle.WorkingSetSize / 1048576.0,
               idle.PagefileUsage / 1048576.0);
    const std::string strReport = TempFile("kbflood-kestrelbox.txt");
    ::DeleteFileA(strReport.c_str());
    session.EnterLine(FloodArgs(flood, strReport).c_str());
    // A look while the flood runs: once the screen has been painted busy.
    if (session.WaitLamp(LampColour::Red, 20000)) {
        WaitUntil([&] { return ::GetFileAttributesA(strReport.c_str()) != INVALID_FILE_ATTRIBUTES; }, 1500);
        CKestrelboxSession::Screenshot(("flood" + std::to_string(nIndex)).c_str());
    }
    double dSeconds = 0;
    long long nPeakKb = nIdleKb;
    const bool bDone = WaitUntil(
        [&] {
            nPeakKb = std::max(nPeakKb, ProportionalKb());
            return ReadReport(strReport, pdRate, &dSeconds);
        },
        kFloodTimeoutMs);
    if (nFreshKb > 0 && nIdleKb > 0)
        printf("  memory, each page once (Linux Pss, sampled): just started %.1f MiB, idle %.1f MiB, peak %.1f MiB; "
               "growth %.1f MiB = %.0f %% of the 4 MiB store (Wine's figure; the store's own is the host benchmark's "
               "Memory)\n",
               nFreshKb / 1024.0, nIdleKb / 1024.0, nPeakKb / 1024.0, (nPeakKb - nIdleKb) / 1024.0,
               100.0 * (nPeakKb - nIdleKb) / 4096.0);
    PROCESS_MEMORY_COUNTERS peak = {};
    if (bIdle && Memory(session.ProcessId(), &peak)) {
        const double dStore = 4.0 * 1048576;
        printf("  memory, as the system reports it: idle working set %.1f MiB, peak %.1f MiB, growth %.1f MiB = "
               "%.0f %% of the 4 MiB store; commit idle %.1f MiB, peak %.1f MiB\n",
               idle.WorkingSetSize / 1048576.0, peak.PeakWorkingSetSize / 1048576.0,
               (double(peak.PeakWorkingSetSize) - double(idle.WorkingSetSize)) / 1048576.0,
               100.0 * (double(peak.PeakWorkingSetSize) - double(idle.WorkingSetSize)) / dStore,
               idle.PagefileUsage / 1048576.0, peak.PeakPagefileUsage / 1048576.0);
    }
    session.WaitLamp(LampColour::Green, 60000);
    CKestrelboxSession::Screenshot(("flood" + std::to_string(nIndex) + "-end").c_str());
    return bDone;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<CFlood> floods;
    for (int i = 1; i + 1 < argc; i += 2)
        floods.push_back(CFlood{ strtoull(argv[i], nullptr, 10), atoi(argv[i + 1]) });
    if (floods.empty())
        floods = { CFlood{ 64ull << 20, 100 }, CFlood{ 16ull << 20, 2 } };
    setvbuf(stdout, nullptr, _IONBF, 0);
    int nIndex = 0;
    for (const CFlood& flood : floods) {
        ++nIndex;
        printf("flood %d: %.0f MiB of %d-byte lines (CR LF included)\n", nIndex, flood.nBytes / 1048576.0,
               flood.nLineLen);
        double dCeiling = 0, dKestrelbox = 0;
        if (BareReadLoop(flood, &dCeiling))
            printf("  ceiling (bare 10 ms read loop): %.2f MiB/s\n", dCeiling);
        else
            printf("  ceiling: the bare read loop did not finish\n");
        if (KestrelboxFlood(flood, nIndex, &dKestrelbox))
            printf("  Kestrelbox: %.2f MiB/s\n", dKestrelbox);
        else
            printf("  Kestrelbox: the flood did not finish\n");
        if (dCeiling > 0 && dKestrelbox > 0)
            printf("  ratio: %.0f %% of the ceiling (target: %s)\n", 100.0 * dKestrelbox / dCeiling,
                   flood.nLineLen > 2 ? ">= 90 %" : ">= 50 %");
    }
    return 0;
}
