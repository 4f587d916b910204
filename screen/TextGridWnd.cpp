#include "screen/TextGridWnd.h"

#include <algorithm>
#include <cstring>

#include "framework/Dpi.h"
#include "screen/LetterWidth.h"

namespace {
const UINT kScrollBarId = 0xEA10;
}

BOOL CGridScrollBar::Create(bool bVertical, CWnd* pParent)
{
    RECT rc = {};
    m_nPos = m_nPage = m_nRange = 0;
    m_nWheelStep = 4;
    m_nShownPos = m_nShownPage = m_nShownRange = m_nShownEnabled = -1;
    return CScrollBar::Create(WS_CHILD | WS_VISIBLE | (bVertical ? SBS_VERT : SBS_HORZ), rc, pParent, kScrollBarId);
}

void CGridScrollBar::ThumbTrack()
{
    SCROLLINFO si = {};
    if (!GetScrollInfo(&si, SIF_ALL))
        return;
    // One step before the end counts as the end, so a drag to the bottom
    // shows the newest line.
    if (si.nTrackPos + int(si.nPage) == si.nMax)
        m_nPos = si.nMax;
    else
        m_nPos = si.nTrackPos;
    Clamp();
}

void CGridScrollBar::Push()
{
    if (!m_hWnd)
        return;
    if (m_nPage < m_nRange) {
        if (m_nPos != m_nShownPos || m_nPage != m_nShownPage || m_nRange != m_nShownRange) {
            SCROLLINFO si = {};
            si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
            si.nMin = 0;
            si.nMax = m_nRange - 1;
            si.nPage = UINT(m_nPage);
            si.nPos = m_nPos;
            SetScrollInfo(&si, TRUE);
            m_nShownPos = m_nPos;
            m_nShownPage = m_nPage;
            m_nShownRange = m_nRange;
        }
        if (m_nShownEnabled != 1) {
            EnableScrollBar(ESB_ENABLE_BOTH);
            m_nShownEnabled = 1;
        }
    } else {
        m_nPos = 0;
        if (m_nShownEnabled != 0) {
            EnableScrollBar(ESB_DISABLE_BOTH);
            m_nShownEnabled = 0;
        }
    }
}

COffscreenDC::~COffscreenDC()
{
    while (m_nSelectDepth > 0)
        DeselectBitmap();
    m_bitmap.DeleteObject();
    if (m_hDC)
        ::DeleteDC(m_hDC);
}

BOOL COffscreenDC::Create(HDC hdcRef, int cx, int cy)
{
    m_hDC = ::CreateCompatibleDC(hdcRef);
    if (!m_hDC)
        return FALSE;
    if (!m_bitmap.CreateCompatibleBitmap(hdcRef, cx, cy))
        return FALSE;
    m_cxAlloc = m_cxVisible = cx;
    m_cyAlloc = m_cyVisible = cy;
    return TRUE;
}

BOOL COffscreenDC::Grow(HDC hdcRef, int cx, int cy)
{
    if (!m_hDC || m_nSelectDepth > 0)
        return FALSE;
    if (cx <= m_cxAlloc && cy <= m_cyAlloc)
        return TRUE;
    cx = std::max(cx, m_cxAlloc);
    cy = std::max(cy, m_cyAlloc);
    CBitmap bitmap;
    if (!bitmap.CreateCompatibleBitmap(hdcRef, cx, cy))
        return FALSE;
    m_bitmap.DeleteObject();
    m_bitmap.Attach(bitmap.Detach());
    m_cxAlloc = cx;
    m_cyAlloc = cy;
    return TRUE;
}

void COffscreenDC::SelectBitmap()
{
    if (m_nSelectDepth++ == 0 && m_hDC && m_bitmap.m_hObject) {
        m_hOldBitmap = ::SelectObject(m_hDC, m_bitmap.m_hObject);
        m_hOldFont = ::GetCurrentObject(m_hDC, OBJ_FONT);
    }
}

void COffscreenDC::DeselectBitmap()
{
    if (m_nSelectDepth == 0)
        return;
    if (--m_nSelectDepth == 0 && m_hOldBitmap) {
        // The fonts that painting selected stay the window's to delete (a
        // new screen font): none may be left selected here.
        if (m_hOldFont)
            ::SelectObject(m_hDC, m_hOldFont);
        m_hOldFont = nullptr;
        ::SelectObject(m_hDC, m_hOldBitmap);
        m_hOldBitmap = nullptr;
    }
}

CTextGridWnd::~CTextGridWnd() = default;

UINT CTextGridWnd::GetDpi() const
{
    return m_nDpi ? m_nDpi : Dpi::System();
}

