#include <cstring>

#include "E2eTest.h"

class StartupScreen : public KestrelboxTest {};

// What the first show of the window prints, read from the copy that the
// session took as soon as the start-up run had ended.
TEST_F(StartupScreen, StartupPrintsBannerHelpHintAndVersionRun)
{
    const ScreenLines& lines = Kb().StartupLines();
    ASSERT_EQ(lines.size(), 9u) << Describe(lines);
    EXPECT_EQ(lines[0].compare(0, 17, ".Kestrelbox 1.00 "), 0) << lines[0];
    EXPECT_EQ(lines[1], ".Press F1 for Help");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], ">adb version");
    EXPECT_EQ(lines[4], "Android Debug Bridge version 1.0.41");
    EXPECT_EQ(lines[5].compare(0, 8, "Version "), 0) << lines[5];
    // The program found the imitation through the search path it was given.
    std::string strInstalled = "Installed as " + CKestrelboxSession::AdbPath();
    EXPECT_EQ(_stricmp(lines[6].c_str(), strInstalled.c_str()), 0) << lines[6] << " / " << strInstalled;
    EXPECT_EQ(lines[7], ".#0 ExitCode: 0");
    EXPECT_EQ(lines[8], "");
}

TEST_F(StartupScreen, LampIsGreenWhenNothingRuns)
{
    EXPECT_EQ(Kb().Lamp(), LampColour::Green);
}
