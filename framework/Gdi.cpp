#include "framework/Gdi.h"

#include <cstring>

BOOL CFont::CreatePointFont(int nPointSize, const char* pszFace)
{
    LOGFONTA lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfWeight = FW_NORMAL;
    strncpy(lf.lfFaceName, pszFace ? pszFace : "", LF_FACESIZE - 1);
    HDC hdc = ::GetDC(nullptr);
    lf.lfHeight = -MulDiv(nPointSize, ::GetDeviceCaps(hdc, LOGPIXELSY), 720);
    ::ReleaseDC(nullptr, hdc);
    return CreateFontIndirect(&lf);
}

void CDC::FillSolidRect(const RECT& rc, COLORREF cr) const
{
    COLORREF old = ::SetBkColor(m_hDC, cr);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

BOOL CFont::CreateFixedFont(int nPointSize, const char* pszFace, UINT nDpi)
{
    LOGFONTA lf = {};
    // The text is in the ANSI code page, as the screen's.
    lf.lfCharSet = AnsiCharSet();
    lf.lfWeight = FW_NORMAL;
    lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    strncpy(lf.lfFaceName, pszFace ? pszFace : "", LF_FACESIZE - 1);
    lf.lfHeight = -MulDiv(nPointSize, int(nDpi), 720);
    return CreateFontIndirect(&lf);
}

BYTE AnsiCharSet()
{
    CHARSETINFO csi = {};
    UINT_PTR acp = ::GetACP();
    // Windows knows no character set for UTF-8; Wine makes one up, with
    // which no font draws every letter.
    if (acp == CP_UTF8)
        return DEFAULT_CHARSET;
    return ::TranslateCharsetInfo(reinterpret_cast<DWORD*>(acp), &csi, TCI_SRCCODEPAGE) ? BYTE(csi.ciCharset)
                                                                                         : BYTE(DEFAULT_CHARSET);
}
