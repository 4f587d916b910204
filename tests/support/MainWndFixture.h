#pragma once
// A real main window for tests that drive the program as the user does:
// lines typed into the command line, keys that go through the message
// loop's pre-translation, the adb imitation as the child, modal dialogs
// worked from a second thread, and the screen's lines read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/Busy.h"
#include "app/MainWnd.h"
#include "framework/WinApp.h"
#include "settings/AppConfig.h"
#include "support/AdbSim.h"
#include "support/ClipboardText.h"
#include "support/StoreLines.h"
#include "support/TestWindows.h"
#include "support/Wait.h"

// Works a modal dialog from a second thread: waits until a dialog with the
// caption exists (and is not hNot), then calls fn with it. The test thread
// meanwhile runs the dialog's modal loop.
class CDialogDriver {
public:
    CDialogDriver(const char* pszCaption, std::function<void(HWND)> fn, HWND hNot = nullptr)
        : m_strCaption(pszCaption)
    {
        m_thread = std::thread([this, fn, hNot] {
            HWND h = nullptr;
            if (WaitUntil([&] {
                    h = ::FindWindowA("#32770", m_strCaption.c_str());
                    return m_bStop || (h && h != hNot && ::IsWindowVisible(h));
                }) && !m_bStop) {
                m_hDlg = h;
                fn(h);
            }
            m_bDone = true;
        });
    }
    ~CDialogDriver() { Join(); }
    // Gives up waiting for a dialog that has not come.
    void Stop()
    {
        m_bStop = true;
        Join();
    }
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    HWND Found() const { return m_hDlg; }

    // Helpers for fn, all safe on the driver thread.
    static std::string Text(HWND h)
    {
        int n = int(::SendMessageA(h, WM_GETTEXTLENGTH, 0, 0));
        std::string s(size_t(n) + 1, '\0');
        int got = int(::SendMessageA(h, WM_GETTEXT, WPARAM(n + 1), LPARAM(&s[0])));
        s.resize(size_t(got > 0 ? got : 0));
        return s;
    }
    static void Click(HWND hDlg, int nId) { ::PostMessageA(::GetDlgItem(hDlg, nId), BM_CLICK, 0, 0); }
    static bool Checked(HWND hDlg, int nId)
    {
        return ::SendMessageA(::GetDlgItem(hDlg, nId), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // Waits until the dialog window has gone.
    static bool WaitGone(HWND hDlg) { return WaitUntil([hDlg] { return !::IsWindow(hDlg); }); }

    std::atomic<bool> m_bDone{ false };

private:
    std::atomic<bool> m_bStop{ false };
    std::string m_strCaption;
    std::atomic<HWND> m_hDlg{ nullptr };
    std::thread m_thread;
};

// A shown main window with the adb imitation on the path, its first show
// already spent and run numbers from 0.
class MainWndFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        PutAdbImitationOnPath();
        CMainWnd::s_bFirstShow = false;
        CProcessRunner::s_nNextRunId = 0;
        g_bBusy = false;
        ASSERT_TRUE(main.CreateMain());
        main.ShowWindow(SW_SHOW);
        ::SetForegroundWindow(main.m_hWnd);
        main.m_panel.m_edit.SetFocus();
        PumpPending();
    }

    void TearDown() override
    {
        if (!main.m_hWnd)
            return;
        main.m_interp.AbortAll();
        EXPECT_TRUE(WaitIdle());
        main.ShowWindow(SW_HIDE);
        main.DestroyWindow();
        g_bBusy = false;
    }

    HWND Edit() const { return main.m_panel.m_edit.m_hWnd; }
    std::string EditText() const { return CDialogDriver::Text(Edit()); }

    // A key pressed in the command line with the given modifiers held.
    void Press(UINT nKey, bool bCtrl = false, bool bShift = false)
    {
        SetKeyDown(VK_CONTROL, bCtrl);
        SetKeyDown(VK_SHIFT, bShift);
        ::PostMessageA(Edit(), WM_KEYDOWN, nKey, 1);
        PumpKeysPending();
        SetKeyDown(VK_CONTROL, false);
        SetKeyDown(VK_SHIFT, false);
    }

    // Types a line into the command line and presses Enter.
    void Type(const char* pszLine)
    {
        ::SetWindowTextA(Edit(), pszLine);
        Press(VK_RETURN);
    }

    std::vector<std::string> Lines() { return ViewLines(main.m_view); }

    int IndexOfLine(const std::string& s)
    {
        std::vector<std::string> lines = Lines();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == s)
                return int(i);
        return -1;
    }

    // Waits (handling messages) until the screen has a line equal to s.
    bool WaitForLine(const std::string& s, DWORD dwTimeout = 15000)
    {
        return PumpKeysUntil([&] { return IndexOfLine(s) >= 0; }, dwTimeout);
    }

    // The same for a line that ends with s (output that continues the
    // interactive shell's unfinished prompt line).
    bool WaitForLineEnding(const std::string& s, DWORD dwTimeout = 15000)
    {
        return PumpKeysUntil(
            [&] {
                for (const std::string& line : Lines())
                    if (line.size() >= s.size() && line.compare(line.size() - s.size(), s.size(), s) == 0)
                        return true;
                return false;
            },
            dwTimeout);
    }

    static std::string ExitLine(int nRun, int nCode)
    {
        return "\x02#" + std::to_string(nRun) + " ExitCode: " + std::to_string(nCode);
    }

    // Both runners idle and their reader threads gone.
    bool WaitIdle(DWORD dwTimeout = 15000)
    {
        CCommandInterpreter& in = main.m_interp;
        bool ok = PumpKeysUntil([&] { return !in.m_cmdRunner.IsRunning() && !in.IsShellRunning(); }, dwTimeout);
        ok = in.m_cmdRunner.WaitForReader(dwTimeout) && ok;
        ok = in.m_shellRunner.WaitForReader(dwTimeout) && ok;
        PumpKeysPending();
        return ok;
    }

    CMainWnd main;
};
