#pragma once
// Case-insensitive text search over the screen's lines, forward or
// backward, continuing from the last match and wrapping after a miss.
#include "framework/String.h"

// The lines the finder searches. They lie one after another in memory, each
// followed by its terminator, the way the screen's store keeps them. A
// search looks at the line it starts on, then forward up to LastLine or
// backward down to FirstLine: the marked lines, or all of them.
class ILineSource {
public:
    virtual int FirstLine() = 0;
    virtual int LastLine() = 0;
    // A line, or null when there is none at that index.
    virtual const char* GetLine(int nIndex) = 0;
    // Just past the last line's terminator.
    virtual const char* EndOfLines() = 0;

protected:
    ~ILineSource() = default;
};

class CTextFinder {
public:
    void SetPattern(const char* pszPattern);
    bool SearchForward(ILineSource& source);
    bool SearchBackward(ILineSource& source);

    CString m_strPattern;
    // The lines are UTF-8 (the system code page 65001), which the C
    // runtime's comparison does not know.
    bool m_bUtf8 = false;
    // Line index and byte column (code byte counted) of the last match.
    int m_nLine = -1;
    int m_nColumn = -1;

private:
    void Forget() { m_nLine = m_nColumn = -1; }
    // The line a search starts on: the last match's, or without one the
    // first (forward) or last line it may look at. Null when it is not there.
    const unsigned char* StartLine(ILineSource& source, bool bForward);
};

// The word around byte i of t, or " " when i is on a delimiter or outside t.
CString ExtractWord(const char* t, int i);
