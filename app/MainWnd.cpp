#include "app/MainWnd.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "app/Busy.h"
#include "app/FileDrop.h"
#include "app/Version.h"
#include "app/WindowIds.h"
#include "framework/Dpi.h"
#include "settings/AppConfig.h"

const char kBanner[] = KB_TITLE "  " KB_COPYRIGHT;

bool CMainWnd::s_bFirstShow = true;

namespace {
// Prints each line of a chunk on the console; the last, unfinished one is
// continued by the next text of the same run.
class CConsoleSink : public IOutputSink {
public:
    CConsoleSink(CConsoleView& view, const CProcessRunner* pRunner, std::atomic<bool>& bAskDevice)
        : m_view(view), m_pRunner(pRunner), m_bAskDevice(bAskDevice)
    {
    }
    void OnLine(const char* pszLine, int, bool bUnfinished) override
    {
        // adb's words when no device is named and several are attached.
        if (strstr(pszLine, "more than one device"))
            m_bAskDevice = true;
        // UTF-8 output comes decoded into the ANSI code page; the rest is
        // the OEM text that console programs write.
        m_view.PrintOutput(m_pRunner, pszLine, bUnfinished, m_pRunner->m_bUtf8);
    }

private:
    CConsoleView& m_view;
    const CProcessRunner* m_pRunner;
    std::atomic<bool>& m_bAskDevice;
};

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

const DWORD kMainStyle = WS_OVERLAPPEDWINDOW;
const DWORD kMainExStyle = WS_EX_CLIENTEDGE;

// A window snapped to a side or corner of the screen (Windows 10 and later).
bool IsArranged(HWND hWnd)
{
    typedef BOOL(WINAPI * PFNISWINDOWARRANGED)(HWND);
    static const PFNISWINDOWARRANGED pfn = reinterpret_cast<PFNISWINDOWARRANGED>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "IsWindowArranged")));
    return pfn && pfn(hWnd);
}

// How long closing the window waits for a reader thread to deliver its
// last event after its child has been killed.
const DWORD kReaderWaitMs = 10000;
const UINT_PTR kDeviceTimer = 1;
}

CMainWnd::CMainWnd() : m_interp(this)
{
}

CMainWnd::~CMainWnd()
{
    // The one place where the window tree goes while every object in it is
    // whole: WM_DESTROY ends the runs, and the children go with this window.
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

BOOL CMainWnd::CreateMain()
{
    const CPlacementSetting& place = g_config.m_settings.WindowPlacement;
    LPCSTR cls = RegisterWndClass(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW),
                                  HBRUSH(::GetStockObject(NULL_BRUSH)), nullptr);
    return CreateEx(kMainExStyle, cls, "", kMainStyle, place.m_x, place.m_y, place.m_width, place.m_height, nullptr,
                    nullptr);
}

int CMainWnd::OnCreate()
{
    const CSettings& s = g_config.m_settings;
    m_interp.m_strAdbDir = s.AdbDirectory.m_value;
    // A screen without its store would show nothing, and say nothing.
    if (!m_view.m_store.Resize(s.BufferMegabytes.m_value << 20))
        throw std::bad_alloc();
    m_nDpi = Dpi::ForWindow(m_hWnd);
    m_view.m_nDpi = m_nDpi;
    m_panel.m_nDpi = m_nDpi;
    m_view.SetScreenFont(s.ScreenFont.m_face, s.ScreenFont.m_size);
    m_panel.SetCommandFont(s.CommandFont.m_face, s.CommandFont.m_size, s.CommandFont.m_italic);
    m_view.m_crBack = s.BackColor.m_value;
    m_view.m_crText = s.TextColor.m_value;
    m_view.m_crError = s.ErrorColor.m_value;
    m_view.m_crEcho = s.EchoColor.m_value;
    m_view.m_crInfo = s.InfoColor.m_value;
    m_view.m_crFindText = s.FindTextColor.m_value;
    m_view.m_crFindBack = s.FindBackColor.m_value;
    m_view.m_crMarkBack = s.MarkBackColor.m_value;
    RECT rc = {};
    m_view.Create(nullptr, "", WS_CHILD | WS_VISIBLE, rc, this, IDC_CONSOLE_VIEW);
    m_panel.Create(nullptr, "", WS_CHILD | WS_VISIBLE, rc, this, IDC_COMMAND_PANEL);
    ::DragAcceptFiles(m_hWnd, TRUE);
    return 0;
}

