#include "crash/CrashFilter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <unwind.h>

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

// Where a C++ exception that nothing catches was thrown: the call to
// __cxa_throw (or __cxa_rethrow) in the function that threw, found by
// walking the stack with the unwind tables from the terminate handler up.
// Failing that (the exception was caught and ended in std::terminate, as the
// window procedure does with one that would unwind through the system's
// code, or a noexcept function let one out), the call to std::terminate.
struct CThrowSite {
    uintptr_t nThrowCaller = 0;       // return address into the thrower
    uintptr_t nTerminateCaller = 0;   // return address into terminate's caller
    uintptr_t nCallee = 0;            // the function the next frame called
};

_Unwind_Reason_Code FindThrowSite(_Unwind_Context* pContext, void* pArg)
{
    CThrowSite* pSite = static_cast<CThrowSite*>(pArg);
    const uintptr_t nIp = _Unwind_GetIP(pContext);
    if (pSite->nCallee == reinterpret_cast<uintptr_t>(&__cxxabiv1::__cxa_throw)
        || pSite->nCallee == reinterpret_cast<uintptr_t>(&__cxxabiv1::__cxa_rethrow)) {
        pSite->nThrowCaller = nIp;
        return _URC_NORMAL_STOP;
    }
    if (pSite->nCallee == reinterpret_cast<uintptr_t>(&std::terminate) && !pSite->nTerminateCaller)
        pSite->nTerminateCaller = nIp;
    pSite->nCallee = _Unwind_GetRegionStart(pContext);
    return nIp ? _URC_NO_REASON : _URC_END_OF_STACK;
}

// The address of the call instruction that returns to nReturn when it is a
// direct call (E8 and a 32-bit displacement); otherwise an address inside
// the call, since the return address itself may be the first instruction
// of the next function when the call does not return.
uintptr_t CallBefore(uintptr_t nReturn)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(nReturn - 5);
    return p[0] == 0xE8 ? nReturn - 5 : nReturn - 1;
}

// Not inlined, and with a frame of its own: on 32-bit, RtlCaptureContext
// reads its caller's return address and stack through the frame pointer,
// which optimised code does not otherwise keep.
[[noreturn]] __attribute__((noinline)) void ReportUncaughtException()
{
    CONTEXT ctx = {};
    ctx.ContextFlags = CONTEXT_FULL;
    void* volatile pFrame = __builtin_frame_address(0);
    (void)pFrame;
    ::RtlCaptureContext(&ctx);
    CThrowSite site;
    _Unwind_Backtrace(FindThrowSite, &site);
    uintptr_t nAddress;
    if (site.nThrowCaller)
        nAddress = CallBefore(site.nThrowCaller);
    else if (site.nTerminateCaller)
        nAddress = CallBefore(site.nTerminateCaller);
#ifdef _WIN64
    else
        nAddress = ctx.Rip;
    ctx.Rip = nAddress;
#else
    else
        nAddress = ctx.Eip;
    ctx.Eip = nAddress;
#endif
    EXCEPTION_RECORD rec = {};
    rec.ExceptionCode = kUncaughtCppException;
    rec.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    rec.ExceptionAddress = reinterpret_cast<void*>(nAddress);
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
