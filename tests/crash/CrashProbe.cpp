// crashprobe.exe MODE: installs the crash filter and then faults as MODE
// asks, so that the tests can look at the real report of a real fault.
//   main    a null write on the main thread
//   thread  a null write on a second thread while the main thread pumps
//   deep    a null write at the bottom of a chain of recursive calls
//   top     a null write at the very top of a fresh stack
// The next modes show a real main window ("Kestrelbox probe") first:
//   window        a null write in the main window's handler of a message
//   throw         an allocation failure in that handler, caught by nothing
//   pretranslate  the same in the main window's PreTranslateMessage
//   readerthrow   the same in OnProcessStart, on a command's reader thread
//   handlerthrow  a throw of the probe's own in the main window's handler
//   outputthrow   the same in OnProcessOutput, on a command's reader thread
//   uncaught      the same in InitInstance, where nothing catches it
//   rethrow       an exception thrown and caught on a second thread, raised
//                 again with std::rethrow_exception in the window's handler
//   print         writes a line to its output and ends (the child of
//                 outputthrow)
// Any other mode ends at once with exit code 2. A window mode publishes, as
// properties of its main window, the function that throws
// ("KbThrowFunction", when it is the probe's own) and the function its
// report should name a call to ("KbThrowCall").
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cxxabi.h>
#include <exception>

#include "app/MainWnd.h"
#include "crash/CrashFilter.h"
#include "framework/WinApp.h"

