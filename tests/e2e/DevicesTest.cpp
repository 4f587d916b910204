// Several devices: the list in the strip, kept current by adb's own
// tracking, the chosen device on every command and on the shell, and the
// lamp that tells a device that is gone. A program of its own, with the adb
// imitation's device file and a server port of its own, so that plugging
// and killing the server touch no other test.
#include <gtest/gtest.h>

#include <iostream>

#include "../support/AdbSim.h"
#include "E2eTest.h"
#include "UserInput.h"

namespace {

const char kEmulator[] =
    "emulator-5554\tdevice product:sdk_gphone64_x86_64 model:sdk_gphone64_x86_64 device:emulator64_x86_64\n";
const char kPixel[] = "9B0AY1F2K\tdevice usb:1-2 product:oriole model:Pixel_6 device:oriole\n";

bool EndsWith(const std::string& s, const std::string& strEnd)
{
    return s.size() >= strEnd.size() && s.compare(s.size() - strEnd.size(), strEnd.size(), strEnd) == 0;
}

struct TipFind {
    DWORD dwPid;
    HWND hMain;
    HWND hFound;
};

BOOL CALLBACK FindTipProc(HWND hWnd, LPARAM lParam)
{
    TipFind* p = reinterpret_cast<TipFind*>(lParam);
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    if (dwPid == p->dwPid && hWnd != p->hMain && ::IsWindowVisible(hWnd)) {
        p->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

class Devices : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char szTemp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, szTemp);
        s_strFolder = std::string(szTemp) + "kbdevices-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(s_strFolder.c_str(), nullptr);
        s_strFile = s_strFolder + "\\devices.txt";
        s_strPort = std::to_string(30000 + ::GetCurrentProcessId() % 20000);
        WriteDevices(std::string(kEmulator) + kPixel);
        s_pKb = new CKestrelboxSession;
        s_pKb->SetEnvironment({ { "ADBSIM_DEVICES", s_strFile }, { "ANDROID_ADB_SERVER_PORT", s_strPort } });
        std::string strError;
        s_bStarted = s_pKb->Start(strError);
        s_strStartError = strError;
    }

    static void TearDownTestSuite()
    {
        if (s_pKb && s_pKb->IsRunning()) {
            // The server ends with kill-server; the program is closed.
            s_pKb->BringToFront();
            s_pKb->EnterLine("kill-server");
            WaitUntil([] { return !ServerRunning(); }, 10000);
            ::PostMessageA(s_pKb->MainWnd(), WM_CLOSE, 0, 0);
            s_pKb->WaitExit(10000);
        }
        delete s_pKb;
        s_pKb = nullptr;
        ::DeleteFileA(s_strFile.c_str());
        ::RemoveDirectoryA(s_strFolder.c_str());
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_bStarted) << s_strStartError;
        ASSERT_TRUE(Kb().IsRunning());
        ASSERT_TRUE(Kb().BringToFront());
        Kb().Press(VK_F4);
    }

    CKestrelboxSession& Kb() { return *s_pKb; }

    // Replaces the device file in one step, as plugging in does.
    static void WriteDevices(const std::string& strText)
    {
        std::string strNew = s_strFile + ".new";
        HANDLE h = ::CreateFileA(strNew.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        ::WriteFile(h, strText.data(), DWORD(strText.size()), &n, nullptr);
        ::CloseHandle(h);
        // The imitation may be reading the old file at this moment.
        ASSERT_TRUE(WaitUntil([&] { return ::MoveFileExA(strNew.c_str(), s_strFile.c_str(), MOVEFILE_REPLACE_EXISTING); },
                              5000));
    }

    static bool ServerRunning()
    {
        HANDLE h = ::OpenEventA(SYNCHRONIZE, FALSE, ("Local\\adbsim-server-" + s_strPort).c_str());
        if (!h)
            return false;
        ::CloseHandle(h);
        return true;
    }

    HWND DeviceBox() { return ::GetDlgItem(Kb().PanelWnd(), 23); }
    bool Dropped() { return ::SendMessageA(DeviceBox(), CB_GETDROPPEDSTATE, 0, 0) != 0; }

    // Ctrl+D, then the keys: the list's first entry is "no choice".
    ::testing::AssertionResult Choose(int nEntry)
    {
        Kb().Chord({ VK_CONTROL }, 'D');
        if (!WaitUntil([&] { return Dropped(); }, 5000))
            return ::testing::AssertionFailure() << "Ctrl+D did not open the device list";
        Kb().Press(VK_HOME);
        for (int i = 0; i < nEntry; ++i)
            Kb().Press(VK_DOWN);
        Kb().Press(VK_RETURN);
        if (!WaitUntil([&] { return !Dropped() && ::GetFocus() != DeviceBox(); }, 5000))
            return ::testing::AssertionFailure() << "the list did not close";
        return ::testing::AssertionSuccess();
    }

    // Clears the screen, runs a line and waits for its exit line and for the
    // lamp to leave red.
    ::testing::AssertionResult Run(const char* pszLine, ScreenLines& lines)
    {
        Kb().Press(VK_F4);
        Kb().EnterLine(pszLine);
        if (!Kb().WaitForScreen([&](const ScreenLines& l) { return CountExitLines(l) >= 1; }, lines))
            return ::testing::AssertionFailure() << "no exit line after '" << pszLine << "':\n" << Describe(lines);
        if (!WaitUntil([&] { return Kb().Lamp() != LampColour::Red; }, 10000))
            return ::testing::AssertionFailure() << "the lamp stayed red after '" << pszLine << "'";
        return ::testing::AssertionSuccess();
    }

    static CKestrelboxSession* s_pKb;
    static bool s_bStarted;
    static std::string s_strStartError;
    static std::string s_strFolder;
    static std::string s_strFile;
    static std::string s_strPort;
};

