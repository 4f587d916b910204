// The reader of `adb track-devices -l`: lists split anywhere, several in one
// read, a stream that stops in the middle of one, and bytes that make no sense.
#include <gtest/gtest.h>

#include <string>

#include "process/DeviceListParser.h"

namespace {

const char kEmulatorLine[] = "emulator-5554          device product:sdk_gphone64_x86_64 model:sdk_gphone64_x86_64 "
                             "device:emu64xa transport_id:1\n";
const char kUnauthorizedLine[] = "R58M123ABC             unauthorized usb:1-1 transport_id:3\n";

// One list as adb frames it: four hex digits of the length, then the text.
std::string Frame(const std::string& strText)
{
    char sz[8];
    snprintf(sz, sizeof(sz), "%04x", unsigned(strText.size()));
    return sz + strText;
}

int FeedAll(CDeviceListParser& parser, const std::string& s)
{
    return parser.Feed(s.data(), s.size());
}

} // namespace

TEST(DeviceListParser, ReadsTheLongListingWithItsNames)
{
    CDeviceListParser parser;
    ASSERT_EQ(FeedAll(parser, Frame(std::string(kEmulatorLine) + kUnauthorizedLine)), 1);
    ASSERT_EQ(parser.List().size(), 2u);
    const CDeviceEntry& e = parser.List()[0];
    EXPECT_EQ(e.m_strSerial, "emulator-5554");
    EXPECT_EQ(e.m_strState, "device");
    EXPECT_EQ(e.m_strModel, "sdk_gphone64_x86_64");
    EXPECT_EQ(e.m_strProduct, "sdk_gphone64_x86_64");
    EXPECT_EQ(e.m_strDevice, "emu64xa");
    EXPECT_EQ(e.m_strTransportId, "1");
    EXPECT_TRUE(e.IsReady());
    const CDeviceEntry& u = parser.List()[1];
    EXPECT_EQ(u.m_strSerial, "R58M123ABC");
    EXPECT_EQ(u.m_strState, "unauthorized");
    EXPECT_EQ(u.m_strUsb, "1-1");
    EXPECT_EQ(u.m_strTransportId, "3");
    EXPECT_TRUE(u.m_strModel.empty());
    EXPECT_FALSE(u.IsReady());
    EXPECT_EQ(parser.Pending(), 0u);
}

TEST(DeviceListParser, ListSplitAtEveryByteArrivesOnceWhole)
{
    std::string s = Frame(kEmulatorLine) + Frame(kUnauthorizedLine);
    CDeviceListParser parser;
    int nLists = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        nLists += parser.Feed(&s[i], 1);
        // The first list is there exactly when its last byte has come.
        EXPECT_EQ(nLists, i + 1 < Frame(kEmulatorLine).size() ? 0 : i + 1 < s.size() ? 1 : 2) << i;
    }
    ASSERT_EQ(parser.List().size(), 1u);
    EXPECT_EQ(parser.List()[0].m_strSerial, "R58M123ABC");
}

TEST(DeviceListParser, EmptyListAndSeveralListsInOneRead)
{
    CDeviceListParser parser;
    EXPECT_EQ(FeedAll(parser, Frame(kEmulatorLine) + "0000"), 2);
    EXPECT_TRUE(parser.List().empty()) << "the newest list, empty, counts";
}

TEST(DeviceListParser, StreamThatStopsMidListKeepsTheLastWholeOne)
{
    CDeviceListParser parser;
    std::string second = Frame(std::string(kEmulatorLine) + kUnauthorizedLine);
    EXPECT_EQ(FeedAll(parser, Frame(kEmulatorLine) + second.substr(0, 30)), 1);
    ASSERT_EQ(parser.List().size(), 1u);
    EXPECT_EQ(parser.Pending(), 30u);
}

TEST(DeviceListParser, GarbageIsSkippedToTheNextLineBreak)
{
    CDeviceListParser parser;
    // A note on the stream (adb's server starting), bytes that are no
    // length, and a length that does not end on a line break.
    std::string s = "* daemon not running; starting now at tcp:5037\n" + std::string("zz\x01\xff\n") + "0005abcdefgh\n" +
                    Frame(kEmulatorLine);
    EXPECT_EQ(FeedAll(parser, s), 1);
    ASSERT_EQ(parser.List().size(), 1u);
    EXPECT_EQ(parser.List()[0].m_strSerial, "emulator-5554");
    EXPECT_GT(parser.Skipped(), 0u);
    EXPECT_EQ(parser.Pending(), 0u);
}

TEST(DeviceListParser, SerialsWithBlanksLettersBeyondAsciiAndTheShortForm)
{
    CDeviceList list = CDeviceListParser::ParseListing(
        "My Phone 7             device product:p model:M_7 device:d transport_id:4\n"
        "t\xC3\xA9l\xC3\xA9phone\tdevice\n"
        "192.168.1.5:5555       offline transport_id:9\n"
        "0123456789ABCDEF       no permissions (user in plugdev group); see [http://x] usb:1-4 transport_id:6\r\n"
        "lonely\n"
        "bad\x02line device\n",
        0);
    EXPECT_TRUE(list.empty()) << "a length of 0 reads nothing";
    std::string s = "My Phone 7             device product:p model:M_7 device:d transport_id:4\n"
                    "t\xC3\xA9l\xC3\xA9phone\tdevice\n"
                    "192.168.1.5:5555       offline transport_id:9\n"
                    "0123456789ABCDEF       no permissions (user in plugdev group); see [http://x] usb:1-4 "
                    "transport_id:6\r\n"
                    "lonely\n"
                    "bad\x02line device\n";
    list = CDeviceListParser::ParseListing(s.data(), s.size());
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].m_strSerial, "My Phone 7");
    EXPECT_EQ(list[0].m_strModel, "M_7");
    EXPECT_EQ(list[1].m_strSerial, "t\xC3\xA9l\xC3\xA9phone");
    EXPECT_EQ(list[1].m_strState, "device");
    EXPECT_EQ(list[2].m_strSerial, "192.168.1.5:5555");
    EXPECT_EQ(list[2].m_strState, "offline");
    EXPECT_EQ(list[3].m_strState, "no permissions");
    EXPECT_EQ(list[3].m_strTransportId, "6");
}

TEST(DeviceListParser, SixtyFourDevicesAndNoMoreThanTheCap)
{
    std::string s;
    for (int i = 0; i < 64; ++i)
        s += "serial" + std::to_string(i) + " device transport_id:" + std::to_string(i + 1) + "\n";
    CDeviceListParser parser;
    ASSERT_EQ(FeedAll(parser, Frame(s)), 1);
    ASSERT_EQ(parser.List().size(), 64u);
    EXPECT_EQ(parser.List()[63].m_strSerial, "serial63");
    std::string many;
    while (many.size() < 0xFF00)
        many += "x device\n";
    ASSERT_EQ(FeedAll(parser, Frame(many)), 1);
    EXPECT_EQ(parser.List().size(), CDeviceListParser::kMaxDevices);
}
