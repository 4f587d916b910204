#include "E2eTest.h"

class CommandRun : public KestrelboxTest {};

TEST_F(CommandRun, LampIsRedWhileASlowCommandRunsThenGreen)
{
    Kb().EnterLine("--sim-sleep 1500");
    EXPECT_TRUE(Kb().WaitLamp(LampColour::Red, 5000)) << "the lamp never turned red";
    EXPECT_TRUE(Kb().WaitLamp(LampColour::Green, 15000)) << "the lamp did not turn green again";
    ScreenLines lines;
    ASSERT_TRUE(WaitExitLines(1, lines));
    ASSERT_EQ(lines.size(), 2u) << Describe(lines);
    EXPECT_EQ(lines[0], ">adb --sim-sleep 1500");
    ExitLineInfo info;
    ASSERT_TRUE(ParseExitLine(lines[1], info)) << lines[1];
    EXPECT_EQ(info.strCode, "0");
}

TEST_F(CommandRun, DevicesEchoesFullCommandThenListThenExitLine)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("devices", 1, lines));
    CKestrelboxSession::Screenshot("after-devices");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], ">adb devices");
    // The first command that needs adb's server may report starting it on
    // standard error; that text comes before the list in the same stream.
    int nList = FindLine(lines, "List of devices attached");
    ASSERT_GT(nList, 0) << Describe(lines);
    ASSERT_LT(size_t(nList) + 3, lines.size()) << Describe(lines);
    const std::string& strDevice = lines[size_t(nList) + 1];
    EXPECT_GT(strDevice.size(), 7u);
    EXPECT_EQ(strDevice.compare(strDevice.size() - 7, 7, "\tdevice"), 0) << strDevice;
    EXPECT_EQ(lines[size_t(nList) + 2], "");
    ExitLineInfo info;
    EXPECT_EQ(FindExitLine(lines, 0, &info), nList + 3) << Describe(lines);
    EXPECT_EQ(info.strCode, "0");
    EXPECT_EQ(lines.back(), lines[size_t(nList) + 3]) << "nothing may follow the exit line";
}

TEST_F(CommandRun, RunNumbersCountUpOnePerCommand)
{
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("get-state", 1, lines));
    ASSERT_TRUE(RunAndWait("get-serialno", 2, lines));
    ExitLineInfo first, second;
    int nFirst = FindExitLine(lines, 0, &first);
    ASSERT_GE(nFirst, 0);
    ASSERT_GE(FindExitLine(lines, nFirst + 1, &second), 0);
    EXPECT_GT(first.nRun, 0) << "run 0 is the start-up run";
    EXPECT_EQ(second.nRun, first.nRun + 1);
}

TEST_F(CommandRun, PmModePrefixesCommandsUntilExit)
{
    int nAdbInk = Kb().PromptInk();
    ASSERT_GT(nAdbInk, 0) << "no prompt drawn";

    Kb().EnterLine("pm");
    ScreenLines lines;
    ASSERT_TRUE(Kb().WaitForScreen([](const ScreenLines& l) { return LastTextLine(l) == ">pm"; }, lines))
        << Describe(lines);
    // "adb shell pm " is drawn where "adb " was: more ink in the prompt strip.
    EXPECT_TRUE(WaitUntil([&] { return Kb().PromptInk() > nAdbInk; }, 5000))
        << "prompt ink " << Kb().PromptInk() << " vs " << nAdbInk;

    ASSERT_TRUE(RunAndWait("list packages", 1, lines));
    lines = WithoutServerNotes(lines);
    int nEcho = FindLine(lines, ">adb shell pm list packages");
    ASSERT_GE(nEcho, 0) << Describe(lines);
    int nExit = FindExitLine(lines, nEcho);
    ASSERT_GT(nExit, nEcho + 1) << Describe(lines);
    for (int i = nEcho + 1; i < nExit; ++i)
        EXPECT_EQ(lines[size_t(i)].compare(0, 8, "package:"), 0) << lines[size_t(i)];
    ExitLineInfo info;
    ParseExitLine(lines[size_t(nExit)], info);
    EXPECT_EQ(info.strCode, "0");

    Kb().EnterLine("exit");
    ASSERT_TRUE(RunAndWait("get-state", 2, lines));
    lines = WithoutServerNotes(lines);
    nExit = FindExitLine(lines, 0);
    int nExitEcho = FindLine(lines, ">exit", nExit);
    ASSERT_GT(nExitEcho, nExit) << Describe(lines);
    EXPECT_EQ(lines[size_t(nExitEcho) + 1], ">adb get-state") << "exit did not bring back the adb mode";
    EXPECT_EQ(lines[size_t(nExitEcho) + 2], "device");
    EXPECT_TRUE(WaitUntil([&] { return Kb().PromptInk() == nAdbInk; }, 5000))
        << "prompt ink " << Kb().PromptInk() << " vs " << nAdbInk;
}

