#pragma once
// Helpers for tests that use real windows: a top-level host window, message
// pumping until a condition holds, and pixel reads.
#include <windows.h>

#include <functional>
#include <vector>

#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "support/Wait.h"

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
// With bPreTranslate each message goes through the windows' pre-translation
// first, as in the program's own loop (the command line's keys, Esc).
inline bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeout = 10000, bool bPreTranslate = false)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (bPreTranslate && CWinApp::WalkPreTranslate(&msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (pred())
            return true;
        if (::GetTickCount() - dwStart > dwTimeout)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// Handles what is pending now.
inline void PumpPending(bool bPreTranslate = false)
{
    PumpUntil([] { return true; }, 0, bPreTranslate);
}

// The same through the program's pre-translation.
inline bool PumpKeysUntil(const std::function<bool()>& pred, DWORD dwTimeout = 10000)
{
    return PumpUntil(pred, dwTimeout, true);
}

inline void PumpKeysPending()
{
    PumpPending(true);
}

// The colour of a pixel of a window, read back from its device context.
inline COLORREF WindowPixel(HWND hWnd, int x, int y)
{
    HDC hdc = ::GetDC(hWnd);
    COLORREF c = ::GetPixel(hdc, x, y);
    ::ReleaseDC(hWnd, hdc);
    return c;
}

// The pixels, row by row, of a cx x cy bitmap made for the window's screen
// and painted in a memory device context by draw; without draw, a copy of
// the top left of what the window shows.
inline std::vector<COLORREF> CaptureMemoryDC(HWND hWnd, int cx, int cy,
                                             const std::function<void(HDC)>& draw = nullptr)
{
    HDC hdc = ::GetDC(hWnd);
    HDC hMem = ::CreateCompatibleDC(hdc);
    HBITMAP hBitmap = ::CreateCompatibleBitmap(hdc, cx, cy);
    HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
    if (draw)
        draw(hMem);
    else
        ::BitBlt(hMem, 0, 0, cx, cy, hdc, 0, 0, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            pixels.push_back(::GetPixel(hMem, x, y));
    ::SelectObject(hMem, hOld);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hMem);
    ::ReleaseDC(hWnd, hdc);
    return pixels;
}

// Presses or releases a key in this thread's key state, as GetKeyState sees it.
inline void SetKeyDown(int nKey, bool bDown)
{
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[nKey] = bDown ? 0x80 : 0;
    ::SetKeyboardState(keys);
}
