#pragma once
// CCommandInterpreter: what a typed line means. Words go to adb behind the
// prefix of the current mode; dir and lcd are local; shell, pm and exit
// switch modes; while the interactive shell runs, lines go to its input.
#include <windows.h>

#include "framework/String.h"
#include "process/ProcessRunner.h"

class CMainWnd;

enum CommandMode {
    ModeAdb = 0,
    ModeShell = 1,
    ModePm = 2,
};

// Where a prepared line goes. Prepare decides it once, so that a shell that
// ends meanwhile cannot turn a line meant for it into a program to start.
enum LineRoute {
    RouteNowhere,   // nothing to run (empty line, mode word)
    RouteLocal,     // dir or lcd
    RouteShell,     // input for the running interactive shell
    RouteCommand,   // a child on the command runner
};

class CCommandInterpreter {
public:
    explicit CCommandInterpreter(CMainWnd* pOwner);

    // Trims the line, puts the prefixes in front and decides where it goes.
    LineRoute Prepare(CString& strLine);
    // nCodePage is the code page of the line's text: what reaches the
    // system (a folder, a command line) has the letters that were typed.
    void Execute(CString& strLine, bool bSync, LineRoute route, UINT nCodePage = CP_ACP);
    void RunDir(CString& strLine, UINT nCodePage = CP_ACP);
    void ChangeDirectory(CString& strLine, UINT nCodePage = CP_ACP);
    void RunAdb(CString& strLine, bool bSync, UINT nCodePage = CP_ACP);
    // The interactive shell, on the device that strDeviceArgs names (the
    // chosen one when none is given).
    void StartShell();
    void StartShell(const CString& strDeviceArgs);
    // Esc, quit and window destruction: command, shell, batch.
    void AbortAll();
    void PrintHelp();
    // The system's text for the calling thread's last error, as an error line.
    void ReportLastError();

    static CString FirstWord(const CString& strLine);
    // A line that names a device and then only "shell" ('-s SERIAL shell',
    // '-t ID shell', '-d shell', '-e shell'); strArgs gets the device words
    // with a blank in front.
    static bool IsDeviceShell(const CString& strLine, CString& strArgs);
    // Whether the words begin with adb's device option (-s, -t, -d, -e).
    static bool NamesDevice(const CString& strWords);
    // Whether the adb command line needs adb's server (all but version,
    // help and kill-server).
    static bool NeedsServer(const CString& strCommand);
    bool IsShellRunning() const { return m_shellRunner.IsRunning(); }
    const char* GetPrompt() const { return PromptOf(m_mode); }
    static const char* PromptOf(CommandMode mode);
    // The widest prompt, measured on the panel's device context.
    int GetPromptWidth(HWND hPanel) const;

    CMainWnd* m_pOwner;
    CProcessRunner m_cmdRunner;
    CProcessRunner m_shellRunner;
    CommandMode m_mode = ModeAdb;
    CString m_strAdbDir;
    // " -s SERIAL" (or " -t ID") for the chosen device, in the code page of
    // the line in hand; empty without a choice. Goes right after "adb".
    CString m_strDeviceArgs;

private:
    // A start that the runner refused (it still runs a child) is said on the
    // screen and ends a batch, so that no line is lost without a word.
    void StartRefused();

    // A batch of many lcd lines would otherwise nest one lcd inside the
    // next: the outermost lcd asks for the next line again for the inner ones.
    bool m_bSendingBatchNext = false;
    bool m_bBatchNextWanted = false;
};