int CTextGridWnd::ScrollBarWidth() const
{
    return Dpi::Metric(SM_CXVSCROLL, GetDpi());
}

int CTextGridWnd::ScrollBarHeight() const
{
    return Dpi::Metric(SM_CYHSCROLL, GetDpi());
}

void CTextGridWnd::GetTextRect(RECT* prc) const
{
    GetClientRect(prc);
    prc->right -= Dpi::Metric(SM_CYVSCROLL, GetDpi());
    prc->bottom -= ScrollBarHeight();
}

RECT CTextGridWnd::GetLineRect(int nLine) const
{
    RECT rc = {};
    int k = nLine - m_vBar.m_nPos;
    if (k < 0 || k > m_vBar.m_nPage + 1)
        return rc;
    RECT text;
    GetTextRect(&text);
    rc.left = text.left;
    rc.right = text.right;
    rc.top = text.top + k * m_nLineHeight;
    rc.bottom = rc.top + m_nLineHeight;
    return rc;
}

SIZE CTextGridWnd::GetCharCell(HWND hWnd)
{
    SIZE cell = { 8, 14 };
    CClientDC dc(hWnd);
    HFONT hFont = HFONT(::SendMessageA(hWnd, WM_GETFONT, 0, 0));
    CSelectObject sel(dc, hFont);
    TEXTMETRICA tm;
    if (dc.GetTextMetrics(&tm)) {
        cell.cx = tm.tmAveCharWidth + 1;
        cell.cy = tm.tmHeight - 2;
    }
    if (cell.cx < 1) cell.cx = 1;
    if (cell.cy < 1) cell.cy = 1;
    return cell;
}

SIZE CTextGridWnd::GetGridCell(HWND hWnd, UINT nDpi)
{
    SIZE cell = { 8, 14 };
    const UINT nSystem = Dpi::System();
    if (nSystem == Dpi::kBase) {
        cell = GetCharCell(hWnd);
    } else {
        // The system font is made for the system's resolution, and its
        // width does not grow with it: the cell is that of the same font
        // asked for at 96 dpi (its height scaled back, its width as it is).
        LOGFONTA lf;
        if (::GetObjectA(::GetStockObject(SYSTEM_FONT), sizeof(lf), &lf) == sizeof(lf)) {
            lf.lfHeight = ::MulDiv(lf.lfHeight, int(Dpi::kBase), int(nSystem));
            CFont font;
            font.CreateFontIndirect(&lf);
            CClientDC dc(nullptr);
            CSelectObject sel(dc, font.m_hObject);
            TEXTMETRICA tm;
            if (font.m_hObject && dc.GetTextMetrics(&tm) && tm.tmAveCharWidth > 0 && tm.tmHeight > 2) {
                cell.cx = tm.tmAveCharWidth + 1;
                cell.cy = tm.tmHeight - 2;
            }
        }
    }
    if (nDpi != Dpi::kBase) {
        cell.cx = Dpi::Scale(cell.cx, nDpi);
        cell.cy = Dpi::Scale(cell.cy, nDpi);
    }
    return cell;
}

void CTextGridWnd::TakeFontAndCell()
{
    if (!m_hWnd)
        return;
    SetFont(m_font.m_hObject, FALSE);
    SIZE cell = GetGridCell(m_hWnd, GetDpi());
    m_nCharWidth = cell.cx;
    m_nLineHeight = cell.cy;
    RECT rc;
    GetClientRect(&rc);
    int w = rc.right - ScrollBarWidth(), h = rc.bottom - ScrollBarHeight();
    m_vBar.SetPage(h / m_nLineHeight);
    m_hBar.SetPage(w / m_nCharWidth);
}

