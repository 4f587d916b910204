// The line store against its literal reference: long random sequences of
// every operation, compared after each one.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "screen/LineStore.h"
#include "support/LineStoreModel.h"

namespace {

using CPrintStore = CPrintModelT<CLineStore>;

class CRandomText {
public:
    explicit CRandomText(unsigned nSeed) : m_rng(nSeed) {}

    int Below(int n) { return n <= 0 ? 0 : int(m_rng() % unsigned(n)); }
    bool Chance(int nPercent) { return Below(100) < nPercent; }

    // Texts of every kind the store meets: empty, short, around the
    // capacity, with code bytes, high letters and backspaces (alone or in runs).
    std::string Text(int nCapacity)
    {
        int nLen;
        switch (Below(6)) {
        case 0: nLen = 0; break;
        case 1: nLen = nCapacity - 2 + Below(4); break;   // just below, at and over
        case 2: nLen = Below(nCapacity + 2); break;
        default: nLen = 1 + Below(6); break;
        }
        if (nLen < 0)
            nLen = 0;
        std::string s;
        const int nBackspacePercent = Chance(30) ? 0 : (Chance(20) ? 60 : 8);
        for (int i = 0; i < nLen; ++i) {
            if (Chance(nBackspacePercent))
                s += char(8);
            else if (i == 0 && Chance(15))
                s += char(1 + Below(7));
            else if (Chance(5))
                s += char(0xC0 + Below(0x40));
            else
                s += char('a' + Below(26));
        }
        return s;
    }

