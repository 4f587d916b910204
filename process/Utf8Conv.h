#pragma once
// CUtf8Conv: between UTF-8 and a narrow code page (the OEM code page unless
// told otherwise). A character of the narrow code page is one byte, or two
// in a double-byte code page (936, 932, 949, 950). UTF-8 sequences of one to
// four bytes are known; a character beyond U+FFFF, which no narrow code page
// has, becomes that code page's default character. When the narrow code
// page is UTF-8 itself (the system code page 65001), a valid sequence is
// its own narrow character, and an invalid one becomes '?'.
#include <windows.h>
#include <cstddef>

#include "framework/String.h"

class CUtf8Conv {
public:
    explicit CUtf8Conv(UINT nCodePage = CP_OEMCP) : m_nCodePage(nCodePage) {}

    // Length of the valid sequence at p (1 to 4), or 0 when none starts
    // there. A byte is read only when the bytes before it allow a longer
    // sequence, so a NUL ends the text safely. The second form treats the
    // bytes from p + nAvail on as absent, for text that is not terminated.
    static int SeqLength(const char* p);
    static int SeqLength(const char* p, size_t nAvail);

    // Code point of the m_nLength bytes at p.
    unsigned Decode(const char* p) const;

    // ToNarrowChar's character when it is one byte; one that takes two
    // narrow bytes gives '?'.
    char ToNarrow(const char* p);
    char ToNarrow(const char* p, size_t nAvail);

    // The whole narrow character for the sequence at p, one or two bytes
    // (up to four in UTF-8), written to pOut; returns their count and sets
    // m_nLength to the bytes consumed. A character that the code page lacks
    // becomes its default character, never a look-alike; an invalid or
    // over-long sequence gives one '?'.
    int ToNarrowChar(const char* p, size_t nAvail, char (&pOut)[4]);

    // The code page's own number for CP_ACP, CP_OEMCP and CP_THREAD_ACP.
    static UINT Resolve(UINT nCodePage);
    static bool IsUtf8(UINT nCodePage) { return Resolve(nCodePage) == CP_UTF8; }
    // The flags WideCharToMultiByte takes for a conversion without best
    // fit: WC_NO_BEST_FIT_CHARS, except for the code pages that refuse every
    // flag but WC_ERR_INVALID_CHARS (UTF-8, GB 18030) or any flag (UTF-7,
    // the ISO-2022 and ISCII code pages, Symbol), where the call would fail.
    static DWORD NoBestFitFlags(UINT nCodePage);
    // Whether WideCharToMultiByte may be asked whether it used the default
    // character: not for UTF-7 and UTF-8, which have none.
    static bool MayAskUsedDefault(UINT nCodePage);

    // The UTF-8 form of the narrow character c (1 to 3 bytes, so pOut needs
    // room for 3); m_nLength gets the count. Returns the end of what it wrote.
    char* FromNarrow(char c, char* pOut);

    // Replaces the narrow text of s by its UTF-8 form; a double-byte
    // character goes as the one letter it is. UTF-8 text stays as it is,
    // each byte of an invalid sequence becoming '?'.
    void ToUtf8(CString& s);

    UINT m_nCodePage;
    int m_nLength = 0;
};
