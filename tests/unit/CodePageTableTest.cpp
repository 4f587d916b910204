// The system's code pages against the table that the host build's iconv
// layer is also checked against (fuzz/tests): so both builds read every
// byte alike. The machines this runs on use OEM 437 and ANSI 1252.
#include <gtest/gtest.h>

#include <windows.h>
#include <mbstring.h>

#include <cctype>

#include "support/CodePageTable.h"

using CodePageTable::kBytes;

TEST(CodePageTable, TheSystemUsesTheTablesCodePages)
{
    ASSERT_EQ(GetOEMCP(), 437u);
    ASSERT_EQ(GetACP(), 1252u);
}

TEST(CodePageTable, EveryByteReadsAsTheTableSaysAndGoesBack)
{
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        WCHAR w[2] = { 0, 0 };
        ASSERT_EQ(MultiByteToWideChar(CP_OEMCP, 0, &c, 1, w, 2), 1) << b;
        EXPECT_EQ(unsigned(w[0]), kBytes[b].nOem) << "OEM byte " << b;
        ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, &c, 1, w, 2), 1) << b;
        EXPECT_EQ(unsigned(w[0]), kBytes[b].nAnsi) << "ANSI byte " << b;

        const WCHAR wOem = WCHAR(kBytes[b].nOem);
        const WCHAR wAnsi = WCHAR(kBytes[b].nAnsi);
        char back = 0;
        BOOL bUsed = TRUE;
        ASSERT_EQ(WideCharToMultiByte(CP_OEMCP, 0, &wOem, 1, &back, 1, nullptr, &bUsed), 1);
        EXPECT_EQ(static_cast<unsigned char>(back), b) << "OEM byte " << b;
        EXPECT_FALSE(bUsed) << "OEM byte " << b;
        ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, &wAnsi, 1, &back, 1, nullptr, &bUsed), 1);
        EXPECT_EQ(static_cast<unsigned char>(back), b) << "ANSI byte " << b;
        EXPECT_FALSE(bUsed) << "ANSI byte " << b;
    }
}

TEST(CodePageTable, WhiteSpaceIsTheTables)
{
    // The tests' main sets the ".ACP" locale, as the program's start does.
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(isspace(b) != 0, kBytes[b].bSpace) << b;
}

TEST(CodePageTable, ComparisonsFoldAsTheTableSays)
{
    for (int a = 1; a < 256; ++a) {
        for (int b = 1; b < 256; ++b) {
            const unsigned char x[3] = { static_cast<unsigned char>(a), 'q', 0 };
            const unsigned char y[3] = { static_cast<unsigned char>(b), 'Q', 0 };
            const bool bSame = kBytes[a].nLower == kBytes[b].nLower;
            ASSERT_EQ(_mbsnbicmp(x, y, 2) == 0, bSame) << a << " " << b;
            ASSERT_EQ(_mbsicmp(x, y) == 0, bSame) << a << " " << b;
        }
    }
}
