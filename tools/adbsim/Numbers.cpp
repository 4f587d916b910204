#include "Numbers.h"

namespace {

int DigitValue(char c, int nBase)
{
    int n;
    if (c >= '0' && c <= '9')
        n = c - '0';
    else if (c >= 'a' && c <= 'f')
        n = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        n = c - 'A' + 10;
    else
        return -1;
    return n < nBase ? n : -1;
}

bool ParseDigits(const std::string& str, size_t nPos, int nBase, uint64_t nMax, uint64_t& nValue)
{
    if (nPos >= str.size())
        return false;
    uint64_t n = 0;
    for (size_t i = nPos; i < str.size(); ++i)
    {
        int d = DigitValue(str[i], nBase);
        if (d < 0)
            return false;
        uint64_t nDigit = static_cast<uint64_t>(d);
        if (nDigit > nMax || n > (nMax - nDigit) / static_cast<uint64_t>(nBase))
            return false;
        n = n * static_cast<uint64_t>(nBase) + nDigit;
    }
    nValue = n;
    return true;
}

bool IsHexPrefix(const std::string& str)
{
    return str.size() > 2 && str[0] == '0' && (str[1] == 'x' || str[1] == 'X');
}

} // namespace

bool ParseUnsigned(const std::string& str, uint64_t nMax, uint64_t& nValue)
{
    if (IsHexPrefix(str))
        return ParseDigits(str, 2, 16, nMax, nValue);
    return ParseDigits(str, 0, 10, nMax, nValue);
}

bool ParseExitCode(const std::string& str, uint32_t& nCode)
{
    uint64_t n = 0;
    if (!str.empty() && str[0] == '-')
    {
        if (!ParseDigits(str, 1, 10, 0x80000000ull, n))
            return false;
        nCode = static_cast<uint32_t>(0u - static_cast<uint32_t>(n));
        return true;
    }
    if (!ParseUnsigned(str, 0xFFFFFFFFull, n))
        return false;
    nCode = static_cast<uint32_t>(n);
    return true;
}
