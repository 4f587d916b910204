#include <gtest/gtest.h>
#include <climits>
#include <string>

#include "screen/TextFinder.h"

TEST(ExtractWordTest, PicksTheWholeWordAroundThePosition)
{
    EXPECT_STREQ(ExtractWord("adb devices", 0), "adb");
    EXPECT_STREQ(ExtractWord("adb devices", 1), "adb");
    EXPECT_STREQ(ExtractWord("adb devices", 2), "adb");
    EXPECT_STREQ(ExtractWord("adb devices", 4), "devices");
    EXPECT_STREQ(ExtractWord("adb devices", 10), "devices");
}

TEST(ExtractWordTest, DelimiterGivesOneSpace)
{
    EXPECT_STREQ(ExtractWord("adb devices", 3), " ");
    EXPECT_STREQ(ExtractWord("x=1", 1), " ");
    EXPECT_STREQ(ExtractWord("host:5555", 4), " ");
}

TEST(ExtractWordTest, ColonEqualsAndAllSixWhiteSpacesSplitWords)
{
    EXPECT_STREQ(ExtractWord("x=1", 0), "x");
    EXPECT_STREQ(ExtractWord("x=1", 2), "1");
    EXPECT_STREQ(ExtractWord("host:5555", 2), "host");
    EXPECT_STREQ(ExtractWord("host:5555", 6), "5555");
    const char* t = "a\tb\nc\vd\fe\rf g";
    for (int i = 0; i < 13; i += 2)
        EXPECT_EQ(std::string(ExtractWord(t, i)), std::string(1, t[i])) << i;
    EXPECT_STREQ(ExtractWord("a,b;c-d/e", 4), "a,b;c-d/e");
}

TEST(ExtractWordTest, PositionOutsideTheTextGivesOneSpace)
{
    EXPECT_STREQ(ExtractWord("adb", 3), " ");
    EXPECT_STREQ(ExtractWord("adb", 1000), " ");
    EXPECT_STREQ(ExtractWord("adb", -1), " ");
    EXPECT_STREQ(ExtractWord("adb", INT_MIN), " ");
    EXPECT_STREQ(ExtractWord("adb", INT_MAX), " ");
    EXPECT_STREQ(ExtractWord("", 0), " ");
    EXPECT_STREQ(ExtractWord(nullptr, 0), " ");
}

TEST(ExtractWordTest, BytesAbove127AreWordCharacters)
{
    EXPECT_STREQ(ExtractWord("caf\xE9 cr\xE8me", 1), "caf\xE9");
    EXPECT_STREQ(ExtractWord("caf\xE9 cr\xE8me", 7), "cr\xE8me");
    EXPECT_STREQ(ExtractWord("a\xA0" "b\x85" "c", 0), "a\xA0" "b\x85" "c");
    EXPECT_STREQ(ExtractWord("\xFF", 0), "\xFF");
}

TEST(ExtractWordTest, WordLongerThan4096BytesIsPickedWhole)
{
    std::string t = "push " + std::string(5000, 'w') + " /sdcard";
    CString w = ExtractWord(t.c_str(), 2500);
    EXPECT_EQ(w.GetLength(), 5000);
    EXPECT_EQ(std::string(w), std::string(5000, 'w'));
}
