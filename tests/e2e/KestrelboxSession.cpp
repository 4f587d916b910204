#include "KestrelboxSession.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "../support/AdbSim.h"
#include "../support/ClipboardText.h"
#include "ScreenCapture.h"
#include "UserInput.h"

namespace {

const int kChildIds[] = { 11, 12, 21, 22 }; // view, panel, lamp, command line
const DWORD kStartTimeoutMs = 60000;
const DWORD kCopyTimeoutMs = 1000;
// The adb imitation's background server ends soon after the program's
// last use, so that nothing of a test outlives it for long.
const char kServerIdleMs[] = "3000";

struct FindCtx {
    DWORD dwPid;
    const char* pszCaption;
    HWND hFound;
};

BOOL CALLBACK FindProc(HWND hWnd, LPARAM lParam)
{
    FindCtx* ctx = reinterpret_cast<FindCtx*>(lParam);
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    if (dwPid != ctx->dwPid || !::IsWindowVisible(hWnd))
        return TRUE;
    char sz[256] = {};
    ::GetWindowTextA(hWnd, sz, sizeof(sz));
    if (std::strcmp(sz, ctx->pszCaption) != 0)
        return TRUE;
    ctx->hFound = hWnd;
    return FALSE;
}

struct ChildCtx {
    const char* pszClass;
    std::string strTexts;
};

BOOL CALLBACK ChildProc(HWND hWnd, LPARAM lParam)
{
    ChildCtx* ctx = reinterpret_cast<ChildCtx*>(lParam);
    char szClass[64] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (_stricmp(szClass, ctx->pszClass) == 0) {
        if (!ctx->strTexts.empty())
            ctx->strTexts += "|";
        ctx->strTexts += CKestrelboxSession::ControlText(hWnd);
    }
    return TRUE;
}

} // namespace

CKestrelboxSession::~CKestrelboxSession()
{
    Kill();
    if (!m_strWorkDir.empty())
        ::RemoveDirectoryA(m_strWorkDir.c_str());
}

std::string CKestrelboxSession::AdbPath()
{
    return AdbSimPath();
}

bool CKestrelboxSession::Start(std::string& strError)
{
    std::string strDir = ProgramFolder();
    std::string strExe = strDir + "Kestrelbox.exe";
    if (::GetFileAttributesA(strExe.c_str()) == INVALID_FILE_ATTRIBUTES ||
        ::GetFileAttributesA(AdbPath().c_str()) == INVALID_FILE_ATTRIBUTES) {
        strError = "Kestrelbox.exe or adbsim\\adb.exe missing beside the test program in " + strDir;
        return false;
    }

    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    m_strWorkDir = std::string(szTemp) + "kbe2e-" + std::to_string(::GetCurrentProcessId()) + "-" +
                   std::to_string(::GetTickCount());
    if (!::CreateDirectoryA(m_strWorkDir.c_str(), nullptr)) {
        strError = "cannot make the work directory " + m_strWorkDir;
        return false;
    }

    EnvOverrides overrides = { { "ADBSIM_IDLE_MS", kServerIdleMs },
                               { "ADBSIM_COMMAND_LOG", m_strWorkDir + "\\adb-commands.txt" } };
    overrides.insert(overrides.end(), m_env.begin(), m_env.end());
    std::vector<char> env = EnvironmentBlock(overrides, true);
    std::string cmd = "\"" + strExe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (!::CreateProcessA(strExe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, env.data(), m_strWorkDir.c_str(),
                          &si, &m_pi)) {
        strError = "CreateProcess of " + strExe + " failed with error " + std::to_string(::GetLastError());
        return false;
    }
    if (!FindWindows(kStartTimeoutMs)) {
        strError = "the main window with its children did not appear";
        return false;
    }
    if (!BringToFront()) {
        strError = "the main window did not come to the front";
        return false;
    }
    auto started = [](const ScreenLines& lines) { return FindExitLine(lines) >= 0; };
    if (!WaitForScreen(started, m_startup, kStartTimeoutMs)) {
        strError = "no start-up exit line appeared; the screen held:\n" + Describe(m_startup);
        return false;
    }
    return true;
}

