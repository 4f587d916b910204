// The host layer's code pages against the table that the Windows build's
// unit tests check the system's conversions against: all 256 bytes of
// both code pages, both ways, and the case folding of the comparisons.
#include <gtest/gtest.h>

#include <mbstring.h>

#include "support/CodePageWalk.h"

using CodePageTable::kBytes;

TEST(HostCodePages, EveryByteReadsAsTheTableSays)
{
    CodePageTable::ExpectEveryByteReadsAsTheTable();
}

TEST(HostCodePages, EveryCodeUnitOfTheTableGoesBackToItsByte)
{
    CodePageTable::ExpectEveryCodeUnitGoesBack();
}

TEST(HostCodePages, ACodeUnitOutsideTheCodePageBecomesTheDefaultCharacter)
{
    const WCHAR w = 0x4E00;   // a CJK ideograph: in neither code page
    char c = 0;
    BOOL bUsed = FALSE;
    ASSERT_EQ(WideCharToMultiByte(CP_OEMCP, 0, &w, 1, &c, 1, nullptr, &bUsed), 1);
    EXPECT_EQ(c, '?');
    EXPECT_TRUE(bUsed);
    EXPECT_FALSE(IsDBCSLeadByteEx(CP_OEMCP, 0x81));
}

int KbAnsiIsSpace(int c);

TEST(HostCodePages, WhiteSpaceIsTheTables)
{
    // The program's sources call isspace; the host build gives them this.
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(KbAnsiIsSpace(b) != 0, kBytes[b].bSpace) << b;
    EXPECT_EQ(KbAnsiIsSpace(-1), 0);
}

TEST(HostCodePages, ComparisonsFoldAsTheTableSays)
{
    CodePageTable::ExpectComparisonsFoldAsTheTable();
    // A shorter text is less, and the comparison stops at the count.
    const unsigned char ab[] = "ab";
    const unsigned char abc[] = "ABC";
    EXPECT_LT(_mbsicmp(ab, abc), 0);
    EXPECT_EQ(_mbsnbicmp(ab, abc, 2), 0);
    EXPECT_NE(_mbsnbicmp(ab, abc, 3), 0);
}
