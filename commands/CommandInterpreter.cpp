#include "commands/CommandInterpreter.h"

#include <cstring>
#include <vector>

#include "app/Busy.h"
#include "app/MainWnd.h"
#include "process/Utf8Conv.h"

namespace {
const char kAbortFormat[] = "%cAbort %s";

bool IsWord(const CString& s, const char* pszWord)
{
    return s.CompareNoCase(pszWord) == 0;
}

// The current folder in the ANSI code page, in which the screen keeps it:
// through the OEM code page, letters that it lacks would be lost. The ANSI
// call fails for a folder longer than MAX_PATH, the wide one does not.
bool CurrentFolderAnsi(CString& strDir)
{
    DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        return false;
    std::vector<wchar_t> wide(n + 1);
    DWORD got = ::GetCurrentDirectoryW(n + 1, wide.data());
    if (got == 0)
        return false;
    if (got > n) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    int m = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), int(got), nullptr, 0, nullptr, nullptr);
    if (m <= 0)
        return false;
    std::vector<char> ansi(size_t(m) + 1);
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), int(got), ansi.data(), m, nullptr, nullptr);
    strDir = CString(ansi.data(), m);
    return true;
}

// Enters the folder whose name is in the given code page, through the wide
// call, so that the letters the user typed are the ones the system sees.
bool SetFolder(const CString& strDir, UINT nCodePage)
{
    int n = ::MultiByteToWideChar(nCodePage, 0, strDir.GetString(), strDir.GetLength(), nullptr, 0);
    if (n <= 0)
        return false;
    std::vector<wchar_t> wide(size_t(n) + 1, L'\0');
    ::MultiByteToWideChar(nCodePage, 0, strDir.GetString(), strDir.GetLength(), wide.data(), n);
    return ::SetCurrentDirectoryW(wide.data()) != FALSE;
}
// A folder in double quotes (as a dropped folder arrives, and as cmd takes
// a name with blanks) is the folder inside them; what follows the closing
// quote may only be blanks.
void UnquoteFolder(CString& strDir)
{
    if (strDir.GetLength() < 2 || strDir[0] != '"')
        return;
    int nClose = strDir.Find('"', 1);
    if (nClose < 0)
        return;
    CString rest = strDir.Mid(nClose + 1);
    if (!rest.TrimLeft().IsEmpty())
        return;
    strDir = strDir.Mid(1, nClose - 1);
}
}

CCommandInterpreter::CCommandInterpreter(CMainWnd* pOwner)
    : m_pOwner(pOwner), m_cmdRunner(pOwner, false), m_shellRunner(pOwner, true)
{
}

const char* CCommandInterpreter::PromptOf(CommandMode mode)
{
    switch (mode) {
    case ModeShell: return "adb shell ";
    case ModePm: return "adb shell pm ";
    default: return "adb ";
    }
}

CString CCommandInterpreter::FirstWord(const CString& strLine)
{
    int i = strLine.Find(' ');
    return i < 0 ? strLine : strLine.Left(i);
}