bool CKestrelboxSession::FindWindows(DWORD dwMs)
{
    return WaitUntil([this] {
        m_hMain = FindOwnWindow("Kestrelbox 1.00");
        if (!m_hMain)
            return false;
        m_hView = ::GetDlgItem(m_hMain, kChildIds[0]);
        m_hPanel = ::GetDlgItem(m_hMain, kChildIds[1]);
        m_hLamp = m_hPanel ? ::GetDlgItem(m_hPanel, kChildIds[2]) : nullptr;
        m_hEdit = m_hPanel ? ::GetDlgItem(m_hPanel, kChildIds[3]) : nullptr;
        return m_hView && m_hPanel && m_hLamp && m_hEdit;
    }, dwMs);
}

std::vector<DWORD> CKestrelboxSession::LiveChildIds() const
{
    std::vector<DWORD> ids;
    HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof(pe);
    for (BOOL b = ::Process32First(hSnap, &pe); b; b = ::Process32Next(hSnap, &pe))
        if (pe.th32ParentProcessID == m_pi.dwProcessId && pe.th32ProcessID != m_pi.dwProcessId)
            ids.push_back(pe.th32ProcessID);
    ::CloseHandle(hSnap);
    return ids;
}

void CKestrelboxSession::MarkChildren()
{
    m_marked.clear();
    for (HANDLE h : OpenLiveChildren())
    {
        m_marked.push_back(::GetProcessId(h));
        ::CloseHandle(h);
    }
}

std::vector<HANDLE> CKestrelboxSession::OpenLiveChildren() const
{
    std::vector<HANDLE> children;
    for (DWORD id : LiveChildIds()) {
        bool bMarked = false;
        for (DWORD m : m_marked)
            bMarked = bMarked || m == id;
        if (bMarked)
            continue;
        HANDLE h = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        if (!h)
            continue;
        // Listed but already ended (its parent still holds a handle): not live.
        if (::WaitForSingleObject(h, 0) == WAIT_TIMEOUT)
            children.push_back(h);
        else
            ::CloseHandle(h);
    }
    return children;
}

bool CKestrelboxSession::IsRunning() const
{
    return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool CKestrelboxSession::WaitExit(DWORD dwMs, DWORD* pdwCode)
{
    if (!m_pi.hProcess || ::WaitForSingleObject(m_pi.hProcess, dwMs) != WAIT_OBJECT_0)
        return false;
    if (pdwCode)
        ::GetExitCodeProcess(m_pi.hProcess, pdwCode);
    return true;
}

void CKestrelboxSession::Kill()
{
    if (!m_pi.hProcess)
        return;
    if (IsRunning()) {
        ::TerminateProcess(m_pi.hProcess, 1);
        ::WaitForSingleObject(m_pi.hProcess, 10000);
    }
    ::CloseHandle(m_pi.hThread);
    ::CloseHandle(m_pi.hProcess);
    m_pi = PROCESS_INFORMATION();
    m_hMain = m_hView = m_hPanel = m_hLamp = m_hEdit = nullptr;
}

bool CKestrelboxSession::BringToFront()
{
    if (!m_hMain)
        return false;
    return WaitUntil([this] {
        if (::GetForegroundWindow() == m_hMain)
            return true;
        ::SetForegroundWindow(m_hMain);
        return ::GetForegroundWindow() == m_hMain;
    }, 5000);
}

std::string CKestrelboxSession::AdbCommandLog() const
{
    std::string strLog;
    HANDLE h = ::CreateFileA((m_strWorkDir + "\\adb-commands.txt").c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return strLog;
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0)
        strLog.append(buf, n);
    ::CloseHandle(h);
    return strLog;
}

void CKestrelboxSession::Type(const char* pszText)
{
    UserInput::TypeText(pszText);
}

void CKestrelboxSession::Press(WORD vk)
{
    UserInput::Press(vk);
}

void CKestrelboxSession::Chord(std::initializer_list<WORD> mods, WORD vk)
{
    UserInput::Chord(mods, vk);
}

void CKestrelboxSession::EnterLine(const char* pszLine)
{
    UserInput::TypeText(pszLine);
    UserInput::Press(VK_RETURN);
}

std::string CKestrelboxSession::CommandLineText() const
{
    return ControlText(m_hEdit);
}

std::string CKestrelboxSession::ControlText(HWND hWnd)
{
    char sz[8192] = {};
    DWORD_PTR nResult = 0;
    if (!::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(sz), reinterpret_cast<LPARAM>(sz), SMTO_ABORTIFHUNG,
                               5000, &nResult))
        return "<no answer>";
    sz[sizeof(sz) - 1] = 0;
    return sz;
}

