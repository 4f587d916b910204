// What a typed line means, seen on a real main window: the echo on the
// screen, the command line that runs, the modes and prompts, the local
// commands, the interactive shell, abort and help.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/MainWndFixture.h"
#include "support/SystemText.h"

namespace {

class Interpreter : public MainWndFixture {
protected:
    bool WaitBusy() { return PumpKeysUntil([] { return g_bBusy.load(); }); }

    // The current folder in the Windows code page, as the screen shows it;
    // the wide call, since the ANSI one stops at MAX_PATH.
    static std::string CurrentFolder()
    {
        DWORD n = ::GetCurrentDirectoryW(0, nullptr);
        std::wstring w(n, L'\0');
        DWORD got = ::GetCurrentDirectoryW(n, &w[0]);
        w.resize(got < n ? got : 0);
        int m = ::WideCharToMultiByte(CP_ACP, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
        std::string s(size_t(m > 0 ? m : 0), '\0');
        if (m > 0)
            ::WideCharToMultiByte(CP_ACP, 0, w.data(), int(w.size()), &s[0], m, nullptr, nullptr);
        return s;
    }

    // Makes a folder of that name in the temporary folder and enters it;
    // LeaveFolder goes back to where the test was and removes it.
    std::string EnterNewFolder(const char* pszName)
    {
        m_strBefore = CurrentFolder();
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        std::string dir = std::string(temp) + pszName;
        ::CreateDirectoryA(dir.c_str(), nullptr);
        return ::SetCurrentDirectoryA(dir.c_str()) ? dir : std::string();
    }
    void LeaveFolder(const std::string& dir)
    {
        ::SetCurrentDirectoryA(m_strBefore.c_str());
        ::RemoveDirectoryA(dir.c_str());
    }
    std::string m_strBefore;
};

const char* const kHelp[] = {
    "            [Commands]",
    "dir [parm]            - Local dir command",
    "lcd [parm]            - Local cd  command",
    "                [Keys]",
    "F3                    - Find next",
    "F4                    - Clear screen",
    "Ctrl-F                - Find dialog",
    "Shift-F3              - Find previous",
    "Ctrl-B                - Batch of commands",
    "Ctrl-D                - Choose device",
    "Ctrl-PgUp/Ctrl-PgDown - Walk history",
    "Shift-Ctrl-PgUp       - Clear history",
    "               [Mouse]",
    "Dbl click             - Copy word to cmdline",
    "Middle click          - Mark line[s]",
    "Ctrl + Middle click   - Copy to clipboard",
};

} // namespace

TEST_F(Interpreter, WordsRunBehindTheAdbPrefixTrimmedOrNot)
{
    Type("devices");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    std::vector<std::string> lines = Lines();
    EXPECT_EQ(lines[0], "\x03" "adb devices");
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_strCommand, CString("adb devices"));
    EXPECT_GE(IndexOfLine("List of devices attached"), 1);

    Type("  devices  ");
    ASSERT_TRUE(WaitForLine(ExitLine(1, 0)));
    lines = Lines();
    EXPECT_EQ(lines[size_t(IndexOfLine(ExitLine(0, 0)) + 1)], "\x03" "adb devices");
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_strCommand, CString("adb devices"));
}

TEST_F(Interpreter, AdbWordKeepsItsLettersAndOnlyTheFolderGoesInFront)
{
    std::string dir = AdbSimFolder();
    main.m_interp.m_strAdbDir = dir.c_str();
    Type("ADB version");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    EXPECT_EQ(Lines()[0], "\x03" + dir + "ADB version");
    EXPECT_EQ(std::string(main.m_interp.m_cmdRunner.m_strCommand), dir + "ADB version");

    Type("version");
    ASSERT_TRUE(WaitForLine(ExitLine(1, 0)));
    EXPECT_GE(IndexOfLine("\x03" + dir + "adb version"), 0);

    Type("dir /w");
    ASSERT_TRUE(WaitForLine(ExitLine(2, 0)));
    EXPECT_GE(IndexOfLine("\x03" "dir /w"), 0) << "dir is echoed as typed";
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_strCommand, CString("cmd /c dir /w")) << "no adb folder in front";
}

