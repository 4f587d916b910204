#include "DeviceShell.h"

#include "AdbServer.h"
#include "LineReader.h"
#include "Numbers.h"
#include "SimDevice.h"
#include "SimDeviceTable.h"
#include "StdIo.h"

#include <windows.h>

#include <cstring>

namespace {

const char* const kShellName = "/system/bin/sh";

std::string ToCrLf(const std::string& str)
{
    std::string strOut;
    strOut.reserve(str.size() + str.size() / 16 + 2);
    for (char c : str)
    {
        if (c == '\n')
            strOut += '\r';
        strOut += c;
    }
    return strOut;
}

} // namespace

CDeviceShell::CDeviceShell(bool bTerminal)
    : m_bTerminal(bTerminal), m_bExit(false), m_bBroken(false), m_nLastCode(0), m_strCwd("/")
{
}

void CDeviceShell::Out(const std::string& str)
{
    bool bOk = WriteOut(m_bTerminal ? ToCrLf(str) : str);
    if (!bOk)
        m_bBroken = true;
}

void CDeviceShell::Err(const std::string& str)
{
    if (m_bTerminal)
        Out(str);
    else
        WriteErr(str);
}

std::string CDeviceShell::Prompt() const
{
    std::string str;
    if (m_nLastCode != 0)
        str = std::to_string(m_nLastCode) + "|";
    const SimDeviceInfo& device = SimDevice::Current();
    return str + (device.strDevice.empty() ? device.strSerial : device.strDevice) + ":" + m_strCwd + " $ ";
}

bool CDeviceShell::SplitWords(const std::string& strLine, std::vector<std::string>& words)
{
    words.clear();
    std::string strWord;
    bool bInWord = false;
    size_t i = 0;
    while (i < strLine.size())
    {
        char c = strLine[i];
        if (c == ' ' || c == '\t')
        {
            if (bInWord)
                words.push_back(strWord);
            strWord.clear();
            bInWord = false;
            ++i;
            continue;
        }
        bInWord = true;
        if (c == '\'')
        {
            size_t nEnd = strLine.find('\'', i + 1);
            if (nEnd == std::string::npos)
                return false;
            strWord.append(strLine, i + 1, nEnd - i - 1);
            i = nEnd + 1;
        }
        else if (c == '"')
        {
            ++i;
            for (;;)
            {
                if (i >= strLine.size())
                    return false;
                char d = strLine[i];
                if (d == '"')
                {
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < strLine.size() &&
                    strchr("\"\\$`", strLine[i + 1]) != NULL)
                {
                    strWord += strLine[i + 1];
                    i += 2;
                    continue;
                }
                strWord += d;
                ++i;
            }
        }
        else if (c == '\\')
        {
            if (i + 1 < strLine.size())
                strWord += strLine[i + 1];
            i += 2;
        }
        else
        {
            strWord += c;
            ++i;
        }
    }
    if (bInWord)
        words.push_back(strWord);
    return true;
}

std::string CDeviceShell::ResolvePath(const std::string& strCwd, const std::string& strPath)
{
    std::string strFull = (!strPath.empty() && strPath[0] == '/') ? strPath : strCwd + "/" + strPath;
    std::vector<std::string> parts;
    size_t nPos = 0;
    while (nPos <= strFull.size())
    {
        size_t nSlash = strFull.find('/', nPos);
        if (nSlash == std::string::npos)
            nSlash = strFull.size();
        std::string strPart = strFull.substr(nPos, nSlash - nPos);
        if (strPart == "..")
        {
            if (!parts.empty())
                parts.pop_back();
        }
        else if (!strPart.empty() && strPart != ".")
            parts.push_back(strPart);
        nPos = nSlash + 1;
    }
    if (parts.empty())
        return "/";
    std::string strOut;
    for (const std::string& strPart : parts)
        strOut += "/" + strPart;
    return strOut;
}

int CDeviceShell::NotFound(const std::string& strName)
{
    Err(std::string(kShellName) + ": " + strName + ": inaccessible or not found\n");
    return 127;
}

