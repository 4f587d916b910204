// The device list in the strip, the lamp and its tip on a real main window,
// fed as the tracker feeds it; and adb's "more than one device" answered by
// the open list.
#include <gtest/gtest.h>

#include <string>

#include "support/MainWndFixture.h"

namespace {

CDeviceEntry Device(const char* pszSerial, const char* pszState = "device", const char* pszId = "1")
{
    CDeviceEntry e;
    e.m_strSerial = pszSerial;
    e.m_strState = pszState;
    e.m_strTransportId = pszId;
    return e;
}

RECT ChildRect(HWND hChild)
{
    RECT rc;
    ::GetWindowRect(hChild, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hChild), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

class DeviceStrip : public MainWndFixture {
protected:
    HWND Box() { return main.m_panel.m_deviceBox.m_hWnd; }
    bool Dropped() { return main.m_panel.m_deviceBox.IsDropped(); }

    // As the tracker's thread reports a list; waits until the window took it.
    void Report(const CDeviceList& list)
    {
        main.OnDeviceList(list);
        EXPECT_TRUE(PumpKeysUntil([&] { return main.m_devices.IsTracked() && main.m_devices.List() == list; }));
    }
};

} // namespace

TEST_F(DeviceStrip, OneDeviceKeepsTheStripAsItWasTwoShowTheList)
{
    RECT rcBefore = ChildRect(Edit());
    Report({ Device("emulator-5554") });
    EXPECT_FALSE(::IsWindowVisible(Box()));
    RECT rcOne = ChildRect(Edit());
    EXPECT_EQ(rcOne.right, rcBefore.right);
    EXPECT_EQ(main.m_panel.m_lamp.CurrentLamp(), CLampWnd::LAMP_GREEN);

    Report({ Device("emulator-5554"), Device("R58M", "device", "2") });
    EXPECT_TRUE(::IsWindowVisible(Box()));
    RECT rcBox = ChildRect(Box());
    RECT rcTwo = ChildRect(Edit());
    EXPECT_LT(rcTwo.right, rcBox.left) << "the command line ends before the list";
    EXPECT_EQ(rcBox.top, rcTwo.top);
    EXPECT_EQ(::SendMessageW(Box(), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(::SendMessageW(Box(), CB_GETCURSEL, 0, 0), 0);
}

TEST_F(DeviceStrip, CtrlDDropsTheListEnterChoosesEscLeavesTheChoice)
{
    Report({ Device("emulator-5554"), Device("R58M", "device", "2") });
    Press('D', true);
    ASSERT_TRUE(PumpKeysUntil([&] { return Dropped(); }));
    EXPECT_EQ(::GetFocus(), Box());
    ::SendMessageW(Box(), WM_KEYDOWN, VK_DOWN, 0);
    ::SendMessageW(Box(), WM_KEYDOWN, VK_DOWN, 0);
    ::SendMessageW(Box(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpKeysUntil([&] { return !Dropped() && ::GetFocus() == Edit(); }));
    ASSERT_TRUE(main.m_devices.HasChoice());
    EXPECT_EQ(main.m_devices.Chosen().m_strSerial, "R58M");

    Press('D', true);
    ASSERT_TRUE(PumpKeysUntil([&] { return Dropped(); }));
    ::SendMessageW(Box(), WM_KEYDOWN, VK_UP, 0);
    ::SendMessageW(Box(), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(PumpKeysUntil([&] { return !Dropped() && ::GetFocus() == Edit(); }));
    EXPECT_EQ(main.m_devices.Chosen().m_strSerial, "R58M");
    EXPECT_EQ(::SendMessageW(Box(), CB_GETCURSEL, 0, 0), 2);

    // Every adb command and the echo carry it; dir does not.
    Type("get-serialno");
    EXPECT_TRUE(WaitForLine("\x03" "adb -s R58M get-serialno"));
    EXPECT_TRUE(WaitIdle());
}

TEST_F(DeviceStrip, LampTurnsYellowForAnUnreadyDeviceAndTheTipSaysWhy)
{
    Report({ Device("R58M123ABC", "unauthorized", "3") });
    EXPECT_EQ(main.m_panel.m_lamp.CurrentLamp(), CLampWnd::LAMP_YELLOW);
    COLORREF c = WindowPixel(main.m_panel.m_lamp.m_hWnd, 8, 8);
    EXPECT_GT(GetRValue(c), 150);
    EXPECT_GT(GetGValue(c), 150);
    EXPECT_LT(GetBValue(c), 110);
    EXPECT_EQ(main.m_panel.m_lamp.TipText(), L"R58M123ABC: unauthorized \x2014 allow USB debugging on the device");

    // A running command is red whatever the device, and the tip says so.
    Type("--sim-sleep 20000");
    ASSERT_TRUE(PumpKeysUntil([] { return g_bBusy.load(); }));
    EXPECT_EQ(main.m_panel.m_lamp.CurrentLamp(), CLampWnd::LAMP_RED);
    EXPECT_EQ(main.m_panel.m_lamp.TipText().compare(0, 20, L"A command is running"), 0);
    Press(VK_ESCAPE);
    ASSERT_TRUE(WaitIdle());

    Report({ Device("R58M123ABC", "device", "3") });
    EXPECT_EQ(main.m_panel.m_lamp.CurrentLamp(), CLampWnd::LAMP_GREEN);
    main.OnTrackingEnd();
    ASSERT_TRUE(PumpKeysUntil([&] { return !main.m_devices.IsTracked(); }));
    EXPECT_EQ(main.m_panel.m_lamp.CurrentLamp(), CLampWnd::LAMP_GREEN) << "nothing known: as before devices";
}

TEST_F(DeviceStrip, FlappingDeviceUpdatesAtMostTenTimesASecond)
{
    // A list every 5 ms for a second: the window takes news at most once
    // each kDeviceUpdateMs, and the newest list wins.
    CDeviceList last;
    int nBefore = main.m_nDeviceUpdates;
    DWORD dwStart = ::GetTickCount();
    int nSent = 0;
    for (; ::GetTickCount() - dwStart < 1000; ++nSent) {
        CDeviceList list;
        if (nSent % 2)
            list.push_back(Device("flappy", "device", std::to_string(nSent).c_str()));
        main.OnDeviceList(list);
        last = list;
        PumpUntil([] { return false; }, 5);
    }
    DWORD dwSpent = ::GetTickCount() - dwStart;
    EXPECT_TRUE(PumpKeysUntil([&] { return main.m_devices.List() == last; }));
    int nUpdates = main.m_nDeviceUpdates - nBefore;
    EXPECT_GT(nSent, 20);
    EXPECT_GE(nUpdates, 1);
    // One more for the last list, taken after the loop.
    EXPECT_LE(nUpdates, int(dwSpent / CMainWnd::kDeviceUpdateMs) + 2) << nSent << " lists in " << dwSpent << " ms";
}

TEST_F(DeviceStrip, MoreThanOneDeviceWithoutChoiceDropsTheListAfterTheRun)
{
    Report({ Device("emulator-5554"), Device("R58M", "device", "2") });
    Type("--sim-stderr \"error: more than one device/emulator\\r\\n\" --sim-exit 1");
    ASSERT_TRUE(WaitForLine(ExitLine(0, 1)));
    EXPECT_TRUE(PumpKeysUntil([&] { return Dropped(); }));
    ::SendMessageW(Box(), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(PumpKeysUntil([&] { return !Dropped(); }));

    // With a choice made, the words are the user's to read.
    main.ChooseDevice(1);
    Type("--sim-stderr \"error: more than one device/emulator\\r\\n\" --sim-exit 1");
    ASSERT_TRUE(WaitForLine(ExitLine(1, 1)));
    PumpKeysPending();
    EXPECT_FALSE(Dropped());
}