namespace {
// The next word from p on, a word in double quotes taken whole with its
// quotes; p moves past it. Empty at the end of the text or at an
// unfinished quote.
CString NextWord(const char*& p)
{
    while (*p == ' ' || *p == '\t')
        ++p;
    const char* pStart = p;
    if (*p == '"') {
        const char* pClose = strchr(p + 1, '"');
        if (!pClose)
            return CString();
        p = pClose + 1;
    } else {
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    return CString(pStart, int(p - pStart));
}
}

bool CCommandInterpreter::NamesDevice(const CString& strWords)
{
    const char* p = strWords.GetString();
    CString word = NextWord(p);
    return word == "-s" || word == "-t" || word == "-d" || word == "-e";
}

bool CCommandInterpreter::IsDeviceShell(const CString& strLine, CString& strArgs)
{
    strArgs.Empty();
    const char* p = strLine.GetString();
    for (;;) {
        CString word = NextWord(p);
        if (word == "-d" || word == "-e") {
            strArgs += " " + word;
        } else if (word == "-s" || word == "-t") {
            CString value = NextWord(p);
            if (value.IsEmpty() || value == "\"\"")
                return false;
            strArgs += " " + word + " " + value;
        } else {
            CString rest(p);
            return IsWord(word, "shell") && rest.Trim().IsEmpty() && !strArgs.IsEmpty();
        }
    }
}

bool CCommandInterpreter::NeedsServer(const CString& strCommand)
{
    const char* p = strCommand.GetString();
    // Past the program (which may have a folder in front), then its options.
    CString word = NextWord(p);
    for (;;) {
        word = NextWord(p);
        if (word == "-s" || word == "-t" || word == "-P" || word == "-H" || word == "-L")
            NextWord(p);
        else if (!(word == "-d" || word == "-e" || word == "-a"))
            break;
    }
    return !(word.IsEmpty() || IsWord(word, "version") || IsWord(word, "--version") || IsWord(word, "help") ||
             IsWord(word, "kill-server"));
}

LineRoute CCommandInterpreter::Prepare(CString& strLine)
{
    strLine.Trim();
    if (strLine.IsEmpty())
        return RouteNowhere;
    CString first = FirstWord(strLine);
    if (IsWord(first, "dir") || IsWord(first, "lcd"))
        return RouteLocal;
    if (IsShellRunning())
        return RouteShell;
    if (IsWord(first, "adb")) {
        if (!NamesDevice(strLine.Mid(first.GetLength())))
            strLine.Insert(first.GetLength(), m_strDeviceArgs);
        strLine.Insert(0, m_strAdbDir);
        return RouteCommand;
    }
    if (IsWord(strLine, "exit")) {
        m_mode = ModeAdb;
        return RouteNowhere;
    }
    if (m_mode == ModeAdb) {
        if (IsWord(strLine, "shell")) {
            StartShell();
            return RouteNowhere;
        }
        if (IsWord(strLine, "pm")) {
            m_mode = ModePm;
            return RouteNowhere;
        }
        CString args;
        if (IsDeviceShell(strLine, args)) {
            StartShell(args);
            return RouteNowhere;
        }
    }
    // A device the user names in the line wins over the chosen one.
    bool bOwnDevice = m_mode == ModeAdb && NamesDevice(strLine);
    strLine.Insert(0, GetPrompt());
    if (!bOwnDevice)
        strLine.Insert(3, m_strDeviceArgs);   // after "adb"
    strLine.Insert(0, m_strAdbDir);
    return RouteCommand;
}

void CCommandInterpreter::Execute(CString& strLine, bool bSync, LineRoute route, UINT nCodePage)
{
    switch (route) {
    case RouteNowhere:
        break;
    case RouteLocal:
        if (IsWord(FirstWord(strLine), "dir"))
            RunDir(strLine, nCodePage);
        else
            ChangeDirectory(strLine, nCodePage);
        break;
    case RouteShell: {
        // Written to a shell that has ended meanwhile, the line is dropped
        // with the rest of its input; it never starts a program.
        bool bExit = IsWord(strLine, "exit");
        if (m_shellRunner.m_bUtf8) {
            CUtf8Conv conv(nCodePage);
            conv.ToUtf8(strLine);
        }
        m_shellRunner.WriteLine(strLine);
        if (bExit)
            m_mode = ModeAdb;
        if (m_pOwner->m_hWnd)
            ::SendMessageA(m_pOwner->m_hWnd, UM_COMMANDDONE, 0, 0);
        break;
    }
    case RouteCommand:
        RunAdb(strLine, bSync, nCodePage);
        break;
    }
}

void CCommandInterpreter::StartRefused()
{
    CConsoleView& view = m_pOwner->m_view;
    view.PrintF("%cNot started: a command is still running", CODE_ERROR);
    if (m_pOwner->m_batch.IsActive()) {
        m_pOwner->m_batch.Stop();
        view.PrintF(kAbortFormat, CODE_ERROR, "batch");
    }
    if (view.m_hWnd)
        view.Invalidate(TRUE);
}

void CCommandInterpreter::RunDir(CString& strLine, UINT nCodePage)
{
    strLine.Delete(0, 3);
    strLine.Insert(0, "cmd /c dir");
    if (m_cmdRunner.IsRunning()) {
        StartRefused();
    } else {
        // The command processor writes the OEM code page.
        m_cmdRunner.m_bUtf8 = false;
        m_cmdRunner.Start(strLine, nCodePage);
    }
}

void CCommandInterpreter::ChangeDirectory(CString& strLine, UINT nCodePage)
{
    strLine.Delete(0, 3);
    strLine.TrimLeft();
    UnquoteFolder(strLine);
    CString dir;
    if ((!strLine.IsEmpty() && !SetFolder(strLine, nCodePage)) || !CurrentFolderAnsi(dir)) {
        ReportLastError();
        // The rest of a batch was written for the folder it could not enter;
        // it must not run later, there or anywhere.
        m_pOwner->m_batch.Stop();
        return;
    }
    m_pOwner->m_view.PrintAnsi(dir);
    if (!m_pOwner->m_hWnd)
        return;
    if (m_bSendingBatchNext) {
        m_bBatchNextWanted = true;
        return;
    }
    m_bSendingBatchNext = true;
    do {
        m_bBatchNextWanted = false;
        ::SendMessageA(m_pOwner->m_hWnd, UM_BATCHNEXT, 0, 0);
    } while (m_bBatchNextWanted);
    m_bSendingBatchNext = false;
}

void CCommandInterpreter::RunAdb(CString& strLine, bool bSync, UINT nCodePage)
{
    // adb passes the device's UTF-8 through, and writes its own texts in
    // UTF-8 too. Set only while no run reads it.
    if (!m_cmdRunner.IsRunning())
        m_cmdRunner.m_bUtf8 = true;
    // Start reports a reader thread that it cannot make by itself; RunSync
    // also refuses while the last reader thread is still finishing.
    if (m_cmdRunner.IsRunning() || (bSync && !m_cmdRunner.RunSync(strLine, nCodePage)))
        StartRefused();
    else if (!bSync)
        m_cmdRunner.Start(strLine, nCodePage);
}

void CCommandInterpreter::StartShell()
{
    StartShell(m_strDeviceArgs);
}

void CCommandInterpreter::StartShell(const CString& strDeviceArgs)
{
    m_pOwner->m_batch.Stop();
    m_mode = ModeShell;
    m_shellRunner.m_bUtf8 = true;
    CString cmd = m_strAdbDir + "adb" + strDeviceArgs + " shell ";
    if (m_shellRunner.IsRunning())
        StartRefused();
    else
        m_shellRunner.Start(cmd);
}

void CCommandInterpreter::AbortAll()
{
    CConsoleView& view = m_pOwner->m_view;
    if (m_cmdRunner.IsRunning()) {
        m_cmdRunner.Terminate();
        view.PrintF(kAbortFormat, CODE_ERROR, "command");
    }
    if (IsShellRunning()) {
        // Straight to the shell: queued behind whatever it has not read, and
        // dropped if it has ended meanwhile.
        m_shellRunner.WriteLine("exit");
        m_mode = ModeAdb;
        m_shellRunner.Terminate();
        view.PrintF(kAbortFormat, CODE_ERROR, "shell");
    }
    if (m_pOwner->m_batch.IsActive()) {
        m_pOwner->m_batch.Stop();
        view.PrintF(kAbortFormat, CODE_ERROR, "batch");
    }
    m_pOwner->InvalidateChildren();
}

void CCommandInterpreter::PrintHelp()
{
    if (g_bBusy)
        return;
    static const char* const s_lines[] = {
        "            [Commands]",
        "dir [parm]            - Local dir command",
        "lcd [parm]            - Local cd  command",
        "                [Keys]",
        "F3                    - Find next",
        "F4                    - Clear screen",
        "Ctrl-F                - Find dialog",
        "Shift-F3              - Find previous",
        "Ctrl-B                - Batch of commands",
        "Ctrl-D                - Choose device",
        "Ctrl-PgUp/Ctrl-PgDown - Walk history",
        "Shift-Ctrl-PgUp       - Clear history",
        "               [Mouse]",
        "Dbl click             - Copy word to cmdline",
        "Middle click          - Mark line[s]",
        "Ctrl + Middle click   - Copy to clipboard",
    };
    // Each line carries its code in the text rather than through m_nCode:
    // the interactive shell's output may be printed between these lines.
    CConsoleView& view = m_pOwner->m_view;
    for (const char* p : s_lines)
        view.PrintF("%c%s", CODE_INFO, p);
    view.Print("");
    if (view.m_hWnd)
        view.Invalidate(TRUE);
}

void CCommandInterpreter::ReportLastError()
{
    DWORD dwError = ::GetLastError();
    char* pText = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS | 255,
                               nullptr, dwError, 0x400, reinterpret_cast<char*>(&pText), 0, nullptr);
    if (!n || !pText)
        return;
    // The code travels inside the text: this may run on a reader thread
    // while the user-interface thread prints a block in another code. The
    // system's text is in the ANSI code page already.
    CConsoleView& view = m_pOwner->m_view;
    CString line;
    line.Format("%c%s", CODE_ERROR, pText);
    view.PrintAnsi(line);
    if (view.m_hWnd)
        view.Invalidate(TRUE);
    ::LocalFree(pText);
}

int CCommandInterpreter::GetPromptWidth(HWND hPanel) const
{
    HDC hdc = ::GetDC(hPanel);
    int width = 0;
    for (CommandMode mode : { ModeAdb, ModeShell, ModePm }) {
        RECT rc = {};
        ::DrawTextA(hdc, PromptOf(mode), -1, &rc, DT_CALCRECT);
        if (rc.right - rc.left > width)
            width = rc.right - rc.left;
    }
    ::ReleaseDC(hPanel, hdc);
    return width;
}
