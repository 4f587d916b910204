#include "app/DeviceBox.h"

#include "commands/DeviceChoice.h"

CDeviceBox::~CDeviceBox()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

bool CDeviceBox::Create(HWND hParent, UINT nId, HFONT hFont)
{
    m_hWnd = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 0, 0,
                               0, hParent, HMENU(UINT_PTR(nId)), ::GetModuleHandleW(nullptr), nullptr);
    if (!m_hWnd)
        return false;
    SetFont(hFont);
    return true;
}

void CDeviceBox::SetFont(HFONT hFont)
{
    if (m_hWnd && hFont)
        ::SendMessageW(m_hWnd, WM_SETFONT, WPARAM(hFont), FALSE);
}

void CDeviceBox::FitHeight(int nLineHeight)
{
    // The closed box is its selection field plus a frame of three pixels
    // above and below: make the whole as high as the command line.
    if (m_hWnd && nLineHeight > 8)
        ::SendMessageW(m_hWnd, CB_SETITEMHEIGHT, WPARAM(-1), LPARAM(nLineHeight - 6));
}

void CDeviceBox::Show(const CDeviceChoice& choice)
{
    if (!m_hWnd)
        return;
    std::vector<std::wstring> items;
    for (int i = 0; i < choice.ItemCount(); ++i)
        items.push_back(choice.ItemText(i));
    if (items != m_items) {
        int nBrowsing = IsDropped() ? CurSel() : -1;
        ::SendMessageW(m_hWnd, WM_SETREDRAW, FALSE, 0);
        ::SendMessageW(m_hWnd, CB_RESETCONTENT, 0, 0);
        for (const std::wstring& s : items)
            ::SendMessageW(m_hWnd, CB_ADDSTRING, 0, LPARAM(s.c_str()));
        ::SendMessageW(m_hWnd, WM_SETREDRAW, TRUE, 0);
        m_items.swap(items);
        FitDroppedWidth();
        if (nBrowsing >= 0 && nBrowsing < int(m_items.size()))
            ::SendMessageW(m_hWnd, CB_SETCURSEL, WPARAM(nBrowsing), 0);
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
    int nSel = choice.SelectedItem();
    // While the list is open the user's finger is on the selection.
    if (!IsDropped() && CurSel() != nSel)
        ::SendMessageW(m_hWnd, CB_SETCURSEL, WPARAM(nSel), 0);
}

void CDeviceBox::FitDroppedWidth()
{
    // The open list is as wide as its longest entry, never narrower than the box.
    HDC hdc = ::GetDC(m_hWnd);
    HGDIOBJ hOld = ::SelectObject(hdc, HGDIOBJ(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)));
    int nWidest = 0;
    for (const std::wstring& s : m_items) {
        SIZE sz = {};
        ::GetTextExtentPoint32W(hdc, s.c_str(), int(s.size()), &sz);
        if (sz.cx > nWidest)
            nWidest = sz.cx;
    }
    TEXTMETRICW tm = {};
    ::GetTextMetricsW(hdc, &tm);
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(m_hWnd, hdc);
    ::SendMessageW(m_hWnd, CB_SETDROPPEDWIDTH, WPARAM(nWidest + 2 * tm.tmAveCharWidth + ::GetSystemMetrics(SM_CXVSCROLL)), 0);
}

void CDeviceBox::Drop()
{
    if (!m_hWnd)
        return;
    ::SetFocus(m_hWnd);
    ::SendMessageW(m_hWnd, CB_SHOWDROPDOWN, TRUE, 0);
}

bool CDeviceBox::IsDropped() const
{
    return m_hWnd && ::SendMessageW(m_hWnd, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

int CDeviceBox::CurSel() const
{
    return m_hWnd ? int(::SendMessageW(m_hWnd, CB_GETCURSEL, 0, 0)) : -1;
}
