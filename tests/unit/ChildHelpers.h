#pragma once
// Helpers for tests that run the adb imitation as a real child process and
// look at the lines the output decoder makes of its output.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "process/OutputDecoder.h"

// The adb imitation is built beside the test program, in adbsim\adb.exe.
inline std::string AdbSimPath()
{
    char szPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string strPath(szPath, n < MAX_PATH ? n : 0);
    strPath.erase(strPath.find_last_of("\\/") + 1);
    return strPath + "adbsim\\adb.exe";
}

inline bool AdbSimExists()
{
    return GetFileAttributesA(AdbSimPath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string AdbSimCommand(const std::string& strArgs)
{
    return "\"" + AdbSimPath() + "\" " + strArgs;
}

// Polls the condition until it holds or dwTimeout ms have passed.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD dwTimeout)
{
    const DWORD dwStart = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - dwStart >= dwTimeout)
            return false;
        Sleep(2);
    }
    return true;
}

// Collects decoded lines the way the console shows them: an unfinished line
// is continued by the next text.
class CLineCollector : public IOutputSink {
public:
    void OnLine(const char* pszLine, int nLength, bool bUnfinished) override
    {
        std::string strLine(pszLine, size_t(nLength));
        if (m_bContinue && !m_lines.empty())
            m_lines.back() += strLine;
        else
            m_lines.push_back(strLine);
        m_bContinue = bUnfinished;
        m_nCalls++;
    }

    std::vector<std::string> m_lines;
    bool m_bContinue = false;
    int m_nCalls = 0;
};
