#include <gtest/gtest.h>
#include "framework/String.h"

TEST(CStringTest, FormatHasNoLengthLimit)
{
    CString big('x', 10000);
    CString s;
    s.Format("<%s>", (const char*)big);
    EXPECT_EQ(s.GetLength(), 10002);
    EXPECT_EQ(s[0], '<');
    EXPECT_EQ(s[10001], '>');
}

TEST(CStringTest, TrimRemovesAllSixBlankKinds)
{
    CString s(" \t\r\n\v\fword \t\r\n\v\f");
    s.Trim();
    EXPECT_STREQ(s, "word");
}

TEST(CStringTest, InsertAndDeleteClampIndexes)
{
    CString s("dir /w");
    s.Delete(0, 3);
    s.Insert(0, "cmd /c dir");
    EXPECT_STREQ(s, "cmd /c dir /w");
    s.Insert(100, "!");
    EXPECT_STREQ(s, "cmd /c dir /w!");
}
