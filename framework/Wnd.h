#pragma once
// CWnd: a window object over an HWND, with one static window procedure.
// The object pointer travels in the create parameter and is kept in a window
// property, so that controls made by the system (edit boxes, dialog items)
// can be subclassed into the same scheme. Each derived class handles its
// messages in a switch in WindowProc and leaves the rest to Default().
#include <windows.h>

#include "framework/String.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object behind a window of this program, or null.
    static CWnd* FromHandle(HWND hWnd);

    BOOL CreateEx(DWORD dwExStyle, LPCSTR pszClass, LPCSTR pszName, DWORD dwStyle,
                  int x, int y, int cx, int cy, HWND hParent, HMENU hMenuOrId);
    // A child in the default window class (or pszClass), with a control id.
    BOOL Create(LPCSTR pszClass, LPCSTR pszName, DWORD dwStyle, const RECT& rc,
                CWnd* pParent, UINT nId);
    // Takes over a window that the system created (a control, a dialog item).
    BOOL SubclassWindow(HWND hWnd);
    BOOL DestroyWindow();

    // Called by the message loops for every message whose target is this
    // window or one of its children, before it is dispatched.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // The class of CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW windows with an arrow
    // cursor and no background brush.
    static LPCSTR DefaultClass();
    // Registers (once per distinct set of values) a class with this window
    // procedure and returns its name.
    static LPCSTR RegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon);

    // Thin helpers.
    LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, m, w, l); }
    BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageA(m_hWnd, m, w, l); }
    void Invalidate(BOOL bErase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void MoveWindow(int x, int y, int cx, int cy, BOOL bRepaint = TRUE) const { ::MoveWindow(m_hWnd, x, y, cx, cy, bRepaint); }
    void GetClientRect(RECT* prc) const { ::GetClientRect(m_hWnd, prc); }
    void GetWindowRect(RECT* prc) const { ::GetWindowRect(m_hWnd, prc); }
    void SetWindowText(const char* psz) const { ::SetWindowTextA(m_hWnd, psz); }
    CString GetWindowText() const;
    void SetFont(HFONT hFont, BOOL bRedraw = TRUE) const { SendMessage(WM_SETFONT, WPARAM(hFont), bRedraw); }
    HWND SetFocus() const { return ::SetFocus(m_hWnd); }
    BOOL ShowWindow(int nCmd) const { return ::ShowWindow(m_hWnd, nCmd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int nId) const { return ::GetDlgItem(m_hWnd, nId); }
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

protected:
    virtual LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam);
    // The processing that the message in hand would get without this class.
    LRESULT Default();
    // After WM_NCDESTROY, once the object has let go of its window.
    virtual void PostNcDestroy() {}

    static LRESULT CALLBACK WndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    void Attach(HWND hWnd);
    void Detach();

    WNDPROC m_pfnSuper = nullptr;   // the system's procedure of a subclassed window
    const MSG* m_pCurrentMsg = nullptr;
    bool m_bDefaulted = false;      // Default() was called for the message in hand
    bool m_bMade = false;           // made by CreateEx, so the object's end destroys it
};
