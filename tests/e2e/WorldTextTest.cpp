// Text in the user's own letters: adb's UTF-8 output, the system's messages
// and batch lines, as they show under whatever Windows locale the program
// runs (the tests are run under en-US, ru-RU, zh-CN and hi-IN, whose
// system code page is UTF-8).
#include <string>
#include <vector>

#include "screen/LetterWidth.h"
#include "support/AdbSim.h"
#include "support/ClipboardText.h"
#include "support/SystemText.h"
#include "E2eTest.h"
#include "ScreenCapture.h"
#include "UserInput.h"

namespace {

std::string Utf8Of(const std::wstring& w)
{
    int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

// What the screen should show for a UTF-8 line: the whole line converted at
// once into the ANSI code page, each letter it lacks one default character.
std::string AnsiOfUtf8(const std::string& strUtf8)
{
    if (::GetACP() == CP_UTF8) {
        // The UTF-8 system code page keeps every valid letter as it is.
        std::string s;
        const unsigned char* p = reinterpret_cast<const unsigned char*>(strUtf8.data());
        for (size_t i = 0; i < strUtf8.size();) {
            unsigned u = 0;
            int n = LetterWidth::Decode(p + i, strUtf8.size() - i, &u);
            s += n > 0 ? strUtf8.substr(i, size_t(n)) : std::string("?");
            i += size_t(n > 0 ? n : 1);
        }
        return s;
    }
    int n = ::MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), int(strUtf8.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), int(strUtf8.size()), &w[0], n);
    std::string s;
    for (size_t i = 0; i < w.size(); ++i) {
        // Letters beyond U+FFFF (emoji): no ANSI code page has them.
        if (w[i] >= 0xD800 && w[i] < 0xDC00 && i + 1 < w.size()) {
            s += '?';
            ++i;
            continue;
        }
        char out[4];
        int k = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &w[i], 1, out, sizeof(out), nullptr, nullptr);
        s.append(out, size_t(k > 0 ? k : 0));
    }
    return s;
}

std::string AnsiOf(const std::wstring& w)
{
    return AnsiOfUtf8(Utf8Of(w));
}

// The bytes as escapes for the adb imitation's --sim-write.
std::string Escaped(const std::string& s)
{
    std::string r;
    for (unsigned char c : s) {
        char sz[8];
        snprintf(sz, sizeof(sz), "\\x%02X", c);
        r += sz;
    }
    return r;
}

// Runs the adb imitation with a pipe for its output and keeps every byte.
bool CaptureAdbSim(const std::string& strArgs, std::string& strOut)
{
    SECURITY_ATTRIBUTES sa = { sizeof(sa), nullptr, TRUE };
    HANDLE hRead = nullptr, hWrite = nullptr;
    if (!::CreatePipe(&hRead, &hWrite, &sa, 0))
        return false;
    ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = hWrite;
    si.hStdInput = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION pi = {};
    std::string strCmd = AdbSimCommand(strArgs);
    BOOL bStarted = ::CreateProcessA(nullptr, &strCmd[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                     nullptr, &si, &pi);
    ::CloseHandle(hWrite);
    if (!bStarted) {
        ::CloseHandle(hRead);
        return false;
    }
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(hRead, buf, sizeof(buf), &n, nullptr) && n > 0)
        strOut.append(buf, n);
    ::WaitForSingleObject(pi.hProcess, 10000);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(hRead);
    return true;
}

// A run's lines in UTF-8, cut at LF or CR LF.
std::vector<std::string> Utf8Lines(const std::string& s)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < s.size()) {
        size_t lf = s.find('\n', at);
        if (lf == std::string::npos)
            lf = s.size();
        size_t end = lf > at && s[lf - 1] == '\r' ? lf - 1 : lf;
        lines.push_back(s.substr(at, end - at));
        at = lf + 1;
    }
    return lines;
}

bool IsDoubleByteAnsi()
{
    CPINFO info;
    return ::GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 2;
}

// Words in letters of the locale's own code page: Chinese where it has
// them, else Cyrillic, else accented Latin.
std::wstring LocalWord(int nWhich)
{
    switch (::GetACP()) {
    case 936: return nWhich == 0 ? L"\x5185\x7F6E" : L"\x5C4F\x5E55";
    case 1251: return nWhich == 0 ? L"\x0412\x0441\x0442\x0440\x043E\x0435\x043D\x043D\x044B\x0439"
                                  : L"\x044D\x043A\x0440\x0430\x043D";
    default: return nWhich == 0 ? L"caf\x00E9" : L"na\x00EFve";
    }
}