TEST_F(CommandRun, LcdAlonePrintsTheProgramsOwnWorkingDirectory)
{
    ScreenLines lines;
    Kb().EnterLine("lcd");
    ASSERT_TRUE(Kb().WaitForScreen([](const ScreenLines& l) { return l.size() >= 2; }, lines)) << Describe(lines);
    EXPECT_EQ(lines[0], ">lcd");
    EXPECT_EQ(_stricmp(lines[1].c_str(), Kb().WorkDir().c_str()), 0) << lines[1] << " / " << Kb().WorkDir();
}

TEST_F(CommandRun, DirListsFilesOfTheWorkingDirectory)
{
    std::string strFile = Kb().WorkDir() + "\\kbe2e-probe.txt";
    HANDLE h = ::CreateFileA(strFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ::CloseHandle(h);
    ScreenLines lines;
    bool bDone = RunAndWait("dir", 1, lines);
    ::DeleteFileA(strFile.c_str());
    ASSERT_TRUE(bDone) << Describe(lines);
    EXPECT_EQ(lines[0], ">dir");
    bool bListed = false;
    for (const std::string& s : lines)
        bListed = bListed || s.find("kbe2e-probe.txt") != std::string::npos;
    EXPECT_TRUE(bListed) << Describe(lines);
    ExitLineInfo info;
    FindExitLine(lines, 0, &info);
    EXPECT_EQ(info.strCode, "0");
}

TEST_F(CommandRun, LcdTypedWithLettersBeyondAsciiEntersThatFolder)
{
    // Named in the Windows code page, typed key by key as the user does.
    const std::string strName = "kbe2e Donn\xE9" "es \xE7" "a";
    const std::string strDir = Kb().WorkDir() + "\\" + strName;
    ASSERT_TRUE(::CreateDirectoryA(strDir.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    Kb().EnterLine(("lcd " + strName).c_str());
    ScreenLines lines;
    bool bShown = Kb().WaitForScreen([](const ScreenLines& l) { return l.size() >= 2; }, lines);
    // Back to the program's own folder, so that this one can go and later
    // tests find theirs.
    Kb().EnterLine(("lcd " + Kb().WorkDir()).c_str());
    ScreenLines after;
    Kb().WaitForScreen([](const ScreenLines& l) { return l.size() >= 4; }, after);
    ::RemoveDirectoryA(strDir.c_str());
    ASSERT_TRUE(bShown) << Describe(lines);
    EXPECT_EQ(lines[0], ">lcd " + strName);
    EXPECT_EQ(_stricmp(lines[1].c_str(), strDir.c_str()), 0) << Describe(lines);
    ASSERT_GE(after.size(), 4u) << Describe(after);
    EXPECT_EQ(_stricmp(after[3].c_str(), Kb().WorkDir().c_str()), 0) << Describe(after);
}

TEST_F(CommandRun, LcdToMissingFolderPrintsSystemErrorAndRunsNothing)
{
    Kb().EnterLine("lcd kbe2e-no-such-folder");
    ScreenLines lines;
    ASSERT_TRUE(Kb().WaitForScreen([](const ScreenLines& l) { return l.size() >= 2; }, lines)) << Describe(lines);
    EXPECT_EQ(lines[0], ">lcd kbe2e-no-such-folder");
    EXPECT_EQ(lines[1].compare(0, 1, "!"), 0) << "no error line: " << lines[1];
    EXPECT_GT(lines[1].size(), 1u);
    EXPECT_EQ(CountExitLines(lines), 0) << Describe(lines);
}

TEST_F(CommandRun, HugeOutputKeepsWholeNewestLinesAndEndsWithExitLine)
{
    // About 6 MB in lines of 63 characters: more than the 4 MB screen
    // store holds, written as fast as the pipe takes it, so lines are cut
    // by chunk ends and the oldest are dropped.
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-bytes-lines --sim-bytes 6000000", 1, lines, 120000));
    ASSERT_GT(lines.size(), 60000u);
    EXPECT_LE(lines.size(), 4194304u / 64 + 1);
    ExitLineInfo info;
    ASSERT_TRUE(ParseExitLine(lines.back(), info)) << lines.back();
    EXPECT_EQ(info.strCode, "0");
    const std::string& strFirst = lines[0];
    EXPECT_EQ(strFirst.size(), 63u) << strFirst;
    size_t nBad = 0;
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i] != strFirst && nBad++ < 5)
            ADD_FAILURE() << "line " << i << " of " << lines.size() << " differs: " << lines[i];
    EXPECT_EQ(nBad, 0u);
}

TEST_F(CommandRun, LettersOutsideAsciiRoundTripThroughTheChild)
{
    // The command line reaches adb as typed, adb writes the letters back in
    // UTF-8, and its output is read as such: they come back as typed.
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-write \xE9t\xE9\\r\\n", 1, lines));
    EXPECT_EQ(lines[0], ">adb --sim-write \xE9t\xE9\\r\\n");
    EXPECT_EQ(lines[1], "\xE9t\xE9") << Describe(lines);
}
