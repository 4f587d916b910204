#include "crash/CrashDlg.h"

#include "framework/Clipboard.h"
#include "framework/Dpi.h"
#include "resources/resource.h"

CCrashDlg::CCrashDlg(CWnd* pParent)
    : CDialog(IDD_CRASH, pParent),
      m_hWndFocus(::GetFocus()),
      m_nWidth(Dpi::Scale(800, Dpi::System())),
      m_nHeight((2 * ::GetSystemMetrics(SM_CYSCREEN)) / 3)
{
    m_font.CreateFixedFont(REPORT_POINTS, "Courier New", Dpi::System());
}

void CCrashDlg::SetReportFont(UINT nDpi)
{
    m_nDpi = nDpi;
    CFont font;
    if (!font.CreateFixedFont(REPORT_POINTS, "Courier New", nDpi))
        return;
    ::SendMessageA(GetDlgItem(IDC_CRASH_EDIT), WM_SETFONT, WPARAM(font.m_hObject), TRUE);
    m_font.Attach(font.Detach());
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
    SetReportFont(Dpi::ForWindow(m_hWnd));
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
    const UINT nDpi = m_nDpi ? m_nDpi : Dpi::System();
    const int m2 = Dpi::Scale(2, nDpi), m8 = Dpi::Scale(8, nDpi);
    ::MoveWindow(hEdit, m2, m2, cx - m8, cy - h / 2 - h - m8, TRUE);
    ::MoveWindow(hButton, (cx - w) / 2, cy - h / 3 - h - m2, w, h, TRUE);
}

LRESULT CCrashDlg::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_SIZE) {
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    }
    if (nMsg == WM_DPICHANGED) {
        LRESULT r = CDialog::WindowProc(nMsg, wParam, lParam);
        SetReportFont(HIWORD(wParam));
        const RECT* prc = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(m_hWnd, nullptr, prc->left, prc->top, prc->right - prc->left, prc->bottom - prc->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return r;
    }
    return CDialog::WindowProc(nMsg, wParam, lParam);
}
