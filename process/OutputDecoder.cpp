#include "process/OutputDecoder.h"

#include "process/Utf8Conv.h"

namespace {

const char CR = '\r';
const char LF = '\n';
// A line cut from one full chunk never holds more bytes than the chunk.
const size_t kLineReserve = 131072 + 4;

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

bool COutputDecoder::Decode(const char* p, DWORD n, bool bUtf8, const std::atomic<bool>& bAbort,
                            IOutputSink& sink)
{
    CUtf8Conv conv;
    m_strLine.clear();
    DWORD i = 0;
    while (i < n) {
        char c = p[i];
        if (int nBreak = BreakLength(p + i, n - i)) {
            sink.OnLine(m_strLine.c_str(), int(m_strLine.size()), false);
            m_strLine.clear();
            i += DWORD(nBreak);
        } else if (c == '\0') {
            i++;
        } else if (bUtf8) {
            if (char ch = conv.ToNarrow(p + i, n - i))
                m_strLine += ch;
            i += DWORD(conv.m_nLength);
        } else {
            m_strLine += c;
            i++;
        }
        if (bAbort)
            return false;
    }
    if (!m_strLine.empty())
        sink.OnLine(m_strLine.c_str(), int(m_strLine.size()), true);
    return true;
}