TEST_F(Interpreter, BlankLinesEchoAnEmptyLineAndRunNothing)
{
    Type("");
    Type("  \t  ");
    EXPECT_EQ(Lines(), (std::vector<std::string>{ "", "" }));
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 0);
    EXPECT_FALSE(main.m_interp.m_cmdRunner.IsRunning());
    EXPECT_FALSE(main.m_interp.IsShellRunning());
}

TEST_F(Interpreter, PmModePrefixesEveryWordUntilExit)
{
    Type("pm");
    EXPECT_STREQ(main.m_interp.GetPrompt(), "adb shell pm ");
    EXPECT_EQ(Lines(), (std::vector<std::string>{ "\x03" "pm" }));
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 0) << "a mode word runs nothing";

    Type("list packages");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_strCommand, CString("adb shell pm list packages"));
    EXPECT_GE(IndexOfLine("\x03" "adb shell pm list packages"), 0);

    Type("shell");
    ASSERT_TRUE(WaitIdle());
    EXPECT_GE(IndexOfLine("\x03" "adb shell pm shell"), 0);
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_strCommand, CString("adb shell pm shell"));
    EXPECT_FALSE(main.m_interp.IsShellRunning()) << "in pm mode shell is an ordinary word";
    EXPECT_EQ(main.m_interp.m_mode, ModePm);

    Type("EXIT");
    EXPECT_EQ(main.m_interp.m_mode, ModeAdb);
    EXPECT_STREQ(main.m_interp.GetPrompt(), "adb ");
    EXPECT_EQ(Lines().back(), "\x03" "EXIT");
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 2);
}

TEST_F(Interpreter, ShellWithWordsRunsOnceOnTheCommandRunner)
{
    Type("shell ls");
    EXPECT_FALSE(main.m_interp.IsShellRunning());
    EXPECT_EQ(main.m_interp.m_mode, ModeAdb);
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    EXPECT_EQ(Lines()[0], "\x03" "adb shell ls");
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_strCommand, CString("adb shell ls"));
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 1);
}

TEST_F(Interpreter, BareShellFeedsTypedLinesToTheInteractiveShell)
{
    Type("shell");
    ASSERT_TRUE(main.m_interp.IsShellRunning());
    EXPECT_EQ(main.m_interp.m_mode, ModeShell);
    EXPECT_STREQ(main.m_interp.GetPrompt(), "adb shell ");
    EXPECT_EQ(main.m_interp.m_shellRunner.m_strCommand, CString("adb shell "));
    EXPECT_TRUE(main.m_interp.m_shellRunner.m_bUtf8);
    EXPECT_EQ(Lines(), (std::vector<std::string>{ "\x03" "shell" }));

    // The device name comes back from the device in UTF-8 and stands on the
    // screen in the letters of the Windows code page.
    Type("getprop persist.sys.device_name");
    const std::string name = "Caf\xE9 \xD1" "and\xFA";
    ASSERT_TRUE(WaitForLineEnding(name)) << ::testing::PrintToString(Lines());
    EXPECT_GE(IndexOfLine("\x03" "getprop persist.sys.device_name"), 0) << "no prefix in front of shell input";
    EXPECT_FALSE(g_bBusy) << "the shell's runs are quiet: the lamp stays green";
    EXPECT_FALSE(main.m_interp.m_cmdRunner.IsRunning());

    Type("dir");
    ASSERT_TRUE(WaitForLine(ExitLine(1, 0)));
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_strCommand, CString("cmd /c dir"));
    Type("lcd");
    EXPECT_EQ(Lines().back(), CurrentFolder()) << "lcd stays local while the shell runs";

    Type("exit");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    EXPECT_TRUE(WaitIdle());
    EXPECT_EQ(main.m_interp.m_mode, ModeAdb);
    EXPECT_STREQ(main.m_interp.GetPrompt(), "adb ");
}

TEST_F(Interpreter, ShellStartsFromTheAdbDirectory)
{
    main.m_interp.m_strAdbDir = "C:\\kb-no-such-folder\\";
    Type("shell");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(main.m_interp.m_shellRunner.m_strCommand, CString("C:\\kb-no-such-folder\\adb shell "));
    // The folder holds no adb: the shell cannot start, although an adb
    // stands on the search path.
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[1][0], CODE_ERROR) << lines[1];
    EXPECT_FALSE(main.m_interp.IsShellRunning());
}

