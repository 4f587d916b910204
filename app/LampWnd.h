#pragma once
// CLampWnd: the status lamp (16 x 16 at 96 dpi) at the left of the command panel: red
// while a command runs; otherwise yellow while the devices that commands go
// to are not ready, green when they are (or when nothing is known of them).
// While the mouse rests on it, a tip tells the state in words.
#include <string>

#include "app/LampTip.h"
#include "commands/DeviceChoice.h"
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
    // The devices' state and its words; repaints only on a change.
    void SetDeviceState(DeviceReadiness readiness, const std::wstring& strText);
    // The entry that a paint now draws.
    int CurrentLamp() const;
    // What the tip says now.
    std::wstring TipText() const;
    void SetTipFont(HFONT hFont) { m_hTipFont = hFont; }

    CLampTip m_tip;

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    void FreeIcons();
    void LoadIcons();
    int m_nSize = 16;
    void ShowTip();
    bool MouseOnLamp() const;

    static constexpr UINT_PTR kTipTimer = 1;
    static constexpr UINT kLeaveCheckMs = 100;

    DeviceReadiness m_readiness = DeviceReadiness::Unknown;
    std::wstring m_strDeviceText;
    HFONT m_hTipFont = nullptr;
};

// The lamp, once it exists; other parts repaint it through this pointer.
extern CLampWnd* g_pLampWnd;
// Repaints the lamp if there is one; may be called on any thread.
void RedrawLamp();
