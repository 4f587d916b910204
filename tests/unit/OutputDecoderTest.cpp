#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "process/OutputDecoder.h"
#include "support/LineCollector.h"

namespace {

typedef std::vector<std::pair<std::string, bool>> Calls;

// Records every call as (text, unfinished).
class CCallRecorder : public IOutputSink {
public:
    void OnLine(const char* pszLine, int nLength, bool bUnfinished) override
    {
        EXPECT_EQ(std::string(pszLine).size(), size_t(nLength)) << "line must be terminated at its length";
        m_calls.emplace_back(std::string(pszLine, size_t(nLength)), bUnfinished);
    }
    Calls m_calls;
};

Calls DecodeCalls(const std::string& strChunk, bool bUtf8 = false)
{
    COutputDecoder decoder;
    std::atomic<bool> bAbort { false };
    CCallRecorder rec;
    EXPECT_TRUE(decoder.Decode(strChunk.data(), DWORD(strChunk.size()), bUtf8, bAbort, rec));
    return rec.m_calls;
}

std::vector<std::string> DecodeChunks(const std::vector<std::string>& chunks, bool bUtf8 = false)
{
    COutputDecoder decoder;
    std::atomic<bool> bAbort { false };
    CLineCollector lines;
    for (const std::string& strChunk : chunks)
        EXPECT_TRUE(decoder.Decode(strChunk.data(), DWORD(strChunk.size()), bUtf8, bAbort, lines));
    return lines.m_lines;
}

std::string Bytes(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
        s += char(b);
    return s;
}

// Aborts as soon as it sees the first line.
// A decoder fed chunk by chunk, with what it hands over recorded.
class DecoderTest : public ::testing::Test {
protected:
    COutputDecoder decoder;
    std::atomic<bool> bAbort { false };
    CCallRecorder rec;
    CLineCollector lines;
};

class CAbortOnFirstLine : public IOutputSink {
public:
    explicit CAbortOnFirstLine(std::atomic<bool>& bAbort) : m_bAbort(bAbort) {}
    void OnLine(const char* pszLine, int, bool) override
    {
        m_lines.push_back(pszLine);
        m_bAbort = true;
    }
    std::atomic<bool>& m_bAbort;
    std::vector<std::string> m_lines;
};

}

class OutputDecoderLineBreaks : public DecoderTest {};
class OutputDecoderChunks : public DecoderTest {};
class OutputDecoderUtf8 : public DecoderTest {};
class OutputDecoderAbort : public DecoderTest {};

TEST_F(OutputDecoderLineBreaks, CrLfEndsTwoLinesWithNoContinuation)
{
    EXPECT_EQ(DecodeCalls("abc\r\ndef\r\n"), (Calls { { "abc", false }, { "def", false } }));
}

TEST_F(OutputDecoderLineBreaks, CrCrLfIsOneBreakAndTheRestIsUnfinished)
{
    EXPECT_EQ(DecodeCalls("abc\r\r\ndef"), (Calls { { "abc", false }, { "def", true } }));
}

TEST_F(OutputDecoderLineBreaks, CrCrCrLfIsOneBreakAfterALoneCr)
{
    EXPECT_EQ(DecodeCalls("a\r\r\r\r\nb"), (Calls { { "a", false }, { "", false }, { "b", true } }));
}

TEST_F(OutputDecoderLineBreaks, CrCrCrLfIsOneBreak)
{
    EXPECT_EQ(DecodeCalls("x\r\r\r\ny\n"), (Calls { { "x", false }, { "y", false } }));
}

TEST_F(OutputDecoderLineBreaks, LoneLfAndLoneCrEachEndALine)
{
    EXPECT_EQ(DecodeCalls("a\nb\rc\n"), (Calls { { "a", false }, { "b", false }, { "c", false } }));
}

TEST_F(OutputDecoderLineBreaks, LfCrAtChunkEndGivesTwoEmptyLines)
{
    EXPECT_EQ(DecodeCalls("\n\r"), (Calls { { "", false }, { "", false } }));
}

TEST_F(OutputDecoderLineBreaks, ProgressCounterGivesALinePerValue)
{
    EXPECT_EQ(DecodeCalls("50%\r60%\r"), (Calls { { "50%", false }, { "60%", false } }));
}

