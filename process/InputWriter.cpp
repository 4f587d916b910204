#include "process/InputWriter.h"

namespace {
// A cancelled write that the system has not finished after this long is
// left to the closing of the pipe; its buffer is then given up, not freed.
const DWORD kCancelWaitMs = 2000;
}

// One write in flight: the system may still write into it after a cancel
// that does not complete, so it lives on the heap.
struct CInputWriter::CPendingWrite {
    OVERLAPPED ov {};
    std::string data;
    size_t nDone = 0;
};

CInputWriter::CInputWriter() : m_hWake(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
}

CInputWriter::~CInputWriter()
{
    Stop();
    if (m_pWrite)
        End();
    if (m_hWake)
        CloseHandle(m_hWake);
}

void CInputWriter::Open()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_queue.clear();
    m_nQueued = 0;
    m_bOpen = true;
}

void CInputWriter::Begin(HANDLE hPipe)
{
    m_hPipe = hPipe;
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
    if (m_hWake)
        SetEvent(m_hWake);
}

size_t CInputWriter::Queued()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nQueued;
}

void CInputWriter::Pump()
{
    if (!m_hPipe)
        return;
    // Cleared before looking, so that what comes after the look sets it
    // again and the next wait ends at once.
    if (m_hWake)
        ResetEvent(m_hWake);
    for (;;) {
        if (m_pWrite) {
            DWORD dwWritten = 0;
            if (!GetOverlappedResult(m_hPipe, &m_pWrite->ov, &dwWritten, FALSE)) {
                if (GetLastError() == ERROR_IO_INCOMPLETE)
                    return; // the child has not read enough yet
                dwWritten = 0;
            }
            if (dwWritten == 0) {
                // The child is gone: nothing queued for it can reach it.
                delete m_pWrite;
                m_pWrite = nullptr;
                Stop();
                return;
            }
            m_pWrite->nDone += dwWritten;
            if (m_pWrite->nDone < m_pWrite->data.size()) {
                if (!WriteRest())
                    return;
                continue;
            }
            delete m_pWrite;
            m_pWrite = nullptr;
        }
        std::string s;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (!m_bOpen || m_queue.empty())
                return;
            s.swap(m_queue.front());
            m_queue.pop_front();
            m_nQueued -= s.size();
        }
        m_pWrite = new CPendingWrite;
        m_pWrite->data.swap(s);
        if (!WriteRest())
            return;
    }
}

bool CInputWriter::WriteRest()
{
    // Without an event of our own the handle itself is signalled; Pump then
    // notices completion when it is next called.
    m_pWrite->ov = OVERLAPPED {};
    m_pWrite->ov.hEvent = m_hWake;
    const DWORD dwChunk = DWORD(m_pWrite->data.size() - m_pWrite->nDone);
    if (WriteFile(m_hPipe, m_pWrite->data.data() + m_pWrite->nDone, dwChunk, nullptr, &m_pWrite->ov)
        || GetLastError() == ERROR_IO_PENDING)
        return true;
    delete m_pWrite;
    m_pWrite = nullptr;
    Stop();
    return false;
}

void CInputWriter::End()
{
    Stop();
    if (m_pWrite) {
        CancelIo(m_hPipe);
        // Waits for the cancel only, never for the child.
        HANDLE hSignal = m_hWake ? m_hWake : m_hPipe;
        const DWORD dwStart = GetTickCount();
        for (;;) {
            if (m_hWake)
                ResetEvent(m_hWake);
            DWORD dwWritten = 0;
            if (GetOverlappedResult(m_hPipe, &m_pWrite->ov, &dwWritten, FALSE)
                || GetLastError() != ERROR_IO_INCOMPLETE) {
                delete m_pWrite;
                break;
            }
            // Not finished: the system may still write into it, so it is
            // given up.
            const DWORD dwSpent = GetTickCount() - dwStart;
            if (dwSpent >= kCancelWaitMs)
                break;
            WaitForSingleObject(hSignal, kCancelWaitMs - dwSpent);
        }
        m_pWrite = nullptr;
    }
    m_hPipe = nullptr;
}
