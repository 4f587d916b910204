#pragma once
// CConsoleView: the console screen. It keeps the lines in its line store,
// paints them in the colours of their code bytes, marks lines, copies them
// to the clipboard, picks words into the command line and searches.
// Print may be called on any thread; everything else runs on the
// user-interface thread.
#include <atomic>
#include <string>

#include "screen/LineStore.h"
#include "screen/TextFinder.h"
#include "screen/TextGridWnd.h"

// Code bytes: the first byte of a stored line, when it is 1 to 7.
enum {
    CODE_ERROR = 1,   // painted in the error colour, "!" in copied text
    CODE_INFO = 2,    // information colour, "."
    CODE_ECHO = 3,    // echo colour, italic, ">"
};

inline bool IsCodeByte(char c) { return c >= 1 && c <= 7; }

class CConsoleView : public CTextGridWnd, public ILineSource {
public:
    CConsoleView();
    ~CConsoleView() override;

    void SetScreenFont(const char* pszFace, int nPoints);
    // nDpi 0: the system's resolution.
    static void CreateTextFont(CFont& font, const char* pszFace, int nPoints, bool bItalic, UINT nDpi = 0);
    // The window's resolution changed: the fonts are made again for it and
    // the grid takes the cell of nDpi. Lines, scroll position, marks and
    // the find match stay.
    void SetDpi(UINT nDpi);
    // The code page of the stored text, for letters and cells on the grid,
    // the store's widths and the search: the ANSI code page unless a test
    // says otherwise (before anything is stored).
    void SetLetters(UINT nCodePage);

    // Stores a text as one line (or as the rest of the last line). Print
    // takes text in the OEM code page and stores it in the ANSI code page;
    // PrintAnsi takes text that is in the ANSI code page already and
    // stores it as it is.
    void Print(const char* pszText);
    void PrintAnsi(const char* pszText);
    // Stores a piece of a run's output, in the ANSI code page with bAnsi,
    // else in the OEM code page. An unfinished piece is continued only by
    // the next piece from the same pRun, and only while it is still the
    // last line: an echo or another run's text in between ends it.
    void PrintOutput(const void* pRun, const char* pszText, bool bUnfinished, bool bAnsi = false);
    void PrintF(const char* pszFormat, ...);

    void CopyToClipboard();
    void ClearScreen();
    void FindNext();
    void FindPrevious();
    void ShowFindDialog(bool bForward);
    void ScrollToMatch();

    // ILineSource: the marked lines, or all of them.
    int FirstLine() override;
    int LastLine() override;
    const char* GetLine(int nIndex) override;
    const char* EndOfLines() override;

    CLineStore m_store;
    CTextFinder m_finder;
    bool m_bFollow = true;
    CFont m_fontItalic;
    COLORREF m_crError = 0x0000FF;
    COLORREF m_crEcho = 0x00FFFF;
    COLORREF m_crInfo = 0xFFFF80;
    COLORREF m_crFindText = 0x000000;
    COLORREF m_crFindBack = 0xFFFFFF;
    COLORREF m_crMarkBack = 0x3F3F3F;
    int m_nCode = 0;
    int m_nSavedCode;
    int m_nMarkFirst = -1;
    int m_nMarkLast = -1;
    // The last line is unfinished and the next text from m_pContinueRun
    // continues it; both change only under m_lock.
    std::atomic<bool> m_bContinueLine{ false };
    const void* m_pContinueRun = nullptr;

protected:
    void OnVScrolled(int nDelta) override;
    void UpdateRanges() override;
    void TakeOverlay() override;
    void DrawOverlay(CDC& dc) override;
    void OnLineMButtonDown(int nLine, int nColumn, UINT nFlags) override;
    void OnLineDblClk(int nLine, int nColumn, UINT nFlags) override;
    void GetLineAttributes(CLineDrawInfo* pInfo) override;
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
    // Lines dropped since the vertical position last took them into
    // account; under m_lock. The position belongs to the user-interface
    // thread, so Print leaves the shift to the next paint (or click).
    // It stops growing at kMaxDroppedLines, more lines than a store holds,
    // so that hours of output with nothing painted cannot overflow it.
    int m_nDroppedLines = 0;
    static const int kMaxDroppedLines = 1 << 30;

    // The clipboard block of the marked lines, or of all of them; null when
    // there is nothing to copy.
    HGLOBAL TakeCopy();

    // The find match as the last paint took it under the lock, and the
    // cells it covers.
    bool m_bOverlay = false;
    CLineDrawInfo m_overlay = {};
    int m_nOverlayCells = 0;
    std::string m_strOverlay;
    // The screen font as set, to be made again at another resolution.
    std::string m_strFontFace;
    int m_nFontPoints = 0;
    // Print's work string, kept so that a line costs no allocation.
    std::string m_strPrint;
};
