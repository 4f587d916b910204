#include "commands/HistoryList.h"

#include <cstring>
#include <mbstring.h>

CHistoryList::CHistoryList(int nCapacity)
    : m_nCapacity(nCapacity > 0 ? nCapacity : 1)
{
    m_ppItems = new char*[size_t(m_nCapacity)];
}

CHistoryList::~CHistoryList()
{
    Clear();
    delete[] m_ppItems;
}

void CHistoryList::Add(const char* pszText)
{
    if (!pszText)
        pszText = "";
    // The oldest goes first, even when the text is already stored: a full
    // list that receives a known text ends one entry short. It is freed only
    // at the end, since the text may be that very entry.
    char* pszDropped = nullptr;
    if (m_nCount == m_nCapacity)
        pszDropped = RemoveAt(0, false);

    char* psz;
    int nFound = IndexOf(pszText);
    if (nFound < 0) {
        size_t n = strlen(pszText) + 1;
        psz = new char[n];
        memcpy(psz, pszText, n);
    } else {
        psz = RemoveAt(nFound, false);
    }
    m_ppItems[m_nCount++] = psz;
    m_nCursor = -1;
    delete[] pszDropped;
}

const char* CHistoryList::Prev()
{
    if (m_nCount == 0)
        return "";
    if (m_nCursor < 0)
        m_nCursor = m_nCount - 1;
    else
        m_nCursor = (m_nCursor + 1) % m_nCount;
    return m_ppItems[m_nCursor];
}

const char* CHistoryList::Next()
{
    if (m_nCount == 0)
        return "";
    if (m_nCursor < 0)
        m_nCursor = m_nCount - 1;
    else
        m_nCursor = (m_nCursor - 1 + m_nCount) % m_nCount;
    return m_ppItems[m_nCursor];
}

void CHistoryList::Clear()
{
    for (int i = 0; i < m_nCount; i++)
        delete[] m_ppItems[i];
    m_nCount = 0;
    m_nCursor = -1;
}

int CHistoryList::IndexOf(const char* pszText) const
{
    if (!pszText)
        pszText = "";
    for (int i = 0; i < m_nCount; i++) {
        if (_mbsicmp(reinterpret_cast<const unsigned char*>(m_ppItems[i]),
                     reinterpret_cast<const unsigned char*>(pszText)) == 0)
            return i;
    }
    return -1;
}

char* CHistoryList::RemoveAt(int nIndex, bool bDelete)
{
    if (nIndex < 0 || nIndex >= m_nCount)
        return nullptr;
    char* psz = m_ppItems[nIndex];
    memmove(m_ppItems + nIndex, m_ppItems + nIndex + 1,
            size_t(m_nCount - nIndex - 1) * sizeof(char*));
    m_nCount--;
    // Keep the walk on the entry it stood on; if that entry went, the walk
    // starts over.
    if (nIndex < m_nCursor)
        m_nCursor--;
    else if (nIndex == m_nCursor)
        m_nCursor = -1;
    if (bDelete) {
        delete[] psz;
        return nullptr;
    }
    return psz;
}

void CHistoryList::FillComboBox(HWND hCombo) const
{
    for (int i = m_nCount - 1; i >= 0; i--)
        SendMessageA(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m_ppItems[i]));
    SendMessageA(hCombo, CB_SETCURSEL, 0, 0);
}

const char* CHistoryList::GetAt(int nIndex) const
{
    if (nIndex < 0 || nIndex >= m_nCount)
        return nullptr;
    return m_ppItems[nIndex];
}
