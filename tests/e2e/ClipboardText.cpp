#include "ClipboardText.h"

#include <windows.h>

#include <cstring>

namespace {

const DWORD kOpenTimeoutMs = 3000;

bool OpenWithRetry()
{
    DWORD dwStart = ::GetTickCount();
    while (!::OpenClipboard(nullptr)) {
        if (::GetTickCount() - dwStart > kOpenTimeoutMs)
            return false;
        ::Sleep(10);
    }
    return true;
}

} // namespace

bool PutClipboardText(const std::string& strText)
{
    HGLOBAL hMem = ::GlobalAlloc(GMEM_MOVEABLE, strText.size() + 1);
    if (!hMem)
        return false;
    char* p = static_cast<char*>(::GlobalLock(hMem));
    if (!p) {
        ::GlobalFree(hMem);
        return false;
    }
    std::memcpy(p, strText.data(), strText.size());
    p[strText.size()] = 0;
    ::GlobalUnlock(hMem);
    if (!OpenWithRetry()) {
        ::GlobalFree(hMem);
        return false;
    }
    ::EmptyClipboard();
    bool bOk = ::SetClipboardData(CF_TEXT, hMem) != nullptr;
    ::CloseClipboard();
    if (!bOk)
        ::GlobalFree(hMem);
    return bOk;
}

bool GetClipboardText(std::string& strText)
{
    if (!OpenWithRetry())
        return false;
    bool bOk = false;
    HANDLE hData = ::GetClipboardData(CF_TEXT);
    if (hData) {
        const char* p = static_cast<const char*>(::GlobalLock(hData));
        if (p) {
            // Never read past the block, whatever its bytes are.
            size_t n = ::GlobalSize(hData);
            strText.assign(p, strnlen(p, n));
            ::GlobalUnlock(hData);
            bOk = true;
        }
    }
    ::CloseClipboard();
    return bOk;
}
