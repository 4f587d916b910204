#include "screen/TextFinder.h"

#include <cstring>
#include <mbstring.h>

void CTextFinder::SetPattern(const char* pszPattern)
{
    m_strPattern = pszPattern;
    Forget();
}

bool CTextFinder::MatchesAt(const char* p) const
{
    return _mbsnbicmp(reinterpret_cast<const unsigned char*>(p),
                      reinterpret_cast<const unsigned char*>(m_strPattern.GetString()),
                      size_t(m_strPattern.GetLength())) == 0;
}

bool CTextFinder::SearchForward(ILineSource& source)
{
    int n = m_strPattern.GetLength();
    if (n == 0)
        return false;
    // Any negative index means "no position"; a column below -1 would read
    // before the line.
    if (m_nLine < 0) {
        m_nLine = source.FirstLine();
        m_nColumn = -1;
    }
    if (m_nColumn < -1)
        m_nColumn = -1;

    const char* p = source.GetLine(m_nLine);
    while (p) {
        int len = int(strlen(p));
        m_nColumn++;
        for (; m_nColumn <= len - n; m_nColumn++) {
            if (MatchesAt(p + m_nColumn))
                return true;
        }
        m_nLine++;
        m_nColumn = -1;
        p = source.NextLine(p);
    }
    Forget();
    return false;
}

bool CTextFinder::SearchBackward(ILineSource& source)
{
    int n = m_strPattern.GetLength();
    if (n == 0)
        return false;
    if (m_nLine < 0) {
        m_nLine = source.LastLine();
        m_nColumn = -1;
    }
    if (m_nColumn < -1)
        m_nColumn = -1;

    const char* p = source.GetLine(m_nLine);
    while (p) {
        int nStart = int(strlen(p)) - n + 1;
        // The last line can shrink (a backspace in continued output) after
        // the match was found: never start past where a match can begin.
        if (m_nColumn == -1 || m_nColumn > nStart)
            m_nColumn = nStart;
        while (--m_nColumn >= 0) {
            if (MatchesAt(p + m_nColumn))
                return true;
        }
        m_nLine--;
        m_nColumn = -1;
        p = source.PrevLine(p);
    }
    Forget();
    return false;
}

static bool IsWordDelimiter(unsigned char c)
{
    switch (c) {
    case 0: case ' ': case '\t': case '\n': case '\v': case '\f': case '\r':
    case ':': case '=':
        return true;
    default:
        return false;
    }
}

CString ExtractWord(const char* t, int i)
{
    if (!t)
        return CString(" ");
    int len = int(strlen(t));
    auto at = [&](int k) -> unsigned char {
        return k >= 0 && k < len ? static_cast<unsigned char>(t[k]) : 0;
    };
    if (IsWordDelimiter(at(i)))
        return CString(" ");
    int b = i;
    while (!IsWordDelimiter(at(b - 1)))
        b--;
    int e = i;
    while (!IsWordDelimiter(at(e + 1)))
        e++;
    return CString(t + b, e - b + 1);
}
