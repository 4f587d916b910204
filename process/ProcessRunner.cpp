#include "process/ProcessRunner.h"

#include <process.h>

#include <exception>

int CProcessRunner::s_nNextRunId = 0;

namespace {

// A reader that has not left ten seconds after its child was killed is
// stuck in its sink.
const DWORD kDestroyWaitMs = 10000;

enum { kStdinRead, kStdinWrite, kOutRead, kOutWrite };

void CloseIfOpen(HANDLE h)
{
    if (h)
        CloseHandle(h);
}

bool WriteAll(HANDLE h, const char* p, DWORD n)
{
    while (n > 0) {
        DWORD dwWritten = 0;
        if (!WriteFile(h, p, n, &dwWritten, nullptr) || dwWritten == 0)
            return false;
        p += dwWritten;
        n -= dwWritten;
    }
    return true;
}

}

CProcessRunner::CProcessRunner(IProcessEvents* pEvents, bool bQuiet)
    : m_pEvents(pEvents ? pEvents : this), m_bQuiet(bQuiet)
{
    m_buffer[0] = '\0';
}

CProcessRunner::~CProcessRunner()
{
    if (IsRunning())
        Terminate();
    if (!WaitForReader(kDestroyWaitMs)) {
        // Freeing the object under a live reader would let it write into
        // freed memory; stopping the thread is the lesser harm.
        TerminateThread(m_hReader, 1);
        WaitForSingleObject(m_hReader, kDestroyWaitMs);
        CloseHandle(m_hReader);
        m_hReader = nullptr;
    }
}

void CProcessRunner::Prepare(const char* pszCommand)
{
    m_strCommand = pszCommand ? pszCommand : "";
    m_bAbort = false;
    std::lock_guard<std::mutex> lock(m_lockHandles);
    m_bChildPending = true;
}

bool CProcessRunner::Start(const char* pszCommand)
{
    if (IsRunning())
        return false;
    Prepare(pszCommand);
    m_hPredecessor = m_hReader;
    m_nQueuedRunId = s_nNextRunId;

    unsigned nThreadId = 0;
    HANDLE hThread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &nThreadId));
    if (!hThread) {
        DWORD dwError = GetLastError();
        m_hPredecessor = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_lockHandles);
            m_bChildPending = false;
        }
        SetLastError(dwError ? dwError : ERROR_NOT_ENOUGH_MEMORY);
        m_pEvents->OnProcessError(this);
        return false;
    }
    m_hThread = hThread;
    m_dwThreadId = nThreadId;
    SetThreadPriority(hThread, THREAD_PRIORITY_NORMAL);
    if (ResumeThread(hThread) == DWORD(-1)) {
        // The thread never ran, so it neither took the predecessor nor
        // touched the runner.
        DWORD dwError = GetLastError();
        TerminateThread(hThread, 1);
        WaitForSingleObject(hThread, INFINITE);
        CloseHandle(hThread);
        m_hPredecessor = nullptr;
        m_hThread = INVALID_HANDLE_VALUE;
        {
            std::lock_guard<std::mutex> lock(m_lockHandles);
            m_bChildPending = false;
        }
        SetLastError(dwError);
        m_pEvents->OnProcessError(this);
        return false;
    }
    m_hReader = hThread;
    s_nNextRunId++;
    return true;
}

bool CProcessRunner::RunSync(const char* pszCommand)
{
    if (IsRunning())
        return false;
    if (m_hReader) {
        // Waiting here could deadlock when this thread is handling a message
        // that the finishing reader sent.
        if (WaitForSingleObject(m_hReader, 0) != WAIT_OBJECT_0)
            return false;
        CloseHandle(m_hReader);
        m_hReader = nullptr;
    }
    Prepare(pszCommand);
    m_nRunId = s_nNextRunId++;
    Run();
    return true;
}

unsigned __stdcall CProcessRunner::ThreadProc(void* pParam)
{
    CProcessRunner* pRunner = static_cast<CProcessRunner*>(pParam);
    HANDLE hPredecessor = pRunner->m_hPredecessor;
    int nRunId = pRunner->m_nQueuedRunId;
    // The previous run's thread may still be inside its exit event, which
    // reads m_pi and m_nRunId; it is done with the runner once it has ended.
    if (hPredecessor) {
        WaitForSingleObject(hPredecessor, INFINITE);
        CloseHandle(hPredecessor);
    }
    pRunner->m_nRunId = nRunId;
    try {
        pRunner->Run();
    } catch (...) {
        // Caught by nothing of ours (a sink that failed to allocate, say):
        // it ends in the crash report, not in a thread that vanishes.
        std::terminate();
    }
    return 0;
}

