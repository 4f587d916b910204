#include "screen/ConsoleView.h"

#include "dialogs/FindDlg.h"

void CConsoleView::ShowFindDialog(bool bForward)
{
    CFindDlg dlg(this);
    CFindDlg::s_nStartFrom = bForward ? 0 : 1;
    if (dlg.DoModal() != IDOK)
        return;
    {
        // Print shifts the find position from the reader threads.
        CSingleLock lock(m_lock);
        m_finder.SetPattern(dlg.m_strFind);
    }
    if (CFindDlg::s_nStartFrom == 1)
        FindPrevious();
    else
        FindNext();
}
