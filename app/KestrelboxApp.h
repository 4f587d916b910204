#pragma once
// CKestrelboxApp: the application object; it holds the main window.
#include "app/MainWnd.h"
#include "framework/WinApp.h"

class CKestrelboxApp : public CWinApp {
public:
    CKestrelboxApp() = default;
    ~CKestrelboxApp() override;
    BOOL InitInstance() override;

    CMainWnd m_mainWnd;
};
