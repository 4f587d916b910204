#include "dialogs/BatchDlg.h"

#include "framework/Dpi.h"
#include "resources/resource.h"

const char CBatchDlg::s_szEditFace[] = "Courier New";

CBatchDlg::CBatchDlg(CWnd* pParent) : CDialog(IDD_BATCH, pParent), m_hWndFocus(::GetFocus())
{
    m_font.CreateFixedFont(EDIT_POINTS, s_szEditFace, Dpi::System());
}

void CBatchDlg::SetEditFont(UINT nDpi)
{
    m_nDpi = nDpi;
    CFont font;
    if (!font.CreateFixedFont(EDIT_POINTS, s_szEditFace, nDpi))
        return;
    m_edit.SendMessage(WM_SETFONT, WPARAM(font.m_hObject), TRUE);
    m_font.Attach(font.Detach());
}

CBatchDlg::~CBatchDlg()
{
    m_font.DeleteObject();
    if (m_hWndFocus && ::IsWindow(m_hWndFocus))
        ::SetFocus(m_hWndFocus);
}

void CBatchDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_BATCH_CLEAR, m_btnClear);
    DDX_Control(pDX, IDC_BATCH_PASTE, m_btnPaste);
    DDX_Control(pDX, IDOK, m_btnOk);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_BATCH_EDIT, m_edit);
}

BOOL CBatchDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetEditFont(Dpi::ForWindow(m_hWnd));
    if (m_hText) {
        HLOCAL hOld = HLOCAL(m_edit.SendMessage(EM_GETHANDLE));
        if (hOld) {
            ::LocalUnlock(hOld);
            ::LocalFree(hOld);
        }
        m_edit.SendMessage(EM_SETHANDLE, WPARAM(m_hText));
    }
    OnSize();
    return TRUE;
}

void CBatchDlg::HandBackText()
{
    if (m_bHandedBack || !m_edit.m_hWnd)
        return;
    m_bHandedBack = true;
    m_hText = HLOCAL(m_edit.SendMessage(EM_GETHANDLE));
    // The edit frees only this fresh buffer when it is destroyed.
    HLOCAL hFresh = ::LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 1);
    m_edit.SendMessage(EM_SETHANDLE, WPARAM(hFresh));
}

void CBatchDlg::OnOK()
{
    HandBackText();
    CDialog::OnOK();
}

void CBatchDlg::OnCancel()
{
    HandBackText();
    CDialog::OnCancel();
}

void CBatchDlg::OnClear()
{
    m_edit.SetSel(0, -1);
    m_edit.SendMessage(EM_SCROLLCARET);
    m_edit.SendMessage(WM_CLEAR);
    FocusEdit();
}

void CBatchDlg::OnPaste()
{
    // The edit leaves its caret just after what it pasted.
    m_edit.SendMessage(WM_PASTE);
    FocusEdit();
}

// A click leaves the focus on the button, where the next letters typed
// would press buttons by their mnemonics (p pastes, o runs the batch): the
// typing goes on in the text, at the caret. The dialog manager selects all
// of an edit's text when it moves the focus there, so the caret is put back.
void CBatchDlg::FocusEdit()
{
    DWORD dwStart = 0, dwEnd = 0;
    m_edit.SendMessage(EM_GETSEL, WPARAM(&dwStart), LPARAM(&dwEnd));
    SendMessage(WM_NEXTDLGCTL, WPARAM(m_edit.m_hWnd), TRUE);
    m_edit.SetSel(int(dwStart), int(dwEnd));
    m_edit.SendMessage(EM_SCROLLCARET);
}

void CBatchDlg::OnSize()
{
    if (!m_btnCancel.m_hWnd)
        return;
    SendMessage(WM_SETREDRAW, FALSE);
    RECT rc, rcBtn;
    GetClientRect(&rc);
    m_btnCancel.GetWindowRect(&rcBtn);
    int w = rcBtn.right - rcBtn.left, h = rcBtn.bottom - rcBtn.top;
    // 8-pixel margins and 2-pixel gaps at 96 dpi.
    const UINT nDpi = m_nDpi ? m_nDpi : Dpi::System();
    const int m = Dpi::Scale(8, nDpi), g = Dpi::Scale(2, nDpi);
    int y = rc.bottom - m - h;
    int xCancel = rc.right - m - w;
    m_btnCancel.MoveWindow(xCancel, y, w, h, TRUE);
    m_btnOk.MoveWindow(xCancel - w - g, y, w, h, TRUE);
    m_btnClear.MoveWindow(rc.left + m, y, w, h, TRUE);
    m_btnPaste.MoveWindow(rc.left + m + w + g, y, w, h, TRUE);
    m_edit.MoveWindow(rc.left + m, rc.top + m, rc.right - 2 * m - rc.left, rc.bottom - h - 2 * m - (rc.top + m), TRUE);
    SendMessage(WM_SETREDRAW, TRUE);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CBatchDlg::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_DESTROY:
        // Ended without OK or Cancel (the message loop's end): the edit,
        // destroyed after this, would free the text with its buffer.
        HandBackText();
        break;
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_BATCH_PASTE) {
            OnPaste();
            return 0;
        }
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_BATCH_CLEAR) {
            OnClear();
            return 0;
        }
        break;
    case WM_GETMINMAXINFO: {
        MINMAXINFO* p = reinterpret_cast<MINMAXINFO*>(lParam);
        const UINT nDpi = m_nDpi ? m_nDpi : Dpi::System();
        p->ptMinTrackSize.x = Dpi::Scale(384, nDpi);
        p->ptMinTrackSize.y = Dpi::Scale(128, nDpi);
        return 0;
    }
    case WM_DPICHANGED: {
        // The dialog manager scales the template's font and controls; the
        // editor's own font and the margins are this dialog's to follow.
        LRESULT r = CDialog::WindowProc(nMsg, wParam, lParam);
        SetEditFont(HIWORD(wParam));
        const RECT* prc = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(m_hWnd, nullptr, prc->left, prc->top, prc->right - prc->left, prc->bottom - prc->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        OnSize();
        return r;
    }
    }
    return CDialog::WindowProc(nMsg, wParam, lParam);
}