TEST_F(Interpreter, StartingTheShellStopsTheBatch)
{
    // The shell's end asks for the next batch line, as a command's does.
    main.m_batch.Start(&main, "shell\r\n--sim-write after\\r\\n\r\n");
    ASSERT_TRUE(main.m_interp.IsShellRunning());
    EXPECT_FALSE(main.m_batch.IsActive());
    main.m_interp.m_shellRunner.WriteLine("exit");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(IndexOfLine("\x03" "adb --sim-write after\\r\\n"), -1) << ::testing::PrintToString(Lines());
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 1);
}

TEST_F(Interpreter, TypedLettersBeyondAsciiReachTheShellInUtf8AndComeBack)
{
    Type("shell");
    ASSERT_TRUE(main.m_interp.IsShellRunning());
    // Typed in the Windows code page; the device knows the file only by its
    // UTF-8 name, and its answer must show the same letters again.
    Type("ls /sdcard/Music/\xD1u.ogg");
    // The answer stands on its own line or continues the shell's prompt.
    const std::string path = "/sdcard/Music/\xD1u.ogg";
    ASSERT_TRUE(PumpKeysUntil([&] { return IndexOfLine(path) >= 0 || WaitForLineEnding("$ " + path, 0); }))
        << ::testing::PrintToString(Lines());
    for (const std::string& s : Lines())
        EXPECT_EQ(s.find("No such file"), std::string::npos) << s;
    EXPECT_GE(IndexOfLine("\x03" "ls /sdcard/Music/\xD1u.ogg"), 0);
    EXPECT_STREQ(main.m_panel.m_edit.m_history.GetAt(1), "ls /sdcard/Music/\xD1u.ogg");
}

TEST_F(Interpreter, BatchLineIsEchoedAsWrittenAndReachesTheShellInUtf8)
{
    Type("shell");
    ASSERT_TRUE(main.m_interp.IsShellRunning());
    // Batch text is in the Windows code page: 0xE9 is e acute, 0x80 the
    // euro sign, which the OEM code page does not have.
    main.m_batch.Start(&main, "echo caf\xE9 5\x80\r\n");
    PumpKeysPending();
    ASSERT_TRUE(WaitForLine("\x03" "echo caf\xE9 5\x80")) << ::testing::PrintToString(Lines());
    // The shell echoes what it got; as UTF-8 of those letters it comes back
    // as the same letters.
    ASSERT_TRUE(PumpKeysUntil([&] { return IndexOfLine("caf\xE9 5\x80") >= 0 || WaitForLineEnding("$ caf\xE9 5\x80", 0); }))
        << ::testing::PrintToString(Lines());
    Type("exit");
    ASSERT_TRUE(WaitIdle());
}

TEST_F(Interpreter, AdbOutputIsUtf8WhileDirOutputIsOem)
{
    // adb writes UTF-8: the euro sign and e acute show as the screen's own
    // letters, a Cyrillic letter 1252 lacks as one '?'.
    Type("--sim-write \\xE2\\x82\\xAC\\xC3\\xA9\\xD0\\x96|\\r\\n");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0))) << ::testing::PrintToString(Lines());
    EXPECT_GE(IndexOfLine("\x80\xE9?|"), 0) << ::testing::PrintToString(Lines());
    ASSERT_TRUE(WaitIdle());

    // The command processor writes the OEM code page: a file name with e
    // acute comes back as it is named.
    const std::string dir = EnterNewFolder("kb dir oem");
    ASSERT_FALSE(dir.empty());
    const std::string file = dir + "\\kb\xE9t\xE9.txt";
    HANDLE h = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ::CloseHandle(h);
    Type("dir /b");
    bool bDone = WaitForLine(ExitLine(1, 0));
    ::DeleteFileA(file.c_str());
    LeaveFolder(dir);
    ASSERT_TRUE(bDone) << ::testing::PrintToString(Lines());
    EXPECT_GE(IndexOfLine("kb\xE9t\xE9.txt"), 0) << ::testing::PrintToString(Lines());
    ASSERT_TRUE(WaitIdle());
}

