#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screen/LineStore.h"
#include "support/StoreLines.h"

namespace {

// Capacity 9, as the smallest useful worked example.
class LineStoreTest : public ::testing::Test {
protected:
    // The store holds exactly these lines in nUsed bytes.
    ::testing::AssertionResult Holds(const std::vector<std::string>& lines, int nUsed)
    {
        if (StoreLines(m_store) == lines && m_store.m_nUsed == nUsed)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << ::testing::PrintToString(StoreLines(m_store)) << " in "
                                             << m_store.m_nUsed << " bytes";
    }

    CLineStore m_store{ 10 };
};

} // namespace

TEST_F(LineStoreTest, CapacityIsOneLessThanTheBlock)
{
    EXPECT_EQ(m_store.m_nCapacity, 9);
    EXPECT_EQ(m_store.m_nUsed, 0);
    EXPECT_NE(m_store.m_pBuffer, nullptr);
}

TEST(LineStoreSizeTest, SizeZeroOrNegativeHasNoBlockAndStoresNothing)
{
    for (int nSize : { 0, -5 }) {
        CLineStore store(nSize);
        EXPECT_EQ(store.m_pBuffer, nullptr);
        EXPECT_EQ(store.m_nCapacity, 0);
        EXPECT_EQ(store.StoreLine("", false), -1);
        EXPECT_EQ(store.MakeRoom(1), -1);
        EXPECT_EQ(store.CountLines(), 0);
        EXPECT_EQ(store.GetLine(0), nullptr);
        EXPECT_EQ(store.PrevLine(nullptr), nullptr);
    }
}

TEST(LineStoreSizeTest, OneByteBlockHoldsNotEvenAnEmptyLine)
{
    CLineStore store(1);
    EXPECT_EQ(store.m_nCapacity, 0);
    EXPECT_EQ(store.StoreLine("", false), -1);
    EXPECT_EQ(store.m_nUsed, 0);
}

TEST_F(LineStoreTest, DropsOldestLineWhenFull)
{
    EXPECT_EQ(m_store.StoreLine("abcd", false), 0);
    EXPECT_EQ(m_store.m_nUsed, 5);
    EXPECT_EQ(m_store.StoreLine("efgh", false), 1);
    EXPECT_TRUE(Holds({ "efgh" }, 5));
}

TEST_F(LineStoreTest, DropsAsManyLinesAsTheNewOneNeeds)
{
    m_store.StoreLine("a", false);
    m_store.StoreLine("b", false);
    m_store.StoreLine("c", false);
    m_store.StoreLine("d", false);
    EXPECT_EQ(m_store.m_nUsed, 8);
    EXPECT_EQ(m_store.StoreLine("wxyz", false), 2);
    EXPECT_TRUE(Holds({ "c", "d", "wxyz" }, 9));
}

TEST_F(LineStoreTest, TextOfCapacityMinusOneFitsExactly)
{
    EXPECT_EQ(m_store.StoreLine("12345678", false), 0);
    EXPECT_EQ(m_store.m_nUsed, 9);
    EXPECT_EQ(m_store.CountLines(), 1);
    EXPECT_EQ(m_store.m_nMaxLineLen, 8);
}

TEST_F(LineStoreTest, TextOfCapacityBytesIsRefusedAndNothingChanges)
{
    m_store.StoreLine("ab", false);
    EXPECT_EQ(m_store.StoreLine("123456789", false), -1);
    EXPECT_EQ(m_store.StoreLine("123456789", true), -1);
    EXPECT_EQ(StoreLines(m_store), (std::vector<std::string>{ "ab" }));
}

TEST_F(LineStoreTest, NullTextIsRefused)
{
    EXPECT_EQ(m_store.StoreLine(nullptr, false), -1);
    EXPECT_EQ(m_store.m_nUsed, 0);
}

