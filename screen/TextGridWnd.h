#pragma once
// CTextGridWnd: a child window that paints lines of text on a fixed
// character grid, double-buffered, with its own scroll bars. A derived class
// says what each line looks like and what a click on it means.
#include <windows.h>

#include <atomic>
#include <vector>

#include "framework/Controls.h"
#include "framework/Gdi.h"
#include "framework/Lock.h"
#include "screen/TextCells.h"

// How one line, or one piece of text on it, is painted.
// Columns are cells of the grid; in a single-byte code page each byte of
// the text is one.
struct CLineDrawInfo {
    int nLine;
    int nColumn;        // text column at which the first drawn character stands
    int nFirstChar;     // index in pszText of the first character to draw
                        // (before SnapTextRun: its cell, see there)
    COLORREF crBack;    // filled only when it differs from the background colour
    COLORREF crText;
    CFont* pFont;
    const char* pszText; // null: nothing to draw
    int nLength;         // 0: the length of the zero-terminated text
};

// A scroll bar control whose position, page and range the view keeps
// itself and pushes to the control when it paints.
class CGridScrollBar : public CScrollBar {
public:
    BOOL Create(bool bVertical, CWnd* pParent);

    void SetRange(int n) { m_nRange = n; Clamp(); }
    void SetPage(int n) { m_nPage = short(n); Clamp(); }
    void LineUp(int n) { m_nPos -= n; Clamp(); }
    void LineDown(int n) { m_nPos += n; Clamp(); }
    void PageUp() { m_nPos -= m_nPage; Clamp(); }
    void PageDown() { m_nPos += m_nPage; Clamp(); }
    void SetPos(int n) { m_nPos = n; Clamp(); }
    void GoToEnd() { m_nPos = m_nRange; Clamp(); }
    // One notch (120) is m_nWheelStep lines; upward turns scroll up.
    void Wheel(int nDelta) { m_nPos += (nDelta / -120) * m_nWheelStep; Clamp(); }
    void ThumbTrack();
    void Push();

    int m_nPos = 0;
    int m_nPage = 0;
    int m_nRange = 0;
    int m_nWheelStep = 4;

private:
    // What the control was last given: a push that changes nothing leaves
    // it alone, since each call redraws it (its arrows too) while output
    // streams, and a screen caught half-way shows an arrow blank.
    int m_nShownPos = -1, m_nShownPage = -1, m_nShownRange = -1;
    int m_nShownEnabled = -1;

    void Clamp()
    {
        if (m_nPos + m_nPage > m_nRange)
            m_nPos = m_nRange - m_nPage;
        if (m_nPos < 0)
            m_nPos = 0;
    }
};

// A memory device context with a bitmap of a fixed allocated size, of
// which the part that the window shows is "visible".
class COffscreenDC : public CDC {
public:
    ~COffscreenDC() override;
    BOOL Create(HDC hdcRef, int cx, int cy);
    // A larger bitmap when cx x cy does not fit in the one there is; false
    // (the old one kept) when it cannot be made.
    BOOL Grow(HDC hdcRef, int cx, int cy);
    void SelectBitmap();
    void DeselectBitmap();

    int m_cxAlloc = 0, m_cyAlloc = 0;
    int m_cxVisible = 0, m_cyVisible = 0;
    CBitmap m_bitmap;

private:
    HGDIOBJ m_hOldBitmap = nullptr;
    HGDIOBJ m_hOldFont = nullptr;
    int m_nSelectDepth = 0;
};

class CTextGridWnd : public CWnd {
public:
    CTextGridWnd() = default;
    ~CTextGridWnd() override;

    // The text area: the client area without the scroll bars.
    void GetTextRect(RECT* prc) const;
    RECT GetLineRect(int nLine) const;
    // The cell of the font that the window reports for WM_GETFONT.
    static SIZE GetCharCell(HWND hWnd);
    // The grid's cell at nDpi: the system font's cell at 96 dpi, scaled.
    static SIZE GetGridCell(HWND hWnd, UINT nDpi);
    // The resolution the grid is drawn at: m_nDpi, or the system's while
    // it is 0.
    UINT GetDpi() const;
    // The width of the vertical bar and the height of the horizontal one.
    int ScrollBarWidth() const;
    int ScrollBarHeight() const;

    CScrollBar m_sizeBox;
    COffscreenDC m_offscreen;
    int m_nCharWidth = 0;
    int m_nLineHeight = 0;
    CCriticalSection m_lock;
    CFont m_font;
    CGridScrollBar m_vBar;
    CGridScrollBar m_hBar;
    COLORREF m_crBack = 0x000000;
    COLORREF m_crText = 0xF0F0F0;
    // The window's resolution; 0 until its owner tells it.
    UINT m_nDpi = 0;
    // How the text divides into letters and cells: the ANSI code page's way.
    CTextCells m_cells;

protected:
    virtual void OnVScrolled(int) {}
    virtual void UpdateRanges() {}
    virtual void DrawOverlay(CDC&) {}
    virtual void OnLineLButtonDown(int, int, UINT) {}
    virtual void OnLineRButtonDown(int, int, UINT) {}
    virtual void OnLineMButtonDown(int, int, UINT) {}
    virtual void OnLineDblClk(int, int, UINT) {}
    virtual void GetLineAttributes(CLineDrawInfo* pInfo) = 0;
    // Called under m_lock before painting: takes what DrawOverlay will draw,
    // since DrawOverlay runs after the lock is left.
    virtual void TakeOverlay() {}

    void DrawTextRun(CDC& dc, CLineDrawInfo& info);
    // Copies to the end of buffer the part of info's text that can show left
    // of nRight, zero-terminated, and makes info describe that copy (its
    // pszText is left null: the copy's offset is returned, -1 if none shows).
    // On the way in, nFirstChar is the cell of the text from which on it is
    // drawn, the text's cell 0 standing at column nColumn - nFirstChar; the
    // copy begins with the first whole letter from there.
    long SnapTextRun(CLineDrawInfo& info, int nRight, std::vector<char>& buffer) const;
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    // Gives the window m_font, measures the cell at the window's resolution
    // and sets the pages from it; after a new font or resolution.
    void TakeFontAndCell();

public:
    // The scrolling keys (PgUp, PgDn, arrows, Home, End); the command line
    // forwards them here.
    void ScrollByKey(UINT nKey);
    // From any thread, after new output: output can come far faster than
    // anyone reads it, and every paint takes time from the reader, so the
    // repaints it asks for come at most once per kOutputPaintMs; the first
    // after a quiet spell comes at once.
    void InvalidateForOutput();
    static const DWORD kOutputPaintMs = 50;

private:
    // The visible lines as the last paint took them under the lock.
    std::vector<CLineDrawInfo> m_paintLines;
    std::vector<long> m_paintOffsets;
    std::vector<char> m_paintText;
    std::vector<INT> m_dx;
    std::vector<WCHAR> m_wide;
    std::vector<INT> m_dxWide;

    // UTF-8 text: letters by their UTF-16 units, each on its cells.
    void DrawUtf8Run(CDC& dc, const CLineDrawInfo& info, int x, RECT rc);
    std::atomic<bool> m_bOutputPaintAsked { false };
    DWORD m_dwLastPaint = 0;

    int OnCreate();
    void OnPaint();
    void OnSize(int cx, int cy);
    void OnScroll(bool bVertical, int nCode);
    void OnMouseButton(UINT nMsg, WPARAM wParam, LPARAM lParam);
    void OnOutputPaint(bool bTimer);
};
