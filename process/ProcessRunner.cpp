#include "process/ProcessRunner.h"
#include "process/OutputPipe.h"
#include "process/ChildLaunch.h"

#include <process.h>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

int CProcessRunner::s_nNextRunId = 0;

namespace {

// A reader that has not left ten seconds after its child was killed is
// stuck in its sink or in the system.
const DWORD kDestroyWaitMs = 10000;

// The suggested size of the child's input pipe.
const DWORD kInputPipeSize = 2048;

enum { kStdinRead, kStdinWrite, kOutRead, kOutWrite };

void CloseIfOpen(HANDLE h)
{
    if (h)
        CloseHandle(h);
}

}

CProcessRunner::CProcessRunner(IProcessEvents* pEvents, bool bQuiet)
    : m_pEvents(pEvents ? pEvents : this), m_bQuiet(bQuiet)
{
    m_buffer[0] = '\0';
}

CProcessRunner::~CProcessRunner()
{
    Close(kDestroyWaitMs);
}

void CProcessRunner::Close(DWORD dwTimeout)
{
    if (IsRunning())
        Terminate();
    if (WaitForReader(dwTimeout))
        return;
    // The object must not go from under the reader, and killing the thread
    // could leave a lock it holds (the loader's, the heap's) taken for good
    // and hang the rest of the exit. The system ends the thread with the
    // process; the child first, which a reader that was starting it may
    // have made only now.
    Terminate();
    ::TerminateProcess(::GetCurrentProcess(), kStuckReaderExitCode);
}

void CProcessRunner::Prepare(const char* pszCommand, UINT nCodePage)
{
    m_strCommand = pszCommand ? pszCommand : "";
    m_nCodePage = nCodePage;
    m_bAbort = false;
    // Lines for the child queue up from now on, also before it exists.
    ResetInput(true);
    std::lock_guard<std::mutex> lock(m_lockHandles);
    m_bChildPending = true;
}

bool CProcessRunner::Start(const char* pszCommand, UINT nCodePage)
{
    if (IsRunning())
        return false;
    Prepare(pszCommand, nCodePage);
    m_hPredecessor = m_hReader;
    m_nQueuedRunId = s_nNextRunId;

    unsigned nThreadId = 0;
    HANDLE hThread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &nThreadId));
    if (!hThread) {
        DWORD dwError = GetLastError();
        m_hPredecessor = nullptr;
        ResetInput(false);
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
    m_hReader = hThread;
    // Resuming a thread just made suspended, through the handle that made
    // it, cannot fail.
    SetThreadPriority(hThread, THREAD_PRIORITY_NORMAL);
    ResumeThread(hThread);
    s_nNextRunId++;
    return true;
}

bool CProcessRunner::RunSync(const char* pszCommand, UINT nCodePage)
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
    Prepare(pszCommand, nCodePage);
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
    ResetInput(false);
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

bool CProcessRunner::CreatePipes(HANDLE (&hPipes)[4])
{
    // The parent's ends are never inheritable. The input pipe's write end
    // never waits: a child that does not read fills the pipe, and the rest
    // of its input stays queued.
    SECURITY_ATTRIBUTES sa = { sizeof(sa), nullptr, FALSE };
    if (!CreatePipe(&hPipes[kStdinRead], &hPipes[kStdinWrite], &sa, kInputPipeSize))
        return false;
    DWORD dwMode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    if (!SetNamedPipeHandleState(hPipes[kStdinWrite], &dwMode, nullptr, nullptr))
        return false;
    return CreateOutputPipe(hPipes[kOutRead], hPipes[kOutWrite], kChunkSize);
}

bool CProcessRunner::CreateChild(HANDLE (&hPipes)[4], PROCESS_INFORMATION& pi)
{
    // The command's letters as its code page means them.
    std::vector<wchar_t> command(1, L'\0');
    int nCommand = m_strCommand.GetLength();
    if (nCommand > 0) {
        int nWide = MultiByteToWideChar(m_nCodePage, 0, m_strCommand.GetString(), nCommand, nullptr, 0);
        if (nWide <= 0)
            return false;
        // The system's limit, which not every CreateProcessW checks itself.
        if (nWide >= 32767) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        command.assign(size_t(nWide) + 1, L'\0');
        MultiByteToWideChar(m_nCodePage, 0, m_strCommand.GetString(), nCommand, command.data(), nWide);
    }
    return LaunchChild(command.data(), hPipes[kStdinRead], hPipes[kOutWrite], hPipes[kOutWrite], pi);
}