CKestrelboxSession* Devices::s_pKb = nullptr;
bool Devices::s_bStarted = false;
std::string Devices::s_strStartError;
std::string Devices::s_strFolder;
std::string Devices::s_strFile;
std::string Devices::s_strPort;

TEST_F(Devices, CtrlDChoosesTheSecondDeviceForCommandsAndTheShell)
{
    // Two devices: the list shows itself, with "no choice" and both.
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(DeviceBox()) != FALSE; }, 10000));
    EXPECT_EQ(::SendMessageA(DeviceBox(), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(Kb().Lamp(), LampColour::Green);

    Kb().Chord({ VK_CONTROL }, 'D');
    ASSERT_TRUE(WaitUntil([&] { return Dropped(); }, 5000));
    CKestrelboxSession::Screenshot("devices-open-list");
    Kb().Press(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !Dropped(); }, 5000));
    EXPECT_EQ(::SendMessageA(DeviceBox(), CB_GETCURSEL, 0, 0), 0) << "Esc leaves the choice as it was";

    ASSERT_TRUE(Choose(2));
    EXPECT_EQ(::SendMessageA(DeviceBox(), CB_GETCURSEL, 0, 0), 2);
    EXPECT_TRUE(CKestrelboxSession::WaitForeground(Kb().MainWnd()));

    ScreenLines lines;
    ASSERT_TRUE(Run("shell getprop ro.product.model", lines));
    int nEcho = FindLine(lines, ">adb -s 9B0AY1F2K shell getprop ro.product.model");
    ASSERT_GE(nEcho, 0) << Describe(lines);
    EXPECT_GE(FindLine(lines, "Pixel_6", nEcho), 0) << Describe(lines);

    // The interactive shell opens on it too.
    Kb().Press(VK_F4);
    Kb().EnterLine("shell");
    ASSERT_TRUE(Kb().WaitForScreen([](const ScreenLines& l) { return EndsWith(LastTextLine(l), "oriole:/ $ "); },
                                   lines))
        << Describe(lines);
    Kb().EnterLine("exit");
    ASSERT_TRUE(Kb().WaitForScreen([](const ScreenLines& l) { return CountExitLines(l) >= 1; }, lines));
}

TEST_F(Devices, UnpluggedChoiceTurnsTheLampYellowWithWordsAndBackGreen)
{
    if (::SendMessageA(DeviceBox(), CB_GETCURSEL, 0, 0) != 2) {
        ASSERT_TRUE(Choose(2));
    }
    ASSERT_TRUE(WaitUntil([&] { return Kb().Lamp() == LampColour::Green; }, 5000));

    DWORD dwStart = ::GetTickCount();
    WriteDevices(kEmulator);
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Yellow, 3000));
    DWORD dwYellow = ::GetTickCount() - dwStart;
    std::cout << "[ figure   ] unplugged to yellow lamp: " << dwYellow << " ms" << std::endl;
    EXPECT_LE(dwYellow, 1500u);
    // Still chosen, shown as gone.
    EXPECT_EQ(::SendMessageA(DeviceBox(), CB_GETCURSEL, 0, 0), 2);

    RECT rc;
    ::GetWindowRect(Kb().LampWnd(), &rc);
    POINT pt = { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 };
    UserInput::MoveMouse(pt);
    TipFind find = { Kb().ProcessId(), Kb().MainWnd(), nullptr };
    ASSERT_TRUE(WaitUntil([&] {
        find.hFound = nullptr;
        ::EnumWindows(FindTipProc, LPARAM(&find));
        return find.hFound != nullptr;
    }, 5000));
    std::string strTip = CKestrelboxSession::ControlText(find.hFound);
    EXPECT_EQ(strTip.compare(0, 25, "9B0AY1F2K: not attached \x97"), 0) << strTip;
    CKestrelboxSession::Screenshot("devices-yellow-lamp-tip");

    dwStart = ::GetTickCount();
    WriteDevices(std::string(kEmulator) + kPixel);
    ASSERT_TRUE(Kb().WaitLamp(LampColour::Green, 3000));
    std::cout << "[ figure   ] plugged back to green lamp: " << ::GetTickCount() - dwStart << " ms" << std::endl;
    pt.y -= 200;
    UserInput::MoveMouse(pt);
}

TEST_F(Devices, AfterKillServerTrackingWaitsForTheNextCommand)
{
    ScreenLines lines;
    ASSERT_TRUE(Run("kill-server", lines));
    // The tracker ends with the server and starts nothing by itself.
    ASSERT_TRUE(WaitUntil([&] {
        std::vector<HANDLE> children = Kb().OpenLiveChildren();
        for (HANDLE h : children)
            ::CloseHandle(h);
        return children.empty();
    }, 10000));
    EXPECT_FALSE(ServerRunning());

    // The next command finds no server: nothing started one meanwhile.
    ASSERT_TRUE(Run("devices", lines));
    EXPECT_GE(FindLineStarting(lines, "* daemon not running"), 0) << Describe(lines);

    // After it, tracking runs again: a device that goes shows at once.
    ASSERT_TRUE(WaitUntil([&] {
        std::vector<HANDLE> children = Kb().OpenLiveChildren();
        for (HANDLE h : children)
            ::CloseHandle(h);
        return children.size() == 1;
    }, 10000));
    WriteDevices(kEmulator);
    EXPECT_TRUE(Kb().WaitLamp(LampColour::Yellow, 3000));
    WriteDevices(std::string(kEmulator) + kPixel);
    EXPECT_TRUE(Kb().WaitLamp(LampColour::Green, 3000));
}
