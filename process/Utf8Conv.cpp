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
    // F0 to F4 lead the four-byte forms of U+10000 to U+10FFFF (emoji and
    // the like); F5 and above lead nothing.
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        for (size_t k = 1; k < 4; k++)
            if (nAvail <= k || !IsContinuation(Byte(p, k)))
                return 0;
        return 4;
    }
    return 0;
}

unsigned CUtf8Conv::Decode(const char* p) const
{
    switch (m_nLength) {
    case 2:
        return ((Byte(p, 0) & 0x1F) << 6) | (Byte(p, 1) & 0x3F);
    case 3:
        return ((Byte(p, 0) & 0x0F) << 12) | ((Byte(p, 1) & 0x3F) << 6) | (Byte(p, 2) & 0x3F);
    case 4:
        return ((Byte(p, 0) & 0x07) << 18) | ((Byte(p, 1) & 0x3F) << 12) | ((Byte(p, 2) & 0x3F) << 6)
               | (Byte(p, 3) & 0x3F);
    default:
        return Byte(p, 0);
    }
}

char CUtf8Conv::ToNarrow(const char* p)
{
    return ToNarrow(p, SIZE_MAX);
}

UINT CUtf8Conv::Resolve(UINT nCodePage)
{
    switch (nCodePage) {
    case CP_ACP: return GetACP();
    case CP_OEMCP: return GetOEMCP();
    case CP_THREAD_ACP: return GetACP();
    default: return nCodePage;
    }
}

DWORD CUtf8Conv::NoBestFitFlags(UINT nCodePage)
{
    const UINT n = Resolve(nCodePage);
    if (n == CP_UTF8 || n == CP_UTF7 || n == 54936 || n == 42 || (n >= 50220 && n <= 50229) || (n >= 57002 && n <= 57011))
        return 0;
    return WC_NO_BEST_FIT_CHARS;
}

bool CUtf8Conv::MayAskUsedDefault(UINT nCodePage)
{
    const UINT n = Resolve(nCodePage);
    return n != CP_UTF8 && n != CP_UTF7;
}

char CUtf8Conv::ToNarrow(const char* p, size_t nAvail)
{
    // A character that takes two bytes has no single one: '?'.
    char ch[4];
    return ToNarrowChar(p, nAvail, ch) == 1 ? ch[0] : '?';
}

int CUtf8Conv::ToNarrowChar(const char* p, size_t nAvail, char (&pOut)[4])
{
    int n = SeqLength(p, nAvail);
    m_nLength = n == 0 ? 1 : n;
    pOut[0] = '?';
    if (n == 0)
        return 1;
    if (n == 1) {
        pOut[0] = p[0];
        return 1;
    }
    unsigned u = Decode(p);
    if (IsUtf8(m_nCodePage)) {
        // Stored as it came, once it is known to be one valid letter: no
        // over-long form, no surrogate.
        if (u < 0x80 || (n == 3 && (u < 0x800 || (u >= 0xD800 && u <= 0xDFFF)))
            || (n == 4 && (u < 0x10000 || u > 0x10FFFF)))
            return 1;
        for (int k = 0; k < n; ++k)
            pOut[k] = p[k];
        return n;
    }
    // Over-long forms (of ASCII, or a four-byte form below U+10000) and
    // values past U+10FFFF are no character.
    if (u < 0x80 || (n == 4 && (u < 0x10000 || u > 0x10FFFF)))
        return 1;
    if (u > 0xFFFF) {
        // No narrow code page has these: the code page's default
        // character, once for the letter rather than once per half of it.
        CPINFO info;
        if (!GetCPInfo(m_nCodePage, &info))
            return 1;
        pOut[0] = static_cast<char>(info.DefaultChar[0]);
        pOut[1] = static_cast<char>(info.DefaultChar[1]);
        return info.DefaultChar[1] ? 2 : 1;
    }
    WCHAR wc = static_cast<WCHAR>(u);
    // No best fit: a letter the code page lacks becomes the default
    // character rather than some other letter that looks like it.
    const DWORD dwFlags = NoBestFitFlags(m_nCodePage);
    int k = WideCharToMultiByte(m_nCodePage, dwFlags, &wc, 1, pOut, 2, nullptr, nullptr);
    if (k < 1 && dwFlags != 0)
        k = WideCharToMultiByte(m_nCodePage, 0, &wc, 1, pOut, 2, nullptr, nullptr);
    if (k < 1) {
        pOut[0] = '?';
        return 1;
    }
    return k;
}

namespace {
// The UTF-8 form of one code point below U+110000.
char* Encode(unsigned u, char* pOut)
{
    if (u < 0x80) {
        *pOut++ = static_cast<char>(u);
    } else if (u < 0x800) {
        *pOut++ = static_cast<char>(0xC0 | (u >> 6));
        *pOut++ = static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        *pOut++ = static_cast<char>(0xE0 | (u >> 12));
        *pOut++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        *pOut++ = static_cast<char>(0x80 | (u & 0x3F));
    } else {
        *pOut++ = static_cast<char>(0xF0 | (u >> 18));
        *pOut++ = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
        *pOut++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        *pOut++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    return pOut;
}
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
    if (IsUtf8(m_nCodePage)) {
        for (int i = 0; i < nLength;) {
            char ch[4];
            const int k = ToNarrowChar(p + i, size_t(nLength - i), ch);
            result.Append(ch, k);
            i += m_nLength;
        }
        s = result;
        return;
    }
    for (int i = 0; i < nLength; i++) {
        char seq[8];
        char* pEnd;
        const unsigned char b = static_cast<unsigned char>(p[i]);
        WCHAR w[2] = { 0, 0 };
        int nUnits;
        // A lead byte and the byte after it are one letter of a double-byte
        // code page; alone, a lead byte is no letter.
        if (b >= 0x80 && i + 1 < nLength && p[i + 1] != 0 && IsDBCSLeadByteEx(m_nCodePage, b)
            && (nUnits = MultiByteToWideChar(m_nCodePage, 0, p + i, 2, w, 2)) >= 1) {
            unsigned u = w[0];
            if (nUnits == 2 && u >= 0xD800 && u < 0xDC00 && w[1] >= 0xDC00 && w[1] < 0xE000)
                u = 0x10000 + ((u - 0xD800) << 10) + (w[1] - 0xDC00u);
            pEnd = Encode(u, seq);
            i++;
        } else {
            pEnd = FromNarrow(p[i], seq);
        }
        result.Append(seq, int(pEnd - seq));
    }
    s = result;
}
