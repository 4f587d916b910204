#pragma once
// Helpers for tests that use real windows: a top-level host window, message
// pumping until a condition holds, and pixel reads.
#include <windows.h>

#include <functional>

#include "framework/Wnd.h"

// A plain top-level window to parent the window under test.
class CHostWnd : public CWnd {
public:
    // Under Wine without a window manager, destroying a visible top-level
    // window waits two seconds for the X server; a hidden one goes at once.
    ~CHostWnd() override
    {
        if (m_hWnd)
            ::ShowWindow(m_hWnd, SW_HIDE);
    }
    BOOL CreateHost(int cx, int cy)
    {
        return CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, 0, 0, cx, cy, nullptr, nullptr);
    }
};

// Handles this thread's messages until pred() holds or dwTimeout ms pass.
inline bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeout = 10000)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (pred())
            return true;
        if (::GetTickCount() - start > dwTimeout)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// Handles what is pending now.
inline void PumpPending()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// The colour of a pixel of a window, read back from its device context.
inline COLORREF WindowPixel(HWND hWnd, int x, int y)
{
    HDC hdc = ::GetDC(hWnd);
    COLORREF c = ::GetPixel(hdc, x, y);
    ::ReleaseDC(hWnd, hdc);
    return c;
}

// Presses or releases a key in this thread's key state, as GetKeyState sees it.
inline void SetKeyDown(int nKey, bool bDown)
{
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[nKey] = bDown ? 0x80 : 0;
    ::SetKeyboardState(keys);
}
