#include "screen/LineStore.h"

#include <cstring>
#include <new>

namespace {

const char kBackspace = 8;

} // namespace

CLineStore::CLineStore(int nSize)
    : m_pBuffer(nullptr), m_nCapacity(0), m_nUsed(0), m_nMaxLineLen(0)
{
    if (nSize > 0) {
        m_pBuffer = new char[size_t(nSize)];
        m_nCapacity = nSize - 1;
    }
}

CLineStore::~CLineStore()
{
    delete[] m_pBuffer;
}

bool CLineStore::Resize(int nSize)
{
    if (nSize < 1) {
        delete[] m_pBuffer;
        m_pBuffer = nullptr;
        m_nCapacity = 0;
        m_nUsed = 0;
        m_nMaxLineLen = 0;
        return true;
    }
    char* pNew = new (std::nothrow) char[size_t(nSize)];
    if (pNew == nullptr)
        return false;
    const int nNewCapacity = nSize - 1;
    int nKeepFrom = 0;
    if (m_nUsed > nNewCapacity) {
        nKeepFrom = m_nUsed - nNewCapacity;
        // Never keep the tail of a line: start at the next line start. The
        // last used byte is a zero, so the search always ends inside the block.
        if (m_pBuffer[nKeepFrom - 1] != 0) {
            const void* pZero = memchr(m_pBuffer + nKeepFrom, 0, size_t(m_nUsed - nKeepFrom));
            nKeepFrom = int(static_cast<const char*>(pZero) - m_pBuffer) + 1;
        }
    }
    const int nKeep = m_nUsed - nKeepFrom;
    if (nKeep > 0)
        memcpy(pNew, m_pBuffer + nKeepFrom, size_t(nKeep));
    delete[] m_pBuffer;
    m_pBuffer = pNew;
    m_nCapacity = nNewCapacity;
    m_nUsed = nKeep;
    return true;
}

int CLineStore::MakeRoom(int nBytes)
{
    if (nBytes > m_nCapacity)
        return -1;
    int nFree = m_nCapacity - m_nUsed;
    int nDropped = 0;
    int nCut = 0;
    // Find every line that has to go first, then close the gap in one move:
    // dropping them one by one would move the whole block once per line.
    while (nBytes > nFree) {
        const int nLen = int(strlen(m_pBuffer + nCut));
        nCut += nLen + 1;
        nFree += nLen + 1;
        ++nDropped;
    }
    if (nCut > 0) {
        memmove(m_pBuffer, m_pBuffer + nCut, size_t(m_nUsed - nCut));
        m_nUsed -= nCut;
    }
    return nDropped;
}

int CLineStore::StoreLine(const char* pszText, bool bContinue)
{
    if (pszText == nullptr)
        return -1;
    const size_t nLen = strlen(pszText);
    if (nLen >= size_t(m_nCapacity))
        return -1;
    const int nDropped = MakeRoom(int(nLen) + 1);
    if (nDropped < 0)
        return -1;
    if (bContinue && m_nUsed > 0)
        --m_nUsed;
    // The terminator is copied too, so the block always ends in a zero.
    for (size_t i = 0; i <= nLen; ++i) {
        const char ch = pszText[i];
        if (ch != kBackspace)
            m_pBuffer[m_nUsed++] = ch;
        else if (m_nUsed > 0)
            --m_nUsed;
    }
    return nDropped;
}

int CLineStore::CountLines()
{
    m_nMaxLineLen = 0;
    int nLines = 0;
    for (int nPos = 0; nPos < m_nUsed; ++nLines) {
        const int nLen = int(strlen(m_pBuffer + nPos));
        if (nLen > m_nMaxLineLen)
            m_nMaxLineLen = nLen;
        nPos += nLen + 1;
    }
    return nLines;
}

const char* CLineStore::GetLine(int nIndex) const
{
    if (nIndex < 0 || m_nUsed <= 0)
        return nullptr;
    int nPos = 0;
    for (int i = 0; i < nIndex; ++i) {
        nPos += int(strlen(m_pBuffer + nPos)) + 1;
        if (nPos >= m_nUsed)
            return nullptr;
    }
    return m_pBuffer + nPos;
}

bool CLineStore::Holds(const char* pLine) const
{
    // Compared as integers: pointers into other objects may not be ordered.
    const size_t nStart = reinterpret_cast<size_t>(m_pBuffer);
    const size_t nAt = reinterpret_cast<size_t>(pLine);
    return m_nUsed > 0 && nAt >= nStart && nAt < nStart + size_t(m_nUsed);
}

const char* CLineStore::NextLine(const char* pLine) const
{
    if (pLine == nullptr)
        return m_nUsed > 0 ? m_pBuffer : nullptr;
    if (!Holds(pLine))
        return nullptr;
    const char* pNext = pLine + strlen(pLine) + 1;
    return pNext < m_pBuffer + m_nUsed ? pNext : nullptr;
}

const char* CLineStore::PrevLine(const char* pLine) const
{
    if (m_nUsed <= 0 || pLine == m_pBuffer)
        return nullptr;
    if (pLine == nullptr)
        pLine = m_pBuffer + m_nUsed;
    else if (!Holds(pLine))
        return nullptr;
    // pLine - 1 is the terminator of the line before.
    for (int i = int(pLine - m_pBuffer) - 2; i >= 0; --i) {
        if (m_pBuffer[i] == 0)
            return m_pBuffer + i + 1;
    }
    return m_pBuffer;
}

bool CLineStore::RemoveLine(int nIndex)
{
    const char* pLine = GetLine(nIndex);
    if (pLine == nullptr)
        return false;
    const int nAt = int(pLine - m_pBuffer);
    const int nLen = int(strlen(pLine)) + 1;
    memmove(m_pBuffer + nAt, m_pBuffer + nAt + nLen, size_t(m_nUsed - nAt - nLen));
    m_nUsed -= nLen;
    return true;
}

int CLineStore::LineLength(int nIndex) const
{
    const char* pLine = GetLine(nIndex);
    return pLine == nullptr ? -1 : int(strlen(pLine));
}

void CLineStore::Clear()
{
    m_nUsed = 0;
    m_nMaxLineLen = 0;
}