void CProcessRunner::Run()
{
    m_decoder.Reset();
    // Every handle of this run stays in these locals: once the runner is
    // idle, its fields may already belong to the next run.
    HANDLE hPipes[4] = { nullptr, nullptr, nullptr, nullptr };
    if (!CreatePipes(hPipes)) {
        Fail(hPipes);
        return;
    }
    m_hStdinWrite = hPipes[kStdinWrite];

    PROCESS_INFORMATION pi = {};
    m_pi = pi;
    if (!CreateChild(hPipes, pi)) {
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

    // A pass begins every kPollMs, counted from the start of the last one,
    // so that the time its output takes to print is not added to the wait.
    LARGE_INTEGER passStart;
    QueryPerformanceCounter(&passStart);
    DWORD dwWait;
    do {
        // Input queued since the last pass goes out before the wait, and
        // the wait comes before the reading, so that the pass that sees
        // the child ended still drains what it wrote.
        FeedInput(hPipes[kStdinWrite]);
        dwWait = AwaitPass(pi.hProcess, passStart);
        QueryPerformanceCounter(&passStart);
        // A pass takes what was waiting when it began, so that a child
        // that writes as fast as it is read cannot keep it from asking
        // whether the child has ended.
        DWORD dwAvail = 0;
        if (!PeekNamedPipe(hPipes[kOutRead], nullptr, 0, nullptr, &dwAvail, nullptr))
            dwAvail = 0;
        while (dwAvail > 0 && !m_bAbort) {
            DWORD dwRead = ReadWaiting(hPipes[kOutRead], m_buffer, dwAvail < kChunkSize ? dwAvail : kChunkSize);
            if (dwRead == 0)
                break;
            m_buffer[dwRead] = '\0';
            m_dwRead = dwRead;
            dwAvail -= dwRead < dwAvail ? dwRead : dwAvail;
            m_pEvents->OnProcessOutput(this);
        }
    } while (dwWait == WAIT_TIMEOUT && !m_bAbort);

    // Input still queued for the child can no longer reach it.
    ResetInput(false);
    if (!m_bAbort && m_decoder.HasPendingOutput()) {
        m_buffer[0] = '\0';
        m_dwRead = 0;
        m_bEndOfOutput = true;
        m_pEvents->OnProcessOutput(this);
        m_bEndOfOutput = false;
    }

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

DWORD CProcessRunner::AwaitPass(HANDLE hProcess, const LARGE_INTEGER& passStart)
{
    static const LONGLONG s_nFrequency = [] {
        LARGE_INTEGER freq;
        QueryPerformanceFrequency(&freq);
        return freq.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const LONGLONG nSpentMs = (now.QuadPart - passStart.QuadPart) * 1000 / s_nFrequency;
    const DWORD dwLeft = nSpentMs >= LONGLONG(kPollMs) ? 0 : kPollMs - DWORD(nSpentMs);
    return WaitForSingleObject(hProcess, dwLeft);
}

CProcessRunner& CProcessRunner::WriteLine(const CString& strLine)
{
    std::lock_guard<std::mutex> lock(m_lockInput);
    if (m_bInputOpen) {
        m_strInput.append(strLine.GetString(), size_t(strLine.GetLength()));
        m_strInput += "\r\n";
    }
    return *this;
}

size_t CProcessRunner::QueuedInput()
{
    std::lock_guard<std::mutex> lock(m_lockInput);
    return m_strInput.size();
}

void CProcessRunner::ResetInput(bool bOpen)
{
    std::lock_guard<std::mutex> lock(m_lockInput);
    m_bInputOpen = bOpen;
    std::string().swap(m_strInput);
}

void CProcessRunner::FeedInput(HANDLE hPipe)
{
    std::lock_guard<std::mutex> lock(m_lockInput);
    size_t nDone = 0;
    while (nDone < m_strInput.size()) {
        // In no-wait mode a full pipe takes part of a write, or none of it;
        // a piece no larger than the pipe fits whole once the child has
        // read everything before it.
        DWORD dwWritten = 0;
        const DWORD dwChunk = DWORD(std::min<size_t>(m_strInput.size() - nDone, kInputPipeSize));
        if (!WriteFile(hPipe, m_strInput.data() + nDone, dwChunk, &dwWritten, nullptr)) {
            // The child has closed its input: nothing queued can reach it.
            m_bInputOpen = false;
            std::string().swap(m_strInput);
            return;
        }
        if (dwWritten == 0)
            break;
        nDone += dwWritten;
    }
    m_strInput.erase(0, nDone);
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
