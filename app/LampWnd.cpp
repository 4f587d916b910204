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

void CLampWnd::OnPaint()
{
    CPaintDC dc(m_hWnd);
    RECT rc;
    GetClientRect(&rc);
    const CIconEntry& e = m_icons[g_bBusy ? LAMP_RED : LAMP_GREEN];
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
    case WM_NCDESTROY:
        if (g_pLampWnd == this)
            g_pLampWnd = nullptr;
        break;
    }
    (void)wParam;
    (void)lParam;
    return Default();
}
