#include <gtest/gtest.h>

#include <stdexcept>
#include <type_traits>
#include <vector>

#include "settings/PagedPtrList.h"

namespace {

// Gives the tests a look at the chain of pages.
template <class List>
class CPageProbe : public List {
public:
    int CountPages() const
    {
        int n = 0;
        for (void** p = this->m_pFirstPage; p != nullptr; p = static_cast<void**>(p[0]))
            ++n;
        return n;
    }
    void* SlotOf(int nPage, int nSlot) const
    {
        void** p = this->m_pFirstPage;
        while (nPage-- > 0)
            p = static_cast<void**>(p[0]);
        return p[nSlot];
    }
    bool HasFirstPage() const { return this->m_pFirstPage != nullptr; }
};

// Records the order in which elements are destroyed.
class CCounted {
public:
    CCounted(int nId, std::vector<int>& log, bool bThrow = false) : m_nId(nId), m_log(log), m_bThrow(bThrow) {}
    virtual ~CCounted() noexcept(false)
    {
        m_log.push_back(m_nId);
        if (m_bThrow)
            throw std::runtime_error("destructor failed");
    }

private:
    int m_nId;
    std::vector<int>& m_log;
    bool m_bThrow;
};

// An owning list cannot be passed on as the plain kind, whose RemoveAll
// would free the pages and lose the records.
static_assert(!std::is_convertible<CPagedPtrOwnerList<CCounted>*, CPagedPtrList<CCounted>*>::value,
              "an owning list passes as the plain kind");

std::vector<int> g_values(3000);

} // namespace

TEST(PagedPtrListTest, NewListIsEmptyWithOneZeroPage)
{
    CPageProbe<CPagedPtrList<int>> list;
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetAt(0), nullptr);
    EXPECT_EQ(list.CountPages(), 1);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(list.SlotOf(0, i), nullptr) << "word " << i;
}

TEST(PagedPtrListTest, OnePageHolds1023AndThe1024thTakesASecondPage)
{
    CPageProbe<CPagedPtrList<int>> list;
    for (int i = 0; i < 1023; ++i)
        list.Append(&g_values[size_t(i)]);
    EXPECT_EQ(list.CountPages(), 1);
    EXPECT_EQ(list.SlotOf(0, 1023), &g_values[1022]);
    list.Append(&g_values[1023]);
    EXPECT_EQ(list.CountPages(), 2);
    EXPECT_EQ(list.SlotOf(1, 1), &g_values[1023]);
    EXPECT_EQ(list.GetAt(1023), &g_values[1023]);
    EXPECT_EQ(list.GetAt(1022), &g_values[1022]);
    EXPECT_EQ(list.GetCount(), 1024);
}

TEST(PagedPtrListTest, Element2046OpensTheThirdPage)
{
    CPageProbe<CPagedPtrList<int>> list;
    for (int i = 0; i < 2046; ++i)
        list.Append(&g_values[size_t(i)]);
    EXPECT_EQ(list.CountPages(), 2);
    list.Append(&g_values[2046]);
    EXPECT_EQ(list.CountPages(), 3);
    for (int i = 0; i <= 2046; ++i)
        ASSERT_EQ(list.GetAt(i), &g_values[size_t(i)]) << "index " << i;
}

TEST(PagedPtrListTest, IndexesOutsideTheCountGiveNull)
{
    CPagedPtrList<int> list;
    list.Append(&g_values[0]);
    list.Append(&g_values[1]);
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.GetAt(2), nullptr);
    EXPECT_EQ(list.GetAt(-2147483647 - 1), nullptr);
    EXPECT_EQ(list.GetAt(1), &g_values[1]);
}

TEST(PagedPtrListTest, NullElementsAreStoredAndCounted)
{
    CPagedPtrList<int> list;
    list.Append(nullptr);
    list.Append(&g_values[5]);
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetAt(0), nullptr);
    EXPECT_EQ(list.GetAt(1), &g_values[5]);
}

TEST(PagedPtrListTest, RemoveAllDropsThePagesAndAppendStartsAFreshOne)
{
    CPageProbe<CPagedPtrList<int>> list;
    for (int i = 0; i < 1500; ++i)
        list.Append(&g_values[size_t(i)]);
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_FALSE(list.HasFirstPage());
    EXPECT_EQ(list.GetAt(0), nullptr);
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);

    list.Append(&g_values[7]);
    EXPECT_EQ(list.CountPages(), 1);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetAt(0), &g_values[7]);
    EXPECT_EQ(list.SlotOf(0, 2), nullptr);
}

TEST(PagedPtrListTest, DestroyingAPlainListLeavesTheElementsAlive)
{
    std::vector<int> log;
    CCounted a(1, log), b(2, log);
    {
        CPagedPtrList<CCounted> list;
        list.Append(&a);
        list.Append(&b);
    }
    EXPECT_TRUE(log.empty());
}

TEST(PagedPtrOwnerListTest, RemoveAllDeletesEachNonNullElementOnceInIndexOrder)
{
    std::vector<int> log;
    CPagedPtrOwnerList<CCounted> list;
    list.Append(new CCounted(1, log));
    list.Append(nullptr);
    list.Append(new CCounted(3, log));
    list.RemoveAll();
    EXPECT_EQ(log, (std::vector<int>{ 1, 3 }));
    EXPECT_EQ(list.GetCount(), 0);
    list.RemoveAll();
    EXPECT_EQ(log.size(), 2u);
}

TEST(PagedPtrOwnerListTest, DestructorDeletesElementsOnAllPages)
{
    std::vector<int> log;
    {
        CPagedPtrOwnerList<CCounted> list;
        for (int i = 0; i < 1030; ++i)
            list.Append(new CCounted(i, log));
    }
    ASSERT_EQ(log.size(), 1030u);
    for (int i = 0; i < 1030; ++i)
        ASSERT_EQ(log[size_t(i)], i);
}

TEST(PagedPtrOwnerListTest, DestroyingAfterRemoveAllDeletesNothingMore)
{
    std::vector<int> log;
    {
        CPagedPtrOwnerList<CCounted> list;
        list.Append(new CCounted(1, log));
        list.RemoveAll();
        EXPECT_EQ(log.size(), 1u);
    }
    EXPECT_EQ(log.size(), 1u);
}

TEST(PagedPtrOwnerListTest, ThrowingElementStillLeavesTheListEmptied)
{
    std::vector<int> log;
    CPageProbe<CPagedPtrOwnerList<CCounted>> list;
    list.Append(new CCounted(1, log));
    list.Append(new CCounted(2, log, true));
    EXPECT_THROW(list.RemoveAll(), std::runtime_error);
    EXPECT_EQ(log, (std::vector<int>{ 1, 2 }));
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_FALSE(list.HasFirstPage());
    // Usable again afterwards.
    list.Append(new CCounted(3, log));
    EXPECT_EQ(list.GetCount(), 1);
    list.RemoveAll();
    EXPECT_EQ(log.back(), 3);
}
