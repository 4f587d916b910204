#include "settings/FmtString.h"

CFmtString::CFmtString(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

CFmtString::CFmtString(VaListTag, const char* pszFormat, va_list args)
{
    FormatV(pszFormat, args);
}

CFmtString::~CFmtString() = default;
