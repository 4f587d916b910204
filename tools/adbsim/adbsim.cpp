// A stand-in for the adb command-line tool: the same commands, texts and
// exit codes for a simulated emulator, a background server that behaves like
// adb's, and --sim- switches that produce awkward output on demand.

#include "AdbServer.h"
#include "DeviceShell.h"
#include "Flood.h"
#include "Logcat.h"
#include "Numbers.h"
#include "SimDevice.h"
#include "SimDeviceTable.h"
#include "SimTrack.h"
#include "SimTransfer.h"
#include "SelfSpawn.h"
#include "SimScript.h"
#include "StdIo.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Args;

const unsigned kDefaultPort = 5037;
const unsigned kDumpLines = 40;

const char* const kHelpText =
    "\r\n"
    "global options:\r\n"
    " -d         use USB device (error if multiple devices connected)\r\n"
    " -e         use TCP/IP device (error if multiple TCP/IP devices available)\r\n"
    " -s SERIAL  use device with given serial (overrides $ANDROID_SERIAL)\r\n"
    " -t ID      use device with given transport id\r\n"
    " -P         port of adb server [default=5037]\r\n"
    "\r\n"
    "general commands:\r\n"
    " devices [-l]             list connected devices (-l for long output)\r\n"
    " help                     show this help message\r\n"
    " version                  show version num\r\n"
    "\r\n"
    "shell:\r\n"
    " shell [COMMAND...]       run remote shell command (interactive shell if no command)\r\n"
    "\r\n"
    "debugging:\r\n"
    " logcat                   show device log (logcat -d dumps it and ends)\r\n"
    "\r\n"
    "scripting:\r\n"
    " wait-for-device          wait for device to be in the \"device\" state\r\n"
    " get-state                print offline | bootloader | device\r\n"
    " get-serialno             print <serial-number>\r\n"
    "\r\n"
    "internal debugging:\r\n"
    " start-server             ensure that there is a server running\r\n"
    " kill-server              kill the server if it is running\r\n";

// Options that come before the command word.
struct GlobalOptions
{
    unsigned nPort = kDefaultPort;
    std::string strSerial;
    std::string strTransportId;
    bool bUsb = false;
    bool bEmulator = false;
};

bool ParsePort(const std::string& strValue, unsigned& nPort)
{
    uint64_t n = 0;
    if (!ParseUnsigned(strValue, 65534, n) || n == 0)
    {
        WriteErrLine("adb: $ANDROID_ADB_SERVER_PORT must be a positive number less than 65535: got \"" + strValue +
                     "\"");
        return false;
    }
    nPort = static_cast<unsigned>(n);
    return true;
}

void PrintVersion()
{
    // adb writes its path, as all its text, in UTF-8.
    std::wstring strPath = GetSelfPathW();
    int n = WideCharToMultiByte(CP_UTF8, 0, strPath.c_str(), int(strPath.size()), nullptr, 0, nullptr, nullptr);
    std::string strUtf8(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, strPath.c_str(), int(strPath.size()), &strUtf8[0], n, nullptr, nullptr);
    WriteOutLine("Android Debug Bridge version 1.0.41\r\nVersion 29.0.6-adbsim\r\nInstalled as " + strUtf8);
}

// The checks a real server makes before it hands a command to a device;
// the device found is the one the command talks to.
bool SelectDevice(const GlobalOptions& opts)
{
    CSimDeviceTable table;
    table.Load();
    const SimDeviceInfo* pDevice = table.Select(opts.strSerial, opts.strTransportId, opts.bUsb, opts.bEmulator);
    if (pDevice == nullptr)
        return false;
    SimDevice::SetCurrent(*pDevice);
    return true;
}

int Devices(CAdbServer& server, const Args& args)
{
    bool bLong = false;
    for (size_t i = 1; i < args.size(); ++i)
    {
        if (args[i] != "-l")
        {
            WriteErrLine("adb: usage: adb devices [-l]");
            return 1;
        }
        bLong = true;
    }
    if (!server.Connect())
        return 1;
    CSimDeviceTable table;
    table.Load();
    // The server's lines end in LF; the client writes them as text.
    std::string strList = table.Listing(bLong), strLines;
    for (char c : strList)
        strLines += c == '\n' ? std::string("\r\n") : std::string(1, c);
    WriteOut("List of devices attached\r\n" + strLines + "\r\n");
    return 0;
}

