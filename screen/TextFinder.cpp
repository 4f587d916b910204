#include "screen/TextFinder.h"

#include <cstring>

void CTextFinder::SetPattern(const char* pszPattern)
{
    m_strPattern = pszPattern;
    Forget();
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
