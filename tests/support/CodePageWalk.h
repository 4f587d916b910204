#pragma once
// Walks over all 256 bytes that hold a build's code pages to the table: the
// Windows build's system conversions and the host build's layer must both
// answer as it says.
#include <gtest/gtest.h>

#include <windows.h>
#include <mbstring.h>

#include "support/CodePageTable.h"

namespace CodePageTable {

// Every byte of both code pages reads as the code unit of the table.
inline void ExpectEveryByteReadsAsTheTable()
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

// Every code unit of the table goes back to its byte, without the default
// character.
inline void ExpectEveryCodeUnitGoesBack()
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

// The case-insensitive comparisons find two bytes equal exactly when the
// table gives them one lower case.
inline void ExpectComparisonsFoldAsTheTable()
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
}

} // namespace CodePageTable
