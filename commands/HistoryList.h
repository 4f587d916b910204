#pragma once
// A fixed number of remembered texts, oldest first, without case-insensitive
// duplicates, and a cursor that walks them in either direction with wrap.
// The command line keeps 16, the Find dialog 32.
#include <windows.h>

class CHistoryList {
public:
    explicit CHistoryList(int nCapacity);
    ~CHistoryList();
    CHistoryList(const CHistoryList&) = delete;
    CHistoryList& operator=(const CHistoryList&) = delete;

    void Add(const char* pszText);
    // Both start at the newest entry; on an empty list they return "".
    const char* Prev();
    const char* Next();
    void Clear();
    int IndexOf(const char* pszText) const;
    // Without bDelete the caller receives the string and must delete[] it.
    char* RemoveAt(int nIndex, bool bDelete);
    void FillComboBox(HWND hCombo) const;

    int GetCount() const { return m_nCount; }
    int GetCapacity() const { return m_nCapacity; }
    int GetCursor() const { return m_nCursor; }
    const char* GetAt(int nIndex) const;

private:
    char** m_ppItems;
    int m_nCapacity;
    int m_nCount = 0;
    int m_nCursor = -1;
};
