#include "commands/CommandEdit.h"

#include "app/Busy.h"
#include "app/MainWnd.h"

namespace {
bool IsDown(int nKey)
{
    return ::GetKeyState(nKey) < 0;
}
}

CCommandEdit::~CCommandEdit() = default;

CMainWnd* CCommandEdit::GetMainWnd() const
{
    // edit -> panel -> main window
    return dynamic_cast<CMainWnd*>(CWnd::FromHandle(::GetParent(GetParent())));
}

void CCommandEdit::OnEnter(CMainWnd& main)
{
    CString text = GetWindowText();
    SetWindowText("");
    m_history.Add(text);
    if (!text.IsEmpty()) {
        char* p = text.GetBuffer();
        ::CharToOemA(p, p);
    }
    main.RunCommand(text, false, CP_OEMCP);
}

void CCommandEdit::WalkHistory(bool bPrev)
{
    const char* p = bPrev ? m_history.Prev() : m_history.Next();
    SetWindowText(p);
    SetSel(0, -1);
    SendMessage(EM_SCROLLCARET);
}

BOOL CCommandEdit::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message != WM_KEYDOWN || pMsg->hwnd != m_hWnd)
        return CEdit::PreTranslateMessage(pMsg);
    CMainWnd* pMain = GetMainWnd();
    if (!pMain)
        return CEdit::PreTranslateMessage(pMsg);
    CMainWnd& main = *pMain;
    UINT nKey = UINT(pMsg->wParam);
    bool bCtrl = IsDown(VK_CONTROL);
    bool bShift = IsDown(VK_SHIFT);
    switch (nKey) {
    case VK_RETURN:
        // The busy flag rises on the reader thread a moment after the start;
        // the runner's own marker closes that gap.
        if (!g_bBusy && !main.m_interp.m_cmdRunner.IsRunning())
            OnEnter(main);
        return TRUE;
    case VK_ESCAPE:
        main.m_interp.AbortAll();
        return TRUE;
    case VK_F1:
        main.m_interp.PrintHelp();
        return TRUE;
    case VK_F3:
        if (bShift)
            main.m_view.FindPrevious();
        else
            main.m_view.FindNext();
        return TRUE;
    case VK_F4:
        main.m_view.ClearScreen();
        return TRUE;
    }
    if (bCtrl && nKey == 'B') {
        if (!g_bBusy && !main.m_interp.m_cmdRunner.IsRunning())
            main.ShowBatchDialog();
        return TRUE;
    }
    if (bCtrl && nKey == 'D') {
        main.m_panel.DropDeviceList();
        return TRUE;
    }
    if (bCtrl && nKey == 'F') {
        main.m_view.ShowFindDialog(true);
        return TRUE;
    }
    if (bCtrl && (nKey == VK_HOME || nKey == VK_END)) {
        main.m_view.ScrollByKey(nKey);
        return TRUE;
    }
    if (nKey == VK_PRIOR || nKey == VK_NEXT) {
        if (bCtrl && bShift) {
            m_history.Clear();
            SendMessage(WM_CLEAR);
        } else if (bCtrl) {
            if (m_history.GetCount() > 0)
                WalkHistory(nKey == VK_PRIOR);
        } else {
            main.m_view.ScrollByKey(nKey);
        }
        return TRUE;
    }
    if (nKey == VK_DOWN || nKey == VK_UP) {
        main.m_view.ScrollByKey(nKey);
        return TRUE;
    }
    return CEdit::PreTranslateMessage(pMsg);
}
