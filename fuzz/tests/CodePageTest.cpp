// The host layer's code pages against the table that the Windows build's
// unit tests check the system's conversions against: all 256 bytes of
// both code pages, both ways, and the case folding of the comparisons.
#include <gtest/gtest.h>

#include <windows.h>
#include <mbstring.h>

#include "support/CodePageTable.h"

using CodePageTable::kBytes;

TEST(HostCodePages, EveryByteReadsAsTheTableSays)
{
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        WCHAR w[2] = { 0, 0 };
        ASSERT_EQ(MultiByteToWideChar(CP_OEMCP, 0, &c, 1, w, 2), 1) << b;
        EXPECT_EQ(unsigned(w[0]), kBytes[b].nOem) << "OEM byte " << b;
        ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, &c, 1, w, 2), 1) << b;
        EXPECT_EQ(unsigned(w[0]), kBytes[b].nAnsi) << "ANSI byte " << b;
    }
}

TEST(HostCodePages, EveryCodeUnitOfTheTableGoesBackToItsByte)
{
    for (int b = 0; b < 256; ++b) {
        const WCHAR wOem = WCHAR(kBytes[b].nOem);
        const WCHAR wAnsi = WCHAR(kBytes[b].nAnsi);
        char c = 0;
        BOOL bUsed = TRUE;
        ASSERT_EQ(WideCharToMultiByte(CP_OEMCP, 0, &wOem, 1, &c, 1, nullptr, &bUsed), 1);
        EXPECT_EQ(static_cast<unsigned char>(c), b) << "OEM byte " << b;
        EXPECT_FALSE(bUsed) << "OEM byte " << b;
        ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, &wAnsi, 1, &c, 1, nullptr, &bUsed), 1);
        EXPECT_EQ(static_cast<unsigned char>(c), b) << "ANSI byte " << b;
        EXPECT_FALSE(bUsed) << "ANSI byte " << b;
    }
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
    for (int a = 1; a < 256; ++a) {
        for (int b = 1; b < 256; ++b) {
            const unsigned char x[3] = { static_cast<unsigned char>(a), 'q', 0 };
            const unsigned char y[3] = { static_cast<unsigned char>(b), 'Q', 0 };
            const bool bSame = kBytes[a].nLower == kBytes[b].nLower;
            ASSERT_EQ(_mbsnbicmp(x, y, 2) == 0, bSame) << a << " " << b;
            ASSERT_EQ(_mbsicmp(x, y) == 0, bSame) << a << " " << b;
            ASSERT_EQ(_mbsnbicmp(x, y, 0), 0);
        }
    }
    // A shorter text is less, and the comparison stops at the count.
    const unsigned char ab[] = "ab";
    const unsigned char abc[] = "ABC";
    EXPECT_LT(_mbsicmp(ab, abc), 0);
    EXPECT_EQ(_mbsnbicmp(ab, abc, 2), 0);
    EXPECT_NE(_mbsnbicmp(ab, abc, 3), 0);
}
