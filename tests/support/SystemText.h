#pragma once
// The system's own text for an error code, in the ANSI code page, as
// FormatMessageA writes it (without the line end it adds).
#include <windows.h>

#include <string>

inline std::string SystemText(DWORD dwError)
{
    char* p = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS | 255,
                               nullptr, dwError, 0x400, reinterpret_cast<char*>(&p), 0, nullptr);
    std::string s(p ? p : "", n);
    if (p)
        ::LocalFree(p);
    return s;
}
