// End-to-end checks of the adb stand-in: the built adb.exe runs as a real
// child with its standard output and error merged into one pipe, the way
// Kestrelbox runs adb.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/AdbSim.h"
#include "support/Wait.h"

namespace {

const DWORD kRunBoundMs = 15000;

// A port of this test process's own, so that servers started here never
// meet those of other programs running adb.exe at the same time.
std::string TestPort()
{
    return std::to_string(20000 + GetCurrentProcessId() % 40000);
}

std::string ServerName()
{
    return "Local\\adbsim-server-" + TestPort();
}

bool ServerRunning()
{
    HANDLE h = OpenEventA(SYNCHRONIZE, FALSE, ServerName().c_str());
    if (h == NULL)
        return false;
    CloseHandle(h);
    return true;
}

bool ServerGone()
{
    return !ServerRunning();
}

// One run of adb.exe. Like Kestrelbox's runner, the run ends when the child
// ends, not when the pipe closes: a server or holder the child starts keeps
// the pipe's write end.
struct AdbRun
{
    bool bStarted = false;
    bool bEnded = false;
    DWORD nExitCode = 0;
    std::string strOutput;
    HANDLE hOutput = NULL; // read end, kept open for the tests that need it

    AdbRun() = default;
    AdbRun(const AdbRun&) = delete;
    AdbRun& operator=(const AdbRun&) = delete;
    ~AdbRun()
    {
        if (hOutput != NULL)
            CloseHandle(hOutput);
    }
};

void ReadWaiting(HANDLE hRead, std::string& strOut)
{
    DWORD nAvail = 0;
    while (PeekNamedPipe(hRead, NULL, 0, NULL, &nAvail, NULL) && nAvail > 0)
    {
        std::vector<char> buf(nAvail);
        DWORD nRead = 0;
        if (!ReadFile(hRead, buf.data(), nAvail, &nRead, NULL) || nRead == 0)
            break;
        strOut.append(buf.data(), nRead);
    }
}

std::wstring WideOf(UINT nCodePage, const std::string& s)
{
    int n = MultiByteToWideChar(nCodePage, 0, s.data(), int(s.size()), NULL, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(nCodePage, 0, s.data(), int(s.size()), &w[0], n);
    return w;
}

// The arguments are UTF-8 and reach the child as the letters they are,
// whatever the ANSI code page has. nKillAfterMs, when given, terminates the
// child that long after its start, as Kestrelbox's Esc does.
void RunAdb(AdbRun& run, const std::string& strArgs, const std::string& strInput = std::string(),
            const std::string& strIdleMs = "4000", DWORD nKillAfterMs = INFINITE)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE hInRead = NULL, hInWrite = NULL, hOutRead = NULL, hOutWrite = NULL;
    ASSERT_TRUE(CreatePipe(&hInRead, &hInWrite, &sa, 0));
    ASSERT_TRUE(CreatePipe(&hOutRead, &hOutWrite, &sa, 1 << 20));
    SetHandleInformation(hInWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(hOutRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = hInRead;
    si.hStdOutput = hOutWrite;
    si.hStdError = hOutWrite;
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof(pi));

    std::wstring strCmd = WideOf(CP_ACP, "\"" + AdbSimPath() + "\" ") + WideOf(CP_UTF8, strArgs);
    std::vector<wchar_t> cmd(strCmd.begin(), strCmd.end());
    cmd.push_back(L'\0');
    std::vector<char> env = EnvironmentBlock({{"ADBSIM_IDLE_MS", strIdleMs}, {"ANDROID_ADB_SERVER_PORT", TestPort()}}, false);

    DWORD nStart = GetTickCount();
    // Under Wine, a CREATE_NO_WINDOW child killed early in its start can leave
    // its hidden console host behind, holding the pipes; a child that will be
    // killed runs detached, so that only adb.exe's own doing is measured.
    DWORD nFlags = nKillAfterMs == INFINITE ? CREATE_NO_WINDOW : DETACHED_PROCESS;
    run.bStarted = CreateProcessW(NULL, cmd.data(), NULL, NULL, TRUE, nFlags, env.data(), NULL, &si, &pi) != 0;
    CloseHandle(hInRead);
    CloseHandle(hOutWrite);
    run.hOutput = hOutRead;
    if (!run.bStarted)
    {
        CloseHandle(hInWrite);
        return;
    }

    DWORD nWritten = 0;
    if (!strInput.empty())
        WriteFile(hInWrite, strInput.data(), static_cast<DWORD>(strInput.size()), &nWritten, NULL);
    CloseHandle(hInWrite);

    for (;;)
    {
        DWORD nElapsed = GetTickCount() - nStart;
        DWORD nPoll = 10;
        if (nKillAfterMs != INFINITE)
            nPoll = nElapsed >= nKillAfterMs ? 0 : (nKillAfterMs - nElapsed < 10 ? nKillAfterMs - nElapsed : 10);
        DWORD nWait = WaitForSingleObject(pi.hProcess, nPoll);
        ReadWaiting(hOutRead, run.strOutput);
        if (nWait != WAIT_TIMEOUT)
        {
            run.bEnded = true;
            break;
        }
        nElapsed = GetTickCount() - nStart;
        if (nElapsed >= kRunBoundMs || (nKillAfterMs != INFINITE && nElapsed >= nKillAfterMs))
        {
            TerminateProcess(pi.hProcess, 255);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
    }
    GetExitCodeProcess(pi.hProcess, &run.nExitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

// The run ended by itself with the exit code and exactly the output given.
::testing::AssertionResult Answered(const AdbRun& run, DWORD nCode, const std::string& strOutput)
{
    if (!run.bEnded)
        return ::testing::AssertionFailure() << "the run did not end; its output: "
                                             << ::testing::PrintToString(run.strOutput);
    if (run.nExitCode != nCode || run.strOutput != strOutput)
        return ::testing::AssertionFailure() << "exit code " << run.nExitCode << " and output "
                                             << ::testing::PrintToString(run.strOutput) << "; wanted " << nCode
                                             << " and " << ::testing::PrintToString(strOutput);
    return ::testing::AssertionSuccess();
}

// True once the pipe's last writer has gone; waits at most nBoundMs.
bool WaitForPipeEnd(HANDLE hRead, DWORD nBoundMs)
{
    bool bEnded = false;
    WaitUntil([&] {
        DWORD nAvail = 0;
        if (!PeekNamedPipe(hRead, NULL, 0, NULL, &nAvail, NULL))
        {
            bEnded = GetLastError() == ERROR_BROKEN_PIPE;
            return true;
        }
        std::string strIgnored;
        ReadWaiting(hRead, strIgnored);
        return false;
    }, nBoundMs);
    return bEnded;
}

bool PipeStillOpen(HANDLE hRead)
{
    DWORD nAvail = 0;
    return PeekNamedPipe(hRead, NULL, 0, NULL, &nAvail, NULL) != 0;
}

const char kDaemonStarting[] = "* daemon not running; starting now at tcp:";
const char kPrompt[] = "emulator64_x86_64:/ $ ";

// Every test starts and ends with no server running on the test port.
class AdbSimTest : public ::testing::Test
{
protected:
    void SetUp() override { StopServer(); }
    void TearDown() override { StopServer(); }

    void StopServer()
    {
        if (!ServerRunning())
            return;
        AdbRun run;
        RunAdb(run, "kill-server");
        EXPECT_TRUE(Answered(run, 0u, ""));
        EXPECT_FALSE(ServerRunning());
    }

    // The daemon's two lines, present at the front of a run's output.
    static std::string DaemonLines()
    {
        return std::string(kDaemonStarting) + TestPort() + "\r\n* daemon started successfully\r\n";
    }
};

} // namespace

TEST_F(AdbSimTest, VersionPrintsThreeLinesWithOwnPath)
{
    AdbRun run;
    RunAdb(run, "version");
    EXPECT_TRUE(Answered(run, 0u, "Android Debug Bridge version 1.0.41\r\n"
                             "Version 29.0.6-adbsim\r\n"
                             "Installed as " +
                                 AdbSimPath() + "\r\n"));
}

TEST_F(AdbSimTest, SimWriteEscapesAreByteExact)
{
    AdbRun run;
    RunAdb(run, "--sim-write A\\r\\n\\t\\0\\b\\\\\\xFF\\x00z --sim-write \\xc3\\xa9");
    ASSERT_TRUE(run.bEnded);
    EXPECT_EQ(run.nExitCode, 0u);
    const char kExpected[] = "A\r\n\t\0\b\\\xFF\0z\xC3\xA9";
    EXPECT_EQ(run.strOutput, std::string(kExpected, sizeof(kExpected) - 1));
}

TEST_F(AdbSimTest, ArgumentsArriveAsUtf16AndGoOutAsUtf8AsAdbSends)
{
    // Cyrillic, the euro sign and a Chinese letter: no ANSI code page has
    // them all, yet adb passes each on.
    const std::string strWords = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xE2\x82\xAC \xE4\xB8\xAD";
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string strLog = std::string(szTemp) + "kb-adbsim-commands-" + TestPort() + ".txt";
    DeleteFileA(strLog.c_str());
    SetEnvironmentVariableA("ADBSIM_COMMAND_LOG", strLog.c_str());
    AdbRun run;
    RunAdb(run, "--sim-write \"" + strWords + "\"");
    SetEnvironmentVariableA("ADBSIM_COMMAND_LOG", NULL);
    EXPECT_TRUE(Answered(run, 0u, strWords));

    // It reports the command line it got, as UTF-8.
    std::string strLogged;
    HANDLE h = CreateFileA(strLog.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof(buf), &n, NULL) && n > 0)
        strLogged.append(buf, n);
    CloseHandle(h);
    DeleteFileA(strLog.c_str());
    EXPECT_NE(strLogged.find("--sim-write \"" + strWords + "\"\r\n"), std::string::npos) << strLogged;
}

TEST_F(AdbSimTest, SimStderrWritesIntoTheSamePipeInOrder)
{
    AdbRun run;
    RunAdb(run, "--sim-write a --sim-stderr b\\n --sim-write c");
    ASSERT_TRUE(run.bEnded);
    EXPECT_EQ(run.strOutput, "ab\nc");
}

TEST_F(AdbSimTest, BadEscapeOrSwitchRunsNothingAndExitsTwo)
{
    const char* const kBad[] = {"--sim-write early --sim-write a\\q", "--sim-write early --sim-write \\x4",
                                "--sim-write early --sim-nonsense 1", "--sim-write early --sim-bytes 12x",
                                "--sim-write early --sim-exit 0x100000000"};
    for (const char* pszArgs : kBad)
    {
        AdbRun run;
        RunAdb(run, pszArgs);
        ASSERT_TRUE(run.bEnded) << pszArgs;
        EXPECT_EQ(run.nExitCode, 2u) << pszArgs;
        EXPECT_EQ(run.strOutput.compare(0, 8, "adbsim: "), 0) << pszArgs << ": " << run.strOutput;
        EXPECT_EQ(run.strOutput.find("early"), std::string::npos) << pszArgs;
    }
}

TEST_F(AdbSimTest, InterleaveAlternatesStreamsInWriteOrder)
{
    AdbRun run;
    RunAdb(run, "--sim-interleave 200");
    ASSERT_TRUE(run.bEnded);
    std::string strExpected;
    for (int k = 0; k < 200; ++k)
        strExpected += "out " + std::to_string(k) + "\nerr " + std::to_string(k) + "\n";
    EXPECT_EQ(run.strOutput, strExpected);
}

TEST_F(AdbSimTest, SimExitGivesTheWholeCodeAndTheLastOneCounts)
{
    AdbRun crash;
    RunAdb(crash, "--sim-exit 0xC0000005");
    ASSERT_TRUE(crash.bEnded);
    EXPECT_EQ(crash.nExitCode, 0xC0000005u);

    AdbRun minus;
    RunAdb(minus, "--sim-exit -1");
    EXPECT_EQ(minus.nExitCode, 0xFFFFFFFFu);

    AdbRun last;
    RunAdb(last, "--sim-exit 7 --sim-write x --sim-exit 10000");
    EXPECT_TRUE(Answered(last, 10000u, "x"));
}

TEST_F(AdbSimTest, SimBytesWritesExactCountOfPattern)
{
    AdbRun run;
    RunAdb(run, "--sim-bytes 131073");
    ASSERT_TRUE(run.bEnded);
    ASSERT_EQ(run.strOutput.size(), 131073u);
    const char kPattern[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+/";
    size_t nBad = 0;
    for (size_t i = 0; i < run.strOutput.size(); ++i)
        if (run.strOutput[i] != kPattern[i % 64])
            ++nBad;
    EXPECT_EQ(nBad, 0u);
}

TEST_F(AdbSimTest, SimBytesLinesPutsLineFeedAsEvery64thByte)
{
    AdbRun run;
    RunAdb(run, "--sim-bytes 200 --sim-bytes-lines");
    ASSERT_TRUE(run.bEnded);
    ASSERT_EQ(run.strOutput.size(), 200u);
    std::vector<size_t> breaks;
    for (size_t i = 0; i < run.strOutput.size(); ++i)
        if (run.strOutput[i] == '\n')
            breaks.push_back(i);
    EXPECT_EQ(breaks, (std::vector<size_t>{63, 127, 191}));
}

TEST_F(AdbSimTest, EchoStdinStripsCrAndStopsAtQuit)
{
    AdbRun run;
    RunAdb(run, "--sim-echo-stdin --sim-write done", "one\r\n\r\ntwo \nquit\nnever\n");
    EXPECT_TRUE(Answered(run, 0u, "got: one\ngot: \ngot: two \ndone"));
}

TEST_F(AdbSimTest, EchoStdinTakesLastLineWithoutLineFeed)
{
    AdbRun run;
    RunAdb(run, "--sim-echo-stdin", "first\nlast\r");
    ASSERT_TRUE(run.bEnded);
    EXPECT_EQ(run.strOutput, "got: first\ngot: last\n");
}

TEST_F(AdbSimTest, HolderKeepsPipeOpenAfterTheChildHasEnded)
{
    AdbRun run;
    RunAdb(run, "--sim-holder 800 --sim-write x");
    ASSERT_TRUE(run.bEnded);
    EXPECT_EQ(run.strOutput, "x");
    // The foreground process is gone, yet the holder still has the pipe...
    EXPECT_TRUE(PipeStillOpen(run.hOutput));
    // ...until its time is up and it lets go by itself.
    EXPECT_TRUE(WaitForPipeEnd(run.hOutput, 10000));
}

TEST_F(AdbSimTest, DevicesListsOneDeviceAndEndsWithEmptyLine)
{
    AdbRun run;
    RunAdb(run, "devices");
    EXPECT_TRUE(Answered(run, 0u, DaemonLines() + "List of devices attached\r\nemulator-5554\tdevice\r\n\r\n"));
}

TEST_F(AdbSimTest, DevicesLongFormNamesProductModelDeviceAndTransport)
{
    AdbRun run;
    RunAdb(run, "devices -l");
    EXPECT_TRUE(Answered(run, 0u, DaemonLines() +
                                 "List of devices attached\r\n"
                                 "emulator-5554          device product:sdk_gphone64_x86_64 "
                                 "model:sdk_gphone64_x86_64 device:emulator64_x86_64 transport_id:1\r\n\r\n"));
}

TEST_F(AdbSimTest, FirstServerCommandAnnouncesDaemonAndSecondDoesNot)
{
    AdbRun first;
    RunAdb(first, "get-state");
    ASSERT_TRUE(first.bEnded);
    EXPECT_EQ(first.strOutput, DaemonLines() + "device\r\n");
    // The server inherited the output pipe, as adb's does, and the run ended
    // all the same.
    EXPECT_TRUE(PipeStillOpen(first.hOutput));
    EXPECT_TRUE(ServerRunning());

    AdbRun second;
    RunAdb(second, "get-state");
    EXPECT_TRUE(Answered(second, 0u, "device\r\n"));
}

TEST_F(AdbSimTest, VersionNeedsNoServer)
{
    AdbRun run;
    RunAdb(run, "version");
    ASSERT_TRUE(run.bEnded);
    EXPECT_EQ(run.strOutput.find("daemon"), std::string::npos);
    EXPECT_FALSE(ServerRunning());
}

TEST_F(AdbSimTest, KillServerStopsItAndTheNextCommandStartsAnother)
{
    AdbRun start;
    RunAdb(start, "start-server");
    EXPECT_EQ(start.strOutput, DaemonLines());
    ASSERT_TRUE(ServerRunning());

    AdbRun kill;
    RunAdb(kill, "kill-server");
    EXPECT_TRUE(Answered(kill, 0u, ""));
    EXPECT_FALSE(ServerRunning());
    // Its hold on the first run's pipe went with it.
    EXPECT_TRUE(WaitForPipeEnd(start.hOutput, 5000));

    AdbRun again;
    RunAdb(again, "get-serialno");
    EXPECT_EQ(again.strOutput, DaemonLines() + "emulator-5554\r\n");
}

TEST_F(AdbSimTest, DaemonEndsByItselfWhenIdle)
{
    AdbRun start;
    RunAdb(start, "start-server", std::string(), "300");
    ASSERT_TRUE(start.bEnded);
    ASSERT_EQ(start.strOutput, DaemonLines());
    EXPECT_TRUE(WaitUntil(ServerGone, 10000));
    EXPECT_TRUE(WaitForPipeEnd(start.hOutput, 5000));
}

// Under Wine a child whose parent is terminated while the child starts can
// hang for ever, holding the pipes it inherited. Clients are killed here at
// many points of their start, most of them while they start the server;
// afterwards, with the server stopped, every pipe must come to its end.
TEST_F(AdbSimTest, ClientKilledWhileStartingServerLeavesNothingHoldingThePipe)
{
    std::vector<std::unique_ptr<AdbRun>> runs;
    for (DWORD nKillAfterMs = 10; nKillAfterMs <= 130; nKillAfterMs += 5)
    {
        runs.emplace_back(new AdbRun);
        RunAdb(*runs.back(), "get-state", std::string(), "4000", nKillAfterMs);
        ASSERT_TRUE(runs.back()->bStarted);
    }
    StopServer();
    size_t nHeld = 0;
    for (const auto& pRun : runs)
        if (!WaitForPipeEnd(pRun->hOutput, 3000))
            ++nHeld;
    EXPECT_EQ(nHeld, 0u);
}

TEST_F(AdbSimTest, UnknownCommandFailsWithTextAndStartsNoServer)
{
    AdbRun run;
    RunAdb(run, "frobnicate --now");
    EXPECT_TRUE(Answered(run, 1u, "adb: unknown command frobnicate\r\n"));
    EXPECT_FALSE(ServerRunning());
}

TEST_F(AdbSimTest, ShellUnknownCommandGivesNotFoundAnd127)
{
    AdbRun run;
    RunAdb(run, "shell nosuchtool -x");
    EXPECT_TRUE(Answered(run, 127u, DaemonLines() + "/system/bin/sh: nosuchtool: inaccessible or not found\n"));
}

TEST_F(AdbSimTest, ShellPackageManagerListsAndFindsPackages)
{
    AdbRun start;
    RunAdb(start, "start-server");

    AdbRun list;
    RunAdb(list, "shell pm list packages android");
    EXPECT_EQ(list.nExitCode, 0u);
    EXPECT_NE(list.strOutput.find("package:com.android.settings\n"), std::string::npos);
    EXPECT_NE(list.strOutput.find("package:android\n"), std::string::npos);
    EXPECT_EQ(list.strOutput.find("com.example.kestrel"), std::string::npos);

    AdbRun path;
    RunAdb(path, "shell pm path com.android.settings");
    EXPECT_TRUE(Answered(path, 0u, "package:/system/priv-app/Settings/Settings.apk\n"));

    AdbRun missing;
    RunAdb(missing, "shell pm path com.nowhere");
    EXPECT_TRUE(Answered(missing, 1u, ""));
}

TEST_F(AdbSimTest, InteractiveShellAnswersDeviceNameInUtf8)
{
    AdbRun start;
    RunAdb(start, "start-server");

    AdbRun run;
    RunAdb(run, "shell ", "getprop persist.sys.device_name\r\nexit\r\n");
    EXPECT_TRUE(Answered(run, 0u, std::string(kPrompt) + "Caf\xC3\xA9 \xC3\x91" "and\xC3\xBA\r\n" + kPrompt));
}

TEST_F(AdbSimTest, InteractiveShellShowsFailedStatusAndEndsAtEndOfInput)
{
    AdbRun start;
    RunAdb(start, "start-server");

    AdbRun run;
    RunAdb(run, "shell", "ls /nowhere\nls\n");
    ASSERT_TRUE(run.bEnded);
    EXPECT_EQ(run.nExitCode, 0u);
    const std::string& str = run.strOutput;
    EXPECT_EQ(str.compare(0, strlen(kPrompt), kPrompt), 0);
    EXPECT_NE(str.find("ls: /nowhere: No such file or directory\r\n1|emulator64_x86_64:/ $ "), std::string::npos);
    EXPECT_NE(str.find("M\xC3\xBAsica\r\n"), std::string::npos);
    // The status shown is the last command's: ls succeeded, so no "1|".
    std::string strTail = std::string("\r\n") + kPrompt;
    ASSERT_GE(str.size(), strTail.size());
    EXPECT_EQ(str.substr(str.size() - strTail.size()), strTail);
}

// Several devices, from the imitation's sample set or a device file.
class AdbSimDevices : public AdbSimTest
{
protected:
    void SetUp() override
    {
        AdbSimTest::SetUp();
        SetEnvironmentVariableA("ADBSIM_DEVICES", "sample");
    }
    void TearDown() override
    {
        AdbSimTest::TearDown();
        SetEnvironmentVariableA("ADBSIM_DEVICES", nullptr);
    }
};

TEST_F(AdbSimDevices, ListsThreeDevicesInAdbsLongForm)
{
    AdbRun run;
    RunAdb(run, "devices -l");
    EXPECT_TRUE(Answered(run, 0u, DaemonLines() +
                                 "List of devices attached\r\n"
                                 "emulator-5554          device product:sdk_gphone64_x86_64 "
                                 "model:sdk_gphone64_x86_64 device:emulator64_x86_64 transport_id:1\r\n"
                                 "9B0AY1F2K              device usb:1-2 product:oriole model:Pixel_6 device:oriole "
                                 "transport_id:2\r\n"
                                 "R58M123ABC             unauthorized usb:1-1 transport_id:3\r\n\r\n"));
}

TEST_F(AdbSimDevices, RoutesBySerialAndIdAndRefusesWithoutOne)
{
    AdbRun none;
    RunAdb(none, "shell getprop ro.product.model");
    EXPECT_TRUE(Answered(none, 1u, DaemonLines() + "error: more than one device/emulator\r\n"));
    AdbRun bySerial;
    RunAdb(bySerial, "-s 9B0AY1F2K shell getprop ro.product.model");
    EXPECT_TRUE(Answered(bySerial, 0u, "Pixel_6\n"));
    AdbRun byId;
    RunAdb(byId, "-t 1 get-serialno");
    EXPECT_TRUE(Answered(byId, 0u, "emulator-5554\r\n"));
    AdbRun prompt;
    RunAdb(prompt, "-s 9B0AY1F2K shell", "exit\n");
    EXPECT_TRUE(Answered(prompt, 0u, "oriole:/ $ "));
    AdbRun locked;
    RunAdb(locked, "-s R58M123ABC shell true");
    EXPECT_EQ(locked.nExitCode, 1u);
    EXPECT_EQ(locked.strOutput.compare(0, 27, "error: device unauthorized."), 0) << locked.strOutput;
    AdbRun missing;
    RunAdb(missing, "-s nope get-state");
    EXPECT_TRUE(Answered(missing, 1u, "error: device 'nope' not found\r\n"));
}

TEST_F(AdbSimDevices, TrackDevicesWritesTheLengthThenTheList)
{
    AdbRun run;
    RunAdb(run, "track-devices", std::string(), "4000", 3000);
    std::string strList = "emulator-5554\tdevice\n9B0AY1F2K\tdevice\nR58M123ABC\tunauthorized\n";
    char szLength[8];
    snprintf(szLength, sizeof(szLength), "%04x", unsigned(strList.size()));
    EXPECT_EQ(run.strOutput, DaemonLines() + szLength + strList) << "one list, and nothing more while nothing changes";
    EXPECT_FALSE(run.bEnded) << "it runs until it is ended";
}

TEST_F(AdbSimDevices, PushAndInstallWriteProgressLinesThenTheSummary)
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    std::string strApk = std::string(szTemp) + "kbtest-app.apk";
    HANDLE h = CreateFileA(strApk.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(h, "PK\x03\x04 not really", 16, &n, NULL);
    CloseHandle(h);

    AdbRun install;
    RunAdb(install, "-s 9B0AY1F2K install \"" + strApk + "\"");
    EXPECT_EQ(install.nExitCode, 0u);
    EXPECT_NE(install.strOutput.find("[  0%] kbtest-app.apk\r[ 25%]"), std::string::npos) << install.strOutput;
    EXPECT_NE(install.strOutput.find("[100%] kbtest-app.apk\rPerforming Streamed Install\r\nSuccess\r\n"),
              std::string::npos)
        << install.strOutput;

    AdbRun push;
    RunAdb(push, "-t 1 push \"" + strApk + "\" /sdcard/");
    EXPECT_EQ(push.nExitCode, 0u);
    EXPECT_NE(push.strOutput.find("[100%] /sdcard/kbtest-app.apk\r"), std::string::npos) << push.strOutput;
    EXPECT_NE(push.strOutput.find(": 1 file pushed, 0 skipped. "), std::string::npos) << push.strOutput;
    EXPECT_NE(push.strOutput.find("(16 bytes in "), std::string::npos) << push.strOutput;
    DeleteFileA(strApk.c_str());

    AdbRun gone;
    RunAdb(gone, "-e install nowhere.apk");
    EXPECT_TRUE(Answered(gone, 1u, "adb: failed to stat nowhere.apk: No such file or directory\r\n"));
}

TEST_F(AdbSimTest, ServerStaysUpWithoutAnIdleTimeUntilKillServer)
{
    AdbRun start;
    RunAdb(start, "start-server", std::string(), "");
    ASSERT_TRUE(start.bEnded);
    // Far longer than the idle time the other tests give it.
    EXPECT_FALSE(WaitUntil(ServerGone, kQuietMs));
    AdbRun kill;
    RunAdb(kill, "kill-server");
    EXPECT_TRUE(Answered(kill, 0u, ""));
    EXPECT_FALSE(ServerRunning());
}
