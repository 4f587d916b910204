#include "crash/CrashDlg.h"

#include "framework/Clipboard.h"
#include "resources/resource.h"

CCrashDlg::CCrashDlg(CWnd* pParent)
    : CDialog(IDD_CRASH, pParent),
      m_hWndFocus(::GetFocus()),
      m_nWidth(800),
      m_nHeight((2 * ::GetSystemMetrics(SM_CYSCREEN)) / 3)
{
    m_font.CreatePointFont(70, "Courier");
}

CCrashDlg::~CCrashDlg()
{
    m_font.DeleteObject();
    if (m_hWndFocus && ::IsWindow(m_hWndFocus))
        ::SetFocus(m_hWndFocus);
}

void CCrashDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_CRASH_EDIT, m_strReport);
}

bool CCrashDlg::CopyReport() const
{
    return Clipboard::SetText(m_strReport, size_t(m_strReport.GetLength()) + 1);
}

BOOL CCrashDlg::PreTranslateMessage(MSG* pMsg)
{
    // The edit would select a word on a double click; the report is taken
    // whole instead, and the edit never sees the click.
    if (pMsg->message == WM_LBUTTONDBLCLK && pMsg->hwnd == GetDlgItem(IDC_CRASH_EDIT)) {
        CopyReport();
        return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

BOOL CCrashDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_nWidth, m_nHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
    CenterWindow();
    HWND hEdit = GetDlgItem(IDC_CRASH_EDIT);
    ::SendMessageA(hEdit, WM_SETFONT, WPARAM(m_font.GetSafeHandle()), TRUE);
    // Wine's edit is left scrolled sideways once the long text is in; the
    // report is read from its left edge.
    ::SendMessageA(hEdit, EM_SETSEL, 0, 0);
    ::SendMessageA(hEdit, EM_SCROLLCARET, 0, 0);
    // The dialog manager selects the whole text when it gives the edit the
    // focus, after this returns; the posted message undoes that.
    ::PostMessageA(hEdit, EM_SETSEL, WPARAM(-1), LPARAM(-1));
    return TRUE;
}

void CCrashDlg::OnSize(int cx, int cy)
{
    HWND hEdit = GetDlgItem(IDC_CRASH_EDIT);
    HWND hButton = GetDlgItem(IDOK);
    if (!hEdit || !hButton)
        return;
    RECT rc;
    ::GetWindowRect(hButton, &rc);
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    ::MoveWindow(hEdit, 2, 2, cx - 8, cy - h / 2 - h - 8, TRUE);
    ::MoveWindow(hButton, (cx - w) / 2, cy - h / 3 - h - 2, w, h, TRUE);
}

LRESULT CCrashDlg::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_SIZE) {
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    }
    return CDialog::WindowProc(nMsg, wParam, lParam);
}
