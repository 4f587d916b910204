#pragma once
// Switches the C runtime's locale and multibyte code page for one scope, so
// that a test of text compares as it would under that code page whatever
// the system's is; back to the system's (".ACP") at the end.
#include <clocale>
#include <mbctype.h>
#include <string>

class CRuntimeCodePage {
public:
    explicit CRuntimeCodePage(int nCodePage)
    {
        const std::string strLocale = "." + std::to_string(nCodePage);
        m_bOk = setlocale(LC_ALL, strLocale.c_str()) != nullptr && _setmbcp(nCodePage) == 0;
    }
    ~CRuntimeCodePage()
    {
        setlocale(LC_ALL, ".ACP");
        _setmbcp(_MB_CP_ANSI);
    }
    bool Ok() const { return m_bOk; }

private:
    bool m_bOk;
};
