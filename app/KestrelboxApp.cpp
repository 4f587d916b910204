#include "app/KestrelboxApp.h"

#include <clocale>

#include "app/Version.h"
#include "crash/CrashFilter.h"

CKestrelboxApp::~CKestrelboxApp() = default;

BOOL CKestrelboxApp::InitInstance()
{
    m_pMainWnd = &m_mainWnd;
    InstallCrashFilter();
    setlocale(LC_ALL, ".ACP");
    if (!m_mainWnd.CreateMain())
        return FALSE;
    m_mainWnd.SetWindowText(KB_TITLE);
    HICON hIcon = HICON(::LoadImageA(m_hInstance, "APPICON", IMAGE_ICON, 32, 32, 0));
    if (hIcon)
        m_mainWnd.SendMessage(WM_SETICON, ICON_BIG, LPARAM(hIcon));
    m_mainWnd.ShowWindow(SW_SHOW);
    return TRUE;
}
