#include "screen/ConsoleView.h"

#include "dialogs/FindDlg.h"

void CConsoleView::ShowFindDialog(bool bForward)
{
    CFindDlg dlg(this);
    CFindDlg::s_nStartFrom = bForward ? 0 : 1;
    if (dlg.DoModal() != IDOK)
        return;
    m_finder.SetPattern(dlg.m_strFind);
    if (CFindDlg::s_nStartFrom == 1)
        FindPrevious();
    else
        FindNext();
}
