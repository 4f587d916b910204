#include "crash/CrashFilter.h"

#include <cstdlib>

#include "crash/CrashDlg.h"
#include "crash/CrashReport.h"
#include "framework/WinApp.h"

namespace {
// The thread that is showing the one report, 0 while none is.
volatile LONG s_nReportingThread = 0;
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pExceptionInfo)
{
    const DWORD nThread = ::GetCurrentThreadId();
    const LONG nOwner = ::InterlockedCompareExchange(&s_nReportingThread, LONG(nThread), 0);
    if (nOwner == LONG(nThread)) {
        // A fault while the report is built or shown: a second report
        // would only fault again.
        abort();
    }
    if (nOwner != 0) {
        // Another thread's report is on the screen and the process ends
        // when it is dismissed; this thread stays where it is until then.
        for (;;)
            ::Sleep(INFINITE);
    }

    CCrashDlg dlg(nullptr);
    CWinApp* pApp = AfxGetApp();
    const DWORD nAppThread = pApp ? pApp->m_nThreadID : 0;
    const void* pImage = pApp && pApp->m_hInstance ? static_cast<const void*>(pApp->m_hInstance)
                                                   : static_cast<const void*>(::GetModuleHandleA(nullptr));
    dlg.m_strReport = BuildCrashReport(pExceptionInfo, nAppThread, nThread, pImage);
    dlg.DoModal();
    abort();
}
