#include "E2eTest.h"
#include "ScreenCapture.h"
#include "UserInput.h"

class MarkAndCopy : public KestrelboxTest {
protected:
    // Pixels of the marked background in a visible row.
    int MarkedPixels(int nRow)
    {
        CScreenCapture cap;
        if (!Kb().GrabRow(nRow, cap))
            return -1;
        RECT all = { 0, 0, cap.Width(), cap.Height() };
        return cap.Count(all, RGB(0x3F, 0x3F, 0x3F));
    }
    bool RowsMarked(int nFirst, int nLast, int nRows)
    {
        RECT rc = Kb().TextArea();
        int nFull = (rc.right - rc.left) * CKestrelboxSession::CharCell().cy;
        for (int r = 0; r < nRows; ++r) {
            bool bMarked = MarkedPixels(r) > nFull / 2;
            if (bMarked != (r >= nFirst && r <= nLast))
                return false;
        }
        return true;
    }
};

TEST_F(MarkAndCopy, TwoMiddleClicksMarkRangeThatCtrlMiddleClickCopies)
{
    // Lines: the echo, out 0, err 0, out 1, err 1, out 2, err 2, exit line.
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-interleave 3", 1, lines));
    ASSERT_EQ(lines.size(), 8u) << Describe(lines);
    ASSERT_TRUE(RowsMarked(-1, -1, 8));

    // The second click may lie above the first.
    UserInput::MiddleClick(Kb().CellPoint(5, 2), false);
    EXPECT_TRUE(WaitUntil([&] { return RowsMarked(5, 5, 8); }, 5000)) << "one click marks one line";
    UserInput::MiddleClick(Kb().CellPoint(2, 2), false);
    EXPECT_TRUE(WaitUntil([&] { return RowsMarked(2, 5, 8); }, 5000)) << "the second click extends the mark";
    CKestrelboxSession::Screenshot("marked-range");

    std::string strText;
    ASSERT_TRUE(Kb().CopyScreen(strText));
    EXPECT_EQ(strText, "err 0\r\nout 1\r\nerr 1\r\nout 2");

    // A click while several lines are marked removes the mark, and the copy
    // takes the whole screen again.
    UserInput::MiddleClick(Kb().CellPoint(3, 8), false);
    EXPECT_TRUE(WaitUntil([&] { return RowsMarked(-1, -1, 8); }, 5000)) << "the mark stayed";
    ASSERT_TRUE(Kb().CopyScreen(strText));
    EXPECT_EQ(SplitScreenText(strText), lines);
}

TEST_F(MarkAndCopy, MarkedCopyKeepsCodeCharacters)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-write x", 1, lines));
    // The echo (code 3) and the exit line (code 2) stand in rows 0 and 2.
    ASSERT_EQ(lines.size(), 3u) << Describe(lines);
    UserInput::MiddleClick(Kb().CellPoint(0, 3), false);
    UserInput::MiddleClick(Kb().CellPoint(2, 3), false);
    ASSERT_TRUE(WaitUntil([&] { return RowsMarked(0, 2, 3); }, 5000));
    std::string strText;
    ASSERT_TRUE(Kb().CopyScreen(strText));
    EXPECT_EQ(strText, ">adb --sim-write x\r\nx\r\n" + lines[2]);
    UserInput::MiddleClick(Kb().CellPoint(1, 8), false);
    EXPECT_TRUE(WaitUntil([&] { return RowsMarked(-1, -1, 3); }, 5000));
}

class WordPick : public KestrelboxTest {};

TEST_F(WordPick, DoubleClickInsertsTheWordUnderTheMouseIntoTheCommandLine)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-write alpha=beta\\r\\n", 1, lines));
    ASSERT_EQ(lines[1], "alpha=beta") << Describe(lines);
    UserInput::LeftDoubleClick(Kb().CellPoint(1, 1));
    EXPECT_TRUE(WaitUntil([&] { return Kb().CommandLineText() == " alpha"; }, 5000)) << Kb().CommandLineText();
    UserInput::LeftDoubleClick(Kb().CellPoint(1, 8));
    EXPECT_TRUE(WaitUntil([&] { return Kb().CommandLineText() == " alpha beta"; }, 5000))
        << Kb().CommandLineText();
    // On the delimiter "=" only a blank goes in.
    UserInput::LeftDoubleClick(Kb().CellPoint(1, 5));
    EXPECT_TRUE(WaitUntil([&] { return Kb().CommandLineText() == " alpha beta  "; }, 5000))
        << "[" << Kb().CommandLineText() << "]";
    // The echo line's code byte is not on the screen: its first column is
    // the "a" of "adb".
    UserInput::LeftDoubleClick(Kb().CellPoint(0, 0));
    EXPECT_TRUE(WaitUntil([&] { return Kb().CommandLineText() == " alpha beta   adb"; }, 5000))
        << "[" << Kb().CommandLineText() << "]";
}
