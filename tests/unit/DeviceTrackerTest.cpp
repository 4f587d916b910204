// The tracker's child and thread with the adb imitation: lists as they
// change, a prompt stop, and the end of tracking when the server goes.
#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "process/DeviceTracker.h"
#include "support/AdbSim.h"
#include "support/Wait.h"

namespace {

class CListRecorder : public IDeviceListEvents {
public:
    void OnDeviceList(const CDeviceList& list) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_lists.push_back(list);
    }
    void OnTrackingEnd() override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_nEnds;
    }
    size_t Lists()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_lists.size();
    }
    CDeviceList Last()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_lists.empty() ? CDeviceList() : m_lists.back();
    }
    int Ends()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_nEnds;
    }

private:
    std::mutex m_lock;
    std::vector<CDeviceList> m_lists;
    int m_nEnds = 0;
};

class DeviceTracker : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, szTemp);
        m_strFile = std::string(szTemp) + "kbtracker-" + std::to_string(::GetCurrentProcessId()) + ".txt";
        m_strPort = std::to_string(25000 + ::GetCurrentProcessId() % 5000);
        WriteDevices("emulator-5554\tdevice model:sdk\n");
        ::SetEnvironmentVariableA("ADBSIM_DEVICES", m_strFile.c_str());
        ::SetEnvironmentVariableA("ANDROID_ADB_SERVER_PORT", m_strPort.c_str());
        m_strCommand = AdbSimCommand("track-devices -l");
    }
    void TearDown() override
    {
        RunKillServer();
        ::SetEnvironmentVariableA("ADBSIM_DEVICES", nullptr);
        ::SetEnvironmentVariableA("ANDROID_ADB_SERVER_PORT", nullptr);
        ::DeleteFileA(m_strFile.c_str());
    }

    void WriteDevices(const std::string& strText)
    {
        std::string strNew = m_strFile + ".new";
        HANDLE h = ::CreateFileA(strNew.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        ::WriteFile(h, strText.data(), DWORD(strText.size()), &n, nullptr);
        ::CloseHandle(h);
        ASSERT_TRUE(WaitUntil([&] { return ::MoveFileExA(strNew.c_str(), m_strFile.c_str(), MOVEFILE_REPLACE_EXISTING); },
                              5000));
    }

    void RunKillServer()
    {
        std::string cmd = AdbSimCommand("kill-server");
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
            ::WaitForSingleObject(pi.hProcess, 15000);
            ::CloseHandle(pi.hProcess);
            ::CloseHandle(pi.hThread);
        }
    }

    std::string m_strFile;
    std::string m_strPort;
    std::string m_strCommand;
};

} // namespace

TEST_F(DeviceTracker, HandsOverEachNewListAndStopsAtOnce)
{
    CListRecorder rec;
    CDeviceTracker tracker(&rec);
    ASSERT_TRUE(tracker.Start(m_strCommand.c_str()));
    EXPECT_NE(tracker.ChildId(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return rec.Lists() >= 1; }, 20000));
    ASSERT_EQ(rec.Last().size(), 1u);
    EXPECT_EQ(rec.Last()[0].m_strModel, "sdk");

    WriteDevices("emulator-5554\tdevice model:sdk\nR58M\tunauthorized usb:1-1\n");
    ASSERT_TRUE(WaitUntil([&] { return rec.Last().size() == 2; }, 5000));
    EXPECT_EQ(rec.Last()[1].m_strState, "unauthorized");

    HANDLE hChild = ::OpenProcess(SYNCHRONIZE, FALSE, tracker.ChildId());
    DWORD dwStart = ::GetTickCount();
    tracker.Stop();
    EXPECT_LT(::GetTickCount() - dwStart, CDeviceTracker::kStopWaitMs) << "the blocked read was woken";
    EXPECT_FALSE(tracker.IsStarted());
    if (hChild) {
        EXPECT_EQ(::WaitForSingleObject(hChild, 5000), WAIT_OBJECT_0) << "the child went with it";
        ::CloseHandle(hChild);
    }
    EXPECT_EQ(rec.Ends(), 0) << "a stop is no end of tracking";
    // adb's server, which the child started, is not the program's to end.
    HANDLE hServer = ::OpenEventA(SYNCHRONIZE, FALSE, ("Local\\adbsim-server-" + m_strPort).c_str());
    EXPECT_NE(hServer, nullptr);
    if (hServer)
        ::CloseHandle(hServer);
}

TEST_F(DeviceTracker, KillServerEndsTrackingAndAMissingProgramDoesNotStart)
{
    CListRecorder rec;
    CDeviceTracker tracker(&rec);
    ASSERT_TRUE(tracker.Start(m_strCommand.c_str()));
    ASSERT_TRUE(WaitUntil([&] { return rec.Lists() >= 1; }, 20000));
    RunKillServer();
    EXPECT_TRUE(WaitUntil([&] { return rec.Ends() == 1; }, 10000));
    tracker.Stop();

    CDeviceTracker missing(&rec);
    EXPECT_FALSE(missing.Start("kb-no-such-program-here track-devices -l"));
    EXPECT_FALSE(missing.IsStarted());
}
