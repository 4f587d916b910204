#include "screen/LineStore.h"

#include "screen/LetterWidth.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {

const char kBackspace = 8;
const int kMinSlots = 16;
const int kMaxDirty = -2;

// Slack at the end of the block: the live bytes move down once per this
// many bytes appended, so a full store moves about four bytes per byte
// stored. With the index it keeps the store within a quarter more than the
// block for lines of 100 bytes, and within half more for empty lines.
int SlackFor(int nSize)
{
    const int nSlack = nSize / 25 * 6;
    return nSlack > INT_MAX - nSize ? INT_MAX - nSize : nSlack;
}

// Index slots that a capacity can ever need: every line takes at least its
// terminator, and a run of lines may begin and end in part-filled groups.
int MaxSlotsFor(int nCapacity)
{
    return (nCapacity + 1) / CLineStore::kGroupLines + 3;
}

int CountZeros(const char* p, int n)
{
    int nZeros = 0;
    const char* pEnd = p + n;
    while (p < pEnd) {
        const void* pZero = memchr(p, 0, size_t(pEnd - p));
        if (pZero == nullptr)
            break;
        ++nZeros;
        p = static_cast<const char*>(pZero) + 1;
    }
    return nZeros;
}

} // namespace

bool CLineStore::CIndex::Allocate(int nSlots)
{
    try {
        offset.assign(size_t(nSlots), 0);
        arg.assign(size_t(nSlots), 0);
        // -1: a free slot.
        tree.assign(2 * size_t(nSlots), -1);
    } catch (const std::bad_alloc&) {
        *this = CIndex();
        return false;
    }
    return true;
}

void CLineStore::CIndex::Swap(CIndex& other)
{
    offset.swap(other.offset);
    arg.swap(other.arg);
    tree.swap(other.tree);
}

size_t CLineStore::CIndex::Bytes() const
{
    return offset.capacity() * sizeof(int) + arg.capacity() + tree.capacity() * sizeof(int);
}

CLineStore::CLineStore(int nSize)
    : m_pBuffer(nullptr), m_nCapacity(0), m_nUsed(0), m_nMaxLineLen(0),
      m_pBlock(nullptr), m_nAlloc(0), m_nStart(0), m_nBase(0), m_nLines(0), m_nLastStart(0),
      m_nSlots(0), m_nFirstSlot(0), m_nMaxSlots(0), m_nMax(kMaxDirty), m_nCursorLine(-1), m_nCursorOffset(0)
{
    if (nSize > 0 && !Resize(nSize))
        throw std::bad_alloc();
}

CLineStore::~CLineStore()
{
    Resize(0);
}

long long CLineStore::AllocatedBytes() const
{
    return (long long)m_nAlloc + (long long)m_index.Bytes();
}

bool CLineStore::Resize(int nSize)
{
    if (nSize < 1) {
        delete[] m_pBlock;
        m_index = CIndex();
        m_pBlock = m_pBuffer = nullptr;
        m_nAlloc = m_nCapacity = m_nUsed = m_nMaxLineLen = 0;
        m_nStart = m_nLines = m_nLastStart = m_nSlots = m_nFirstSlot = m_nMaxSlots = 0;
        m_nBase = 0;
        m_nMax = kMaxDirty;
        m_nCursorLine = -1;
        return true;
    }
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
    const int nLines = nKeep > 0 ? CountZeros(m_pBuffer + nKeepFrom, nKeep) : 0;
    const int nMaxSlots = MaxSlotsFor(nNewCapacity);
    const int nSlots = std::min(std::max(kMinSlots, 2 * (nLines / kGroupLines + 2)), nMaxSlots);
    const int nAlloc = nSize + SlackFor(nSize);

    char* pNew = new (std::nothrow) char[size_t(nAlloc)];
    CIndex index;
    if (pNew == nullptr || !index.Allocate(nSlots)) {
        delete[] pNew;
        return false;
    }
    if (nKeep > 0)
        memcpy(pNew, m_pBuffer + nKeepFrom, size_t(nKeep));
    delete[] m_pBlock;

    m_pBlock = m_pBuffer = pNew;
    m_nAlloc = nAlloc;
    m_nCapacity = nNewCapacity;
    m_nStart = 0;
    m_nUsed = nKeep;
    m_nSlots = nSlots;
    m_nMaxSlots = nMaxSlots;
    m_index.Swap(index);
    RebuildIndex();
    return true;
}

