// CUtf8Conv both ways. Properties: ToNarrow consumes 1 to 4 bytes and never
// reads past the bytes it is given or past a NUL; it gives the sequence's
// OEM character or '?' exactly as the code page says; the two forms (length
// given, NUL-terminated) agree; FromNarrow then ToNarrow gives back every
// byte 1..255 of the code page; ToUtf8 is FromNarrow over every byte.
#include <windows.h>

#include <cstring>
#include <vector>

#include "process/Utf8Conv.h"
#include "targets/FuzzCheck.h"

namespace {

// The OEM byte of each code unit that the code page has, or -1.
struct COemBytes {
    std::vector<int> byteOf = std::vector<int>(0x10000, -1);
    COemBytes()
    {
        for (int b = 1; b < 256; ++b) {
            char c = char(b);
            WCHAR w = 0;
            if (MultiByteToWideChar(CP_OEMCP, 0, &c, 1, &w, 1) == 1)
                byteOf[w] = b;
        }
    }
};

const COemBytes& OemBytes()
{
    static const COemBytes s_bytes;
    return s_bytes;
}

bool IsCont(unsigned char b) { return (b & 0xC0) == 0x80; }

// What ToNarrow must give for the bytes at p (nAvail of them), how many it
// must consume, and the valid sequence's length (0 if none starts there).
char ExpectedNarrow(const unsigned char* p, size_t nAvail, int& nLength, int& nSeq)
{
    nLength = nSeq = 1;
    const unsigned b0 = p[0];
    if (b0 < 0x80)
        return char(b0);
    unsigned u;
    if ((b0 & 0xE0) == 0xC0 && nAvail >= 2 && IsCont(p[1])) {
        nLength = nSeq = 2;
        u = ((b0 & 0x1F) << 6) | (p[1] & 0x3F);
    } else if ((b0 & 0xF0) == 0xE0 && nAvail >= 3 && IsCont(p[1]) && IsCont(p[2])) {
        nLength = nSeq = 3;
        u = ((b0 & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    } else if (b0 >= 0xF0 && b0 <= 0xF4 && nAvail >= 4 && IsCont(p[1]) && IsCont(p[2]) && IsCont(p[3])) {
        // Beyond 16 bits: no single narrow byte.
        nLength = nSeq = 4;
        return '?';
    } else {
        nSeq = 0;
        return '?';
    }
    if (u < 0x80)
        return '?';
    const int b = OemBytes().byteOf[u];
    return b < 0 ? '?' : char(b);
}

void CheckRoundTrip(unsigned char b)
{
    CUtf8Conv conv;
    char out[3] = { 0x55, 0x55, 0x55 };
    char* pEnd = conv.FromNarrow(char(b), out);
    KB_CHECK(conv.m_nLength >= 1 && conv.m_nLength <= 3);
    KB_CHECK(pEnd == out + conv.m_nLength);
    if (b >= 1 && b <= 0x7F)
        KB_CHECK(conv.m_nLength == 1 && out[0] == char(b));
    const int nWritten = conv.m_nLength;
    // An exact-size copy: ASan sees any read past the sequence.
    std::vector<char> seq(out, out + nWritten);
    CUtf8Conv back;
    char c = back.ToNarrow(seq.data(), seq.size());
    if (b != 0) {
        if (c != char(b) || back.m_nLength != nWritten)
            fprintf(stderr, "byte %02X -> %s -> %02X\n", b, Escaped(std::string(out, nWritten)).c_str(),
                    static_cast<unsigned char>(c));
        KB_CHECK(c == char(b));
        KB_CHECK(back.m_nLength == nWritten);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool s_bAllBytes = [] {
        for (int b = 0; b < 256; ++b)
            CheckRoundTrip(static_cast<unsigned char>(b));
        return true;
    }();
    (void)s_bAllBytes;

    // UTF-8 to narrow, over an exact-size copy and over a terminated one.
    std::vector<char> exact(data, data + size);
    std::vector<char> terminated(data, data + size);
    terminated.push_back(0);
    size_t i = 0;
    while (i < size) {
        CUtf8Conv conv;
        char c = conv.ToNarrow(exact.data() + i, size - i);
        int nExpected, nSeq;
        char expected = ExpectedNarrow(data + i, size - i, nExpected, nSeq);
        KB_CHECK(conv.m_nLength == nExpected);
        KB_CHECK(c == expected);
        KB_CHECK(CUtf8Conv::SeqLength(exact.data() + i, size - i) == nSeq);
        // In a single-byte code page the whole character is that one byte.
        CUtf8Conv whole;
        char ch[4];
        KB_CHECK(whole.ToNarrowChar(exact.data() + i, size - i, ch) == 1);
        KB_CHECK(ch[0] == c && whole.m_nLength == conv.m_nLength);

        // The NUL-terminated form reads the same, since the copy ends in NUL
        // where the exact one ends.
        CUtf8Conv conv0;
        char c0 = conv0.ToNarrow(terminated.data() + i);
        if (memchr(data + i, 0, conv.m_nLength) == nullptr) {
            KB_CHECK(c0 == c);
            KB_CHECK(conv0.m_nLength == conv.m_nLength);
        }
        i += size_t(conv.m_nLength);
    }
    KB_CHECK(i == size);

    // Narrow to UTF-8: every byte, and ToUtf8 over the whole text.
    for (size_t k = 0; k < size && k < 16; ++k)
        CheckRoundTrip(data[k]);
    CString s(reinterpret_cast<const char*>(data), int(size));
    CString original = s;
    CUtf8Conv conv;
    conv.ToUtf8(s);
    std::string expected;
    for (int k = 0; k < original.GetLength(); ++k) {
        char seq[3];
        CUtf8Conv one;
        char* pEnd = one.FromNarrow(original[k], seq);
        expected.append(seq, size_t(pEnd - seq));
    }
    KB_CHECK(std::string(s.GetString(), size_t(s.GetLength())) == expected);
    // And back: the UTF-8 text reads as the narrow text it came from.
    if (memchr(data, 0, size) == nullptr) {
        std::string back;
        const std::string utf8 = expected;
        std::vector<char> buf(utf8.begin(), utf8.end());
        for (size_t k = 0; k < buf.size();) {
            CUtf8Conv one;
            back += one.ToNarrow(buf.data() + k, buf.size() - k);
            k += size_t(one.m_nLength);
        }
        KB_CHECK(back == std::string(reinterpret_cast<const char*>(data), size));
    }
    return 0;
}