TEST_F(LineStoreTest, EmptyTextIsAnEmptyLine)
{
    m_store.StoreLine("x", false);
    EXPECT_EQ(m_store.StoreLine("", false), 0);
    EXPECT_EQ(m_store.m_nUsed, 3);
    EXPECT_EQ(m_store.CountLines(), 2);
    EXPECT_EQ(m_store.LineLength(1), 0);
}

TEST_F(LineStoreTest, ContinueFlagJoinsTheLastLine)
{
    m_store.StoreLine("ab", false);
    EXPECT_EQ(m_store.StoreLine("cd", true), 0);
    EXPECT_TRUE(Holds({ "abcd" }, 5));
}

TEST_F(LineStoreTest, ContinueFlagOnAnEmptyStoreStartsALine)
{
    EXPECT_EQ(m_store.StoreLine("cd", true), 0);
    EXPECT_EQ(StoreLines(m_store), (std::vector<std::string>{ "cd" }));
}

TEST_F(LineStoreTest, ContinuationReservesRoomForTheWholeTextFirst)
{
    // Joined, 'abcdef' and 'gh' would just fit (9 bytes), but the room for
    // 'gh' and its terminator is made before the join, so the first line goes.
    m_store.StoreLine("abcdef", false);
    EXPECT_EQ(m_store.StoreLine("gh", true), 1);
    EXPECT_EQ(StoreLines(m_store), (std::vector<std::string>{ "gh" }));
    m_store.Clear();
    m_store.StoreLine("abcde", false);
    EXPECT_EQ(m_store.StoreLine("gh", true), 0);
    EXPECT_EQ(StoreLines(m_store), (std::vector<std::string>{ "abcdegh" }));
}

TEST_F(LineStoreTest, BackspaceTakesBackTheLastByte)
{
    EXPECT_EQ(m_store.StoreLine("ab\bc", false), 0);
    EXPECT_TRUE(Holds({ "ac" }, 3));
}

TEST_F(LineStoreTest, BackspaceJoinsWithThePreviousLine)
{
    m_store.StoreLine("ab", false);
    m_store.StoreLine("\b\bx", false);
    EXPECT_TRUE(Holds({ "ax" }, 3));
}

TEST_F(LineStoreTest, BackspaceOnAnEmptyStoreDoesNothing)
{
    m_store.StoreLine("\b\b\bz", false);
    EXPECT_EQ(StoreLines(m_store), (std::vector<std::string>{ "z" }));
    m_store.Clear();
    m_store.StoreLine("\b", false);
    EXPECT_EQ(m_store.m_nUsed, 1);
    EXPECT_EQ(m_store.CountLines(), 1);
}

TEST_F(LineStoreTest, BytesAbove127AreOrdinaryText)
{
    m_store.StoreLine("\xE0\xC8\xFF", false);
    ASSERT_EQ(m_store.LineLength(0), 3);
    EXPECT_STREQ(m_store.GetLine(0), "\xE0\xC8\xFF");
}

TEST_F(LineStoreTest, GetLineIsNullOutsideTheLines)
{
    EXPECT_EQ(m_store.GetLine(0), nullptr);
    m_store.StoreLine("a", false);
    m_store.StoreLine("", false);
    m_store.StoreLine("c", false);
    EXPECT_EQ(m_store.GetLine(-1), nullptr);
    EXPECT_EQ(m_store.GetLine(3), nullptr);
    EXPECT_EQ(m_store.GetLine(1), m_store.m_pBuffer + 2);
    EXPECT_STREQ(m_store.GetLine(2), "c");
    EXPECT_EQ(m_store.LineLength(3), -1);
    EXPECT_EQ(m_store.LineLength(-1), -1);
}

