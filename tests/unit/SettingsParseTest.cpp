#include <gtest/gtest.h>

#include <climits>
#include <windows.h>

#include "settings/SettingItems.h"
#include "support/AdbSim.h"

namespace {

// The setting's text after parsing psz; "refused" when the parse failed and
// left the old text.
template <class TSetting>
std::string Parsed(TSetting& item, const char* psz)
{
    const std::string strBefore(item.m_value);
    if (item.ParseValue(psz))
        return std::string(item.m_value);
    return std::string(item.m_value) == strBefore ? "refused" : "refused, yet changed to " + std::string(item.m_value);
}

} // namespace

TEST(StringSettingParseTest, TakesTheTextUnchanged)
{
    CStringSetting s(nullptr, nullptr, "old");
    EXPECT_EQ(Parsed(s, "  spaced \t"), "  spaced \t");
    EXPECT_EQ(Parsed(s, ""), "");
}

TEST(StringSettingParseTest, NullTextIsRefused)
{
    CStringSetting s(nullptr, nullptr, "old");
    EXPECT_EQ(Parsed(s, nullptr), "refused");
}

TEST(PathSettingParseTest, AddsOneFinalBackslash)
{
    CPathSetting p(nullptr, nullptr, "");
    EXPECT_EQ(Parsed(p, "C:\\tools"), "C:\\tools\\");
    EXPECT_EQ(Parsed(p, "C:\\tools\\"), "C:\\tools\\");
}

TEST(PathSettingParseTest, EmptyTextStaysEmptyForTheSearchPath)
{
    CPathSetting p(nullptr, nullptr, "C:\\old\\");
    EXPECT_EQ(Parsed(p, ""), "");
}

TEST(PathSettingParseTest, DollarBackslashIsTheProgramDirectory)
{
    const std::string strDir = ProgramFolder();
    ASSERT_GT(strDir.size(), 1u);
    CPathSetting p(nullptr, nullptr, "");
    EXPECT_EQ(Parsed(p, "$\\adb"), strDir + "adb\\");
    EXPECT_EQ(Parsed(p, "$\\"), strDir);
}

TEST(PathSettingParseTest, DollarWithoutBackslashIsLiteral)
{
    CPathSetting p(nullptr, nullptr, "");
    EXPECT_EQ(Parsed(p, "$adb"), "$adb\\");
    EXPECT_EQ(Parsed(p, "$"), "$\\");
}

class IntSettingParseTest : public ::testing::Test {
protected:
    CIntSetting m_item{ nullptr, nullptr, 4, 1, 64 };

    int Parsed(const char* psz)
    {
        m_item.m_value = 4;
        return m_item.ParseValue(psz) ? m_item.m_value : -999;
    }
};

TEST_F(IntSettingParseTest, AcceptsDecimalAndBothHexForms)
{
    EXPECT_EQ(Parsed("4"), 4);
    EXPECT_EQ(Parsed("64"), 64);
    EXPECT_EQ(Parsed("1"), 1);
    EXPECT_EQ(Parsed("0x40"), 64);
    EXPECT_EQ(Parsed("40h"), 64);
    EXPECT_EQ(Parsed("1fh"), 31);
    EXPECT_EQ(Parsed("0x1F"), 31);
    EXPECT_EQ(Parsed("007"), 7);
}

TEST_F(IntSettingParseTest, RefusesBadTextAndKeepsTheValue)
{
    for (const char* psz : { "65", "0", "-1", " 4", "4 ", "ffh", "0x", "0X10", "", "+4", "4x", "0x40h",
                             "4hh", "h", "0x1g", "12abc" }) {
        m_item.m_value = 9;
        EXPECT_FALSE(m_item.ParseValue(psz)) << "'" << psz << "'";
        EXPECT_EQ(m_item.m_value, 9) << "'" << psz << "'";
    }
    EXPECT_FALSE(m_item.ParseValue(nullptr));
}

