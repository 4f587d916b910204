#pragma once
// CPagedPtrList: an append-only list of pointers kept in a chain of fixed
// pages that never move. Word 0 of a page links to the next page, so a page
// of 1024 words holds 1023 elements. Allocation failures raise std::bad_alloc
// and leave the list as it was.
#include <climits>
#include <new>
#include <type_traits>

template <class T>
class CPagedPtrList {
public:
    enum { kPageWords = 1024, kPageSlots = kPageWords - 1 };

    CPagedPtrList() : m_pFirstPage(NewPage()), m_nCount(0) {}
    virtual ~CPagedPtrList() { FreePages(); }

    CPagedPtrList(const CPagedPtrList&) = delete;
    CPagedPtrList& operator=(const CPagedPtrList&) = delete;

    void Append(T* p)
    {
        const int n = m_nCount;
        if (n == INT_MAX)
            throw std::bad_alloc();
        // After RemoveAll the chain is gone; start a fresh one.
        if (m_pFirstPage == nullptr)
            m_pFirstPage = NewPage();
        if (n % kPageSlots != 0 || n == 0) {
            PageOf(n)[n % kPageSlots + 1] = static_cast<void*>(p);
        } else {
            void** pLast = m_pFirstPage;
            while (pLast[0] != nullptr)
                pLast = static_cast<void**>(pLast[0]);
            void** pNew = NewPage();
            pNew[1] = static_cast<void*>(p);
            pLast[0] = pNew;
        }
        m_nCount = n + 1;
    }

    T* GetAt(int i) const
    {
        if (i < 0 || i >= m_nCount)
            return nullptr;
        return static_cast<T*>(PageOf(i)[i % kPageSlots + 1]);
    }

    int GetCount() const { return m_nCount; }

    // Frees the pages only; the elements are not touched.
    void RemoveAll() { FreePages(); }

protected:
    static void** NewPage() { return new void*[kPageWords](); }

    void** PageOf(int i) const
    {
        void** pPage = m_pFirstPage;
        for (int nLinks = i / kPageSlots; nLinks > 0; --nLinks)
            pPage = static_cast<void**>(pPage[0]);
        return pPage;
    }

    void FreePages()
    {
        void** pPage = m_pFirstPage;
        while (pPage != nullptr) {
            void** pNext = static_cast<void**>(pPage[0]);
            delete[] pPage;
            pPage = pNext;
        }
        m_pFirstPage = nullptr;
        m_nCount = 0;
    }

    void** m_pFirstPage;
    int m_nCount;
};

// The owning kind deletes its elements (through their virtual destructors)
// when it is emptied or destroyed. It is not usable as the plain kind: the
// plain RemoveAll, reached through the base, would free the pages and lose
// the elements.
template <class T>
class CPagedPtrOwnerList : protected CPagedPtrList<T> {
public:
    using CPagedPtrList<T>::kPageWords;
    using CPagedPtrList<T>::kPageSlots;
    using CPagedPtrList<T>::Append;
    using CPagedPtrList<T>::GetAt;
    using CPagedPtrList<T>::GetCount;

    CPagedPtrOwnerList() = default;
    ~CPagedPtrOwnerList() override { RemoveAll(); }

    void RemoveAll()
    {
        static_assert(std::has_virtual_destructor<T>::value,
                      "an owning list deletes through the element's virtual destructor");
        try {
            for (int i = 0; i < this->GetCount(); ++i) {
                T* p = this->GetAt(i);
                if (p != nullptr)
                    delete p;
            }
        } catch (...) {
            this->FreePages();
            throw;
        }
        this->FreePages();
    }
};
