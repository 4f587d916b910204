#pragma once
// CLineStore: the console's lines, back to back in one fixed block, each
// ended by a zero byte, oldest first. A new line that does not fit drops the
// oldest lines. The store has no lock: its owner serialises every use.
//
// Inside, the live lines lie in the block from m_pBuffer on, which moves
// forward as old lines are dropped; the block has some slack at its end, and
// the live bytes are moved down only when the slack is used up. Beside the
// block an index keeps, for every group of kGroupLines consecutive lines,
// where the group starts and its longest line, so that finding a line walks
// at most a group and the longest line is known without a walk.
#include <cstddef>
#include <cstdint>
#include <vector>

class CLineStore {
public:
    // nSize < 1 gives no block and capacity 0: every StoreLine then fails.
    explicit CLineStore(int nSize = 0);
    virtual ~CLineStore();

    CLineStore(const CLineStore&) = delete;
    CLineStore& operator=(const CLineStore&) = delete;

    // Takes a new block of nSize bytes, keeping the newest whole lines that
    // fit. Returns false, with the store untouched, when the block cannot be
    // allocated. nSize < 1 frees the block and leaves an empty store.
    bool Resize(int nSize);

    // Appends a line (or, with bContinue, the rest of the last line); a byte
    // 8 takes back the last stored byte. Returns the number of old lines
    // dropped to make room, or -1 when the text can never fit.
    int StoreLine(const char* pszText, bool bContinue);

    // Drops oldest lines until nBytes are free; -1 if nBytes > capacity.
    int MakeRoom(int nBytes);

    // Also sets m_nMaxLineLen to the longest line's width.
    int CountLines();

    // A line's width is its length in bytes, or with bUtf8Cells (UTF-8
    // text) its cells on the screen's grid. Re-measures the stored lines.
    void SetUtf8Cells(bool bUtf8Cells);

    // Line pointers stay valid only until the store is next changed.
    const char* GetLine(int nIndex) const;
    const char* NextLine(const char* pLine) const;
    const char* PrevLine(const char* pLine) const;

    bool RemoveLine(int nIndex);
    int LineLength(int nIndex) const;
    void Clear();

    // Bytes the store has allocated: the block with its slack and the index.
    long long AllocatedBytes() const;

    char* m_pBuffer;      // the oldest line; null without a block
    int m_nCapacity;      // block size minus one
    int m_nUsed;          // bytes in use from m_pBuffer, every terminator included
    int m_nMaxLineLen;    // as found by the last CountLines
    bool m_bUtf8Cells = false;

    static const int kGroupLines = 64;

private:
    bool Holds(const char* pLine) const;

    // Live groups (and the next one) follow m_nFirstSlot round the ring.
    int Slot(int64_t nGroup) const
    {
        const int n = m_nFirstSlot + int(nGroup - FirstGroup());
        return n >= m_nSlots ? n - m_nSlots : n;
    }
    int64_t FirstGroup() const { return m_nBase / kGroupLines; }
    int64_t LastGroup() const { return (m_nBase + m_nLines - 1) / kGroupLines; }
    // The first live line of a group and its absolute number.
    void GroupStart(int64_t nGroup, int* pnOffset, int64_t* pnLine) const;
    int GroupMax(int64_t nGroup) const { return m_index.tree[size_t(m_nSlots + Slot(nGroup))]; }
    void SetGroupMax(int64_t nGroup, int nMax, int nArg) { SetSlotMax(Slot(nGroup), nMax, nArg); }
    void SetSlotMax(int nSlot, int nMax, int nArg);
    void ClearGroup(int64_t nGroup);
    // Finds the longest of the group's live lines before nEndLine again.
    void RescanGroup(int64_t nGroup, int64_t nEndLine);
    bool GrowIndex(int nSlots);
    int EnsureGroupFree();   // lines dropped when memory is short
    void DropFirstLine();
    // The width of the nLength bytes at p.
    int Width(const char* p, int nLength) const;
    void AddLine(int nOffset, int nWidth);
    void TruncateLines(int64_t nFromLine);
    void Compact();
    void ResetIndex();
    void RebuildIndex();
    int FindLine(int64_t nLine) const;

    char* m_pBlock;       // the allocation: block size plus slack
    int m_nAlloc;
    int m_nStart;         // offset of m_pBuffer in m_pBlock
    int64_t m_nBase;      // absolute number of line 0; lines are never renumbered
    int m_nLines;
    int m_nLastStart;     // offset in m_pBlock of the last line
    int m_nLastWidth = 0; // and its width

    // The index: a ring of m_nSlots groups, the first live one in m_nFirstSlot.
    int m_nSlots;
    int m_nFirstSlot;
    int m_nMaxSlots;      // what the capacity can ever need
    struct CIndex {
        std::vector<int> offset;          // offset in m_pBlock of the group's first line
        std::vector<unsigned char> arg;   // the last line of the group that is the longest
        // Maximum tree: tree[m_nSlots + slot] is the longest line of the group
        // in that slot (-1 for a free slot), tree[i] the larger of 2i and 2i + 1.
        std::vector<int> tree;

        // Arrays for nSlots groups, all free; false when memory is short.
        bool Allocate(int nSlots);
        void Swap(CIndex& other);
        size_t Bytes() const;
    } m_index;
    mutable int m_nMax;   // -2 when it has to be taken from the tree again

    // GetLine's last answer, for walks over neighbouring lines.
    mutable int64_t m_nCursorLine;
    mutable int m_nCursorOffset;
};
