#include "screen/TextCells.h"

#include <cstring>

#include "screen/LetterWidth.h"

CTextCells::CTextCells(UINT nCodePage)
{
    if (nCodePage == CP_ACP)
        nCodePage = ::GetACP();
    else if (nCodePage == CP_OEMCP)
        nCodePage = ::GetOEMCP();
    m_nCodePage = nCodePage;
    CPINFO info = {};
    m_kind = nCodePage == CP_UTF8 ? Utf8
        : ::GetCPInfo(nCodePage, &info) && info.MaxCharSize == 2 ? DoubleByte : SingleByte;
    memset(m_bLead, 0, sizeof m_bLead);
    if (m_kind == DoubleByte) {
        for (int b = 0x80; b < 256; ++b)
            m_bLead[b] = ::IsDBCSLeadByteEx(nCodePage, BYTE(b)) != FALSE;
    }
}

const CTextCells& CTextCells::Ansi()
{
    static const CTextCells s_ansi(CP_ACP);
    return s_ansi;
}

int CTextCells::Letter(const char* p, int* pnCells) const
{
    const unsigned char* q = reinterpret_cast<const unsigned char*>(p);
    switch (m_kind) {
    case DoubleByte:
        if (m_bLead[q[0]] && q[1] != 0) {
            *pnCells = 2;
            return 2;
        }
        break;
    case Utf8:
        if (q[0] >= 0x80)
            return LetterWidth::Letter(q, strnlen(p, 4), pnCells);
        break;
    case SingleByte:
        break;
    }
    *pnCells = 1;
    return 1;
}

int CTextCells::LetterBytes(const char* p) const
{
    int nCells;
    return Letter(p, &nCells);
}

int CTextCells::Cells(const char* p, int n) const
{
    if (n <= 0)
        return 0;
    switch (m_kind) {
    case Utf8:
        return LetterWidth::Cells(p, size_t(n));
    default:
        // A double-byte letter is two bytes and two cells.
        return n;
    }
}

int CTextCells::LetterAtOrAfter(const char* psz, int nCell, int* pnCell) const
{
    int i = 0, c = 0;
    if (m_kind == SingleByte) {
        const int n = int(strnlen(psz, size_t(nCell > 0 ? nCell : 0)));
        *pnCell = n;
        return n;
    }
    while (psz[i] != 0 && c < nCell) {
        int nCells;
        i += Letter(psz + i, &nCells);
        c += nCells;
    }
    *pnCell = c;
    return i;
}

int CTextCells::LetterCovering(const char* psz, int nCell) const
{
    if (m_kind == SingleByte)
        return int(strnlen(psz, size_t(nCell > 0 ? nCell : 0)));
    int i = 0, c = 0;
    while (psz[i] != 0) {
        int nCells;
        const int n = Letter(psz + i, &nCells);
        if (c + nCells > nCell)
            return i;
        i += n;
        c += nCells;
    }
    return i;
}