    std::mt19937 m_rng;
};

// Everything a caller can read, compared line by line.
void ExpectSame(CLineStore& store, CLineStoreModel& model, const std::string& where)
{
    SCOPED_TRACE(where);
    ASSERT_EQ(store.m_nCapacity, model.m_nCapacity);
    ASSERT_EQ(store.m_nUsed, model.m_nUsed);
    ASSERT_EQ(store.m_nMaxLineLen, model.m_nMaxLineLen) << "before CountLines";
    ASSERT_EQ(store.m_pBuffer == nullptr, model.m_pBuffer == nullptr);
    const int nLines = model.CountLines();
    ASSERT_EQ(store.CountLines(), nLines);
    ASSERT_EQ(store.m_nMaxLineLen, model.m_nMaxLineLen);
    if (model.m_nUsed > 0) {
        ASSERT_EQ(std::string(store.m_pBuffer, size_t(store.m_nUsed)),
                  std::string(model.m_pBuffer, size_t(model.m_nUsed)));
    }
    // Forward by index, forward by pointer, backward by pointer.
    const char* pNext = store.NextLine(nullptr);
    for (int i = 0; i < nLines; ++i) {
        const char* p = store.GetLine(i);
        const char* q = model.GetLine(i);
        ASSERT_NE(p, nullptr) << "line " << i;
        ASSERT_EQ(p - store.m_pBuffer, q - model.m_pBuffer) << "line " << i;
        ASSERT_STREQ(p, q) << "line " << i;
        ASSERT_EQ(store.LineLength(i), model.LineLength(i));
        ASSERT_EQ(pNext, p) << "NextLine to line " << i;
        pNext = store.NextLine(pNext);
    }
    ASSERT_EQ(pNext, nullptr);
    const char* pPrev = store.PrevLine(nullptr);
    for (int i = nLines - 1; i >= 0; --i) {
        ASSERT_EQ(pPrev, store.GetLine(i)) << "PrevLine to line " << i;
        pPrev = store.PrevLine(pPrev);
    }
    ASSERT_EQ(pPrev, nullptr);
    ASSERT_EQ(store.GetLine(nLines), nullptr);
    ASSERT_EQ(store.GetLine(-1), nullptr);
    ASSERT_EQ(store.LineLength(nLines), -1);
}

// Runs nOps random operations on a store of nSize bytes and its reference.
void RunRandom(unsigned nSeed, int nSize, int nOps, bool bFullCheckEveryOp)
{
    CRandomText rnd(nSeed);
    CPrintStore real(nSize);
    CPrintModel model(nSize);
    int nCapacity = nSize - 1;
    for (int nOp = 0; nOp < nOps; ++nOp) {
        std::string where = "seed " + std::to_string(nSeed) + " op " + std::to_string(nOp);
        const int nKind = rnd.Below(100);
        if (nKind < 55) {
            // Through Print's rules: code byte, continuation, mark and find shifts.
            std::string text = rnd.Text(nCapacity);
            const int nCode = rnd.Chance(20) ? 1 + rnd.Below(3) : 0;
            const bool bContinue = rnd.Chance(40);
            real.m_nCode = model.m_nCode = nCode;
            real.m_bContinueLine = model.m_bContinueLine = bContinue;
            if (rnd.Chance(10)) {
                const int nFirst = rnd.Below(20) - 1, nLast = nFirst < 0 ? -1 : nFirst + rnd.Below(5);
                real.m_nMarkFirst = model.m_nMarkFirst = nFirst;
                real.m_nMarkLast = model.m_nMarkLast = nLast;
                real.m_nFindLine = model.m_nFindLine = rnd.Below(20) - 1;
                real.m_nFindColumn = model.m_nFindColumn = real.m_nFindLine < 0 ? -1 : rnd.Below(5);
            }
            ASSERT_EQ(real.Print(text.c_str()), model.Print(text.c_str())) << where;
            ASSERT_EQ(real.m_nMarkFirst, model.m_nMarkFirst) << where;
            ASSERT_EQ(real.m_nMarkLast, model.m_nMarkLast) << where;
            ASSERT_EQ(real.m_nFindLine, model.m_nFindLine) << where;
            ASSERT_EQ(real.m_nFindColumn, model.m_nFindColumn) << where;
        } else if (nKind < 70) {
            std::string text = rnd.Text(nCapacity);
            const bool bContinue = rnd.Chance(50);
            ASSERT_EQ(real.m_store.StoreLine(text.c_str(), bContinue), model.m_store.StoreLine(text.c_str(), bContinue))
                << where;
        } else if (nKind < 76) {
            const int nBytes = rnd.Below(nCapacity + 3);
            ASSERT_EQ(real.m_store.MakeRoom(nBytes), model.m_store.MakeRoom(nBytes)) << where;
        } else if (nKind < 84) {
            // CountLines on both, as it also sets the longest length.
            const int nLines = model.m_store.CountLines();
            ASSERT_EQ(real.m_store.CountLines(), nLines) << where;
            // Mostly the first line, as dropping does; also any line and none.
            const int nIndex = rnd.Chance(50) ? 0 : rnd.Below(nLines + 2) - 1;
            ASSERT_EQ(real.m_store.RemoveLine(nIndex), model.m_store.RemoveLine(nIndex)) << where;
        } else if (nKind < 85) {
            real.m_store.Clear();
            model.m_store.Clear();
        } else if (nKind < 87) {
            const int nNewSize = rnd.Chance(5) ? 0 : 1 + rnd.Below(2 * nSize);
            ASSERT_EQ(real.m_store.Resize(nNewSize), model.m_store.Resize(nNewSize)) << where;
            nCapacity = model.m_store.m_nCapacity;
            if (nNewSize == 0) {
                ASSERT_TRUE(real.m_store.Resize(nSize));
                ASSERT_TRUE(model.m_store.Resize(nSize));
                nCapacity = nSize - 1;
            }
        } else if (nKind < 92) {
            ASSERT_EQ(real.m_store.CountLines(), model.m_store.CountLines()) << where;
        } else {
            const int nLines = model.m_store.CountLines();
            ASSERT_EQ(real.m_store.CountLines(), nLines) << where;
            const int nIndex = rnd.Below(nLines + 3) - 1;
            const char* p = real.m_store.GetLine(nIndex);
            const char* q = model.m_store.GetLine(nIndex);
            ASSERT_EQ(p == nullptr, q == nullptr) << where;
            if (p) {
                ASSERT_STREQ(p, q) << where;
            }
            ASSERT_EQ(real.m_store.LineLength(nIndex), model.m_store.LineLength(nIndex)) << where;
        }
        if (bFullCheckEveryOp || nOp % 97 == 0) {
            ExpectSame(real.m_store, model.m_store, where);
            if (::testing::Test::HasFatalFailure())
                return;
        }
    }
    ExpectSame(real.m_store, model.m_store, "end");
}

// RunRandom for each seed from nFirst to nLast, up to the first fatal failure.
void RunSeeds(unsigned nFirst, unsigned nLast, int nSize, int nOps, bool bFullCheckEveryOp)
{
    for (unsigned nSeed = nFirst; nSeed <= nLast && !::testing::Test::HasFatalFailure(); ++nSeed)
        RunRandom(nSeed, nSize, nOps, bFullCheckEveryOp);
}

} // namespace

