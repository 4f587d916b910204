#pragma once
// The screen's text as Ctrl + middle click copies it: lines separated by
// CR LF, each line's colour code shown as its first
// character ("!" error, "." information, ">" echo).
#include <string>
#include <vector>

typedef std::vector<std::string> ScreenLines;

ScreenLines SplitScreenText(const std::string& strText);

// An exit line ".#<run> ExitCode: <code>".
struct ExitLineInfo {
    int nRun = -1;
    std::string strCode;
};
bool ParseExitLine(const std::string& strLine, ExitLineInfo& info);

// Index of the first line at or after nFrom that equals strLine; -1 if none.
int FindLine(const ScreenLines& lines, const std::string& strLine, int nFrom = 0);
// The same for the first line that begins with strPrefix.
int FindLineStarting(const ScreenLines& lines, const std::string& strPrefix, int nFrom = 0);
// Index of the first exit line at or after nFrom; -1 if none.
int FindExitLine(const ScreenLines& lines, int nFrom = 0, ExitLineInfo* pInfo = nullptr);
// The lines without adb's notes about starting its background server
// ("* daemon ..."), which come whenever the server had ended meanwhile.
ScreenLines WithoutServerNotes(const ScreenLines& lines);
// The lines joined with line feeds, for failure messages.
std::string Describe(const ScreenLines& lines);
