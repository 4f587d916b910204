#pragma once
// CUtf8Conv: one character at a time between UTF-8 and a narrow code page
// (the OEM code page unless told otherwise). Code units are 16 bits, so only
// sequences of one to three bytes are known; a four-byte sequence is four
// invalid bytes.
#include <windows.h>
#include <cstddef>

#include "framework/String.h"

class CUtf8Conv {
public:
    explicit CUtf8Conv(UINT nCodePage = CP_OEMCP) : m_nCodePage(nCodePage) {}

    // Length of the valid sequence at p (1 to 3), or 0 when none starts
    // there. A byte is read only when the bytes before it allow a longer
    // sequence, so a NUL ends the text safely. The second form treats the
    // bytes from p + nAvail on as absent, for text that is not terminated.
    static int SeqLength(const char* p);
    static int SeqLength(const char* p, size_t nAvail);

    // Code unit of the m_nLength bytes at p.
    unsigned short Decode(const char* p) const;

    // One narrow character for the sequence at p; m_nLength gets the bytes
    // consumed, at least 1. Invalid and over-long sequences and characters
    // that take two narrow bytes give '?'.
    char ToNarrow(const char* p);
    char ToNarrow(const char* p, size_t nAvail);

    // The UTF-8 form of the narrow character c (1 to 3 bytes, so pOut needs
    // room for 3); m_nLength gets the count. Returns the end of what it wrote.
    char* FromNarrow(char c, char* pOut);

    // Replaces the narrow text of s by its UTF-8 form.
    void ToUtf8(CString& s);

    UINT m_nCodePage;
    int m_nLength = 0;
};
