#pragma once
// CMainWnd: the one top-level window. It holds the console screen above and
// the command panel below, the interpreter with its two runners, the batch
// queue and the records of the runs in progress, and it receives the events
// of both runners.
#include "app/CommandPanel.h"
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
};

class CMainWnd : public CWnd, public IProcessEvents, public ICommandTarget {
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

    CConsoleView m_view;
    CCommandPanel m_panel;
    CCommandInterpreter m_interp;
    CBatchQueue m_batch;
    CRunResult m_results[3];
    // The resolution the window is drawn at: from the system when it is
    // made, then from each WM_DPICHANGED.
    UINT m_nDpi = 0;

    // 1 until the first WM_SHOWWINDOW.
    static bool s_bFirstShow;

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
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