bool CKestrelboxSession::WaitForeground(HWND hWnd, DWORD dwMs)
{
    return WaitUntil([hWnd] { return ::GetForegroundWindow() == hWnd; }, dwMs);
}

bool CKestrelboxSession::CopyScreen(std::string& strText)
{
    std::string strSentinel = "kbe2e sentinel " + std::to_string(++m_nCopies);
    if (!PutClipboardText(strSentinel))
        return false;
    // Two clicks at one spot in quick succession would make a double click,
    // which copies nothing: alternate between two spots far apart.
    RECT rc = TextArea();
    POINT pt = { rc.right - 20 - (m_nCopies % 2) * 80, rc.top + 5 };
    const DWORD dwSequence = ::GetClipboardSequenceNumber();
    UserInput::MiddleClick(pt, true);
    bool bCopied = WaitClipboardText(dwSequence, strSentinel, strText, kCopyTimeoutMs);
    if (!bCopied)
        strText.clear();
    return bCopied;
}

bool CKestrelboxSession::WaitForScreen(const std::function<bool(const ScreenLines&)>& pred, ScreenLines& lines,
                                       DWORD dwMs)
{
    return WaitUntil([&] {
        std::string strText;
        if (!CopyScreen(strText))
            return false;
        lines = SplitScreenText(strText);
        return pred(lines);
    }, dwMs);
}

LampColour CKestrelboxSession::Lamp() const
{
    RECT rc;
    if (!::GetWindowRect(m_hLamp, &rc))
        return LampColour::Unknown;
    CScreenCapture cap;
    if (!cap.Grab(rc))
        return LampColour::Unknown;
    int nRed = 0, nGreen = 0, nYellow = 0;
    for (int y = 0; y < cap.Height(); ++y)
        for (int x = 0; x < cap.Width(); ++x) {
            COLORREF c = cap.Pixel(x, y);
            int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            if (r >= 150 && g >= 150 && b < 110)
                ++nYellow;
            else if (r >= 150 && g < 110 && b < 110)
                ++nRed;
            else if (g >= 120 && r < 110 && b < 110)
                ++nGreen;
        }
    // A lamp of 16 x 16 pixels shows a disc of one colour; a few stray
    // pixels of the other colour would be the highlight or the edge.
    if (nRed >= 20 && nRed > 4 * (nGreen + nYellow))
        return LampColour::Red;
    if (nGreen >= 20 && nGreen > 4 * nRed && nGreen > 4 * nYellow)
        return LampColour::Green;
    if (nYellow >= 20 && nYellow > 4 * (nRed + nGreen))
        return LampColour::Yellow;
    return LampColour::Unknown;
}

bool CKestrelboxSession::WaitLamp(LampColour colour, DWORD dwMs)
{
    return WaitUntil([&] { return Lamp() == colour; }, dwMs);
}

