#pragma once
// CInputWriter feeds a child's standard input from a thread of its own, so
// that whoever has a line for the child never waits on it: Post only
// queues, in order. A child that never reads fills the pipe and leaves the
// rest in the queue; Stop drops the queue and cancels the write that waits
// for the child, so the thread always ends promptly.
#include <windows.h>

#include <deque>
#include <mutex>
#include <string>

class CInputWriter {
public:
    CInputWriter();
    ~CInputWriter();
    CInputWriter(const CInputWriter&) = delete;
    CInputWriter& operator=(const CInputWriter&) = delete;

    // Takes posts from now on, for a child that is still being started;
    // what an earlier feeding left is gone.
    void Open();
    // Starts feeding hPipe what was posted since Open, and what comes. The
    // pipe must be open for overlapped writes and stay open until Join
    // returns. False if the thread cannot be made; the posts are dropped.
    bool Begin(HANDLE hPipe);
    // Queues the bytes; dropped unless Open came and Stop has not.
    void Post(const char* p, size_t n);
    // Ends the feeding: what is queued is dropped, a write in progress is
    // cancelled. Never waits for the child.
    void Stop();
    // Waits until the thread of the last Begin has ended; after Stop this
    // takes at most a moment.
    void Join();

    // Bytes queued and not yet handed to the pipe.
    size_t Queued();

private:
    static unsigned __stdcall ThreadProc(void* pParam);
    void Feed();
    // Writes all of s; false when the pipe broke or Stop came.
    bool WriteAll(const std::string& s);

    std::mutex m_lock;
    std::deque<std::string> m_queue;
    size_t m_nQueued = 0;
    bool m_bOpen = false;
    HANDLE m_hPipe = nullptr;
    HANDLE m_hThread = nullptr;
    // Auto-reset: something was queued. Manual-reset: Stop came.
    HANDLE m_hWake;
    HANDLE m_hStop;
};