int Shell(CAdbServer& server, const GlobalOptions& opts, const Args& args)
{
    size_t nFirst = 1;
    // adb's own shell options say how to talk to the device; the simulated
    // device answers the same either way.
    while (nFirst < args.size() &&
           (args[nFirst] == "-T" || args[nFirst] == "-t" || args[nFirst] == "-tt" || args[nFirst] == "-x" ||
            args[nFirst] == "-n"))
        ++nFirst;
    if (!server.Connect() || !SelectDevice(opts))
        return 1;
    if (nFirst >= args.size())
    {
        CDeviceShell shell(true);
        return shell.RunInteractive(&server);
    }
    // Like adb, send the words joined by blanks; the device's shell splits
    // them again.
    std::string strLine;
    for (size_t i = nFirst; i < args.size(); ++i)
    {
        if (i > nFirst)
            strLine += ' ';
        strLine += args[i];
    }
    CDeviceShell shell(false);
    return shell.Run(strLine);
}

int Logcat(CAdbServer& server, const GlobalOptions& opts, const Args& args)
{
    if (!server.Connect() || !SelectDevice(opts))
        return 1;
    bool bDump = false;
    for (size_t i = 1; i < args.size(); ++i)
    {
        if (args[i] == "-c")
            return 0;
        if (args[i] == "-d")
            bDump = true;
    }
    CLogcatFeed feed;
    return bDump ? feed.RunDump(kDumpLines) : feed.RunEndless(&server);
}

int KillServer(CAdbServer& server, unsigned nPort)
{
    switch (server.Kill())
    {
    case CAdbServer::KillStopped:
        return 0;
    case CAdbServer::KillNotRunning:
        WriteErrLine("cannot connect to daemon at tcp:" + std::to_string(nPort) + ": Connection refused");
        return 0;
    case CAdbServer::KillFailed:
        break;
    }
    WriteErrLine("error: the server at tcp:" + std::to_string(nPort) + " did not stop");
    return 1;
}

int ForkServer(CAdbServer& server, const Args& args)
{
    HANDLE hReply = NULL;
    if (args.size() == 4 && args[2] == "--reply-event")
    {
        hReply = ParseReplyEvent(args[3]);
        if (hReply == NULL)
            return 1;
    }
    else if (args.size() != 2)
    {
        WriteErrLine("adb: usage: adb fork-server server [--reply-event HANDLE]");
        return 1;
    }
    return server.RunDaemon(hReply);
}

int RunSimSwitches(const Args& args)
{
    if (args[0] == "--sim-flood")
        return RunFlood(args);
    if (args.size() == 4 && args[0] == "--sim-holder-child" && args[2] == "--reply-event")
    {
        uint64_t nMs = 0;
        HANDLE hReply = ParseReplyEvent(args[3]);
        if (!ParseUnsigned(args[1], 86400000ull, nMs) || hReply == NULL)
            return CSimScript::kUsageError;
        return CSimScript::RunHolder(static_cast<uint32_t>(nMs), hReply);
    }
    CSimScript script;
    std::string strError;
    if (!script.Parse(args, strError))
    {
        WriteErrLine("adbsim: " + strError);
        return CSimScript::kUsageError;
    }
    return script.Run();
}

