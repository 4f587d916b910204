// Files dropped onto the main window: a drop built as Explorer builds it (a
// DROPFILES header and the wide paths in global memory) goes to the real
// window as WM_DROPFILES, and the command line's text is read back.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "support/MainWndFixture.h"

namespace {

// The drop's memory, which the receiving window frees with DragFinish.
HDROP MakeDrop(const std::vector<std::wstring>& paths)
{
    size_t nChars = 1;
    for (const std::wstring& p : paths)
        nChars += p.size() + 1;
    HGLOBAL h = ::GlobalAlloc(GHND, sizeof(DROPFILES) + nChars * sizeof(wchar_t));
    DROPFILES* pDrop = static_cast<DROPFILES*>(::GlobalLock(h));
    pDrop->pFiles = sizeof(DROPFILES);
    pDrop->pt = POINT{ 20, 20 };
    pDrop->fWide = TRUE;
    wchar_t* q = reinterpret_cast<wchar_t*>(pDrop + 1);
    for (const std::wstring& p : paths) {
        memcpy(q, p.c_str(), (p.size() + 1) * sizeof(wchar_t));
        q += p.size() + 1;
    }
    *q = L'\0';
    ::GlobalUnlock(h);
    return HDROP(h);
}

class FileDrop : public MainWndFixture {
protected:
    void Drop(const std::vector<std::wstring>& paths)
    {
        main.SendMessage(WM_DROPFILES, WPARAM(MakeDrop(paths)), 0);
    }
    void SetLine(const char* psz, int nStart, int nEnd)
    {
        ::SetWindowTextA(Edit(), psz);
        ::SendMessageA(Edit(), EM_SETSEL, WPARAM(nStart), LPARAM(nEnd));
    }
};

std::wstring TempFolder()
{
    wchar_t buf[MAX_PATH];
    DWORD n = ::GetTempPathW(MAX_PATH, buf);
    return std::wstring(buf, n < MAX_PATH ? n : 0);
}

} // namespace

TEST_F(FileDrop, TwoFilesGoInAtTheCaretQuotedWithABlankInFront)
{
    EXPECT_TRUE(::GetWindowLongA(main.m_hWnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) << "the window takes drops";

    SetLine("push /sdcard/", 4, 4);
    Drop({ L"C:\\tmp\\app.apk", L"C:\\Program Files\\my notes.txt" });
    EXPECT_EQ(EditText(), "push \"C:\\tmp\\app.apk\" \"C:\\Program Files\\my notes.txt\" /sdcard/");
    DWORD dwStart = 0, dwEnd = 0;
    ::SendMessageA(Edit(), EM_GETSEL, WPARAM(&dwStart), LPARAM(&dwEnd));
    EXPECT_EQ(dwStart, 53u) << "the caret stands after the paths";
    EXPECT_EQ(dwEnd, 53u);
    ::SendMessageA(Edit(), EM_UNDO, 0, 0);
    EXPECT_EQ(EditText(), "push /sdcard/") << "one undo takes the whole drop back";

    SetLine("install old.apk", 7, 15);
    Drop({ L"D:\\new.apk" });
    EXPECT_EQ(EditText(), "install \"D:\\new.apk\"") << "the selection is replaced";

    Press(VK_RETURN);
    EXPECT_TRUE(WaitForLine("\x03" "adb install \"D:\\new.apk\"")) << ::testing::PrintToString(Lines());
    EXPECT_TRUE(WaitForLine(ExitLine(0, 1))) << "adb got the command (the imitation knows no install)";
}

TEST_F(FileDrop, APathThatCannotGoInWholeIsLeftOut)
{
    // No file, so no short form, and the code page has no Chinese letters.
    SetLine("push", 4, 4);
    Drop({ L"C:\\nowhere\\\x4E2D\x6587.apk", L"C:\\a.apk" });
    EXPECT_EQ(EditText(), "push \"C:\\a.apk\"");

    // ' "C:\a.apk"' is 11 characters: it fits exactly into 18, not into 17,
    // and nothing after a path that did not fit goes in either.
    ::SendMessageA(Edit(), EM_LIMITTEXT, 17, 0);
    SetLine("install", 7, 7);
    Drop({ L"C:\\a.apk", L"C:\\b" });
    EXPECT_EQ(EditText(), "install");
    ::SendMessageA(Edit(), EM_LIMITTEXT, 18, 0);
    Drop({ L"C:\\a.apk", L"C:\\b" });
    EXPECT_EQ(EditText(), "install \"C:\\a.apk\"");
    ::SendMessageA(Edit(), EM_LIMITTEXT, 25, 0);
    SetLine("install xxxxxxx", 8, 15);
    Drop({ L"C:\\a.apk" });
    EXPECT_EQ(EditText(), "install  \"C:\\a.apk\"") << "the selection's room counts";
}

TEST_F(FileDrop, APathOutsideAsciiGoesInByItsShortFormWhereItHasOne)
{
    // Such a path would reach adb changed by the conversion to the OEM code
    // page; its short form is plain ASCII.
    std::wstring path = TempFolder() + L"kb caf\x00E9 \x4E2D.apk";
    const char kMark[] = "dropped file";
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD dw = 0;
    ::WriteFile(h, kMark, sizeof kMark, &dw, nullptr);
    ::CloseHandle(h);
    SetLine("install", 7, 7);
    Drop({ path });
    std::string text = EditText();
    ASSERT_GT(text.size(), 11u);
    EXPECT_EQ(text.substr(0, 9), "install \"");
    EXPECT_EQ(text.back(), '"');
    std::string shortPath = text.substr(9, text.size() - 10);
    for (char c : shortPath)
        EXPECT_LT(static_cast<unsigned char>(c), 0x80) << shortPath;
    char got[sizeof kMark] = {};
    h = ::CreateFileA(shortPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << shortPath;
    if (h != INVALID_HANDLE_VALUE) {
        ::ReadFile(h, got, sizeof got, &dw, nullptr);
        ::CloseHandle(h);
    }
    ::DeleteFileW(path.c_str());
    EXPECT_STREQ(got, kMark) << "the short form names the dropped file";

    // Without a file there is no short form: the Windows code page spells it.
    SetLine("install", 7, 7);
    Drop({ L"C:\\nowhere\\caf\x00E9.apk" });
    EXPECT_EQ(EditText(), "install \"C:\\nowhere\\caf\xE9.apk\"");
}
