// The system's code pages against the table that the host build's iconv
// layer is also checked against (fuzz/tests): so both builds read every
// byte alike. The machines this runs on use OEM 437 and ANSI 1252.
#include <gtest/gtest.h>

#include <cctype>

#include "support/CodePageWalk.h"

using CodePageTable::kBytes;

TEST(CodePageTable, TheSystemUsesTheTablesCodePages)
{
    ASSERT_EQ(GetOEMCP(), 437u);
    ASSERT_EQ(GetACP(), 1252u);
}

TEST(CodePageTable, EveryByteReadsAsTheTableSaysAndGoesBack)
{
    CodePageTable::ExpectEveryByteReadsAsTheTable();
    CodePageTable::ExpectEveryCodeUnitGoesBack();
}

TEST(CodePageTable, WhiteSpaceIsTheTables)
{
    // The tests' main sets the ".ACP" locale, as the program's start does.
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(isspace(b) != 0, kBytes[b].bSpace) << b;
}

TEST(CodePageTable, ComparisonsFoldAsTheTableSays)
{
    CodePageTable::ExpectComparisonsFoldAsTheTable();
}
