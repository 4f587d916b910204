#pragma once
// Owners of GDI objects and device contexts. Each frees what it holds in
// its destructor; CSelectObject undoes a selection when it goes out of scope.
#include <windows.h>

template <class THandle>
class CGdiObject {
public:
    CGdiObject() = default;
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    THandle m_hObject = nullptr;
    operator THandle() const { return m_hObject; }
    THandle GetSafeHandle() const { return m_hObject; }
    void Attach(THandle h) { DeleteObject(); m_hObject = h; }
    THandle Detach() { THandle h = m_hObject; m_hObject = nullptr; return h; }
    BOOL DeleteObject()
    {
        if (!m_hObject)
            return FALSE;
        ::DeleteObject(m_hObject);
        m_hObject = nullptr;
        return TRUE;
    }
};

class CFont : public CGdiObject<HFONT> {
public:
    BOOL CreateFontIndirect(const LOGFONTA* plf) { Attach(::CreateFontIndirectA(plf)); return m_hObject != nullptr; }
    // Height in tenths of a point on the screen, as the classic framework does.
    BOOL CreatePointFont(int nPointSize, const char* pszFace);
    // nPointSize in tenths of a point, at nDpi; a fixed-pitch face that is
    // missing is replaced by another fixed-pitch one.
    BOOL CreateFixedFont(int nPointSize, const char* pszFace, UINT nDpi);
};

class CBitmap : public CGdiObject<HBITMAP> {
public:
    BOOL CreateCompatibleBitmap(HDC hdc, int cx, int cy) { Attach(::CreateCompatibleBitmap(hdc, cx, cy)); return m_hObject != nullptr; }
};

class CPen : public CGdiObject<HPEN> {
public:
    CPen(int nStyle, int nWidth, COLORREF cr) { m_hObject = ::CreatePen(nStyle, nWidth, cr); }
};

class CDC {
public:
    CDC() = default;
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    operator HDC() const { return m_hDC; }

    HGDIOBJ SelectObject(HGDIOBJ h) const { return ::SelectObject(m_hDC, h); }
    COLORREF SetTextColor(COLORREF cr) const { return ::SetTextColor(m_hDC, cr); }
    int SetBkMode(int n) const { return ::SetBkMode(m_hDC, n); }
    void FillSolidRect(const RECT& rc, COLORREF cr) const;
    void MoveTo(int x, int y) const { ::MoveToEx(m_hDC, x, y, nullptr); }
    void LineTo(int x, int y) const { ::LineTo(m_hDC, x, y); }
    BOOL GetTextMetrics(TEXTMETRICA* ptm) const { return ::GetTextMetricsA(m_hDC, ptm); }
};

// The device context of a WM_PAINT: BeginPaint and EndPaint.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::BeginPaint(hWnd, &m_ps); }
    ~CPaintDC() override { ::EndPaint(m_hWnd, &m_ps); }
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

// GetDC and ReleaseDC of a window (null: the screen).
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::GetDC(hWnd); }
    ~CClientDC() override { ::ReleaseDC(m_hWnd, m_hDC); }

private:
    HWND m_hWnd;
};

// Selects an object into a device context for the life of the guard.
class CSelectObject {
public:
    CSelectObject(HDC hdc, HGDIOBJ h) : m_hdc(hdc), m_hOld(h ? ::SelectObject(hdc, h) : nullptr) {}
    ~CSelectObject() { if (m_hOld) ::SelectObject(m_hdc, m_hOld); }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hdc;
    HGDIOBJ m_hOld;
};

// The character set of the system's ANSI code page, for fonts that draw
// text kept in it; DEFAULT_CHARSET where the code page has none of its own
// (UTF-8), which lets the system pick a font for each letter.
BYTE AnsiCharSet();
