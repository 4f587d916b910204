#include "E2eTest.h"

class AbortCommand : public KestrelboxTest {};

namespace {

// A logcat line in the threadtime format: "MM-DD hh:mm:ss.mmm  pid  tid L tag: text".
bool IsLogcatLine(const std::string& s)
{
    return s.size() > 33 && s[2] == '-' && s[5] == ' ' && s[8] == ':' && s[11] == ':' && s[14] == '.' &&
           s.find(": ", 18) != std::string::npos;
}

} // namespace

TEST_F(AbortCommand, EscDuringLogcatPrintsAbortLineAndEndsTheRun)
{
    Kb().EnterLine("logcat");
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Red, 10000)) << "logcat never showed as running";
    // Output is on the screen once its lower rows hold text.
    ASSERT_TRUE(WaitUntil([&] { return Kb().RowInk(8) > 0; }, 10000)) << "no logcat output appeared";
    std::vector<HANDLE> children = Kb().OpenLiveChildren();
    Kb().Press(VK_ESCAPE);
    EXPECT_TRUE(ChildrenKilled(children));
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Green, 10000)) << "the lamp stayed red after Esc";

    ScreenLines lines;
    ASSERT_TRUE(WaitExitLines(1, lines));
    EXPECT_EQ(lines[0], ">adb logcat");
    int nAbort = FindLine(lines, "!Abort command");
    EXPECT_GT(nAbort, 0) << Describe(lines);
    ExitLineInfo info;
    int nExit = FindExitLine(lines, 0, &info);
    ASSERT_GE(nExit, 0) << Describe(lines);
    // 259 (still active) shows when the code is read before the kill has
    // completed; that the child was killed is checked above.
    EXPECT_TRUE(info.strCode == "255" || info.strCode == "259") << lines[size_t(nExit)];
    // The run ends with its exit line: no log line is printed after it.
    EXPECT_EQ(LastTextLine(lines), lines[size_t(nExit)]) << Describe(lines);
    int nLog = 0;
    for (int i = 1; i < nExit; ++i)
        nLog += IsLogcatLine(lines[size_t(i)]) ? 1 : 0;
    EXPECT_GE(nLog, 3) << "too few log lines before the abort";
    for (size_t i = size_t(nExit) + 1; i < lines.size(); ++i)
        EXPECT_FALSE(IsLogcatLine(lines[i])) << "log line after the exit line: " << lines[i];

    // The runner is free again at once.
    ASSERT_TRUE(RunAndWait("get-state", 2, lines));
    EXPECT_GE(FindLine(lines, "device"), 0) << Describe(lines);
}

TEST_F(AbortCommand, EscWithNothingRunningPrintsNothing)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("get-state", 1, lines));
    Kb().Press(VK_ESCAPE);
    ASSERT_TRUE(RunAndWait("get-serialno", 2, lines));
    lines = WithoutServerNotes(lines);
    ASSERT_GE(lines.size(), 4u) << Describe(lines);
    EXPECT_EQ(lines[3], ">adb get-serialno") << Describe(lines);
}

class HelpKey : public KestrelboxTest {};

TEST_F(HelpKey, F1PrintsTheHelpBlockInInformationColour)
{
    Kb().Press(VK_F1);
    ScreenLines lines;
    ASSERT_TRUE(Kb().WaitForScreen([](const ScreenLines& l) { return l.size() >= 17; }, lines)) << Describe(lines);
    ASSERT_EQ(lines.size(), 17u) << Describe(lines);
    EXPECT_EQ(lines[0], ".            [Commands]");
    EXPECT_EQ(lines[1], ".dir [parm]            - Local dir command");
    EXPECT_EQ(lines[8], ".Ctrl-B                - Batch of commands");
    EXPECT_EQ(lines[9], ".Ctrl-D                - Choose device");
    EXPECT_EQ(lines[15], ".Ctrl + Middle click   - Copy to clipboard");
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(lines[i].compare(0, 1, "."), 0) << lines[i];
    EXPECT_EQ(lines[16], "");
}

TEST_F(HelpKey, F1WhileACommandRunsPrintsNothing)
{
    Kb().EnterLine("--sim-sleep 1500");
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Red, 5000));
    Kb().Press(VK_F1);
    ScreenLines lines;
    ASSERT_TRUE(WaitExitLines(1, lines));
    EXPECT_EQ(lines.size(), 2u) << Describe(lines);
}