void CMainWnd::OnFirstShow()
{
    s_bFirstShow = false;
    m_view.m_nSavedCode = m_view.m_nCode;
    m_view.m_nCode = CODE_INFO;
    m_view.Print(kBanner);
    m_view.Print("Press F1 for Help");
    m_view.m_nCode = m_view.m_nSavedCode;
    m_view.m_nSavedCode = 0;
    m_view.Print("");
    g_config.PrintErrors(m_view);
    CString version("version");
    RunCommand(version, true);
    m_view.Print("");
    m_view.Invalidate(TRUE);
    StartTracking();
    if (g_config.m_settings.WindowPlacement.m_maximized)
        ShowWindow(SW_SHOWMAXIMIZED);
}

void CMainWnd::OnSize(int cx, int cy)
{
    int h = m_panel.StripHeight();
    m_view.MoveWindow(0, 0, cx, cy - h, TRUE);
    m_panel.MoveWindow(0, cy - h, cx, h, TRUE);
}

bool CMainWnd::KeepsGridOnDpiChange() const
{
    return !::IsZoomed(m_hWnd) && !::IsIconic(m_hWnd) && !IsArranged(m_hWnd);
}

SIZE CMainWnd::GridClientSizeAt(UINT nDpi) const
{
    RECT rc;
    m_view.GetClientRect(&rc);
    const int cols = m_view.m_hBar.m_nPage, rows = m_view.m_vBar.m_nPage;
    const int w = rc.right - m_view.ScrollBarWidth(), h = rc.bottom - m_view.ScrollBarHeight();
    const SIZE cell = CTextGridWnd::GetGridCell(m_view.m_hWnd, nDpi);
    // The pixels left over beside the last column and under the last row
    // scale too, but stay less than a cell: the same grid, not one more.
    auto rest = [&](int nLeft, int nCell) {
        return std::min(std::max(0, ::MulDiv(std::max(0, nLeft), int(nDpi), int(m_nDpi))), nCell - 1);
    };
    SIZE size;
    size.cx = cols * cell.cx + rest(w - cols * m_view.m_nCharWidth, cell.cx) + Dpi::Metric(SM_CXVSCROLL, nDpi);
    size.cy = rows * cell.cy + rest(h - rows * m_view.m_nLineHeight, cell.cy) + Dpi::Metric(SM_CYHSCROLL, nDpi) +
              m_panel.StripHeightAt(nDpi);
    return size;
}

bool CMainWnd::OnGetDpiScaledSize(UINT nDpi, SIZE* pSize) const
{
    if (!nDpi || !pSize || !m_nDpi || !m_view.m_hWnd || !KeepsGridOnDpiChange())
        return false;
    SIZE client = GridClientSizeAt(nDpi);
    RECT rc = { 0, 0, client.cx, client.cy };
    Dpi::AdjustWindowRect(&rc, kMainStyle, kMainExStyle, nDpi);
    pSize->cx = rc.right - rc.left;
    pSize->cy = rc.bottom - rc.top;
    return true;
}

