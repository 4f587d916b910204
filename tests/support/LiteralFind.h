#pragma once
// The finder's searches as first written: the pattern compared with the C
// runtime's _mbsnbicmp at every byte of every line, one line after the
// other. The reference that the finder's searches are checked and measured
// against.
#include <cstring>
#include <mbstring.h>

#include "screen/TextFinder.h"

namespace LiteralFind {

inline bool MatchesAt(const CTextFinder& f, const char* p)
{
    return _mbsnbicmp(reinterpret_cast<const unsigned char*>(p),
                      reinterpret_cast<const unsigned char*>(f.m_strPattern.GetString()),
                      size_t(f.m_strPattern.GetLength())) == 0;
}

// The line before p, which is not the first.
inline const char* PreviousLine(ILineSource& source, const char* p)
{
    const char* pFirst = source.GetLine(0);
    // p - 1 is the terminator of the line before.
    for (ptrdiff_t i = p - pFirst - 2; i >= 0; --i) {
        if (pFirst[i] == 0)
            return pFirst + i + 1;
    }
    return pFirst;
}

inline bool SearchForward(CTextFinder& f, ILineSource& source)
{
    int n = f.m_strPattern.GetLength();
    if (n == 0)
        return false;
    if (f.m_nLine < 0) {
        f.m_nLine = source.FirstLine();
        f.m_nColumn = -1;
    }
    if (f.m_nColumn < -1)
        f.m_nColumn = -1;

    const char* p = source.GetLine(f.m_nLine);
    while (p) {
        int len = int(strlen(p));
        f.m_nColumn++;
        for (; f.m_nColumn <= len - n; f.m_nColumn++) {
            if (MatchesAt(f, p + f.m_nColumn))
                return true;
        }
        f.m_nLine++;
        f.m_nColumn = -1;
        p += len + 1;
        if (f.m_nLine > source.LastLine() || p >= source.EndOfLines())
            p = nullptr;
    }
    f.m_nLine = f.m_nColumn = -1;
    return false;
}

inline bool SearchBackward(CTextFinder& f, ILineSource& source)
{
    int n = f.m_strPattern.GetLength();
    if (n == 0)
        return false;
    if (f.m_nLine < 0) {
        f.m_nLine = source.LastLine();
        f.m_nColumn = -1;
    }
    if (f.m_nColumn < -1)
        f.m_nColumn = -1;

    const char* p = source.GetLine(f.m_nLine);
    while (p) {
        int nStart = int(strlen(p)) - n + 1;
        if (f.m_nColumn == -1 || f.m_nColumn > nStart)
            f.m_nColumn = nStart;
        while (--f.m_nColumn >= 0) {
            if (MatchesAt(f, p + f.m_nColumn))
                return true;
        }
        f.m_nLine--;
        f.m_nColumn = -1;
        p = f.m_nLine >= 0 && f.m_nLine >= source.FirstLine() ? PreviousLine(source, p) : nullptr;
    }
    f.m_nLine = f.m_nColumn = -1;
    return false;
}

} // namespace LiteralFind
