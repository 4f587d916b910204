#include "LineReader.h"

CLineReader::CLineReader(HANDLE hInput)
    : m_hInput(hInput), m_nHave(0), m_nPos(0), m_bEnd(false)
{
    if (m_hInput == NULL || m_hInput == INVALID_HANDLE_VALUE)
        m_bEnd = true;
}

bool CLineReader::Fill()
{
    if (m_bEnd)
        return false;
    DWORD nRead = 0;
    // A broken pipe is the writer having closed its end: the ordinary end of
    // input for a child on a pipe, treated like any other failure.
    if (!ReadFile(m_hInput, m_buffer, sizeof(m_buffer), &nRead, NULL) || nRead == 0)
    {
        m_bEnd = true;
        return false;
    }
    m_nHave = nRead;
    m_nPos = 0;
    return true;
}

bool CLineReader::ReadLine(std::string& strLine)
{
    strLine.clear();
    bool bAny = false;
    for (;;)
    {
        if (m_nPos >= m_nHave && !Fill())
            break;
        bAny = true;
        const char* pStart = m_buffer + m_nPos;
        const char* pEnd = m_buffer + m_nHave;
        const char* p = pStart;
        while (p < pEnd && *p != '\n')
            ++p;
        size_t nRoom = kMaxLine - strLine.size();
        size_t nTake = static_cast<size_t>(p - pStart);
        if (nTake > nRoom)
        {
            strLine.append(pStart, nRoom);
            m_nPos += static_cast<DWORD>(nRoom);
            return true;
        }
        strLine.append(pStart, nTake);
        m_nPos += static_cast<DWORD>(nTake);
        if (p < pEnd)
        {
            ++m_nPos;
            if (!strLine.empty() && strLine.back() == '\r')
                strLine.pop_back();
            return true;
        }
    }
    if (!bAny)
        return false;
    if (!strLine.empty() && strLine.back() == '\r')
        strLine.pop_back();
    return true;
}
