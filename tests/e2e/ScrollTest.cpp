#include "E2eTest.h"
#include "ScreenCapture.h"
#include "UserInput.h"

class ScreenScroll : public KestrelboxTest {
protected:
    bool WaitScreenChange(const CScreenCapture& before)
    {
        return WaitUntil([&] {
            CScreenCapture now;
            return now.Grab(Kb().TextArea()) && !now.SameAs(before);
        }, 5000);
    }
};

TEST_F(ScreenScroll, FollowsTheEndThenWheelAndPageKeysScrollBack)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-interleave 100", 1, lines));
    ASSERT_EQ(lines.size(), 202u);
    int nPage = Kb().PageLines();
    ASSERT_GT(202 - nPage, 4 + nPage) << "the screen is too tall for this test";
    int nTop = 202 - nPage;
    std::string strRow;
    ASSERT_TRUE(ReadRow(0, strRow));
    EXPECT_EQ(strRow, lines[size_t(nTop)]) << "the screen does not show the newest lines";

    // The wheel reaches the command line, which has the focus, and the
    // screen scrolls: one notch is four lines.
    CScreenCapture before;
    ASSERT_TRUE(before.Grab(Kb().TextArea()));
    RECT rc = Kb().TextArea();
    UserInput::Wheel(POINT { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 }, 120);
    ASSERT_TRUE(WaitScreenChange(before)) << "the wheel did not scroll";
    ASSERT_TRUE(ReadRow(0, strRow));
    EXPECT_EQ(strRow, lines[size_t(nTop - 4)]);

    // PgUp typed in the command line pages the screen.
    ASSERT_TRUE(before.Grab(Kb().TextArea()));
    Kb().Press(VK_PRIOR);
    ASSERT_TRUE(WaitScreenChange(before)) << "PgUp did not scroll";
    ASSERT_TRUE(ReadRow(0, strRow));
    EXPECT_EQ(strRow, lines[size_t(nTop - 4 - nPage)]);

    // Ctrl+Home goes to the first line, Ctrl+End back to the last page.
    Kb().Chord({ VK_CONTROL }, VK_HOME);
    ASSERT_TRUE(WaitUntil([&] { return ReadRow(0, strRow) && strRow == lines[0]; }, 10000)) << strRow;
    Kb().Chord({ VK_CONTROL }, VK_END);
    ASSERT_TRUE(WaitUntil([&] { return ReadRow(0, strRow) && strRow == lines[size_t(nTop)]; }, 10000))
        << strRow;
}
