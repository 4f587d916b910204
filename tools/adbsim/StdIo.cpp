#include "StdIo.h"

#include <vector>

bool WriteStd(DWORD nWhich, const void* pData, size_t nSize)
{
    HANDLE h = GetStdHandle(nWhich);
    if (h == NULL || h == INVALID_HANDLE_VALUE)
        return false;
    const char* p = static_cast<const char*>(pData);
    // One WriteFile for the whole block; a pipe takes it whole, the loop is
    // only for handles (consoles, some files) that report a short write.
    while (nSize > 0)
    {
        DWORD nChunk = nSize > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(nSize);
        DWORD nWritten = 0;
        if (!WriteFile(h, p, nChunk, &nWritten, NULL) || nWritten == 0)
            return false;
        p += nWritten;
        nSize -= nWritten;
    }
    return true;
}

bool WriteOut(const std::string& str)
{
    return WriteStd(STD_OUTPUT_HANDLE, str.data(), str.size());
}

bool WriteErr(const std::string& str)
{
    return WriteStd(STD_ERROR_HANDLE, str.data(), str.size());
}

bool WriteOutLine(const std::string& str)
{
    return WriteOut(str + "\r\n");
}

bool WriteErrLine(const std::string& str)
{
    return WriteErr(str + "\r\n");
}

std::string GetSelfPath()
{
    std::vector<char> buf(MAX_PATH);
    for (;;)
    {
        DWORD n = GetModuleFileNameA(NULL, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return "adb.exe";
        if (n < buf.size())
            return std::string(buf.data(), n);
        if (buf.size() >= 32768)
            return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::wstring GetSelfPathW()
{
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;)
    {
        DWORD n = GetModuleFileNameW(NULL, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return L"adb.exe";
        if (n < buf.size() || buf.size() >= 32768)
            return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::string GetEnv(const char* pszName)
{
    char small[256];
    DWORD n = GetEnvironmentVariableA(pszName, small, sizeof(small));
    if (n == 0)
        return std::string();
    if (n < sizeof(small))
        return std::string(small, n);
    std::vector<char> buf(n);
    DWORD m = GetEnvironmentVariableA(pszName, buf.data(), n);
    if (m == 0 || m >= n)
        return std::string();
    return std::string(buf.data(), m);
}

std::wstring WidenUtf8(const std::string& str)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, str.c_str(), int(str.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, str.c_str(), int(str.size()), &w[0], n);
    return w;
}