TEST_F(OutputDecoderLineBreaks, BreakSplitAcrossChunksIsOneBreak)
{
    typedef std::vector<std::string> Lines;
    // Every way of cutting each break in two gives the lines of the whole.
    for (const std::string& strBreak : { std::string("\r\n"), std::string("\r\r\n"), std::string("\r\r\r\n") }) {
        const std::string strText = "abc" + strBreak + "def" + strBreak;
        for (size_t nCut = 1; nCut < strText.size(); nCut++)
            EXPECT_EQ(DecodeChunks({ strText.substr(0, nCut), strText.substr(nCut) }), (Lines { "abc", "def" }))
                << "cut after byte " << nCut << " of a break of " << strBreak.size();
    }
    // One byte at a time, too.
    std::vector<std::string> bytes;
    for (char c : std::string("a\r\r\r\nb\r\r\nc\r\nd\n"))
        bytes.emplace_back(1, c);
    EXPECT_EQ(DecodeChunks(bytes), (Lines { "a", "b", "c", "d" }));
}

TEST_F(OutputDecoderLineBreaks, CarriedCrsThatNoLfCompletesAreLoneBreaks)
{
    typedef std::vector<std::string> Lines;
    EXPECT_EQ(DecodeChunks({ "abc\r", "\rx\n" }), (Lines { "abc", "", "x" }));
    EXPECT_EQ(DecodeChunks({ "abc\r\r", "x\n" }), (Lines { "abc", "", "x" }));
    // Four CRs before the LF: a lone CR, then a CR CR CR LF break.
    EXPECT_EQ(DecodeChunks({ "abc\r\r", "\r\r\nx\n" }), (Lines { "abc", "", "x" }));
    EXPECT_EQ(DecodeChunks({ "abc\r", "\r", "\r", "\r", "\nx\n" }), (Lines { "abc", "", "x" }));
}

TEST_F(OutputDecoderLineBreaks, LineEndedByCrAtChunkEndIsHandedOverAtOnce)
{
    // A progress counter: each value must show before the next chunk comes.
    decoder.Decode("50%\r", 4, false, bAbort, rec);
    EXPECT_EQ(rec.m_calls, (Calls { { "50%", false } }));
    decoder.Decode("60%\r", 4, false, bAbort, rec);
    EXPECT_EQ(rec.m_calls, (Calls { { "50%", false }, { "60%", false } }));
    decoder.Decode("\n", 1, false, bAbort, rec);
    EXPECT_EQ(rec.m_calls.size(), 2u) << "the LF completed the CR's break";
    EXPECT_FALSE(decoder.HasPendingOutput());
}

TEST_F(OutputDecoderLineBreaks, CarriedCrsAtTheEndOfTheStreamAreLoneBreaks)
{
    decoder.Decode("a\r\r", 3, false, bAbort, rec);
    EXPECT_EQ(rec.m_calls, (Calls { { "a", false } }));
    ASSERT_TRUE(decoder.HasPendingOutput());
    EXPECT_TRUE(decoder.Decode("", 0, false, bAbort, rec, true));
    EXPECT_EQ(rec.m_calls, (Calls { { "a", false }, { "", false } }));
    EXPECT_FALSE(decoder.HasPendingOutput());

    // One CR whose line is out leaves nothing to hand over.
    decoder.Decode("b\r", 2, false, bAbort, rec);
    EXPECT_FALSE(decoder.HasPendingOutput());
}

TEST_F(OutputDecoderLineBreaks, BreakIsNotLookedForPastTheChunk)
{
    // Only "\r\r" belongs to the chunk; the LF behind it must not join them.
    const char text[] = "\r\r\n";
    EXPECT_TRUE(decoder.Decode(text, 2, false, bAbort, rec));
    EXPECT_TRUE(decoder.Decode("x", 1, false, bAbort, rec));
    EXPECT_EQ(rec.m_calls, (Calls { { "", false }, { "", false }, { "x", true } }));
    EXPECT_EQ(COutputDecoder::BreakLength(text, 2), 1);
    EXPECT_EQ(COutputDecoder::BreakLength(text, 3), 3);
    EXPECT_EQ(COutputDecoder::BreakLength("a\r", 2), 0);
    EXPECT_EQ(COutputDecoder::BreakLength("", 0), 0);
}

