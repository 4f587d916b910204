#pragma once
// CMainWnd: the one top-level window. It holds the console screen above and
// the command panel below, the interpreter with its two runners, the batch
// queue and the records of the runs in progress, and it receives the events
// of both runners.
#include <atomic>
#include <mutex>

#include "app/CommandPanel.h"
#include "commands/DeviceChoice.h"
#include "process/DeviceTracker.h"
#include "commands/BatchQueue.h"
#include "commands/CommandInterpreter.h"
#include "commands/CommandTarget.h"
#include "process/RunResult.h"
#include "screen/ConsoleView.h"

// Sent synchronously by the reader threads and by the interpreter. The
// batch belongs to the user-interface thread: a reader thread never reads
// or changes it, it asks the window.
enum {
    UM_COMMANDDONE = 0x701,   // nothing to do
    UM_BATCHNEXT = 0x702,     // start the next batch line, if the batch has one
    UM_BATCHSTOP = 0x703,     // drop the rest of the batch
    // Posted, never sent: the device tracker's thread and the reader threads
    // do not wait for the window.
    UM_DEVICES = 0x704,       // the tracker has news (a list, or its end)
    UM_DEVICEASK = 0x705,     // adb said "more than one device": open the list
    UM_ADBDONE = 0x706,       // an adb run has ended: tracking may start again
};

class CMainWnd : public CWnd, public IProcessEvents, public ICommandTarget, public IDeviceListEvents {
public:
    CMainWnd();
    ~CMainWnd() override;

    // Creates the window with the placement setting (WM_CREATE included).
    BOOL CreateMain();
    // A line in the Windows code page: a batch line, the start-up command.
    void RunCommand(CString& strLine, bool bSync) override;
    // A line whose text is in nCodePage (typed and batch lines are in the
    // ANSI code page); what reaches the system gets the same letters.
    void RunCommand(CString& strLine, bool bSync, UINT nCodePage);
    void InvalidateChildren();
    void ShowBatchDialog();

    void OnProcessStart(CProcessRunner* pRunner) override;
    void OnProcessError(CProcessRunner* pRunner) override;
    void OnProcessExit(CProcessRunner* pRunner) override;
    int OnProcessOutput(CProcessRunner* pRunner) override;

    // On the tracker's thread: kept for the window, which takes the newest
    // at most every kDeviceUpdateMs.
    void OnDeviceList(const CDeviceList& list) override;
    void OnTrackingEnd() override;

    // Starts `adb track-devices -l` (again).
    void StartTracking();
    // The drop-down's entry nItem becomes the choice.
    void ChooseDevice(int nItem);
    // The list, the lamp and its tip as m_devices says.
    void ShowDeviceState();
    // Takes what the tracker has reported since the last time.
    void ApplyDevices();

    static constexpr DWORD kDeviceUpdateMs = 100;
    // How many times the window took news from the tracker.
    int m_nDeviceUpdates = 0;

    CConsoleView m_view;
    CCommandPanel m_panel;
    CCommandInterpreter m_interp;
    CBatchQueue m_batch;
    CRunResult m_results[3];
    // The resolution the window is drawn at: from the system when it is
    // made, then from each WM_DPICHANGED.
    UINT m_nDpi = 0;
    CDeviceChoice m_devices;

    // 1 until the first WM_SHOWWINDOW.
    static bool s_bFirstShow;

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnDevicesPosted();
    void OnAdbDone();

    // What the tracker's thread hands over, under m_lockDevices.
    std::mutex m_lockDevices;
    CDeviceList m_pendingList;
    bool m_bPendingList = false;
    bool m_bPendingEnd = false;
    bool m_bDevicesPosted = false;
    // User-interface thread only.
    DWORD m_dwLastDeviceApply = 0;
    bool m_bDeviceTimer = false;
    // Tracking has ended (or could not start): the next adb run that ends
    // starts it again, as that run has started adb's server anyway.
    bool m_bRetrack = false;
    // A run printed "more than one device" (set on reader threads).
    std::atomic<bool> m_bAskDevice { false };
    // Last: its thread reaches the members above until it is stopped.
    CDeviceTracker m_tracker { this };

    int OnCreate();
    void OnFirstShow();
    void OnSize(int cx, int cy);
    // Whether a change of resolution keeps the rows and columns: not for a
    // maximised, minimised or snapped window, whose size the system gives.
    bool KeepsGridOnDpiChange() const;
    // The client size with the screen's rows and columns at nDpi.
    SIZE GridClientSizeAt(UINT nDpi) const;
    bool OnGetDpiScaledSize(UINT nDpi, SIZE* pSize) const;
    void OnDpiChanged(UINT nDpi, const RECT* prcSuggested);
    bool OnSysCommand(WPARAM nId);
    void OnDestroy();
};

// The banner's first line.
extern const char kBanner[];
