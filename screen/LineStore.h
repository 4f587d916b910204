#pragma once
// CLineStore: the console's lines, back to back in one fixed block, each
// ended by a zero byte, oldest first. A new line that does not fit drops the
// oldest lines. The store has no lock: its owner serialises every use.

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

    // Also recomputes m_nMaxLineLen.
    int CountLines();

    // Line pointers stay valid only until the store is next changed.
    const char* GetLine(int nIndex) const;
    const char* NextLine(const char* pLine) const;
    const char* PrevLine(const char* pLine) const;

    bool RemoveLine(int nIndex);
    int LineLength(int nIndex) const;
    void Clear();

    char* m_pBuffer;
    int m_nCapacity;      // block size minus one
    int m_nUsed;          // bytes in use, every terminator included
    int m_nMaxLineLen;    // as found by the last CountLines

private:
    bool Holds(const char* pLine) const;
};