void CLineStore::ResetIndex()
{
    m_nBase = 0;
    m_nFirstSlot = 0;
    m_nLines = 0;
    m_nLastStart = m_nStart;
    if (m_nSlots > 0) {
        std::fill(m_index.tree.begin(), m_index.tree.end(), -1);
    }
    m_nMax = kMaxDirty;
    m_nCursorLine = -1;
}

void CLineStore::RebuildIndex()
{
    ResetIndex();
    int nOffset = m_nStart;
    const int nEnd = m_nStart + m_nUsed;
    while (nOffset < nEnd) {
        const int nLen = int(strlen(m_pBlock + nOffset));
        AddLine(nOffset, Width(m_pBlock + nOffset, nLen));
        nOffset += nLen + 1;
    }
}

void CLineStore::GroupStart(int64_t nGroup, int* pnOffset, int64_t* pnLine) const
{
    // The first group may have lost its first lines: its stored start is stale.
    if (nGroup == FirstGroup()) {
        *pnOffset = m_nStart;
        *pnLine = m_nBase;
    } else {
        *pnOffset = m_index.offset[Slot(nGroup)];
        *pnLine = nGroup * kGroupLines;
    }
}

void CLineStore::SetSlotMax(int nSlot, int nMax, int nArg)
{
    m_index.arg[nSlot] = (unsigned char)nArg;
    int i = m_nSlots + nSlot;
    if (m_index.tree[i] == nMax)
        return;
    m_index.tree[i] = nMax;
    for (i >>= 1; i >= 1; i >>= 1)
        m_index.tree[i] = std::max(m_index.tree[2 * i], m_index.tree[2 * i + 1]);
    m_nMax = kMaxDirty;
}

void CLineStore::ClearGroup(int64_t nGroup)
{
    SetGroupMax(nGroup, -1, 0);
}

void CLineStore::RescanGroup(int64_t nGroup, int64_t nEndLine)
{
    int nOffset;
    int64_t nLine;
    GroupStart(nGroup, &nOffset, &nLine);
    const int64_t nEnd = std::min({ nEndLine, (nGroup + 1) * kGroupLines, m_nBase + m_nLines });
    int nMax = -1, nArg = 0;
    for (; nLine < nEnd; ++nLine) {
        const int nLen = int(strlen(m_pBlock + nOffset));
        const int nWidth = Width(m_pBlock + nOffset, nLen);
        if (nWidth >= nMax) {
            nMax = nWidth;
            nArg = int(nLine % kGroupLines);
        }
        nOffset += nLen + 1;
    }
    SetGroupMax(nGroup, nMax, nArg);
}

bool CLineStore::GrowIndex(int nSlots)
{
    CIndex index;
    if (!index.Allocate(nSlots))
        return false;
    if (m_nLines > 0) {
        for (int64_t g = FirstGroup(); g <= LastGroup(); ++g) {
            const int nOld = Slot(g);
            const int nNew = int(g - FirstGroup());
            index.offset[nNew] = m_index.offset[nOld];
            index.arg[nNew] = m_index.arg[nOld];
            index.tree[nSlots + nNew] = m_index.tree[m_nSlots + nOld];
        }
    }
    for (int i = nSlots - 1; i >= 1; --i)
        index.tree[i] = std::max(index.tree[2 * i], index.tree[2 * i + 1]);
    m_index.Swap(index);
    m_nSlots = nSlots;
    m_nFirstSlot = 0;
    m_nMax = kMaxDirty;
    return true;
}

int CLineStore::EnsureGroupFree()
{
    int nDropped = 0;
    for (;;) {
        const int64_t nNeed = m_nLines == 0 ? 1 : (m_nBase + m_nLines) / kGroupLines - FirstGroup() + 1;
        if (nNeed <= m_nSlots)
            return nDropped;
        const int nSlots = std::min(std::max(2 * m_nSlots, kMinSlots), m_nMaxSlots);
        if (nSlots > m_nSlots && GrowIndex(nSlots))
            continue;
        // Short of memory for the index: keep fewer lines rather than fail.
        DropFirstLine();
        ++nDropped;
    }
}