TEST_F(Interpreter, ShellThatEndedByItselfLeavesShellModeForOneShotRuns)
{
    Type("shell");
    ASSERT_TRUE(main.m_interp.IsShellRunning());
    // The shell's own way out, not the mode word: the mode stays.
    main.m_interp.m_shellRunner.WriteLine("exit 3");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 3)));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(main.m_interp.m_mode, ModeShell);

    Type("whoami");
    ASSERT_TRUE(WaitForLine(ExitLine(1, 0)));
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_strCommand, CString("adb shell whoami"));
    EXPECT_GE(IndexOfLine("shell"), 0) << "a one-shot run's output stands on its own line";
    Type("exit");
    EXPECT_EQ(main.m_interp.m_mode, ModeAdb);
}

TEST_F(Interpreter, LcdAlonePrintsTheFolderAndLcdDotDotTheParent)
{
    const std::string dir = EnterNewFolder("kb lcd test");
    ASSERT_FALSE(dir.empty());
    std::string here = CurrentFolder();

    Type("lcd");
    Type("LCD ..");
    std::string parent = CurrentFolder();
    // A folder dropped on the window arrives in double quotes.
    const std::string quoted = "lcd \"" + here + "\"";
    Type(quoted.c_str());
    std::string back = CurrentFolder();
    LeaveFolder(dir);

    EXPECT_EQ(back, here) << "lcd \"folder\" enters the folder inside the quotes";
    EXPECT_EQ(Lines(), (std::vector<std::string>{ "\x03" "lcd", here, "\x03" "LCD ..", parent, "\x03" + quoted, here }));
    EXPECT_EQ(here.substr(0, parent.size()), parent);
    EXPECT_GT(here.size(), parent.size());
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 0);
}

TEST_F(Interpreter, LcdShowsAFolderWithLettersBeyondAsciiAsTyped)
{
    // The euro sign is a letter of 1252 but not of the OEM code page 437.
    const std::string dir = EnterNewFolder("kb caf\xE9 \x80");
    ASSERT_FALSE(dir.empty());
    Type("lcd");
    LeaveFolder(dir);
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], dir);
}

TEST_F(Interpreter, LcdToAMissingFolderPrintsTheSystemTextAndStopsTheBatch)
{
    const char* pszMissing = "C:\\kb no such folder\\deeper";
    std::string before = CurrentFolder();
    ASSERT_FALSE(::SetCurrentDirectoryA(pszMissing));
    std::string text = SystemText(::GetLastError());
    ASSERT_FALSE(text.empty());

    std::string batch = std::string("lcd ") + pszMissing + "\r\nversion\r\n";
    main.m_batch.Start(&main, batch.c_str());
    PumpKeysPending();
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], std::string("\x03" "lcd ") + pszMissing);
    EXPECT_EQ(lines[1], "\x01" + text);
    EXPECT_EQ(lines[1].find_first_of("\r\n"), std::string::npos) << "the error text is one line";
    EXPECT_EQ(CurrentFolder(), before);
    EXPECT_FALSE(main.m_batch.IsActive()) << "the rest of the batch must not run later in the wrong folder";

    // A later command's end does not wake the rest of the batch.
    Type("version");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 1);
}

TEST_F(Interpreter, StartThatFailsOnTheReaderThreadStopsTheBatchThroughTheWindow)
{
    main.m_interp.m_strAdbDir = "C:\\kb-no-such-folder\\";
    main.m_batch.Start(&main, "devices\r\nversion\r\n");
    auto errorShown = [&] {
        for (const std::string& s : Lines())
            if (!s.empty() && s[0] == CODE_ERROR)
                return true;
        return false;
    };
    // The window handles no message meanwhile: the reader thread has printed
    // the error, and the batch, which only this thread may touch, is as it was.
    ASSERT_TRUE(WaitUntil(errorShown));
    EXPECT_FALSE(WaitUntil([&] { return !main.m_batch.IsActive(); }, kQuietMs))
        << "the reader thread stopped the batch behind the window's back";
    EXPECT_TRUE(PumpKeysUntil([&] { return !main.m_batch.IsActive(); }));
    ASSERT_TRUE(WaitIdle());
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "\x03" "C:\\kb-no-such-folder\\adb devices");
    EXPECT_EQ(lines[1][0], CODE_ERROR);
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 1) << "the batch's second line never ran";
}

