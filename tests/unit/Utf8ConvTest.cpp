#include <gtest/gtest.h>

#include <string>

#include "process/Utf8Conv.h"

namespace {

std::string Bytes(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
        s += char(b);
    return s;
}

// The whole narrow character (one or two bytes) for each sequence of the
// text, and the bytes each took.
std::string NarrowAll(CUtf8Conv& conv, const std::string& s, std::string* pLengths = nullptr)
{
    std::string strOut;
    for (size_t i = 0; i < s.size(); i += size_t(conv.m_nLength)) {
        char ch[4];
        strOut.append(ch, size_t(conv.ToNarrowChar(s.data() + i, s.size() - i, ch)));
        if (pLengths)
            *pLengths += char('0' + conv.m_nLength);
    }
    return strOut;
}

// The UTF-8 form of narrow text of the code page (the OEM one by default).
std::string ToUtf8(const std::string& s, UINT nCodePage = CP_OEMCP)
{
    CUtf8Conv conv(nCodePage);
    CString str(s.data(), int(s.size()));
    conv.ToUtf8(str);
    return std::string(str.GetString(), size_t(str.GetLength()));
}

}

TEST(Utf8ConvSeqLength, ClassifiesLeadAndContinuationBytes)
{
    EXPECT_EQ(CUtf8Conv::SeqLength("A"), 1);
    EXPECT_EQ(CUtf8Conv::SeqLength(""), 1);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xC3, 0xA9 }).c_str()), 2);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xC3, 'A' }).c_str()), 0);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xC0, 0xAF }).c_str()), 2);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xE2, 0x94, 0x80 }).c_str()), 3);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xE2, 0x94, 'x' }).c_str()), 0);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xE2, 'x', 0x80 }).c_str()), 0);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0x80 }).c_str()), 0);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xBF }).c_str()), 0);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xF0, 0x9F, 0x98, 0x80 }).c_str()), 4);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xF0, 0x9F, 0x98, 'x' }).c_str()), 0);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xF0, 0x9F, 0x98, 0x80 }).c_str(), 3), 0);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xF5, 0x80, 0x80, 0x80 }).c_str()), 0);
    EXPECT_EQ(CUtf8Conv::SeqLength(Bytes({ 0xFF }).c_str()), 0);
}

TEST(Utf8ConvSeqLength, StopsAtTheTerminatorAndAtTheGivenLength)
{
    // The bytes after the NUL (or past nAvail) would complete the sequence.
    const char text[] = { char(0xE2), char(0x94), 0, char(0x80), 0 };
    EXPECT_EQ(CUtf8Conv::SeqLength(text), 0);
    const char full[] = { char(0xE2), char(0x94), char(0x80), 0 };
    EXPECT_EQ(CUtf8Conv::SeqLength(full, 3), 3);
    EXPECT_EQ(CUtf8Conv::SeqLength(full, 2), 0);
    EXPECT_EQ(CUtf8Conv::SeqLength(full, 1), 0);
    EXPECT_EQ(CUtf8Conv::SeqLength(full, 0), 0);
    const char two[] = { char(0xC3), char(0xA9), 0 };
    EXPECT_EQ(CUtf8Conv::SeqLength(two, 1), 0);
}

TEST(Utf8ConvDecode, CombinesTheBitsOfEachLength)
{
    CUtf8Conv conv;
    conv.m_nLength = 2;
    EXPECT_EQ(conv.Decode(Bytes({ 0xC3, 0xA9 }).c_str()), 0x00E9);
    EXPECT_EQ(conv.Decode(Bytes({ 0xDF, 0xBF }).c_str()), 0x07FF);
    conv.m_nLength = 3;
    EXPECT_EQ(conv.Decode(Bytes({ 0xE2, 0x94, 0x80 }).c_str()), 0x2500);
    EXPECT_EQ(conv.Decode(Bytes({ 0xEF, 0xBF, 0xBF }).c_str()), 0xFFFF);
    conv.m_nLength = 1;
    EXPECT_EQ(conv.Decode(Bytes({ 0xE2 }).c_str()), 0x00E2);
}