int RunAdb(const Args& argsIn)
{
    GlobalOptions opts;
    std::string strEnvPort = GetEnv("ANDROID_ADB_SERVER_PORT");
    if (!strEnvPort.empty() && !ParsePort(strEnvPort, opts.nPort))
        return 1;
    opts.strSerial = GetEnv("ANDROID_SERIAL");

    size_t i = 0;
    for (; i < argsIn.size(); ++i)
    {
        const std::string& strArg = argsIn[i];
        bool bHasValue = i + 1 < argsIn.size();
        if (strArg == "-d")
            opts.bUsb = true;
        else if (strArg == "-e")
            opts.bEmulator = true;
        else if (strArg == "-a")
            continue;
        else if ((strArg == "-s" || strArg == "-t" || strArg == "-P" || strArg == "-H" || strArg == "-L"))
        {
            if (!bHasValue)
            {
                WriteErrLine("adb: " + strArg + " requires an argument");
                return 1;
            }
            const std::string& strValue = argsIn[++i];
            if (strArg == "-s")
                opts.strSerial = strValue;
            else if (strArg == "-t")
                opts.strTransportId = strValue;
            else if (strArg == "-P" && !ParsePort(strValue, opts.nPort))
                return 1;
        }
        else
            break;
    }
    Args args(argsIn.begin() + static_cast<std::ptrdiff_t>(i), argsIn.end());
    // Test switches also behind a device named as Kestrelbox names it.
    if (!args.empty() && args[0].compare(0, 6, "--sim-") == 0)
        return RunSimSwitches(args);

    if (args.empty())
    {
        PrintVersion();
        WriteOut(kHelpText);
        return 1;
    }

    CAdbServer server(opts.nPort);
    const std::string& strCmd = args[0];
    if (strCmd == "version" || strCmd == "--version")
    {
        PrintVersion();
        return 0;
    }
    if (strCmd == "help")
    {
        PrintVersion();
        WriteOut(kHelpText);
        return 0;
    }
    if (strCmd == "devices")
        return Devices(server, args);
    if (strCmd == "shell")
        return Shell(server, opts, args);
    if (strCmd == "logcat")
        return Logcat(server, opts, args);
    if (strCmd == "start-server")
        return server.Connect() ? 0 : 1;
    if (strCmd == "kill-server")
        return KillServer(server, opts.nPort);
    if (strCmd == "get-state" || strCmd == "get-serialno" || strCmd == "wait-for-device")
    {
        if (!server.Connect() || !SelectDevice(opts))
            return 1;
        if (strCmd == "get-state")
            WriteOutLine("device");
        else if (strCmd == "get-serialno")
            WriteOutLine(SimDevice::Current().strSerial);
        return 0;
    }
    if (strCmd == "track-devices")
        return TrackDevices(server, args.size() > 1 && args[1] == "-l");
    if (strCmd == "push" || strCmd == "pull" || strCmd == "install")
    {
        if (!server.Connect() || !SelectDevice(opts))
            return 1;
        return strCmd == "push" ? PushFiles(args) : strCmd == "pull" ? PullFile(args) : InstallPackage(args);
    }
    if (strCmd == "fork-server" && args.size() >= 2 && args[1] == "server")
        return ForkServer(server, args);
    WriteErrLine("adb: unknown command " + strCmd);
    return 1;
}

} // namespace

namespace {

std::string Utf8Of(const wchar_t* psz)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, psz, -1, nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 1 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, psz, -1, &s[0], n, nullptr, nullptr);
    return s;
}

// With ADBSIM_COMMAND_LOG naming a file, each run adds its whole command
// line to it in UTF-8, as the device would get it: a test sees exactly the
// letters a program passed.
void LogCommandLine()
{
    wchar_t szFile[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"ADBSIM_COMMAND_LOG", szFile, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    HANDLE h = CreateFileW(szFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::string strLine = Utf8Of(GetCommandLineW()) + "\r\n";
    DWORD dwWritten = 0;
    WriteFile(h, strLine.data(), DWORD(strLine.size()), &dwWritten, nullptr);
    CloseHandle(h);
}

} // namespace

// adb takes its command line as UTF-16 and sends the words to the device
// as UTF-8; so do these: every letter a program passes arrives, whatever
// the ANSI code page has.
int wmain(int argc, wchar_t** argv)
{
    LogCommandLine();
    Args args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Utf8Of(argv[i]));
    if (!args.empty() && args[0].compare(0, 6, "--sim-") == 0)
        return RunSimSwitches(args);
    return RunAdb(args);
}