namespace {

char s_szMode[16] = "";
const char* s_pszMode = s_szMode;

// The first word after the program's name on the command line.
void ReadMode()
{
    const char* p = ::GetCommandLineA();
    if (*p == '"') {
        for (++p; *p && *p != '"'; ++p) {
        }
        if (*p)
            ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    size_t n = 0;
    while (p[n] && p[n] != ' ' && p[n] != '\t' && n + 1 < sizeof s_szMode) {
        s_szMode[n] = p[n];
        ++n;
    }
    s_szMode[n] = 0;
}

__attribute__((noinline, noipa)) void NullWrite()
{
    volatile int* volatile p = nullptr;
    *p = 0x4B42;
}

// Each level keeps values on its stack and hands their address down, so no
// level can be folded into its caller.
__attribute__((noinline, noipa)) int Descend(int nDepth, volatile int* pAbove)
{
    volatile int values[4] = {nDepth, nDepth * 3, pAbove ? pAbove[0] : 7, 0x5EED};
    if (nDepth == 0)
        NullWrite();
    else
        Descend(nDepth - 1, values);
    return values[1] + values[2];
}

DWORD WINAPI FaultingThread(void*)
{
    NullWrite();
    return 0;
}

// Wine maps its own kernel stack right above every thread's stack, so a
// thread's stack never ends in unreadable memory there. A fiber's stack is a
// reservation of its own; the fiber reserves the address space right above
// it as well, before anything else can be placed there, so that its stack
// ends where reading ends. A fault in a fiber does not reach the process's
// top-level filter under Wine, so the fiber's first frame does what a
// thread's start does on Windows: it hands the fault to
// UnhandledExceptionFilter.
extern "C" EXCEPTION_DISPOSITION __cdecl ProbeFiberHandler(EXCEPTION_RECORD* pRecord, void*, CONTEXT* pContext, void*)
{
    EXCEPTION_POINTERS ep = {pRecord, pContext};
    ::UnhandledExceptionFilter(&ep);
    return ExceptionContinueSearch;
}

__attribute__((noinline, noipa)) void WINAPI TopFiber(void*)
{
    NT_TIB* pTib;   // the TIB's own address, from its Self field
#ifdef _WIN64
    __asm__("movq %%gs:0x30, %0" : "=r"(pTib));
    __asm__ __volatile__(".seh_handler ProbeFiberHandler, @except\n\t.text\n");
#else
    __asm__("movl %%fs:0x18, %0" : "=r"(pTib));
    // 32-bit handlers are records on the stack, in a list headed in the TIB.
    struct CHandlerRecord {
        void* pNext;
        void* pHandler;
    } record = {pTib->ExceptionList, reinterpret_cast<void*>(ProbeFiberHandler)};
    pTib->ExceptionList = reinterpret_cast<_EXCEPTION_REGISTRATION_RECORD*>(&record);
#endif
    if (!::VirtualAlloc(pTib->StackBase, 64 * 1024, MEM_RESERVE, PAGE_NOACCESS))
        ::ExitProcess(5);
    __asm__ __volatile__("" ::: "memory");
    volatile int* volatile p = nullptr;
    *p = 0x70B;
}

DWORD WINAPI TopThread(void*)
{
    if (!::ConvertThreadToFiber(nullptr))
        ::ExitProcess(4);
    void* pFiber = ::CreateFiberEx(64 * 1024, 1024 * 1024, 0, TopFiber, nullptr);
    if (!pFiber)
        ::ExitProcess(4);
    ::SwitchToFiber(pFiber);
    return 0;
}

// An allocation that cannot succeed, made so that the compiler cannot drop it.
volatile size_t s_nHuge = SIZE_MAX / 2;
void* volatile s_pHuge = nullptr;

void AllocateTheImpossible()
{
    s_pHuge = ::operator new(s_nHuge);
}

struct CProbeError {
    int m_nCode;
};

// One thrower per place, so that each report can be checked against the
// function that should be named. The code is read from a volatile so that
// no caller can fold the throw into itself.
volatile int s_nErrorCode = 0x7E57;

[[noreturn]] __attribute__((noinline, noipa)) void ThrowInHandler()
{
    throw CProbeError{s_nErrorCode};
}

[[noreturn]] __attribute__((noinline, noipa)) void ThrowInOutput()
{
    throw CProbeError{s_nErrorCode + 1};
}

[[noreturn]] __attribute__((noinline, noipa)) void ThrowUncaught()
{
    throw CProbeError{s_nErrorCode + 2};
}

[[noreturn]] __attribute__((noinline, noipa)) void ThrowOnWorker()
{
    throw CProbeError{s_nErrorCode + 3};
}

std::exception_ptr s_pWorkerError;

DWORD WINAPI CatchingThread(void*)
{
    try {
        ThrowOnWorker();
    } catch (...) {
        s_pWorkerError = std::current_exception();
    }
    return 0;
}

const UINT UM_PROBE = WM_APP + 0x40;

class CProbeMainWnd : public CMainWnd {
public:
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message == UM_PROBE && strcmp(s_pszMode, "pretranslate") == 0)
            AllocateTheImpossible();
        return CMainWnd::PreTranslateMessage(pMsg);
    }

    void OnProcessStart(CProcessRunner* pRunner) override
    {
        CMainWnd::OnProcessStart(pRunner);
        if (strcmp(s_pszMode, "readerthrow") == 0)
            AllocateTheImpossible();
    }

    int OnProcessOutput(CProcessRunner* pRunner) override
    {
        const int n = CMainWnd::OnProcessOutput(pRunner);
        if (strcmp(s_pszMode, "outputthrow") == 0)
            ThrowInOutput();
        return n;
    }

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override
    {
        if (nMsg == UM_PROBE) {
            if (strcmp(s_pszMode, "window") == 0)
                NullWrite();
            else if (strcmp(s_pszMode, "throw") == 0)
                AllocateTheImpossible();
            else if (strcmp(s_pszMode, "handlerthrow") == 0)
                ThrowInHandler();
            else if (strcmp(s_pszMode, "rethrow") == 0)
                std::rethrow_exception(s_pWorkerError);
            return 0;
        }
        return CMainWnd::WindowProc(nMsg, wParam, lParam);
    }
};

bool IsWindowMode()
{
    for (const char* p : { "window", "throw", "pretranslate", "readerthrow", "handlerthrow", "outputthrow",
                           "uncaught", "rethrow" }) {
        if (strcmp(s_pszMode, p) == 0)
            return true;
    }
    return false;
}

class CProbeApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        InstallCrashFilter();
        if (IsWindowMode()) {
            CMainWnd::s_bFirstShow = false;
            m_pMainWnd = m_pProbeWnd = new CProbeMainWnd;
            if (!m_pProbeWnd->CreateMain())
                ::ExitProcess(6);
            m_pProbeWnd->SetWindowText("Kestrelbox probe");
            m_pProbeWnd->ShowWindow(SW_SHOW);
            ::SetForegroundWindow(m_pProbeWnd->m_hWnd);
            Publish();
            if (strcmp(s_pszMode, "uncaught") == 0)
                ThrowUncaught();
            if (strcmp(s_pszMode, "rethrow") == 0) {
                HANDLE hThread = ::CreateThread(nullptr, 0, CatchingThread, nullptr, 0, nullptr);
                if (!hThread || ::WaitForSingleObject(hThread, INFINITE) != WAIT_OBJECT_0 || !s_pWorkerError)
                    ::ExitProcess(9);
                ::CloseHandle(hThread);
            }
            if (strcmp(s_pszMode, "readerthrow") == 0 || strcmp(s_pszMode, "outputthrow") == 0) {
                // A child: this program, ending at once in a mode it does not
                // know, or writing a line first.
                char szPath[MAX_PATH];
                DWORD n = ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
                if (n == 0 || n >= MAX_PATH)
                    ::ExitProcess(7);
                CString strCommand;
                strCommand.Format("\"%s\" %s", szPath, s_pszMode[0] == 'o' ? "print" : "none");
                if (!m_pProbeWnd->m_interp.m_cmdRunner.Start(strCommand))
                    ::ExitProcess(8);
            } else {
                m_pProbeWnd->PostMessage(UM_PROBE);
            }
            return TRUE;
        }
        if (strcmp(s_pszMode, "print") == 0) {
            static const char s_szLine[] = "probe output\r\n";
            DWORD nWritten = 0;
            ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), s_szLine, sizeof s_szLine - 1, &nWritten, nullptr);
            ::ExitProcess(0);
        }
        if (strcmp(s_pszMode, "main") == 0) {
            NullWrite();
        } else if (strcmp(s_pszMode, "deep") == 0) {
            Descend(20, nullptr);
        } else if (strcmp(s_pszMode, "thread") == 0 || strcmp(s_pszMode, "top") == 0) {
            LPTHREAD_START_ROUTINE pfn = s_pszMode[0] == 't' && s_pszMode[1] == 'h' ? FaultingThread : TopThread;
            HANDLE hThread = ::CreateThread(nullptr, 0, pfn, nullptr, 0, nullptr);
            if (!hThread)
                ::ExitProcess(4);
            ::CloseHandle(hThread);
            return TRUE;   // the main thread goes on pumping messages
        }
        ::ExitProcess(2);
    }

    // The properties the tests read the expected throw site from.
    void Publish()
    {
        void* pFunction = nullptr;
        void* pCall = reinterpret_cast<void*>(&__cxxabiv1::__cxa_throw);   // the throw entry the link routes to
        if (strcmp(s_pszMode, "handlerthrow") == 0)
            pFunction = reinterpret_cast<void*>(&ThrowInHandler);
        else if (strcmp(s_pszMode, "outputthrow") == 0)
            pFunction = reinterpret_cast<void*>(&ThrowInOutput);
        else if (strcmp(s_pszMode, "uncaught") == 0)
            pFunction = reinterpret_cast<void*>(&ThrowUncaught);
        else if (strcmp(s_pszMode, "rethrow") == 0)
            pCall = reinterpret_cast<void*>(&std::terminate);   // a throw this thread never saw
        ::SetPropA(m_pProbeWnd->m_hWnd, "KbThrowFunction", pFunction);
        ::SetPropA(m_pProbeWnd->m_hWnd, "KbThrowCall", pCall);
    }

    CProbeMainWnd* m_pProbeWnd = nullptr;
};

CProbeApp s_app;

}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    ReadMode();
    return AfxWinMain(hInstance);
}
