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

class CCommandInterpreter {
public:
    explicit CCommandInterpreter(CMainWnd* pOwner);

    // Trims the line and puts the prefixes in front; false: nothing to run.
    bool Prepare(CString& strLine);
    void Execute(CString& strLine, bool bSync);
    void RunDir(CString& strLine);
    void ChangeDirectory(CString& strLine);
    void RunAdb(CString& strLine, bool bSync);
    void StartShell();
    // Esc, quit and window destruction: command, shell, batch.
    void AbortAll();
    void PrintHelp();
    // The system's text for the calling thread's last error, as an error line.
    void ReportLastError();

    static CString FirstWord(const CString& strLine);
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

private:
    // A batch of many lcd lines would otherwise nest one lcd inside the
    // next: the outermost lcd asks for the next line again for the inner ones.
    bool m_bSendingBatchNext = false;
    bool m_bBatchNextWanted = false;
};