void CLineStore::DropFirstLine()
{
    const int nLen = int(strlen(m_pBuffer));
    const int64_t nLine = m_nBase;
    const int64_t nGroup = nLine / kGroupLines;
    const int nSlot = Slot(nGroup);
    m_nStart += nLen + 1;
    m_nUsed -= nLen + 1;
    ++m_nBase;
    --m_nLines;
    m_nCursorLine = -1;
    if (m_nBase % kGroupLines == 0) {
        SetSlotMax(nSlot, -1, 0);
        m_nFirstSlot = nSlot + 1 == m_nSlots ? 0 : nSlot + 1;
    } else if (m_nLines == 0) {
        SetSlotMax(nSlot, -1, 0);
    } else if (m_index.arg[nSlot] == nLine % kGroupLines) {
        RescanGroup(nGroup, (nGroup + 1) * kGroupLines);
    }
    if (m_nUsed == 0)
        m_nStart = m_nLastStart = 0;
    m_pBuffer = m_pBlock + m_nStart;
}

int CLineStore::Width(const char* p, int nLength) const
{
    return m_bUtf8Cells ? LetterWidth::Cells(p, size_t(nLength)) : nLength;
}

void CLineStore::SetUtf8Cells(bool bUtf8Cells)
{
    if (m_bUtf8Cells == bUtf8Cells)
        return;
    m_bUtf8Cells = bUtf8Cells;
    if (m_pBlock)
        RebuildIndex();
}

void CLineStore::AddLine(int nOffset, int nWidth)
{
    m_nLastWidth = nWidth;
    const int64_t nLine = m_nBase + m_nLines;
    const int64_t nGroup = nLine / kGroupLines;
    const int nArg = int(nLine % kGroupLines);
    if (m_nLines == 0 || nArg == 0) {
        m_index.offset[Slot(nGroup)] = nOffset;
        SetGroupMax(nGroup, nWidth, nArg);
    } else if (nWidth >= GroupMax(nGroup)) {
        SetGroupMax(nGroup, nWidth, nArg);
    }
    ++m_nLines;
    m_nLastStart = nOffset;
}

void CLineStore::TruncateLines(int64_t nFromLine)
{
    const int64_t nOldLast = LastGroup();
    m_nLines = int(nFromLine - m_nBase);
    m_nCursorLine = -1;
    const int64_t nFirstGone = m_nLines == 0 ? FirstGroup() : LastGroup() + 1;
    for (int64_t g = nFirstGone; g <= nOldLast; ++g)
        ClearGroup(g);
    if (m_nLines == 0)
        return;
    const int64_t nLast = LastGroup();
    if (nFromLine / kGroupLines == nLast && m_index.arg[Slot(nLast)] >= nFromLine % kGroupLines)
        RescanGroup(nLast, nFromLine);
}

void CLineStore::Compact()
{
    if (m_nStart == 0)
        return;
    memmove(m_pBlock, m_pBlock + m_nStart, size_t(m_nUsed));
    if (m_nLines > 0) {
        for (int64_t g = FirstGroup(); g <= LastGroup(); ++g)
            m_index.offset[Slot(g)] -= m_nStart;
    }
    m_nLastStart -= m_nStart;
    m_nStart = 0;
    m_pBuffer = m_pBlock;
    m_nCursorLine = -1;
}

