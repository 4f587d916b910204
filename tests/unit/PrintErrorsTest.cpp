#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screen/ConsoleView.h"
#include "settings/AppConfig.h"
#include "support/StoreLines.h"

namespace {

class PrintErrorsTest : public ::testing::Test {
protected:
    void SetUp() override { m_view.m_store.Resize(4096); }

    CAppConfig m_config;
    CConsoleView m_view;
};

} // namespace

TEST_F(PrintErrorsTest, TwoRecordsGiveACountLineTheRecordsAndAnEmptyLine)
{
    m_config.m_line = 7;
    m_config.ReportError("unknown name '%s'", "Foo");
    m_config.m_line = 12;
    m_config.ReportError("bad value");
    m_view.m_nCode = 5;

    m_config.PrintErrors(m_view);

    EXPECT_EQ(StoreLines(m_view.m_store),
              (std::vector<std::string>{ "\x01" "Config file has 2 error(s):",
                                         "\x01" "Line  7: unknown name 'Foo'",
                                         "\x01" "Line 12: bad value",
                                         "" }));
    EXPECT_EQ(m_view.m_nCode, 5);
    EXPECT_EQ(m_view.m_nSavedCode, 0);
    EXPECT_EQ(m_config.m_errors.GetCount(), 0);
}

TEST_F(PrintErrorsTest, SecondCallPrintsNothing)
{
    m_config.ReportError("one");
    m_config.PrintErrors(m_view);
    const int nUsed = m_view.m_store.m_nUsed;
    m_view.m_nCode = 2;
    m_view.m_nSavedCode = 3;

    m_config.PrintErrors(m_view);

    EXPECT_EQ(m_view.m_store.m_nUsed, nUsed);
    EXPECT_EQ(m_view.m_nCode, 2);
    EXPECT_EQ(m_view.m_nSavedCode, 3);
}

TEST_F(PrintErrorsTest, NoRecordsPrintNothing)
{
    m_config.PrintErrors(m_view);
    EXPECT_EQ(m_view.m_store.m_nUsed, 0);
}

TEST_F(PrintErrorsTest, RecordTextIsPrintedAsItStands)
{
    m_config.ReportError("%s", "100%d done");
    m_config.m_errors.Append(new CFmtString("%s", ""));

    m_config.PrintErrors(m_view);

    EXPECT_EQ(StoreLines(m_view.m_store),
              (std::vector<std::string>{ "\x01" "Config file has 2 error(s):",
                                         "\x01" "Line  0: 100%d done",
                                         "",
                                         "" }));
}
