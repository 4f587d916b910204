#include "process/InputWriter.h"

#include <process.h>

#include <exception>

namespace {
// A cancelled write that the system has not finished after this long is
// left to the closing of the pipe; its buffer is then given up, not freed.
const DWORD kCancelWaitMs = 2000;

// One write in flight: the system may still write into it after a cancel
// that does not complete, so it lives on the heap.
struct CPendingWrite {
    OVERLAPPED ov {};
    std::string data;
};
}

CInputWriter::CInputWriter()
    : m_hWake(CreateEventA(nullptr, FALSE, FALSE, nullptr)), m_hStop(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
}

CInputWriter::~CInputWriter()
{
    Stop();
    Join();
    if (m_hWake)
        CloseHandle(m_hWake);
    if (m_hStop)
        CloseHandle(m_hStop);
}

void CInputWriter::Open()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_queue.clear();
    m_nQueued = 0;
    m_bOpen = true;
}

bool CInputWriter::Begin(HANDLE hPipe)
{
    Join();
    if (m_hWake && m_hStop) {
        ResetEvent(m_hStop);
        m_hPipe = hPipe;
        m_hThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadProc, this, 0, nullptr));
    }
    if (!m_hThread) {
        Stop();
        return false;
    }
    return true;
}

void CInputWriter::Post(const char* p, size_t n)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_bOpen || n == 0)
        return;
    m_queue.emplace_back(p, n);
    m_nQueued += n;
    if (m_hWake)
        SetEvent(m_hWake);
}

void CInputWriter::Stop()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_bOpen)
        return;
    m_bOpen = false;
    m_queue.clear();
    m_nQueued = 0;
    if (m_hStop)
        SetEvent(m_hStop);
}

void CInputWriter::Join()
{
    if (!m_hThread)
        return;
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
}

size_t CInputWriter::Queued()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nQueued;
}

unsigned __stdcall CInputWriter::ThreadProc(void* pParam)
{
    try {
        static_cast<CInputWriter*>(pParam)->Feed();
    } catch (...) {
        // A queued line that could not be copied: the crash report, as on
        // the reader thread.
        std::terminate();
    }
    return 0;
}

void CInputWriter::Feed()
{
    for (;;) {
        std::string s;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (!m_bOpen)
                return;
            if (!m_queue.empty()) {
                s.swap(m_queue.front());
                m_queue.pop_front();
                m_nQueued -= s.size();
            }
        }
        if (s.empty()) {
            HANDLE h[2] = { m_hStop, m_hWake };
            WaitForMultipleObjects(2, h, FALSE, INFINITE);
            continue;
        }
        if (!WriteAll(s)) {
            // The child is gone or no longer wanted: nothing queued for it
            // can reach it.
            Stop();
            return;
        }
    }
}

bool CInputWriter::WriteAll(const std::string& s)
{
    CPendingWrite* pWrite = new CPendingWrite;
    pWrite->data = s;
    pWrite->ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!pWrite->ov.hEvent) {
        delete pWrite;
        return false;
    }
    bool bOk = true;
    size_t nDone = 0;
    while (bOk && nDone < pWrite->data.size()) {
        ResetEvent(pWrite->ov.hEvent);
        DWORD dwWritten = 0;
        DWORD dwChunk = DWORD(pWrite->data.size() - nDone);
        if (!WriteFile(m_hPipe, pWrite->data.data() + nDone, dwChunk, nullptr, &pWrite->ov)
            && GetLastError() != ERROR_IO_PENDING) {
            bOk = false;
            break;
        }
        HANDLE h[2] = { pWrite->ov.hEvent, m_hStop };
        if (WaitForMultipleObjects(2, h, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIo(m_hPipe);
            if (WaitForSingleObject(pWrite->ov.hEvent, kCancelWaitMs) != WAIT_OBJECT_0)
                return false; // pWrite stays allocated: the system may still use it
            bOk = false;
            break;
        }
        if (!GetOverlappedResult(m_hPipe, &pWrite->ov, &dwWritten, FALSE) || dwWritten == 0) {
            bOk = false;
            break;
        }
        nDone += dwWritten;
    }
    CloseHandle(pWrite->ov.hEvent);
    delete pWrite;
    return bOk;
}
