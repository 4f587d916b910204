#pragma once
// CCommandPanel: the strip under the console screen with the status lamp,
// the prompt of the current mode and the command line.
#include "app/LampWnd.h"
#include "commands/CommandEdit.h"
#include "framework/Gdi.h"

class CCommandPanel : public CWnd {
public:
    ~CCommandPanel() override;

    void SetCommandFont(const char* pszFace, int nPoints, bool bItalic);

    CFont m_font;
    int m_nEditHeight = 0;
    CLampWnd m_lamp;
    CCommandEdit m_edit;

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
    int OnCreate();
    void OnSize(int cx);
    BOOL OnEraseBkgnd(HDC hdc);
    // The prompt column's width and text come from the interpreter of the
    // main window, this panel's parent.
    int GetPromptWidth() const;
    const char* GetPrompt() const;
};
