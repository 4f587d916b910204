#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "commands/HistoryList.h"

static std::vector<std::string> Walk(CHistoryList& h, bool bPrev, int nSteps)
{
    std::vector<std::string> v;
    for (int i = 0; i < nSteps; i++)
        v.push_back(bPrev ? h.Prev() : h.Next());
    return v;
}

// The first nSteps entries that a walk over a list of these entries gives.
static std::vector<std::string> WalkOf(std::initializer_list<const char*> entries, bool bPrev, int nSteps)
{
    CHistoryList h(16);
    for (const char* s : entries)
        h.Add(s);
    return Walk(h, bPrev, nSteps);
}

static std::vector<std::string> Entries(const CHistoryList& h)
{
    std::vector<std::string> v;
    for (int i = 0; i < h.GetCount(); i++)
        v.push_back(h.GetAt(i));
    return v;
}

using Strings = std::vector<std::string>;

TEST(HistoryListTest, NextStepsTowardOlderAndWrapsToNewest)
{
    EXPECT_EQ(WalkOf({ "devices", "version" }, false, 3), (Strings{ "version", "devices", "version" }));
    EXPECT_EQ(WalkOf({ "a", "b", "c" }, false, 5), (Strings{ "c", "b", "a", "c", "b" }));
}

TEST(HistoryListTest, PrevStartsAtNewestThenWrapsToOldest)
{
    EXPECT_EQ(WalkOf({ "devices", "version" }, true, 3), (Strings{ "version", "devices", "version" }));
    EXPECT_EQ(WalkOf({ "a", "b", "c" }, true, 5), (Strings{ "c", "a", "b", "c", "a" }));
}

TEST(HistoryListTest, DirectionsShareOneCursorUntilAddOrClear)
{
    CHistoryList h(16);
    for (const char* s : { "a", "b", "c" }) h.Add(s);
    EXPECT_STREQ(h.Next(), "c");
    EXPECT_STREQ(h.Next(), "b");
    EXPECT_STREQ(h.Prev(), "c");
    h.Add("d");
    EXPECT_EQ(h.GetCursor(), -1);
    EXPECT_STREQ(h.Next(), "d");
    h.Clear();
    EXPECT_EQ(h.GetCount(), 0);
    EXPECT_EQ(h.GetCursor(), -1);
    EXPECT_STREQ(h.Prev(), "");
    EXPECT_STREQ(h.Next(), "");
    h.Add("e");
    EXPECT_STREQ(h.Prev(), "e");
    EXPECT_STREQ(h.Prev(), "e");
}

TEST(HistoryListTest, DuplicateInOtherCaseMovesToNewestWithStoredSpelling)
{
    CHistoryList h(16);
    h.Add("devices");
    h.Add("version");
    h.Add("Devices");
    EXPECT_EQ(Entries(h), (Strings{ "version", "devices" }));
    EXPECT_EQ(h.IndexOf("DEVICES"), 1);
    EXPECT_EQ(h.IndexOf("device"), -1);
    // Letters of the Windows code page fold too (E acute, 1252).
    h.Add("\xC9" "cran");
    h.Add("\xE9" "CRAN");
    EXPECT_EQ(Entries(h), (Strings{ "version", "devices", "\xC9" "cran" }));
}

TEST(HistoryListTest, FullListDropsOldestBeforeTheDuplicateTest)
{
    CHistoryList h(16);
    for (int i = 0; i < 16; i++) h.Add(("e" + std::to_string(i)).c_str());
    h.Add("E5");
    EXPECT_EQ(h.GetCount(), 15);
    EXPECT_EQ(h.IndexOf("e0"), -1);
    EXPECT_STREQ(h.GetAt(14), "e5");
    // The oldest itself is dropped, then stored anew in the new spelling.
    CHistoryList g(3);
    for (const char* s : { "a", "b", "c" }) g.Add(s);
    g.Add("A");
    EXPECT_EQ(Entries(g), (Strings{ "b", "c", "A" }));
}

