#include "settings/SettingItems.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "settings/ConfigFile.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The readers below follow the C library's scanf conversions ("%d", a
// literal, "%[...]", "%Ns"), except that a number outside the int range
// refuses the whole text instead of storing an undefined value.
enum ScanResult { kScanned, kNoMatch, kOutOfRange };

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

ScanResult ScanInt(const char*& p, int& nValue)
{
    const char* q = p;
    while (CString::IsSpace(*q))
        ++q;
    bool bNegative = false;
    if (*q == '+' || *q == '-')
        bNegative = *q++ == '-';
    if (!IsDigit(*q))
        return kNoMatch;
    const long long nLimit = bNegative ? -(long long)INT_MIN : INT_MAX;
    long long n = 0;
    bool bTooBig = false;
    for (; IsDigit(*q); ++q) {
        if (!bTooBig) {
            n = n * 10 + (*q - '0');
            bTooBig = n > nLimit;
        }
    }
    if (bTooBig)
        return kOutOfRange;
    nValue = int(bNegative ? -n : n);
    p = q;
    return kScanned;
}

bool ScanLiteral(const char*& p, char ch)
{
    if (*p != ch)
        return false;
    ++p;
    return true;
}

bool IsFaceChar(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || IsDigit(ch) || ch == '_';
}

// "%25[a-zA-Z_0-9]"
bool ScanFace(const char*& p, CString& strFace)
{
    int n = 0;
    while (n < 25 && IsFaceChar(p[n]))
        ++n;
    if (n == 0)
        return false;
    strFace = CString(p, n);
    p += n;
    return true;
}

// "%3s"
bool ScanWord3(const char*& p, CString& strWord)
{
    const char* q = p;
    while (CString::IsSpace(*q))
        ++q;
    int n = 0;
    while (n < 3 && q[n] != 0 && !CString::IsSpace(q[n]))
        ++n;
    if (n == 0)
        return false;
    strWord = CString(q, n);
    p = q + n;
    return true;
}

bool StartsWithMax(const char* psz)
{
    static const char kMax[] = "max";
    for (int i = 0; i < 3; ++i) {
        char ch = psz[i];
        if (ch >= 'A' && ch <= 'Z')
            ch = char(ch - 'A' + 'a');
        if (ch != kMax[i])
            return false;
    }
    return true;
}

// strtol over the whole of psz, which must stop exactly at pszEnd, and the
// number must fit an int.
bool ConvertExactly(const char* psz, const char* pszEnd, int nBase, int& nValue)
{
    char* pStop = nullptr;
    errno = 0;
    const long n = strtol(psz, &pStop, nBase);
    if (pStop != pszEnd || errno == ERANGE || n < INT_MIN || n > INT_MAX)
        return false;
    nValue = int(n);
    return true;
}

// The running program's full path, empty if it cannot be had.
CString ModulePath()
{
#ifdef _WIN32
    for (DWORD nSize = MAX_PATH; nSize <= 32768; nSize *= 2) {
        std::vector<char> buffer(nSize);
        const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), nSize);
        if (n == 0)
            return CString();
        if (n < nSize)
            return CString(buffer.data(), int(n));
    }
#endif
    return CString();
}

} // namespace

CSettingSection::CSettingSection(CConfigFile* pConfig, const char* pszName)
    : m_name(pszName)
{
    if (pConfig != nullptr)
        pConfig->m_sections.Append(this);
}

CSettingSection::~CSettingSection() = default;

CSettingItem::CSettingItem(CSettingSection* pSection, const char* pszName)
{
    if (pSection != nullptr && pszName != nullptr) {
        m_name = pszName;
        if (!m_name.IsEmpty())
            pSection->m_items.Append(this);
    }
}

CSettingItem::~CSettingItem() = default;

CStringSetting::CStringSetting(CSettingSection* pSection, const char* pszName, const char* pszDefault)
    : CSettingItem(pSection, pszName), m_value(pszDefault)
{
}

bool CStringSetting::ParseValue(const char* pszText)
{
    if (pszText == nullptr)
        return false;
    m_value = pszText;
    return true;
}

CPathSetting::CPathSetting(CSettingSection* pSection, const char* pszName, const char* pszDefault)
    : CStringSetting(pSection, pszName, pszDefault)
{
}

bool CPathSetting::ParseValue(const char* pszText)
{
    if (pszText == nullptr)
        return false;
    m_value = pszText;
    // Empty means "found on the search path": no backslash to add.
    if (pszText[0] == 0)
        return true;
    if (pszText[0] == '$' && pszText[1] == '\\') {
        const CString strModule = ModulePath();
        int nLastSlash = -1;
        for (int i = 0; i < strModule.GetLength(); ++i) {
            if (strModule[i] == '\\')
                nLastSlash = i;
        }
        if (nLastSlash >= 0)
            m_value = strModule.Left(nLastSlash) + (pszText + 1);
    }
    if (pszText[strlen(pszText) - 1] != '\\')
        m_value += '\\';
    return true;
}

