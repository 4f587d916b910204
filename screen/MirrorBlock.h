#pragma once
// CMirrorBlock: memory whose pages are mapped twice, back to back, so that
// byte i and byte i + Size() are the same byte. A run of up to Size() bytes
// that starts anywhere in the first half is one contiguous run, however it
// wraps: a ring buffer that never has to move its contents.
#include <cstddef>
#include <utility>

// Zeroed pages straight from the system, for nBytes (more than zero), null
// where it has none. FreePages gives them back at once, so memory that a
// growing structure has left behind does not linger in the heap.
void* AllocatePages(size_t nBytes);
void FreePages(void* p, size_t nBytes);

class CMirrorBlock {
public:
    CMirrorBlock() = default;
    ~CMirrorBlock() { Free(); }
    CMirrorBlock(const CMirrorBlock&) = delete;
    CMirrorBlock& operator=(const CMirrorBlock&) = delete;

    // Maps at least nMin bytes (rounded up to what the system maps in one
    // piece) twice. False, with nothing held, where the system cannot.
    bool Allocate(size_t nMin);
    void Free();
    void Swap(CMirrorBlock& other)
    {
        std::swap(m_pData, other.m_pData);
        std::swap(m_nSize, other.m_nSize);
    }

    // The first of the two mappings, 2 * Size() bytes of address in all.
    char* Data() const { return m_pData; }
    size_t Size() const { return m_nSize; }

private:
    bool Map(size_t nSize);

    char* m_pData = nullptr;
    size_t m_nSize = 0;
};
