#include "screen/ConsoleView.h"

#include <cstring>
#include <string>

#include "app/Busy.h"
#include "app/WindowIds.h"
#include "framework/Clipboard.h"
#include "framework/Dpi.h"

namespace {
void FailBeep()
{
    ::Beep(252, 20);
}

// OemToCharA of every byte, taken once. In a single-byte OEM code page a
// text converts byte by byte, so Print looks its bytes up here instead of
// calling the system for every line; other code pages still call it.
struct COemTable {
    bool bSingleByte;
    bool bSame;   // one code page for both, as under 65001: nothing to convert
    char map[256];
};

const COemTable& OemTable()
{
    static const COemTable table = [] {
        COemTable t;
        CPINFO info;
        t.bSingleByte = ::GetCPInfo(CP_OEMCP, &info) && info.MaxCharSize == 1;
        t.bSame = ::GetOEMCP() == ::GetACP();
        t.map[0] = 0;
        for (int c = 1; c < 256; ++c) {
            char sz[2] = { char(c), 0 };
            ::OemToCharA(sz, sz);
            t.map[c] = sz[0];
        }
        return t;
    }();
    return table;
}
}

CConsoleView::CConsoleView()
{
    SetLetters(CP_ACP);
}

void CConsoleView::SetLetters(UINT nCodePage)
{
    m_cells = CTextCells(nCodePage);
    m_store.SetUtf8Cells(m_cells.m_kind == CTextCells::Utf8);
    m_finder.m_bUtf8 = m_cells.m_kind == CTextCells::Utf8;
}

CConsoleView::~CConsoleView() = default;

void CConsoleView::CreateTextFont(CFont& font, const char* pszFace, int nPoints, bool bItalic, UINT nDpi)
{
    LOGFONTA lf = {};
    lf.lfHeight = Dpi::FontHeight(nPoints, nDpi ? nDpi : Dpi::System());
    lf.lfItalic = bItalic ? 1 : 0;
    // The character set of the system's ANSI code page, in which the screen
    // keeps its text: with DEFAULT_CHARSET a face such as "Courier" maps to
    // its Western form, which draws Cyrillic or Chinese bytes as the wrong
    // letters. A system without the face falls back to some fixed-pitch
    // font rather than a proportional one.
    lf.lfCharSet = AnsiCharSet();
    lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lf.lfWeight = FW_NORMAL;
    strncpy(lf.lfFaceName, pszFace ? pszFace : "", LF_FACESIZE - 1);
    font.DeleteObject();
    font.CreateFontIndirect(&lf);
}

void CConsoleView::SetScreenFont(const char* pszFace, int nPoints)
{
    m_strFontFace = pszFace ? pszFace : "";
    m_nFontPoints = nPoints;
    CreateTextFont(m_fontItalic, pszFace, nPoints - 1, true, m_nDpi);
    CreateTextFont(m_font, pszFace, nPoints, false, m_nDpi);
    TakeFontAndCell();
}

void CConsoleView::SetDpi(UINT nDpi)
{
    m_nDpi = nDpi;
    // Only painting, on this thread, uses the fonts: no lock.
    CreateTextFont(m_fontItalic, m_strFontFace.c_str(), m_nFontPoints - 1, true, nDpi);
    CreateTextFont(m_font, m_strFontFace.c_str(), m_nFontPoints, false, nDpi);
    if (!m_hWnd)
        return;
    // The window may now stand on a larger screen than the one it was made
    // on; the same rows and columns take more pixels there.
    HMONITOR hMon = ::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    if (hMon && ::GetMonitorInfoA(hMon, &mi)) {
        CClientDC dc(m_hWnd);
        m_offscreen.Grow(dc, mi.rcMonitor.right - mi.rcMonitor.left, mi.rcMonitor.bottom - mi.rcMonitor.top);
    }
    TakeFontAndCell();
}

void CConsoleView::Print(const char* pszText)
{
    PrintOutput(nullptr, pszText, false);
}

void CConsoleView::PrintAnsi(const char* pszText)
{
    PrintOutput(nullptr, pszText, false, true);
}

