#pragma once

#include <string>
#include <vector>

class CAdbServer;

// The simulated device's shell: a handful of commands with the texts and
// exit codes that an Android shell gives. In terminal mode (the interactive
// shell, which a real device runs on a terminal) everything goes to
// standard output with CR LF line ends; otherwise the output has the
// device's bare LF and error texts go to standard error.
class CDeviceShell
{
public:
    explicit CDeviceShell(bool bTerminal);
    CDeviceShell(const CDeviceShell&) = delete;
    CDeviceShell& operator=(const CDeviceShell&) = delete;

    // Runs one command line and returns its exit code.
    int Run(const std::string& strLine);

    // The interactive session on standard input: prompt, line, answer, until
    // "exit" or the end of input. Each line counts as a use of the server
    // when one is given. Returns the session's exit code.
    int RunInteractive(CAdbServer* pServer);

    bool ExitRequested() const { return m_bExit; }
    std::string Prompt() const;
    const std::string& WorkingFolder() const { return m_strCwd; }

    // Splits a command line into words: blanks and tabs separate, single
    // quotes keep everything, double quotes and backslashes work as in a
    // POSIX shell. False on an unterminated quote.
    static bool SplitWords(const std::string& strLine, std::vector<std::string>& words);

    // The absolute, normalised form of a path seen from strCwd.
    static std::string ResolvePath(const std::string& strCwd, const std::string& strPath);

private:
    typedef std::vector<std::string> Words;

    void Out(const std::string& str);
    void Err(const std::string& str);
    int NotFound(const std::string& strName);

    int Echo(const Words& words);
    int List(const Words& words);
    int ChangeFolder(const Words& words);
    int ShowProperty(const Words& words);
    int PackageManager(const Words& words);
    int ListPackages(const Words& words);
    int Exit(const Words& words);
    // DeviceSleep.cpp
    int Sleep(const Words& words);

    bool m_bTerminal;
    bool m_bExit;
    bool m_bBroken;
    int m_nLastCode;
    std::string m_strCwd;
};
