// The host build's code pages and multibyte comparisons, made with glibc's
// iconv so that they are an independent second reading of the code pages
// the Windows build gets from the system (the code page table test checks
// both against one table).
#include <windows.h>
#include <mbstring.h>

#include <iconv.h>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>

namespace {

const UINT kOemCodePage = 437;
const UINT kAnsiCodePage = 1252;

[[noreturn]] void NotOnHost(const char* pszName)
{
    fprintf(stderr, "%s is not available in the host build\n", pszName);
    abort();
}

// One code page both ways, as iconv reads it. Every answer is asked of
// iconv once, when the code page is first used, and kept in two tables:
// the conversions are then lookups, fast for the fuzzers and free of
// iconv's state between threads.
class CCodePage {
public:
    explicit CCodePage(const char* pszName)
    {
        iconv_t toWide = iconv_open("UTF-16LE", pszName);
        iconv_t fromWide = iconv_open(pszName, "UTF-16LE");
        if (toWide == iconv_t(-1) || fromWide == iconv_t(-1)) {
            fprintf(stderr, "iconv knows no code page %s\n", pszName);
            abort();
        }
        for (int b = 0; b < 256; ++b)
            m_wide[b] = AskToWide(toWide, static_cast<unsigned char>(b));
        for (int w = 0; w < 0x10000; ++w)
            m_byte[w] = AskFromWide(fromWide, WCHAR(w));
        // Windows gives the bytes that the code page leaves undefined (five
        // in 1252) the code unit of the same value; iconv refuses them.
        for (int b = 0x80; b < 256; ++b) {
            if (m_wide[b] == kNone) {
                m_wide[b] = WCHAR(b);
                if (m_byte[b] < 0)
                    m_byte[b] = short(b);
            }
        }
        iconv_close(toWide);
        iconv_close(fromWide);
    }

    WCHAR ToWide(unsigned char b) const { return m_wide[b]; }

    // False when the code page has no byte for w.
    bool FromWide(WCHAR w, unsigned char& b) const
    {
        if (m_byte[w] < 0)
            return false;
        b = static_cast<unsigned char>(m_byte[w]);
        return true;
    }

private:
    static const WCHAR kNone = 0xFFFF;

    static WCHAR AskToWide(iconv_t cd, unsigned char b)
    {
        char in = char(b);
        unsigned char out[4];
        char* pIn = &in;
        char* pOut = reinterpret_cast<char*>(out);
        size_t nIn = 1, nOut = sizeof out;
        size_t r = iconv(cd, &pIn, &nIn, &pOut, &nOut);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (r == size_t(-1) || sizeof out - nOut != 2)
            return kNone;
        return WCHAR(out[0] | (out[1] << 8));
    }

    static short AskFromWide(iconv_t cd, WCHAR w)
    {
        unsigned char in[2] = { static_cast<unsigned char>(w & 0xFF), static_cast<unsigned char>(w >> 8) };
        char out[8];
        char* pIn = reinterpret_cast<char*>(in);
        char* pOut = out;
        size_t nIn = 2, nOut = sizeof out;
        size_t r = iconv(cd, &pIn, &nIn, &pOut, &nOut);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (r == size_t(-1) || sizeof out - nOut != 1)
            return -1;
        return static_cast<unsigned char>(out[0]);
    }

    WCHAR m_wide[256];
    short m_byte[0x10000];
};

CCodePage* CodePage(UINT nCodePage)
{
    static CCodePage s_oem("IBM437");
    static CCodePage s_ansi("CP1252");
    switch (nCodePage) {
    case CP_OEMCP:
    case kOemCodePage:
        return &s_oem;
    case CP_ACP:
    case kAnsiCodePage:
        return &s_ansi;
    default:
        return nullptr;
    }
}

// Lower case of each byte of the ANSI code page, as its locale folds it:
// through the code unit, folded by the C library's wide lower case.
struct CFoldTable {
    unsigned char lower[256];

    CFoldTable()
    {
        locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
        if (loc == locale_t(0)) {
            fprintf(stderr, "no C.UTF-8 locale for case folding\n");
            abort();
        }
        CCodePage* pAnsi = CodePage(CP_ACP);
        for (int b = 0; b < 256; ++b) {
            lower[b] = static_cast<unsigned char>(b);
            WCHAR w = pAnsi->ToWide(static_cast<unsigned char>(b));
            WCHAR l = WCHAR(towlower_l(wint_t(w), loc));
            unsigned char lb;
            if (l != w && pAnsi->FromWide(l, lb))
                lower[b] = lb;
        }
        freelocale(loc);
    }
};

int FoldAnsi(unsigned char b)
{
    static const CFoldTable s_table;
    return s_table.lower[b];
}

} // namespace

