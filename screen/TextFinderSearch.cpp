// The finder's two searches. They walk the lines once; in each line they
// look, a machine word at a time, for columns whose byte can begin a match
// and whose byte the pattern's length further on can end one, and compare
// the pattern only there. Matches are those of the C runtime's
// case-insensitive multibyte comparison (_mbsnbicmp) under its current
// locale and multibyte code page:
// - In a single-byte code page it folds every byte on its own. A table of
//   those folds, asked of the runtime itself at the start of each search,
//   compares exactly as it does, without a call per byte.
// - In a double-byte code page a match begins only where a character
//   begins: never on the second byte of a double-byte character, which
//   would match half a letter and the next one's half. The runtime compares
//   each candidate itself.
#include "screen/TextFinder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mbstring.h>
#include <vector>

namespace {

typedef uintptr_t Word;
const int kWordBytes = int(sizeof(Word));
const Word kOnes = Word(-1) / 0xFF;   // 0x01 in every byte
const Word kHighs = kOnes * 0x80;

const Word kLows = kOnes * 0x7F;

// The high bit of exactly those bytes of w that are zero (no carry crosses
// from one byte to the next).
inline Word ZeroBytes(Word w) { return ~(((w & kLows) + kLows) | w | kLows); }

inline Word LoadWord(const unsigned char* p)
{
    Word w;
    memcpy(&w, p, sizeof w);
    return w;
}

int CompareChars(const unsigned char* a, const unsigned char* b, size_t n)
{
    return _mbsnbicmp(a, b, n);
}

int CompareBytes(unsigned char a, unsigned char b)
{
    const unsigned char s[2] = { a, 0 };
    const unsigned char t[2] = { b, 0 };
    return CompareChars(s, t, 1);
}

// One search's pattern with the runtime's case rules at the time.
class CPatternScan {
public:
    explicit CPatternScan(const CString& strPattern);

    // The first match at a column from nFrom to nLast of the line p, or -1.
    int Forward(const unsigned char* p, int nFrom, int nLast);
    // The last match at a column below nLimit (at most len - n + 1), or -1.
    int Backward(const unsigned char* p, int nLimit);

private:
    void MakeFoldTable();
    void MakeDoubleByteFirsts();
    bool MatchesAt(const unsigned char* p) const;
    // A column in [nFrom, nEnd) whose byte can begin a match and whose
    // byte n - 1 further on can end one, or -1.
    int NextCandidate(const unsigned char* p, int nFrom, int nEnd) const;
    // The last such column below nEnd, or -1.
    int PrevCandidate(const unsigned char* p, int nEnd) const;
    int CharLength(const unsigned char* p) const { return m_bLead[*p] && p[1] != 0 ? 2 : 1; }
    bool IsCandidate(const unsigned char* p) const { return m_bFirst[p[0]] && m_bLast[p[m_nLength - 1]]; }
    // Whether one of the kWordBytes columns from p can be a candidate.
    bool WordHasCandidate(const unsigned char* p) const
    {
        const Word w = LoadWord(p);
        const Word u = LoadWord(p + m_nLength - 1);
        return ((ZeroBytes(w ^ m_wFirstA) | ZeroBytes(w ^ m_wFirstB) | m_wAnyFirst)
                & (ZeroBytes(u ^ m_wLastA) | ZeroBytes(u ^ m_wLastB) | m_wAnyLast)) != 0;
    }
    // Lets a word scan look for up to two bytes of a table; more pass all.
    static void WordForms(const bool* pTable, Word* pwA, Word* pwB, Word* pwAny);

