#pragma once
// CLampWnd: the status lamp at the left of the command panel (16 x 16 at
// 96 dpi), red while a command runs, green otherwise.
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

    // The icons carry images of these sizes; the lamp is drawn at one of
    // them, never stretched.
    static const int s_sizes[5];
    // The drawn size nearest to nPixels (the smaller one on a tie).
    static int NearestSize(int nPixels);
    // Loads the icons at the image size nearest to nPixels.
    void SetSize(int nPixels);
    int Size() const { return m_nSize; }

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    void FreeIcons();
    void LoadIcons();
    int m_nSize = 16;
};

// The lamp, once it exists; other parts repaint it through this pointer.
extern CLampWnd* g_pLampWnd;
// Repaints the lamp if there is one; may be called on any thread.
void RedrawLamp();
