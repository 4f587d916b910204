// The finder's two searches. The lines lie back to back, each ended by its
// terminator, so a search scans the whole stretch of lines it may look at
// in one go, and compares the pattern only where a match can be: a short
// pattern where a byte that can begin it lies the pattern's length before
// one that can end it (looked for a machine word at a time), a longer one
// in a window that moves as far as the byte at its far end allows. A
// terminator ends every match, so none reaches from one line into the
// next; the terminators before a match give its line. Matches are those of
// the C runtime's case-insensitive multibyte comparison (_mbsnbicmp) under
// its current locale and multibyte code page:
// - In a single-byte code page it folds every byte on its own. A table of
//   those folds, asked of the runtime itself at the start of each search,
//   compares exactly as it does, without a call per byte.
// - In a double-byte code page a match begins only where a character
//   begins: never on the second byte of a double-byte character, which
//   would match half a letter and the next one's half. The run of lead
//   bytes before a candidate tells: characters begin at its start and at
//   every second byte from there. The runtime compares each candidate
//   itself.
// - In UTF-8 (the system code page 65001), which the runtime does not know,
//   a letter equals itself and the forms the system's case mapping gives
//   it (ASCII and the letters it folds) of the same length; a match begins
//   on a letter and ends with one, as every letter of the pattern is
//   compared whole. The bytes each position allows drive the same scans as
//   in a single-byte code page.
#include "screen/TextFinder.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mbstring.h>
#include <string>
#include <vector>

#include "screen/LetterWidth.h"

namespace {

typedef uintptr_t Word;
const int kWordBytes = int(sizeof(Word));
const Word kOnes = Word(-1) / 0xFF;   // 0x01 in every byte
const Word kHighs = kOnes * 0x80;
const Word kLows = kOnes * 0x7F;

// From this length on a single-byte search skips rather than scans words,
// as long as skipping pays: text in which the window moves less than a
// word a step (a pattern of letters the text is full of) goes faster by
// words. The choice is made again after every stretch of kStretch columns;
// either way a stretch gives its first (or last) match.
const int kSkipLength = 4;
const int kStretch = 256;
// After this many stretches by words, skipping is tried again.
const int kRetrySkip = 16;

struct CStrategy {
    explicit CStrategy(bool bMaySkip) : bMaySkip(bMaySkip), bSkip(bMaySkip) {}
    void Skipped(int nColumns, int nSteps) { bSkip = nColumns >= nSteps * kWordBytes; }
    void Scanned() { bSkip = bMaySkip && ++nScanned % kRetrySkip == 0; }