    const unsigned char* m_pPattern;
    int m_nLength;
    // Double-byte: the bytes the runtime compares. A last byte that is a
    // lead byte with nothing after it is compared as it stands: the runtime
    // would take the byte after the pattern as its second half.
    int m_nWhole;
    bool m_bDoubleByte = false;
    bool m_bLead[256] = {};
    bool m_bFirst[256] = {};        // bytes a match can begin with
    bool m_bLast[256] = {};         // and end with (single-byte)
    unsigned char m_fold[256] = {}; // single-byte: one value per class of equal bytes
    std::vector<unsigned char> m_folded;
    // The word scan: the first and last bytes repeated over a word, or all
    // high bits where more than two bytes can stand there.
    bool m_bWordScan = false;
    bool m_bNever = false;
    Word m_wFirstA = 0, m_wFirstB = 0, m_wAnyFirst = 0;
    Word m_wLastA = 0, m_wLastB = 0, m_wAnyLast = 0;
    std::vector<int> m_starts;      // double-byte backward: a line's candidates
};

CPatternScan::CPatternScan(const CString& strPattern)
    : m_pPattern(reinterpret_cast<const unsigned char*>(strPattern.GetString())),
      m_nLength(strPattern.GetLength()), m_nWhole(m_nLength)
{
    for (int b = 1; b < 256; ++b) {
        m_bLead[b] = _ismbblead(unsigned(b)) != 0;
        m_bDoubleByte = m_bDoubleByte || m_bLead[b];
    }
    if (m_bDoubleByte) {
        MakeDoubleByteFirsts();
        m_bNever = std::find(m_bFirst, m_bFirst + 256, true) == m_bFirst + 256;
        return;
    }
    MakeFoldTable();
    for (int b = 1; b < 256; ++b) {
        m_bFirst[b] = m_fold[b] == m_folded[0];
        m_bLast[b] = m_fold[b] == m_folded[size_t(m_nLength - 1)];
    }
    m_bNever = std::find(m_bFirst, m_bFirst + 256, true) == m_bFirst + 256
        || std::find(m_bLast, m_bLast + 256, true) == m_bLast + 256;
    WordForms(m_bFirst, &m_wFirstA, &m_wFirstB, &m_wAnyFirst);
    WordForms(m_bLast, &m_wLastA, &m_wLastB, &m_wAnyLast);
    m_bWordScan = m_wAnyFirst == 0 || m_wAnyLast == 0;
}

void CPatternScan::WordForms(const bool* pTable, Word* pwA, Word* pwB, Word* pwAny)
{
    int n = 0;
    for (int b = 1; b < 256; ++b) {
        if (pTable[b]) {
            *(n == 0 ? pwA : pwB) = kOnes * Word(b);
            ++n;
        }
    }
    if (n == 1)
        *pwB = *pwA;
    *pwAny = n <= 2 ? 0 : kHighs;
}

// The runtime compares a single-byte code page byte by byte, each byte
// folded; its answers for one-byte strings order the bytes, and equal
// neighbours in that order are one class. A stable merge sort stays within
// its array whatever the comparison says.
void CPatternScan::MakeFoldTable()
{
    unsigned char order[255];
    for (int b = 1; b < 256; ++b)
        order[b - 1] = static_cast<unsigned char>(b);
    std::stable_sort(order, order + 255,
                     [](unsigned char a, unsigned char b) { return CompareBytes(a, b) < 0; });
    // Class 0 is the terminator's alone.
    int nClass = 0;
    for (int i = 0; i < 255; ++i) {
        if (i == 0 || CompareBytes(order[i - 1], order[i]) != 0)
            ++nClass;
        m_fold[order[i]] = static_cast<unsigned char>(nClass);
    }
    m_folded.resize(size_t(m_nLength));
    for (int k = 0; k < m_nLength; ++k)
        m_folded[size_t(k)] = m_fold[m_pPattern[k]];
}

// Case folding maps a single-byte letter to a single-byte one and a
// double-byte letter to a double-byte one (full-width Latin, Greek and
// Cyrillic letters fold within their own forms), and the characters equal
// to one are itself and its lower and upper case. So a pattern that begins
// with a single-byte character matches only where a single-byte character
// the runtime finds equal to it begins, and one that begins with a
// double-byte character only at the lead byte of that character's cases.
void CPatternScan::MakeDoubleByteFirsts()
{
    int i = 0;
    while (i < m_nLength - 1)
        i += m_bLead[m_pPattern[i]] ? 2 : 1;
    if (i == m_nLength - 1 && m_bLead[m_pPattern[i]])
        m_nWhole = i;
    const unsigned char p0 = m_pPattern[0];
    if (!m_bLead[p0]) {
        for (int b = 1; b < 256; ++b)
            m_bFirst[b] = !m_bLead[b] && CompareBytes(static_cast<unsigned char>(b), p0) == 0;
        return;
    }
    m_bFirst[p0] = true;
    if (m_nWhole == 0)
        return;
    const unsigned int c = unsigned(p0) << 8 | m_pPattern[1];
    const unsigned char ch[3] = { p0, m_pPattern[1], 0 };
    for (unsigned int other : { _mbctolower(c), _mbctoupper(c) }) {
        const unsigned char lead = static_cast<unsigned char>(other >> 8);
        const unsigned char two[3] = { lead, static_cast<unsigned char>(other), 0 };
        if (other > 0xFF && m_bLead[lead] && CompareChars(two, ch, 2) == 0)
            m_bFirst[lead] = true;
    }
}

bool CPatternScan::MatchesAt(const unsigned char* p) const
{
    if (m_bDoubleByte) {
        if (m_nWhole > 0 && CompareChars(p, m_pPattern, size_t(m_nWhole)) != 0)
            return false;
        return m_nWhole == m_nLength || p[m_nWhole] == m_pPattern[m_nWhole];
    }
    // The first and last bytes of a candidate match already.
    for (int k = 1; k < m_nLength; ++k) {
        if (m_fold[p[k]] != m_folded[size_t(k)])
            return false;
    }
    return true;
}

int CPatternScan::NextCandidate(const unsigned char* p, int nFrom, int nEnd) const
{
    int i = nFrom;
    if (m_bWordScan) {
        // The loads end at nEnd - 1 + n - 1 + 1, inside the line.
        while (i + kWordBytes <= nEnd && !WordHasCandidate(p + i))
            i += kWordBytes;
    }
    for (; i < nEnd; ++i) {
        if (IsCandidate(p + i))
            return i;
    }
    return -1;
}

int CPatternScan::PrevCandidate(const unsigned char* p, int nEnd) const
{
    int i = nEnd;
    if (m_bWordScan) {
        while (i >= kWordBytes && !WordHasCandidate(p + i - kWordBytes))
            i -= kWordBytes;
    }
    for (; i > 0; --i) {
        if (IsCandidate(p + i - 1))
            return i - 1;
    }
    return -1;
}

int CPatternScan::Forward(const unsigned char* p, int nFrom, int nLast)
{
    if (m_bNever)
        return -1;
    if (m_bDoubleByte) {
        // Characters are found from the line's start; columns up to nLast
        // leave the byte after them inside the line.
        for (int c = 0; c <= nLast; c += CharLength(p + c)) {
            if (c >= nFrom && m_bFirst[p[c]] && MatchesAt(p + c))
                return c;
        }
        return -1;
    }
    for (int c = nFrom; c <= nLast; ++c) {
        c = NextCandidate(p, c, nLast + 1);
        if (c < 0)
            return -1;
        if (MatchesAt(p + c))
            return c;
    }
    return -1;
}

int CPatternScan::Backward(const unsigned char* p, int nLimit)
{
    if (m_bNever)
        return -1;
    if (m_bDoubleByte) {
        m_starts.clear();
        for (int c = 0; c < nLimit; c += CharLength(p + c)) {
            if (m_bFirst[p[c]])
                m_starts.push_back(c);
        }
        for (auto it = m_starts.rbegin(); it != m_starts.rend(); ++it) {
            if (MatchesAt(p + *it))
                return *it;
        }
        return -1;
    }
    for (int c = PrevCandidate(p, nLimit); c >= 0; c = PrevCandidate(p, c)) {
        if (MatchesAt(p + c))
            return c;
    }
    return -1;
}

} // namespace

