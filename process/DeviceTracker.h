#pragma once
// CDeviceTracker runs `adb track-devices -l` quietly on a thread of its own:
// never shown, never busy, not ended by Esc. The thread sleeps in a blocking
// read of the child's output, so while nothing changes it costs nothing;
// each complete list is handed to the sink on that thread. The child's
// standard error and input are the null device.
//
// adb's server may inherit the child's output pipe and outlive the child, so
// the end of the child is not the end of the pipe: the program holds a write
// end of its own, and a wait on the child (or Stop) writes one byte into the
// pipe to wake the read.
#include <windows.h>

#include <atomic>

#include "process/DeviceListParser.h"

class IDeviceListEvents {
public:
    // On the tracker's thread: a new complete list.
    virtual void OnDeviceList(const CDeviceList& list) = 0;
    // On the tracker's thread: the child has ended by itself (the server
    // was killed, adb failed). Not called after Stop.
    virtual void OnTrackingEnd() = 0;

protected:
    ~IDeviceListEvents() = default;
};

class CDeviceTracker {
public:
    static constexpr DWORD kStopWaitMs = 5000;

    explicit CDeviceTracker(IDeviceListEvents* pEvents);
    ~CDeviceTracker();
    CDeviceTracker(const CDeviceTracker&) = delete;
    CDeviceTracker& operator=(const CDeviceTracker&) = delete;

    // Starts the child with this command line (text in nCodePage) after
    // stopping a previous one. False, with the system's error as the last
    // error, when the child cannot be made.
    bool Start(const char* pszCommand, UINT nCodePage = CP_ACP);
    // Ends the child and the thread; returns once the thread has gone (or
    // after kStopWaitMs). The sink hears nothing more.
    void Stop();
    // A child was started and has not been stopped; it may have ended.
    bool IsStarted() const { return m_hThread != nullptr; }
    // The child's process id while started, else 0.
    DWORD ChildId() const { return m_dwChildId; }

private:
    static unsigned __stdcall ThreadProc(void* pParam);
    static void CALLBACK OnChildEnded(void* pParam, BOOLEAN bTimedOut);
    void ReadLoop();
    void Wake();
    void CloseAll();

    IDeviceListEvents* m_pEvents;
    HANDLE m_hThread = nullptr;
    HANDLE m_hProcess = nullptr;
    HANDLE m_hRead = nullptr;
    HANDLE m_hWrite = nullptr;
    HANDLE m_hWait = nullptr;
    DWORD m_dwChildId = 0;
    std::atomic<bool> m_bStop { false };
};
