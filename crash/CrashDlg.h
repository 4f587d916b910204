#pragma once
// CCrashDlg: shows the crash report in a read-only edit with a single
// "&Terminate" button; a double click in the report copies all of it.
#include "framework/Dialog.h"
#include "framework/Gdi.h"

class CCrashDlg : public CDialog {
public:
    explicit CCrashDlg(CWnd* pParent = nullptr);
    ~CCrashDlg() override;

    HWND m_hWndFocus;
    CFont m_font;
    CString m_strReport;
    int m_nWidth;
    int m_nHeight;
    // The report's face and size (tenths of a point), as the batch editor's.
    enum { REPORT_POINTS = 100 };

    // The report on the clipboard as CF_TEXT, CR LF breaks included.
    bool CopyReport() const;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    void OnSize(int cx, int cy);
    void SetReportFont(UINT nDpi);
    UINT m_nDpi = 0;
};