int CDeviceShell::Run(const std::string& strLine)
{
    Words words;
    if (!SplitWords(strLine, words))
    {
        Err(std::string(kShellName) + ": syntax error: unterminated quoted string\n");
        m_nLastCode = 1;
        return m_nLastCode;
    }
    // An empty line leaves the last status as it was, like a real shell.
    if (words.empty())
        return m_nLastCode;

    const std::string& strCmd = words[0];
    int nCode;
    if (strCmd == "echo")
        nCode = Echo(words);
    else if (strCmd == "ls")
        nCode = List(words);
    else if (strCmd == "cd")
        nCode = ChangeFolder(words);
    else if (strCmd == "pwd")
    {
        Out(m_strCwd + "\n");
        nCode = 0;
    }
    else if (strCmd == "getprop")
        nCode = ShowProperty(words);
    else if (strCmd == "pm")
        nCode = PackageManager(words);
    else if (strCmd == "whoami")
    {
        Out("shell\n");
        nCode = 0;
    }
    else if (strCmd == "true")
        nCode = 0;
    else if (strCmd == "false")
        nCode = 1;
    else if (strCmd == "exit")
        nCode = Exit(words);
    else if (strCmd == "sleep")
        nCode = Sleep(words);
    else
        nCode = NotFound(strCmd);
    m_nLastCode = nCode;
    return nCode;
}

int CDeviceShell::Echo(const Words& words)
{
    size_t nFirst = 1;
    bool bNewline = true;
    if (words.size() > 1 && words[1] == "-n")
    {
        bNewline = false;
        nFirst = 2;
    }
    std::string str;
    for (size_t i = nFirst; i < words.size(); ++i)
    {
        if (i > nFirst)
            str += ' ';
        str += words[i];
    }
    if (bNewline)
        str += '\n';
    Out(str);
    return 0;
}

int CDeviceShell::List(const Words& words)
{
    Words paths;
    for (size_t i = 1; i < words.size(); ++i)
        if (words[i].size() < 2 || words[i][0] != '-')
            paths.push_back(words[i]);
    if (paths.empty())
        paths.push_back(".");

    int nCode = 0;
    std::string strFiles;
    std::string strFolders;
    for (const std::string& strPath : paths)
    {
        const char* pEntries = NULL;
        SimPathKind kind = SimDevice::Classify(ResolvePath(m_strCwd, strPath), &pEntries);
        switch (kind)
        {
        case SimPathNone:
            Err("ls: " + strPath + ": No such file or directory\n");
            nCode = 1;
            break;
        case SimPathDenied:
            Err("ls: " + strPath + ": Permission denied\n");
            nCode = 1;
            break;
        case SimPathFile:
            strFiles += strPath + "\n";
            break;
        case SimPathFolder:
        {
            std::string strList;
            for (const char* p = pEntries; *p != '\0'; p += strlen(p) + 1)
            {
                size_t n = strlen(p);
                strList.append(p, p[n - 1] == '/' ? n - 1 : n);
                strList += '\n';
            }
            if (paths.size() > 1)
                strFolders += (strFolders.empty() && strFiles.empty() ? "" : "\n") + strPath + ":\n";
            strFolders += strList;
            break;
        }
        }
    }
    Out(strFiles + strFolders);
    return nCode;
}

int CDeviceShell::ChangeFolder(const Words& words)
{
    std::string strArg = words.size() > 1 ? words[1] : "/";
    std::string strPath = ResolvePath(m_strCwd, strArg);
    const char* pEntries = NULL;
    SimPathKind kind = SimDevice::Classify(strPath, &pEntries);
    if (kind == SimPathFolder || kind == SimPathDenied)
    {
        m_strCwd = strPath;
        return 0;
    }
    Err(std::string(kShellName) + ": cd: " + strArg + ": " +
        (kind == SimPathFile ? "Not a directory" : "No such file or directory") + "\n");
    return 2;
}

