#include "commands/BatchQueue.h"

#include "dialogs/BatchDlg.h"

#include <cctype>
#include <cstring>

char CBatchQueue::s_szEmpty[1] = { 0 };

CBatchQueue::CBatchQueue()
    : m_pCursor(s_szEmpty)
{
}

CBatchQueue::~CBatchQueue()
{
    if (m_hText) {
        LocalUnlock(m_hText);
        LocalFree(m_hText);
    }
    delete[] m_pCopy;
}

void CBatchQueue::Start(ICommandTarget* pOwner, const char* pszText)
{
    // A batch that still waits (its last line started no child) is replaced.
    Stop();
    if (!pOwner || !pszText)
        return;
    size_t n = strlen(pszText) + 1;
    m_pCopy = new char[n];
    memcpy(m_pCopy, pszText, n);
    m_pOwner = pOwner;
    m_pCursor = m_pCopy;
    RunNext();
}

bool CBatchQueue::RunNext()
{
    if (*m_pCursor == 0)
        return false;
    char* pszLine;
    do {
        pszLine = TakeLine();
        if (!pszLine) {
            Stop();
            return false;
        }
        pszLine = TrimSpace(pszLine);
    } while (*pszLine == 0);

    // The owner may stop the batch or ask for the next line before it
    // returns, so the line leaves the copy first.
    CString strLine(pszLine);
    m_pOwner->RunCommand(strLine, false);
    return true;
}

void CBatchQueue::Stop()
{
    m_pOwner = nullptr;
    delete[] m_pCopy;
    m_pCopy = nullptr;
    m_pCursor = s_szEmpty;
}

char* CBatchQueue::TakeLine()
{
    if (*m_pCursor == 0)
        return nullptr;
    char* pszLine = m_pCursor;
    char* p = pszLine;
    while (*p && *p != '\n' && *p != '\r')
        p++;
    // CR LF, a lone LF and a lone CR all end a line; a lone CR must not hide
    // the command that follows it.
    if (*p == '\r') {
        *p++ = 0;
        if (*p == '\n')
            *p++ = 0;
    } else if (*p == '\n') {
        *p++ = 0;
    }
    m_pCursor = p;
    return pszLine;
}

char* CBatchQueue::TrimSpace(char* psz)
{
    while (*psz && isspace(static_cast<unsigned char>(*psz)))
        psz++;
    char* pEnd = psz + strlen(psz);
    while (pEnd > psz && isspace(static_cast<unsigned char>(pEnd[-1])))
        pEnd--;
    *pEnd = 0;
    return psz;
}

void CBatchQueue::RunDialog(ICommandTarget* pOwner, CWnd* pParent)
{
    CBatchDlg dlg(pParent);
    dlg.m_hText = m_hText;
    INT_PTR nResult = dlg.DoModal();
    // The dialog hands back the buffer that holds its text, after OK and
    // Cancel alike; it is ours from now on.
    if (dlg.m_hText)
        m_hText = dlg.m_hText;
    if (nResult != IDOK || !m_hText)
        return;
    const char* p = static_cast<const char*>(::LocalLock(m_hText));
    if (!p)
        return;
    CString text(p);
    ::LocalUnlock(m_hText);
    Start(pOwner, text);
}
