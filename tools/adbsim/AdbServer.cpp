#include "AdbServer.h"

#include "Numbers.h"
#include "SelfSpawn.h"
#include "StdIo.h"

namespace {

const DWORD kLockWaitMs = 20000;
const DWORD kStartWaitMs = 10000;
const DWORD kStopWaitMs = 10000;

// Holds the clients' lock for a scope. If the lock cannot be had in time (a
// client hung while holding it), the work goes on without it rather than
// hanging this process too.
class CServerLock
{
public:
    CServerLock(const std::wstring& strName, DWORD nWaitMs) : m_bOwned(false)
    {
        m_hMutex = CreateMutexW(NULL, FALSE, strName.c_str());
        if (m_hMutex != NULL)
        {
            DWORD r = WaitForSingleObject(m_hMutex, nWaitMs);
            m_bOwned = (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED);
        }
    }
    ~CServerLock()
    {
        if (m_bOwned)
            ReleaseMutex(m_hMutex);
        if (m_hMutex != NULL)
            CloseHandle(m_hMutex);
    }
    CServerLock(const CServerLock&) = delete;
    CServerLock& operator=(const CServerLock&) = delete;

private:
    HANDLE m_hMutex;
    bool m_bOwned;
};

void CloseIf(HANDLE h)
{
    if (h != NULL)
        CloseHandle(h);
}

} // namespace

CAdbServer::CAdbServer(unsigned nPort) : m_nPort(nPort)
{
}

std::wstring CAdbServer::Name(const wchar_t* pszSuffix) const
{
    return L"Local\\adbsim-server-" + std::to_wstring(m_nPort) + pszSuffix;
}

DWORD CAdbServer::IdleMs()
{
    uint64_t n = 0;
    if (ParseUnsigned(GetEnv("ADBSIM_IDLE_MS"), 86400000ull, n) && n > 0)
        return static_cast<DWORD>(n);
    return kDefaultIdleMs;
}

bool CAdbServer::Connect()
{
    CServerLock lock(Name(L"-lock"), kLockWaitMs);

    HANDLE hTouch = OpenEventW(EVENT_MODIFY_STATE, FALSE, Name(L"").c_str());
    if (hTouch != NULL)
    {
        SetEvent(hTouch);
        CloseHandle(hTouch);
        return true;
    }

    std::string strPort = std::to_string(m_nPort);
    WriteErrLine("* daemon not running; starting now at tcp:" + strPort);

    DWORD nError = 0;
    bool bStarted = SpawnSelf(L"-P " + std::to_wstring(m_nPort) + L" fork-server server", kStartWaitMs, &nError);

    if (bStarted)
    {
        WriteErrLine("* daemon started successfully");
        return true;
    }
    WriteErrLine("* failed to start daemon");
    WriteErrLine("error: cannot connect to daemon");
    return false;
}

void CAdbServer::Touch()
{
    CServerLock lock(Name(L"-lock"), kLockWaitMs);
    HANDLE hTouch = OpenEventW(EVENT_MODIFY_STATE, FALSE, Name(L"").c_str());
    if (hTouch != NULL)
    {
        SetEvent(hTouch);
        CloseHandle(hTouch);
    }
}

bool CAdbServer::IsRunning() const
{
    HANDLE hTouch = OpenEventW(SYNCHRONIZE, FALSE, Name(L"").c_str());
    if (hTouch == NULL)
        return false;
    CloseHandle(hTouch);
    return true;
}

CAdbServer::KillResult CAdbServer::Kill()
{
    CServerLock lock(Name(L"-lock"), kLockWaitMs);

    HANDLE hAlive = OpenMutexW(SYNCHRONIZE, FALSE, Name(L"-alive").c_str());
    if (hAlive == NULL)
        return KillNotRunning;

    KillResult result = KillFailed;
    HANDLE hQuit = OpenEventW(EVENT_MODIFY_STATE, FALSE, Name(L"-quit").c_str());
    if (hQuit != NULL && SetEvent(hQuit))
    {
        // The server gives the mutex up as its last act; a server that dies
        // some other way abandons it, which ends the wait just the same.
        DWORD r = WaitForSingleObject(hAlive, kStopWaitMs);
        if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED)
        {
            ReleaseMutex(hAlive);
            result = KillStopped;
        }
    }
    CloseIf(hQuit);
    CloseHandle(hAlive);
    return result;
}

int CAdbServer::RunDaemon(HANDLE hReply)
{
    HANDLE hIn = GetStdHandle(STD_INPUT_HANDLE);
    if (hIn != NULL && hIn != INVALID_HANDLE_VALUE)
    {
        CloseHandle(hIn);
        SetStdHandle(STD_INPUT_HANDLE, NULL);
    }

    DWORD nIdleMs = IdleMs();

    HANDLE hQuit = CreateEventW(NULL, TRUE, FALSE, Name(L"-quit").c_str());
    if (hQuit != NULL && GetLastError() == ERROR_ALREADY_EXISTS)
    {
        CloseHandle(hQuit);
        WriteErrLine("adb: a server is already running at tcp:" + std::to_string(m_nPort));
        return 1;
    }
    HANDLE hAlive = CreateMutexW(NULL, TRUE, Name(L"-alive").c_str());
    HANDLE hTouch = CreateEventW(NULL, FALSE, FALSE, Name(L"").c_str());
    if (hQuit == NULL || hAlive == NULL || hTouch == NULL)
    {
        CloseIf(hTouch);
        CloseIf(hAlive);
        CloseIf(hQuit);
        WriteErrLine("adb: cannot create the server's objects");
        return 1;
    }
    if (hReply != NULL)
    {
        SetEvent(hReply);
        CloseHandle(hReply);
    }

    HANDLE hLock = NULL;
    bool bLocked = false;
    HANDLE waits[2] = {hQuit, hTouch};
    for (;;)
    {
        DWORD r = WaitForMultipleObjects(2, waits, FALSE, nIdleMs);
        if (r == WAIT_OBJECT_0 + 1)
            continue;
        if (r != WAIT_TIMEOUT)
            break;
        // Idle: go away, unless a client touched us while we were deciding.
        hLock = CreateMutexW(NULL, FALSE, Name(L"-lock").c_str());
        if (hLock != NULL)
        {
            DWORD l = WaitForSingleObject(hLock, 2000);
            bLocked = (l == WAIT_OBJECT_0 || l == WAIT_ABANDONED);
        }
        if (WaitForMultipleObjects(2, waits, FALSE, 0) != WAIT_OBJECT_0 + 1)
            break;
        if (bLocked)
            ReleaseMutex(hLock);
        bLocked = false;
        CloseIf(hLock);
        hLock = NULL;
    }

    CloseHandle(hTouch);
    CloseHandle(hQuit);
    ReleaseMutex(hAlive);
    CloseHandle(hAlive);
    if (bLocked)
        ReleaseMutex(hLock);
    CloseIf(hLock);
    return 0;
}