BOOL GetCPInfo(UINT nCodePage, CPINFO* pInfo)
{
    if (CodePage(nCodePage) == nullptr || pInfo == nullptr)
        return FALSE;
    *pInfo = CPINFO{};
    pInfo->MaxCharSize = 1;
    pInfo->DefaultChar[0] = '?';
    return TRUE;
}

int MultiByteToWideChar(UINT nCodePage, DWORD, const char* pSrc, int nSrc, WCHAR* pDst, int nDst)
{
    CCodePage* pPage = CodePage(nCodePage);
    if (pPage == nullptr || pSrc == nullptr || nSrc == 0)
        return 0;
    if (nSrc < 0)
        nSrc = int(strlen(pSrc)) + 1;
    if (nDst == 0)
        return nSrc;   // the size it would need: one unit per byte
    if (pDst == nullptr || nDst < nSrc)
        return 0;
    for (int i = 0; i < nSrc; ++i)
        pDst[i] = pPage->ToWide(static_cast<unsigned char>(pSrc[i]));
    return nSrc;
}

int WideCharToMultiByte(UINT nCodePage, DWORD, const WCHAR* pSrc, int nSrc, char* pDst, int nDst,
                        const char* pDefault, BOOL* pUsedDefault)
{
    CCodePage* pPage = CodePage(nCodePage);
    if (pPage == nullptr || pSrc == nullptr || nSrc == 0)
        return 0;
    if (nSrc < 0) {
        nSrc = 0;
        while (pSrc[nSrc] != 0)
            ++nSrc;
        ++nSrc;
    }
    if (pUsedDefault != nullptr)
        *pUsedDefault = FALSE;
    if (nDst == 0)
        return nSrc;
    if (pDst == nullptr || nDst < nSrc)
        return 0;
    for (int i = 0; i < nSrc; ++i) {
        unsigned char b;
        if (!pPage->FromWide(pSrc[i], b)) {
            b = static_cast<unsigned char>(pDefault != nullptr ? *pDefault : '?');
            if (pUsedDefault != nullptr)
                *pUsedDefault = TRUE;
        }
        pDst[i] = char(b);
    }
    return nSrc;
}

// White space of the ANSI code page: what the C library counts as white
// space in the code unit, and the no-break space, which the system's
// character types count as a blank and glibc does not.
int KbAnsiIsSpace(int c)
{
    if (c < 0 || c > 255)
        return 0;
    static const struct CSpaces {
        bool space[256];
        CSpaces()
        {
            locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
            for (int b = 0; b < 256; ++b) {
                const WCHAR w = CodePage(CP_ACP)->ToWide(static_cast<unsigned char>(b));
                space[b] = iswspace_l(wint_t(w), loc) || w == 0x00A0;
            }
            freelocale(loc);
        }
    } s_spaces;
    return s_spaces.space[c] ? 8 : 0;
}

UINT GetACP(void) { return 1252; }
UINT GetOEMCP(void) { return 437; }

DWORD CharUpperBuffW(WCHAR* p, DWORD n)
{
    for (DWORD i = 0; i < n; ++i)
        p[i] = WCHAR(towupper(wint_t(p[i])));
    return n;
}

DWORD CharLowerBuffW(WCHAR* p, DWORD n)
{
    for (DWORD i = 0; i < n; ++i)
        p[i] = WCHAR(towlower(wint_t(p[i])));
    return n;
}

BOOL IsDBCSLeadByteEx(UINT, unsigned char)
{
    return FALSE;   // both code pages are single-byte
}

int _mbsicmp(const unsigned char* s1, const unsigned char* s2)
{
    return _mbsnbicmp(s1, s2, size_t(-1));
}

int _mbsnbicmp(const unsigned char* s1, const unsigned char* s2, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        int a = FoldAnsi(s1[i]);
        int b = FoldAnsi(s2[i]);
        if (a != b)
            return a - b;
        if (a == 0)
            return 0;
    }
    return 0;
}

int _ismbblead(unsigned int)
{
    return 0;
}

// Only asked of double-byte characters.
unsigned int _mbctolower(unsigned int) { NotOnHost("_mbctolower"); }
unsigned int _mbctoupper(unsigned int) { NotOnHost("_mbctoupper"); }

LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM) { NotOnHost("SendMessageA"); }
void* LocalLock(HLOCAL) { NotOnHost("LocalLock"); }
BOOL LocalUnlock(HLOCAL) { NotOnHost("LocalUnlock"); }
HLOCAL LocalFree(HLOCAL) { NotOnHost("LocalFree"); }
