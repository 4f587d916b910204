// The chosen device: what the list shows, the words every adb command gets,
// and what the lamp tells.
#include <gtest/gtest.h>

#include "commands/DeviceChoice.h"

namespace {

CDeviceEntry Device(const char* pszSerial, const char* pszState = "device", const char* pszId = "1",
                    const char* pszModel = "")
{
    CDeviceEntry e;
    e.m_strSerial = pszSerial;
    e.m_strState = pszState;
    e.m_strTransportId = pszId;
    e.m_strModel = pszModel;
    return e;
}

std::string Narrow(const std::wstring& w)
{
    std::string s;
    for (wchar_t c : w)
        s += c < 0x80 ? char(c) : '?';
    return s;
}

} // namespace

TEST(DeviceChoice, UntrackedIsUnknownAndNoChoiceAddsNothing)
{
    CDeviceChoice choice;
    EXPECT_EQ(choice.Readiness(), DeviceReadiness::Unknown);
    EXPECT_EQ(choice.DeviceArgs(CP_ACP), "");
    EXPECT_EQ(choice.ItemCount(), 1);
    EXPECT_EQ(choice.SelectedItem(), 0);
    EXPECT_FALSE(choice.ChooseItem(1));
    EXPECT_FALSE(choice.ChooseItem(-1));
    EXPECT_FALSE(choice.HasChoice());
}

TEST(DeviceChoice, ChosenDeviceGetsDashSQuotedWhenItHasBlanks)
{
    CDeviceChoice choice;
    choice.SetList({ Device("emulator-5554", "device", "1", "sdk"), Device("My Phone", "device", "2", "M_7") });
    EXPECT_EQ(Narrow(choice.ItemText(1)), "emulator-5554  sdk  (device)");
    ASSERT_TRUE(choice.ChooseItem(1));
    EXPECT_EQ(choice.DeviceArgs(CP_ACP), " -s emulator-5554");
    ASSERT_TRUE(choice.ChooseItem(2));
    EXPECT_EQ(choice.DeviceArgs(CP_ACP), " -s \"My Phone\"");
    EXPECT_EQ(choice.SelectedItem(), 2);
    ASSERT_TRUE(choice.ChooseItem(0));
    EXPECT_EQ(choice.DeviceArgs(CP_ACP), "");
}

TEST(DeviceChoice, SharedSerialOrLettersBeyondAsciiGoByTransportId)
{
    CDeviceChoice choice;
    choice.SetList({ Device("0123456789ABCDEF", "device", "5"), Device("0123456789ABCDEF", "device", "7"),
                     Device("t\xC3\xA9l\xC3\xA9phone", "device", "9"), Device("a\"b", "device", "") });
    ASSERT_TRUE(choice.ChooseItem(2));
    EXPECT_EQ(choice.DeviceArgs(CP_ACP), " -t 7");
    EXPECT_EQ(choice.SelectedItem(), 2) << "the second of the two, by its id";
    ASSERT_TRUE(choice.ChooseItem(3));
    EXPECT_EQ(choice.DeviceArgs(CP_ACP), " -t 9");
    // Without an id to fall back on, a quote cannot break the command line.
    ASSERT_TRUE(choice.ChooseItem(4));
    EXPECT_EQ(choice.DeviceArgs(CP_ACP), " -s a?b");
}

TEST(DeviceChoice, ChosenDeviceThatGoesStaysChosenAndComesBackWithANewId)
{
    CDeviceChoice choice;
    choice.SetList({ Device("emulator-5554"), Device("R58M", "device", "2", "SM") });
    ASSERT_TRUE(choice.ChooseItem(2));
    EXPECT_EQ(choice.Readiness(), DeviceReadiness::Ready);

    EXPECT_TRUE(choice.SetList({ Device("emulator-5554") }));
    EXPECT_TRUE(choice.HasChoice());
    EXPECT_EQ(choice.ChosenIndex(), -1);
    EXPECT_EQ(choice.ItemCount(), 3);
    EXPECT_EQ(choice.SelectedItem(), 2);
    EXPECT_EQ(Narrow(choice.ItemText(2)), "R58M  SM  (gone)");
    EXPECT_EQ(choice.Readiness(), DeviceReadiness::NotReady);
    EXPECT_EQ(Narrow(choice.StatusText()).compare(0, 20, "R58M: not attached ?"), 0);
    EXPECT_EQ(choice.DeviceArgs(CP_ACP), " -s R58M") << "commands still go to it";
    // Choosing the gone entry again changes nothing.
    EXPECT_TRUE(choice.ChooseItem(2));
    EXPECT_EQ(choice.Chosen().m_strSerial, "R58M");

    EXPECT_TRUE(choice.SetList({ Device("R58M", "device", "8", "SM"), Device("emulator-5554") }));
    EXPECT_EQ(choice.SelectedItem(), 1);
    EXPECT_EQ(choice.Chosen().m_strTransportId, "8");
    EXPECT_EQ(choice.Readiness(), DeviceReadiness::Ready);
    EXPECT_FALSE(choice.SetList({ Device("R58M", "device", "8", "SM"), Device("emulator-5554") }))
        << "the same list again changes nothing shown";
}

TEST(DeviceChoice, LampWithoutChoiceNeedsEveryDeviceReady)
{
    CDeviceChoice choice;
    choice.SetList({});
    EXPECT_EQ(choice.Readiness(), DeviceReadiness::NotReady);
    EXPECT_EQ(Narrow(choice.StatusText()).compare(0, 18, "No device attached"), 0);
    choice.SetList({ Device("emulator-5554"), Device("R58M", "unauthorized", "3") });
    EXPECT_EQ(choice.Readiness(), DeviceReadiness::NotReady);
    EXPECT_EQ(Narrow(choice.StatusText()), "R58M: unauthorized ? allow USB debugging on the device");
    ASSERT_TRUE(choice.ChooseItem(1));
    EXPECT_EQ(choice.Readiness(), DeviceReadiness::Ready) << "the chosen one alone counts";
    choice.SetList({ Device("emulator-5554", "offline") });
    EXPECT_EQ(choice.Readiness(), DeviceReadiness::NotReady);
    EXPECT_TRUE(choice.SetUntracked());
    EXPECT_EQ(choice.Readiness(), DeviceReadiness::Unknown);
    EXPECT_TRUE(choice.HasChoice()) << "the choice outlives the tracking";
}