TEST(Utf8ConvToNarrow, GivesTheOemLetter)
{
    CUtf8Conv conv;
    EXPECT_EQ(conv.m_nLength, 0);
    EXPECT_EQ(conv.ToNarrow(Bytes({ 0xC3, 0xA9 }).c_str()), char(0x82));
    EXPECT_EQ(conv.m_nLength, 2);
    EXPECT_EQ(conv.ToNarrow(Bytes({ 0xE2, 0x94, 0x80 }).c_str()), char(0xC4));
    EXPECT_EQ(conv.m_nLength, 3);
    EXPECT_EQ(conv.ToNarrow("z"), 'z');
    EXPECT_EQ(conv.m_nLength, 1);
}

TEST(Utf8ConvToNarrow, OverlongAsciiIsOneQuestionMarkForTheWholeSequence)
{
    CUtf8Conv conv;
    std::string strLengths;
    EXPECT_EQ(NarrowAll(conv, Bytes({ 0xC0, 0xAF }), &strLengths), "?");
    EXPECT_EQ(strLengths, "2");
    strLengths.clear();
    EXPECT_EQ(NarrowAll(conv, Bytes({ 0xE0, 0x81, 0x81 }), &strLengths), "?");
    EXPECT_EQ(strLengths, "3");
}

TEST(Utf8ConvToNarrow, InvalidBytesAreSkippedOneByOne)
{
    CUtf8Conv conv;
    std::string strLengths;
    // A character beyond U+FFFF has no one-byte form: one '?' for it.
    EXPECT_EQ(NarrowAll(conv, Bytes({ 0xF0, 0x9F, 0x98, 0x80 }), &strLengths), "?");
    EXPECT_EQ(strLengths, "4");
    strLengths.clear();
    EXPECT_EQ(NarrowAll(conv, Bytes({ 0xF8, 0x88, 0x80, 0x80 }), &strLengths), "????");
    EXPECT_EQ(strLengths, "1111");
    EXPECT_EQ(NarrowAll(conv, Bytes({ 0x80 })), "?");
    EXPECT_EQ(NarrowAll(conv, Bytes({ 0xC3, 'A' })), "?A");
}

TEST(Utf8ConvToNarrow, CharacterMissingFromTheCodePageIsOneByte)
{
    // U+4E00 has no place in code page 437; it must come back as a single
    // default byte and consume the whole sequence.
    CUtf8Conv conv;
    std::string strLengths;
    std::string strOut = NarrowAll(conv, Bytes({ 0xE4, 0xB8, 0x80 }), &strLengths);
    EXPECT_EQ(strOut, "?");
    EXPECT_EQ(strLengths, "3");
}

TEST(Utf8ConvToNarrow, DoubleByteCharacterBecomesQuestionMark)
{
    if (!IsValidCodePage(932))
        GTEST_SKIP() << "code page 932 is not installed";
    CUtf8Conv conv(932);
    // U+3042 takes two bytes in code page 932 and cannot be one character.
    EXPECT_EQ(conv.ToNarrow(Bytes({ 0xE3, 0x81, 0x82 }).c_str()), '?');
    EXPECT_EQ(conv.m_nLength, 3);
    // U+FF71 (half-width katakana A) is the single byte 0xB1 there.
    EXPECT_EQ(conv.ToNarrow(Bytes({ 0xEF, 0xBD, 0xB1 }).c_str()), char(0xB1));
}

TEST(Utf8ConvToNarrowChar, DoubleByteLetterIsBothBytes)
{
    CUtf8Conv conv(936);
    std::string strLengths;
    // U+5185 U+7F6E, "e" with acute (two bytes in 936 as well) and "z".
    EXPECT_EQ(NarrowAll(conv, "\xE5\x86\x85\xE7\xBD\xAE\xC3\xA9z", &strLengths),
              "\xC4\xDA\xD6\xC3\xA8\xA6z");
    EXPECT_EQ(strLengths, "3321");
    CUtf8Conv conv1251(1251);
    EXPECT_EQ(NarrowAll(conv1251, "\xD0\x96\xD1\x91"), "\xC6\xB8");
}

