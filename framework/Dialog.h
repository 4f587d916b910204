#pragma once
// CDialog: a modal dialog made from a dialog template in the program's
// resources. DoModal runs its own loop, so the dialog (and every window of
// the program under it) gets PreTranslateMessage before IsDialogMessage.
// A dialog handles its messages in WindowProc like any window; a message
// left to Default() gets the dialog manager's processing.
#include "framework/Controls.h"

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog* pDlg, BOOL bSave) : m_pDlgWnd(pDlg), m_bSaveAndValidate(bSave) {}
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;   // TRUE: controls to data, FALSE: data to controls
};

// Attaches a dialog item to a control object (once).
void DDX_Control(CDataExchange* pDX, int nId, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nId, CString& value);
// A group of radio buttons starting at nId; the value is the index of the
// checked one, -1 for none.
void DDX_Radio(CDataExchange* pDX, int nId, int& value);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIdTemplate, CWnd* pParent = nullptr);
    ~CDialog() override;

    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    // Centres over the owner (or pAlternateOwner), or the screen without one.
    void CenterWindow(HWND hAlternateOwner = nullptr);

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    virtual void DoDataExchange(CDataExchange*) {}
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIdTemplate;
    HWND m_hWndParent;

private:
    static INT_PTR CALLBACK DlgProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    bool m_bEnded = false;
    int m_nResult = IDCANCEL;
};
