#include "crash/CrashFilter.h"

#include <cstdlib>
#include <exception>

#include "crash/CrashDlg.h"
#include "crash/CrashReport.h"
#include "framework/WinApp.h"

namespace {
// The thread that is showing the one report, 0 while none is.
volatile LONG s_nReportingThread = 0;

BOOL CALLBACK DisableWindow(HWND hWnd, LPARAM)
{
    // Hidden helper windows (the input method's) are left alone.
    if (::IsWindowVisible(hWnd) && ::IsWindowEnabled(hWnd))
        ::EnableWindow(hWnd, FALSE);
    return TRUE;
}

// The report's dialog runs a message loop on the faulted thread: the
// thread's own windows must take no input behind it, or Enter would start
// commands in a process that has already failed.
void DisableThreadWindows()
{
    ::EnumThreadWindows(::GetCurrentThreadId(), DisableWindow, 0);
}

[[noreturn]] void ReportUncaughtException()
{
    CONTEXT ctx = {};
    ::RtlCaptureContext(&ctx);
    EXCEPTION_RECORD rec = {};
    rec.ExceptionCode = kUncaughtCppException;
    rec.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
#ifdef _WIN64
    rec.ExceptionAddress = reinterpret_cast<void*>(ctx.Rip);
#else
    rec.ExceptionAddress = reinterpret_cast<void*>(ctx.Eip);
#endif
    EXCEPTION_POINTERS ep = {&rec, &ctx};
    CrashFilter(&ep);
    abort();
}
}

void InstallCrashFilter()
{
    ::SetUnhandledExceptionFilter(CrashFilter);
    std::set_terminate(ReportUncaughtException);
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
    DisableThreadWindows();
    dlg.DoModal();
    abort();
}
