#pragma once
// One run of the real Kestrelbox.exe, started beside this test program with
// the adb imitation first on its search path and a fresh current directory
// of its own, and driven only through real input events. What the user
// sees is read back from the clipboard (Ctrl + middle click copies the
// screen) and from the screen's pixels.
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "../support/Wait.h"
#include "ScreenText.h"

class CScreenCapture;

enum class LampColour { Unknown, Red, Green, Yellow };

class CKestrelboxSession {
public:
    CKestrelboxSession() = default;
    CKestrelboxSession(const CKestrelboxSession&) = delete;
    CKestrelboxSession& operator=(const CKestrelboxSession&) = delete;
    // Ends the program if it still runs.
    ~CKestrelboxSession();

    // Variables for the program's environment, set before Start (an empty
    // value removes one).
    void SetEnvironment(const std::vector<std::pair<std::string, std::string>>& env) { m_env = env; }
    // Starts the program and waits until its start-up run has printed its
    // exit line; the screen at that moment is kept in StartupLines().
    bool Start(std::string& strError);
    bool IsRunning() const;
    // True once the program has ended within dwMs; *pdwCode gets its code.
    bool WaitExit(DWORD dwMs, DWORD* pdwCode = nullptr);
    void Kill();

    // Handles (to wait on and read the exit code of) of the program's child
    // processes that run now, but for those that ran at the last
    // MarkChildren (the device tracker that runs all the time); the caller
    // closes them.
    std::vector<HANDLE> OpenLiveChildren() const;
    void MarkChildren();

    const ScreenLines& StartupLines() const { return m_startup; }
    DWORD ProcessId() const { return m_pi.dwProcessId; }
    const std::string& WorkDir() const { return m_strWorkDir; }
    // Every command line the adb imitation was started with in this
    // session, in UTF-8, one a line.
    std::string AdbCommandLog() const;
    // Windows path of the adb imitation that the program finds first.
    static std::string AdbPath();

    HWND MainWnd() const { return m_hMain; }
    HWND ViewWnd() const { return m_hView; }
    HWND PanelWnd() const { return m_hPanel; }
    HWND LampWnd() const { return m_hLamp; }
    HWND EditWnd() const { return m_hEdit; }

    // Makes the main window the foreground window; false if it did not
    // become it.
    bool BringToFront();

    void Type(const char* pszText);
    void Press(WORD vk);
    void Chord(std::initializer_list<WORD> mods, WORD vk);
    // Types the line into the command line and presses Enter.
    void EnterLine(const char* pszLine);
    // The command line's text as the edit control holds it.
    std::string CommandLineText() const;

    // One Ctrl + middle click on the screen; true and the copied text if the
    // clipboard received a copy (it does not while a command runs or when
    // the screen is empty).
    bool CopyScreen(std::string& strText);
    // Copies the screen again and again until pred holds for its lines.
    // The last lines read are left in lines, also on failure.
    bool WaitForScreen(const std::function<bool(const ScreenLines&)>& pred, ScreenLines& lines,
                       DWORD dwMs = 20000);

    LampColour Lamp() const;
    bool WaitLamp(LampColour colour, DWORD dwMs);

    // The screen's text area in screen coordinates, without the scroll bars.
    RECT TextArea() const;
    // Pixels per column and per line of the screen's grid at 96 dpi: the
    // system font's cell (average width + 1, height - 2).
    static SIZE CharCell();
    // The program's resolution, when a test has started it at another one
    // than 96 dpi; the grid's cell at it.
    void SetDpi(UINT nDpi) { m_nDpi = nDpi; }
    SIZE Cell() const;
    // The lines that fit in the text area (the vertical page).
    int PageLines() const;
    // Screen point in the middle of the cell at a visible row and column.
    POINT CellPoint(int nRow, int nColumn) const;
    // How many pixels of a visible row of the text area differ from the
    // screen's black background.
    int RowInk(int nRow) const;
    // Copies a visible row of the text area from the screen.
    bool GrabRow(int nRow, CScreenCapture& cap) const;
    // How many pixels of the prompt strip differ from the panel's face
    // colour: a longer prompt has more.
    int PromptInk() const;

    // A visible top-level window of the program with that caption; null if
    // none appeared within dwMs.
    HWND WaitForWindow(const char* pszCaption, DWORD dwMs) const;
    HWND FindOwnWindow(const char* pszCaption) const;
    // A control's text as the control itself reports it (WM_GETTEXT): for a
    // window of another process GetWindowText gives only the caption that
    // the system keeps, which an edit control does not update.
    static std::string ControlText(HWND hWnd);
    // Waits until the window is the foreground window, so that typed keys
    // reach it.
    static bool WaitForeground(HWND hWnd, DWORD dwMs = 5000);
    // The texts of a window's children of one class, in z order.
    static std::string ChildTexts(HWND hWnd, const char* pszClass);

    // Saves the whole screen to /tmp/e2e/<name>.png for people to look at.
    static void Screenshot(const char* pszName);

private:
    bool FindWindows(DWORD dwMs);
    // Narrows the text area (lParam, a RECT) to the left of and above a
    // scroll bar of the view.
    static BOOL CALLBACK ClipToScrollBar(HWND hWnd, LPARAM lParam);
    std::vector<DWORD> LiveChildIds() const;

    std::vector<std::pair<std::string, std::string>> m_env;
    std::vector<DWORD> m_marked;
    PROCESS_INFORMATION m_pi = {};
    std::string m_strWorkDir;
    HWND m_hMain = nullptr;
    HWND m_hView = nullptr;
    HWND m_hPanel = nullptr;
    HWND m_hLamp = nullptr;
    HWND m_hEdit = nullptr;
    ScreenLines m_startup;
    int m_nCopies = 0;
    UINT m_nDpi = 96;
};
