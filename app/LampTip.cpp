#include "app/LampTip.h"

#include "framework/Gdi.h"

namespace {
// Room around the text, in units of the font's average letter width.
const int kPadLetters = 1;
}

SIZE CLampTip::Measure() const
{
    HDC hdc = ::GetDC(m_hWnd);
    CSelectObject sel(hdc, m_hFont ? HGDIOBJ(m_hFont) : ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm = {};
    ::GetTextMetricsW(hdc, &tm);
    RECT rc = {};
    ::DrawTextW(hdc, m_strText.c_str(), int(m_strText.size()), &rc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::ReleaseDC(m_hWnd, hdc);
    int pad = kPadLetters * (tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : 4);
    SIZE sz = { rc.right - rc.left + 2 * pad + 2, rc.bottom - rc.top + pad + 2 };
    return sz;
}

void CLampTip::Place()
{
    SIZE sz = Measure();
    HMONITOR hMon = ::MonitorFromRect(&m_rcAnchor, MONITOR_DEFAULTTONEAREST);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoA(hMon, &mi);
    const RECT& work = mi.rcWork;
    int x = m_rcAnchor.left;
    int y = m_rcAnchor.top - sz.cy - 2;
    if (y < work.top)
        y = m_rcAnchor.bottom + 2;
    if (x + sz.cx > work.right)
        x = work.right - sz.cx;
    if (x < work.left)
        x = work.left;
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, sz.cx, sz.cy, SWP_NOACTIVATE);
    Invalidate(TRUE);
}

void CLampTip::Show(HWND hOwner, const std::wstring& strText, const RECT& rcAnchor, HFONT hFont)
{
    m_strText = strText;
    m_rcAnchor = rcAnchor;
    m_hFont = hFont;
    if (!m_hWnd) {
        LPCSTR cls = RegisterWndClass(0, ::LoadCursor(nullptr, IDC_ARROW), nullptr, nullptr);
        if (!CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, cls, "", WS_POPUP | WS_BORDER, 0, 0, 1, 1,
                      hOwner, nullptr))
            return;
    }
    // The caption is the text too, for whatever reads windows aloud.
    ::SetWindowTextW(m_hWnd, m_strText.c_str());
    Place();
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
}

void CLampTip::Update(const std::wstring& strText)
{
    if (strText == m_strText)
        return;
    m_strText = strText;
    if (!m_hWnd)
        return;
    ::SetWindowTextW(m_hWnd, m_strText.c_str());
    if (IsShown())
        Place();
}

void CLampTip::Hide()
{
    if (m_hWnd)
        ::ShowWindow(m_hWnd, SW_HIDE);
}

LRESULT CLampTip::WindowProc(UINT nMsg, WPARAM, LPARAM)
{
    switch (nMsg) {
    case WM_PAINT: {
        CPaintDC dc(m_hWnd);
        RECT rc;
        GetClientRect(&rc);
        ::FillRect(dc, &rc, ::GetSysColorBrush(COLOR_INFOBK));
        CSelectObject sel(dc, m_hFont ? HGDIOBJ(m_hFont) : ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetTextColor(dc, ::GetSysColor(COLOR_INFOTEXT));
        ::SetBkMode(dc, TRANSPARENT);
        ::DrawTextW(dc, m_strText.c_str(), int(m_strText.size()), &rc,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        return 0;
    }
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_NCHITTEST:
        // The mouse goes through to what lies below.
        return HTTRANSPARENT;
    }
    return Default();
}
