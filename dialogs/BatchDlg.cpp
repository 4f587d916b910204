#include "dialogs/BatchDlg.h"

#include "resources/resource.h"

CBatchDlg::CBatchDlg(CWnd* pParent) : CDialog(IDD_BATCH, pParent), m_hWndFocus(::GetFocus())
{
    m_font.CreatePointFont(70, "Courier");
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
    m_edit.SendMessage(WM_SETFONT, WPARAM(m_font.m_hObject), TRUE);
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
    int y = rc.bottom - 8 - h;
    int xCancel = rc.right - 8 - w;
    m_btnCancel.MoveWindow(xCancel, y, w, h, TRUE);
    m_btnOk.MoveWindow(xCancel - w - 2, y, w, h, TRUE);
    m_btnClear.MoveWindow(rc.left + 8, y, w, h, TRUE);
    m_btnPaste.MoveWindow(rc.left + 8 + w + 2, y, w, h, TRUE);
    m_edit.MoveWindow(rc.left + 8, rc.top + 8, rc.right - 16 - rc.left, rc.bottom - h - 16 - (rc.top + 8), TRUE);
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
        p->ptMinTrackSize.x = 384;
        p->ptMinTrackSize.y = 128;
        return 0;
    }
    }
    return CDialog::WindowProc(nMsg, wParam, lParam);
}
