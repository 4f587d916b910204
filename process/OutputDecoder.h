#pragma once
// COutputDecoder cuts a chunk of child output into lines. A chunk may end in
// the middle of a line or of a UTF-8 sequence; nothing is carried over to
// the next chunk: the unfinished last line goes to the sink marked as such,
// and the console continues it with the next chunk's first text.
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

    // Hands every finished line of the n bytes at p to the sink, then the
    // unfinished rest if it is not empty. With bUtf8 the bytes are UTF-8 and
    // become characters of the OEM code page. NUL bytes are dropped. Returns
    // false when bAbort stopped it; the unfinished line is then dropped.
    // One decoder serves one thread at a time: its line buffer is reused.
    bool Decode(const char* p, DWORD n, bool bUtf8, const std::atomic<bool>& bAbort, IOutputSink& sink);

    // Bytes of the line break at p (CR LF, CR CR LF, CR CR CR LF, a lone CR
    // or LF), looking no further than the n bytes there; 0 if p is no break.
    static int BreakLength(const char* p, DWORD n);

private:
    std::string m_strLine;
};
