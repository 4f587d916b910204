#include "app/LampWnd.h"

#include <cstdlib>

#include "app/Busy.h"
#include "framework/Gdi.h"

CLampWnd* g_pLampWnd = nullptr;

void RedrawLamp()
{
    CLampWnd* p = g_pLampWnd;
    if (p && p->m_hWnd)
        ::InvalidateRect(p->m_hWnd, nullptr, TRUE);
}

CLampWnd::~CLampWnd()
{
    if (g_pLampWnd == this)
        g_pLampWnd = nullptr;
    FreeIcons();
}

void CLampWnd::FreeIcons()
{
    for (CIconEntry& e : m_icons) {
        if (e.hIcon)
            ::DestroyIcon(e.hIcon);
        e.hIcon = nullptr;
        e.nSize = 0;
    }
}

const int CLampWnd::s_sizes[5] = { 16, 20, 24, 32, 48 };

int CLampWnd::NearestSize(int nPixels)
{
    int best = s_sizes[0];
    for (int n : s_sizes) {
        if (std::abs(n - nPixels) < std::abs(best - nPixels))
            best = n;
    }
    return best;
}

void CLampWnd::SetSize(int nPixels)
{
    m_nSize = NearestSize(nPixels);
    if (m_hWnd) {
        LoadIcons();
        Invalidate(TRUE);
    }
}

void CLampWnd::LoadIcons()
{
    FreeIcons();
    HINSTANCE hInst = ::GetModuleHandleA(nullptr);
    const char* names[LAMP_COUNT] = { "REDLAMP", "GREENLAMP", "YELLOWLAMP" };
    for (int i = 0; i < LAMP_COUNT; ++i) {
        m_icons[i].hIcon = HICON(::LoadImageA(hInst, names[i], IMAGE_ICON, m_nSize, m_nSize, 0));
        m_icons[i].nSize = m_nSize;
    }
}

int CLampWnd::CurrentLamp() const
{
    if (g_bBusy)
        return LAMP_RED;
    return m_readiness == DeviceReadiness::NotReady ? LAMP_YELLOW : LAMP_GREEN;
}

std::wstring CLampWnd::TipText() const
{
    if (g_bBusy)
        return L"A command is running \x2014 Esc ends it";
    return m_strDeviceText.empty() ? std::wstring(L"Ready") : m_strDeviceText;
}

void CLampWnd::SetDeviceState(DeviceReadiness readiness, const std::wstring& strText)
{
    if (readiness != m_readiness) {
        m_readiness = readiness;
        if (m_hWnd)
            Invalidate(TRUE);
    }
    m_strDeviceText = strText;
    m_tip.Update(TipText());
}

bool CLampWnd::MouseOnLamp() const
{
    POINT pt;
    return ::GetCursorPos(&pt) && ::WindowFromPoint(pt) == m_hWnd;
}

void CLampWnd::ShowTip()
{
    RECT rc;
    GetWindowRect(&rc);
    m_tip.Show(::GetAncestor(m_hWnd, GA_ROOT), TipText(), rc, m_hTipFont);
}

void CLampWnd::OnPaint()
{
    CPaintDC dc(m_hWnd);
    RECT rc;
    GetClientRect(&rc);
    // A repaint comes with every change of the busy flag: the tip follows.
    if (m_tip.IsShown())
        m_tip.Update(TipText());
    const CIconEntry& e = m_icons[CurrentLamp()];
    if (e.hIcon)
        ::DrawIconEx(dc, rc.left, rc.top, e.hIcon, e.nSize, e.nSize, 0, nullptr, DI_NORMAL);
}

LRESULT CLampWnd::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_CREATE:
        g_pLampWnd = this;
        LoadIcons();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_MOUSEMOVE:
        // The tip comes once the mouse has rested on the lamp for the
        // system's hover time; a timer of its own, which also serves where
        // hover tracking is not delivered.
        if (!m_tip.IsShown()) {
            UINT nHoverMs = 400;
            ::SystemParametersInfoA(SPI_GETMOUSEHOVERTIME, 0, &nHoverMs, 0);
            ::SetTimer(m_hWnd, kTipTimer, nHoverMs, nullptr);
        }
        return 0;
    case WM_TIMER:
        if (wParam == kTipTimer) {
            if (!MouseOnLamp()) {
                ::KillTimer(m_hWnd, kTipTimer);
                m_tip.Hide();
            } else if (!m_tip.IsShown()) {
                ShowTip();
                // Now only to see the mouse leave.
                ::SetTimer(m_hWnd, kTipTimer, kLeaveCheckMs, nullptr);
            }
            return 0;
        }
        break;
    case WM_DESTROY:
        ::KillTimer(m_hWnd, kTipTimer);
        if (m_tip.m_hWnd)
            m_tip.DestroyWindow();
        break;
    case WM_NCDESTROY:
        if (g_pLampWnd == this)
            g_pLampWnd = nullptr;
        break;
    }
    (void)lParam;
    return Default();
}