// The cells of text in the ANSI code page: a byte each, or under UTF-8 a
// letter each (two for a wide one).
int CellsOf(const std::string& s)
{
    return ::GetACP() == CP_UTF8 ? LetterWidth::Cells(s.data(), s.size()) : int(s.size());
}

// Whether the ANSI code page spells every letter exactly.
bool AnsiHas(const std::wstring& w)
{
    const std::string s = AnsiOf(w);
    return s.find('?') == std::string::npos;
}

// Whether the code page keeps Chinese letters, as two cells each.
bool KeepsChinese()
{
    return ::GetACP() == 936 || ::GetACP() == CP_UTF8;
}

// Pixels of a visible cell that differ from the screen's black.
int CellInk(const CScreenCapture& cap, int nColumn)
{
    const SIZE cell = CKestrelboxSession::CharCell();
    RECT rc = { nColumn * cell.cx, 0, (nColumn + 1) * cell.cx, cap.Height() };
    return rc.right - rc.left > 0 ? int((rc.right - rc.left) * cap.Height()) - cap.Count(rc, RGB(0, 0, 0)) : 0;
}

// The locale's name for the screenshots' file names.
std::string LocaleTag()
{
    char sz[LOCALE_NAME_MAX_LENGTH] = {};
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SNAME, sz, sizeof(sz));
    return sz[0] ? sz : std::to_string(::GetACP());
}

} // namespace

class WorldText : public KestrelboxTest {
protected:
    // Searches with the Find dialog for a text that cannot be typed key by
    // key in every locale.
    ::testing::AssertionResult Search(const std::string& strText)
    {
        Kb().Chord({ VK_CONTROL }, 'F');
        HWND hDlg = Kb().WaitForWindow("Find", 5000);
        if (!hDlg || !CKestrelboxSession::WaitForeground(hDlg))
            return ::testing::AssertionFailure() << "no Find dialog in front";
        HWND hCombo = ::GetDlgItem(hDlg, 101);
        ::SendMessageA(hCombo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strText.c_str()));
        if (CKestrelboxSession::ControlText(hCombo) != strText)
            return ::testing::AssertionFailure() << "the Find text is " << CKestrelboxSession::ControlText(hCombo);
        Kb().Press(VK_RETURN);
        if (!WaitUntil([&] { return !::IsWindow(hDlg); }, 5000))
            return ::testing::AssertionFailure() << "the Find dialog stayed";
        return ::testing::AssertionSuccess();
    }
};

TEST_F(WorldText, LogcatInTheUsersLettersShowsEveryLineExactly)
{
    std::string strRaw;
    ASSERT_TRUE(CaptureAdbSim("--sim-world-log 40", strRaw));
    std::vector<std::string> utf8 = Utf8Lines(strRaw);
    ASSERT_GT(utf8.size(), 100u);

    ScreenLines lines;
    ASSERT_TRUE(RunAndWait("--sim-world-log 40", 1, lines, 60000));
    lines = WithoutServerNotes(lines);
    ASSERT_EQ(lines.size(), utf8.size() + 2) << Describe(lines);
    EXPECT_EQ(lines[0], ">adb --sim-world-log 40");
    size_t nBad = 0;
    for (size_t i = 0; i < utf8.size(); ++i)
        if (lines[i + 1] != AnsiOfUtf8(utf8[i]) && nBad++ < 5)
            ADD_FAILURE() << "line " << i << ":\n  seen " << lines[i + 1] << "\n  want " << AnsiOfUtf8(utf8[i]);
    EXPECT_EQ(nBad, 0u);

    // The same lines by known bytes of each code page, so that the test
    // does not lean on the system's conversion alone.
    const std::string strScreen = Describe(lines);
    switch (::GetACP()) {
    case 936:
        EXPECT_NE(strScreen.find("DisplayDeviceInfo{\"\xC4\xDA\xD6\xC3\xC6\xC1\xC4\xBB\""), std::string::npos);
        break;
    case 1251:
        EXPECT_NE(strScreen.find("DisplayDeviceInfo{\"\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9 \xFD\xEA\xF0\xE0\xED\""),
                  std::string::npos);
        break;
    case CP_UTF8:
        // Every letter, emoji included, as adb wrote it.
        EXPECT_NE(strScreen.find("DisplayDeviceInfo{\"" + Utf8Of(L"\x0412\x0441\x0442\x0440\x043E\x0435\x043D\x043D\x044B\x0439 \x044D\x043A\x0440\x0430\x043D") + "\""),
                  std::string::npos);
        EXPECT_NE(strScreen.find("reactions: \xF0\x9F"), std::string::npos);
        break;
    default:
        EXPECT_NE(strScreen.find("DisplayDeviceInfo{\"?????????? ?????\""), std::string::npos);
        EXPECT_NE(strScreen.find("\"????? ? \x97 caf\xE9 Stra\xDF" "e 5 \x80\""), std::string::npos);
        break;
    }
    // One default character per emoji, ASCII untouched.
    if (::GetACP() != CP_UTF8) {
        EXPECT_NE(strScreen.find("reactions: ?? ? x3 "), std::string::npos);
    }
    EXPECT_NE(strScreen.find("I adbd    : host-17: opening shell service"), std::string::npos);
    CKestrelboxSession::Screenshot(("world-log-" + LocaleTag()).c_str());
}

