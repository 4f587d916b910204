#include "framework/WinApp.h"

#include "framework/Wnd.h"

#include <exception>

namespace {
CWinApp* s_pApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return s_pApp;
}

CWinApp::CWinApp()
{
    s_pApp = this;
    m_hInstance = ::GetModuleHandleA(nullptr);
    m_nThreadID = ::GetCurrentThreadId();
}

CWinApp::~CWinApp()
{
    if (s_pApp == this)
        s_pApp = nullptr;
}

BOOL CWinApp::WalkPreTranslate(MSG* pMsg)
{
    try {
        for (HWND h = pMsg->hwnd; h; h = ::GetParent(h)) {
            CWnd* p = CWnd::FromHandle(h);
            if (p && p->PreTranslateMessage(pMsg))
                return TRUE;
            if (!(::GetWindowLongA(h, GWL_STYLE) & WS_CHILD))
                break;
        }
    } catch (...) {
        // A message loop may run inside a window procedure (a modal
        // dialog's), so the exception would next meet the system's code.
        std::terminate();
    }
    return FALSE;
}

int CWinApp::Run()
{
    MSG msg = {};
    BOOL r;
    for (;;) {
        // Taken as UTF-16: a typed letter reaches the window whole, also
        // one that the ANSI code page spells with two to four bytes.
        r = ::GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0 || r == -1)
            break;
        if (!WalkPreTranslate(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    ExitInstance();
    return r == -1 ? -1 : int(msg.wParam);
}

int AfxWinMain(HINSTANCE hInstance)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = hInstance;
    app->m_nThreadID = ::GetCurrentThreadId();
    if (!app->InitInstance()) {
        app->ExitInstance();
        return 1;
    }
    return app->Run();
}
