#include "app/FileDrop.h"

#include "process/Utf8Conv.h"

#include <string>

namespace {

bool IsAscii(const std::wstring& w)
{
    for (wchar_t c : w)
        if (c >= 0x80)
            return false;
    return true;
}

// The text in the Windows code page; false when a character has no exact
// spelling there (a look-alike would name another file).
bool ToAnsi(const std::wstring& w, std::string& out)
{
    out.clear();
    if (w.empty())
        return false;
    // Under the UTF-8 code page every letter has its spelling, and the
    // system refuses both the flag and the question.
    BOOL bDefault = FALSE;
    const DWORD dwFlags = CUtf8Conv::NoBestFitFlags(CP_ACP);
    BOOL* pbDefault = CUtf8Conv::MayAskUsedDefault(CP_ACP) ? &bDefault : nullptr;
    int n = ::WideCharToMultiByte(CP_ACP, dwFlags, w.c_str(), int(w.size()), nullptr, 0, nullptr, pbDefault);
    if (n <= 0 || bDefault)
        return false;
    out.resize(size_t(n));
    ::WideCharToMultiByte(CP_ACP, dwFlags, w.c_str(), int(w.size()), &out[0], n, nullptr, pbDefault);
    return !bDefault;
}

// The form of a path to put into the command line. The short form of a
// path is plain ASCII, which every program reads alike, so it is preferred
// where the file system has one.
bool SpellPath(const std::wstring& path, std::string& out)
{
    if (IsAscii(path))
        return ToAnsi(path, out);
    DWORD n = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n > 0) {
        std::wstring shortPath(n, L'\0');
        DWORD got = ::GetShortPathNameW(path.c_str(), &shortPath[0], n);
        if (got > 0 && got < n) {
            shortPath.resize(got);
            if (IsAscii(shortPath))
                return ToAnsi(shortPath, out);
        }
    }
    return ToAnsi(path, out);
}

// Characters the text takes in the edit control, which counts its limit
// in characters, not bytes.
int CharCount(const std::string& s)
{
    return ::MultiByteToWideChar(CP_ACP, 0, s.c_str(), int(s.size()), nullptr, 0);
}

} // namespace

int InsertDroppedFiles(HDROP hDrop, HWND hEdit)
{
    if (!hDrop || !hEdit)
        return 0;
    UINT nFiles = ::DragQueryFileW(hDrop, 0xFFFFFFFF, nullptr, 0);
    DWORD dwStart = 0, dwEnd = 0;
    ::SendMessageW(hEdit, EM_GETSEL, WPARAM(&dwStart), LPARAM(&dwEnd));
    long nRoom = long(::SendMessageW(hEdit, EM_GETLIMITTEXT, 0, 0)) - ::GetWindowTextLengthW(hEdit)
                 + long(dwEnd - dwStart);
    std::string text;
    int nInserted = 0;
    bool bRefused = false;
    for (UINT i = 0; i < nFiles; ++i) {
        UINT cch = ::DragQueryFileW(hDrop, i, nullptr, 0);
        std::wstring path(cch + 1, L'\0');
        path.resize(::DragQueryFileW(hDrop, i, &path[0], cch + 1));
        std::string spelt;
        if (!SpellPath(path, spelt)) {
            bRefused = true;
            continue;
        }
        std::string piece = " \"" + spelt + "\"";
        long nNeed = CharCount(piece);
        if (nNeed > nRoom) {
            // Half a path would make a command that names another file.
            bRefused = true;
            break;
        }
        text += piece;
        nRoom -= nNeed;
        ++nInserted;
    }
    if (!text.empty())
        ::SendMessageA(hEdit, EM_REPLACESEL, TRUE, LPARAM(text.c_str()));
    if (bRefused)
        ::Beep(252, 20);
    return nInserted;
}
