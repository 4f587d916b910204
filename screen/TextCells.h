#pragma once
// CTextCells: how the screen's narrow text divides into letters and grid
// cells in one code page. In a single-byte code page a byte is a letter and
// a cell. In a double-byte code page a lead byte and the byte after it are
// one letter of two cells. In UTF-8 (the system code page 65001) a letter
// is one to four bytes and takes one cell, two for East Asian wide letters.
// Whatever the code page, no letter is ever split over two runs of drawn
// text, a search match or a picked word.
#include <windows.h>

class CTextCells {
public:
    enum Kind { SingleByte, DoubleByte, Utf8 };

    // CP_ACP and CP_OEMCP stand for the system's code pages.
    explicit CTextCells(UINT nCodePage = CP_ACP);
    // The letters of the system's ANSI code page, in which the screen keeps
    // its text; taken once.
    static const CTextCells& Ansi();

    bool IsSingleByte() const { return m_kind == SingleByte; }
    // Bytes of the letter at p (1 to 4), never reaching past a NUL; a byte
    // that begins no letter is one of its own.
    int LetterBytes(const char* p) const;
    // Bytes and cells of the letter at p.
    int Letter(const char* p, int* pnCells) const;
    // Cells of the first n bytes at p (which hold no NUL).
    int Cells(const char* p, int n) const;
    // The first letter of the text psz that begins at cell nCell or after
    // it: its byte offset (the text's length when there is none) and, in
    // *pnCell, its cell. A letter that covers nCell from a cell before it
    // is passed over, so that no half letter is drawn.
    int LetterAtOrAfter(const char* psz, int nCell, int* pnCell) const;
    // The byte offset of the letter that covers cell nCell of psz, or the
    // text's length past its end.
    int LetterCovering(const char* psz, int nCell) const;

    Kind m_kind;
    UINT m_nCodePage;   // the code page's own number

private:
    bool m_bLead[256];
};
