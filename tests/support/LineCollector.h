#pragma once
// The lines the output decoder makes of a child's output, collected.
#include <string>
#include <vector>

#include "process/OutputDecoder.h"

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
