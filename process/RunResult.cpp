#include "process/RunResult.h"

#include <climits>

void CRunResult::Begin(int nRunId)
{
    m_nRunId = nRunId;
    m_dwExitCode = 0;
}

CString CRunResult::Report()
{
    CString strLine;
    strLine.Format("#%d ExitCode: %s", m_nRunId.load(), (const char*)FormatExitCode(m_dwExitCode));
    m_nRunId = 0;
    return strLine;
}

CString CRunResult::FormatExitCode(DWORD dwExitCode)
{
    int nCode = static_cast<int>(dwExitCode);
    CString strCode;
    if (nCode == INT_MIN || (nCode > -10000 && nCode < 10000))
        strCode.Format("%d", nCode);
    else
        strCode.Format("%08X", static_cast<unsigned>(dwExitCode));
    return strCode;
}

CRunResult& CRunResult::Take(CRunResult (&results)[3], int nRunId)
{
    for (int i = 0; i < 2; i++) {
        int nFree = 0;
        if (results[i].m_nRunId.compare_exchange_strong(nFree, nRunId)) {
            results[i].m_dwExitCode = 0;
            return results[i];
        }
    }
    results[2].Begin(nRunId);
    return results[2];
}

CRunResult& CRunResult::Find(CRunResult (&results)[3], int nRunId)
{
    for (int i = 0; i < 2; i++)
        if (results[i].m_nRunId == nRunId)
            return results[i];
    return results[2];
}
