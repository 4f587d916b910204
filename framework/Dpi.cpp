#include "framework/Dpi.h"

namespace {

typedef UINT(WINAPI* PFNGETDPIFORWINDOW)(HWND);
typedef int(WINAPI* PFNGETSYSTEMMETRICSFORDPI)(int, UINT);
typedef BOOL(WINAPI* PFNADJUSTWINDOWRECTEXFORDPI)(RECT*, DWORD, BOOL, DWORD, UINT);

// user32 is loaded for the whole life of any program with a window, so
// its address never changes; the look-up is made once.
template <typename T>
T User32Proc(const char* pszName)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), pszName)));
}

}

namespace Dpi {

UINT System()
{
    // Fixed for the life of a process (a new one takes effect at the next
    // sign-in); painting asks for it with every line.
    static const UINT s_nDpi = [] {
        HDC hdc = ::GetDC(nullptr);
        int n = hdc ? ::GetDeviceCaps(hdc, LOGPIXELSY) : 0;
        if (hdc)
            ::ReleaseDC(nullptr, hdc);
        return n > 0 ? UINT(n) : kBase;
    }();
    return s_nDpi;
}

UINT ForWindow(HWND hWnd)
{
    static const PFNGETDPIFORWINDOW pfn = User32Proc<PFNGETDPIFORWINDOW>("GetDpiForWindow");
    UINT n = pfn && hWnd ? pfn(hWnd) : 0;
    return n ? n : System();
}

int Metric(int nIndex, UINT nDpi)
{
    static const PFNGETSYSTEMMETRICSFORDPI pfn = User32Proc<PFNGETSYSTEMMETRICSFORDPI>("GetSystemMetricsForDpi");
    const UINT nSystem = System();
    if (nDpi == 0 || nDpi == nSystem)
        return ::GetSystemMetrics(nIndex);
    if (pfn)
        return pfn(nIndex, nDpi);
    return ::MulDiv(::GetSystemMetrics(nIndex), int(nDpi), int(nSystem));
}

BOOL AdjustWindowRect(RECT* prc, DWORD dwStyle, DWORD dwExStyle, UINT nDpi)
{
    static const PFNADJUSTWINDOWRECTEXFORDPI pfn =
        User32Proc<PFNADJUSTWINDOWRECTEXFORDPI>("AdjustWindowRectExForDpi");
    if (pfn && nDpi)
        return pfn(prc, dwStyle, FALSE, dwExStyle, nDpi);
    return ::AdjustWindowRectEx(prc, dwStyle, FALSE, dwExStyle);
}

}
