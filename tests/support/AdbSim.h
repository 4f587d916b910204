#pragma once
// Where the test programs find the adb imitation (built beside them, in
// adbsim\adb.exe) and how its children get it first on their search path.
#include <windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

// The folder of this program, ending in a backslash.
inline std::string ProgramFolder()
{
    char sz[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, sz, MAX_PATH);
    std::string s(sz, n < MAX_PATH ? n : 0);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

// The adb imitation's folder, ending in a backslash.
inline std::string AdbSimFolder()
{
    return ProgramFolder() + "adbsim\\";
}

inline std::string AdbSimPath()
{
    return AdbSimFolder() + "adb.exe";
}

inline bool AdbSimExists()
{
    return ::GetFileAttributesA(AdbSimPath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A command line that runs the imitation by its full path.
inline std::string AdbSimCommand(const std::string& strArgs)
{
    return "\"" + AdbSimPath() + "\" " + strArgs;
}

typedef std::vector<std::pair<std::string, std::string>> EnvOverrides;

// This process's environment block with the variables named in overrides
// set to their values (an empty value removes the variable) and, with
// bAdbSimFirst, the imitation's folder first on PATH.
inline std::vector<char> EnvironmentBlock(const EnvOverrides& overrides, bool bAdbSimFirst)
{
    std::string strFolder = AdbSimFolder();
    strFolder.pop_back();
    auto isName = [](const std::string& strEntry, const std::string& strName) {
        return strEntry.size() > strName.size() && strEntry[strName.size()] == '=' &&
               _strnicmp(strEntry.c_str(), strName.c_str(), strName.size()) == 0;
    };
    std::vector<std::string> entries;
    bool bHavePath = false;
    char* pEnv = ::GetEnvironmentStringsA();
    for (const char* p = pEnv; p && *p; p += std::strlen(p) + 1) {
        std::string strEntry(p);
        bool bOverridden = false;
        for (const auto& kv : overrides)
            bOverridden = bOverridden || isName(strEntry, kv.first);
        if (bOverridden)
            continue;
        if (bAdbSimFirst && isName(strEntry, "PATH")) {
            strEntry = "PATH=" + strFolder + ";" + strEntry.substr(5);
            bHavePath = true;
        }
        entries.push_back(strEntry);
    }
    if (pEnv)
        ::FreeEnvironmentStringsA(pEnv);
    if (bAdbSimFirst && !bHavePath)
        entries.push_back("PATH=" + strFolder);
    for (const auto& kv : overrides)
        if (!kv.second.empty())
            entries.push_back(kv.first + "=" + kv.second);
    std::vector<char> block;
    for (const std::string& e : entries)
        block.insert(block.end(), e.c_str(), e.c_str() + e.size() + 1);
    block.push_back(0);
    return block;
}

// Puts the imitation's folder first on this process's search path, once.
inline void PutAdbImitationOnPath()
{
    std::string strFolder = AdbSimFolder();
    strFolder.pop_back();
    std::vector<char> path(32768);
    DWORD n = ::GetEnvironmentVariableA("PATH", path.data(), DWORD(path.size()));
    std::string strNow(path.data(), n < path.size() ? n : 0);
    if (strNow.compare(0, strFolder.size() + 1, strFolder + ";") != 0)
        ::SetEnvironmentVariableA("PATH", (strFolder + ";" + strNow).c_str());
}