TEST_F(OutputDecoderChunks, LineCutByChunkEndIsContinuedByTheNext)
{
    EXPECT_EQ(DecodeCalls("hel"), (Calls { { "hel", true } }));
    EXPECT_EQ(DecodeChunks({ "hel", "lo\r\n" }), (std::vector<std::string> { "hello" }));
}

TEST_F(OutputDecoderChunks, EmptyChunkGivesNothing)
{
    EXPECT_TRUE(DecodeCalls("").empty());
}

TEST_F(OutputDecoderChunks, NulInMidChunkIsDroppedAndTheRestKept)
{
    EXPECT_EQ(DecodeCalls(std::string("ab\0cd\r\nef\0", 10)), (Calls { { "abcd", false }, { "ef", true } }));
    EXPECT_TRUE(DecodeCalls(std::string("\0\0\0", 3)).empty());
}

TEST_F(OutputDecoderChunks, NulInsideUtf8SequenceBreaksIt)
{
    EXPECT_EQ(DecodeCalls(Bytes({ 0xC3, 0x00, 0xA9, 'x' }), true), (Calls { { "??x", true } }));
}

TEST_F(OutputDecoderChunks, WholeFullChunkWithoutBreakIsOneUnfinishedLine)
{
    std::string strChunk(131072, 'z');
    Calls calls = DecodeCalls(strChunk);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, strChunk);
    EXPECT_TRUE(calls[0].second);
}

TEST_F(OutputDecoderChunks, ChunkLargerThanTheLineReserveStillDecodes)
{
    std::string strChunk(300000, 'q');
    strChunk += "\r\nend";
    Calls calls = DecodeCalls(strChunk);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].first.size(), 300000u);
    EXPECT_EQ(calls[1], std::make_pair(std::string("end"), true));
}

TEST_F(OutputDecoderChunks, BytesAboveAsciiPassUnchangedWithoutUtf8)
{
    std::string strChunk = Bytes({ 0xC3, 0xA9, 0x80, 0xFF, 0xF0, 0x9F, 0x98, 0x80 });
    EXPECT_EQ(DecodeCalls(strChunk, false), (Calls { { strChunk, true } }));
}

TEST_F(OutputDecoderUtf8, DecodesLettersIntoTheOemCodePage)
{
    EXPECT_EQ(DecodeCalls(Bytes({ 'c', 'a', 'f', 0xC3, 0xA9, '\r', '\n' }), true),
              (Calls { { Bytes({ 'c', 'a', 'f', 0x82 }), false } }));
}

TEST_F(OutputDecoderUtf8, InvalidSequencesGiveOneQuestionMarkPerSkip)
{
    EXPECT_EQ(DecodeCalls(Bytes({ 0xC0, 0xAF, '|', 0xF0, 0x9F, 0x98, 0x80, '|', 0x80 }), true),
              (Calls { { "?|????|?", true } }));
}

TEST_F(OutputDecoderUtf8, SequenceSplitAcrossChunksIsOneLetter)
{
    typedef std::vector<std::string> Lines;
    // U+00EF and U+2500 in the OEM code page, as one chunk decodes them.
    Calls whole = DecodeCalls(Bytes({ 'n', 'a', 0xC3, 0xAF, 'v', 'e', '|', 0xE2, 0x94, 0x80, '\n' }), true);
    ASSERT_EQ(whole.size(), 1u);
    const std::string strWhole = whole[0].first;
    EXPECT_EQ(strWhole.find('?'), std::string::npos) << "both letters are in the OEM code page";
    const std::string strText = Bytes({ 'n', 'a', 0xC3, 0xAF, 'v', 'e', '|', 0xE2, 0x94, 0x80, '\n' });
    for (size_t nCut = 1; nCut < strText.size(); nCut++)
        EXPECT_EQ(DecodeChunks({ strText.substr(0, nCut), strText.substr(nCut) }, true), (Lines { strWhole }))
            << "cut after byte " << nCut;
    std::vector<std::string> bytes;
    for (char c : strText)
        bytes.emplace_back(1, c);
    EXPECT_EQ(DecodeChunks(bytes, true), (Lines { strWhole }));
}

