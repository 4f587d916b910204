// The settings' text forms. Properties: a refused text leaves the item
// exactly as it was; an accepted one sets what the C library's own reading
// of the form (sscanf with the form's format, strtoll) says, and nothing
// else; numbers that do not fit an int are refused, never stored.
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings/SettingItems.h"
#include "targets/FuzzCheck.h"

namespace {

bool Fits(long long n) { return n >= INT_MIN && n <= INT_MAX; }

// Every number that sscanf's "%lld" conversions read is inside int range.
bool AllFit(const long long* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (!Fits(p[i]))
            return false;
    return true;
}

// strtoll over [psz, pszEnd) must stop exactly at pszEnd.
bool Convert(const char* psz, const char* pszEnd, int nBase, long long& n)
{
    char* pStop = nullptr;
    errno = 0;
    n = strtoll(psz, &pStop, nBase);
    return pStop == pszEnd && errno != ERANGE;
}

void CheckInt(const std::string& text, int nMin, int nMax, int nStart)
{
    CIntSetting item(nullptr, nullptr, nStart, nMin, nMax);
    const bool bOk = item.ParseValue(text.c_str());

    const char* psz = text.c_str();
    const char* pszEnd = psz + strlen(psz);
    bool bExpect = false;
    long long n = 0;
    if (isdigit(static_cast<unsigned char>(psz[0]))) {
        if (psz[0] == '0' && psz[1] == 'x' && psz[2] != 0)
            bExpect = Convert(psz + 2, pszEnd, 16, n);
        else if (pszEnd[-1] == 'h')
            bExpect = Convert(psz, pszEnd - 1, 16, n);
        else
            bExpect = Convert(psz, pszEnd, 10, n);
        bExpect = bExpect && n >= nMin && n <= nMax;
    }
    if (bOk != bExpect)
        fprintf(stderr, "int '%s' in %d..%d: %d, expected %d\n", Escaped(text).c_str(), nMin, nMax, bOk, bExpect);
    KB_CHECK(bOk == bExpect);
    KB_CHECK(item.m_value == (bOk ? int(n) : nStart));
    KB_CHECK(item.m_min == nMin && item.m_max == nMax);
}

void CheckPlacement(const std::string& text, FuzzedDataProvider& in)
{
    const int x0 = in.ConsumeIntegral<int>(), y0 = in.ConsumeIntegral<int>();
    const int w0 = in.ConsumeIntegral<int>(), h0 = in.ConsumeIntegral<int>();
    const bool bMax0 = in.ConsumeBool();
    CPlacementSetting item(nullptr, nullptr, x0, y0, w0, h0, bMax0);
    const bool bOk = item.ParseValue(text.c_str());

    const char* psz = text.c_str();
    if (strncasecmp(psz, "max", 3) == 0) {
        KB_CHECK(bOk);
        KB_CHECK(item.m_maximized);
        KB_CHECK(item.m_x == x0 && item.m_y == y0 && item.m_width == w0 && item.m_height == h0);
        return;
    }
    long long v[4] = {};
    const int n = sscanf(psz, "%lld,%lld,%lld,%lld", &v[0], &v[1], &v[2], &v[3]);
    const bool bExpect = (n == 2 || n == 4) && AllFit(v, n);
    if (bOk != bExpect)
        fprintf(stderr, "placement '%s': %d, expected %d (%d numbers)\n", Escaped(text).c_str(), bOk, bExpect, n);
    KB_CHECK(bOk == bExpect);
    KB_CHECK(item.m_maximized == bMax0);
    KB_CHECK(item.m_x == (bOk ? int(v[0]) : x0));
    KB_CHECK(item.m_y == (bOk ? int(v[1]) : y0));
    KB_CHECK(item.m_width == (bOk && n == 4 ? int(v[2]) : w0));
    KB_CHECK(item.m_height == (bOk && n == 4 ? int(v[3]) : h0));
}

void CheckFont(const std::string& text, FuzzedDataProvider& in)
{
    const std::string face0 = in.ConsumeBool() ? "Courier" : "Arial";
    const int size0 = in.ConsumeIntegral<int>();
    const bool bItalic0 = in.ConsumeBool(), bBold0 = in.ConsumeBool();
    CFontSetting item(nullptr, nullptr, face0.c_str(), size0, bItalic0, bBold0);
    const bool bOk = item.ParseValue(text.c_str());

    char face[26] = {};
    long long size = 0;
    char style[4] = {};
    const int n = sscanf(text.c_str(), "%25[a-zA-Z_0-9],%lld,%3s", face, &size, style);
    bool bExpect = n >= 1 && (n < 2 || Fits(size));
    bool bBold = bBold0, bItalic = bItalic0;
    if (bExpect && n == 3) {
        const std::string s = style;
        bExpect = s == "B" || s == "I" || s == "BI" || s == "IB";
        bBold = s.find('B') != std::string::npos;
        bItalic = s.find('I') != std::string::npos;
    }
    if (bOk != bExpect)
        fprintf(stderr, "font '%s': %d, expected %d (%d fields)\n", Escaped(text).c_str(), bOk, bExpect, n);
    KB_CHECK(bOk == bExpect);
    if (!bOk) {
        KB_CHECK(item.m_face == face0.c_str() && item.m_size == size0);
        KB_CHECK(item.m_italic == bItalic0 && item.m_bold == bBold0);
        return;
    }
    KB_CHECK(item.m_face == face);
    KB_CHECK(item.m_size == (n >= 2 ? int(size) : size0));
    KB_CHECK(item.m_bold == bBold && item.m_italic == bItalic);
}

void CheckColor(const std::string& text, FuzzedDataProvider& in)
{
    const COLORREF cr0 = in.ConsumeIntegral<uint32_t>() & 0xFFFFFF;
    CColorSetting item(nullptr, nullptr, cr0);
    const bool bOk = item.ParseValue(text.c_str());

    long long rgb[3] = {};
    const int n = sscanf(text.c_str(), "(%lld,%lld,%lld)", &rgb[0], &rgb[1], &rgb[2]);
    bool bExpect = n == 3;
    for (int i = 0; bExpect && i < 3; ++i)
        bExpect = rgb[i] >= 0 && rgb[i] <= 255;
    if (bOk != bExpect)
        fprintf(stderr, "colour '%s': %d, expected %d\n", Escaped(text).c_str(), bOk, bExpect);
    KB_CHECK(bOk == bExpect);
    KB_CHECK(item.m_value == (bOk ? COLORREF(rgb[0] + rgb[1] * 256 + rgb[2] * 65536) : cr0));
}

void CheckStrings(const std::string& text)
{
    CStringSetting str(nullptr, nullptr, "old");
    KB_CHECK(str.ParseValue(text.c_str()));
    KB_CHECK(str.m_value == text.c_str());

    // No executable path on the host, so "$\" stays as written.
    CPathSetting path(nullptr, nullptr, "old\\");
    KB_CHECK(path.ParseValue(text.c_str()));
    std::string expected = text;
    if (!text.empty() && text.back() != '\\')
        expected += '\\';
    KB_CHECK(path.m_value == expected.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int nKind = in.ConsumeIntegralInRange(0, 4);
    const int nA = in.ConsumeIntegral<int>();
    const int nB = in.ConsumeIntegral<int>();
    const int nStart = in.ConsumeIntegral<int>();
    // The text runs to the first NUL, as a C string does.
    const std::string text = in.ConsumeRandomLengthString(200).c_str();
    switch (nKind) {
    case 0:
        CheckInt(text, nA < nB ? nA : nB, nA < nB ? nB : nA, nStart);
        CheckInt(text, 1, 64, 4);
        break;
    case 1: CheckPlacement(text, in); break;
    case 2: CheckFont(text, in); break;
    case 3: CheckColor(text, in); break;
    default: CheckStrings(text); break;
    }
    return 0;
}
