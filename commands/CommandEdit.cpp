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
    // Run in the Windows code page, as typed: adb, the shell, dir and lcd
    // get every letter, also those the OEM code page lacks (the euro sign,
    // the dash and quotes that Explorer puts into names).
    main.RunCommand(text, false, CP_ACP);
}

void CCommandEdit::WalkHistory(bool bPrev)
{
    const char* p = bPrev ? m_history.Prev() : m_history.Next();
    SetWindowText(p);
    SetSel(0, -1);
    SendMessage(EM_SCROLLCARET);
}

void CCommandEdit::InsertTypedLetter(WCHAR wch)
{
    WCHAR w[2] = { wch, 0 };
    int n = 1;
    if (wch >= 0xD800 && wch < 0xDC00) {
        m_wchHigh = wch;
        return;
    }
    if (wch >= 0xDC00 && wch < 0xE000) {
        if (!m_wchHigh)
            return;
        w[0] = m_wchHigh;
        w[1] = wch;
        n = 2;
    }
    m_wchHigh = 0;
    char sz[16] = {};
    // A letter the code page lacks is its default character, as the edit
    // control itself would make it.
    if (::WideCharToMultiByte(CP_ACP, 0, w, n, sz, sizeof(sz) - 1, nullptr, nullptr) > 0)
        ReplaceSel(sz, TRUE);
}

BOOL CCommandEdit::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_CHAR && pMsg->hwnd == m_hWnd && pMsg->wParam >= 0x80 && ::IsWindowUnicode(m_hWnd) == FALSE
        && pMsg->wParam <= 0xFFFF) {
        InsertTypedLetter(WCHAR(pMsg->wParam));
        return TRUE;
    }
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
