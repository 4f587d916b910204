#pragma once
// CProcessRunner runs one child process at a time with its standard input,
// output and error redirected through anonymous pipes (output and error share
// one pipe), polls it every 10 ms, reads what is waiting and reports through
// IProcessEvents. A run started with Start has a reader thread of its own;
// RunSync runs on the caller's thread. Constructed without a sink, the
// runner reports to itself and so runs silently.
#include <windows.h>
#include <atomic>
#include <mutex>
#include <string>

#include "framework/String.h"
#include "process/OutputDecoder.h"
#include "process/ProcessEvents.h"

class CProcessRunner : public IProcessEvents {
public:
    static constexpr DWORD kChunkSize = 131072;
    static constexpr DWORD kPollMs = 10;

    // The exit code of a process that Close ended under a reader that would
    // not leave.
    static constexpr UINT kStuckReaderExitCode = WAIT_TIMEOUT;

    explicit CProcessRunner(IProcessEvents* pEvents = nullptr, bool bQuiet = false);
    // Close with a bound of ten seconds.
    ~CProcessRunner();
    CProcessRunner(const CProcessRunner&) = delete;
    CProcessRunner& operator=(const CProcessRunner&) = delete;

    // Begins a run on a new reader thread and returns at once. Refused
    // (false, nothing started, no run number taken) while IsRunning. A reader
    // thread that cannot be made is reported through OnProcessError on the
    // calling thread, and false is returned. nCodePage is the code page of
    // the command's text; the system receives the same letters.
    bool Start(const char* pszCommand, UINT nCodePage = CP_ACP);
    // Runs on the calling thread and returns when every event has been
    // delivered; IsRunning stays false. Refused while a run started with
    // Start is active or its reader thread has not yet finished.
    bool RunSync(const char* pszCommand, UINT nCodePage = CP_ACP);

    // Queues the text and then CR LF for the child's input, in order, and
    // returns at once; each pass of the reader hands the pipe what it can
    // take. Does nothing on an idle runner; what is still queued when the
    // run ends is dropped.
    CProcessRunner& WriteLine(const CString& strLine);
    // Bytes given to WriteLine that the child's pipe has not taken yet.
    size_t QueuedInput();
    // Asks the run to end and kills its child with exit code 255. TRUE if
    // the child was killed, or will be as soon as it exists.
    BOOL Terminate();
    bool IsRunning() const { return m_hThread != INVALID_HANDLE_VALUE; }

    // Waits until the reader thread of the last Start has left the runner
    // entirely, handling the messages sent to the waiting thread meanwhile
    // (the sink may send to windows of this thread). True when it has, or
    // when there is no such thread; false after dwTimeout ms.
    bool WaitForReader(DWORD dwTimeout);
    // Ends a run and its child, and waits up to dwTimeout for the reader as
    // WaitForReader does. A reader that has not left by then is stuck in its
    // sink or in the system: the child is ended (it may exist only now) and
    // the process ends with kStuckReaderExitCode, the reader with it.
    void Close(DWORD dwTimeout);

    // For OnProcessOutput: cuts the current chunk into lines for the sink.
    // Returns false when the abort flag stopped it.
    // A chunk may end inside a line break or a UTF-8 sequence; the decoder
    // carries that part to the next chunk of the run. After the child has
    // ended, a last call with m_bEndOfOutput set and no bytes hands over
    // what is still carried.
    bool DecodeChunk(IOutputSink& sink)
    {
        return m_decoder.Decode(m_buffer, m_dwRead, m_bUtf8, m_bAbort, sink, m_bEndOfOutput);
    }

    // What a sink may read inside the events: m_buffer and m_dwRead (in
    // OnProcessOutput), m_bUtf8, m_bQuiet, m_nRunId, m_bAbort, and m_pi
    // (its process handle is valid until OnProcessExit returns).
    IProcessEvents* m_pEvents;
    CString m_strCommand;
    // The code page of m_strCommand's text.
    UINT m_nCodePage = CP_ACP;
    // The running marker: the reader thread's handle while a run begun by
    // Start is active, else INVALID_HANDLE_VALUE.
    std::atomic<HANDLE> m_hThread { INVALID_HANDLE_VALUE };
    DWORD m_dwThreadId = 0;
    PROCESS_INFORMATION m_pi {};
    std::atomic<HANDLE> m_hStdinWrite { INVALID_HANDLE_VALUE };
    char m_buffer[kChunkSize + 1];
    DWORD m_dwRead = 0;
    bool m_bUtf8 = false;
    bool m_bQuiet;
    int m_nRunId = 0;
    std::atomic<bool> m_bAbort { false };
    // Set only for the last OnProcessOutput of a run, which has no bytes and
    // comes only when the decoder still carries something.
    bool m_bEndOfOutput = false;

    // The run counter of the whole process; touched only by the thread that
    // calls Start and RunSync.
    static int s_nNextRunId;

private:
    static unsigned __stdcall ThreadProc(void* pParam);
    void Run();
    // Waits until the next pass is due (kPollMs after passStart) or the
    // child has ended; the result of the wait on the child.
    static DWORD AwaitPass(HANDLE hProcess, const LARGE_INTEGER& passStart);
    // Hands the pipe as much of the queued input as it takes now.
    void FeedInput(HANDLE hPipe);
    // Drops the queued input; with bOpen, takes WriteLine's lines from now on.
    void ResetInput(bool bOpen);
    void Fail(HANDLE (&hPipes)[4]);
    void Prepare(const char* pszCommand, UINT nCodePage);
    bool CreatePipes(HANDLE (&hPipes)[4]);
    bool CreateChild(HANDLE (&hPipes)[4], PROCESS_INFORMATION& pi);

    COutputDecoder m_decoder;

    // The child's input, in order, from WriteLine to the reader's passes.
    std::mutex m_lockInput;
    std::string m_strInput;
    bool m_bInputOpen = false;

    // Kept by the caller's side until the thread is known to have ended; a
    // new Start hands it to its own thread, which waits for it before it
    // touches the runner, so one run never writes fields that the previous
    // run's exit event may still read.
    HANDLE m_hReader = nullptr;
    // Handed from Start to the new thread before it is resumed.
    HANDLE m_hPredecessor = nullptr;
    int m_nQueuedRunId = 0;

    // Guards the handles that Terminate and WriteLine use from another
    // thread against the reader closing them.
    std::mutex m_lockHandles;
    HANDLE m_hKill = nullptr;
    // From Start until the child exists or has failed to start.
    bool m_bChildPending = false;
};
