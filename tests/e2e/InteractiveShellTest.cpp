#include "E2eTest.h"

#include <algorithm>

namespace {

bool EndsWithPrompt(const ScreenLines& lines)
{
    const std::string& s = LastTextLine(lines);
    return s.size() > 2 && s.compare(s.size() - 2, 2, "$ ") == 0;
}

} // namespace

class InteractiveShell : public KestrelboxTest {
protected:
    // Starts the interactive shell and waits for its prompt.
    ::testing::AssertionResult StartShell(ScreenLines& lines)
    {
        Kb().EnterLine("shell");
        if (Kb().WaitForScreen(EndsWithPrompt, lines))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no shell prompt; the screen held:\n" << Describe(lines);
    }
};

TEST_F(InteractiveShell, DecodesUtf8AnswersAndEndsOnExit)
{
    ScreenLines lines;
    ASSERT_TRUE(StartShell(lines));
    EXPECT_EQ(lines[0], ">shell");
    EXPECT_EQ(CountExitLines(lines), 0) << "the shell ended at once:\n" << Describe(lines);
    // The shell's runs are quiet: the lamp stays green and Enter is taken.
    EXPECT_EQ(Kb().Lamp(), LampColour::Green);

    Kb().EnterLine("getprop persist.sys.device_name");
    // "Café Ñandú" arrives as UTF-8 and is shown in the Windows code page.
    const std::string strName = "Caf\xE9 \xD1" "and\xFA";
    ASSERT_TRUE(Kb().WaitForScreen([&](const ScreenLines& l) { return FindLine(l, strName) >= 0; }, lines))
        << Describe(lines);
    int nEcho = FindLine(lines, ">getprop persist.sys.device_name");
    ASSERT_GE(nEcho, 0) << "typed shell lines are echoed as they were typed:\n" << Describe(lines);
    EXPECT_EQ(FindLine(lines, strName), nEcho + 1) << Describe(lines);
    ASSERT_TRUE(Kb().WaitForScreen(EndsWithPrompt, lines)) << Describe(lines);
    CKestrelboxSession::Screenshot("interactive-shell");

    Kb().EnterLine("ls");
    ASSERT_TRUE(Kb().WaitForScreen([](const ScreenLines& l) { return FindLine(l, "M\xFAsica") >= 0; }, lines))
        << Describe(lines);

    Kb().EnterLine("exit");
    ASSERT_TRUE(WaitExitLines(1, lines));
    int nExitEcho = FindLine(lines, ">exit");
    ExitLineInfo info;
    int nExit = FindExitLine(lines, 0, &info);
    EXPECT_GT(nExit, nExitEcho) << Describe(lines);
    EXPECT_EQ(info.strCode, "0");

    // Back in the adb mode, a word runs as "adb <word>" again.
    ASSERT_TRUE(RunAndWait("get-state", 2, lines));
    EXPECT_GE(FindLine(lines, ">adb get-state", nExit), 0) << Describe(lines);
}

TEST_F(InteractiveShell, LocalDirStaysLocalWhileShellRuns)
{
    ScreenLines lines;
    ASSERT_TRUE(StartShell(lines));
    Kb().EnterLine("dir");
    // cmd's listing ends with its free-space summary line and an exit line
    // of its own run while the shell goes on.
    ASSERT_TRUE(WaitExitLines(1, lines));
    EXPECT_GE(FindLine(lines, ">dir"), 0) << Describe(lines);
    bool bFree = false;
    for (const std::string& s : lines)
        bFree = bFree || s.find("bytes free") != std::string::npos;
    EXPECT_TRUE(bFree) << "no dir listing:\n" << Describe(lines);
    Kb().EnterLine("exit");
    ASSERT_TRUE(WaitExitLines(2, lines));
}

TEST_F(InteractiveShell, EscAbortsTheShellAndBringsBackTheAdbMode)
{
    ScreenLines lines;
    ASSERT_TRUE(StartShell(lines));
    Kb().Press(VK_ESCAPE);
    ASSERT_TRUE(WaitExitLines(1, lines));
    EXPECT_GE(FindLine(lines, "!Abort shell"), 0) << Describe(lines);
    // The "exit" written to the shell is not echoed.
    EXPECT_EQ(FindLine(lines, ">exit"), -1) << Describe(lines);
    EXPECT_EQ(FindLine(lines, "!Abort command"), -1) << Describe(lines);
    ASSERT_TRUE(RunAndWait("get-state", 2, lines));
    EXPECT_GE(FindLine(lines, ">adb get-state"), 0) << Describe(lines);
}

TEST_F(InteractiveShell, TypedLettersOutsideAsciiGoOutAsUtf8AndComeBack)
{
    ScreenLines lines;
    ASSERT_TRUE(StartShell(lines));
    // Typed in the Windows code page, sent to the shell as UTF-8, echoed
    // by it as UTF-8 and shown in the Windows code page again.
    Kb().EnterLine("echo Se\xF1or \xE9t\xE9");
    const std::string strBack = "Se\xF1or \xE9t\xE9";
    ASSERT_TRUE(Kb().WaitForScreen([&](const ScreenLines& l) { return FindLine(l, strBack) >= 0; }, lines))
        << Describe(lines);
    EXPECT_GE(FindLine(lines, ">echo " + strBack), 0) << Describe(lines);
    Kb().EnterLine("exit");
    ASSERT_TRUE(WaitExitLines(1, lines));
}

TEST_F(InteractiveShell, EscEndsAShellThatStoppedReadingItsInput)
{
    ScreenLines lines;
    ASSERT_TRUE(StartShell(lines));
    // The shell waits without reading its input; lines typed meanwhile
    // fill its 2048-byte input pipe twice over.
    Kb().EnterLine("sleep 600");
    const std::string strLine = "echo " + std::string(500, 'w');
    const int nLines = 8;
    for (int i = 0; i < nLines; ++i)
        Kb().EnterLine(strLine.c_str());
    // The window still answers: every line is echoed.
    ASSERT_TRUE(Kb().WaitForScreen(
        [&](const ScreenLines& l) { return std::count(l.begin(), l.end(), ">" + strLine) == nLines; }, lines))
        << Describe(lines);

    std::vector<HANDLE> children = Kb().OpenLiveChildren();
    Kb().Press(VK_ESCAPE);
    EXPECT_TRUE(ChildrenKilled(children));
    ASSERT_TRUE(WaitExitLines(1, lines, 10000));
    EXPECT_GE(FindLine(lines, "!Abort shell"), 0) << Describe(lines);
    ExitLineInfo info;
    ASSERT_GE(FindExitLine(lines, 0, &info), 0) << Describe(lines);
    // 259: the code was read before the kill completed (the kill is checked above).
    EXPECT_TRUE(info.strCode == "255" || info.strCode == "259") << Describe(lines);

    // The window repaints: F4 empties the screen, and a later command fills it.
    Kb().Press(VK_F4);
    ASSERT_TRUE(WaitUntil([&] { return Kb().RowInk(0) == 0; }, 10000)) << "the screen was not repainted";
    ASSERT_TRUE(RunAndWait("get-state", 1, lines)) << Describe(lines);
    EXPECT_GE(FindLine(lines, ">adb get-state"), 0) << Describe(lines);
    EXPECT_GT(Kb().RowInk(0), 0);
    CKestrelboxSession::Screenshot("shell-that-stopped-reading");
}