TEST_F(WorldText, FailingLcdPrintsTheSystemsOwnText)
{
    const char* pszMissing = "C:\\kbe2e no such folder\\deeper";
    ASSERT_FALSE(::SetCurrentDirectoryA(pszMissing));
    const std::string strText = SystemText(::GetLastError());
    ASSERT_FALSE(strText.empty());

    Kb().EnterLine((std::string("lcd ") + pszMissing).c_str());
    ScreenLines lines;
    ASSERT_TRUE(Kb().WaitForScreen([](const ScreenLines& l) { return l.size() >= 2; }, lines)) << Describe(lines);
    EXPECT_EQ(lines[1], "!" + strText);
}

TEST_F(WorldText, BatchLineInTheUsersLettersIsEchoedAsWrittenAndReachesTheShellAsUtf8)
{
    ScreenLines lines;
    Kb().EnterLine("shell");
    ASSERT_TRUE(Kb().WaitForScreen([](const ScreenLines& l) { return LastTextLine(l).find("/ $") != std::string::npos; },
                                   lines))
        << Describe(lines);
    // The shell's echo sends back what it got: as UTF-8 of these letters
    // it shows them again.
    const std::string strWords = AnsiOf(LocalWord(0) + L" " + LocalWord(1));
    ASSERT_EQ(strWords.find('?'), std::string::npos) << "the code page has these letters";
    ASSERT_TRUE(PutClipboardText("echo " + strWords + "\r\n"));
    Kb().Chord({ VK_CONTROL }, 'B');
    HWND hDlg = Kb().WaitForWindow("Batch of commands", 5000);
    ASSERT_NE(hDlg, nullptr);
    ASSERT_TRUE(CKestrelboxSession::WaitForeground(hDlg));
    UserInput::Chord({ VK_MENU }, 'L');
    UserInput::Chord({ VK_MENU }, 'P');
    ASSERT_TRUE(WaitUntil([&] { return CKestrelboxSession::ControlText(::GetDlgItem(hDlg, 101)) == "echo " + strWords + "\r\n"; }, 5000));
    UserInput::Chord({ VK_MENU }, 'O');
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(hDlg); }, 5000));

    auto answered = [&](const ScreenLines& l) {
        for (const std::string& s : l)
            if (s.size() >= strWords.size() && s.compare(s.size() - strWords.size(), strWords.size(), strWords) == 0
                && s[0] != '>')
                return true;
        return false;
    };
    bool bAnswered = Kb().WaitForScreen(answered, lines);
    EXPECT_GE(FindLine(lines, ">echo " + strWords), 0) << Describe(lines);
    EXPECT_TRUE(bAnswered) << Describe(lines);
    CKestrelboxSession::Screenshot(("world-shell-" + LocaleTag()).c_str());
    Kb().EnterLine("exit");
    ASSERT_TRUE(WaitExitLines(1, lines));
}