void CConsoleView::PrintOutput(const void* pRun, const char* pszText, bool bUnfinished, bool bAnsi)
{
    if (!pszText)
        pszText = "";
    CSingleLock lock(m_lock);
    std::string& s = m_strPrint;
    s.clear();
    if (static_cast<unsigned char>(pszText[0]) >= 8 && m_nCode != 0)
        s += char(m_nCode & 0xFF);
    s += pszText;
    if (s.size() > 1 && IsCodeByte(s[0]))
        m_bContinueLine = false;
    const COemTable& oem = OemTable();
    if (bAnsi || oem.bSame) {
        // Stored as it came.
    } else if (oem.bSingleByte) {
        for (char& c : s)
            c = oem.map[static_cast<unsigned char>(c)];
    } else {
        ::OemToCharA(&s[0], &s[0]);
    }
    int n = m_store.StoreLine(s.c_str(), m_bContinueLine && m_pContinueRun == pRun);
    if (n > 0) {
        m_nMarkFirst -= n;
        if (m_nMarkFirst < 0)
            m_nMarkFirst = 0;
        m_nMarkLast -= n;
        if (m_nMarkLast < 0)
            m_nMarkFirst = m_nMarkLast = -1;
        m_finder.m_nLine -= n;
        if (m_finder.m_nLine < 0)
            m_finder.m_nLine = m_finder.m_nColumn = -1;
        // Saturates: past the cap every line the screen showed is gone anyway.
        m_nDroppedLines = n < kMaxDroppedLines - m_nDroppedLines ? m_nDroppedLines + n : kMaxDroppedLines;
    }
    // A text that was not stored leaves no line to continue.
    m_bContinueLine = bUnfinished && n >= 0;
    m_pContinueRun = pRun;
}

void CConsoleView::PrintF(const char* pszFormat, ...)
{
    CString s;
    va_list args;
    va_start(args, pszFormat);
    s.FormatV(pszFormat, args);
    va_end(args);
    Print(s);
}

void CConsoleView::OnVScrolled(int nDelta)
{
    if (nDelta < 0) {
        m_bFollow = false;
        return;
    }
    int last = m_vBar.m_nRange - 1;
    if (last >= m_vBar.m_nPos && last <= m_vBar.m_nPos + m_vBar.m_nPage - 1)
        m_bFollow = true;
}

void CConsoleView::UpdateRanges()
{
    // A view scrolled back keeps showing the same text while old lines go,
    // until that text goes too; then it shows the oldest line. The shift is
    // taken before the new range clamps the position: when long lines
    // replace short ones the count of lines shrinks, and a position clamped
    // first would move back by the lines dropped.
    const int nPos = m_vBar.m_nPos - m_nDroppedLines;
    m_nDroppedLines = 0;
    m_vBar.SetRange(m_store.CountLines());
    m_hBar.SetRange(m_store.m_nMaxLineLen);
    m_vBar.SetPos(nPos);
    if (m_bFollow)
        m_vBar.GoToEnd();
}

void CConsoleView::GetLineAttributes(CLineDrawInfo* pInfo)
{
    const char* p = m_store.GetLine(pInfo->nLine);
    if (!p)
        return;
    if (m_nMarkFirst <= pInfo->nLine && pInfo->nLine <= m_nMarkLast)
        pInfo->crBack = m_crMarkBack;
    pInfo->pFont = p[0] == CODE_ECHO ? &m_fontItalic : &m_font;
    switch (p[0]) {
    case CODE_ERROR: pInfo->crText = m_crError; pInfo->pszText = p + 1; break;
    case CODE_ECHO: pInfo->crText = m_crEcho; pInfo->pszText = p + 1; break;
    case CODE_INFO: pInfo->crText = m_crInfo; pInfo->pszText = p + 1; break;
    default: pInfo->pszText = p; break;
    }
}

void CConsoleView::TakeOverlay()
{
    m_bOverlay = false;
    if (m_finder.m_nLine < 0)
        return;
    const char* p = m_store.GetLine(m_finder.m_nLine);
    int n = m_finder.m_strPattern.GetLength();
    if (!p || m_finder.m_nColumn < 0 || m_finder.m_nColumn + n > int(strlen(p)))
        return;
    bool bCode = IsCodeByte(p[0]);
    // Columns are cells: the text before the match, less the code byte, and
    // the match's own letters.
    const int nStart = bCode ? 1 : 0;
    const int nBefore = m_finder.m_nColumn - nStart;
    CLineDrawInfo info = { m_finder.m_nLine, nBefore < 0 ? -1 : m_cells.Cells(p + nStart, nBefore), 0,
                           m_crFindBack, m_crFindText, p[0] == CODE_ECHO ? &m_fontItalic : &m_font,
                           nullptr, n };
    if (info.nLine < m_vBar.m_nPos || info.nLine > m_vBar.m_nPos + m_vBar.m_nPage - 1)
        return;
    const char* pMatch = p + m_finder.m_nColumn;
    if (n <= 0)
        n = int(strlen(pMatch));
    int nCells = m_cells.Cells(pMatch, n);
    if (!m_cells.IsSingleByte()) {
        // A match that begins left of the first column shows from its first
        // whole letter there, as the line does.
        while (n > 0 && info.nColumn < m_hBar.m_nPos) {
            int k;
            const int nBytes = m_cells.Letter(pMatch, &k);
            pMatch += nBytes;
            n -= nBytes;
            info.nColumn += k;
            nCells -= k;
        }
        if (n <= 0)
            return;
        info.nLength = n;
    }
    m_strOverlay.assign(pMatch, size_t(n));
    m_overlay = info;
    m_nOverlayCells = nCells;
    m_bOverlay = true;
}

