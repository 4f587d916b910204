#include "crash/CrashFilter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unwind.h>

#include "crash/CrashDlg.h"
#include "crash/CrashReport.h"
#include "crash/ThrowSite.h"
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

// The return address after a call of std::terminate, found by walking the
// stack with the unwind tables from the terminate handler up: where an
// exception whose throw was not noted (std::rethrow_exception raises one
// without the throw entry) was caught and ended, as the window procedure
// does with one that would unwind through the system's code. Each frame's
// address is checked for a direct call of std::terminate just before it:
// the 64-bit unwinder gives a frame's return address with the region of
// the frame it returns from, the 32-bit one with the region it returns to.
_Unwind_Reason_Code FindTerminateCall(_Unwind_Context* pContext, void* pArg)
{
    const uintptr_t nIp = _Unwind_GetIP(pContext);
    if (!nIp)
        return _URC_END_OF_STACK;
    unsigned char code[5];
    if (CCrashReport::ReadMemory(nIp - sizeof code, code, sizeof code) && code[0] == 0xE8) {
        int32_t nDisplacement;
        memcpy(&nDisplacement, code + 1, sizeof nDisplacement);
        if (nIp + uintptr_t(intptr_t(nDisplacement)) == reinterpret_cast<uintptr_t>(&std::terminate)) {
            *static_cast<uintptr_t*>(pArg) = nIp;
            return _URC_NORMAL_STOP;
        }
    }
    return _URC_NO_REASON;
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
    // The call that threw, wherever the exception was caught and ended;
    // failing that, the call to std::terminate.
    uintptr_t nReturn = CThrowSite::OfCurrentException();
    if (!nReturn)
        _Unwind_Backtrace(FindTerminateCall, &nReturn);
#ifdef _WIN64
    const uintptr_t nAddress = nReturn ? CallBefore(nReturn) : uintptr_t(ctx.Rip);
    ctx.Rip = nAddress;
#else
    const uintptr_t nAddress = nReturn ? CallBefore(nReturn) : uintptr_t(ctx.Eip);
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

bool IsRuntimeThrow(const EXCEPTION_RECORD* pRecord)
{
    if (!pRecord || (pRecord->ExceptionFlags & EXCEPTION_NONCONTINUABLE))
        return false;
    const DWORD nCode = pRecord->ExceptionCode;
    return nCode == kGccThrow || nCode == kGccThrow + 0x01000000 || nCode == kGccThrow + 0x02000000;
}

void InstallCrashFilter()
{
    ::SetUnhandledExceptionFilter(CrashFilter);
    std::set_terminate(ReportUncaughtException);
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pExceptionInfo)
{
    // On 64-bit a C++ throw first raises a system exception of the
    // runtime's own (0x20474343, "GCC" and a kind), which on Windows reaches
    // this filter when no frame has a handler. The runtime's start-up
    // filter, which this one replaces, lets it go on: the throw entry then
    // calls std::terminate, whose handler reports the exception at the call
    // that threw it.
    if (pExceptionInfo && IsRuntimeThrow(pExceptionInfo->ExceptionRecord))
        return EXCEPTION_CONTINUE_EXECUTION;
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