TEST_F(WorldText, FindWordPickAndCopyTakeWholeLetters)
{
    const std::string strFirst = AnsiOf(LocalWord(0));
    const std::string strSecond = AnsiOf(LocalWord(1));
    const std::string strLine = "ab " + strFirst + " " + strSecond;
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait(("--sim-write " + Escaped(Utf8Of(L"ab " + LocalWord(0) + L" " + LocalWord(1)))
                            + "\\r\\n").c_str(), 1, lines));
    ASSERT_EQ(lines.size(), 3u) << Describe(lines);
    ASSERT_EQ(lines[1], strLine);

    // A copied line comes back as written.
    std::string strRow;
    ASSERT_TRUE(ReadRow(1, strRow));
    ScreenLines row = SplitScreenText(strRow);
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row[0], strLine);

    // A double click on either cell of the second word's last letter picks
    // the whole word.
    const int nSecond = 3 + CellsOf(strFirst) + 1;
    UserInput::LeftDoubleClick(Kb().CellPoint(1, nSecond + CellsOf(strSecond) - 1));
    EXPECT_TRUE(WaitUntil([&] { return Kb().CommandLineText() == " " + strSecond; }, 5000))
        << "[" << Kb().CommandLineText() << "]";
    Kb().Press(VK_HOME);
    Kb().Chord({ VK_SHIFT }, VK_END);
    Kb().Press(VK_DELETE);
    ASSERT_TRUE(WaitUntil([&] { return Kb().CommandLineText().empty(); }, 5000)) << Kb().CommandLineText();

    // The search finds the second word and paints the find colours over all
    // of its cells.
    ASSERT_TRUE(Search(strSecond));
    SIZE cell = CKestrelboxSession::CharCell();
    RECT rcWant = { nSecond * cell.cx, cell.cy, (nSecond + CellsOf(strSecond)) * cell.cx, 2 * cell.cy };
    RECT rcSeen = {};
    EXPECT_TRUE(WaitMatchAt(rcWant, rcSeen)) << "want " << rcWant << ", seen " << rcSeen;
    CKestrelboxSession::Screenshot(("world-find-" + LocaleTag()).c_str());
}

TEST_F(WorldText, SearchNeverMatchesInsideTwoDoubleByteLetters)
{
    if (!IsDoubleByteAnsi())
        GTEST_SKIP() << "the ANSI code page has no double-byte letters";
    // The trail byte of the first letter and the lead byte of the second
    // are the bytes of a third letter: a search for that letter must not
    // match there, in the middle of two letters.
    const std::string strFirst = AnsiOf(LocalWord(0));
    const std::string strStraddle = strFirst.substr(1, 2);
    ASSERT_TRUE(::IsDBCSLeadByte(static_cast<BYTE>(strStraddle[0])));
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait(("--sim-write " + Escaped(Utf8Of(L"ab " + LocalWord(0))) + "\\r\\n").c_str(), 1, lines));
    ASSERT_EQ(lines.size(), 3u) << Describe(lines);
    ASSERT_EQ(lines[1], "ab " + strFirst);
    ASSERT_TRUE(Search(strStraddle));
    // A match is painted within a few milliseconds; give it a second.
    ::Sleep(1000);
    RECT rcSeen = {};
    EXPECT_FALSE(MatchRect(rcSeen)) << "a match inside two letters at " << rcSeen;
}

TEST_F(WorldText, TypedLettersReachAdbExactlyAndTheirCopyReadsBackAsUnicode)
{
    // The euro sign where the code page has it, and the locale's letters;
    // under UTF-8 Cyrillic and Chinese as well.
    std::wstring strTyped = LocalWord(1);
    if (AnsiHas(L"\x20AC"))
        strTyped = L"\x20AC " + strTyped;
    if (::GetACP() == CP_UTF8)
        strTyped += L" \x041F\x0440\x0438\x0432\x0435\x0442 \x5C4F\x5E55";
    ASSERT_TRUE(AnsiHas(strTyped));
    UserInput::TypeWide(L"--sim-write \"" + strTyped + L"\"");
    Kb().Press(VK_RETURN);
    ScreenLines lines;
    ASSERT_TRUE(WaitExitLines(1, lines)) << Describe(lines);
    // adb got the very letters typed, whatever the OEM code page lacks.
    const std::string strLog = Kb().AdbCommandLog();
    EXPECT_NE(strLog.find("--sim-write \"" + Utf8Of(strTyped) + "\"\r\n"), std::string::npos) << strLog;
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], AnsiOf(strTyped)) << Describe(lines);

    // A copy carries the Unicode text, for programs that paste it, and the
    // system's locale.
    std::string strRow;
    ASSERT_TRUE(ReadRow(1, strRow));
    std::wstring strWide;
    LCID lcid = 0;
    ASSERT_TRUE(GetClipboardUnicode(strWide, &lcid));
    EXPECT_TRUE(strWide == strTyped) << strRow;
    EXPECT_EQ(lcid, ::GetSystemDefaultLCID());
}