void CProcessRunner::Fail(HANDLE (&hPipes)[4])
{
    DWORD dwError = GetLastError();
    {
        std::lock_guard<std::mutex> lock(m_lockHandles);
        m_hStdinWrite = INVALID_HANDLE_VALUE;
        m_bChildPending = false;
    }
    m_hThread = INVALID_HANDLE_VALUE;
    SetLastError(dwError);
    m_pEvents->OnProcessError(this);
    for (HANDLE h : hPipes)
        CloseIfOpen(h);
}

void CProcessRunner::Run()
{
    // Every handle of this run stays in these locals: once the runner is
    // idle, its fields may already belong to the next run.
    HANDLE hPipes[4] = { nullptr, nullptr, nullptr, nullptr };
    SECURITY_ATTRIBUTES sa = { sizeof(sa), nullptr, TRUE };
    if (!CreatePipe(&hPipes[kStdinRead], &hPipes[kStdinWrite], &sa, 2048)
        || !CreatePipe(&hPipes[kOutRead], &hPipes[kOutWrite], &sa, kChunkSize)) {
        Fail(hPipes);
        return;
    }
    m_hStdinWrite = hPipes[kStdinWrite];

    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = hPipes[kStdinRead];
    si.hStdOutput = hPipes[kOutWrite];
    si.hStdError = hPipes[kOutWrite];
    PROCESS_INFORMATION pi = {};
    m_pi = pi;
    CString strCommandLine(m_strCommand);
    if (!CreateProcessA(nullptr, strCommandLine.GetBuffer(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi)) {
        Fail(hPipes);
        return;
    }
    m_pi = pi;
    {
        std::lock_guard<std::mutex> lock(m_lockHandles);
        m_hKill = pi.hProcess;
        m_bChildPending = false;
    }
    // Terminate found no child yet if it came before the lock above.
    if (m_bAbort)
        TerminateProcess(pi.hProcess, 255);

    m_pEvents->OnProcessStart(this);

    DWORD dwWait;
    do {
        // The wait comes first, so the pass that sees the child ended still
        // drains what it wrote.
        dwWait = WaitForSingleObject(pi.hProcess, 10);
        DWORD dwAvail = 0;
        if (!PeekNamedPipe(hPipes[kOutRead], nullptr, 0, nullptr, &dwAvail, nullptr))
            dwAvail = 0;
        while (dwAvail > 0) {
            DWORD dwRead = 0;
            if (!ReadFile(hPipes[kOutRead], m_buffer, dwAvail < kChunkSize ? dwAvail : kChunkSize, &dwRead,
                          nullptr)
                || dwRead == 0)
                break;
            m_buffer[dwRead] = '\0';
            m_dwRead = dwRead;
            dwAvail -= dwRead < dwAvail ? dwRead : dwAvail;
            m_pEvents->OnProcessOutput(this);
        }
    } while (dwWait == WAIT_TIMEOUT && !m_bAbort);

    {
        std::lock_guard<std::mutex> lock(m_lockHandles);
        m_hKill = nullptr;
        m_hStdinWrite = INVALID_HANDLE_VALUE;
    }
    for (HANDLE h : hPipes)
        CloseHandle(h);
    m_hThread = INVALID_HANDLE_VALUE;

    m_pEvents->OnProcessExit(this);

    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

CProcessRunner& CProcessRunner::WriteLine(const CString& strLine)
{
    // A copy of the handle, so that the reader may close its own while a
    // write waits for the child to read.
    HANDLE hWrite = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lockHandles);
        HANDLE h = m_hStdinWrite;
        if (h == INVALID_HANDLE_VALUE
            || !DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &hWrite, 0, FALSE,
                                DUPLICATE_SAME_ACCESS))
            return *this;
    }
    if (WriteAll(hWrite, strLine, DWORD(strLine.GetLength())))
        WriteAll(hWrite, "\r\n", 2);
    CloseHandle(hWrite);
    return *this;
}

BOOL CProcessRunner::Terminate()
{
    m_bAbort = true;
    std::lock_guard<std::mutex> lock(m_lockHandles);
    if (m_hKill)
        return TerminateProcess(m_hKill, 255);
    return m_bChildPending ? TRUE : FALSE;
}

bool CProcessRunner::WaitForReader(DWORD dwTimeout)
{
    if (!m_hReader)
        return true;
    const DWORD dwStart = GetTickCount();
    for (;;) {
        DWORD dwLeft = INFINITE;
        if (dwTimeout != INFINITE) {
            DWORD dwElapsed = GetTickCount() - dwStart;
            dwLeft = dwElapsed >= dwTimeout ? 0 : dwTimeout - dwElapsed;
        }
        DWORD dwResult = MsgWaitForMultipleObjects(1, &m_hReader, FALSE, dwLeft, QS_SENDMESSAGE);
        if (dwResult == WAIT_OBJECT_0) {
            CloseHandle(m_hReader);
            m_hReader = nullptr;
            return true;
        }
        if (dwResult != WAIT_OBJECT_0 + 1)
            return false;
        // Peeking delivers the messages sent to this thread; nothing posted
        // is taken from the queue.
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