TEST(LineStoreModelTest, TenByteStoreFollowsTheReference)
{
    RunSeeds(1, 8, 10, 6000, true);
}

TEST(LineStoreModelTest, HundredByteStoreFollowsTheReference)
{
    RunSeeds(11, 18, 100, 6000, true);
}

// The lines are moved down to the block's start whenever the slack at its
// end is used up.
TEST(LineStoreModelTest, PlainBlockFollowsTheReference)
{
    RunSeeds(51, 54, 100, 6000, true);
    if (!::testing::Test::HasFatalFailure())
        RunSeeds(61, 62, 3000, 5000, false);
}

// Enough lines for many index groups, the ring of groups to grow and wrap,
// and the start of the lines to pass the end of the ring many times.
TEST(LineStoreModelTest, StoreOfManyShortLinesFollowsTheReference)
{
    RunSeeds(21, 22, 3000, 5000, false);
}

// Only empty lines and single letters, with a backspace now and then that
// joins a line to the one before across the boundary of an index group.
TEST(LineStoreModelTest, EmptyLinesAndBackspacesAcrossGroupsFollowTheReference)
{
    std::mt19937 rng(31);
    CLineStore store(700);
    CLineStoreModel model(700);
    for (int i = 0; i < 20000; ++i) {
        const unsigned r = rng() % 100;
        const char* pszText = r < 60 ? "" : r < 80 ? "x" : r < 90 ? "\b" : r < 95 ? "\b\b\b" : "\b\b\b\b\b\b\b\b\b\b";
        const bool bContinue = rng() % 8 == 0;
        ASSERT_EQ(store.StoreLine(pszText, bContinue), model.StoreLine(pszText, bContinue)) << i;
        if (i % 50 == 0) {
            ExpectSame(store, model, "op " + std::to_string(i));
            if (::testing::Test::HasFatalFailure())
                return;
        }
    }
    ExpectSame(store, model, "end");
}

// The longest line is known after lines come and go, also when the longest
// one is dropped, cut by backspaces or removed from the middle.
TEST(LineStoreModelTest, LongestLineFollowsDropsAndCuts)
{
    CLineStore store(1000);
    CLineStoreModel model(1000);
    std::mt19937 rng(41);
    for (int i = 0; i < 30000; ++i) {
        std::string text(size_t(rng() % 40), 'q');
        if (rng() % 10 == 0)
            text += std::string(size_t(rng() % 45), '\b');
        if (rng() % 200 == 0) {
            const int nIndex = int(rng() % 30);
            ASSERT_EQ(store.RemoveLine(nIndex), model.RemoveLine(nIndex));
        }
        const bool bContinue = rng() % 5 == 0;
        ASSERT_EQ(store.StoreLine(text.c_str(), bContinue), model.StoreLine(text.c_str(), bContinue)) << i;
        ASSERT_EQ(store.CountLines(), model.CountLines()) << i;
        ASSERT_EQ(store.m_nMaxLineLen, model.m_nMaxLineLen) << i;
    }
}

// The block and its index stay within a quarter more than the block for
// 100-byte lines and within half more for empty lines.
TEST(LineStoreModelTest, MemoryStaysWithinItsBound)
{
    const int nSize = 4 << 20;
    CLineStore lines(nSize);
    const std::string text(100, 'm');
    for (int i = 0; i < 2 * nSize / 101; ++i)
        lines.StoreLine(text.c_str(), false);
    EXPECT_LE(lines.AllocatedBytes(), nSize + nSize / 4);
    CLineStore empty(nSize);
    for (int i = 0; i < 2 * nSize; ++i)
        empty.StoreLine("", false);
    EXPECT_EQ(empty.CountLines(), nSize - 1);
    EXPECT_LE(empty.AllocatedBytes(), nSize + nSize / 2);
}
