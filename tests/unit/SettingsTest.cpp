#include <gtest/gtest.h>

#include <climits>

#include "settings/AppConfig.h"

namespace {

// An item that counts its own destruction.
class CProbeItem : public CSettingItem {
public:
    CProbeItem(CSettingSection* pSection, const char* pszName, int& nDestroyed)
        : CSettingItem(pSection, pszName), m_nDestroyed(nDestroyed) {}
    ~CProbeItem() override { ++m_nDestroyed; }
    bool ParseValue(const char*) override { return false; }

private:
    int& m_nDestroyed;
};

} // namespace

TEST(AppConfigTest, HoldsOneSectionNamedKestrelbox)
{
    ASSERT_EQ(g_config.m_sections.GetCount(), 1);
    EXPECT_EQ(g_config.m_sections.GetAt(0), &g_config.m_settings);
    EXPECT_STREQ(g_config.m_sections.GetAt(0)->m_name, "[Kestrelbox]");
    EXPECT_EQ(g_config.m_line, 0);
}

TEST(AppConfigTest, NoItemIsRegisteredAndNoErrorRecorded)
{
    EXPECT_EQ(g_config.m_settings.m_items.GetCount(), 0);
    EXPECT_EQ(g_config.m_errors.GetCount(), 0);
    EXPECT_TRUE(g_config.m_settings.AdbDirectory.m_name.IsEmpty());
    EXPECT_TRUE(g_config.m_settings.MarkBackColor.m_name.IsEmpty());
}

TEST(AppConfigTest, EveryConfigObjectHasItsOwnSection)
{
    CAppConfig config;
    ASSERT_EQ(config.m_sections.GetCount(), 1);
    EXPECT_EQ(config.m_sections.GetAt(0), &config.m_settings);
    EXPECT_EQ(g_config.m_sections.GetCount(), 1);
}

TEST(SettingsDefaultsTest, AdbIsOnTheSearchPathWithAFourMegabyteStore)
{
    const CSettings& s = g_config.m_settings;
    EXPECT_STREQ(s.AdbDirectory.m_value, "");
    EXPECT_EQ(s.BufferMegabytes.m_value, 4);
    EXPECT_EQ(s.BufferMegabytes.m_min, 1);
    EXPECT_EQ(s.BufferMegabytes.m_max, 64);
    EXPECT_EQ(s.BufferMegabytes.m_value << 20, 4194304);
}

TEST(SettingsDefaultsTest, WindowPlacementIsTheSystemDefaultAndNotMaximised)
{
    const CPlacementSetting& p = g_config.m_settings.WindowPlacement;
    EXPECT_EQ(p.m_x, INT_MIN);
    EXPECT_EQ(p.m_y, INT_MIN);
    EXPECT_EQ(p.m_width, INT_MIN);
    EXPECT_EQ(p.m_height, INT_MIN);
    EXPECT_EQ(unsigned(p.m_x), 0x80000000u);
    EXPECT_FALSE(p.m_maximized);
}

TEST(SettingsDefaultsTest, FontsAreCourierTenAndArialNine)
{
    const CSettings& s = g_config.m_settings;
    EXPECT_STREQ(s.ScreenFont.m_face, "Courier");
    EXPECT_EQ(s.ScreenFont.m_size, 10);
    EXPECT_FALSE(s.ScreenFont.m_italic);
    EXPECT_FALSE(s.ScreenFont.m_bold);
    EXPECT_STREQ(s.CommandFont.m_face, "Arial");
    EXPECT_EQ(s.CommandFont.m_size, 9);
    EXPECT_FALSE(s.CommandFont.m_italic);
    EXPECT_FALSE(s.CommandFont.m_bold);
}

TEST(SettingsDefaultsTest, EightColours)
{
    const CSettings& s = g_config.m_settings;
    EXPECT_EQ(s.BackColor.m_value, 0x000000u);
    EXPECT_EQ(s.TextColor.m_value, 0xF0F0F0u);
    EXPECT_EQ(s.ErrorColor.m_value, 0x0000FFu);
    EXPECT_EQ(s.EchoColor.m_value, 0x00FFFFu);
    EXPECT_EQ(s.InfoColor.m_value, 0xFFFF80u);
    EXPECT_EQ(s.FindBackColor.m_value, 0xFFFFFFu);
    EXPECT_EQ(s.FindTextColor.m_value, 0x000000u);
    EXPECT_EQ(s.MarkBackColor.m_value, 0x3F3F3Fu);
}