TEST(HistoryListTest, SeventeenLinesKeepTheSixteenNewest)
{
    CHistoryList h(16);
    for (int i = 1; i <= 17; i++) h.Add(("line" + std::to_string(i)).c_str());
    ASSERT_EQ(h.GetCount(), 16);
    EXPECT_STREQ(h.GetAt(0), "line2");
    EXPECT_STREQ(h.GetAt(15), "line17");
}

TEST(HistoryListTest, ReAddingTheOldestEntryOfAFullListByItsOwnPointer)
{
    CHistoryList h(3);
    for (const char* s : { "first", "b", "c" }) h.Add(s);
    h.Add(h.GetAt(0));
    EXPECT_EQ(Entries(h), (Strings{ "b", "c", "first" }));
}

TEST(HistoryListTest, EmptyEntryIsStoredOnceAndMovesToNewest)
{
    CHistoryList h(16);
    h.Add("");
    h.Add("x");
    h.Add("");
    h.Add(nullptr);
    EXPECT_EQ(Entries(h), (Strings{ "x", "" }));
}

TEST(HistoryListTest, RemoveAtKeepsTheWalkOnItsEntryAndRejectsBadIndexes)
{
    CHistoryList h(16);
    for (const char* s : { "a", "b", "c" }) h.Add(s);
    EXPECT_STREQ(h.Next(), "c");
    EXPECT_STREQ(h.Next(), "b");
    char* psz = h.RemoveAt(0, false);
    ASSERT_NE(psz, nullptr);
    EXPECT_STREQ(psz, "a");
    delete[] psz;
    EXPECT_STREQ(h.Prev(), "c");
    EXPECT_EQ(h.RemoveAt(1, true), nullptr);
    EXPECT_EQ(h.GetCursor(), -1);
    EXPECT_EQ(h.RemoveAt(-1, true), nullptr);
    EXPECT_EQ(h.RemoveAt(1, false), nullptr);
    EXPECT_EQ(Entries(h), (Strings{ "b" }));
}

TEST(HistoryListTest, CapacityBelowOneHoldsOneEntry)
{
    CHistoryList h(0);
    h.Add("a");
    h.Add("b");
    EXPECT_EQ(Entries(h), (Strings{ "b" }));
}

class HistoryListComboTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_hCombo = CreateWindowA("COMBOBOX", "", WS_POPUP | CBS_DROPDOWN | WS_VSCROLL,
                                 0, 0, 200, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_hCombo, nullptr) << "CreateWindow failed, error " << GetLastError();
    }
    void TearDown() override
    {
        if (m_hCombo) DestroyWindow(m_hCombo);
    }
    std::string Item(int i)
    {
        char sz[256] = "";
        if (SendMessageA(m_hCombo, CB_GETLBTEXTLEN, WPARAM(i), 0) >= LRESULT(sizeof sz)) return "?";
        SendMessageA(m_hCombo, CB_GETLBTEXT, WPARAM(i), LPARAM(sz));
        return sz;
    }
    HWND m_hCombo = nullptr;
};

TEST_F(HistoryListComboTest, FillsNewestFirstAndSelectsTheNewest)
{
    CHistoryList h(32);
    for (const char* s : { "old", "middle", "new" }) h.Add(s);
    h.FillComboBox(m_hCombo);
    ASSERT_EQ(SendMessageA(m_hCombo, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(Item(0), "new");
    EXPECT_EQ(Item(1), "middle");
    EXPECT_EQ(Item(2), "old");
    EXPECT_EQ(SendMessageA(m_hCombo, CB_GETCURSEL, 0, 0), 0);
    char sz[64] = "";
    GetWindowTextA(m_hCombo, sz, sizeof sz);
    EXPECT_STREQ(sz, "new");
}

TEST_F(HistoryListComboTest, EmptyHistoryLeavesTheComboEmpty)
{
    CHistoryList h(32);
    h.FillComboBox(m_hCombo);
    EXPECT_EQ(SendMessageA(m_hCombo, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(m_hCombo, CB_GETCURSEL, 0, 0), CB_ERR);
}