TEST(Utf8ConvToNarrowChar, MissingLetterIsOneDefaultCharacterNeverALookAlike)
{
    CUtf8Conv conv(1252);
    std::string strLengths;
    // Cyrillic, Chinese, an emoji, and U+0101, which a best fit would make "a".
    EXPECT_EQ(NarrowAll(conv, "\xD0\x96\xE5\x86\x85\xF0\x9F\x98\x80\xC4\x81", &strLengths), "????");
    EXPECT_EQ(strLengths, "2342");
    // A four-byte over-long form and a value past U+10FFFF are no letter.
    strLengths.clear();
    EXPECT_EQ(NarrowAll(conv, "\xF0\x8F\xBF\xBF\xF4\x90\x80\x80", &strLengths), "??");
    EXPECT_EQ(strLengths, "44");
    CUtf8Conv conv936(936);
    EXPECT_EQ(NarrowAll(conv936, "\xF0\x9F\x91\x8B"), "?");
}

TEST(Utf8ConvFromNarrow, EncodesOneTwoOrThreeBytes)
{
    CUtf8Conv conv;
    char out[4] = { 0, 0, 0, 0 };
    EXPECT_EQ(conv.FromNarrow('d', out), out + 1);
    EXPECT_EQ(conv.m_nLength, 1);
    EXPECT_EQ(out[0], 'd');
    EXPECT_EQ(conv.FromNarrow(char(0x82), out), out + 2);
    EXPECT_EQ(conv.m_nLength, 2);
    EXPECT_EQ(std::string(out, 2), Bytes({ 0xC3, 0xA9 }));
    EXPECT_EQ(conv.FromNarrow(char(0xC4), out), out + 3);
    EXPECT_EQ(conv.m_nLength, 3);
    EXPECT_EQ(std::string(out, 3), Bytes({ 0xE2, 0x94, 0x80 }));
}

TEST(Utf8ConvFromNarrow, LoneLeadByteOfDoubleByteCodePageBecomesQuestionMark)
{
    if (!IsValidCodePage(932))
        GTEST_SKIP() << "code page 932 is not installed";
    CUtf8Conv conv(932);
    char out[4] = { 0, 0, 0, 0 };
    EXPECT_EQ(conv.FromNarrow(char(0x82), out), out + 1);
    EXPECT_EQ(conv.m_nLength, 1);
    EXPECT_EQ(out[0], '?');
}

TEST(Utf8ConvToUtf8, LeavesAsciiUnchanged)
{
    EXPECT_EQ(ToUtf8("dir"), "dir");
    EXPECT_EQ(ToUtf8(""), "");
}

TEST(Utf8ConvToUtf8, EncodesOemLetters)
{
    EXPECT_EQ(ToUtf8("\x82"), Bytes({ 0xC3, 0xA9 }));
    EXPECT_EQ(ToUtf8("\xC4"), Bytes({ 0xE2, 0x94, 0x80 }));
    EXPECT_EQ(ToUtf8("ls caf\x82"), "ls caf" + Bytes({ 0xC3, 0xA9 }));
}

TEST(Utf8ConvToUtf8, DoubleByteLetterGoesAsTheOneLetterItIs)
{
    EXPECT_EQ(ToUtf8("ls \xC4\xDA\xD6\xC3 \xA8\xA6", 936), "ls \xE5\x86\x85\xE7\xBD\xAE \xC3\xA9");
    // A lead byte with nothing after it is no letter.
    EXPECT_EQ(ToUtf8("a\xC4", 936), "a?");
    // In an ANSI code page: 1252's euro sign, 1251's Cyrillic.
    EXPECT_EQ(ToUtf8("5 \x80", 1252), "5 \xE2\x82\xAC");
    EXPECT_EQ(ToUtf8("\xC6", 1251), "\xD0\x96");
}

