#include "process/Utf8Conv.h"

#include <cstdint>

namespace {

inline unsigned Byte(const char* p, size_t i) { return static_cast<unsigned char>(p[i]); }
inline bool IsContinuation(unsigned b) { return (b & 0xC0) == 0x80; }

}

int CUtf8Conv::SeqLength(const char* p)
{
    return SeqLength(p, SIZE_MAX);
}

int CUtf8Conv::SeqLength(const char* p, size_t nAvail)
{
    if (nAvail == 0)
        return 0;
    unsigned b0 = Byte(p, 0);
    if (b0 < 0x80)
        return 1;
    // C0 and C1 pass as leads here; ToNarrow rejects what they encode.
    if ((b0 & 0xE0) == 0xC0)
        return nAvail > 1 && IsContinuation(Byte(p, 1)) ? 2 : 0;
    if ((b0 & 0xF0) == 0xE0) {
        if (nAvail < 2 || !IsContinuation(Byte(p, 1)))
            return 0;
        return nAvail > 2 && IsContinuation(Byte(p, 2)) ? 3 : 0;
    }
    return 0;
}

unsigned short CUtf8Conv::Decode(const char* p) const
{
    switch (m_nLength) {
    case 2:
        return static_cast<unsigned short>(((Byte(p, 0) & 0x1F) << 6) | (Byte(p, 1) & 0x3F));
    case 3:
        return static_cast<unsigned short>(((Byte(p, 0) & 0x0F) << 12) | ((Byte(p, 1) & 0x3F) << 6)
                                           | (Byte(p, 2) & 0x3F));
    default:
        return static_cast<unsigned short>(Byte(p, 0));
    }
}

char CUtf8Conv::ToNarrow(const char* p)
{
    return ToNarrow(p, SIZE_MAX);
}

char CUtf8Conv::ToNarrow(const char* p, size_t nAvail)
{
    int n = SeqLength(p, nAvail);
    if (n == 0) {
        m_nLength = 1;
        return '?';
    }
    m_nLength = n;
    if (n == 1)
        return p[0];
    WCHAR wc = Decode(p);
    if (wc < 0x80)
        return '?';
    // Room for one byte only: a character that a double-byte code page
    // writes as two bytes makes the call fail and becomes '?'.
    char ch = '?';
    if (WideCharToMultiByte(m_nCodePage, 0, &wc, 1, &ch, 1, nullptr, nullptr) != 1)
        return '?';
    return ch;
}

char* CUtf8Conv::FromNarrow(char c, char* pOut)
{
    unsigned char b = static_cast<unsigned char>(c);
    if (b >= 0x01 && b <= 0x7F) {
        *pOut++ = c;
        m_nLength = 1;
        return pOut;
    }
    WCHAR w[2] = { 0, 0 };
    // A lead byte alone in a double-byte code page is no character; the
    // system would make some stand-in of it.
    if (IsDBCSLeadByteEx(m_nCodePage, b) || MultiByteToWideChar(m_nCodePage, 0, &c, 1, w, 2) < 1) {
        *pOut++ = '?';
        m_nLength = 1;
        return pOut;
    }
    unsigned u = w[0];
    if (u < 0x800) {
        *pOut++ = static_cast<char>(0xC0 | (u >> 6));
        *pOut++ = static_cast<char>(0x80 | (u & 0x3F));
        m_nLength = 2;
    } else {
        *pOut++ = static_cast<char>(0xE0 | (u >> 12));
        *pOut++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        *pOut++ = static_cast<char>(0x80 | (u & 0x3F));
        m_nLength = 3;
    }
    return pOut;
}

void CUtf8Conv::ToUtf8(CString& s)
{
    CString result;
    const int nLength = s.GetLength();
    const char* p = s;
    for (int i = 0; i < nLength; i++) {
        char seq[3];
        char* pEnd = FromNarrow(p[i], seq);
        result.Append(seq, int(pEnd - seq));
    }
    s = result;
}
