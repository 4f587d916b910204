#pragma once
// Case-insensitive text search over the screen's lines, forward or
// backward, continuing from the last match and wrapping after a miss.
#include "framework/String.h"

// The lines the finder walks. The finder moves its m_nLine to the line it is
// about to search before it asks for that line, so NextLine and PrevLine may
// refuse (return null) by looking at it.
class ILineSource {
public:
    virtual int FirstLine() = 0;
    virtual int LastLine() = 0;
    virtual const char* GetLine(int nIndex) = 0;
    virtual const char* NextLine(const char* pszLine) = 0;
    virtual const char* PrevLine(const char* pszLine) = 0;

protected:
    ~ILineSource() = default;
};

class CTextFinder {
public:
    void SetPattern(const char* pszPattern);
    bool SearchForward(ILineSource& source);
    bool SearchBackward(ILineSource& source);

    CString m_strPattern;
    // Line index and byte column (code byte counted) of the last match.
    int m_nLine = -1;
    int m_nColumn = -1;

private:
    void Forget() { m_nLine = m_nColumn = -1; }
};

// The word around byte i of t, or " " when i is on a delimiter or outside t.
CString ExtractWord(const char* t, int i);
