#pragma once
// COutputDecoder cuts a run's output, chunk by chunk, into lines, as if the
// chunks were one stream. A chunk may end inside a line, inside a line
// break or inside a UTF-8 sequence. The unfinished last line goes to the
// sink at once, marked as such, and the console continues it with the next
// chunk's first text. A line break that the chunk's end may still cut
// short (trailing CRs, which an LF in the next chunk may complete) and an
// unfinished UTF-8 sequence are carried to the next chunk; the line that
// such a CR ends is handed over at once all the same. So is the lead byte
// of a double-byte character that the chunk's end parts from its second
// byte, in output that is not UTF-8.
#include <windows.h>
#include <atomic>
#include <string>

class IOutputSink {
public:
    // pszLine is zero-terminated and holds no NUL; nLength is its length.
    // bUnfinished marks the last text of a chunk that had no line break yet.
    virtual void OnLine(const char* pszLine, int nLength, bool bUnfinished) = 0;

protected:
    ~IOutputSink() = default;
};

class COutputDecoder {
public:
    COutputDecoder();
    COutputDecoder(const COutputDecoder&) = delete;
    COutputDecoder& operator=(const COutputDecoder&) = delete;

    // Hands every finished line of what is carried and the n bytes at p to
    // the sink, then the unfinished rest if it is not empty. With bUtf8 the
    // bytes are UTF-8 and become characters of m_nCodePage. NUL bytes
    // are dropped. bFinal marks the end of the stream: nothing is carried
    // further, and a sequence that was never finished gives a '?' per byte.
    // Returns false when bAbort stopped it; the unfinished line and what is
    // carried are then dropped. One decoder serves one stream at a time.
    bool Decode(const char* p, DWORD n, bool bUtf8, const std::atomic<bool>& bAbort, IOutputSink& sink,
                bool bFinal = false);

    // Forgets what is carried, for a new stream.
    void Reset();
    // Whether a final Decode would still hand something to the sink.
    bool HasPendingOutput() const;

    // Bytes of the line break at p (CR LF, CR CR LF, CR CR CR LF, a lone CR
    // or LF), looking no further than the n bytes there; 0 if p is no break.
    static int BreakLength(const char* p, DWORD n);

    // The code page that UTF-8 output is decoded into: the ANSI code page,
    // in which the screen keeps its text, so that no letter it has is lost
    // on the way.
    UINT m_nCodePage = CP_ACP;
    // The code page of output that is not UTF-8: the OEM code page, in
    // which console programs (the command processor's dir) write. When it
    // is UTF-8 itself (the system code page 65001), that output is decoded
    // as UTF-8 too.
    UINT m_nByteCodePage = CP_OEMCP;

private:
    // Whether m_strLine ends in the lead byte of a double-byte character
    // whose second byte has not come yet.
    bool EndsInLeadByte();

    // Lead bytes of m_nByteCodePage, taken when it changes.
    bool m_bLead[256] = {};
    bool m_bDoubleByte = false;
    UINT m_nLeadsOf = UINT(-1);

    std::string m_strLine;
    // At most three bytes: CRs whose break is not known yet, the start of
    // a UTF-8 sequence (of at most four bytes) or a lead byte.
    std::string m_strCarry;
    // The carried CRs begin with the break of a line already handed over.
    bool m_bCrLinePrinted = false;
};