TEST_F(Interpreter, LcdPrintsAFolderLongerThan260BytesWhole)
{
    std::string before = CurrentFolder();
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    ASSERT_TRUE(::SetCurrentDirectoryA(temp));
    const std::string step(60, 'd');
    int nDepth = 0;
    while (CurrentFolder().size() <= 300 && nDepth < 10) {
        ::CreateDirectoryA(step.c_str(), nullptr);
        if (!::SetCurrentDirectoryA(step.c_str()))
            break;
        nDepth++;
    }
    std::string deep = CurrentFolder();
    bool bDeep = deep.size() > 300;
    if (bDeep)
        Type("lcd");
    std::vector<std::string> lines = Lines();
    for (int i = 0; i < nDepth; ++i) {
        ::SetCurrentDirectoryA("..");
        ::RemoveDirectoryA(step.c_str());
    }
    ::SetCurrentDirectoryA(before.c_str());
    ASSERT_TRUE(bDeep) << "the system would not enter a folder deeper than " << deep.size() << " bytes, depth "
                       << nDepth << ", error " << ::GetLastError();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], deep);
}

TEST_F(Interpreter, AbortAllEndsCommandShellAndBatchInThatOrder)
{
    Type("shell");
    ASSERT_TRUE(main.m_interp.IsShellRunning());
    // While the shell runs the batch's first line goes to the shell, and the
    // rest waits; a command of the command runner runs beside them.
    main.m_batch.Start(&main, "whoami\r\nversion\r\n");
    ASSERT_TRUE(main.m_batch.IsActive());
    ASSERT_TRUE(main.m_interp.m_cmdRunner.Start("adb --sim-sleep 20000"));
    ASSERT_TRUE(WaitBusy());
    size_t nBefore = Lines().size();

    Press(VK_ESCAPE);
    std::vector<std::string> lines = Lines();
    std::vector<std::string> aborts;
    for (size_t i = nBefore; i < lines.size(); ++i)
        if (lines[i].compare(0, 7, "\x01" "Abort ") == 0)
            aborts.push_back(lines[i]);
    EXPECT_EQ(aborts, (std::vector<std::string>{ "\x01" "Abort command", "\x01" "Abort shell", "\x01" "Abort batch" }));
    EXPECT_EQ(IndexOfLine("\x03" "exit"), -1) << "the exit written to the shell is not echoed";
    EXPECT_EQ(main.m_interp.m_mode, ModeAdb);
    EXPECT_STREQ(main.m_interp.GetPrompt(), "adb ");
    EXPECT_FALSE(main.m_batch.IsActive());

    ASSERT_TRUE(WaitIdle());
    EXPECT_GE(IndexOfLine(ExitLine(1, 255)), 0) << "the killed command still reports its end";
    EXPECT_FALSE(g_bBusy);
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 2) << "the batch's second line never ran";
}

TEST_F(Interpreter, AbortWithNothingRunningPrintsNothing)
{
    Press(VK_ESCAPE);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(Interpreter, HelpPrintsSixteenInfoLinesAndAnEmptyOneButNotWhileBusy)
{
    Press(VK_F1);
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 17u);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(lines[i], std::string("\x02") + kHelp[i]);
        if (kHelp[i][0] != ' ') {
            EXPECT_EQ(std::string(kHelp[i]).find(" - "), 21u) << "the dash stands in column 23: " << kHelp[i];
        }
    }
    EXPECT_EQ(lines[16], "") << "the empty line carries no code";
    EXPECT_EQ(main.m_view.m_nCode, 0);

    Type("--sim-sleep 20000");
    ASSERT_TRUE(WaitBusy());
    size_t n = Lines().size();
    Press(VK_F1);
    EXPECT_EQ(Lines().size(), n);
}

TEST_F(Interpreter, ProgramThatDoesNotExistPrintsOneErrorLine)
{
    main.m_interp.m_strAdbDir = "C:\\kb no such folder\\";
    Type("devices");
    ASSERT_TRUE(PumpKeysUntil([&] { return Lines().size() >= 2; }));
    ASSERT_TRUE(WaitIdle());
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "\x03" "C:\\kb no such folder\\adb devices");
    EXPECT_EQ(lines[1][0], '\x01');
    EXPECT_GT(lines[1].size(), 1u);
    EXPECT_EQ(lines[1].find_first_of("\r\n"), std::string::npos);
    EXPECT_FALSE(g_bBusy) << "the lamp does not change";
}