TEST(Utf8ConvToUtf8, LongTextOfThreeByteCharactersIsWhole)
{
    std::string strIn(100000, char(0xC4));
    std::string strOut = ToUtf8(strIn);
    ASSERT_EQ(strOut.size(), 300000u);
    for (size_t i = 0; i < strOut.size(); i += 3)
        ASSERT_EQ(strOut.substr(i, 3), Bytes({ 0xE2, 0x94, 0x80 })) << "at " << i;
}

TEST(Utf8ConvToUtf8, EveryOemByteSurvivesTheRoundTrip)
{
    CUtf8Conv conv;
    for (int b = 0x01; b <= 0xFF; b++) {
        char utf8[4] = { 0, 0, 0, 0 };
        char* pEnd = conv.FromNarrow(char(b), utf8);
        int nWritten = int(pEnd - utf8);
        ASSERT_EQ(CUtf8Conv::SeqLength(utf8, size_t(nWritten)), nWritten) << "byte " << b;
        EXPECT_EQ(conv.ToNarrow(utf8, size_t(nWritten)), char(b)) << "byte " << b;
        EXPECT_EQ(conv.m_nLength, nWritten) << "byte " << b;
    }
}

TEST(Utf8ConvFlags, CodePagesThatRefuseTheNoBestFitFlagGetNone)
{
    // Windows fails the call (ERROR_INVALID_FLAGS) for these; Wine takes
    // the flag, so only this choice shows the difference.
    for (UINT n : { UINT(CP_UTF8), UINT(CP_UTF7), 54936u, 50220u, 50229u, 57002u, 57011u, 42u })
        EXPECT_EQ(CUtf8Conv::NoBestFitFlags(n), 0u) << n;
    for (UINT n : { 1252u, 1251u, 936u, 437u, 866u, 932u, 50230u, 57012u })
        EXPECT_EQ(CUtf8Conv::NoBestFitFlags(n), DWORD(WC_NO_BEST_FIT_CHARS)) << n;
    EXPECT_EQ(CUtf8Conv::NoBestFitFlags(CP_ACP), CUtf8Conv::NoBestFitFlags(::GetACP()));
    EXPECT_EQ(CUtf8Conv::NoBestFitFlags(CP_OEMCP), CUtf8Conv::NoBestFitFlags(::GetOEMCP()));
    // Nor may UTF-7 and UTF-8 be asked whether a default character was used.
    EXPECT_FALSE(CUtf8Conv::MayAskUsedDefault(CP_UTF8));
    EXPECT_FALSE(CUtf8Conv::MayAskUsedDefault(CP_UTF7));
    EXPECT_TRUE(CUtf8Conv::MayAskUsedDefault(1252));
    EXPECT_EQ(CUtf8Conv::IsUtf8(CP_ACP), ::GetACP() == CP_UTF8);
}

TEST(Utf8ConvToNarrowChar, UnderTheUtf8CodePageALetterOfUpToFourBytesIsItself)
{
    CUtf8Conv conv(CP_UTF8);
    std::string strLengths;
    EXPECT_EQ(NarrowAll(conv, "\xD0\x9F\xE4\xB8\xAD\xF0\x9F\x98\x80" "a", &strLengths),
              "\xD0\x9F\xE4\xB8\xAD\xF0\x9F\x98\x80" "a");
    EXPECT_EQ(strLengths, "2341");
    strLengths.clear();
    // Over-long forms, a surrogate and a lone continuation byte.
    EXPECT_EQ(NarrowAll(conv, "\xC0\xAF\xE0\x80\xAF\xED\xA0\x80\x80", &strLengths), "????");
    EXPECT_EQ(strLengths, "2331");
}

TEST(Utf8ConvToUtf8, UnderTheUtf8CodePageTextStaysButBrokenBytesBecomeQuestionMarks)
{
    EXPECT_EQ(ToUtf8("echo \xD0\x9F\xE2\x82\xAC \xE4\xB8\xAD", CP_UTF8), "echo \xD0\x9F\xE2\x82\xAC \xE4\xB8\xAD");
    EXPECT_EQ(ToUtf8("a\xD0\xFF\xE4\xB8", CP_UTF8), "a????");
}