TEST_F(LineStoreTest, NextAndPrevLineWalkBothWays)
{
    EXPECT_EQ(m_store.NextLine(nullptr), nullptr);
    EXPECT_EQ(m_store.PrevLine(nullptr), nullptr);
    m_store.StoreLine("ab", false);
    m_store.StoreLine("", false);
    m_store.StoreLine("cde", false);

    const char* pLast = m_store.PrevLine(nullptr);
    EXPECT_STREQ(pLast, "cde");
    const char* pEmpty = m_store.PrevLine(pLast);
    EXPECT_EQ(pEmpty, m_store.m_pBuffer + 3);
    const char* pFirst = m_store.PrevLine(pEmpty);
    EXPECT_EQ(pFirst, m_store.m_pBuffer);
    EXPECT_EQ(m_store.PrevLine(pFirst), nullptr);

    EXPECT_EQ(m_store.NextLine(pFirst), pEmpty);
    EXPECT_EQ(m_store.NextLine(pEmpty), pLast);
    EXPECT_EQ(m_store.NextLine(pLast), nullptr);
}

TEST_F(LineStoreTest, PrevLineOfTheLineAfterAnEmptyFirstLine)
{
    m_store.StoreLine("", false);
    m_store.StoreLine("x", false);
    EXPECT_EQ(m_store.PrevLine(m_store.GetLine(1)), m_store.m_pBuffer);
}

TEST_F(LineStoreTest, ForeignPointersAreNotWalked)
{
    m_store.StoreLine("ab", false);
    const char szOther[] = "elsewhere";
    EXPECT_EQ(m_store.NextLine(szOther), nullptr);
    EXPECT_EQ(m_store.PrevLine(szOther), nullptr);
    EXPECT_EQ(m_store.NextLine(m_store.m_pBuffer + m_store.m_nUsed), nullptr);
}

TEST_F(LineStoreTest, RemoveLineClosesTheGap)
{
    m_store.StoreLine("a", false);
    m_store.StoreLine("bc", false);
    m_store.StoreLine("d", false);
    EXPECT_TRUE(m_store.RemoveLine(1));
    EXPECT_TRUE(Holds({ "a", "d" }, 4));
    EXPECT_FALSE(m_store.RemoveLine(2));
    EXPECT_FALSE(m_store.RemoveLine(-1));
    EXPECT_TRUE(m_store.RemoveLine(1));
    EXPECT_TRUE(m_store.RemoveLine(0));
    EXPECT_EQ(m_store.m_nUsed, 0);
    EXPECT_FALSE(m_store.RemoveLine(0));
}

TEST_F(LineStoreTest, MakeRoomRefusesMoreThanTheCapacity)
{
    m_store.StoreLine("ab", false);
    EXPECT_EQ(m_store.MakeRoom(10), -1);
    EXPECT_EQ(m_store.m_nUsed, 3);
    EXPECT_EQ(m_store.MakeRoom(6), 0);
    EXPECT_EQ(m_store.MakeRoom(9), 1);
    EXPECT_EQ(m_store.m_nUsed, 0);
}

TEST_F(LineStoreTest, CountLinesFindsTheLongestLine)
{
    m_store.StoreLine("ab", false);
    m_store.StoreLine("cdef", false);
    m_store.StoreLine("", false);
    EXPECT_EQ(m_store.CountLines(), 3);
    EXPECT_EQ(m_store.m_nMaxLineLen, 4);
    m_store.RemoveLine(1);
    EXPECT_EQ(m_store.CountLines(), 2);
    EXPECT_EQ(m_store.m_nMaxLineLen, 2);
}

TEST_F(LineStoreTest, ClearKeepsTheBlock)
{
    m_store.StoreLine("abc", false);
    m_store.CountLines();
    char* pBlock = m_store.m_pBuffer;
    m_store.Clear();
    EXPECT_EQ(m_store.m_nUsed, 0);
    EXPECT_EQ(m_store.m_nMaxLineLen, 0);
    EXPECT_EQ(m_store.m_pBuffer, pBlock);
    EXPECT_EQ(m_store.m_nCapacity, 9);
    EXPECT_EQ(m_store.GetLine(0), nullptr);
}

TEST(LineStoreResizeTest, FirstResizeGivesTheBlock)
{
    CLineStore store(0);
    EXPECT_TRUE(store.Resize(4 << 20));
    EXPECT_EQ(store.m_nCapacity, 4194303);
    EXPECT_EQ(store.StoreLine("hello", false), 0);
    EXPECT_STREQ(store.GetLine(0), "hello");
}

