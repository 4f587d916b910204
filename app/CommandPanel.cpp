#include "app/CommandPanel.h"

#include <cstring>

#include "app/MainWnd.h"
#include "app/WindowIds.h"

namespace {
const int kLampSize = 16;
const int kTop = 6;
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
    // As the screen's: with DEFAULT_CHARSET a Chinese system spaces Latin
    // letters wide and may take letters from another character set.
    lf.lfCharSet = AnsiCharSet();
    strncpy(lf.lfFaceName, pszFace ? pszFace : "", LF_FACESIZE - 1);
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&lf);
    if (m_edit.m_hWnd)
        m_edit.SetFont(m_font.m_hObject, FALSE);
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
    return 0;
}

void CCommandPanel::OnSize(int cx)
{
    int x = kLampSize + GetPromptWidth();
    m_lamp.MoveWindow(0, kTop, kLampSize, kLampSize, TRUE);
    m_edit.MoveWindow(x, kTop, cx - x, m_nEditHeight, TRUE);
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
    }
    return Default();
}