TEST_F(Interpreter, HelpAndEchoDoNotLendTheirCodesToLinesPrintedMeanwhile)
{
    // Output of a run arrives on its reader thread while the user-interface
    // thread prints a block of help or an echo.
    std::atomic<bool> bStop{ false };
    std::atomic<int> nPrinted{ 0 };
    std::thread reader([&] {
        while (!bStop && nPrinted < 200000) {
            main.m_view.Print("out");
            nPrinted++;
            if (nPrinted % 64 == 0)
                ::Sleep(0);
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return nPrinted > 100; }));
    for (int i = 0; i < 40; ++i) {
        main.m_interp.PrintHelp();
        Type("lcd");
    }
    bStop = true;
    reader.join();

    int nWrong = 0, nHelp = 0, nEcho = 0;
    for (const std::string& s : Lines()) {
        if (s.size() == 4 && s.compare(1, 3, "out") == 0)
            nWrong++;
        nHelp += s == std::string("\x02") + kHelp[0];
        nEcho += s == "\x03" "lcd";
    }
    EXPECT_EQ(nWrong, 0) << "output lines took the code of the block printed beside them";
    EXPECT_EQ(nHelp, 40);
    EXPECT_EQ(nEcho, 40);
    EXPECT_EQ(main.m_view.m_nCode, 0);
}

TEST_F(Interpreter, BatchOfManyLcdLinesRunsToItsEnd)
{
    // Each successful lcd asks for the next batch line at once; a long run
    // of them must not nest one call inside the other until something gives.
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "lcd .\r\n";
    text += "version\r\n";
    main.m_batch.Start(&main, text.c_str());
    ASSERT_TRUE(WaitForLine(ExitLine(0, 0)));
    ASSERT_TRUE(WaitIdle());
    std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 6002u);
    EXPECT_EQ(lines[5998], "\x03" "lcd .");
    EXPECT_EQ(lines[6000], "\x03" "adb version");
    EXPECT_FALSE(main.m_batch.IsActive());
}

TEST_F(Interpreter, LcdTypedWithLettersBeyondAsciiEntersThatFolder)
{
    std::string before = CurrentFolder();
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    // Typed in the Windows code page and run in it: the euro sign and the
    // dash are letters that the OEM code page lacks.
    std::string typed = std::string(temp) + "kb Donn\xE9" "es \xE7" "a \x80 \x96";
    std::string batch = std::string(temp) + "kb \xC9t\xE9";
    ::CreateDirectoryA(typed.c_str(), nullptr);
    ::CreateDirectoryA(batch.c_str(), nullptr);
    Type(("lcd " + typed).c_str());
    std::string afterTyped = CurrentFolder();
    ::SetCurrentDirectoryA(before.c_str());
    // A batch line is in the Windows code page as it stands.
    main.m_batch.Start(&main, ("lcd " + batch + "\r\n").c_str());
    std::string afterBatch = CurrentFolder();
    ::SetCurrentDirectoryA(before.c_str());
    ::RemoveDirectoryA(typed.c_str());
    ::RemoveDirectoryA(batch.c_str());

    EXPECT_EQ(afterTyped, typed) << ::testing::PrintToString(Lines());
    EXPECT_EQ(afterBatch, batch) << ::testing::PrintToString(Lines());
    EXPECT_EQ(IndexOfLine("\x03" "lcd " + typed), 0) << "the echo shows the letters typed";
    EXPECT_EQ(IndexOfLine(typed), 1);
    EXPECT_STREQ(main.m_panel.m_edit.m_history.GetAt(0), ("lcd " + typed).c_str());
}

TEST_F(Interpreter, StartRefusedWhileACommandRunsSaysSoAndStopsTheBatch)
{
    ASSERT_TRUE(main.m_interp.m_cmdRunner.Start("adb --sim-sleep 20000"));
    main.m_batch.Start(&main, "get-state\r\nget-serialno\r\n");
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "\x03" "adb get-state");
    EXPECT_EQ(lines[1], "\x01" "Not started: a command is still running");
    EXPECT_EQ(lines[2], "\x01" "Abort batch");
    EXPECT_FALSE(main.m_batch.IsActive());
    EXPECT_EQ(main.m_interp.m_cmdRunner.m_strCommand, CString("adb --sim-sleep 20000"));
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 1);
}