TEST(IntSettingRangeTest, NumbersBeyondTheIntRangeAreRefusedNotClamped)
{
    CIntSetting item(nullptr, nullptr, 5, INT_MIN, INT_MAX);
    EXPECT_TRUE(item.ParseValue("2147483647"));
    EXPECT_EQ(item.m_value, INT_MAX);
    EXPECT_TRUE(item.ParseValue("0x7fffffff"));
    EXPECT_EQ(item.m_value, INT_MAX);
    item.m_value = 5;
    EXPECT_FALSE(item.ParseValue("2147483648"));
    EXPECT_FALSE(item.ParseValue("99999999999"));
    EXPECT_FALSE(item.ParseValue("0x80000000"));
    EXPECT_FALSE(item.ParseValue("100000000h"));
    EXPECT_EQ(item.m_value, 5);
}

class PlacementSettingParseTest : public ::testing::Test {
protected:
    CPlacementSetting m_item{ nullptr, nullptr, 1, 2, 3, 4, false };

    void ExpectNumbers(int x, int y, int w, int h)
    {
        EXPECT_EQ(m_item.m_x, x);
        EXPECT_EQ(m_item.m_y, y);
        EXPECT_EQ(m_item.m_width, w);
        EXPECT_EQ(m_item.m_height, h);
    }
};

TEST_F(PlacementSettingParseTest, MaxInAnyCaseSetsMaximisedOnly)
{
    EXPECT_TRUE(m_item.ParseValue("max"));
    EXPECT_TRUE(m_item.m_maximized);
    ExpectNumbers(1, 2, 3, 4);
    m_item.m_maximized = false;
    EXPECT_TRUE(m_item.ParseValue("MAXIMISED"));
    EXPECT_TRUE(m_item.m_maximized);
    m_item.m_maximized = false;
    EXPECT_TRUE(m_item.ParseValue("mAx,10,20"));
    EXPECT_TRUE(m_item.m_maximized);
    ExpectNumbers(1, 2, 3, 4);
}

TEST_F(PlacementSettingParseTest, TwoNumbersMoveFourAlsoResize)
{
    EXPECT_TRUE(m_item.ParseValue("10,20"));
    ExpectNumbers(10, 20, 3, 4);
    EXPECT_TRUE(m_item.ParseValue("-5,6,800,600"));
    ExpectNumbers(-5, 6, 800, 600);
    EXPECT_TRUE(m_item.ParseValue(" 7, 8"));
    ExpectNumbers(7, 8, 800, 600);
}

TEST_F(PlacementSettingParseTest, NumbersNeverClearMaximised)
{
    m_item.m_maximized = true;
    EXPECT_TRUE(m_item.ParseValue("10,20,30,40"));
    EXPECT_TRUE(m_item.m_maximized);
}

TEST_F(PlacementSettingParseTest, OtherCountsAreRefused)
{
    for (const char* psz : { "10,20,800", "10 ,20", "10", "", "ma", "x,1", "10;20", "10,20,30,99999999999" }) {
        EXPECT_FALSE(m_item.ParseValue(psz)) << "'" << psz << "'";
        ExpectNumbers(1, 2, 3, 4);
        EXPECT_FALSE(m_item.m_maximized);
    }
}

class FontSettingParseTest : public ::testing::Test {
protected:
    CFontSetting m_item{ nullptr, nullptr, "Old", 8, false, false };
};

TEST_F(FontSettingParseTest, FaceSizeAndStyle)
{
    EXPECT_TRUE(m_item.ParseValue("Courier,10,B"));
    EXPECT_STREQ(m_item.m_face, "Courier");
    EXPECT_EQ(m_item.m_size, 10);
    EXPECT_TRUE(m_item.m_bold);
    EXPECT_FALSE(m_item.m_italic);
    EXPECT_TRUE(m_item.ParseValue("Lucida_Console,12,IB"));
    EXPECT_STREQ(m_item.m_face, "Lucida_Console");
    EXPECT_EQ(m_item.m_size, 12);
    EXPECT_TRUE(m_item.m_bold);
    EXPECT_TRUE(m_item.m_italic);
    EXPECT_TRUE(m_item.ParseValue("Arial,9,I"));
    EXPECT_FALSE(m_item.m_bold);
    EXPECT_TRUE(m_item.m_italic);
}