int CLineStore::MakeRoom(int nBytes)
{
    if (nBytes > m_nCapacity)
        return -1;
    int nFree = m_nCapacity - m_nUsed;
    int nDropped = 0;
    while (nBytes > nFree) {
        const int nUsed = m_nUsed;
        DropFirstLine();
        nFree += nUsed - m_nUsed;
        ++nDropped;
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
    int nDropped = EnsureGroupFree();
    nDropped += MakeRoom(int(nLen) + 1);
    m_nCursorLine = -1;

    // nKeep: the bytes that the text is written after; nLow: the lowest the
    // end falls while backspaces take bytes back. Lines from the one holding
    // byte nLow - 1 on are indexed afresh.
    int nKeep = m_nUsed;
    const bool bContinuing = bContinue && nKeep > 0;
    if (bContinuing)
        --nKeep;
    const bool bBackspaces = memchr(pszText, kBackspace, nLen) != nullptr;
    int nLow = nKeep;
    if (bBackspaces) {
        int nEnd = nKeep;
        for (size_t i = 0; i < nLen; ++i) {
            if (pszText[i] != kBackspace)
                ++nEnd;
            else if (nEnd > 0)
                nLow = std::min(nLow, --nEnd);
        }
    }
    if (m_nStart + nKeep + int(nLen) + 1 > m_nAlloc)
        Compact();

    int nNewStart = m_nUsed;   // where the line that this text ends begins
    if (nLow < m_nUsed) {
        const int nLastRel = m_nLastStart - m_nStart;
        int64_t nCut;
        if (nLow >= nLastRel) {
            nCut = m_nBase + m_nLines - 1;
            nNewStart = nLastRel;
        } else {
            nNewStart = nLow;
            while (nNewStart > 0 && m_pBuffer[nNewStart - 1] != 0)
                --nNewStart;
            nCut = m_nBase + m_nLines - CountZeros(m_pBuffer + nNewStart, m_nUsed - nNewStart);
        }
        TruncateLines(nCut);
    }

    if (!bBackspaces) {
        memcpy(m_pBuffer + nKeep, pszText, nLen + 1);
        m_nUsed = nKeep + int(nLen) + 1;
    } else {
        // The terminator is copied too, so the block always ends in a zero.
        int nEnd = nKeep;
        for (size_t i = 0; i <= nLen; ++i) {
            const char ch = pszText[i];
            if (ch != kBackspace)
                m_pBuffer[nEnd++] = ch;
            else if (nEnd > 0)
                --nEnd;
        }
        m_nUsed = nEnd;
    }
    int nWidth = m_nUsed - 1 - nNewStart;
    if (m_bUtf8Cells) {
        // A line continued piece by piece is measured piece by piece: a
        // long line that arrives in many reads costs no more than once.
        nWidth = bBackspaces ? LetterWidth::Cells(m_pBuffer + nNewStart, size_t(nWidth))
                             : (bContinuing ? m_nLastWidth : 0) + LetterWidth::Cells(pszText, nLen);
    }
    AddLine(m_nStart + nNewStart, nWidth);
    return nDropped;
}

int CLineStore::CountLines()
{
    if (m_nLines == 0) {
        m_nMaxLineLen = 0;
        return 0;
    }
    if (m_nMax == kMaxDirty) {
        int nMax = -1;
        for (int l = m_nSlots, r = 2 * m_nSlots; l < r; l >>= 1, r >>= 1) {
            if (l & 1)
                nMax = std::max(nMax, m_index.tree[l++]);
            if (r & 1)
                nMax = std::max(nMax, m_index.tree[--r]);
        }
        m_nMax = nMax;
    }
    m_nMaxLineLen = std::max(m_nMax, 0);
    return m_nLines;
}

int CLineStore::FindLine(int64_t nLine) const
{
    if (nLine < m_nBase || nLine >= m_nBase + m_nLines)
        return -1;
    int nOffset;
    int64_t nAt;
    GroupStart(nLine / kGroupLines, &nOffset, &nAt);
    if (m_nCursorLine >= nAt && m_nCursorLine <= nLine) {
        nOffset = m_nCursorOffset;
        nAt = m_nCursorLine;
    }
    for (; nAt < nLine; ++nAt)
        nOffset += int(strlen(m_pBlock + nOffset)) + 1;
    m_nCursorLine = nLine;
    m_nCursorOffset = nOffset;
    return nOffset;
}

const char* CLineStore::GetLine(int nIndex) const
{
    if (nIndex < 0 || m_nUsed <= 0)
        return nullptr;
    const int nOffset = FindLine(m_nBase + nIndex);
    return nOffset < 0 ? nullptr : m_pBlock + nOffset;
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
    if (nIndex == 0) {
        DropFirstLine();
        return true;
    }
    // Lines after the first are removed seldom: the index is made afresh.
    const int nAt = int(pLine - m_pBuffer);
    const int nLen = int(strlen(pLine)) + 1;
    memmove(m_pBuffer + nAt, m_pBuffer + nAt + nLen, size_t(m_nUsed - nAt - nLen));
    m_nUsed -= nLen;
    RebuildIndex();
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
    m_nStart = 0;
    m_pBuffer = m_pBlock;
    ResetIndex();
}