bool CTextFinder::SearchForward(ILineSource& source)
{
    const int n = m_strPattern.GetLength();
    if (n == 0)
        return false;
    // Any negative index means "no position"; a column below -1 would read
    // before the line.
    if (m_nLine < 0) {
        m_nLine = source.FirstLine();
        m_nColumn = -1;
    }
    if (m_nColumn < -1)
        m_nColumn = -1;

    CPatternScan scan(m_strPattern);
    const char* p = source.GetLine(m_nLine);
    while (p) {
        const int len = int(strlen(p));
        const int c = scan.Forward(reinterpret_cast<const unsigned char*>(p), m_nColumn + 1, len - n);
        if (c >= 0) {
            m_nColumn = c;
            return true;
        }
        // The line source looks at m_nLine to decide whether to go on.
        m_nLine++;
        m_nColumn = -1;
        p = source.NextLine(p);
    }
    Forget();
    return false;
}

bool CTextFinder::SearchBackward(ILineSource& source)
{
    const int n = m_strPattern.GetLength();
    if (n == 0)
        return false;
    if (m_nLine < 0) {
        m_nLine = source.LastLine();
        m_nColumn = -1;
    }
    if (m_nColumn < -1)
        m_nColumn = -1;

    CPatternScan scan(m_strPattern);
    const char* p = source.GetLine(m_nLine);
    while (p) {
        const int nStart = int(strlen(p)) - n + 1;
        // The last line can shrink (a backspace in continued output) after
        // the match was found: never start past where a match can begin.
        if (m_nColumn == -1 || m_nColumn > nStart)
            m_nColumn = nStart;
        const int c = scan.Backward(reinterpret_cast<const unsigned char*>(p), m_nColumn);
        if (c >= 0) {
            m_nColumn = c;
            return true;
        }
        m_nLine--;
        m_nColumn = -1;
        p = source.PrevLine(p);
    }
    Forget();
    return false;
}