TEST_F(OutputDecoderUtf8, UnfinishedLineBeforeACarriedSequenceIsHandedOverAtOnce)
{
    decoder.Decode("na\xC3", 3, true, bAbort, rec);
    EXPECT_EQ(rec.m_calls, (Calls { { "na", true } }));
    EXPECT_TRUE(decoder.HasPendingOutput());
}

TEST_F(OutputDecoderUtf8, SequenceNeverFinishedGivesAQuestionMarkPerByte)
{
    typedef std::vector<std::string> Lines;
    // The next chunk does not go on with the sequence.
    EXPECT_EQ(DecodeChunks({ Bytes({ 'a', 0xE2, 0x94 }), Bytes({ 'b', '\n' }) }, true), (Lines { "a??b" }));
    EXPECT_EQ(DecodeChunks({ Bytes({ 0xC3 }), Bytes({ '\n' }) }, true), (Lines { "?" }));
    // The stream ends inside it.
    decoder.Decode("a\xE2\x94", 3, true, bAbort, lines);
    EXPECT_EQ(lines.m_lines, (Lines { "a" }));
    EXPECT_TRUE(decoder.Decode("", 0, true, bAbort, lines, true));
    EXPECT_EQ(lines.m_lines, (Lines { "a??" }));
    EXPECT_FALSE(decoder.HasPendingOutput());
}

TEST_F(OutputDecoderUtf8, NothingIsCarriedWithoutUtf8OrAfterAnAbort)
{
    decoder.Decode("a\xC3", 2, false, bAbort, rec);
    EXPECT_FALSE(decoder.HasPendingOutput());
    EXPECT_EQ(rec.m_calls, (Calls { { "a\xC3", true } }));

    decoder.Decode("b\xE2\x94", 3, true, bAbort, rec);
    ASSERT_TRUE(decoder.HasPendingOutput());
    bAbort = true;
    EXPECT_FALSE(decoder.Decode("\x80", 1, true, bAbort, rec));
    EXPECT_FALSE(decoder.HasPendingOutput());
}

TEST_F(OutputDecoderAbort, AbortMidChunkStopsAtOnceAndDropsTheRest)
{
    CAbortOnFirstLine sink(bAbort);
    const std::string strChunk = "one\r\ntwo\r\nthree";
    EXPECT_FALSE(decoder.Decode(strChunk.data(), DWORD(strChunk.size()), false, bAbort, sink));
    EXPECT_EQ(sink.m_lines, (std::vector<std::string> { "one" }));
}

TEST_F(OutputDecoderAbort, AbortBeforeTheChunkDropsItsUnfinishedLine)
{
    bAbort = true;
    EXPECT_FALSE(decoder.Decode("abc", 3, false, bAbort, rec));
    EXPECT_TRUE(rec.m_calls.empty());
}

TEST(OutputDecoderThreads, TwoDecodersOnTwoThreadsKeepTheirLinesApart)
{
    // The command runner and the shell runner decode at the same time.
    auto work = [](char ch, std::vector<std::string>* pLines) {
        COutputDecoder decoder;
        std::atomic<bool> bAbort { false };
        CLineCollector lines;
        std::string strChunk;
        for (int i = 0; i < 50; i++)
            strChunk += std::string(size_t(20 + i), ch) + "\r\n";
        for (int n = 0; n < 200; n++)
            decoder.Decode(strChunk.data(), DWORD(strChunk.size()), false, bAbort, lines);
        *pLines = lines.m_lines;
    };
    std::vector<std::string> a, b;
    std::thread ta(work, 'a', &a), tb(work, 'b', &b);
    ta.join();
    tb.join();
    ASSERT_EQ(a.size(), 10000u);
    ASSERT_EQ(b.size(), 10000u);
    for (size_t i = 0; i < a.size(); i++) {
        ASSERT_EQ(a[i], std::string(20 + i % 50, 'a'));
        ASSERT_EQ(b[i], std::string(20 + i % 50, 'b'));
    }
}