TEST_F(FontSettingParseTest, WithoutStyleTheFlagsStay)
{
    m_item.m_bold = true;
    EXPECT_TRUE(m_item.ParseValue("Arial,9"));
    EXPECT_STREQ(m_item.m_face, "Arial");
    EXPECT_EQ(m_item.m_size, 9);
    EXPECT_TRUE(m_item.m_bold);
    EXPECT_FALSE(m_item.m_italic);
}

TEST_F(FontSettingParseTest, ScanStopsAtABlankInTheFace)
{
    EXPECT_TRUE(m_item.ParseValue("Courier New,10"));
    EXPECT_STREQ(m_item.m_face, "Courier");
    EXPECT_EQ(m_item.m_size, 8);
}

TEST_F(FontSettingParseTest, FaceIsAtMostTwentyFiveCharacters)
{
    EXPECT_TRUE(m_item.ParseValue("ABCDEFGHIJKLMNOPQRSTUVWXYZ,10"));
    EXPECT_STREQ(m_item.m_face, "ABCDEFGHIJKLMNOPQRSTUVWXY");
    EXPECT_EQ(m_item.m_size, 8);
}

TEST_F(FontSettingParseTest, BadStylesRefuseTheWholeText)
{
    for (const char* psz : { "Arial,9,BB", "Arial,9,b", "Arial,9,BIB", "Arial,9,II", "Arial,9,BX", "Arial,9,BIBI" }) {
        EXPECT_FALSE(m_item.ParseValue(psz)) << "'" << psz << "'";
        EXPECT_STREQ(m_item.m_face, "Old");
        EXPECT_EQ(m_item.m_size, 8);
        EXPECT_FALSE(m_item.m_bold);
        EXPECT_FALSE(m_item.m_italic);
    }
}

TEST_F(FontSettingParseTest, TextWithoutAFaceIsRefused)
{
    for (const char* psz : { "", " Arial,9", ",9", "-Arial" }) {
        EXPECT_FALSE(m_item.ParseValue(psz)) << "'" << psz << "'";
        EXPECT_STREQ(m_item.m_face, "Old");
    }
}

TEST_F(FontSettingParseTest, OversizedPointSizeIsRefused)
{
    EXPECT_FALSE(m_item.ParseValue("Arial,99999999999"));
    EXPECT_STREQ(m_item.m_face, "Old");
    EXPECT_EQ(m_item.m_size, 8);
}

class ColorSettingParseTest : public ::testing::Test {
protected:
    CColorSetting m_item{ nullptr, nullptr, 0x123456 };
};

TEST_F(ColorSettingParseTest, RedGreenBlueBecomeBgrBytes)
{
    EXPECT_TRUE(m_item.ParseValue("(255,0,0)"));
    EXPECT_EQ(m_item.m_value, 0x0000FFu);
    EXPECT_TRUE(m_item.ParseValue("(128,255,255)"));
    EXPECT_EQ(m_item.m_value, 0xFFFF80u);
    EXPECT_TRUE(m_item.ParseValue("( 1, 2, 3)"));
    EXPECT_EQ(m_item.m_value, 0x030201u);
    EXPECT_TRUE(m_item.ParseValue("(0,0,255"));
    EXPECT_EQ(m_item.m_value, 0xFF0000u);
}

TEST_F(ColorSettingParseTest, OutOfRangeOrIncompleteIsRefused)
{
    for (const char* psz : { "(256,0,0)", "(1,2)", " (1,2,3)", "(-1,0,0)", "", "1,2,3", "(1 ,2,3)", "(0,0,99999999999)" }) {
        EXPECT_FALSE(m_item.ParseValue(psz)) << "'" << psz << "'";
        EXPECT_EQ(m_item.m_value, 0x123456u);
    }
}
