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

Calls DecodeCalls(const std::string& strChunk, bool bUtf8 = false, UINT nCodePage = 1252)
{
    COutputDecoder decoder;
    decoder.m_nCodePage = nCodePage;
    decoder.m_nByteCodePage = 437;
    std::atomic<bool> bAbort { false };
    CCallRecorder rec;
    EXPECT_TRUE(decoder.Decode(strChunk.data(), DWORD(strChunk.size()), bUtf8, bAbort, rec));
    return rec.m_calls;
}

std::vector<std::string> DecodeChunks(const std::vector<std::string>& chunks, bool bUtf8 = false,
                                      UINT nCodePage = 1252, UINT nByteCodePage = 437)
{
    COutputDecoder decoder;
    decoder.m_nCodePage = nCodePage;
    decoder.m_nByteCodePage = nByteCodePage;
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
    void SetUp() override { decoder.m_nByteCodePage = 437; }
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

TEST_F(OutputDecoderChunks, DoubleByteLetterSplitAcrossChunksIsOneLetter)
{
    typedef std::vector<std::string> Lines;
    // dir in a Chinese OEM code page: "a" and four letters, the second
    // byte of each in the lead bytes' range too, so only the count of the
    // run tells a lead byte from a second byte.
    const std::string strText = "a\xD6\xD0\xCE\xC4\xB5\xB5\xB0\xB8|\r\n";
    for (size_t nCut = 1; nCut + 2 < strText.size(); nCut++) {
        Lines got = DecodeChunks({ strText.substr(0, nCut), strText.substr(nCut) }, false, 936, 936);
        EXPECT_EQ(got, (Lines { "a\xD6\xD0\xCE\xC4\xB5\xB5\xB0\xB8|" })) << "cut after byte " << nCut;
    }
    // The first piece goes out at once, without the carried lead byte.
    decoder.m_nByteCodePage = 936;
    decoder.Decode("a\xD6\xD0\xCE", 4, false, bAbort, rec);
    EXPECT_EQ(rec.m_calls, (Calls { { "a\xD6\xD0", true } }));
    ASSERT_TRUE(decoder.HasPendingOutput());
    // A stream that ends after a lead byte hands it over as it is.
    EXPECT_TRUE(decoder.Decode("", 0, false, bAbort, rec, true));
    EXPECT_EQ(rec.m_calls.back(), std::make_pair(std::string("\xCE"), true));
    // A single-byte OEM code page carries nothing: the first piece keeps
    // its last byte.
    decoder.Reset();
    decoder.m_nByteCodePage = 437;
    rec.m_calls.clear();
    decoder.Decode("a\xD6", 2, false, bAbort, rec);
    EXPECT_EQ(rec.m_calls, (Calls { { "a\xD6", true } }));
    EXPECT_FALSE(decoder.HasPendingOutput());
}

TEST_F(OutputDecoderChunks, OutputOfAUtf8OemCodePageIsDecodedAsUtf8)
{
    typedef std::vector<std::string> Lines;
    // Under the system code page 65001 the command processor writes UTF-8:
    // a letter split by a read is carried, a broken one is '?'.
    EXPECT_EQ(DecodeChunks({ "\xD0\x9F\xE4", "\xB8\xAD|\xFF\n" }, false, CP_UTF8, CP_UTF8),
              (Lines { "\xD0\x9F\xE4\xB8\xAD|?" }));
}

TEST_F(OutputDecoderUtf8, DecodesLettersStraightIntoTheAnsiCodePage)
{
    // The decoder's own code page unless told otherwise is the system's
    // ANSI one, in which the screen keeps its text.
    EXPECT_EQ(COutputDecoder().m_nCodePage, UINT(CP_ACP));
    // The euro sign is in 1252 but in no OEM code page of the same system:
    // decoded by way of OEM it would be lost.
    EXPECT_EQ(DecodeCalls(Bytes({ 'c', 'a', 'f', 0xC3, 0xA9, ' ', 0xE2, 0x82, 0xAC, '\r', '\n' }), true),
              (Calls { { Bytes({ 'c', 'a', 'f', 0xE9, ' ', 0x80 }), false } }));
    EXPECT_EQ(DecodeCalls("\xD0\x92\xD1\x81\xD1\x82\xD1\x80\xD0\xBE\xD0\xB5\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB9\n", true, 1251),
              (Calls { { "\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9", false } }));
    // A Chinese letter is both of its bytes in a double-byte code page.
    EXPECT_EQ(DecodeCalls("\xE5\x86\x85\xE7\xBD\xAE\xE5\xB1\x8F\xE5\xB9\x95\n", true, 936),
              (Calls { { "\xC4\xDA\xD6\xC3\xC6\xC1\xC4\xBB", false } }));
}

TEST_F(OutputDecoderUtf8, LetterTheCodePageLacksIsOneDefaultCharacter)
{
    // Cyrillic, Chinese, an emoji (four bytes) and a Latin letter with a
    // look-alike in 1252 (U+0101), which must not become that look-alike.
    EXPECT_EQ(DecodeCalls("\xD0\x96|\xE5\x86\x85|\xF0\x9F\x98\x80|\xC4\x81|a\n", true, 1252),
              (Calls { { "?|?|?|?|a", false } }));
    EXPECT_EQ(DecodeCalls("\xC3\xA9|\xF0\x9F\x98\x80\n", true, 1251), (Calls { { "?|?", false } }));
    EXPECT_EQ(DecodeCalls("\xD0\x96\xF0\x9F\x91\x8B\n", true, 936), (Calls { { "\xA7\xA8?", false } }));
}

TEST_F(OutputDecoderUtf8, InvalidSequencesGiveOneQuestionMarkPerSkip)
{
    // Over-long C0 AF is one '?'; a four-byte form of a value below
    // U+10000 is over-long too; F5 leads nothing.
    EXPECT_EQ(DecodeCalls(Bytes({ 0xC0, 0xAF, '|', 0xF0, 0x8F, 0xBF, 0xBF, '|', 0x80, '|', 0xF5, 0x80 }), true),
              (Calls { { "?|?|?|??", true } }));
}

TEST_F(OutputDecoderUtf8, UnderTheUtf8CodePageEveryValidLetterIsStoredAsItCame)
{
    // Cyrillic, Chinese and an emoji are kept; over-long forms and a
    // surrogate are no letters.
    EXPECT_EQ(DecodeCalls("\xD0\x9F\xD1\x80|\xE4\xB8\xAD|\xF0\x9F\x98\x80|\xE0\x80\xAF|\xED\xA0\x80\n", true, CP_UTF8),
              (Calls { { "\xD0\x9F\xD1\x80|\xE4\xB8\xAD|\xF0\x9F\x98\x80|?|?", false } }));
    typedef std::vector<std::string> Lines;
    const std::string strText = "a\xE4\xB8\xAD\xF0\x9F\x98\x80\n";
    for (size_t nCut = 1; nCut + 1 < strText.size(); nCut++)
        EXPECT_EQ(DecodeChunks({ strText.substr(0, nCut), strText.substr(nCut) }, true, CP_UTF8),
                  (Lines { "a\xE4\xB8\xAD\xF0\x9F\x98\x80" })) << "cut after byte " << nCut;
}

TEST_F(OutputDecoderUtf8, SequenceSplitAcrossChunksIsOneLetter)
{
    typedef std::vector<std::string> Lines;
    // Two, three and four bytes; in 936 the Chinese letter and the e with
    // acute are two bytes each, the emoji is missing.
    const std::string strText = Bytes({ 'n', 'a', 0xC3, 0xA9, 'v', '|', 0xE5, 0x86, 0x85, '|', 0xF0, 0x9F, 0x91,
                                        0x8B, '\n' });
    const std::string strWhole = Bytes({ 'n', 'a', 0xA8, 0xA6, 'v', '|', 0xC4, 0xDA, '|', '?' });
    EXPECT_EQ(DecodeChunks({ strText }, true, 936), (Lines { strWhole }));
    for (size_t nCut = 1; nCut < strText.size(); nCut++)
        EXPECT_EQ(DecodeChunks({ strText.substr(0, nCut), strText.substr(nCut) }, true, 936), (Lines { strWhole }))
            << "cut after byte " << nCut;
    std::vector<std::string> bytes;
    for (char c : strText)
        bytes.emplace_back(1, c);
    EXPECT_EQ(DecodeChunks(bytes, true, 936), (Lines { strWhole }));
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
    EXPECT_EQ(DecodeChunks({ Bytes({ 'a', 0xF0, 0x9F, 0x98 }), Bytes({ 'b', '\n' }) }, true), (Lines { "a???b" }));
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