void CConsoleView::DrawOverlay(CDC& dc)
{
    if (!m_bOverlay)
        return;
    CLineDrawInfo info = m_overlay;
    info.pszText = m_strOverlay.c_str();
    RECT rc = GetLineRect(info.nLine);
    RECT text;
    GetTextRect(&text);
    rc.left = text.left + m_nCharWidth * (info.nColumn - m_hBar.m_nPos);
    rc.right = rc.left + m_nCharWidth * m_nOverlayCells;
    dc.FillSolidRect(rc, info.crBack);
    DrawTextRun(dc, info);
}

void CConsoleView::OnLineMButtonDown(int nLine, int, UINT)
{
    // With Ctrl the click never comes here: WindowProc copies. The screen
    // still shows the lines as they were numbered at the last paint; a line
    // dropped since is not marked.
    nLine -= m_nDroppedLines;
    if (nLine < 0)
        return;
    if (m_nMarkFirst < 0 && m_nMarkLast < 0) {
        m_nMarkFirst = m_nMarkLast = nLine;
    } else if (m_nMarkFirst == m_nMarkLast) {
        int m = m_nMarkFirst;
        m_nMarkFirst = m < nLine ? m : nLine;
        m_nMarkLast = m < nLine ? nLine : m;
    } else {
        m_nMarkFirst = m_nMarkLast = -1;
    }
    Invalidate(TRUE);
}

LRESULT CConsoleView::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    // Ctrl with the middle button copies whatever line is under the mouse,
    // and outside the lock that the other clicks are handled under.
    if (nMsg == WM_MBUTTONDOWN && (wParam & MK_CONTROL)) {
        CopyToClipboard();
        return 0;
    }
    return CTextGridWnd::WindowProc(nMsg, wParam, lParam);
}

void CConsoleView::CopyToClipboard()
{
    // The block is filled under the lock and handed to the clipboard after
    // it: emptying the clipboard sends a message to the program that owns
    // it, and output must not wait for that program.
    HGLOBAL h = TakeCopy();
    if (h)
        Clipboard::PutBlock(h);
}

HGLOBAL CConsoleView::TakeCopy()
{
    CSingleLock lock(m_lock);
    if (m_store.m_nUsed == 0)
        return nullptr;
    const char* pFrom = m_store.m_pBuffer;
    const char* pEnd = m_store.m_pBuffer + m_store.m_nUsed;
    bool bMark = m_nMarkFirst >= 0 || m_nMarkLast >= 0;
    if (bMark) {
        // A mark may name lines the store no longer (or never) had: copy
        // the marked lines that exist, and nothing when none does.
        int nLast = m_store.CountLines() - 1;
        int first = m_nMarkFirst < 0 ? 0 : m_nMarkFirst;
        int last = m_nMarkLast > nLast ? nLast : m_nMarkLast;
        if (first > last)
            return nullptr;
        pFrom = m_store.GetLine(first);
        const char* pLast = m_store.GetLine(last);
        pEnd = pLast + strlen(pLast) + 1;
    } else if (g_bBusy) {
        FailBeep();
        return nullptr;
    }
    // The store can be as large as memory allows: the text goes straight
    // into the clipboard's block, and a block that cannot be had copies
    // nothing. Lines are parted by CR LF, the clipboard's line end; the
    // last one has none.
    const size_t n = size_t(pEnd - pFrom);
    size_t nLines = 0;
    for (const char* p = pFrom; (p = static_cast<const char*>(memchr(p, 0, size_t(pEnd - p)))) != nullptr; ++p)
        ++nLines;
    HGLOBAL h = Clipboard::NewBlock(n + nLines - 1);
    if (!h)
        return nullptr;
    char* pDst = static_cast<char*>(::GlobalLock(h));
    if (!pDst) {
        ::GlobalFree(h);
        return nullptr;
    }
    for (size_t i = 0; i + 1 < n; ++i) {
        switch (pFrom[i]) {
        case 0: *pDst++ = 13; *pDst++ = 10; break;
        case CODE_ERROR: *pDst++ = '!'; break;
        case CODE_INFO: *pDst++ = '.'; break;
        case CODE_ECHO: *pDst++ = '>'; break;
        default: *pDst++ = pFrom[i]; break;
        }
    }
    *pDst = 0;
    ::GlobalUnlock(h);
    return h;
}

