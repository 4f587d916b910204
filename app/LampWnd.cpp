#include "app/LampWnd.h"

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
    case WM_CREATE: {
        g_pLampWnd = this;
        HINSTANCE hInst = ::GetModuleHandleA(nullptr);
        const char* names[LAMP_COUNT] = { "REDLAMP", "GREENLAMP", "YELLOWLAMP" };
        for (int i = 0; i < LAMP_COUNT; ++i) {
            m_icons[i].hIcon = HICON(::LoadImageA(hInst, names[i], IMAGE_ICON, 16, 16, 0));
            m_icons[i].nSize = 16;
        }
        return 0;
    }
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_MOUSEMOVE:
        if (!m_bTracking) {
            TRACKMOUSEEVENT tme = { sizeof(tme), TME_HOVER | TME_LEAVE, m_hWnd, HOVER_DEFAULT };
            m_bTracking = ::TrackMouseEvent(&tme) != FALSE;
        }
        return 0;
    case WM_MOUSEHOVER:
        ShowTip();
        return 0;
    case WM_MOUSELEAVE:
        m_bTracking = false;
        m_tip.Hide();
        return 0;
    case WM_DESTROY:
        if (m_tip.m_hWnd)
            m_tip.DestroyWindow();
        break;
    case WM_NCDESTROY:
        if (g_pLampWnd == this)
            g_pLampWnd = nullptr;
        break;
    }
    (void)wParam;
    (void)lParam;
    return Default();
}
