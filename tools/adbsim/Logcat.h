#pragma once

#include <string>

class CAdbServer;

// Plausible device log lines in logcat's "threadtime" form:
//   MM-DD HH:MM:SS.mmm  PID  TID L TAG     : message
class CLogcatFeed
{
public:
    CLogcatFeed();

    // The next line, with its LF, stamped with the current local time.
    std::string NextLine();

    // The endless stream: a line every few milliseconds until writing fails
    // (the reader has gone) or the process is killed. Returns the exit code.
    int RunEndless(CAdbServer* pServer);

    // What "logcat -d" gives: a buffer's worth of lines, then the end.
    int RunDump(unsigned nLines);

private:
    unsigned m_nCount;
};
