#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "commands/BatchQueue.h"

using Strings = std::vector<std::string>;

namespace {

class CRecordingTarget : public ICommandTarget {
public:
    void RunCommand(CString& strLine, bool bSync) override
    {
        m_lines.push_back(strLine.GetString());
        if (bSync) m_nSyncCalls++;
        if (m_onRun) m_onRun();
    }
    Strings m_lines;
    int m_nSyncCalls = 0;
    std::function<void()> m_onRun;
};

// Runs a whole batch as the main window would: one RunNext per finished run.
Strings RunAll(const char* pszText)
{
    CBatchQueue q;
    CRecordingTarget t;
    q.Start(&t, pszText);
    for (int i = 0; i < 100 && q.IsActive(); i++) q.RunNext();
    EXPECT_FALSE(q.IsActive());
    EXPECT_EQ(t.m_nSyncCalls, 0);
    return t.m_lines;
}

} // namespace

TEST(BatchQueueTest, RunsExactlyOneLinePerStep)
{
    CBatchQueue q;
    CRecordingTarget t;
    q.Start(&t, "devices\r\n\r\n  version  \r\n");
    EXPECT_EQ(t.m_lines, (Strings{ "devices" }));
    EXPECT_TRUE(q.IsActive());
    EXPECT_TRUE(q.RunNext());
    EXPECT_EQ(t.m_lines, (Strings{ "devices", "version" }));
    EXPECT_FALSE(q.IsActive());
    EXPECT_FALSE(q.RunNext());
    EXPECT_EQ(t.m_lines.size(), 2u);
}

TEST(BatchQueueTest, SplitsAtCrLfLfAndLoneCr)
{
    EXPECT_EQ(RunAll("a\r\nb\nc\rd"), (Strings{ "a", "b", "c", "d" }));
    EXPECT_EQ(RunAll("a\r\r\nb\n\rc"), (Strings{ "a", "b", "c" }));
    EXPECT_EQ(RunAll("last line without break"), (Strings{ "last line without break" }));
}

TEST(BatchQueueTest, SkipsBlankLookingLinesAndTrimsOnlyTheEnds)
{
    EXPECT_EQ(RunAll(" \t \r\n\v\f\r\n\n  shell  ls -l \t\r\n"), (Strings{ "shell  ls -l" }));
}

TEST(BatchQueueTest, BytesAbove127AreNotWhiteSpace)
{
    EXPECT_EQ(RunAll("\xFF" "dev\xE9\r\n \xE8 \n"), (Strings{ "\xFF" "dev\xE9", "\xE8" }));
}

TEST(BatchQueueTest, BatchOfOnlyBlankLinesRunsNothing)
{
    CBatchQueue q;
    CRecordingTarget t;
    q.Start(&t, "\r\n   \r\n\t\n");
    EXPECT_TRUE(t.m_lines.empty());
    EXPECT_FALSE(q.IsActive());
    q.Start(&t, "");
    q.Start(&t, nullptr);
    q.Start(nullptr, "devices");
    EXPECT_TRUE(t.m_lines.empty());
    EXPECT_FALSE(q.IsActive());
}

TEST(BatchQueueTest, StopDropsTheRest)
{
    CBatchQueue q;
    CRecordingTarget t;
    q.Start(&t, "a\nb\nc");
    q.Stop();
    EXPECT_FALSE(q.IsActive());
    EXPECT_FALSE(q.RunNext());
    EXPECT_EQ(t.m_lines, (Strings{ "a" }));
}

TEST(BatchQueueTest, OwnerMayStopTheBatchWhileRunningALine)
{
    CBatchQueue q;
    CRecordingTarget t;
    t.m_onRun = [&] { if (t.m_lines.back() == "shell") q.Stop(); };
    q.Start(&t, "devices\nshell\nversion");
    q.RunNext();
    EXPECT_FALSE(q.IsActive());
    EXPECT_FALSE(q.RunNext());
    EXPECT_EQ(t.m_lines, (Strings{ "devices", "shell" }));
}

TEST(BatchQueueTest, OwnerAskingForTheNextLineInsideRunCommandKeepsOrder)
{
    // A local command asks for the next line before its RunCommand returns.
    CBatchQueue q;
    CRecordingTarget t;
    t.m_onRun = [&] { if (t.m_lines.back().compare(0, 3, "lcd") == 0) q.RunNext(); };
    q.Start(&t, "lcd a\r\nlcd b\r\n\r\ndevices\r\nversion");
    EXPECT_EQ(t.m_lines, (Strings{ "lcd a", "lcd b", "devices" }));
    EXPECT_TRUE(q.RunNext());
    EXPECT_EQ(t.m_lines.back(), "version");
    EXPECT_FALSE(q.IsActive());
}

TEST(BatchQueueTest, StartReplacesAWaitingBatchAndLeavesTheCallersTextAlone)
{
    CBatchQueue q;
    CRecordingTarget t;
    char szText[] = "pm\r\nversion";
    q.Start(&t, szText);
    EXPECT_EQ(0, memcmp(szText, "pm\r\nversion", sizeof szText));
    q.Start(&t, "devices");
    EXPECT_FALSE(q.RunNext());
    EXPECT_EQ(t.m_lines, (Strings{ "pm", "devices" }));
}

TEST(BatchQueueTest, TrimSpaceCutsBothEnds)
{
    char sz1[] = " \t x y \r\v";
    EXPECT_STREQ(CBatchQueue::TrimSpace(sz1), "x y");
    char sz2[] = " \t ";
    EXPECT_STREQ(CBatchQueue::TrimSpace(sz2), "");
    char sz3[] = "";
    EXPECT_STREQ(CBatchQueue::TrimSpace(sz3), "");
}

TEST(BatchQueueTest, DestructorFreesTheKeptDialogText)
{
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 32);
    ASSERT_NE(h, nullptr);
    ASSERT_NE(LocalLock(h), nullptr);
    {
        CBatchQueue q;
        q.m_hText = h;
        EXPECT_NE(LocalFlags(h), UINT(LMEM_INVALID_HANDLE));
    }
    EXPECT_EQ(LocalFlags(h), UINT(LMEM_INVALID_HANDLE));
}
