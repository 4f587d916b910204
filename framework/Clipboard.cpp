#include "framework/Clipboard.h"

#include <cstring>

namespace Clipboard {

namespace {

// Another program (a clipboard viewer, a history tool) may hold the
// clipboard for a moment: a copy or a paste tries again for a while
// before it gives up.
const int kTries = 20;
const DWORD kTryGapMs = 5;

bool Open()
{
    for (int i = 0; i < kTries; ++i) {
        if (::OpenClipboard(nullptr))
            return true;
        ::Sleep(kTryGapMs);
    }
    return false;
}

}

HGLOBAL NewBlock(size_t n)
{
    return n == 0 ? nullptr : ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, n);
}

HGLOBAL UnicodeBlockOf(HGLOBAL hText)
{
    const char* p = static_cast<const char*>(::GlobalLock(hText));
    if (!p)
        return nullptr;
    const size_t n = strnlen(p, ::GlobalSize(hText));
    HGLOBAL hWide = nullptr;
    const int nWide = n == 0 ? 0 : ::MultiByteToWideChar(CP_ACP, 0, p, int(n), nullptr, 0);
    if (n == 0 || nWide > 0)
        hWide = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, (size_t(nWide) + 1) * sizeof(WCHAR));
    WCHAR* pWide = hWide ? static_cast<WCHAR*>(::GlobalLock(hWide)) : nullptr;
    if (pWide) {
        if (nWide > 0)
            ::MultiByteToWideChar(CP_ACP, 0, p, int(n), pWide, nWide);
        pWide[nWide] = 0;
        ::GlobalUnlock(hWide);
    } else if (hWide) {
        ::GlobalFree(hWide);
        hWide = nullptr;
    }
    ::GlobalUnlock(hText);
    return hWide;
}

namespace {

HGLOBAL LocaleBlock()
{
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, sizeof(LCID));
    LCID* p = h ? static_cast<LCID*>(::GlobalLock(h)) : nullptr;
    if (!p) {
        if (h)
            ::GlobalFree(h);
        return nullptr;
    }
    *p = ::GetSystemDefaultLCID();
    ::GlobalUnlock(h);
    return h;
}

// Puts h on the clipboard as nFormat, or frees it.
bool Put(UINT nFormat, HGLOBAL h)
{
    if (!h)
        return false;
    if (::SetClipboardData(nFormat, h))
        return true;
    ::GlobalFree(h);
    return false;
}

}

bool PutBlock(HGLOBAL h)
{
    if (!h)
        return false;
    // Made before the clipboard is opened, which other programs wait for
    // while it is. Without memory for them the text still goes alone.
    HGLOBAL hWide = UnicodeBlockOf(h);
    HGLOBAL hLocale = hWide ? LocaleBlock() : nullptr;
    // A failed set leaves the block ours.
    bool ok = false;
    if (Open()) {
        ::EmptyClipboard();
        ok = ::SetClipboardData(CF_TEXT, h) != nullptr;
        if (ok) {
            Put(CF_UNICODETEXT, hWide);
            Put(CF_LOCALE, hLocale);
            hWide = hLocale = nullptr;
        }
        ::CloseClipboard();
    }
    if (!ok)
        ::GlobalFree(h);
    if (hWide)
        ::GlobalFree(hWide);
    if (hLocale)
        ::GlobalFree(hLocale);
    return ok;
}

bool SetText(const char* p, size_t n)
{
    HGLOBAL h = NewBlock(n);
    if (!h)
        return false;
    void* dst = ::GlobalLock(h);
    if (!dst) {
        ::GlobalFree(h);
        return false;
    }
    memcpy(dst, p, n);
    static_cast<char*>(dst)[n - 1] = 0;
    ::GlobalUnlock(h);
    return PutBlock(h);
}

CString GetText()
{
    CString s;
    if (!Open())
        return s;
    HANDLE h = ::GetClipboardData(CF_TEXT);
    if (h) {
        const char* p = static_cast<const char*>(::GlobalLock(h));
        if (p) {
            size_t cap = ::GlobalSize(h);
            size_t len = strnlen(p, cap);
            s = CString(p, int(len));
            ::GlobalUnlock(h);
        }
    }
    ::CloseClipboard();
    return s;
}

}