void CMainWnd::OnDpiChanged(UINT nDpi, const RECT* prc)
{
    if (!nDpi || !prc || !m_view.m_hWnd || !m_panel.m_hWnd)
        return;
    const bool bKeep = KeepsGridOnDpiChange();
    const SIZE client = bKeep ? GridClientSizeAt(nDpi) : SIZE{};
    m_nDpi = nDpi;
    m_view.SetDpi(nDpi);
    m_panel.SetDpi(nDpi);
    // The suggested rectangle puts the window where the system wants it on
    // the new screen; taking it as it is keeps a window dragged across the
    // edge of two screens from jumping back and forth.
    ::SetWindowPos(m_hWnd, nullptr, prc->left, prc->top, prc->right - prc->left, prc->bottom - prc->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rc;
    GetClientRect(&rc);
    if (bKeep && (rc.right != client.cx || rc.bottom != client.cy)) {
        // The frame was not drawn at the new resolution (Windows 8.1, which
        // scales no frame, or a change that the system itself did not make)
        // or the suggestion was only scaled: the client area decides.
        RECT rw;
        GetWindowRect(&rw);
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, rw.right - rw.left + client.cx - rc.right,
                       rw.bottom - rw.top + client.cy - rc.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetClientRect(&rc);
    }
    // A child whose size happens to stay gets no WM_SIZE of its own, yet its
    // scroll bars and pages are counted in the new pixels.
    OnSize(rc.right, rc.bottom);
    for (CWnd* pChild : { static_cast<CWnd*>(&m_view), static_cast<CWnd*>(&m_panel) }) {
        RECT rcChild;
        pChild->GetClientRect(&rcChild);
        pChild->SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(rcChild.right, rcChild.bottom));
    }
    InvalidateChildren();
}

bool CMainWnd::OnSysCommand(WPARAM nId)
{
    if (nId != SC_CLOSE)
        return true;
    if (g_bBusy || m_interp.IsShellRunning()) {
        if (::MessageBoxA(m_hWnd, "Really quit ?", "Process is running", MB_OKCANCEL | MB_ICONQUESTION) == IDCANCEL)
            return false;
        m_interp.AbortAll();
    }
    return true;
}

void CMainWnd::OnDestroy()
{
    m_tracker.Stop();
    if (m_bDeviceTimer)
        ::KillTimer(m_hWnd, kDeviceTimer);
    m_bDeviceTimer = false;
    m_interp.AbortAll();
    // The killed children's reader threads still deliver their exit events,
    // which reach this window; wait for them while handling those messages,
    // so that no thread is left inside an object that is about to go.
    m_interp.m_cmdRunner.Close(kReaderWaitMs);
    m_interp.m_shellRunner.Close(kReaderWaitMs);
}

void CMainWnd::RunCommand(CString& strLine, bool bSync)
{
    RunCommand(strLine, bSync, CP_ACP);
}

void CMainWnd::RunCommand(CString& strLine, bool bSync, UINT nCodePage)
{
    m_interp.m_strDeviceArgs = m_devices.DeviceArgs(nCodePage);
    LineRoute route = m_interp.Prepare(strLine);
    // The code travels inside the text: a reader thread may be printing a
    // run's output at this moment, and its lines must not take the echo's
    // code. Empty lines and lines with a code of their own get none.
    // Typed and batch lines are ANSI text, as written.
    CString echo = strLine;
    if (static_cast<unsigned char>(strLine.GetString()[0]) >= 8)
        echo.Format("%c%s", CODE_ECHO, strLine.GetString());
    if (nCodePage == CP_OEMCP)
        m_view.Print(echo);
    else
        m_view.PrintAnsi(echo);
    m_interp.Execute(strLine, bSync, route, nCodePage);
    m_view.m_bFollow = true;
    InvalidateChildren();
}

void CMainWnd::InvalidateChildren()
{
    if (m_view.m_hWnd)
        m_view.Invalidate(TRUE);
    if (m_panel.m_hWnd) {
        m_panel.Invalidate(TRUE);
        ::InvalidateRect(m_panel.m_edit.m_hWnd, nullptr, TRUE);
    }
}

void CMainWnd::ShowBatchDialog()
{
    m_batch.RunDialog(this, this);
}

void CMainWnd::OnProcessStart(CProcessRunner* pRunner)
{
    if (!pRunner->m_bQuiet) {
        g_bBusy = true;
        RedrawLamp();
    }
    CRunResult::Take(m_results, pRunner->m_nRunId);
}

void CMainWnd::OnProcessError(CProcessRunner*)
{
    m_interp.ReportLastError();
    if (m_hWnd)
        ::SendMessageA(m_hWnd, UM_BATCHSTOP, 0, 0);
}

