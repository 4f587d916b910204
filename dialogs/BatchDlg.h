#pragma once
// CBatchDlg: the resizable "Batch of commands" dialog. Its text outlives
// the dialog: the edit's own buffer handle is handed back in m_hText when
// the dialog closes, with OK or Cancel, and taken in again next time.
#include "framework/Dialog.h"
#include "framework/Gdi.h"

class CBatchDlg : public CDialog {
public:
    explicit CBatchDlg(CWnd* pParent);
    ~CBatchDlg() override;

    CFont m_font;
    HWND m_hWndFocus;
    CButton m_btnClear;
    CButton m_btnPaste;
    CButton m_btnOk;
    CButton m_btnCancel;
    CEdit m_edit;
    HLOCAL m_hText = nullptr;
    // The resolution the dialog is drawn at, once it exists.
    UINT m_nDpi = 0;

    // The editor's face and size (tenths of a point): a scalable
    // fixed-pitch face, as large as the smallest size of the bitmap
    // "Courier" that a 7-point request used to get.
    static const char s_szEditFace[];
    enum { EDIT_POINTS = 100 };

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
    // The text goes back once, by OK, Cancel or the window's destruction.
    bool m_bHandedBack = false;
    void HandBackText();
    void OnSize();
    void OnPaste();
    void OnClear();
    void FocusEdit();
    void SetEditFont(UINT nDpi);
};
