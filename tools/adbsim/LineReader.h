#pragma once

#include <windows.h>

#include <string>

// Reads standard input line by line. A line ends at LF; a CR just before the
// LF is dropped, so both Windows and Unix line ends are accepted. The last
// line may lack its LF. Lines longer than the limit come out in pieces of
// the limit's size, so a reader that never sends LF cannot exhaust memory.
class CLineReader
{
public:
    static const size_t kMaxLine = 1 << 20;

    explicit CLineReader(HANDLE hInput);
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;

    // False at the end of input (or when reading fails) with no text left.
    bool ReadLine(std::string& strLine);

private:
    bool Fill();

    HANDLE m_hInput;
    char m_buffer[4096];
    DWORD m_nHave;
    DWORD m_nPos;
    bool m_bEnd;
};