void CMainWnd::OnProcessExit(CProcessRunner* pRunner)
{
    DWORD dwCode = 0;
    ::GetExitCodeProcess(pRunner->m_pi.hProcess, &dwCode);
    CRunResult& result = CRunResult::Find(m_results, pRunner->m_nRunId);
    result.m_dwExitCode = dwCode;
    // The code travels inside the text: the user-interface thread may be
    // printing a block in another code at this moment.
    CString line = result.Report();
    m_view.PrintF("%c%s", CODE_INFO, line.GetString());
    if (m_view.m_hWnd)
        m_view.Invalidate(TRUE);
    // A quiet run that ends must not turn the lamp green under a command
    // that is still running.
    if (!pRunner->m_bQuiet || !m_interp.m_cmdRunner.IsRunning()) {
        g_bBusy = false;
        RedrawLamp();
    }
    if (m_hWnd) {
        if (m_bAskDevice.exchange(false))
            ::PostMessageA(m_hWnd, UM_DEVICEASK, 0, 0);
        // adb's runs (not dir's) have started adb's server.
        if (pRunner->m_bUtf8 && CCommandInterpreter::NeedsServer(pRunner->m_strCommand))
            ::PostMessageA(m_hWnd, UM_ADBDONE, 0, 0);
    }
    // Whether a batch line is left is asked on the user-interface thread,
    // where the batch may be stopped or replaced at this very moment.
    if (m_hWnd)
        ::SendMessageA(m_hWnd, UM_BATCHNEXT, 0, 0);
}

int CMainWnd::OnProcessOutput(CProcessRunner* pRunner)
{
    CConsoleSink sink(m_view, pRunner, m_bAskDevice);
    if (pRunner->DecodeChunk(sink))
        m_view.InvalidateForOutput();
    return 0;
}

LRESULT CMainWnd::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_CREATE:
        return OnCreate();
    case WM_SHOWWINDOW:
        if (s_bFirstShow)
            OnFirstShow();
        break;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_SETFOCUS:
        if (m_panel.m_edit.m_hWnd)
            m_panel.m_edit.SetFocus();
        return 0;
    case WM_GETMINMAXINFO: {
        MINMAXINFO* p = reinterpret_cast<MINMAXINFO*>(lParam);
        const UINT nDpi = m_nDpi ? m_nDpi : Dpi::System();
        p->ptMinTrackSize.x = Dpi::Scale(192, nDpi);
        p->ptMinTrackSize.y = Dpi::Scale(128, nDpi);
        p->ptMaxTrackSize.x = ::GetSystemMetrics(SM_CXSCREEN);
        p->ptMaxTrackSize.y = ::GetSystemMetrics(SM_CYSCREEN);
        return 0;
    }
    case WM_GETDPISCALEDSIZE:
        return OnGetDpiScaledSize(UINT(wParam), reinterpret_cast<SIZE*>(lParam)) ? TRUE : FALSE;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SYSCOMMAND:
        if (!OnSysCommand(wParam))
            return 0;
        break;
    case WM_MOUSEWHEEL:
        // The wheel reaches the focus window, the command line, and bubbles
        // up here: it is meant for the screen.
        if (m_view.m_hWnd)
            return m_view.SendMessage(nMsg, wParam, lParam);
        break;
    case WM_DROPFILES:
        InsertDroppedFiles(HDROP(wParam), m_panel.m_edit.m_hWnd);
        ::DragFinish(HDROP(wParam));
        return 0;
    case WM_DESTROY:
        OnDestroy();
        break;
    case UM_COMMANDDONE:
        return 0;
    case UM_BATCHNEXT:
        // The next line waits while a command runs (the shell's end also
        // asks for it): that command's own end asks again.
        if (m_batch.IsActive() && !m_interp.m_cmdRunner.IsRunning())
            m_batch.RunNext();
        return 0;
    case UM_BATCHSTOP:
        m_batch.Stop();
        return 0;
    case UM_DEVICES:
        OnDevicesPosted();
        return 0;
    case WM_TIMER:
        if (wParam == kDeviceTimer) {
            ::KillTimer(m_hWnd, kDeviceTimer);
            m_bDeviceTimer = false;
            ApplyDevices();
            return 0;
        }
        break;
    case UM_DEVICEASK:
        // One choice, then Ctrl-PgUp and Enter run the line again on it. A
        // user who is typing the next line meanwhile keeps the keyboard.
        if (!m_devices.HasChoice() && !m_devices.List().empty() && !m_batch.IsActive() &&
            ::GetWindowTextLengthA(m_panel.m_edit.m_hWnd) == 0)
            m_panel.DropDeviceList();
        return 0;
    case UM_ADBDONE:
        OnAdbDone();
        return 0;
    }
    return Default();
}

