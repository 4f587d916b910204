#include "dialogs/FindDlg.h"

#include "resources/resource.h"

CHistoryList CFindDlg::s_findHistory(32);
int CFindDlg::s_nStartFrom = 0;

CFindDlg::CFindDlg(CWnd* pParent) : CDialog(IDD_FIND, pParent), m_hWndFocus(::GetFocus())
{
}

CFindDlg::~CFindDlg()
{
    if (m_hWndFocus && ::IsWindow(m_hWndFocus))
        ::SetFocus(m_hWndFocus);
}

void CFindDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_FIND_COMBO, m_combo);
    DDX_Radio(pDX, IDC_FIND_BEGIN, s_nStartFrom);
}

BOOL CFindDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    s_findHistory.FillComboBox(m_combo.m_hWnd);
    CenterWindow();
    UpdateData(FALSE);
    return TRUE;
}

void CFindDlg::OnOK()
{
    m_strFind = m_combo.GetWindowText();
    s_findHistory.Add(m_strFind);
    CDialog::OnOK();
}