void CTextGridWnd::DrawTextRun(CDC& dc, CLineDrawInfo& info)
{
    if (info.nLength == 0 && info.pszText)
        info.nLength = int(strlen(info.pszText));
    int oldMode = dc.SetBkMode(TRANSPARENT);
    HGDIOBJ oldFont = info.pFont && info.pFont->m_hObject ? dc.SelectObject(info.pFont->m_hObject) : nullptr;
    dc.SetTextColor(info.crText);
    RECT rc = GetLineRect(info.nLine);
    const int x = (info.nColumn - m_hBar.m_nPos) * m_nCharWidth;
    const int i = info.nFirstChar;
    if (m_cells.m_kind == CTextCells::Utf8) {
        if (info.pszText && i >= 0 && i < info.nLength && x < rc.right)
            DrawUtf8Run(dc, info, x, rc);
    } else if (info.pszText && i >= 0 && i < info.nLength && x < rc.right) {
        // Every character still stands on the grid: one call per run of
        // characters with a spacing array of one cell each. A tab (adb
        // devices separates its columns with one) takes its cell as a blank
        // instead of the font's box glyph, so it ends a run.
        const int nCells = (rc.right - x + m_nCharWidth - 1) / m_nCharWidth;
        const int nEnd = std::min(info.nLength, i + nCells);
        if (int(m_dx.size()) < nEnd - i || m_dx[0] != m_nCharWidth)
            m_dx.assign(std::max(m_dx.size(), size_t(nEnd - i)), m_nCharWidth);
        for (int j = i; j < nEnd;) {
            if (info.pszText[j] == '\t') {
                ++j;
                continue;
            }
            int k = j;
            while (k < nEnd && info.pszText[k] != '\t')
                ++k;
            rc.left = x + (j - i) * m_nCharWidth;
            ::ExtTextOutA(dc, rc.left, rc.top, 0, &rc, info.pszText + j, UINT(k - j), m_dx.data());
            j = k;
        }
    }
    dc.SetTextColor(m_crText);
    if (m_font.m_hObject)
        dc.SelectObject(m_font.m_hObject);
    else if (oldFont)
        dc.SelectObject(oldFont);
    dc.SetBkMode(oldMode);
}

void CTextGridWnd::DrawUtf8Run(CDC& dc, const CLineDrawInfo& info, int x, RECT rc)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(info.pszText);
    int i = info.nFirstChar;
    int xRun = x;
    m_wide.clear();
    m_dxWide.clear();
    auto flush = [&] {
        if (!m_wide.empty()) {
            rc.left = xRun;
            ::ExtTextOutW(dc, xRun, rc.top, 0, &rc, m_wide.data(), UINT(m_wide.size()), m_dxWide.data());
        }
        m_wide.clear();
        m_dxWide.clear();
    };
    while (i < info.nLength && x < rc.right) {
        unsigned u = 0;
        int n = LetterWidth::Decode(p + i, size_t(info.nLength - i), &u);
        if (n == 0) {
            // Not a letter (a backspace took part of one): one cell of '?'.
            n = 1;
            u = '?';
        }
        const int nCells = LetterWidth::IsWide(u) ? 2 : 1;
        if (u == '\t') {
            // A tab takes its cell as a blank rather than the font's box.
            flush();
            xRun = x + m_nCharWidth;
        } else if (u > 0xFFFF) {
            m_wide.push_back(WCHAR(0xD800 + ((u - 0x10000) >> 10)));
            m_wide.push_back(WCHAR(0xDC00 + ((u - 0x10000) & 0x3FF)));
            m_dxWide.push_back(nCells * m_nCharWidth);
            m_dxWide.push_back(0);
        } else {
            m_wide.push_back(WCHAR(u));
            m_dxWide.push_back(nCells * m_nCharWidth);
        }
        x += nCells * m_nCharWidth;
        i += n;
    }
    flush();
}

long CTextGridWnd::SnapTextRun(CLineDrawInfo& info, int nRight, std::vector<char>& buffer) const
{
    const char* p = info.pszText;
    info.pszText = nullptr;
    if (p == nullptr || info.nFirstChar < 0 || m_nCharWidth <= 0)
        return -1;
    if (!m_cells.IsSingleByte()) {
        // Cells and bytes differ: the drawn text starts on the first letter
        // that begins at the first cell or after it, never on half of one.
        int nCell = 0;
        const int nFrom = m_cells.LetterAtOrAfter(p, info.nFirstChar, &nCell);
        info.nColumn += nCell - info.nFirstChar;
        const int x = (info.nColumn - m_hBar.m_nPos) * m_nCharWidth;
        if (x >= nRight || p[nFrom] == 0)
            return -1;
        const int nCells = (nRight - x + m_nCharWidth - 1) / m_nCharWidth;
        int nTo = nFrom;
        for (int c = 0; p[nTo] != 0 && c < nCells && (info.nLength <= 0 || nTo < info.nLength);) {
            int k;
            nTo += m_cells.Letter(p + nTo, &k);
            c += k;
        }
        if (info.nLength > 0 && nTo > info.nLength)
            nTo = info.nLength;
        const long nAt = long(buffer.size());
        buffer.insert(buffer.end(), p + nFrom, p + nTo);
        buffer.push_back(0);
        info.nFirstChar = 0;
        info.nLength = nTo - nFrom;
        return nAt;
    }
    const int x = (info.nColumn - m_hBar.m_nPos) * m_nCharWidth;
    if (x >= nRight)
        return -1;
    // Only the characters that can stand in the text area; a long line is
    // not measured past them.
    const int nCells = (nRight - x + m_nCharWidth - 1) / m_nCharWidth;
    const size_t nLimit = size_t(info.nFirstChar) + size_t(nCells);
    const size_t nLength = info.nLength > 0 ? std::min(size_t(info.nLength), nLimit) : strnlen(p, nLimit);
    if (nLength <= size_t(info.nFirstChar))
        return -1;
    const size_t n = nLength - size_t(info.nFirstChar);
    const long nAt = long(buffer.size());
    buffer.insert(buffer.end(), p + info.nFirstChar, p + nLength);
    buffer.push_back(0);
    info.nFirstChar = 0;
    info.nLength = int(n);
    return nAt;
}

