#include "app/CommandPanel.h"

#include <algorithm>
#include <cstring>

#include "app/MainWnd.h"
#include "app/WindowIds.h"
#include "framework/Dpi.h"

namespace {
// At 96 dpi; every other resolution scales them.
const int kLampSize = 16;
const int kTop = 6;
const int kPromptTop = 7;
const int kSunkenLine = 2;
// The device list is this many average letters wide (a serial and a model),
// keeps half a letter from the command line, and opens to this many lines.
const int kDeviceListLetters = 36;
const int kDeviceListLines = 12;
}

CCommandPanel::~CCommandPanel() = default;

void CCommandPanel::SetCommandFont(const char* pszFace, int nPoints, bool bItalic)
{
    LOGFONTA lf = {};
    lf.lfHeight = Dpi::FontHeight(nPoints, GetDpi());
    lf.lfWeight = FW_NORMAL;
    lf.lfItalic = bItalic ? 1 : 0;
    // As the screen's: with DEFAULT_CHARSET a Chinese system spaces Latin
    // letters wide and may take letters from another character set.
    lf.lfCharSet = AnsiCharSet();
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
    m_nPoints = nPoints;
    m_nEditHeight = EditHeightAt(GetDpi());
    m_deviceBox.FitHeight(m_nEditHeight);
}

UINT CCommandPanel::GetDpi() const
{
    return m_nDpi ? m_nDpi : Dpi::System();
}

int CCommandPanel::EditHeightAt(UINT nDpi) const
{
    // The point size counts as pixels at 96 dpi: 20 pixels for 9 points.
    int n = Dpi::Scale(2 * m_nPoints + 2, nDpi);
    // Never lower than the font's line inside the border (one pixel each
    // side) with a pixel above and below it: a face taller than its points
    // is not clipped.
    LOGFONTA lf;
    if (m_font.m_hObject && ::GetObjectA(m_font.m_hObject, sizeof(lf), &lf) == sizeof(lf)) {
        lf.lfHeight = Dpi::FontHeight(m_nPoints, nDpi);
        CFont font;
        font.CreateFontIndirect(&lf);
        CClientDC dc(nullptr);
        CSelectObject sel(dc, font.m_hObject);
        TEXTMETRICA tm;
        if (font.m_hObject && dc.GetTextMetrics(&tm))
            n = std::max(n, int(tm.tmHeight) + 4);
    }
    return n;
}

int CCommandPanel::StripHeight() const
{
    return m_nEditHeight + Dpi::Scale(kTop, GetDpi());
}

int CCommandPanel::StripHeightAt(UINT nDpi) const
{
    return EditHeightAt(nDpi) + Dpi::Scale(kTop, nDpi);
}

void CCommandPanel::SetDpi(UINT nDpi)
{
    m_nDpi = nDpi;
    LOGFONTA lf;
    if (m_font.m_hObject && ::GetObjectA(m_font.m_hObject, sizeof(lf), &lf) == sizeof(lf))
        SetCommandFont(lf.lfFaceName, m_nPoints, lf.lfItalic != 0);
    m_lamp.SetSize(Dpi::Scale(kLampSize, nDpi));
    if (m_hWnd) {
        RECT rc;
        GetClientRect(&rc);
        OnSize(rc.right);
        Invalidate(TRUE);
    }
}

int CCommandPanel::GetPromptWidth() const
{
    CMainWnd* pMain = dynamic_cast<CMainWnd*>(CWnd::FromHandle(GetParent()));
    if (!pMain)
        return 0;
    // Measured in the system font, which is made for the system's
    // resolution and does not scale; and never narrower than the prompt
    // drawn in the command font, so that the widest prompt is not cut.
    int n = ::MulDiv(pMain->m_interp.GetPromptWidth(m_hWnd), int(GetDpi()), int(Dpi::System()));
    CClientDC dc(m_hWnd);
    CSelectObject sel(dc, m_font.m_hObject);
    for (CommandMode mode : { ModeAdb, ModeShell, ModePm }) {
        RECT rc = {};
        ::DrawTextA(dc, CCommandInterpreter::PromptOf(mode), -1, &rc, DT_CALCRECT | DT_SINGLELINE);
        n = std::max(n, int(rc.right - rc.left));
    }
    return n;
}

const char* CCommandPanel::GetPrompt() const
{
    CMainWnd* pMain = dynamic_cast<CMainWnd*>(CWnd::FromHandle(GetParent()));
    return pMain ? pMain->m_interp.GetPrompt() : "";
}

int CCommandPanel::OnCreate()
{
    RECT rc = {};
    m_lamp.SetSize(Dpi::Scale(kLampSize, GetDpi()));
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
    const int s = m_lamp.Size(), top = Dpi::Scale(kTop, GetDpi());
    int x = s + GetPromptWidth();
    m_lamp.MoveWindow(0, top, s, s, TRUE);
    int right = cx;
    if (m_bShowDevices && m_deviceBox.m_hWnd) {
        // Never more than half of what the command line would have.
        int w = kDeviceListLetters * m_nLetterWidth;
        if (w > (cx - x) / 2)
            w = (cx - x) / 2;
        right = cx - w;
        ::MoveWindow(m_deviceBox.m_hWnd, right, top, w, m_nEditHeight * (kDeviceListLines + 1), TRUE);
        right -= m_nLetterWidth / 2;
    }
    m_edit.MoveWindow(x, top, right - x, m_nEditHeight, TRUE);
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
    // The sunken line: a shadow line over a highlight line, one pixel each
    // per 96 dpi.
    const UINT nDpi = GetDpi();
    const int t = std::max(1, int(nDpi / Dpi::kBase)), y = rc.top + Dpi::Scale(kSunkenLine, nDpi);
    dc.FillSolidRect(RECT{ rc.left, y, rc.right, y + t }, ::GetSysColor(COLOR_BTNSHADOW));
    dc.FillSolidRect(RECT{ rc.left, y + t, rc.right, y + 2 * t }, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    RECT rcPrompt = { 0, rc.top + Dpi::Scale(kPromptTop, nDpi), m_lamp.Size() + GetPromptWidth(), rc.bottom };
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
