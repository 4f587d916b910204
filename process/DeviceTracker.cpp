#include "process/DeviceTracker.h"

#include <process.h>

#include <vector>

#include "process/ChildLaunch.h"

namespace {

const DWORD kReadSize = 4096;
const DWORD kPipeSize = 65536;

void CloseIfOpen(HANDLE& h)
{
    if (h)
        CloseHandle(h);
    h = nullptr;
}

}

CDeviceTracker::CDeviceTracker(IDeviceListEvents* pEvents) : m_pEvents(pEvents)
{
}

CDeviceTracker::~CDeviceTracker()
{
    Stop();
}

bool CDeviceTracker::Start(const char* pszCommand, UINT nCodePage)
{
    Stop();
    m_bStop = false;
    int nWide = MultiByteToWideChar(nCodePage, 0, pszCommand, -1, nullptr, 0);
    if (nWide <= 0)
        return false;
    std::vector<wchar_t> command(size_t(nWide) + 1, L'\0');
    MultiByteToWideChar(nCodePage, 0, pszCommand, -1, command.data(), nWide);

    SECURITY_ATTRIBUTES sa = { sizeof(sa), nullptr, FALSE };
    if (!CreatePipe(&m_hRead, &m_hWrite, &sa, kPipeSize))
        return false;
    HANDLE hNul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                              OPEN_EXISTING, 0, nullptr);
    PROCESS_INFORMATION pi = {};
    bool bMade = hNul != INVALID_HANDLE_VALUE && LaunchChild(command.data(), hNul, m_hWrite, hNul, pi);
    DWORD dwError = GetLastError();
    if (hNul != INVALID_HANDLE_VALUE)
        CloseHandle(hNul);
    if (!bMade) {
        CloseAll();
        SetLastError(dwError);
        return false;
    }
    CloseHandle(pi.hThread);
    m_hProcess = pi.hProcess;
    m_dwChildId = pi.dwProcessId;
    if (!RegisterWaitForSingleObject(&m_hWait, m_hProcess, OnChildEnded, this, INFINITE,
                                     WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD))
        m_hWait = nullptr;
    m_hThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadProc, this, 0, nullptr));
    if (!m_hThread) {
        dwError = GetLastError();
        TerminateProcess(m_hProcess, 0);
        CloseAll();
        SetLastError(dwError ? dwError : ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

void CDeviceTracker::Stop()
{
    if (!m_hThread) {
        CloseAll();
        return;
    }
    m_bStop = true;
    if (m_hProcess)
        TerminateProcess(m_hProcess, 0);
    Wake();
    WaitForSingleObject(m_hThread, kStopWaitMs);
    CloseAll();
}

void CDeviceTracker::CloseAll()
{
    // The wait's callback writes into the pipe: it must be gone first.
    if (m_hWait) {
        UnregisterWaitEx(m_hWait, INVALID_HANDLE_VALUE);
        m_hWait = nullptr;
    }
    CloseIfOpen(m_hThread);
    CloseIfOpen(m_hProcess);
    CloseIfOpen(m_hRead);
    CloseIfOpen(m_hWrite);
    m_dwChildId = 0;
}

void CDeviceTracker::Wake()
{
    DWORD dwWritten = 0;
    if (m_hWrite)
        WriteFile(m_hWrite, "\n", 1, &dwWritten, nullptr);
}

void CALLBACK CDeviceTracker::OnChildEnded(void* pParam, BOOLEAN)
{
    static_cast<CDeviceTracker*>(pParam)->Wake();
}

unsigned __stdcall CDeviceTracker::ThreadProc(void* pParam)
{
    static_cast<CDeviceTracker*>(pParam)->ReadLoop();
    return 0;
}

void CDeviceTracker::ReadLoop()
{
    CDeviceListParser parser;
    std::vector<char> buffer(kReadSize);
    for (;;) {
        DWORD dwRead = 0;
        BOOL bRead = ReadFile(m_hRead, buffer.data(), kReadSize, &dwRead, nullptr);
        if (m_bStop)
            return;
        // Whatever came with the wake-up byte came from a child that has
        // ended: tracking is over, and its last list no longer holds.
        if (!bRead || WaitForSingleObject(m_hProcess, 0) == WAIT_OBJECT_0)
            break;
        if (parser.Feed(buffer.data(), dwRead) > 0)
            m_pEvents->OnDeviceList(parser.List());
    }
    if (!m_bStop)
        m_pEvents->OnTrackingEnd();
}