int CDeviceShell::ShowProperty(const Words& words)
{
    if (words.size() == 1)
    {
        std::string str;
        for (size_t i = 0; i < SimDevice::kPropertyCount; ++i)
            str += std::string("[") + SimDevice::kProperties[i].pszName + "]: [" +
                   SimDevice::FindProperty(SimDevice::kProperties[i].pszName) + "]\n";
        Out(str);
        return 0;
    }
    const char* pszValue = SimDevice::FindProperty(words[1].c_str());
    // A missing property prints the default if one is given, else an empty line.
    std::string strValue = pszValue != NULL ? pszValue : (words.size() > 2 ? words[2] : "");
    Out(strValue + "\n");
    return 0;
}

int CDeviceShell::PackageManager(const Words& words)
{
    if (words.size() < 2)
    {
        Err("usage: pm path [--user USER_ID] PACKAGE\n"
            "       pm list packages [-f] [-s] [-3] [FILTER]\n");
        return 1;
    }
    const std::string& strSub = words[1];
    if (strSub == "list")
    {
        if (words.size() >= 3 && words[2] == "packages")
            return ListPackages(words);
        Err(words.size() < 3 ? "Error: didn't specify type of data to list\n"
                             : "Error: unknown list type '" + words[2] + "'\n");
        return 255;
    }
    if (strSub == "path")
    {
        if (words.size() < 3)
        {
            Err("Error: no package specified\n");
            return 255;
        }
        const SimPackage* pPackage = SimDevice::FindPackage(words[2].c_str());
        if (pPackage == NULL)
            return 1;
        Out(std::string("package:") + pPackage->pszPath + "\n");
        return 0;
    }
    Err("Unknown command: " + strSub + "\n");
    return 255;
}

int CDeviceShell::ListPackages(const Words& words)
{
    bool bPaths = false;
    bool bSystemOnly = false;
    bool bThirdPartyOnly = false;
    std::string strFilter;
    for (size_t i = 3; i < words.size(); ++i)
    {
        const std::string& strArg = words[i];
        if (strArg == "-f")
            bPaths = true;
        else if (strArg == "-s")
            bSystemOnly = true;
        else if (strArg == "-3")
            bThirdPartyOnly = true;
        else if (!strArg.empty() && strArg[0] == '-')
        {
            Err("Error: Unknown option: " + strArg + "\n");
            return 255;
        }
        else
            strFilter = strArg;
    }
    std::string str;
    for (size_t i = 0; i < SimDevice::kPackageCount; ++i)
    {
        const SimPackage& pkg = SimDevice::kPackages[i];
        if ((bSystemOnly && !pkg.bSystem) || (bThirdPartyOnly && pkg.bSystem))
            continue;
        if (!strFilter.empty() && strstr(pkg.pszName, strFilter.c_str()) == NULL)
            continue;
        str += "package:";
        if (bPaths)
            str += std::string(pkg.pszPath) + "=";
        str += std::string(pkg.pszName) + "\n";
    }
    Out(str);
    return 0;
}

int CDeviceShell::Exit(const Words& words)
{
    m_bExit = true;
    if (words.size() < 2)
        return 0;
    uint32_t nCode = 0;
    if (!ParseExitCode(words[1], nCode))
    {
        Err(std::string(kShellName) + ": exit: " + words[1] + ": bad number\n");
        return 1;
    }
    // A shell's status is a byte.
    return static_cast<int>(nCode & 0xFF);
}

int CDeviceShell::RunInteractive(CAdbServer* pServer)
{
    CLineReader reader(GetStdHandle(STD_INPUT_HANDLE));
    Out(Prompt());
    std::string strLine;
    while (!m_bBroken && reader.ReadLine(strLine))
    {
        if (pServer != NULL)
            pServer->Touch();
        int nCode = Run(strLine);
        if (m_bExit)
            return nCode;
        Out(Prompt());
    }
    // Nobody reads our output any more; there is no one to answer.
    if (m_bBroken)
        return 1;
    return 0;
}
