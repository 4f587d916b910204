#pragma once
// CFindDlg: the "Find" dialog: the text to look for, picked from or added
// to the history of earlier searches, and where the search starts.
#include "commands/HistoryList.h"
#include "framework/Dialog.h"

class CFindDlg : public CDialog {
public:
    explicit CFindDlg(CWnd* pParent);
    ~CFindDlg() override;

    HWND m_hWndFocus;
    CComboBox m_combo;
    CString m_strFind;

    // Shared by every opening: earlier searches (newest last) and the
    // "Start from:" choice, 0 for "&Begin", 1 for "&End".
    static CHistoryList s_findHistory;
    static int s_nStartFrom;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};
