#pragma once
// CLineStoreModel: the line store's algorithms followed literally, step by
// step, with no care for speed: every line dropped is removed on its own and
// the bytes behind it moved down, every index is found by a walk from the
// block's start. It is the reference that the real store is checked against
// (model tests, fuzzing). Header-only, standard C++ only.
//
// CPrintModel adds the rules that the console view's Print applies on top of
// the store (code byte, continuation, shifting of mark and find position),
// without the code-page conversion, which needs the system.
#include <cstring>
#include <string>
#include <vector>

class CLineStoreModel {
public:
    explicit CLineStoreModel(int nSize = 0)
    {
        if (nSize > 0) {
            m_block.assign(size_t(nSize), '\0');
            m_pBuffer = m_block.data();
            m_nCapacity = nSize - 1;
        }
    }

    CLineStoreModel(const CLineStoreModel&) = delete;
    CLineStoreModel& operator=(const CLineStoreModel&) = delete;

    bool Resize(int nSize)
    {
        if (nSize < 1) {
            m_block.clear();
            m_block.shrink_to_fit();
            m_pBuffer = nullptr;
            m_nCapacity = m_nUsed = m_nMaxLineLen = 0;
            return true;
        }
        std::vector<char> block(size_t(nSize), '\0');
        const int nNewCapacity = nSize - 1;
        int nKeepFrom = 0;
        if (m_nUsed > nNewCapacity) {
            nKeepFrom = m_nUsed - nNewCapacity;
            if (m_pBuffer[nKeepFrom - 1] != 0) {
                while (m_pBuffer[nKeepFrom] != 0)
                    ++nKeepFrom;
                ++nKeepFrom;
            }
        }
        const int nKeep = m_nUsed - nKeepFrom;
        for (int i = 0; i < nKeep; ++i)
            block[size_t(i)] = m_pBuffer[nKeepFrom + i];
        m_block.swap(block);
        m_pBuffer = m_block.data();
        m_nCapacity = nNewCapacity;
        m_nUsed = nKeep;
        return true;
    }

    int MakeRoom(int nNeed)
    {
        if (nNeed > m_nCapacity)
            return -1;
        int nFree = m_nCapacity - m_nUsed;
        int nDropped = 0;
        while (nNeed > nFree) {
            const int nLen = LineLength(0);
            RemoveLine(0);
            nFree += nLen + 1;
            ++nDropped;
        }
        return nDropped;
    }

    int StoreLine(const char* pszText, bool bContinue)
    {
        if (pszText == nullptr)
            return -1;
        const int nLen = int(strlen(pszText));
        const int nDropped = MakeRoom(nLen + 1);
        if (nDropped == -1)
            return -1;
        if (bContinue && m_nUsed > 0)
            m_nUsed -= 1;
        for (int i = 0; i <= nLen; ++i) {
            if (pszText[i] != 8)
                m_pBuffer[m_nUsed++] = pszText[i];
            else if (m_nUsed > 0)
                m_nUsed -= 1;
        }
        return nDropped;
    }

    int CountLines()
    {
        m_nMaxLineLen = 0;
        int nLines = 0;
        for (const char* p = NextLine(nullptr); p != nullptr; p = NextLine(p)) {
            ++nLines;
            const int nLen = int(strlen(p));
            if (nLen > m_nMaxLineLen)
                m_nMaxLineLen = nLen;
        }
        return nLines;
    }

    const char* GetLine(int nIndex) const
    {
        if (nIndex < 0 || m_nUsed <= 0)
            return nullptr;
        int nPos = 0;
        for (int i = 0; i < nIndex; ++i) {
            while (m_pBuffer[nPos] != 0)
                ++nPos;
            ++nPos;
            if (nPos >= m_nUsed)
                return nullptr;
        }
        return m_pBuffer + nPos;
    }

    const char* NextLine(const char* pLine) const
    {
        if (pLine == nullptr)
            return m_nUsed > 0 ? m_pBuffer : nullptr;
        if (!Holds(pLine))
            return nullptr;
        const char* pNext = pLine + strlen(pLine) + 1;
        return pNext < m_pBuffer + m_nUsed ? pNext : nullptr;
    }

    const char* PrevLine(const char* pLine) const
    {
        if (m_nUsed <= 0 || pLine == m_pBuffer)
            return nullptr;
        if (pLine == nullptr)
            pLine = m_pBuffer + m_nUsed;
        else if (!Holds(pLine))
            return nullptr;
        for (const char* p = pLine - 2; p >= m_pBuffer; --p) {
            if (*p == 0)
                return p + 1;
        }
        return m_pBuffer;
    }

    bool RemoveLine(int nIndex)
    {
        const char* pLine = GetLine(nIndex);
        if (pLine == nullptr)
            return false;
        const int nAt = int(pLine - m_pBuffer);
        const int n = int(strlen(pLine)) + 1;
        m_nUsed -= n;
        for (int i = nAt; i < m_nUsed; ++i)
            m_pBuffer[i] = m_pBuffer[i + n];
        return true;
    }

    int LineLength(int nIndex) const
    {
        const char* pLine = GetLine(nIndex);
        return pLine == nullptr ? -1 : int(strlen(pLine));
    }

    void Clear()
    {
        m_nUsed = 0;
        m_nMaxLineLen = 0;
    }

    char* m_pBuffer = nullptr;
    int m_nCapacity = 0;
    int m_nUsed = 0;
    int m_nMaxLineLen = 0;

private:
    bool Holds(const char* pLine) const
    {
        return m_nUsed > 0 && pLine >= m_pBuffer && pLine < m_pBuffer + m_nUsed;
    }

    std::vector<char> m_block;
};

// Print's rules over a store of type TStore (the model or the real store).
template <class TStore>
class CPrintModelT {
public:
    explicit CPrintModelT(int nSize) : m_store(nSize) {}

    // The view's Print minus the OEM-to-ANSI conversion. Returns what
    // StoreLine returned.
    int Print(const char* pszText)
    {
        if (pszText == nullptr)
            pszText = "";
        std::string s;
        if (static_cast<unsigned char>(pszText[0]) >= 8 && m_nCode != 0)
            s += char(m_nCode & 0xFF);
        s += pszText;
        if (s.size() > 1 && s[0] >= 1 && s[0] <= 7)
            m_bContinueLine = false;
        const int n = m_store.StoreLine(s.c_str(), m_bContinueLine);
        if (n > 0) {
            m_nMarkFirst -= n;
            if (m_nMarkFirst < 0)
                m_nMarkFirst = 0;
            m_nMarkLast -= n;
            if (m_nMarkLast < 0)
                m_nMarkFirst = m_nMarkLast = -1;
            m_nFindLine -= n;
            if (m_nFindLine < 0)
                m_nFindLine = m_nFindColumn = -1;
        }
        m_bContinueLine = false;
        return n;
    }

    TStore m_store;
    int m_nCode = 0;
    bool m_bContinueLine = false;
    int m_nMarkFirst = -1;
    int m_nMarkLast = -1;
    int m_nFindLine = -1;
    int m_nFindColumn = -1;
};

using CPrintModel = CPrintModelT<CLineStoreModel>;