int CTextGridWnd::OnCreate()
{
    m_hBar.Create(false, this);
    m_vBar.Create(true, this);
    RECT rc = {};
    m_sizeBox.Create(WS_CHILD | WS_VISIBLE | SBS_SIZEBOX, rc, this, UINT(-1));
    {
        CClientDC dc(m_hWnd);
        m_offscreen.Create(dc, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    }
    SetFont(m_font.m_hObject, FALSE);
    SIZE cell = GetGridCell(m_hWnd, GetDpi());
    m_nCharWidth = cell.cx;
    m_nLineHeight = cell.cy;
    return 0;
}

namespace {

const UINT UM_OUTPUTPAINT = WM_USER + 0x310;
const UINT_PTR kOutputPaintTimer = 1;

}

void CTextGridWnd::InvalidateForOutput()
{
    if (m_hWnd && !m_bOutputPaintAsked.exchange(true) && !::PostMessageA(m_hWnd, UM_OUTPUTPAINT, 0, 0))
        m_bOutputPaintAsked = false;   // a full queue: the next output asks again
}

void CTextGridWnd::OnOutputPaint(bool bTimer)
{
    if (!bTimer) {
        const DWORD dwSince = ::GetTickCount() - m_dwLastPaint;
        if (dwSince < kOutputPaintMs && ::SetTimer(m_hWnd, kOutputPaintTimer, kOutputPaintMs - dwSince, nullptr))
            return;
    }
    ::KillTimer(m_hWnd, kOutputPaintTimer);
    // Cleared before the paint takes the lines: output stored after this
    // asks again.
    m_bOutputPaintAsked = false;
    // The text area only: the view does not clip its children, so the whole
    // window would take the scroll bars along, and every output repaint
    // would erase and redraw them (caught half-way, an arrow showed blank).
    // The paint itself updates them when their ranges change.
    RECT text;
    GetTextRect(&text);
    ::InvalidateRect(m_hWnd, &text, TRUE);
}

void CTextGridWnd::OnPaint()
{
    m_dwLastPaint = ::GetTickCount();
    // Under the lock only the visible lines are taken (their attributes and
    // a copy of their visible text); GDI draws after the lock is left, so a
    // reader thread's Print never waits for drawing.
    m_paintLines.clear();
    m_paintOffsets.clear();
    m_paintText.clear();
    RECT text;
    GetTextRect(&text);
    {
        CSingleLock lock(m_lock);
        UpdateRanges();
        for (int i = 0; i <= m_vBar.m_nPage; ++i) {
            CLineDrawInfo info = { m_vBar.m_nPos + i, m_hBar.m_nPos, m_hBar.m_nPos, m_crBack, m_crText, &m_font, nullptr, 0 };
            GetLineAttributes(&info);
            m_paintOffsets.push_back(SnapTextRun(info, text.right, m_paintText));
            m_paintLines.push_back(info);
        }
        TakeOverlay();
    }
    for (size_t i = 0; i < m_paintLines.size(); ++i) {
        if (m_paintOffsets[i] >= 0)
            m_paintLines[i].pszText = m_paintText.data() + m_paintOffsets[i];
    }
    CPaintDC paint(m_hWnd);   // the pending erase fills the bitmap
    m_offscreen.SelectBitmap();
    for (CLineDrawInfo& info : m_paintLines) {
        if (info.crBack != m_crBack)
            m_offscreen.FillSolidRect(GetLineRect(info.nLine), info.crBack);
        DrawTextRun(m_offscreen, info);
    }
    DrawOverlay(m_offscreen);
    ::BitBlt(paint, text.left, text.top, text.right - text.left, text.bottom - text.top, m_offscreen, 0, 0, SRCCOPY);
    m_vBar.Push();
    m_hBar.Push();
    m_offscreen.DeselectBitmap();
}

void CTextGridWnd::OnSize(int cx, int cy)
{
    if (cx == 0 || cy == 0)
        return;
    int cxBar = ScrollBarWidth();
    int cyBar = ScrollBarHeight();
    int w = cx - cxBar, h = cy - cyBar;
    m_offscreen.m_cxVisible = std::min(m_offscreen.m_cxAlloc, w);
    m_offscreen.m_cyVisible = std::min(m_offscreen.m_cyAlloc, h);
    m_vBar.MoveWindow(w, 0, cxBar, h, TRUE);
    m_hBar.MoveWindow(0, h, w, cyBar, TRUE);
    // Moved with the view's size, and redrawn only then.
    m_sizeBox.MoveWindow(w, h, cxBar, cyBar, TRUE);
    if (m_nLineHeight > 0)
        m_vBar.SetPage(h / m_nLineHeight);
    if (m_nCharWidth > 0)
        m_hBar.SetPage(w / m_nCharWidth);
}

void CTextGridWnd::OnScroll(bool bVertical, int nCode)
{
    CGridScrollBar& bar = bVertical ? m_vBar : m_hBar;
    int old = m_vBar.m_nPos;
    switch (nCode) {
    case SB_LINEUP: bar.LineUp(1); break;
    case SB_LINEDOWN: bar.LineDown(1); break;
    case SB_PAGEUP: bar.PageUp(); break;
    case SB_PAGEDOWN: bar.PageDown(); break;
    case SB_THUMBTRACK: bar.ThumbTrack(); break;
    default: return;
    }
    if (bVertical)
        OnVScrolled(m_vBar.m_nPos - old);
    Invalidate(TRUE);
}

void CTextGridWnd::ScrollByKey(UINT nKey)
{
    bool bCtrl = ::GetKeyState(VK_CONTROL) < 0;
    int old = m_vBar.m_nPos;
    switch (nKey) {
    case VK_PRIOR: m_vBar.PageUp(); break;
    case VK_NEXT: m_vBar.PageDown(); break;
    case VK_UP: m_vBar.LineUp(1); break;
    case VK_DOWN: m_vBar.LineDown(1); break;
    case VK_LEFT: m_hBar.LineDown(1); break;
    case VK_RIGHT: m_hBar.LineUp(1); break;
    case VK_HOME:
        if (bCtrl)
            m_vBar.SetPos(0);
        m_hBar.SetPos(0);
        break;
    case VK_END:
        if (bCtrl) {
            m_vBar.GoToEnd();
            m_hBar.SetPos(0);
        } else {
            m_hBar.GoToEnd();
        }
        break;
    default:
        return;
    }
    OnVScrolled(m_vBar.m_nPos - old);
    Invalidate(TRUE);
}

void CTextGridWnd::OnMouseButton(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    CSingleLock lock(m_lock);
    int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
    int nLine = (m_nLineHeight > 0 ? y / m_nLineHeight : 0) + m_vBar.m_nPos;
    int nColumn = m_nCharWidth > 0 ? x / m_nCharWidth : 0;
    UINT nFlags = UINT(wParam);
    switch (nMsg) {
    case WM_LBUTTONDOWN: OnLineLButtonDown(nLine, nColumn, nFlags); break;
    case WM_RBUTTONDOWN: OnLineRButtonDown(nLine, nColumn, nFlags); break;
    case WM_MBUTTONDOWN: OnLineMButtonDown(nLine, nColumn, nFlags); break;
    case WM_LBUTTONDBLCLK: OnLineDblClk(nLine, nColumn, nFlags); break;
    }
}

LRESULT CTextGridWnd::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_CREATE:
        Default();
        return OnCreate();
    case WM_ERASEBKGND: {
        RECT rc = { 0, 0, m_offscreen.m_cxVisible, m_offscreen.m_cyVisible };
        m_offscreen.SelectBitmap();
        m_offscreen.FillSolidRect(rc, m_crBack);
        m_offscreen.DeselectBitmap();
        return TRUE;
    }
    case WM_PAINT:
        OnPaint();
        return 0;
    case UM_OUTPUTPAINT:
        OnOutputPaint(false);
        return 0;
    case WM_TIMER:
        if (wParam != kOutputPaintTimer)
            break;
        OnOutputPaint(true);
        return 0;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnMouseButton(nMsg, wParam, lParam);
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
        OnScroll(nMsg == WM_VSCROLL, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        int old = m_vBar.m_nPos;
        m_vBar.Wheel(GET_WHEEL_DELTA_WPARAM(wParam));
        OnVScrolled(m_vBar.m_nPos - old);
        Invalidate(TRUE);
        return TRUE;
    }
    case WM_KEYDOWN:
        ScrollByKey(UINT(wParam));
        return 0;
    }
    return Default();
}