CIntSetting::CIntSetting(CSettingSection* pSection, const char* pszName, int nValue, int nMin, int nMax)
    : CSettingItem(pSection, pszName), m_value(nValue), m_min(nMin), m_max(nMax)
{
}

bool CIntSetting::ParseValue(const char* pszText)
{
    if (pszText == nullptr || !IsDigit(pszText[0]))
        return false;
    const char* pszEnd = pszText + strlen(pszText);
    int n = 0;
    bool bOk;
    if (pszText[0] == '0' && pszText[1] == 'x' && pszText[2] != 0)
        bOk = ConvertExactly(pszText + 2, pszEnd, 16, n);
    else if (pszEnd[-1] == 'h')
        bOk = ConvertExactly(pszText, pszEnd - 1, 16, n);
    else
        bOk = ConvertExactly(pszText, pszEnd, 10, n);
    if (!bOk || n < m_min || n > m_max)
        return false;
    m_value = n;
    return true;
}

CPlacementSetting::CPlacementSetting(CSettingSection* pSection, const char* pszName,
                                     int x, int y, int nWidth, int nHeight, bool bMaximized)
    : CSettingItem(pSection, pszName),
      m_x(x), m_y(y), m_width(nWidth), m_height(nHeight), m_maximized(bMaximized)
{
}

bool CPlacementSetting::ParseValue(const char* pszText)
{
    if (pszText == nullptr)
        return false;
    if (StartsWithMax(pszText)) {
        m_maximized = true;
        return true;
    }
    // "%d,%d,%d,%d"
    int values[4] = {};
    int nScanned = 0;
    const char* p = pszText;
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && !ScanLiteral(p, ','))
            break;
        const ScanResult r = ScanInt(p, values[i]);
        if (r == kOutOfRange)
            return false;
        if (r != kScanned)
            break;
        ++nScanned;
    }
    if (nScanned != 2 && nScanned != 4)
        return false;
    m_x = values[0];
    m_y = values[1];
    if (nScanned == 4) {
        m_width = values[2];
        m_height = values[3];
    }
    return true;
}

CFontSetting::CFontSetting(CSettingSection* pSection, const char* pszName,
                           const char* pszFace, int nSize, bool bItalic, bool bBold)
    : CSettingItem(pSection, pszName), m_face(pszFace), m_size(nSize), m_italic(bItalic), m_bold(bBold)
{
}

bool CFontSetting::ParseValue(const char* pszText)
{
    if (pszText == nullptr)
        return false;
    // "%25[a-zA-Z_0-9],%d,%3s"
    CString strFace, strStyle;
    int nSize = 0;
    int nScanned = 0;
    const char* p = pszText;
    if (ScanFace(p, strFace)) {
        nScanned = 1;
        if (ScanLiteral(p, ',')) {
            const ScanResult r = ScanInt(p, nSize);
            if (r == kOutOfRange)
                return false;
            if (r == kScanned) {
                nScanned = 2;
                if (ScanLiteral(p, ',') && ScanWord3(p, strStyle))
                    nScanned = 3;
            }
        }
    }
    if (nScanned == 0)
        return false;
    if (nScanned == 3) {
        const int nLen = strStyle.GetLength();
        if (nLen > 2)
            return false;
        bool bBold = false, bItalic = false;
        for (int i = 0; i < nLen; ++i) {
            bool& bFlag = strStyle[i] == 'B' ? bBold : bItalic;
            if ((strStyle[i] != 'B' && strStyle[i] != 'I') || bFlag)
                return false;
            bFlag = true;
        }
        m_bold = bBold;
        m_italic = bItalic;
    }
    if (nScanned >= 2)
        m_size = nSize;
    m_face = strFace;
    return true;
}

CColorSetting::CColorSetting(CSettingSection* pSection, const char* pszName, COLORREF crValue)
    : CSettingItem(pSection, pszName), m_value(crValue)
{
}

bool CColorSetting::ParseValue(const char* pszText)
{
    if (pszText == nullptr)
        return false;
    // "(%d,%d,%d)"; what follows the third number is not looked at.
    int rgb[3] = {};
    const char* p = pszText;
    if (!ScanLiteral(p, '('))
        return false;
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && !ScanLiteral(p, ','))
            return false;
        if (ScanInt(p, rgb[i]) != kScanned || rgb[i] < 0 || rgb[i] > 255)
            return false;
    }
    m_value = COLORREF(rgb[0]) + COLORREF(rgb[1]) * 256 + COLORREF(rgb[2]) * 65536;
    return true;
}