void CMainWnd::OnDeviceList(const CDeviceList& list)
{
    std::lock_guard<std::mutex> lock(m_lockDevices);
    m_pendingList = list;
    m_bPendingList = true;
    if (!m_bDevicesPosted && m_hWnd)
        m_bDevicesPosted = ::PostMessageA(m_hWnd, UM_DEVICES, 0, 0) != FALSE;
}

void CMainWnd::OnTrackingEnd()
{
    std::lock_guard<std::mutex> lock(m_lockDevices);
    m_bPendingEnd = true;
    if (!m_bDevicesPosted && m_hWnd)
        m_bDevicesPosted = ::PostMessageA(m_hWnd, UM_DEVICES, 0, 0) != FALSE;
}

void CMainWnd::OnDevicesPosted()
{
    {
        std::lock_guard<std::mutex> lock(m_lockDevices);
        m_bDevicesPosted = false;
    }
    // A device that flaps must not make the strip flicker: at most one
    // change every kDeviceUpdateMs, the newest list winning.
    DWORD dwSince = ::GetTickCount() - m_dwLastDeviceApply;
    if (dwSince >= kDeviceUpdateMs)
        ApplyDevices();
    else if (!m_bDeviceTimer)
        m_bDeviceTimer = ::SetTimer(m_hWnd, kDeviceTimer, kDeviceUpdateMs - dwSince, nullptr) != 0;
}

void CMainWnd::ApplyDevices()
{
    CDeviceList list;
    bool bList, bEnd;
    {
        std::lock_guard<std::mutex> lock(m_lockDevices);
        bList = m_bPendingList;
        bEnd = m_bPendingEnd;
        list.swap(m_pendingList);
        m_bPendingList = m_bPendingEnd = false;
    }
    m_dwLastDeviceApply = ::GetTickCount();
    if (bEnd || bList)
        ++m_nDeviceUpdates;
    if (bEnd) {
        // Not started again by the program itself: that would start adb's
        // server, which the user may just have stopped.
        m_tracker.Stop();
        m_devices.SetUntracked();
        m_bRetrack = true;
    } else if (bList) {
        m_devices.SetList(list);
    } else {
        return;
    }
    ShowDeviceState();
}

void CMainWnd::ShowDeviceState()
{
    if (m_panel.m_hWnd)
        m_panel.ShowDevices(m_devices);
    m_panel.m_lamp.SetDeviceState(m_devices.Readiness(), m_devices.StatusText());
}

void CMainWnd::StartTracking()
{
    m_tracker.Stop();
    {
        // What the stopped tracker left is of no use now.
        std::lock_guard<std::mutex> lock(m_lockDevices);
        m_pendingList.clear();
        m_bPendingList = m_bPendingEnd = false;
    }
    m_bRetrack = false;
    CString cmd = m_interp.m_strAdbDir + "adb track-devices -l";
    if (!m_tracker.Start(cmd))
        m_bRetrack = true;
}

void CMainWnd::OnAdbDone()
{
    if (m_bRetrack && !m_interp.m_cmdRunner.IsRunning())
        StartTracking();
}

void CMainWnd::ChooseDevice(int nItem)
{
    m_devices.ChooseItem(nItem);
    ShowDeviceState();
}
