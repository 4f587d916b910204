#include "process/OutputDecoder.h"

#include "process/Utf8Conv.h"

namespace {

const char CR = '\r';
const char LF = '\n';
// A line cut from one full chunk never holds more bytes than the chunk.
const size_t kLineReserve = 131072 + 4;

bool IsContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The n bytes at p are only CRs, too few to tell which break they start:
// more bytes may still make them CR LF, CR CR LF or CR CR CR LF.
bool IsOpenBreak(const char* p, size_t n)
{
    if (n >= 4)
        return false;
    for (size_t k = 0; k < n; k++)
        if (p[k] != CR)
            return false;
    return true;
}

// The n bytes at p are the valid start of a sequence that needs more bytes.
bool IsOpenSequence(const char* p, size_t n)
{
    unsigned char c = static_cast<unsigned char>(p[0]);
    if ((c & 0xE0) == 0xC0)
        return n == 1;
    if ((c & 0xF0) == 0xE0)
        return n == 1 || (n == 2 && IsContinuation(p[1]));
    if (c >= 0xF0 && c <= 0xF4)
        return n == 1 || (n == 2 && IsContinuation(p[1]))
               || (n == 3 && IsContinuation(p[1]) && IsContinuation(p[2]));
    return false;
}

// How many bytes from p on stand for themselves: no break, no zero, and
// in UTF-8 nothing beyond ASCII.
size_t PlainRun(const char* p, size_t n, bool bUtf8)
{
    size_t k = 0;
    for (; k < n; k++) {
        const unsigned char c = static_cast<unsigned char>(p[k]);
        if (c == CR || c == LF || c == 0 || (bUtf8 && c >= 0x80))
            break;
    }
    return k;
}
}

COutputDecoder::COutputDecoder()
{
    m_strLine.reserve(kLineReserve);
}

int COutputDecoder::BreakLength(const char* p, DWORD n)
{
    if (n == 0)
        return 0;
    if (p[0] == LF)
        return 1;
    if (p[0] != CR)
        return 0;
    if (n > 1 && p[1] == LF)
        return 2;
    if (n > 2 && p[1] == CR && p[2] == LF)
        return 3;
    if (n > 3 && p[1] == CR && p[2] == CR && p[3] == LF)
        return 4;
    return 1;
}

void COutputDecoder::Reset()
{
    m_strCarry.clear();
    m_bCrLinePrinted = false;
}

bool COutputDecoder::HasPendingOutput() const
{
    // A single CR whose line is out already gives nothing more.
    return !m_strCarry.empty() && !(m_bCrLinePrinted && m_strCarry.size() == 1);
}

bool COutputDecoder::EndsInLeadByte()
{
    if (m_nLeadsOf != m_nByteCodePage) {
        m_nLeadsOf = m_nByteCodePage;
        CPINFO info = {};
        m_bDoubleByte = GetCPInfo(m_nByteCodePage, &info) && info.MaxCharSize == 2;
        for (int b = 0; b < 256; ++b)
            m_bLead[b] = m_bDoubleByte && b >= 0x80 && IsDBCSLeadByteEx(m_nByteCodePage, static_cast<unsigned char>(b));
    }
    if (!m_bDoubleByte)
        return false;
    // The line begins on a character. A byte that is no lead byte ends a
    // character, so characters begin after the last such byte and at every
    // second byte from there: an odd run of lead bytes at the end leaves
    // its last one alone.
    size_t nRun = 0;
    for (size_t k = m_strLine.size(); k > 0 && m_bLead[static_cast<unsigned char>(m_strLine[k - 1])]; --k)
        ++nRun;
    return nRun % 2 == 1;
}

bool COutputDecoder::Decode(const char* p, DWORD n, bool bUtf8, const std::atomic<bool>& bAbort,
                            IOutputSink& sink, bool bFinal)
{
    CUtf8Conv conv(m_nCodePage);
    bUtf8 = bUtf8 || CUtf8Conv::IsUtf8(m_nByteCodePage);
    m_strLine.clear();
    // What is carried comes first. An item that starts in it is read from a
    // joined copy of it and the chunk's first bytes; an item is at most four
    // bytes long, so the copy always holds all of it.
    const size_t nCarry = m_strCarry.size();
    char head[8];
    size_t nHead = 0;
    for (char c : m_strCarry)
        head[nHead++] = c;
    for (DWORD k = 0; k < n && nHead < sizeof(head); k++)
        head[nHead++] = p[k];
    const size_t nTotal = nCarry + n;
    bool bLinePrinted = m_bCrLinePrinted;
    Reset();

    size_t i = 0;
    while (i < nTotal) {
        const char* q = i < nCarry ? head + i : p + (i - nCarry);
        const size_t nAvail = i < nCarry ? nHead - i : nTotal - i;
        const char c = *q;
        if (c == CR || c == LF) {
            if (!bFinal && IsOpenBreak(q, nAvail)) {
                // The line ends here whatever follows: out with it now, so
                // that a progress counter does not wait for the next chunk.
                if (!bLinePrinted)
                    sink.OnLine(m_strLine.c_str(), int(m_strLine.size()), false);
                m_strLine.clear();
                m_strCarry.assign(q, nAvail);
                m_bCrLinePrinted = true;
                break;
            }
            if (!bLinePrinted)
                sink.OnLine(m_strLine.c_str(), int(m_strLine.size()), false);
            m_strLine.clear();
            i += size_t(BreakLength(q, DWORD(nAvail)));
        } else if (size_t nRun = i >= nCarry ? PlainRun(q, nAvail, bUtf8) : 0) {
            // Most output is runs of plain letters: they go in whole.
            m_strLine.append(q, nRun);
            i += nRun;
        } else if (c == '\0') {
            i++;
        } else if (bUtf8) {
            if (!bFinal && IsOpenSequence(q, nAvail)) {
                m_strCarry.assign(q, nAvail);
                break;
            }
            char ch[4];
            m_strLine.append(ch, size_t(conv.ToNarrowChar(q, nAvail, ch)));
            i += size_t(conv.m_nLength);
        } else {
            m_strLine += c;
            i++;
        }
        bLinePrinted = false;
        if (bAbort) {
            Reset();
            return false;
        }
    }
    if (!bUtf8 && !bFinal && m_strCarry.empty() && !m_strLine.empty() && EndsInLeadByte()) {
        m_strCarry.assign(1, m_strLine.back());
        m_strLine.pop_back();
    }
    if (!m_strLine.empty())
        sink.OnLine(m_strLine.c_str(), int(m_strLine.size()), true);
    return true;
}
