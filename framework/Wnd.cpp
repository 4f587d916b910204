#include "framework/Wnd.h"

#include "framework/WinApp.h"

#include <cstdio>
#include <exception>
#include <set>
#include <string>

namespace {
const char kObjectProp[] = "Kestrelbox.CWnd";
}

CWnd::~CWnd()
{
    // By now the derived parts of the object are gone: a window still here
    // is let go of first, so that its last messages cannot reach them, and
    // then destroyed if the object made it (a dialog's control belongs to
    // the dialog). A window whose own handling of its end matters is
    // destroyed earlier, by its owner while everything is whole: destroying
    // a window destroys its children, while their objects, members of the
    // owner, still live.
    if (m_hWnd) {
        HWND hWnd = m_hWnd;
        bool bMade = m_bMade;
        Detach();
        if (bMade && ::IsWindow(hWnd))
            ::DestroyWindow(hWnd);
    }
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    return hWnd ? static_cast<CWnd*>(::GetPropA(hWnd, kObjectProp)) : nullptr;
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetPropA(hWnd, kObjectProp, this);
}

void CWnd::Detach()
{
    m_bMade = false;
    if (!m_hWnd)
        return;
    ::RemovePropA(m_hWnd, kObjectProp);
    if (m_pfnSuper) {
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, LONG_PTR(m_pfnSuper));
        m_pfnSuper = nullptr;
    }
    m_hWnd = nullptr;
}

LPCSTR CWnd::RegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon)
{
    // The name encodes the values, as the classic framework does, so equal
    // requests share one class. Each name is kept for the whole run: callers
    // hold on to the returned text, and a later registration must not
    // overwrite it.
    static std::set<std::string> s_names;
    char buf[64];
    snprintf(buf, sizeof buf, "Kb:%x:%p:%p:%p", nClassStyle, (void*)hCursor, (void*)hbrBackground, (void*)hIcon);
    const char* name = s_names.insert(buf).first->c_str();
    HINSTANCE hInst = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc;
    if (!::GetClassInfoA(hInst, name, &wc)) {
        wc = WNDCLASSA();
        wc.style = nClassStyle;
        wc.lpfnWndProc = WndProc;
        wc.hInstance = hInst;
        wc.hCursor = hCursor;
        wc.hbrBackground = hbrBackground;
        wc.hIcon = hIcon;
        wc.lpszClassName = name;
        ::RegisterClassA(&wc);
    }
    return name;
}

LPCSTR CWnd::DefaultClass()
{
    static LPCSTR s_name = nullptr;
    if (!s_name)
        s_name = RegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, ::LoadCursor(nullptr, IDC_ARROW), nullptr, nullptr);
    return s_name;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR pszClass, LPCSTR pszName, DWORD dwStyle,
                    int x, int y, int cx, int cy, HWND hParent, HMENU hMenuOrId)
{
    if (!pszClass)
        pszClass = DefaultClass();
    HWND hWnd = ::CreateWindowExA(dwExStyle, pszClass, pszName, dwStyle, x, y, cx, cy,
                                  hParent, hMenuOrId, ::GetModuleHandleA(nullptr), this);
    if (hWnd && m_hWnd != hWnd) {
        // A class with another window procedure (a system control).
        SubclassWindow(hWnd);
    }
    if (hWnd && m_hWnd == hWnd)
        m_bMade = true;
    return hWnd != nullptr;
}

BOOL CWnd::Create(LPCSTR pszClass, LPCSTR pszName, DWORD dwStyle, const RECT& rc, CWnd* pParent, UINT nId)
{
    return CreateEx(0, pszClass, pszName, dwStyle | WS_CHILD, rc.left, rc.top, rc.right - rc.left,
                    rc.bottom - rc.top, pParent ? pParent->m_hWnd : nullptr, HMENU(UINT_PTR(nId)));
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!hWnd || FromHandle(hWnd))
        return FALSE;
    Attach(hWnd);
    m_pfnSuper = WNDPROC(::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, LONG_PTR(WndProc)));
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

CString CWnd::GetWindowText() const
{
    CString s;
    int n = ::GetWindowTextLengthA(m_hWnd);
    if (n > 0) {
        char* p = s.GetBuffer(n + 1);
        int got = ::GetWindowTextA(m_hWnd, p, n + 1);
        s.ReleaseBuffer(got > 0 ? got : 0);
    }
    return s;
}

LRESULT CWnd::WindowProc(UINT, WPARAM, LPARAM)
{
    return Default();
}

LRESULT CWnd::Default()
{
    m_bDefaulted = true;
    const MSG* m = m_pCurrentMsg;
    if (!m)
        return 0;
    if (m_pfnSuper)
        return ::CallWindowProcA(m_pfnSuper, m->hwnd, m->message, m->wParam, m->lParam);
    return ::DefWindowProcA(m->hwnd, m->message, m->wParam, m->lParam);
}

LRESULT CWnd::Dispatch(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    MSG cur = {};
    cur.hwnd = hWnd;
    cur.message = nMsg;
    cur.wParam = wParam;
    cur.lParam = lParam;
    const MSG* prev = m_pCurrentMsg;
    bool prevDefaulted = m_bDefaulted;
    m_pCurrentMsg = &cur;
    m_bDefaulted = false;
    LRESULT r = 0;
    try {
        r = WindowProc(nMsg, wParam, lParam);
    } catch (...) {
        // No C++ exception may unwind through the system's code: one that
        // reaches here was caught by nothing of ours.
        std::terminate();
    }
    m_pCurrentMsg = prev;
    m_bDefaulted = prevDefaulted;
    return r;
}

LRESULT CALLBACK CWnd::WndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    CWnd* p = FromHandle(hWnd);
    if (!p && nMsg == WM_NCCREATE) {
        p = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (p)
            p->Attach(hWnd);
    }
    if (!p)
        return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);
    if (nMsg == WM_NCDESTROY) {
        LRESULT r = p->Dispatch(hWnd, nMsg, wParam, lParam);
        p->Detach();
        CWinApp* app = AfxGetApp();
        if (app && app->m_pMainWnd == p)
            ::PostQuitMessage(0);
        p->PostNcDestroy();
        return r;
    }
    return p->Dispatch(hWnd, nMsg, wParam, lParam);
}
