#pragma once
// CWinApp: the one application object, its start-up and its message loop.
#include <windows.h>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
    // The message loop; ends when the main window is destroyed.
    virtual int Run();
    // Gives the target window of a message and each of its ancestors a
    // chance to handle it before it is dispatched.
    static BOOL WalkPreTranslate(MSG* pMsg);

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    DWORD m_nThreadID = 0;
};

CWinApp* AfxGetApp();
// The entry point's body: InitInstance, then Run.
int AfxWinMain(HINSTANCE hInstance);
