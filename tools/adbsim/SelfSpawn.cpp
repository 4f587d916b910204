#include "SelfSpawn.h"

#include "Numbers.h"
#include "StdIo.h"

#include <vector>

namespace {

// The standard handles may have been given to us non-inheritable; an
// inheritable duplicate makes sure the child really shares them.
HANDLE DuplicateInheritable(DWORD nWhich)
{
    HANDLE h = GetStdHandle(nWhich);
    if (h == NULL || h == INVALID_HANDLE_VALUE)
        return NULL;
    HANDLE hDup = NULL;
    if (!DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &hDup, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        return NULL;
    return hDup;
}

void CloseIf(HANDLE h)
{
    if (h != NULL)
        CloseHandle(h);
}

bool SetKillOnClose(HANDLE hJob, bool bKill)
{
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info;
    ZeroMemory(&info, sizeof(info));
    info.BasicLimitInformation.LimitFlags = bKill ? JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE : 0;
    return SetInformationJobObject(hJob, JobObjectExtendedLimitInformation, &info, sizeof(info)) != 0;
}

} // namespace

HANDLE ParseReplyEvent(const std::string& str)
{
    uint64_t n = 0;
    if (!ParseUnsigned(str, UINTPTR_MAX, n) || n == 0)
        return NULL;
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(n));
}

bool SpawnSelf(const std::wstring& strArgs, DWORD nReadyWaitMs, DWORD* pnError)
{
    *pnError = 0;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE hReply = CreateEventW(&sa, TRUE, FALSE, NULL);
    if (hReply == NULL)
    {
        *pnError = GetLastError();
        return false;
    }

    std::wstring strCmd = L"\"" + GetSelfPathW() + L"\" " + strArgs + L" --reply-event " +
                          std::to_wstring(reinterpret_cast<uintptr_t>(hReply));
    std::vector<wchar_t> cmd(strCmd.begin(), strCmd.end());
    cmd.push_back(L'\0');

    // Our standard input is for us alone: a background child that kept the
    // read end of the caller's input pipe would keep that pipe open.
    HANDLE hIn = GetStdHandle(STD_INPUT_HANDLE);
    if (hIn != NULL && hIn != INVALID_HANDLE_VALUE)
        SetHandleInformation(hIn, HANDLE_FLAG_INHERIT, 0);

    HANDLE hOut = DuplicateInheritable(STD_OUTPUT_HANDLE);
    HANDLE hErr = DuplicateInheritable(STD_ERROR_HANDLE);

    STARTUPINFOW si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = NULL;
    si.hStdOutput = hOut;
    si.hStdError = hErr;

    // The child starts in the program's own folder, so that a background
    // process does not keep the caller's working folder in use.
    std::wstring strDir = GetSelfPathW();
    size_t nSlash = strDir.find_last_of(L"\\/");
    const wchar_t* pszDir = NULL;
    if (nSlash != std::wstring::npos)
    {
        strDir.resize(nSlash + 1);
        pszDir = strDir.c_str();
    }

    // This process joins a kill-on-close job before it creates the child, so
    // the child is in the job from its first moment: should this process be
    // terminated while the child starts, the system ends the child as well.
    // The job handle is not inheritable, so no copy of it outlives us.
    HANDLE hJob = CreateJobObjectW(NULL, NULL);
    if (hJob != NULL && (!SetKillOnClose(hJob, true) || !AssignProcessToJobObject(hJob, GetCurrentProcess())))
    {
        // Where jobs cannot nest (a caller already in a job on an old
        // system) the child starts without the guard rather than not at all.
        SetKillOnClose(hJob, false);
        CloseHandle(hJob);
        hJob = NULL;
    }

    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof(pi));
    BOOL bCreated = CreateProcessW(NULL, cmd.data(), NULL, NULL, TRUE, DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP,
                                   NULL, pszDir, &si, &pi);
    DWORD nCreateError = GetLastError();
    CloseIf(hOut);
    CloseIf(hErr);

    bool bReady = false;
    if (bCreated)
    {
        CloseHandle(pi.hThread);
        HANDLE waits[2] = {hReply, pi.hProcess};
        DWORD r = WaitForMultipleObjects(2, waits, FALSE, nReadyWaitMs);
        bReady = (r == WAIT_OBJECT_0);
        if (!bReady)
        {
            *pnError = r == WAIT_TIMEOUT ? ERROR_TIMEOUT : ERROR_PROCESS_ABORTED;
            TerminateProcess(pi.hProcess, 1);
        }
    }
    else
        *pnError = nCreateError;

    if (hJob != NULL)
    {
        // From here on the child lives on its own. Should the limit refuse to
        // go, closing the handle would end us and the child alike: keep it
        // open until we exit, and report the child as not started.
        if (SetKillOnClose(hJob, false))
            CloseHandle(hJob);
        else if (bReady)
        {
            bReady = false;
            *pnError = GetLastError();
            TerminateProcess(pi.hProcess, 1);
        }
    }
    if (bCreated)
        CloseHandle(pi.hProcess);
    CloseHandle(hReply);
    return bReady;
}
