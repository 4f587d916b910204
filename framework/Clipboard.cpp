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

bool PutBlock(HGLOBAL h)
{
    if (!h)
        return false;
    // A failed set leaves the block ours.
    bool ok = false;
    if (Open()) {
        ::EmptyClipboard();
        ok = ::SetClipboardData(CF_TEXT, h) != nullptr;
        ::CloseClipboard();
    }
    if (!ok)
        ::GlobalFree(h);
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
