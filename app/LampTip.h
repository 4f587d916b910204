#pragma once
// CLampTip: the small window that tells the lamp's state in words while the
// mouse rests on the lamp. Drawn by the program itself (the system's tooltip
// control would bring in the common controls library).
#include <string>

#include "framework/Wnd.h"

class CLampTip : public CWnd {
public:
    // Shows the text just above rcAnchor (screen coordinates), or below it
    // where there is no room, in the font given.
    void Show(HWND hOwner, const std::wstring& strText, const RECT& rcAnchor, HFONT hFont);
    // Changes the text of a shown tip in place.
    void Update(const std::wstring& strText);
    void Hide();
    bool IsShown() const { return m_hWnd && ::IsWindowVisible(m_hWnd); }
    const std::wstring& Text() const { return m_strText; }

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
    void Place();
    SIZE Measure() const;

    std::wstring m_strText;
    RECT m_rcAnchor = {};
    HFONT m_hFont = nullptr;
};