RECT CKestrelboxSession::TextArea() const
{
    RECT rc = {};
    ::GetClientRect(m_hView, &rc);
    ::MapWindowPoints(m_hView, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    // Up to the scroll bars as the program placed them: their width is the
    // program's, at its resolution, not this test program's.
    ::EnumChildWindows(m_hView, ClipToScrollBar, LPARAM(&rc));
    return rc;
}

BOOL CALLBACK CKestrelboxSession::ClipToScrollBar(HWND hWnd, LPARAM lParam)
{
    char szClass[32] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    const LONG style = ::GetWindowLongA(hWnd, GWL_STYLE);
    RECT rcBar;
    if (lstrcmpiA(szClass, "ScrollBar") != 0 || (style & SBS_SIZEBOX) || !::GetWindowRect(hWnd, &rcBar))
        return TRUE;
    RECT& text = *reinterpret_cast<RECT*>(lParam);
    if (style & SBS_VERT)
        text.right = std::min(text.right, rcBar.left);
    else
        text.bottom = std::min(text.bottom, rcBar.top);
    return TRUE;
}

SIZE CKestrelboxSession::Cell() const
{
    SIZE cell = CharCell();
    cell.cx = ::MulDiv(cell.cx, int(m_nDpi), 96);
    cell.cy = ::MulDiv(cell.cy, int(m_nDpi), 96);
    return cell;
}

SIZE CKestrelboxSession::CharCell()
{
    SIZE cell = { 0, 0 };
    HDC hdc = ::GetDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hdc, ::GetStockObject(SYSTEM_FONT));
    TEXTMETRICA tm;
    if (::GetTextMetricsA(hdc, &tm)) {
        cell.cx = tm.tmAveCharWidth + 1;
        cell.cy = tm.tmHeight - 2;
    }
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(nullptr, hdc);
    return cell;
}

int CKestrelboxSession::PageLines() const
{
    RECT rc = TextArea();
    SIZE cell = Cell();
    return cell.cy > 0 ? (rc.bottom - rc.top) / cell.cy : 0;
}

POINT CKestrelboxSession::CellPoint(int nRow, int nColumn) const
{
    RECT rc = TextArea();
    SIZE cell = Cell();
    POINT pt = { rc.left + nColumn * cell.cx + cell.cx / 2, rc.top + nRow * cell.cy + cell.cy / 2 };
    return pt;
}

bool CKestrelboxSession::GrabRow(int nRow, CScreenCapture& cap) const
{
    RECT rc = TextArea();
    SIZE cell = Cell();
    rc.top += nRow * cell.cy;
    rc.bottom = rc.top + cell.cy;
    return cap.Grab(rc);
}

int CKestrelboxSession::RowInk(int nRow) const
{
    CScreenCapture cap;
    if (!GrabRow(nRow, cap))
        return -1;
    RECT all = { 0, 0, cap.Width(), cap.Height() };
    return cap.Width() * cap.Height() - cap.Count(all, RGB(0, 0, 0));
}

int CKestrelboxSession::PromptInk() const
{
    RECT rcPanel, rcEdit, rcLamp;
    if (!::GetWindowRect(m_hPanel, &rcPanel) || !::GetWindowRect(m_hEdit, &rcEdit) ||
        !::GetWindowRect(m_hLamp, &rcLamp))
        return -1;
    // Between the lamp and the command line, below the sunken line.
    RECT rc = { rcLamp.right, rcPanel.top + 7, rcEdit.left, rcPanel.bottom };
    CScreenCapture cap;
    if (!cap.Grab(rc))
        return -1;
    RECT all = { 0, 0, cap.Width(), cap.Height() };
    return cap.Width() * cap.Height() - cap.Count(all, ::GetSysColor(COLOR_BTNFACE));
}

HWND CKestrelboxSession::FindOwnWindow(const char* pszCaption) const
{
    FindCtx ctx = { m_pi.dwProcessId, pszCaption, nullptr };
    ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&ctx));
    return ctx.hFound;
}

HWND CKestrelboxSession::WaitForWindow(const char* pszCaption, DWORD dwMs) const
{
    HWND hFound = nullptr;
    WaitUntil([&] { return (hFound = FindOwnWindow(pszCaption)) != nullptr; }, dwMs);
    return hFound;
}

std::string CKestrelboxSession::ChildTexts(HWND hWnd, const char* pszClass)
{
    ChildCtx ctx = { pszClass, std::string() };
    ::EnumChildWindows(hWnd, ChildProc, reinterpret_cast<LPARAM>(&ctx));
    return ctx.strTexts;
}

void CKestrelboxSession::Screenshot(const char* pszName)
{
    SaveScreenshot(std::string("/tmp/e2e/") + pszName + ".png");
}