TEST_F(Interpreter, BatchLineAskedForWhileACommandRunsWaitsForItsEnd)
{
    main.m_batch.Start(&main, "--sim-sleep 1500\r\nget-serialno\r\n");
    ASSERT_TRUE(main.m_interp.m_cmdRunner.IsRunning());
    // The interactive shell's end asks for the next line, too, whatever the
    // command runner is doing.
    main.SendMessage(UM_BATCHNEXT, 0, 0);
    EXPECT_EQ(IndexOfLine("\x03" "adb get-serialno"), -1) << "the line was taken while a command ran";
    ASSERT_TRUE(WaitForLine(ExitLine(1, 0)));
    ASSERT_TRUE(WaitIdle());
    std::vector<std::string> lines = Lines();
    int nFirstExit = IndexOfLine(ExitLine(0, 0));
    int nEcho = IndexOfLine("\x03" "adb get-serialno");
    ASSERT_GE(nFirstExit, 0) << ::testing::PrintToString(lines);
    EXPECT_GT(nEcho, nFirstExit) << ::testing::PrintToString(lines);
    EXPECT_GE(IndexOfLine("emulator-5554"), 0) << ::testing::PrintToString(lines);
}

TEST_F(Interpreter, AnotherRunsOutputNeverContinuesTheShellsPrompt)
{
    Type("shell");
    ASSERT_TRUE(WaitForLineEnding("$ "));
    std::vector<std::string> before = Lines();
    const std::string prompt = before.back();
    // A command runs beside the shell and its output comes right after the
    // shell's unfinished prompt, with no echo in between.
    ASSERT_TRUE(main.m_interp.m_cmdRunner.Start(("adb --sim-write \"late\\n\"")));
    ASSERT_TRUE(WaitForLine(ExitLine(1, 0))) << ::testing::PrintToString(Lines());
    EXPECT_GE(IndexOfLine("late"), 0) << ::testing::PrintToString(Lines());
    EXPECT_EQ(IndexOfLine(prompt + "late"), -1);
    EXPECT_EQ(IndexOfLine(prompt), int(before.size()) - 1) << "the prompt line changed";
}

TEST_F(Interpreter, LineMeantForTheShellIsNeverStartedAsAProgram)
{
    Type("shell");
    ASSERT_TRUE(main.m_interp.IsShellRunning());
    CString line("whoami");
    LineRoute route = main.m_interp.Prepare(line);
    EXPECT_EQ(route, RouteShell);
    // The shell ends between the decision and the line's execution.
    main.m_interp.m_shellRunner.WriteLine("exit 0");
    ASSERT_TRUE(WaitIdle());
    main.m_interp.Execute(line, false, route);
    EXPECT_FALSE(main.m_interp.m_cmdRunner.IsRunning());
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 1) << "the shell's line was started as a program";
    // Esc with the shell gone writes nothing and starts nothing either.
    Press(VK_ESCAPE);
    EXPECT_EQ(CProcessRunner::s_nNextRunId, 1);
}

TEST_F(Interpreter, EscEndsAShellThatStoppedReadingItsInput)
{
    Type("shell");
    ASSERT_TRUE(WaitForLineEnding("$ "));
    // The shell waits without reading; far more than its 2048-byte input
    // pipe holds is typed meanwhile, and each line is echoed at once.
    Type("sleep 600");
    const std::string filler(120, 'w');
    for (int i = 0; i < 40; ++i) {
        Type(("echo " + std::to_string(i) + filler).c_str());
        ASSERT_EQ(Lines().back(), "\x03" "echo " + std::to_string(i) + filler);
    }
    EXPECT_GT(main.m_interp.m_shellRunner.QueuedInput(), 0u) << "the input pipe never filled";
    Press(VK_ESCAPE);
    EXPECT_GE(IndexOfLine("\x01" "Abort shell"), 0);
    ASSERT_TRUE(WaitIdle());
    EXPECT_GE(IndexOfLine(ExitLine(0, 255)), 0) << ::testing::PrintToString(Lines());
    EXPECT_EQ(main.m_interp.m_shellRunner.QueuedInput(), 0u);
    Type("get-state");
    ASSERT_TRUE(WaitForLine(ExitLine(1, 0)));
}

