#pragma once
// CInputWriter feeds a child's standard input from the run's own reader
// thread, so that whoever has a line for the child never waits on it: Post
// only queues, in order, and wakes the reader; the reader's Pump hands the
// queue to the pipe with overlapped writes and never waits either. A child
// that never reads fills the pipe and leaves the rest in the queue; End
// drops the queue and cancels the write that waits for the child.
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
    // The pipe that Pump feeds from now on; it must be open for overlapped
    // writes and stay open until End returns.
    void Begin(HANDLE hPipe);
    // Queues the bytes; dropped unless Open came and Stop has not.
    void Post(const char* p, size_t n);
    // Drops what is queued and takes no more posts.
    void Stop();

    // For the thread that called Begin: hands what is queued to the pipe
    // until the pipe is full, and notes writes that have completed. Never
    // waits. A pipe that broke ends the feeding as Stop does.
    void Pump();
    // Signalled when Pump has something to do: a post, or a write that
    // completed. Null if the event could not be made; Pump then still
    // works when called.
    HANDLE WakeHandle() const { return m_hWake; }
    // For the thread that called Begin: Stop, and cancel a write in
    // progress. The pipe may be closed after it.
    void End();

    // Bytes queued and not yet handed to the pipe.
    size_t Queued();

private:
    struct CPendingWrite;
    // Starts writing the rest of m_pWrite; false when the pipe broke.
    bool WriteRest();

    std::mutex m_lock;
    std::deque<std::string> m_queue;
    size_t m_nQueued = 0;
    bool m_bOpen = false;
    HANDLE m_hPipe = nullptr;
    // The write in flight, if any; only the feeding thread touches it.
    CPendingWrite* m_pWrite = nullptr;
    // Manual-reset; set by Post and Stop, and by the system when a write
    // completes.
    HANDLE m_hWake;
};
