#pragma once
// The system's controls as window objects. A control made with Create or
// taken over from a dialog with DDX_Control is subclassed, so it takes part
// in PreTranslateMessage like the program's own windows.
#include "framework/Wnd.h"

class CEdit : public CWnd {
public:
    BOOL Create(DWORD dwStyle, const RECT& rc, CWnd* pParent, UINT nId)
    {
        return CWnd::Create("EDIT", "", dwStyle, rc, pParent, nId);
    }
    void SetSel(int nStart, int nEnd) const { SendMessage(EM_SETSEL, WPARAM(nStart), LPARAM(nEnd)); }
    void ReplaceSel(const char* psz, BOOL bCanUndo = FALSE) const { SendMessage(EM_REPLACESEL, bCanUndo, LPARAM(psz)); }
    void LimitText(int n) const { SendMessage(EM_LIMITTEXT, WPARAM(n)); }
};

class CComboBox : public CWnd {
public:
    int GetCount() const { return int(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return int(SendMessage(CB_GETCURSEL)); }
    int AddString(const char* psz) const { return int(SendMessage(CB_ADDSTRING, 0, LPARAM(psz))); }
    CString GetLBText(int i) const;
};

class CButton : public CWnd {
public:
    int GetCheck() const { return int(SendMessage(BM_GETCHECK)); }
    void SetCheck(int n) const { SendMessage(BM_SETCHECK, WPARAM(n)); }
};

class CScrollBar : public CWnd {
public:
    BOOL Create(DWORD dwStyle, const RECT& rc, CWnd* pParent, UINT nId)
    {
        return CWnd::Create("SCROLLBAR", "", dwStyle, rc, pParent, nId);
    }
    BOOL GetScrollInfo(SCROLLINFO* psi, UINT nMask = SIF_ALL) const
    {
        psi->cbSize = sizeof *psi;
        psi->fMask = nMask;
        return ::GetScrollInfo(m_hWnd, SB_CTL, psi);
    }
    int SetScrollInfo(SCROLLINFO* psi, BOOL bRedraw = TRUE) const
    {
        psi->cbSize = sizeof *psi;
        return ::SetScrollInfo(m_hWnd, SB_CTL, psi, bRedraw);
    }
    BOOL EnableScrollBar(UINT nArrowFlags) const { return ::EnableScrollBar(m_hWnd, SB_CTL, nArrowFlags); }
};