TEST_F(Interpreter, ChosenDeviceGoesRightAfterAdbInEveryModeUnlessTheLineNamesOne)
{
    CCommandInterpreter& in = main.m_interp;
    in.m_strDeviceArgs = " -s \"My Phone\"";
    CString line("logcat -d");
    EXPECT_EQ(in.Prepare(line), RouteCommand);
    EXPECT_EQ(line, "adb -s \"My Phone\" logcat -d");
    line = "ADB devices";
    in.Prepare(line);
    EXPECT_EQ(line, "ADB -s \"My Phone\" devices");
    line = "-t 3 get-state";
    in.Prepare(line);
    EXPECT_EQ(line, "adb -t 3 get-state") << "the device the user names wins";
    line = "adb -e get-state";
    in.Prepare(line);
    EXPECT_EQ(line, "adb -e get-state");
    line = "dir /w";
    EXPECT_EQ(in.Prepare(line), RouteLocal);
    EXPECT_EQ(line, "dir /w");
    line = "pm";
    in.Prepare(line);
    line = "list packages";
    in.Prepare(line);
    EXPECT_EQ(line, "adb -s \"My Phone\" shell pm list packages");
    line = "exit";
    in.Prepare(line);
    in.m_strAdbDir = "C:\\sdk\\";
    line = "devices";
    in.Prepare(line);
    EXPECT_EQ(line, "C:\\sdk\\adb -s \"My Phone\" devices");
    in.m_strAdbDir = "";
    in.m_strDeviceArgs = "";
    line = "devices";
    in.Prepare(line);
    EXPECT_EQ(line, "adb devices") << "without a choice, as always";
}

TEST_F(Interpreter, DeviceShellWordsAndTheCommandsThatNeedAServer)
{
    CString args;
    EXPECT_TRUE(CCommandInterpreter::IsDeviceShell("-s emulator-5554 shell", args));
    EXPECT_EQ(args, " -s emulator-5554");
    EXPECT_TRUE(CCommandInterpreter::IsDeviceShell("-s \"My Phone\"   shell  ", args));
    EXPECT_EQ(args, " -s \"My Phone\"");
    EXPECT_TRUE(CCommandInterpreter::IsDeviceShell("-d shell", args));
    EXPECT_TRUE(CCommandInterpreter::IsDeviceShell("-t 3 shell", args));
    EXPECT_EQ(args, " -t 3");
    EXPECT_FALSE(CCommandInterpreter::IsDeviceShell("shell", args)) << "the bare word is the old way";
    EXPECT_FALSE(CCommandInterpreter::IsDeviceShell("-s X shell ls", args));
    EXPECT_FALSE(CCommandInterpreter::IsDeviceShell("-s shell", args));
    EXPECT_FALSE(CCommandInterpreter::IsDeviceShell("-s \"open shell", args));
    EXPECT_FALSE(CCommandInterpreter::IsDeviceShell("-x Y shell", args));

    EXPECT_TRUE(CCommandInterpreter::NeedsServer("adb devices"));
    EXPECT_TRUE(CCommandInterpreter::NeedsServer("C:\\sdk\\adb -s \"a b\" -P 5038 shell"));
    EXPECT_FALSE(CCommandInterpreter::NeedsServer("adb version"));
    EXPECT_FALSE(CCommandInterpreter::NeedsServer("adb -s X kill-server"));
    EXPECT_FALSE(CCommandInterpreter::NeedsServer("adb"));
}

TEST_F(Interpreter, DeviceShellTypedByANewUserOpensTheInteractiveShell)
{
    Type("-s emulator-5554 shell");
    EXPECT_TRUE(WaitForLineEnding("emulator64_x86_64:/ $ "));
    EXPECT_TRUE(main.m_interp.IsShellRunning());
    EXPECT_EQ(main.m_interp.m_shellRunner.m_strCommand, "adb -s emulator-5554 shell ");
    EXPECT_FALSE(g_bBusy) << "the lamp stays as for the shell";
    Type("getprop ro.product.model");
    EXPECT_TRUE(WaitForLineEnding("sdk_gphone64_x86_64"));
    Type("exit");
    EXPECT_TRUE(WaitIdle());
    EXPECT_EQ(main.m_interp.m_mode, ModeAdb);
}
