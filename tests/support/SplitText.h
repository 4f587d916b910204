#pragma once
// A text cut into lines at each break; the text after the last break is the
// last line, empty when the text ends with a break.
#include <string>
#include <vector>

inline std::vector<std::string> SplitText(const std::string& strText, const std::string& strBreak)
{
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (;;) {
        size_t n = strText.find(strBreak, nStart);
        if (n == std::string::npos) {
            lines.push_back(strText.substr(nStart));
            return lines;
        }
        lines.push_back(strText.substr(nStart, n - nStart));
        nStart = n + strBreak.size();
    }
}
