#pragma once
// The screen resolution a window is drawn at, and sizes made for it. The
// per-monitor functions exist only on newer systems (Windows 10 1607 and
// later); they are looked up at run time, and without them every window
// has the system's resolution.
#include <windows.h>

namespace Dpi {

const UINT kBase = 96;   // the resolution at which every size is given

// The system's resolution (the screen device context's LOGPIXELSY).
UINT System();
// The window's resolution where the system knows it per window, else the
// system's.
UINT ForWindow(HWND hWnd);
// A size given at 96 dpi, at nDpi (rounded to the nearest pixel).
inline int Scale(int n, UINT nDpi) { return ::MulDiv(n, int(nDpi), int(kBase)); }
// A font's lfHeight for a point size at nDpi.
inline int FontHeight(int nPoints, UINT nDpi) { return -::MulDiv(nPoints, int(nDpi), 72); }
// GetSystemMetrics at nDpi. At the system's resolution it is exactly
// GetSystemMetrics; elsewhere GetSystemMetricsForDpi, or the system's value
// scaled where that is missing.
int Metric(int nIndex, UINT nDpi);
// AdjustWindowRectEx at nDpi (AdjustWindowRectExForDpi where there is one:
// without it the frame keeps the system's size at every resolution).
BOOL AdjustWindowRect(RECT* prc, DWORD dwStyle, DWORD dwExStyle, UINT nDpi);

}