TEST(SettingRegistrationTest, ItemWithSectionAndNameIsAppended)
{
    CSettingSection section(nullptr, "[Test]");
    CIntSetting first(&section, "First", 1, 0, 9);
    CColorSetting second(&section, "Second", 0);
    ASSERT_EQ(section.m_items.GetCount(), 2);
    EXPECT_EQ(section.m_items.GetAt(0), &first);
    EXPECT_EQ(section.m_items.GetAt(1), &second);
    EXPECT_STREQ(first.m_name, "First");
}

TEST(SettingRegistrationTest, EmptyOrMissingNameOrSectionRegistersNothing)
{
    CSettingSection section(nullptr, "[Test]");
    CStringSetting emptyName(&section, "", "v");
    CStringSetting nullName(&section, nullptr, "v");
    CStringSetting noSection(nullptr, "Name", "v");
    EXPECT_EQ(section.m_items.GetCount(), 0);
    EXPECT_TRUE(noSection.m_name.IsEmpty());
    EXPECT_STREQ(noSection.m_value, "v");
}

TEST(SettingRegistrationTest, SectionWithAConfigAppendsItselfInOrder)
{
    CAppConfig config;
    CSettingSection extra(&config, "[Extra]");
    ASSERT_EQ(config.m_sections.GetCount(), 2);
    EXPECT_EQ(config.m_sections.GetAt(1), &extra);
    EXPECT_STREQ(config.m_sections.GetAt(1)->m_name, "[Extra]");
}

TEST(SettingRegistrationTest, DestroyingASectionLeavesItsItemsAlive)
{
    int nDestroyed = 0;
    CSettingSection* pSection = new CSettingSection(nullptr, "[Test]");
    CProbeItem item(pSection, "Probe", nDestroyed);
    ASSERT_EQ(pSection->m_items.GetCount(), 1);
    delete pSection;
    EXPECT_EQ(nDestroyed, 0);
    EXPECT_STREQ(item.m_name, "Probe");
}

TEST(FmtStringTest, FormatsLikePrintf)
{
    CFmtString s("%s=%d%%%c", "n", -12, 'x');
    EXPECT_STREQ(s, "n=-12%x");
}

TEST(FmtStringTest, KeepsATextLongerThanFourKilobytesWhole)
{
    CString strLong('m', 10000);
    CFmtString s("<%s>", strLong.GetString());
    ASSERT_EQ(s.GetLength(), 10002);
    EXPECT_EQ(s[0], '<');
    EXPECT_EQ(s[5000], 'm');
    EXPECT_EQ(s[10001], '>');
}

TEST(ReportErrorTest, PadsASingleDigitLineToTwo)
{
    CAppConfig config;
    config.m_line = 7;
    config.ReportError("bad value '%s'", "x");
    ASSERT_EQ(config.m_errors.GetCount(), 1);
    EXPECT_STREQ(*config.m_errors.GetAt(0), "Line  7: bad value 'x'");
}

TEST(ReportErrorTest, TwoDigitLineHasOneBlank)
{
    CAppConfig config;
    config.m_line = 12;
    config.ReportError("unknown name");
    ASSERT_EQ(config.m_errors.GetCount(), 1);
    EXPECT_STREQ(*config.m_errors.GetAt(0), "Line 12: unknown name");
}

TEST(ReportErrorTest, LowestLineNumberIsNotCut)
{
    CAppConfig config;
    config.m_line = INT_MIN;
    config.ReportError("%d", 5);
    ASSERT_EQ(config.m_errors.GetCount(), 1);
    EXPECT_STREQ(*config.m_errors.GetAt(0), "Line -2147483648: 5");
}

TEST(ReportErrorTest, LongMessageIsKeptWholeAndRecordsStayInOrder)
{
    CAppConfig config;
    CString strLong('q', 10000);
    config.ReportError("first");
    config.m_line = 3;
    config.ReportError("%s", strLong.GetString());
    ASSERT_EQ(config.m_errors.GetCount(), 2);
    EXPECT_STREQ(*config.m_errors.GetAt(0), "Line  0: first");
    const CFmtString& second = *config.m_errors.GetAt(1);
    ASSERT_EQ(second.GetLength(), 9 + 10000);
    EXPECT_EQ(second.Left(9), "Line  3: ");
    EXPECT_EQ(second[9 + 9999], 'q');
}
