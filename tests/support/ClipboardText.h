#pragma once
// The clipboard's text as the tests put and read it. Another process may
// hold the clipboard open for a moment, so both retry for a while.
#include <windows.h>

#include <cstring>
#include <string>

#include "Wait.h"

inline bool OpenClipboardWithRetry()
{
    return WaitUntil([] { return ::OpenClipboard(nullptr) != FALSE; }, 3000);
}

// Puts the bytes (a NUL is added) on the clipboard as CF_TEXT.
inline bool PutClipboardText(const std::string& strText)
{
    HGLOBAL hMem = ::GlobalAlloc(GMEM_MOVEABLE, strText.size() + 1);
    char* p = hMem ? static_cast<char*>(::GlobalLock(hMem)) : nullptr;
    if (!p) {
        if (hMem)
            ::GlobalFree(hMem);
        return false;
    }
    std::memcpy(p, strText.c_str(), strText.size() + 1);
    ::GlobalUnlock(hMem);
    if (!OpenClipboardWithRetry()) {
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

// The clipboard's CF_TEXT up to its terminating NUL, never read past the
// block; false when the clipboard cannot be opened or holds no text.
// *pbTerminated tells whether the NUL lies inside the block.
inline bool GetClipboardText(std::string& strText, bool* pbTerminated = nullptr)
{
    strText.clear();
    if (pbTerminated)
        *pbTerminated = false;
    if (!OpenClipboardWithRetry())
        return false;
    bool bOk = false;
    HANDLE hData = ::GetClipboardData(CF_TEXT);
    const char* p = hData ? static_cast<const char*>(::GlobalLock(hData)) : nullptr;
    if (p) {
        size_t nSize = ::GlobalSize(hData);
        strText.assign(p, strnlen(p, nSize));
        if (pbTerminated)
            *pbTerminated = strText.size() < nSize;
        ::GlobalUnlock(hData);
        bOk = true;
    }
    ::CloseClipboard();
    return bOk;
}

// Waits until a program has put text other than strOld on the clipboard
// since it had the sequence number dwSequence. The clipboard is opened only
// once it has changed: opening it again and again while waiting would hold
// it just when the program tries to open it, and its copy would be lost.
inline bool WaitClipboardText(DWORD dwSequence, const std::string& strOld, std::string& strText,
                              DWORD dwTimeout = 10000)
{
    return WaitUntil([&] {
        return ::GetClipboardSequenceNumber() != dwSequence && GetClipboardText(strText) && strText != strOld;
    }, dwTimeout);
}

// The clipboard's CF_UNICODETEXT and CF_LOCALE (0 when it has none); false
// when it cannot be opened or holds no Unicode text.
inline bool GetClipboardUnicode(std::wstring& strText, LCID* pLocale = nullptr)
{
    strText.clear();
    if (pLocale)
        *pLocale = 0;
    if (!OpenClipboardWithRetry())
        return false;
    bool bOk = false;
    HANDLE hData = ::GetClipboardData(CF_UNICODETEXT);
    const wchar_t* p = hData ? static_cast<const wchar_t*>(::GlobalLock(hData)) : nullptr;
    if (p) {
        strText.assign(p, wcsnlen(p, ::GlobalSize(hData) / sizeof(wchar_t)));
        ::GlobalUnlock(hData);
        bOk = true;
    }
    HANDLE hLocale = pLocale ? ::GetClipboardData(CF_LOCALE) : nullptr;
    const LCID* pl = hLocale ? static_cast<const LCID*>(::GlobalLock(hLocale)) : nullptr;
    if (pl) {
        *pLocale = *pl;
        ::GlobalUnlock(hLocale);
    }
    ::CloseClipboard();
    return bOk;
}

// The Unicode form of text in the ANSI code page.
inline std::wstring WideOfAnsi(const std::string& s)
{
    int n = ::MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), &w[0], n);
    return w;
}
