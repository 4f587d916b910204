#pragma once
// Letters of UTF-8 text on the screen's grid: a letter (one code point, one
// to four bytes) takes one cell, an East Asian wide letter two, as a
// double-byte letter does in the code pages that have them. A byte that
// begins no valid sequence is a letter of one cell on its own.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace LetterWidth {

// Wide and full-width letters: the CJK blocks, Hangul, full-width forms and
// the pictographs that terminals draw two cells wide.
inline bool IsWide(unsigned u)
{
    if (u < 0x1100)
        return false;
    return (u <= 0x115F) || (u >= 0x2E80 && u <= 0x303E) || (u >= 0x3041 && u <= 0x33FF)
        || (u >= 0x3400 && u <= 0x4DBF) || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xA000 && u <= 0xA4CF)
        || (u >= 0xA960 && u <= 0xA97F) || (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF)
        || (u >= 0xFE10 && u <= 0xFE19) || (u >= 0xFE30 && u <= 0xFE6F) || (u >= 0xFF00 && u <= 0xFF60)
        || (u >= 0xFFE0 && u <= 0xFFE6) || (u >= 0x1F300 && u <= 0x1F64F) || (u >= 0x1F900 && u <= 0x1F9FF)
        || (u >= 0x20000 && u <= 0x3FFFD);
}

inline bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The valid sequence at p, at most n bytes long (a NUL ends it too): its
// length (1 to 4) and code point, or 0 when none starts there. Over-long
// forms, surrogates and values past U+10FFFF are not valid.
inline int Decode(const unsigned char* p, size_t n, unsigned* pu)
{
    if (n == 0)
        return 0;
    const unsigned b = p[0];
    if (b < 0x80) {
        *pu = b;
        return 1;
    }
    int len;
    unsigned u;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        u = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        u = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        u = b & 0x07;
    } else {
        return 0;
    }
    if (n < size_t(len))
        return 0;
    for (int k = 1; k < len; ++k) {
        if (!IsContinuation(p[k]))
            return 0;
        u = (u << 6) | (p[k] & 0x3F);
    }
    if ((len == 3 && (u < 0x800 || (u >= 0xD800 && u <= 0xDFFF))) || (len == 4 && (u < 0x10000 || u > 0x10FFFF)))
        return 0;
    *pu = u;
    return len;
}

// Bytes and cells of the letter at p, at most n bytes long.
inline int Letter(const unsigned char* p, size_t n, int* pnCells)
{
    unsigned u = 0;
    int len = Decode(p, n, &u);
    if (len == 0) {
        *pnCells = 1;
        return 1;
    }
    *pnCells = IsWide(u) ? 2 : 1;
    return len;
}

// Cells of the n bytes at p. ASCII, most of any text, goes a word at a time.
inline int Cells(const char* psz, size_t n)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(psz);
    int nCells = 0;
    size_t i = 0;
    while (i < n) {
        if (n - i >= sizeof(uint64_t)) {
            uint64_t w;
            memcpy(&w, p + i, sizeof w);
            if ((w & 0x8080808080808080ull) == 0) {
                i += sizeof w;
                nCells += int(sizeof w);
                continue;
            }
        }
        if (p[i] < 0x80) {
            ++i;
            ++nCells;
            continue;
        }
        int c;
        i += size_t(Letter(p + i, n - i, &c));
        nCells += c;
    }
    return nCells;
}

} // namespace LetterWidth