void CConsoleView::OnLineDblClk(int nLine, int nColumn, UINT)
{
    nLine -= m_nDroppedLines;
    const char* p = m_store.GetLine(nLine);
    if (!p)
        return;   // below the last line there is nothing to pick
    CString t(p);
    if (!t.IsEmpty() && IsCodeByte(t[0]))
        t.Delete(0, 1);
    // The letter under the mouse, whichever of its cells (or bytes) it is.
    CString w = ExtractWord(t, m_cells.LetterCovering(t, nColumn + m_hBar.m_nPos));
    w.Insert(0, ' ');
    HWND hPanel = ::GetDlgItem(GetParent(), IDC_COMMAND_PANEL);
    HWND hEdit = ::GetDlgItem(hPanel, IDC_COMMAND_LINE);
    if (hEdit)
        ::SendMessageA(hEdit, EM_REPLACESEL, TRUE, LPARAM(w.GetString()));
}

void CConsoleView::ClearScreen()
{
    CSingleLock lock(m_lock);
    m_finder.m_nLine = m_finder.m_nColumn = -1;
    m_nDroppedLines = 0;
    m_store.Clear();
    Invalidate(TRUE);
}

void CConsoleView::FindNext()
{
    if (m_finder.m_strPattern.IsEmpty()) {
        ShowFindDialog(true);
        return;
    }
    CSingleLock lock(m_lock);
    if (m_finder.SearchForward(*this))
        ScrollToMatch();
    else
        FailBeep();
    m_bFollow = false;
    Invalidate(TRUE);
}

void CConsoleView::FindPrevious()
{
    if (m_finder.m_strPattern.IsEmpty()) {
        ShowFindDialog(false);
        return;
    }
    CSingleLock lock(m_lock);
    if (m_finder.SearchBackward(*this))
        ScrollToMatch();
    else
        FailBeep();
    m_bFollow = false;
    Invalidate(TRUE);
}

void CConsoleView::ScrollToMatch()
{
    // Lines may have arrived since the last paint; the match must not be
    // clamped against the range that paint left.
    UpdateRanges();
    int n = m_finder.m_strPattern.GetLength();
    m_vBar.SetPos(m_finder.m_nLine - m_vBar.m_nPage / 3);
    // In cells, which in a single-byte code page are the bytes.
    int nColumn = m_finder.m_nColumn;
    const char* p = m_store.GetLine(m_finder.m_nLine);
    if (p && !m_cells.IsSingleByte() && nColumn >= 0 && nColumn + n <= int(strlen(p))) {
        const int nStart = nColumn;
        nColumn = m_cells.Cells(p, nStart);
        n = m_cells.Cells(p + nStart, n);
    }
    if (nColumn + n <= m_hBar.m_nPage)
        m_hBar.SetPos(0);
    else
        m_hBar.SetPos(nColumn - m_hBar.m_nPage / 2);
}

int CConsoleView::FirstLine()
{
    return m_nMarkFirst >= 0 || m_nMarkLast >= 0 ? m_nMarkFirst : 0;
}

int CConsoleView::LastLine()
{
    int nLast = m_store.CountLines() - 1;
    if (m_nMarkFirst < 0 && m_nMarkLast < 0)
        return nLast;
    // A mark may reach below the last stored line; a backward search then
    // starts at the last line that exists, as long as it is marked.
    return m_nMarkLast > nLast && nLast >= m_nMarkFirst ? nLast : m_nMarkLast;
}

const char* CConsoleView::GetLine(int nIndex)
{
    return m_store.GetLine(nIndex);
}

const char* CConsoleView::EndOfLines()
{
    // The store keeps its lines back to back from the first one.
    const char* p = m_store.GetLine(0);
    return p ? p + m_store.m_nUsed : nullptr;
}
