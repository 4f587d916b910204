#pragma once
// CFmtString: a string made by a printf-style constructor. The formatted
// text is kept whole, whatever its length.
#include <cstdarg>
#include "framework/String.h"

#if defined(__clang__)
#define KB_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#elif defined(__GNUC__)
#define KB_PRINTF_LIKE(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define KB_PRINTF_LIKE(fmt, args)
#endif

class CFmtString : public CString {
public:
    enum VaListTag { kVaList };

    KB_PRINTF_LIKE(2, 3) CFmtString(const char* pszFormat, ...);
    // For callers that are themselves printf-like.
    CFmtString(VaListTag, const char* pszFormat, va_list args);
    virtual ~CFmtString();
};
