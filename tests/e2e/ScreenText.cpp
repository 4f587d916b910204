#include "ScreenText.h"

#include <cstdlib>

#include "../support/SplitText.h"

ScreenLines SplitScreenText(const std::string& strText)
{
    return SplitText(strText, "\r\n");
}

bool ParseExitLine(const std::string& strLine, ExitLineInfo& info)
{
    const std::string kHead = ".#";
    const std::string kMiddle = " ExitCode: ";
    if (strLine.compare(0, kHead.size(), kHead) != 0)
        return false;
    size_t nMiddle = strLine.find(kMiddle, kHead.size());
    if (nMiddle == std::string::npos || nMiddle == kHead.size())
        return false;
    std::string strRun = strLine.substr(kHead.size(), nMiddle - kHead.size());
    if (strRun.find_first_not_of("0123456789") != std::string::npos)
        return false;
    std::string strCode = strLine.substr(nMiddle + kMiddle.size());
    if (strCode.empty())
        return false;
    info.nRun = std::atoi(strRun.c_str());
    info.strCode = strCode;
    return true;
}

int FindLine(const ScreenLines& lines, const std::string& strLine, int nFrom)
{
    for (int i = nFrom < 0 ? 0 : nFrom; i < int(lines.size()); ++i)
        if (lines[size_t(i)] == strLine)
            return i;
    return -1;
}

int FindLineStarting(const ScreenLines& lines, const std::string& strPrefix, int nFrom)
{
    for (int i = nFrom < 0 ? 0 : nFrom; i < int(lines.size()); ++i)
        if (lines[size_t(i)].compare(0, strPrefix.size(), strPrefix) == 0)
            return i;
    return -1;
}

int FindExitLine(const ScreenLines& lines, int nFrom, ExitLineInfo* pInfo)
{
    for (int i = nFrom < 0 ? 0 : nFrom; i < int(lines.size()); ++i) {
        ExitLineInfo info;
        if (ParseExitLine(lines[size_t(i)], info)) {
            if (pInfo)
                *pInfo = info;
            return i;
        }
    }
    return -1;
}

std::string Describe(const ScreenLines& lines)
{
    std::string s;
    for (size_t i = 0; i < lines.size(); ++i)
        s += std::to_string(i) + ": " + lines[i] + "\n";
    return s;
}

ScreenLines WithoutServerNotes(const ScreenLines& lines)
{
    ScreenLines kept;
    for (const std::string& s : lines)
        if (s.compare(0, 9, "* daemon ") != 0)
            kept.push_back(s);
    return kept;
}