TEST_F(WorldText, ChineseLineScrolledSidewaysStartsOnAWholeLetter)
{
    if (!KeepsChinese())
        GTEST_SKIP() << "the code page keeps no Chinese letters";
    // Wide letters from the first column on, longer than the screen.
    std::wstring strLine;
    for (int i = 0; i < 60; ++i)
        strLine += i % 2 ? L"\x5E55" : L"\x5C4F";
    strLine += L" end";
    ScreenLines lines;
    ASSERT_TRUE(RunAndWait(("--sim-write " + Escaped(Utf8Of(strLine)) + "\\r\\n").c_str(), 1, lines));
    ASSERT_EQ(lines[1], AnsiOf(strLine));
    // One click on the horizontal bar's right arrow: the first column is
    // the second half of the first letter, which is not drawn.
    const RECT rc = Kb().TextArea();
    const int cyBar = ::GetSystemMetrics(SM_CYHSCROLL);
    const POINT ptRight = { rc.right - ::GetSystemMetrics(SM_CXHSCROLL) / 2, rc.bottom + cyBar / 2 };
    CScreenCapture before, after;
    ASSERT_TRUE(Kb().GrabRow(1, before));
    ASSERT_GT(CellInk(before, 0), 0);
    UserInput::LeftClick(ptRight);
    ASSERT_TRUE(WaitUntil([&] { return Kb().GrabRow(1, after) && !after.SameAs(before); }, 5000));
    CKestrelboxSession::Screenshot(("world-hscroll-" + LocaleTag()).c_str());
    EXPECT_EQ(CellInk(after, 0), 0) << "half a letter in the first column";
    // The next letter from the second column on (a font without Chinese
    // letters draws a narrower box for each).
    EXPECT_GT(CellInk(after, 1) + CellInk(after, 2), 0);
    // Back to the first column for the tests after this one.
    Kb().Chord({ VK_CONTROL }, VK_HOME);
}

TEST_F(WorldText, DirOfChineseNamesComesWholeAlsoWhenAReadSplitsALetter)
{
    if (!KeepsChinese())
        GTEST_SKIP() << "the code page keeps no Chinese letters";
    // Files with Chinese names in the program's folder, and after the
    // listing one letter that the adb imitation writes in the OEM code
    // page in two pieces, so that two reads part its bytes.
    const std::wstring strFolder = L"\x5C4F\x5E55";
    const std::string strDir = Kb().WorkDir() + "\\" + AnsiOf(strFolder);
    ASSERT_TRUE(::CreateDirectoryA(strDir.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        names.push_back(AnsiOf(L"\x5185\x7F6E" + std::to_wstring(i) + L"\x6587.txt"));
        HANDLE h = ::CreateFileA((strDir + "\\" + names.back()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                 nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        ::CloseHandle(h);
    }
    const std::string strOem = AnsiOf(L"\x5185");
    const std::string strHalf1 = Escaped(strOem.substr(0, 1)), strHalf2 = Escaped(strOem.substr(1));
    const std::string strLine = "dir /b " + AnsiOf(strFolder) + " & adb --sim-write " + strHalf1 + " --sim-sleep 300 --sim-write "
        + strHalf2 + "#\\r\\n";
    // Typed as the letters they are: key by key their bytes would not be.
    ScreenLines lines;
    UserInput::TypeWide(WideOfAnsi(strLine));
    Kb().Press(VK_RETURN);
    ASSERT_TRUE(WaitExitLines(1, lines, 30000)) << Describe(lines);
    size_t nMissing = 0;
    for (const std::string& name : names)
        nMissing += FindLine(lines, name) < 0;
    EXPECT_EQ(nMissing, 0u) << Describe(lines);
    EXPECT_GE(FindLine(lines, strOem + "#"), 0) << Describe(lines);
    for (const std::string& name : names)
        ::DeleteFileA((strDir + "\\" + name).c_str());
    ::RemoveDirectoryA(strDir.c_str());
}
