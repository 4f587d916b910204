#include "app/CommandPanel.h"

#include <cstring>

#include "app/MainWnd.h"
#include "app/WindowIds.h"

namespace {
const int kLampSize = 16;
const int kTop = 6;
// The device list is this many average letters wide (a serial and a model),
// keeps half a letter from the command line, and opens to this many lines.
const int kDeviceListLetters = 36;
const int kDeviceListLines = 12;
}

CCommandPanel::~CCommandPanel() = default;

void CCommandPanel::SetCommandFont(const char* pszFace, int nPoints, bool bItalic)
{
    LOGFONTA lf = {};
    HDC hdc = ::GetDC(nullptr);
    lf.lfHeight = -MulDiv(nPoints, ::GetDeviceCaps(hdc, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, hdc);
    lf.lfWeight = FW_NORMAL;
    lf.lfItalic = bItalic ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    strncpy(lf.lfFaceName, pszFace ? pszFace : "", LF_FACESIZE - 1);
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&lf);
    {
        CClientDC dc(nullptr);
        CSelectObject sel(dc.m_hDC, m_font.m_hObject);
        TEXTMETRICA tm = {};
        ::GetTextMetricsA(dc.m_hDC, &tm);
        m_nLetterWidth = tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : nPoints;
    }
    if (m_edit.m_hWnd)
        m_edit.SetFont(m_font.m_hObject, FALSE);
    m_deviceBox.SetFont(m_font.m_hObject);
    m_lamp.SetTipFont(m_font.m_hObject);
    // The point size counts as pixels here: 20 pixels for 9 points.
    m_nEditHeight = 2 * nPoints + 2;
}

int CCommandPanel::GetPromptWidth() const
{
    CMainWnd* pMain = dynamic_cast<CMainWnd*>(CWnd::FromHandle(GetParent()));
    return pMain ? pMain->m_interp.GetPromptWidth(m_hWnd) : 0;
}

const char* CCommandPanel::GetPrompt() const
{
    CMainWnd* pMain = dynamic_cast<CMainWnd*>(CWnd::FromHandle(GetParent()));
    return pMain ? pMain->m_interp.GetPrompt() : "";
}

int CCommandPanel::OnCreate()
{
    RECT rc = {};
    m_lamp.Create(nullptr, "", WS_CHILD | WS_VISIBLE, rc, this, IDC_LAMP);
    m_edit.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, rc, this, IDC_COMMAND_LINE);
    m_edit.SetFont(m_font.m_hObject, FALSE);
    m_edit.LimitText(2048);
    m_deviceBox.Create(m_hWnd, IDC_DEVICE_LIST, m_font.m_hObject);
    m_deviceBox.FitHeight(m_nEditHeight);
    m_lamp.SetTipFont(m_font.m_hObject);
    return 0;
}

void CCommandPanel::OnSize(int cx)
{
    m_cx = cx;
    int x = kLampSize + GetPromptWidth();
    m_lamp.MoveWindow(0, kTop, kLampSize, kLampSize, TRUE);
    int right = cx;
    if (m_bShowDevices && m_deviceBox.m_hWnd) {
        // Never more than half of what the command line would have.
        int w = kDeviceListLetters * m_nLetterWidth;
        if (w > (cx - x) / 2)
            w = (cx - x) / 2;
        right = cx - w;
        ::MoveWindow(m_deviceBox.m_hWnd, right, kTop, w, m_nEditHeight * (kDeviceListLines + 1), TRUE);
        right -= m_nLetterWidth / 2;
    }
    m_edit.MoveWindow(x, kTop, right - x, m_nEditHeight, TRUE);
}

void CCommandPanel::UpdateDeviceListPlace()
{
    bool bShow = m_bWantDevices || m_deviceBox.IsDropped();
    if (bShow == m_bShowDevices)
        return;
    m_bShowDevices = bShow;
    if (m_deviceBox.m_hWnd)
        ::ShowWindow(m_deviceBox.m_hWnd, bShow ? SW_SHOWNA : SW_HIDE);
    if (m_hWnd)
        OnSize(m_cx);
}

void CCommandPanel::ShowDevices(const CDeviceChoice& choice)
{
    m_deviceBox.Show(choice);
    m_bWantDevices = choice.List().size() >= 2 || choice.HasChoice();
    UpdateDeviceListPlace();
}

void CCommandPanel::DropDeviceList()
{
    if (!m_deviceBox.m_hWnd)
        return;
    if (!m_bShowDevices) {
        m_bShowDevices = true;
        ::ShowWindow(m_deviceBox.m_hWnd, SW_SHOWNA);
        OnSize(m_cx);
    }
    m_deviceBox.Drop();
}

void CCommandPanel::OnDeviceCommand(UINT nCode)
{
    CMainWnd* pMain = dynamic_cast<CMainWnd*>(CWnd::FromHandle(GetParent()));
    switch (nCode) {
    case CBN_SELENDOK:
        if (pMain)
            pMain->ChooseDevice(m_deviceBox.CurSel());
        break;
    case CBN_SELENDCANCEL:
        // Esc leaves the choice as it was.
        if (pMain)
            m_deviceBox.Show(pMain->m_devices);
        break;
    case CBN_CLOSEUP:
        m_edit.SetFocus();
        UpdateDeviceListPlace();
        break;
    }
}

BOOL CCommandPanel::OnEraseBkgnd(HDC hdc)
{
    CDC dc;
    dc.m_hDC = hdc;
    RECT rc;
    GetClientRect(&rc);
    dc.FillSolidRect(rc, ::GetSysColor(COLOR_BTNFACE));
    {
        CPen pen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW));
        CSelectObject sel(hdc, pen);
        dc.MoveTo(rc.left, rc.top + 2);
        dc.LineTo(rc.right, rc.top + 2);
    }
    {
        CPen pen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        CSelectObject sel(hdc, pen);
        dc.MoveTo(rc.left, rc.top + 3);
        dc.LineTo(rc.right, rc.top + 3);
    }
    RECT rcPrompt = { 0, rc.top + 7, kLampSize + GetPromptWidth(), rc.bottom };
    CSelectObject sel(hdc, m_font.m_hObject);
    COLORREF oldColor = dc.SetTextColor(0x404040);
    int oldMode = dc.SetBkMode(TRANSPARENT);
    ::DrawTextA(hdc, GetPrompt(), -1, &rcPrompt, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    dc.SetBkMode(oldMode);
    dc.SetTextColor(oldColor);
    dc.m_hDC = nullptr;
    return TRUE;
}

LRESULT CCommandPanel::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_ERASEBKGND:
        return OnEraseBkgnd(HDC(wParam));
    case WM_CREATE:
        return OnCreate();
    case WM_SIZE:
        OnSize(LOWORD(lParam));
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_DEVICE_LIST) {
            OnDeviceCommand(HIWORD(wParam));
            return 0;
        }
        break;
    }
    return Default();
}
