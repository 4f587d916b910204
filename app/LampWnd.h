#pragma once
// CLampWnd: the 16 x 16 status lamp at the left of the command panel, red
// while a command runs, green otherwise.
#include "framework/Wnd.h"

class CLampWnd : public CWnd {
public:
    ~CLampWnd() override;

    struct CIconEntry {
        HICON hIcon;
        int nSize;
    };
    enum { LAMP_RED, LAMP_GREEN, LAMP_YELLOW, LAMP_COUNT };
    CIconEntry m_icons[LAMP_COUNT] = {};

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    void FreeIcons();
};

// The lamp, once it exists; other parts repaint it through this pointer.
extern CLampWnd* g_pLampWnd;
// Repaints the lamp if there is one; may be called on any thread.
void RedrawLamp();