    const bool bMaySkip;
    bool bSkip;
    int nScanned = 0;
};

// The high bit of exactly those bytes of w that are zero (no carry crosses
// from one byte to the next).
inline Word ZeroBytes(Word w) { return ~(((w & kLows) + kLows) | w | kLows); }

inline Word LoadWord(const unsigned char* p)
{
    Word w;
    memcpy(&w, p, sizeof w);
    return w;
}

// The terminators in [p, pEnd): the lines a match lies beyond.
int CountTerminators(const unsigned char* p, const unsigned char* pEnd)
{
    int n = 0;
    // A word's zero bytes as a 1 in each byte, summed into its top byte.
    for (; pEnd - p >= kWordBytes; p += kWordBytes)
        n += int(((ZeroBytes(LoadWord(p)) >> 7) * kOnes) >> (8 * (kWordBytes - 1)));
    for (; p < pEnd; ++p)
        n += *p == 0;
    return n;
}

// The start of the line that holds p, pFirst being a line's start at or
// before it.
const unsigned char* LineStart(const unsigned char* pFirst, const unsigned char* p)
{
    while (p > pFirst && p[-1] != 0)
        --p;
    return p;
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
    CPatternScan(const CString& strPattern, bool bUtf8);

    // The first match that begins at pFrom or after and ends before pEnd,
    // or null. pLine is the start of pFrom's line; the byte before pEnd is
    // a terminator.
    const unsigned char* Forward(const unsigned char* pLine, const unsigned char* pFrom,
                                 const unsigned char* pEnd);
    // The last match that begins at pBegin or after and before column
    // nLimit of the line pLine (nLimit at most its length - n + 1), or
    // null. pBegin is a line's start.
    const unsigned char* Backward(const unsigned char* pBegin, const unsigned char* pLine, int nLimit);

private:
    void MakeFoldTable();
    void MakeUtf8Letters();
    bool MatchesUtf8At(const unsigned char* p) const;
    void MakeDoubleByteEnds();
    void MarkEqualCharacters(const unsigned char* pChar, bool bLone, bool* pTable, bool bTrail);
    void MakeSkipTables();
    bool MatchesAt(const unsigned char* p) const;
    // A column in [nFrom, nEnd) whose byte can begin a match and whose
    // byte n - 1 further on can end one, or -1.
    int NextCandidate(const unsigned char* p, int nFrom, int nEnd) const;
    // The last such column in [nFrom, nEnd), or -1.
    int PrevCandidate(const unsigned char* p, int nFrom, int nEnd) const;
    // Double-byte: the start of the run of lead bytes that ends at p, no
    // further back than pFloor, a character's start. A character begins at
    // the run's start (after a byte that is not a lead byte, which ends a
    // character, or at pFloor), and at every second byte from there.
    const unsigned char* LeadRunStart(const unsigned char* pFloor, const unsigned char* p) const
    {
        while (p > pFloor && m_bLead[p[-1]])
            --p;
        return p;
    }
    // Double-byte: whether the pattern fits before the line's terminator.
    bool FitsInLine(const unsigned char* p) const
    {
        for (int k = 0; k < m_nLength; ++k) {
            if (p[k] == 0)
                return false;
        }
        return true;
    }
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
    bool m_bLast[256] = {};         // and end with
    unsigned char m_fold[256] = {}; // single-byte: one value per class of equal bytes
    std::vector<unsigned char> m_folded;
    // The word scan: the first and last bytes repeated over a word, or all
    // high bits where more than two bytes can stand there.
    bool m_bWordScan = false;
    // Longer patterns skip instead: the byte at the window's far end says
    // how far the window can move without passing a match.
    bool m_bSkip = false;
    int m_nSkipForward[256] = {};   // by the window's last byte
    int m_nSkipBackward[256] = {};  // by its first byte
    bool m_bNever = false;
    // UTF-8: the bytes allowed at each position of a match, and each letter
    // of the pattern with its equal forms (all as long as it).
    bool m_bUtf8 = false;
    std::vector<bool> m_allowed;   // m_nLength rows of 256
    struct CLetter {
        int nBytes;
        std::vector<std::string> forms;
    };
    std::vector<CLetter> m_letters;
    bool m_bAsciiLetters = true;   // the allowed bytes alone decide
    Word m_wFirstA = 0, m_wFirstB = 0, m_wAnyFirst = 0;
    Word m_wLastA = 0, m_wLastB = 0, m_wAnyLast = 0;
};

CPatternScan::CPatternScan(const CString& strPattern, bool bUtf8)
    : m_pPattern(reinterpret_cast<const unsigned char*>(strPattern.GetString())),
      m_nLength(strPattern.GetLength()), m_nWhole(m_nLength), m_bUtf8(bUtf8)
{
    for (int b = 1; b < 256 && !m_bUtf8; ++b) {
        m_bLead[b] = _ismbblead(unsigned(b)) != 0;
        m_bDoubleByte = m_bDoubleByte || m_bLead[b];
    }
    if (m_bUtf8) {
        MakeUtf8Letters();
    } else if (m_bDoubleByte) {
        MakeDoubleByteEnds();
    } else {
        MakeFoldTable();
        for (int b = 1; b < 256; ++b) {
            m_bFirst[b] = m_fold[b] == m_folded[0];
            m_bLast[b] = m_fold[b] == m_folded[size_t(m_nLength - 1)];
        }
    }
    m_bNever = std::find(m_bFirst, m_bFirst + 256, true) == m_bFirst + 256
        || std::find(m_bLast, m_bLast + 256, true) == m_bLast + 256;
    WordForms(m_bFirst, &m_wFirstA, &m_wFirstB, &m_wAnyFirst);
    WordForms(m_bLast, &m_wLastA, &m_wLastB, &m_wAnyLast);
    m_bWordScan = m_wAnyFirst == 0 || m_wAnyLast == 0;
    m_bSkip = !m_bDoubleByte && m_nLength >= kSkipLength;
    if (m_bSkip)
        MakeSkipTables();
}

namespace {
std::string Utf8Of(unsigned u)
{
    char sz[4];
    int n;
    if (u < 0x80) {
        sz[0] = char(u);
        n = 1;
    } else if (u < 0x800) {
        sz[0] = char(0xC0 | (u >> 6));
        sz[1] = char(0x80 | (u & 0x3F));
        n = 2;
    } else {
        sz[0] = char(0xE0 | (u >> 12));
        sz[1] = char(0x80 | ((u >> 6) & 0x3F));
        sz[2] = char(0x80 | (u & 0x3F));
        n = 3;
    }
    return std::string(sz, size_t(n));
}

WCHAR Upper(WCHAR w)
{
    CharUpperBuffW(&w, 1);
    return w;
}

WCHAR Lower(WCHAR w)
{
    CharLowerBuffW(&w, 1);
    return w;
}
}

void CPatternScan::MakeUtf8Letters()
{
    m_allowed.assign(size_t(m_nLength) * 256, false);
    for (int i = 0; i < m_nLength;) {
        unsigned u = 0;
        int n = LetterWidth::Decode(m_pPattern + i, size_t(m_nLength - i), &u);
        CLetter letter;
        if (n == 0) {
            // Not a letter: only the byte itself.
            n = 1;
            letter.forms.push_back(std::string(1, char(m_pPattern[i])));
        } else {
            letter.forms.push_back(std::string(reinterpret_cast<const char*>(m_pPattern + i), size_t(n)));
            if (u < 0xD800 || (u > 0xDFFF && u <= 0xFFFF)) {
                // Its lower and upper case, and theirs, as long as it is:
                // the forms that fold to the same letter.
                const WCHAR w = WCHAR(u);
                const WCHAR up = Upper(w), low = Lower(w);
                for (WCHAR v : { up, low, Lower(up), Upper(low) }) {
                    std::string form = Utf8Of(v);
                    if (v >= 0xD800 && v <= 0xDFFF)
                        continue;
                    if (int(form.size()) == n && (Upper(v) == up || Lower(v) == low)
                        && std::find(letter.forms.begin(), letter.forms.end(), form) == letter.forms.end())
                        letter.forms.push_back(form);
                }
            }
        }
        letter.nBytes = n;
        if (n > 1)
            m_bAsciiLetters = false;
        for (const std::string& form : letter.forms) {
            for (int k = 0; k < n; ++k)
                m_allowed[size_t(i + k) * 256 + static_cast<unsigned char>(form[size_t(k)])] = true;
        }
        m_letters.push_back(letter);
        i += n;
    }
    for (int b = 1; b < 256; ++b) {
        m_bFirst[b] = m_allowed[size_t(b)];
        m_bLast[b] = m_allowed[size_t(m_nLength - 1) * 256 + size_t(b)];
    }
}

bool CPatternScan::MatchesUtf8At(const unsigned char* p) const
{
    // Position by position first, which decides alone for ASCII letters.
    for (int k = 1; k < m_nLength - 1; ++k) {
        if (!m_allowed[size_t(k) * 256 + p[k]])
            return false;
    }
    if (m_bAsciiLetters)
        return true;
    for (const CLetter& letter : m_letters) {
        bool bEqual = false;
        for (const std::string& form : letter.forms)
            bEqual = bEqual || memcmp(p, form.data(), form.size()) == 0;
        if (!bEqual)
            return false;
        p += letter.nBytes;
    }
    return true;
}

// A window may move on until a byte of the same class as the one at its
// far end lines up with the pattern; a class the pattern lacks moves it
// past that byte.
void CPatternScan::MakeSkipTables()
{
    int forward[256], backward[256];
    std::fill(forward, forward + 256, m_nLength);
    std::fill(backward, backward + 256, m_nLength);
    if (m_bUtf8) {
        // Each byte by the positions that allow it.
        for (int k = 0; k < m_nLength - 1; ++k)
            for (int b = 0; b < 256; ++b)
                if (m_allowed[size_t(k) * 256 + size_t(b)])
                    forward[b] = m_nLength - 1 - k;
        for (int k = m_nLength - 1; k >= 1; --k)
            for (int b = 0; b < 256; ++b)
                if (m_allowed[size_t(k) * 256 + size_t(b)])
                    backward[b] = k;
        std::copy(forward, forward + 256, m_nSkipForward);
        std::copy(backward, backward + 256, m_nSkipBackward);
        return;
    }
    for (int k = 0; k < m_nLength - 1; ++k)
        forward[m_folded[size_t(k)]] = m_nLength - 1 - k;
    for (int k = m_nLength - 1; k >= 1; --k)
        backward[m_folded[size_t(k)]] = k;
    for (int b = 0; b < 256; ++b) {
        m_nSkipForward[b] = forward[m_fold[b]];
        m_nSkipBackward[b] = backward[m_fold[b]];
    }
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
// to one are itself and its lower and upper case. A match lines its
// characters up with the pattern's, so it begins with a character equal to
// the pattern's first and ends with one equal to its last.
void CPatternScan::MakeDoubleByteEnds()
{
    int i = 0;
    int nLastChar = 0;
    while (i < m_nLength) {
        nLastChar = i;
        i += m_bLead[m_pPattern[i]] && i + 1 < m_nLength ? 2 : 1;
    }
    if (m_bLead[m_pPattern[nLastChar]] && nLastChar == m_nLength - 1)
        m_nWhole = nLastChar;
    MarkEqualCharacters(m_pPattern, m_nWhole == 0, m_bFirst, false);
    MarkEqualCharacters(m_pPattern + nLastChar, m_nWhole < m_nLength, m_bLast, true);
}

// Marks in pTable the bytes that begin (or with bTrail end) a character
// equal to the one at pChar; a lone lead byte only as it stands.
void CPatternScan::MarkEqualCharacters(const unsigned char* pChar, bool bLone, bool* pTable, bool bTrail)
{
    const unsigned char b = pChar[0];
    if (bLone) {
        pTable[b] = true;
        return;
    }
    if (!m_bLead[b]) {
        for (int x = 1; x < 256; ++x)
            pTable[x] = !m_bLead[x] && CompareBytes(static_cast<unsigned char>(x), b) == 0;
        return;
    }
    pTable[bTrail ? pChar[1] : b] = true;
    const unsigned int c = unsigned(b) << 8 | pChar[1];
    const unsigned char ch[3] = { b, pChar[1], 0 };
    for (unsigned int other : { _mbctolower(c), _mbctoupper(c) }) {
        const unsigned char lead = static_cast<unsigned char>(other >> 8);
        const unsigned char trail = static_cast<unsigned char>(other);
        const unsigned char two[3] = { lead, trail, 0 };
        if (other > 0xFF && m_bLead[lead] && trail != 0 && CompareChars(two, ch, 2) == 0)
            pTable[bTrail ? trail : lead] = true;
    }
}

bool CPatternScan::MatchesAt(const unsigned char* p) const
{
    if (m_bUtf8)
        return MatchesUtf8At(p);
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

int CPatternScan::PrevCandidate(const unsigned char* p, int nFrom, int nEnd) const
{
    int i = nEnd;
    if (m_bWordScan) {
        while (i - kWordBytes >= nFrom && !WordHasCandidate(p + i - kWordBytes))
            i -= kWordBytes;
    }
    for (; i > nFrom; --i) {
        if (IsCandidate(p + i - 1))
            return i - 1;
    }
    return -1;
}

const unsigned char* CPatternScan::Forward(const unsigned char* pLine, const unsigned char* pFrom,
                                           const unsigned char* pEnd)
{
    if (m_bNever)
        return nullptr;
    if (pEnd - pFrom < m_nLength)
        return nullptr;
    const int nLast = int(pEnd - pFrom) - m_nLength;
    if (m_bDoubleByte) {
        // A character's start at or before every candidate still to come:
        // each byte is read back at most once.
        const unsigned char* pKnown = pLine;
        for (int c = NextCandidate(pFrom, 0, nLast + 1); c >= 0; c = NextCandidate(pFrom, c + 1, nLast + 1)) {
            const unsigned char* q = pFrom + c;
            const bool bStarts = (q - LeadRunStart(pKnown, q)) % 2 == 0;
            pKnown = bStarts ? q : q + 1;
            if (bStarts && FitsInLine(q) && MatchesAt(q))
                return q;
        }
        return nullptr;
    }
    CStrategy strategy(m_bSkip);
    for (int c = 0; c <= nLast;) {
        const int nEnd = std::min(nLast + 1, c + kStretch);
        if (strategy.bSkip) {
            const int nStart = c;
            int nSteps = 0;
            for (; c < nEnd; c += m_nSkipForward[pFrom[c + m_nLength - 1]], ++nSteps) {
                if (IsCandidate(pFrom + c) && MatchesAt(pFrom + c))
                    return pFrom + c;
            }
            strategy.Skipped(c - nStart, nSteps);
        } else {
            for (c = NextCandidate(pFrom, c, nEnd); c >= 0; c = NextCandidate(pFrom, c + 1, nEnd)) {
                if (MatchesAt(pFrom + c))
                    return pFrom + c;
            }
            c = nEnd;
            strategy.Scanned();
        }
    }
    return nullptr;
}

const unsigned char* CPatternScan::Backward(const unsigned char* pBegin, const unsigned char* pLine, int nLimit)
{
    if (m_bNever)
        return nullptr;
    // Every byte read lies before the end of the line pLine: a match
    // begins at most at its length - n.
    const int nEnd = int(pLine - pBegin) + nLimit;
    if (m_bDoubleByte) {
        // The run of lead bytes last read back reaches from pRun to a
        // later candidate: the ones inside it need no reading again.
        const unsigned char* pRun = nullptr;
        for (int c = PrevCandidate(pBegin, 0, nEnd); c >= 0; c = PrevCandidate(pBegin, 0, c)) {
            const unsigned char* q = pBegin + c;
            if (!pRun || q < pRun)
                pRun = LeadRunStart(pBegin, q);
            if ((q - pRun) % 2 == 0 && FitsInLine(q) && MatchesAt(q))
                return q;
        }
        return nullptr;
    }
    CStrategy strategy(m_bSkip);
    // c is the last column still to look at.
    for (int c = nEnd - 1; c >= 0;) {
        const int nStop = std::max(0, c - kStretch + 1);
        if (strategy.bSkip) {
            const int nStart = c;
            int nSteps = 0;
            for (; c >= nStop; c -= m_nSkipBackward[pBegin[c]], ++nSteps) {
                if (IsCandidate(pBegin + c) && MatchesAt(pBegin + c))
                    return pBegin + c;
            }
            strategy.Skipped(nStart - c, nSteps);
        } else {
            for (c = PrevCandidate(pBegin, nStop, c + 1); c >= 0; c = PrevCandidate(pBegin, nStop, c)) {
                if (MatchesAt(pBegin + c))
                    return pBegin + c;
            }
            c = nStop - 1;
            strategy.Scanned();
        }
    }
    return nullptr;
}

} // namespace

const unsigned char* CTextFinder::StartLine(ILineSource& source, bool bForward)
{
    // Any negative index means "no position"; a column below -1 would read
    // before the line.
    if (m_nLine < 0) {
        m_nLine = bForward ? source.FirstLine() : source.LastLine();
        m_nColumn = -1;
    }
    if (m_nColumn < -1)
        m_nColumn = -1;
    return reinterpret_cast<const unsigned char*>(source.GetLine(m_nLine));
}

bool CTextFinder::SearchForward(ILineSource& source)
{
    if (m_strPattern.IsEmpty())
        return false;
    const unsigned char* pLine = StartLine(source, true);
    if (pLine) {
        // The lines from here to the last one the search may look at.
        const int nLast = std::max(m_nLine, source.LastLine());
        const char* pAfter = nLast < INT_MAX ? source.GetLine(nLast + 1) : nullptr;
        const unsigned char* pEnd = reinterpret_cast<const unsigned char*>(pAfter ? pAfter : source.EndOfLines());
        // The line may have shrunk (a backspace in continued output) since
        // the last match: nothing of it is left after that.
        const int nLength = int(strlen(reinterpret_cast<const char*>(pLine)));
        CPatternScan scan(m_strPattern, m_bUtf8);
        const unsigned char* pMatch = scan.Forward(pLine, pLine + std::min(m_nColumn + 1, nLength), pEnd);
        if (pMatch) {
            m_nLine += CountTerminators(pLine, pMatch);
            m_nColumn = int(pMatch - LineStart(pLine, pMatch));
            return true;
        }
    }
    Forget();
    return false;
}

bool CTextFinder::SearchBackward(ILineSource& source)
{
    if (m_strPattern.IsEmpty())
        return false;
    const unsigned char* pLine = StartLine(source, false);
    if (pLine) {
        const int nStart = int(strlen(reinterpret_cast<const char*>(pLine))) - m_strPattern.GetLength() + 1;
        // The last line can shrink (a backspace in continued output) after
        // the match was found: never start past where a match can begin.
        if (m_nColumn == -1 || m_nColumn > nStart)
            m_nColumn = nStart;
        // Back to the first line the search may look at, which is a line
        // that exists: it is no further than this one.
        const int nFirst = std::max(0, std::min(m_nLine, source.FirstLine()));
        const unsigned char* pBegin = reinterpret_cast<const unsigned char*>(source.GetLine(nFirst));
        CPatternScan scan(m_strPattern, m_bUtf8);
        const unsigned char* pMatch = scan.Backward(pBegin, pLine, m_nColumn);
        if (pMatch) {
            m_nLine -= CountTerminators(pMatch, pLine);
            m_nColumn = int(pMatch - LineStart(pBegin, pMatch));
            return true;
        }
    }
    Forget();
    return false;
}