TEST(LineStoreResizeTest, GrowingKeepsEveryLine)
{
    CLineStore store(10);
    store.StoreLine("abc", false);
    store.StoreLine("de", false);
    EXPECT_TRUE(store.Resize(100));
    EXPECT_EQ(store.m_nCapacity, 99);
    EXPECT_EQ(StoreLines(store), (std::vector<std::string>{ "abc", "de" }));
}

TEST(LineStoreResizeTest, ShrinkingKeepsOnlyWholeNewestLines)
{
    CLineStore store(20);
    store.StoreLine("one", false);
    store.StoreLine("two", false);
    store.StoreLine("three", false);
    // 14 bytes in use; capacity 7 cuts into "two", which must go whole.
    EXPECT_TRUE(store.Resize(8));
    EXPECT_EQ(store.m_nCapacity, 7);
    EXPECT_EQ(StoreLines(store), (std::vector<std::string>{ "three" }));
    EXPECT_EQ(store.m_nUsed, 6);
}

TEST(LineStoreResizeTest, ShrinkingOntoALineStartKeepsThatLine)
{
    CLineStore store(20);
    store.StoreLine("one", false);
    store.StoreLine("two", false);
    store.StoreLine("three", false);
    EXPECT_TRUE(store.Resize(11));
    EXPECT_EQ(StoreLines(store), (std::vector<std::string>{ "two", "three" }));
    EXPECT_EQ(store.m_nUsed, 10);
}

TEST(LineStoreResizeTest, NewestLineLongerThanTheNewCapacityLeavesItEmpty)
{
    CLineStore store(20);
    store.StoreLine("a", false);
    store.StoreLine("longline", false);
    EXPECT_TRUE(store.Resize(5));
    EXPECT_EQ(store.m_nUsed, 0);
    EXPECT_EQ(store.CountLines(), 0);
    EXPECT_EQ(store.StoreLine("abc", false), 0);
    EXPECT_EQ(StoreLines(store), (std::vector<std::string>{ "abc" }));
}

TEST(LineStoreResizeTest, ResizeToNothingFreesTheBlock)
{
    CLineStore store(20);
    store.StoreLine("abc", false);
    EXPECT_TRUE(store.Resize(0));
    EXPECT_EQ(store.m_pBuffer, nullptr);
    EXPECT_EQ(store.m_nCapacity, 0);
    EXPECT_EQ(store.m_nUsed, 0);
    EXPECT_EQ(store.StoreLine("a", false), -1);
    EXPECT_TRUE(store.Resize(4));
    EXPECT_EQ(store.StoreLine("ab", false), 0);
    EXPECT_STREQ(store.GetLine(0), "ab");
}

TEST(LineStoreFillTest, StaysConsistentUnderManyLinesOfMixedLengths)
{
    CLineStore store(1000);
    int nStored = 0, nDropped = 0;
    for (int i = 0; i < 5000; ++i) {
        std::string line(size_t(i % 37), char('a' + i % 26));
        line += std::to_string(i);
        const int n = store.StoreLine(line.c_str(), false);
        ASSERT_GE(n, 0);
        nStored += 1;
        nDropped += n;
        ASSERT_LE(store.m_nUsed, store.m_nCapacity);
        ASSERT_EQ(store.m_pBuffer[store.m_nUsed - 1], 0);
    }
    EXPECT_EQ(store.CountLines(), nStored - nDropped);
    // The newest line is the last one stored, and the oldest one kept is
    // the one after the last dropped.
    const char* pLast = store.PrevLine(nullptr);
    EXPECT_EQ(std::string(pLast), std::string(size_t(4999 % 37), char('a' + 4999 % 26)) + "4999");
    const int nFirst = nDropped;
    EXPECT_EQ(std::string(store.GetLine(0)),
              std::string(size_t(nFirst % 37), char('a' + nFirst % 26)) + std::to_string(nFirst));
}
