#include "framework/Dialog.h"

#include "framework/WinApp.h"

#include <exception>

void DDX_Control(CDataExchange* pDX, int nId, CWnd& rControl)
{
    if (!rControl.m_hWnd)
        rControl.SubclassWindow(pDX->m_pDlgWnd->GetDlgItem(nId));
}

void DDX_Text(CDataExchange* pDX, int nId, CString& value)
{
    HWND h = pDX->m_pDlgWnd->GetDlgItem(nId);
    if (!h)
        return;
    if (pDX->m_bSaveAndValidate) {
        int n = ::GetWindowTextLengthA(h);
        char* p = value.GetBuffer(n + 1);
        int got = ::GetWindowTextA(h, p, n + 1);
        value.ReleaseBuffer(got > 0 ? got : 0);
    } else {
        ::SetWindowTextA(h, value);
    }
}

void DDX_Radio(CDataExchange* pDX, int nId, int& value)
{
    HWND h = pDX->m_pDlgWnd->GetDlgItem(nId);
    if (pDX->m_bSaveAndValidate)
        value = -1;
    for (int i = 0; h; ++i) {
        if (pDX->m_bSaveAndValidate) {
            if (::SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = i;
        } else {
            ::SendMessageA(h, BM_SETCHECK, i == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        h = ::GetWindow(h, GW_HWNDNEXT);
        if (!h || (::GetWindowLongA(h, GWL_STYLE) & WS_GROUP))
            break;
        if ((::SendMessageA(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) == 0)
            break;
    }
}

CDialog::CDialog(UINT nIdTemplate, CWnd* pParent)
    : m_nIdTemplate(nIdTemplate), m_hWndParent(pParent ? pParent->m_hWnd : nullptr)
{
}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInst = ::GetModuleHandleA(nullptr);
    HRSRC hRes = ::FindResourceA(hInst, MAKEINTRESOURCEA(m_nIdTemplate), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    HGLOBAL hTemplate = hRes ? ::LoadResource(hInst, hRes) : nullptr;
    const void* pTemplate = hTemplate ? ::LockResource(hTemplate) : nullptr;
    if (!pTemplate)
        return -1;

    // The owner is the top-level window of the parent; it is disabled while
    // the dialog runs, as the system's modal dialogs do.
    HWND hOwner = m_hWndParent ? ::GetAncestor(m_hWndParent, GA_ROOT) : nullptr;
    bool bEnableOwner = hOwner && ::IsWindowEnabled(hOwner);
    m_bEnded = false;
    m_nResult = IDCANCEL;
    HWND hDlg = ::CreateDialogIndirectParamA(hInst, static_cast<const DLGTEMPLATE*>(pTemplate), hOwner,
                                             DlgProc, LPARAM(this));
    if (!hDlg)
        return -1;
    if (bEnableOwner)
        ::EnableWindow(hOwner, FALSE);
    if (!m_bEnded)
        ::ShowWindow(hDlg, SW_SHOW);

    bool bQuit = false;
    WPARAM quitCode = 0;
    MSG msg;
    while (!m_bEnded) {
        BOOL r = ::GetMessageA(&msg, nullptr, 0, 0);
        if (r == 0) {
            bQuit = true;
            quitCode = msg.wParam;
            break;
        }
        if (r == -1)
            break;
        if (CWinApp::WalkPreTranslate(&msg))
            continue;
        if (::IsDialogMessageA(hDlg, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    if (bEnableOwner)
        ::EnableWindow(hOwner, TRUE);
    if (hOwner && ::GetActiveWindow() == hDlg)
        ::SetActiveWindow(hOwner);
    ::DestroyWindow(hDlg);
    if (bQuit)
        ::PostQuitMessage(int(quitCode));
    return m_nResult;
}

void CDialog::EndDialog(int nResult)
{
    m_nResult = nResult;
    m_bEnded = true;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::CenterWindow(HWND hAlternateOwner)
{
    HWND hOver = hAlternateOwner ? hAlternateOwner : ::GetWindow(m_hWnd, GW_OWNER);
    if (!hOver)
        hOver = m_hWndParent;
    RECT rcArea;
    if (hOver && ::IsWindowVisible(hOver) && !::IsIconic(hOver))
        ::GetWindowRect(hOver, &rcArea);
    else
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0);
    RECT rc;
    GetWindowRect(&rc);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    int x = (rcArea.left + rcArea.right - w) / 2;
    int y = (rcArea.top + rcArea.bottom - h) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CDialog::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

LRESULT CDialog::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return 0;
        }
    }
    (void)lParam;
    return Default();
}

INT_PTR CALLBACK CDialog::DlgProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    CDialog* p = static_cast<CDialog*>(FromHandle(hWnd));
    if (nMsg == WM_INITDIALOG) {
        p = reinterpret_cast<CDialog*>(lParam);
        p->Attach(hWnd);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, LONG_PTR(p));
        BOOL r = TRUE;
        try {
            r = p->OnInitDialog();
        } catch (...) {
            // Caught by nothing of ours; it must not unwind through the
            // dialog manager.
            std::terminate();
        }
        return r;
    }
    if (!p)
        return FALSE;
    if (nMsg == WM_NCDESTROY) {
        p->Detach();
        return FALSE;
    }
    // The dialog manager has already run its own processing when it asks
    // the dialog procedure; Default() here means "not handled".
    const MSG* prev = p->m_pCurrentMsg;
    bool prevDefaulted = p->m_bDefaulted;
    p->m_pCurrentMsg = nullptr;
    p->m_bDefaulted = false;
    LRESULT r = 0;
    try {
        r = p->WindowProc(nMsg, wParam, lParam);
    } catch (...) {
        std::terminate();
    }
    bool handled = !p->m_bDefaulted;
    p->m_pCurrentMsg = prev;
    p->m_bDefaulted = prevDefaulted;
    if (!handled)
        return FALSE;
    ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, r);
    return TRUE;
}
