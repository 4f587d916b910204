// The crash report: built from fabricated faults over memory laid out by
// the test, and shown by crashprobe.exe after real faults.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "crash/CrashReport.h"
#include "support/AdbSim.h"
#include "support/ClipboardText.h"
#include "support/SplitText.h"
#include "support/Wait.h"

namespace {

#ifdef _WIN64
const char* const kWord = "[0-9A-F]{16}";
const int kWordDigits = 16;
#else
const char* const kWord = "[0-9A-F]{8}";
const int kWordDigits = 8;
#endif

const std::string kTopRule =
    "---- Ba-bah! report ----------------------------------------------------------------";
const std::string kBottomRule(84, '=');

std::vector<std::string> SplitLines(const std::string& strText)
{
    return SplitText(strText, "\r\n");
}

std::string Hex(CrashWord n)
{
    char sz[32];
    snprintf(sz, sizeof sz, "%0*llX", kWordDigits, static_cast<unsigned long long>(n));
    return sz;
}

CrashWord ParseHex(const std::string& s)
{
    return CrashWord(strtoull(s.c_str(), nullptr, 16));
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& strLine, size_t nFrom = 0)
{
    for (size_t i = nFrom; i < lines.size(); ++i) {
        if (lines[i] == strLine)
            return i;
    }
    return lines.size();
}

// Two pages: the first readable and writable, the second not accessible at
// all, so that the words at the end of the first page are the last readable.
class CGuardedPage {
public:
    CGuardedPage()
    {
        SYSTEM_INFO si;
        ::GetSystemInfo(&si);
        m_nPage = si.dwPageSize;
        m_p = static_cast<BYTE*>(::VirtualAlloc(nullptr, 2 * m_nPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD nOld;
        if (!m_p || !::VirtualProtect(m_p + m_nPage, m_nPage, PAGE_NOACCESS, &nOld))
            throw std::runtime_error("no guarded page");
    }
    ~CGuardedPage()
    {
        if (m_p)
            ::VirtualFree(m_p, 0, MEM_RELEASE);
    }
    CGuardedPage(const CGuardedPage&) = delete;
    CGuardedPage& operator=(const CGuardedPage&) = delete;

    // The first of the last nWords readable words.
    CrashWord* LastWords(int nWords) const
    {
        return reinterpret_cast<CrashWord*>(m_p + m_nPage) - nWords;
    }
    CrashWord Unreadable() const { return CrashWord(m_p + m_nPage); }
    // The last nWords readable words, word i set to value(i).
    CrashWord* Fill(int nWords, const std::function<CrashWord(int)>& value) const
    {
        CrashWord* p = LastWords(nWords);
        for (int i = 0; i < nWords; ++i)
            p[i] = value(i);
        return p;
    }

    BYTE* m_p = nullptr;
    size_t m_nPage = 0;
};

// A module image of 0x200 bytes with the two signatures in place.
struct CFakeImage {
    CFakeImage()
    {
        memset(bytes, 0, sizeof bytes);
        bytes[0] = 'M';
        bytes[1] = 'Z';
        const DWORD nPe = 0x80;
        memcpy(bytes + 0x3C, &nPe, 4);
        memcpy(bytes + nPe, "PE\0\0", 4);
        const DWORD nSize = sizeof bytes;
        memcpy(bytes + nPe + 0x50, &nSize, 4);
    }
    CrashWord Base() const { return CrashWord(bytes); }
    alignas(16) BYTE bytes[0x200];
};

// The stack dump of up to 128 words from pWords, line by line.
std::vector<std::string> DumpLines(const CrashWord* pWords)
{
    CCrashReport report;
    report.AddStackDump(CrashWord(pWords), 128);
    return SplitLines(std::string(report.m_strReport));
}

// The scan of up to 128 words from pWords for pointers into the module.
std::vector<std::string> ScanLines(const CrashWord* pWords, const void* pModule)
{
    CCrashReport report;
    report.AddImageScan(CrashWord(pWords), 128, pModule);
    return SplitLines(std::string(report.m_strReport));
}

std::string StackRowPattern()
{
    std::string w = kWord;
    return "^ (" + w + "):  (" + w + ") (" + w + ") (" + w + ") (" + w + ")  (" + w + ") (" + w + ") (" + w +
           ") (" + w + ")$";
}

}

// ---- The report's text, built without a window ---------------------------

TEST(CrashReportBuilder, SeparatesLinesWithCrLfAndEndsWithoutBreak)
{
    CCrashReport report;
    report.AddLine("first");
    report.AddLine("");
    report.AddLineF("n=%d", 42);
    report.AppendF(" and %s", "more");
    EXPECT_STREQ("first\r\n\r\nn=42 and more", report.m_strReport);
}

TEST(CrashReportBuilder, FormatsLongTextWithoutLimit)
{
    CCrashReport report;
    std::string strLong(5000, 'x');
    report.AddLineF("%s", strLong.c_str());
    report.AppendF("%s!", strLong.c_str());
    EXPECT_EQ(10001, report.m_strReport.GetLength());
}

TEST(CrashReportBuilder, HeaderAndRegisterLinesInOrder)
{
    CGuardedPage stack;
    CrashWord* pWords = stack.Fill(128, [&](int i) { return CrashWord(i); });
    EXCEPTION_RECORD rec = {};
    rec.ExceptionCode = 0xC0000005;
    rec.ExceptionAddress = reinterpret_cast<void*>(CrashWord(0x1234ABCD));
    CONTEXT ctx = {};
#ifdef _WIN64
    ctx.Rax = 0x0123456789ABCDEFull;
    ctx.Rbx = 0x1111111111111111ull;
    ctx.Rcx = 0x2222222222222222ull;
    ctx.Rdx = 0xFEDCBA9876543210ull;
    ctx.Rsi = 0x5555555555555555ull;
    ctx.Rdi = 0x6666666666666666ull;
    ctx.Rbp = 0x7777777777777777ull;
    ctx.Rsp = CrashWord(pWords);
    const std::string strRegs1 =
        "eax: 0123456789ABCDEF  ebx: 1111111111111111  ecx: 2222222222222222  edx: FEDCBA9876543210";
    const std::string strRegs2 = "esi: 5555555555555555  edi: 6666666666666666  ebp: 7777777777777777  esp: " +
                                 Hex(CrashWord(pWords));
    const std::string strAddress = "    Address: 000000001234ABCD";
#else
    ctx.Eax = 0x01234567;
    ctx.Ebx = 0x11111111;
    ctx.Ecx = 0x22222222;
    ctx.Edx = 0xFEDCBA98;
    ctx.Esi = 0x55555555;
    ctx.Edi = 0x66666666;
    ctx.Ebp = 0x77777777;
    ctx.Esp = CrashWord(pWords);
    const std::string strRegs1 = "eax: 01234567  ebx: 11111111  ecx: 22222222  edx: FEDCBA98";
    const std::string strRegs2 = "esi: 55555555  edi: 66666666  ebp: 77777777  esp: " + Hex(CrashWord(pWords));
    const std::string strAddress = "    Address: 1234ABCD";
#endif
    EXCEPTION_POINTERS ep = {&rec, &ctx};
    CFakeImage image;

    std::vector<std::string> lines =
        SplitLines(std::string(BuildCrashReport(&ep, 0x1A, 0x12345, image.bytes)));

    ASSERT_GE(lines.size(), 13u);
    EXPECT_EQ(84u, lines[0].size());
    EXPECT_EQ(kTopRule, lines[0]);
    EXPECT_EQ(" Kestrelbox: 1.00", lines[1]);
    EXPECT_EQ("  AppThread: 001A", lines[2]);
    EXPECT_EQ("CrashThread: 12345", lines[3]);
    EXPECT_EQ(strAddress, lines[4]);
    EXPECT_EQ("  Exception: C0000005", lines[5]);
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(':', lines[size_t(i)][11]) << lines[size_t(i)];
    EXPECT_EQ("", lines[6]);
    EXPECT_EQ(strRegs1, lines[7]);
    EXPECT_EQ(strRegs2, lines[8]);
    EXPECT_EQ("", lines[9]);
    EXPECT_EQ(" -------- Stack dump", lines[10]);
    size_t nScan = IndexOf(lines, " -------- App space ");
    ASSERT_EQ(10u + 16u + 2u, nScan);
    EXPECT_EQ("", lines[nScan - 1]);
    EXPECT_EQ(kBottomRule, lines.back());
    EXPECT_EQ("", lines[lines.size() - 2]);
}

TEST(CrashReportBuilder, FullStackMakesSixteenRowsOfEightWords)
{
    CGuardedPage stack;
    CrashWord* pWords = stack.Fill(128, [&](int i) { return CrashWord(0xA0000000u + unsigned(i) * 0x10001u); });

    std::vector<std::string> lines = DumpLines(pWords);

    ASSERT_EQ(1u + 16u + 1u, lines.size());
    EXPECT_EQ(" -------- Stack dump", lines[0]);
    const std::regex row(StackRowPattern());
    for (int r = 0; r < 16; ++r) {
        std::smatch m;
        const std::string& strRow = lines[size_t(1 + r)];
        ASSERT_TRUE(std::regex_match(strRow, m, row)) << strRow;
        EXPECT_EQ(CrashWord(pWords + 8 * r), ParseHex(m[1].str()));
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(pWords[8 * r + k], ParseHex(m[size_t(2 + k)].str())) << strRow;
    }
    EXPECT_EQ("", lines.back());
}

TEST(CrashReportBuilder, UnreadableWordAtRowStartLeavesAddressColonAndOneBlank)
{
    CGuardedPage stack;
    CrashWord* pWords = stack.Fill(16, [&](int i) { return CrashWord(i + 1); });

    std::vector<std::string> lines = DumpLines(pWords);

    ASSERT_EQ(1u + 2u + 1u + 1u + 1u, lines.size());
    const std::regex row(StackRowPattern());
    EXPECT_TRUE(std::regex_match(lines[1], row)) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], row)) << lines[2];
    EXPECT_EQ(" " + Hex(stack.Unreadable()) + ": ", lines[3]);
    EXPECT_EQ("  (abort)", lines[4]);
    EXPECT_EQ("", lines[5]);
}

TEST(CrashReportBuilder, UnreadableWordInsideRowEndsTheRowThere)
{
    CGuardedPage stack;
    CrashWord* pWords = stack.Fill(5, [&](int i) { return CrashWord(0x10 * (i + 1)); });

    std::vector<std::string> lines = DumpLines(pWords);

    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(" " + Hex(CrashWord(pWords)) + ":  " + Hex(0x10) + " " + Hex(0x20) + " " + Hex(0x30) + " " +
                  Hex(0x40) + "  " + Hex(0x50),
              lines[1]);
    EXPECT_EQ("  (abort)", lines[2]);
}

TEST(CrashReportBuilder, UnreadableWordAfterFourKeepsTheGroupBlank)
{
    CGuardedPage stack;
    CrashWord* pWords = stack.Fill(4, [&](int i) { return CrashWord(i); });

    std::vector<std::string> lines = DumpLines(pWords);

    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(" " + Hex(CrashWord(pWords)) + ":  " + Hex(0) + " " + Hex(1) + " " + Hex(2) + " " + Hex(3) + " ",
              lines[1]);
    EXPECT_EQ("  (abort)", lines[2]);
}

TEST(CrashReportBuilder, ScanListsOnlyWordsInsideTheImageNearestFirst)
{
    CGuardedPage stack;
    CFakeImage image;
    const CrashWord b = image.Base();
    CrashWord* pWords = stack.Fill(128, [](int) { return CrashWord(7); });
    pWords[0] = b - 1;
    pWords[1] = b;
    pWords[2] = b + 0x1FF;
    pWords[3] = b + 0x200;
    pWords[64] = b + 0x40;
    pWords[127] = b + 0x100;

    std::vector<std::string> lines = ScanLines(pWords, image.bytes);

    std::vector<std::string> expected = {
        " -------- App space ",
        " " + Hex(CrashWord(pWords + 1)) + ":  " + Hex(b),
        " " + Hex(CrashWord(pWords + 2)) + ":  " + Hex(b + 0x1FF),
        " " + Hex(CrashWord(pWords + 64)) + ":  " + Hex(b + 0x40),
        " " + Hex(CrashWord(pWords + 127)) + ":  " + Hex(b + 0x100),
        "",
    };
    EXPECT_EQ(expected, lines);
}

TEST(CrashReportBuilder, ScanStopsAtTheFirstUnreadableWord)
{
    CGuardedPage stack;
    CFakeImage image;
    CrashWord* pWords = stack.LastWords(3);
    pWords[0] = image.Base() + 8;
    pWords[1] = 0;
    pWords[2] = image.Base() + 16;

    std::vector<std::string> lines = ScanLines(pWords, image.bytes);

    std::vector<std::string> expected = {
        " -------- App space ",
        " " + Hex(CrashWord(pWords)) + ":  " + Hex(image.Base() + 8),
        " " + Hex(CrashWord(pWords + 2)) + ":  " + Hex(image.Base() + 16),
        "  (abort)",
        "",
    };
    EXPECT_EQ(expected, lines);
}

TEST(CrashReportBuilder, ModuleWithoutMzSignGivesNoScan)
{
    CGuardedPage stack;
    CFakeImage image;
    image.bytes[0] = 'N';
    CrashWord* pWords = stack.Fill(8, [&](int i) { return image.Base() + CrashWord(i); });

    std::vector<std::string> expected = {" -------- App space ", " No MZ sign at " + Hex(image.Base()), "  (abort)",
                                         ""};
    EXPECT_EQ(expected, ScanLines(pWords, image.bytes));
}

TEST(CrashReportBuilder, UnreadableModuleBaseCountsAsNoMzSign)
{
    CGuardedPage stack;
    std::vector<std::string> expected = {" -------- App space ", " No MZ sign at " + Hex(stack.Unreadable()),
                                         "  (abort)", ""};
    EXPECT_EQ(expected, ScanLines(stack.LastWords(8), reinterpret_cast<void*>(stack.Unreadable())));
}

TEST(CrashReportBuilder, ModuleWithoutPeSignGivesNoScan)
{
    CGuardedPage stack;
    CFakeImage image;
    image.bytes[0x81] = 'F';

    std::vector<std::string> expected = {" -------- App space ", " No PE sign at " + Hex(image.Base() + 0x80),
                                         "  (abort)", ""};
    EXPECT_EQ(expected, ScanLines(stack.LastWords(8), image.bytes));
}

TEST(CrashReportBuilder, PeOffsetIntoUnreadableMemoryCountsAsNoPeSign)
{
    CGuardedPage stack;
    // The module sits at the end of the readable page and its header offset
    // points past it.
    BYTE* pModule = stack.m_p + stack.m_nPage - 0x40;
    memset(pModule, 0, 0x40);
    pModule[0] = 'M';
    pModule[1] = 'Z';
    const DWORD nPe = 0x1000;
    memcpy(pModule + 0x3C, &nPe, 4);

    std::vector<std::string> expected = {" -------- App space ", " No PE sign at " + Hex(CrashWord(pModule) + nPe),
                                         "  (abort)", ""};
    EXPECT_EQ(expected, ScanLines(stack.LastWords(8), pModule));
}

TEST(CrashReportBuilder, ScanFindsPointersIntoTheRealProgramImage)
{
    CGuardedPage stack;
    HMODULE hModule = ::GetModuleHandleA(nullptr);
    CrashWord* pWords = stack.Fill(128, [](int) { return CrashWord(0); });
    pWords[10] = CrashWord(&SplitLines);
    pWords[11] = CrashWord(&kTopRule);
    pWords[12] = CrashWord(pWords);

    std::vector<std::string> expected = {
        " -------- App space ",
        " " + Hex(CrashWord(pWords + 10)) + ":  " + Hex(CrashWord(&SplitLines)),
        " " + Hex(CrashWord(pWords + 11)) + ":  " + Hex(CrashWord(&kTopRule)),
        "",
    };
    EXPECT_EQ(expected, ScanLines(pWords, hModule));
}

TEST(CrashReportBuilder, MissingExceptionDetailsStillGiveAWholeReport)
{
    std::vector<std::string> lines = SplitLines(std::string(BuildCrashReport(nullptr, 0, 0, nullptr)));
    std::vector<std::string> expected = {
        kTopRule,
        " Kestrelbox: 1.00",
        "  AppThread: 0000",
        "CrashThread: 0000",
        "    Address: " + Hex(0),
        "  Exception: 00000000",
        "",
        "eax: " + Hex(0) + "  ebx: " + Hex(0) + "  ecx: " + Hex(0) + "  edx: " + Hex(0),
        "esi: " + Hex(0) + "  edi: " + Hex(0) + "  ebp: " + Hex(0) + "  esp: " + Hex(0),
        "",
        " -------- Stack dump",
        " " + Hex(0) + ": ",
        "  (abort)",
        "",
        " -------- App space ",
        " No MZ sign at " + Hex(0),
        "  (abort)",
        "",
        kBottomRule,
    };
    EXPECT_EQ(expected, lines);
}

// ---- Real faults in crashprobe.exe ---------------------------------------

namespace {

// crashprobe.exe, built beside this test program, run with one mode.
class CProbe {
public:
    explicit CProbe(const char* pszMode)
    {
        std::string strPath = ProgramFolder() + "crashprobe.exe";
        std::string strCmd = "\"" + strPath + "\" " + pszMode;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::vector<char> cmd(strCmd.begin(), strCmd.end());
        cmd.push_back(0);
        m_bStarted = ::CreateProcessA(strPath.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                      &si, &m_pi) != FALSE;
    }
    ~CProbe()
    {
        if (!m_bStarted)
            return;
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_pi.hProcess, 99);
            ::WaitForSingleObject(m_pi.hProcess, 10000);
        }
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
    }
    CProbe(const CProbe&) = delete;
    CProbe& operator=(const CProbe&) = delete;

    // Waits for the crash dialog: a visible "#32770" window of the probe.
    bool WaitForDialog(DWORD dwTimeout = 30000)
    {
        bool bEnded = false;
        WaitUntil([&] {
            m_hDlg = nullptr;
            ::EnumWindows(&FindDialog, LPARAM(this));
            bEnded = !m_hDlg && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0;
            return m_hDlg || bEnded;
        }, dwTimeout);
        return m_hDlg != nullptr;
    }

    HWND Item(int nId) const { return ::GetDlgItem(m_hDlg, nId); }

    std::string ReportText() const
    {
        HWND hEdit = Item(101);
        DWORD_PTR nLength = 0;
        if (!::SendMessageTimeoutA(hEdit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &nLength))
            return std::string();
        std::vector<char> buf(nLength + 1);
        DWORD_PTR nGot = 0;
        if (!::SendMessageTimeoutA(hEdit, WM_GETTEXT, buf.size(), LPARAM(buf.data()), SMTO_ABORTIFHUNG, 5000,
                                   &nGot))
            return std::string();
        return std::string(buf.data(), nGot);
    }

    // The probe's image in its own address space.
    bool ImageRange(CrashWord* pBase, CrashWord* pEnd) const
    {
        HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, m_pi.dwProcessId);
        if (hSnap == INVALID_HANDLE_VALUE)
            return false;
        MODULEENTRY32 me = {};
        me.dwSize = sizeof me;
        bool bFound = false;
        for (BOOL b = ::Module32First(hSnap, &me); b; b = ::Module32Next(hSnap, &me)) {
            if (_stricmp(me.szModule, "crashprobe.exe") == 0) {
                *pBase = CrashWord(me.modBaseAddr);
                *pEnd = *pBase + me.modBaseSize;
                bFound = true;
                break;
            }
        }
        ::CloseHandle(hSnap);
        return bFound;
    }

    // Bytes of the probe's memory.
    bool Read(CrashWord nAddress, void* p, size_t n) const
    {
        SIZE_T nGot = 0;
        return ::ReadProcessMemory(m_pi.hProcess, reinterpret_cast<const void*>(nAddress), p, n, &nGot) && nGot == n;
    }

    // The exit code once the probe has ended, or STILL_ACTIVE.
    DWORD WaitForExit(DWORD dwTimeout = 20000) const
    {
        DWORD nCode = STILL_ACTIVE;
        if (::WaitForSingleObject(m_pi.hProcess, dwTimeout) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(m_pi.hProcess, &nCode);
        return nCode;
    }

    bool m_bStarted = false;
    PROCESS_INFORMATION m_pi = {};
    HWND m_hDlg = nullptr;

private:
    static BOOL CALLBACK FindDialog(HWND hWnd, LPARAM lParam)
    {
        CProbe* p = reinterpret_cast<CProbe*>(lParam);
        DWORD nPid = 0;
        ::GetWindowThreadProcessId(hWnd, &nPid);
        char szClass[16] = "";
        ::GetClassNameA(hWnd, szClass, sizeof szClass);
        if (nPid == p->m_pi.dwProcessId && strcmp(szClass, "#32770") == 0 && ::IsWindowVisible(hWnd) &&
            ::GetDlgItem(hWnd, 101)) {
            p->m_hDlg = hWnd;
            return FALSE;
        }
        return TRUE;
    }
};

// What a shown report says, taken apart line by line.
struct CParsedReport {
    bool bParsed = false;
    DWORD nAppThread = 0;
    DWORD nCrashThread = 0;
    CrashWord nAddress = 0;
    DWORD nCode = 0;
    CrashWord nEsp = 0;
    std::vector<std::vector<CrashWord>> rows;   // each row: address, then its words
    bool bDumpAborted = false;
    std::vector<std::pair<CrashWord, CrashWord>> scan;
    bool bScanAborted = false;
    std::string strError;
};

// Checks every line's form and the order of the parts.
CParsedReport ParseReport(const std::string& strText)
{
    CParsedReport r;
    std::vector<std::string> lines = SplitLines(strText);
    const std::string w = kWord;
    std::smatch m;
    size_t i = 0;
    auto fail = [&](const char* pszWhat) {
        r.strError = std::string(pszWhat) + " at line " + std::to_string(i) + ": " +
                     (i < lines.size() ? lines[i] : std::string("<end>"));
        return r;
    };
    auto next = [&](const std::string& strPattern) {
        return i < lines.size() && std::regex_match(lines[i], m, std::regex(strPattern));
    };
    if (!next("^" + kTopRule + "$"))
        return fail("top rule");
    ++i;
    if (!next("^ Kestrelbox: 1\\.00$"))
        return fail("version");
    ++i;
    if (!next("^  AppThread: ([0-9A-F]{4,8})$"))
        return fail("AppThread");
    r.nAppThread = DWORD(ParseHex(m[1].str()));
    ++i;
    if (!next("^CrashThread: ([0-9A-F]{4,8})$"))
        return fail("CrashThread");
    r.nCrashThread = DWORD(ParseHex(m[1].str()));
    ++i;
    if (!next("^    Address: (" + w + ")$"))
        return fail("Address");
    r.nAddress = ParseHex(m[1].str());
    ++i;
    if (!next("^  Exception: ([0-9A-F]{8})$"))
        return fail("Exception");
    r.nCode = DWORD(ParseHex(m[1].str()));
    ++i;
    if (!next("^$"))
        return fail("empty line after the header");
    ++i;
    if (!next("^eax: " + w + "  ebx: " + w + "  ecx: " + w + "  edx: " + w + "$"))
        return fail("first register line");
    ++i;
    if (!next("^esi: " + w + "  edi: " + w + "  ebp: " + w + "  esp: (" + w + ")$"))
        return fail("second register line");
    r.nEsp = ParseHex(m[1].str());
    ++i;
    if (!next("^$"))
        return fail("empty line after the registers");
    ++i;
    if (!next("^ -------- Stack dump$"))
        return fail("stack dump title");
    ++i;
    // A row: its address, a colon, then up to eight words in two groups of
    // four. Only the last row may be short, and only when the dump aborts.
    const std::regex row("^ (" + w + "):(.*)$");
    const std::regex word(w);
    while (i < lines.size() && std::regex_match(lines[i], m, row)) {
        if (!r.rows.empty() && r.rows.back().size() != 9)
            return fail("row after a short row");
        std::vector<CrashWord> values = {ParseHex(m[1].str())};
        const std::string strRest = m[2].str();
        std::string strLayout;
        for (std::sregex_iterator it(strRest.begin(), strRest.end(), word), end; it != end; ++it) {
            int k = int(values.size()) - 1;
            strLayout += k % 4 == 0 ? "  " : " ";
            strLayout += it->str();
            values.push_back(ParseHex(it->str()));
        }
        const int nWords = int(values.size()) - 1;
        if (nWords > 8)
            return fail("more than eight words in a row");
        if (nWords % 4 == 0 && nWords < 8)
            strLayout += " ";   // the group blank, written before the word that could not be read
        if (strRest != strLayout)
            return fail("row layout");
        r.rows.push_back(values);
        ++i;
    }
    if (next("^  \\(abort\\)$")) {
        r.bDumpAborted = true;
        ++i;
    }
    if (!r.rows.empty() && r.rows.back().size() != 9 && !r.bDumpAborted)
        return fail("short row without abort");
    if (!next("^$"))
        return fail("empty line after the dump");
    ++i;
    if (!next("^ -------- App space $"))
        return fail("app space title");
    ++i;
    while (next("^ (" + w + "):  (" + w + ")$")) {
        r.scan.emplace_back(ParseHex(m[1].str()), ParseHex(m[2].str()));
        ++i;
    }
    if (next("^  \\(abort\\)$")) {
        r.bScanAborted = true;
        ++i;
    }
    if (!next("^$"))
        return fail("empty line after the scan");
    ++i;
    if (!next("^" + kBottomRule + "$"))
        return fail("bottom rule");
    ++i;
    if (i != lines.size())
        return fail("text after the bottom rule");
    r.bParsed = true;
    return r;
}

// Starts the probe in a mode and waits for its crash dialog; pReport, if
// given, gets the report taken apart, which must then be whole.
::testing::AssertionResult ShowsReport(CProbe& probe, CParsedReport* pReport = nullptr)
{
    if (!probe.m_bStarted)
        return ::testing::AssertionFailure() << "crashprobe.exe did not start";
    if (!probe.WaitForDialog())
        return ::testing::AssertionFailure() << "no crash dialog; probe exit code " << probe.WaitForExit(0);
    if (pReport) {
        *pReport = ParseReport(probe.ReportText());
        if (!pReport->bParsed)
            return ::testing::AssertionFailure() << pReport->strError;
    }
    return ::testing::AssertionSuccess();
}

// Every full row holds eight words at consecutive addresses from esp.
void ExpectRowsFollowTheStackPointer(const CParsedReport& r)
{
    for (size_t k = 0; k < r.rows.size(); ++k)
        EXPECT_EQ(r.nEsp + k * 8 * sizeof(CrashWord), r.rows[k][0]) << "row " << k;
}

// The scan lines repeat dump words, at the same addresses, in the same order.
void ExpectScanRepeatsDumpWords(const CParsedReport& r)
{
    CrashWord nLast = 0;
    for (const auto& entry : r.scan) {
        CrashWord nOffset = entry.first - r.nEsp;
        ASSERT_EQ(0u, nOffset % sizeof(CrashWord));
        size_t nIndex = nOffset / sizeof(CrashWord);
        size_t nRow = nIndex / 8, nCol = nIndex % 8;
        ASSERT_LT(nRow, r.rows.size());
        ASSERT_LT(nCol + 1, r.rows[nRow].size());
        EXPECT_EQ(r.rows[nRow][nCol + 1], entry.second);
        EXPECT_GT(entry.first, nLast);
        nLast = entry.first;
    }
}

}

TEST(CrashReportDialog, MainThreadFaultReportsTheMainThreadTwice)
{
    CProbe probe("main");
    CParsedReport r;
    ASSERT_TRUE(ShowsReport(probe, &r));

    EXPECT_EQ(probe.m_pi.dwThreadId, r.nAppThread);
    EXPECT_EQ(r.nAppThread, r.nCrashThread);
    EXPECT_EQ(DWORD(EXCEPTION_ACCESS_VIOLATION), r.nCode);
    CrashWord nBase = 0, nEnd = 0;
    ASSERT_TRUE(probe.ImageRange(&nBase, &nEnd));
    EXPECT_TRUE(r.nAddress >= nBase && r.nAddress < nEnd) << Hex(r.nAddress);
    EXPECT_EQ(probe.m_pi.dwThreadId, ::GetWindowThreadProcessId(probe.m_hDlg, nullptr));
    ExpectRowsFollowTheStackPointer(r);
    ExpectScanRepeatsDumpWords(r);
}

TEST(CrashReportDialog, SecondThreadFaultIsShownOnThatThread)
{
    CProbe probe("thread");
    CParsedReport r;
    ASSERT_TRUE(ShowsReport(probe, &r));

    EXPECT_EQ(probe.m_pi.dwThreadId, r.nAppThread);
    EXPECT_NE(r.nAppThread, r.nCrashThread);
    EXPECT_EQ(r.nCrashThread, ::GetWindowThreadProcessId(probe.m_hDlg, nullptr));
    EXPECT_EQ(DWORD(EXCEPTION_ACCESS_VIOLATION), r.nCode);
}

TEST(CrashReportDialog, DeepFaultDumpsSixteenFullRowsAndReturnAddresses)
{
    CProbe probe("deep");
    CParsedReport r;
    ASSERT_TRUE(ShowsReport(probe, &r));

    ASSERT_EQ(16u, r.rows.size());
    for (const auto& values : r.rows)
        EXPECT_EQ(9u, values.size());
    EXPECT_FALSE(r.bDumpAborted);
    EXPECT_FALSE(r.bScanAborted);
    ExpectRowsFollowTheStackPointer(r);
    ExpectScanRepeatsDumpWords(r);
    CrashWord nBase = 0, nEnd = 0;
    ASSERT_TRUE(probe.ImageRange(&nBase, &nEnd));
    EXPECT_GE(r.scan.size(), 2u);
    for (const auto& entry : r.scan)
        EXPECT_TRUE(entry.second >= nBase && entry.second < nEnd) << Hex(entry.second);
}

TEST(CrashReportDialog, FaultAtTheTopOfTheStackEndsDumpAndScanWithAbort)
{
    CProbe probe("top");
    CParsedReport r;
    ASSERT_TRUE(ShowsReport(probe, &r));

    EXPECT_NE(r.nAppThread, r.nCrashThread);
    EXPECT_TRUE(r.bDumpAborted);
    EXPECT_TRUE(r.bScanAborted);
    ASSERT_FALSE(r.rows.empty());
    EXPECT_LT(r.rows.size(), 16u);
    // The readable words are exactly those below the first unreadable one.
    size_t nWords = 0;
    for (const auto& values : r.rows)
        nWords += values.size() - 1;
    EXPECT_LT(nWords, 128u);
    EXPECT_EQ(0u, (r.nEsp + nWords * sizeof(CrashWord)) % 4096) << Hex(r.nEsp) << " " << nWords;
    ExpectRowsFollowTheStackPointer(r);
}

TEST(CrashReportDialog, DialogIs800WideTwoThirdsHighAndCentred)
{
    CProbe probe("main");
    ASSERT_TRUE(ShowsReport(probe));
    RECT rc;
    ASSERT_TRUE(::GetWindowRect(probe.m_hDlg, &rc));
    EXPECT_EQ(800, rc.right - rc.left);
    EXPECT_EQ((2 * ::GetSystemMetrics(SM_CYSCREEN)) / 3, rc.bottom - rc.top);
    RECT rcWork;
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0));
    EXPECT_NEAR((rcWork.left + rcWork.right) / 2, (rc.left + rc.right) / 2, 1);
    EXPECT_NEAR((rcWork.top + rcWork.bottom) / 2, (rc.top + rc.bottom) / 2, 1);

    RECT rcClient, rcEdit, rcButton;
    ::GetClientRect(probe.m_hDlg, &rcClient);
    ::GetWindowRect(probe.Item(101), &rcEdit);
    ::GetWindowRect(probe.Item(IDOK), &rcButton);
    POINT ptClient = {0, 0};
    ::ClientToScreen(probe.m_hDlg, &ptClient);
    // The edit fills the dialog above the button, which is centred under it.
    EXPECT_EQ(ptClient.x + 2, rcEdit.left);
    EXPECT_EQ(ptClient.y + 2, rcEdit.top);
    EXPECT_GT(rcEdit.right - rcEdit.left, 700);
    EXPECT_NEAR(ptClient.x + rcClient.right / 2, (rcButton.left + rcButton.right) / 2, 1);
    EXPECT_GT(rcButton.top, rcEdit.bottom);
    EXPECT_LT(rcButton.bottom, ptClient.y + rcClient.bottom);
    char szButton[32] = "";
    ::GetWindowTextA(probe.Item(IDOK), szButton, sizeof szButton);
    EXPECT_STREQ("&Terminate", szButton);
}

TEST(CrashReportDialog, ReportIsNotLeftSelected)
{
    CProbe probe("main");
    ASSERT_TRUE(ShowsReport(probe));
    HWND hEdit = probe.Item(101);
    const int nLength = int(probe.ReportText().size());
    ASSERT_GT(nLength, 0);
    auto selection = [&] {
        DWORD_PTR n = 0;
        ::SendMessageTimeoutA(hEdit, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &n);
        return std::make_pair(int(LOWORD(n)), int(HIWORD(n)));
    };
    EXPECT_TRUE(WaitUntil([&] { return selection().first == selection().second; }))
        << selection().first << "-" << selection().second;
}

TEST(CrashReportDialog, ReportIsShownFromItsLeftEdge)
{
    CProbe probe("deep");
    ASSERT_TRUE(ShowsReport(probe));
    HWND hEdit = probe.Item(101);
    // The first character's x stays negative while the text is scrolled
    // sideways; give the posted selection time to be handled first.
    auto firstCharX = [&] {
        DWORD_PTR n = 0;
        ::SendMessageTimeoutA(hEdit, EM_POSFROMCHAR, 0, 0, SMTO_ABORTIFHUNG, 5000, &n);
        return int(short(LOWORD(n)));
    };
    ASSERT_TRUE(WaitUntil([&] {
        DWORD_PTR n = 0;
        ::SendMessageTimeoutA(hEdit, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &n);
        return LOWORD(n) == HIWORD(n);
    }));
    EXPECT_GE(firstCharX(), 0);
    EXPECT_LT(firstCharX(), 10);
}

TEST(CrashReportDialog, DoubleClickCopiesWholeReportWithCrLf)
{
    CProbe probe("deep");
    ASSERT_TRUE(ShowsReport(probe));
    const std::string strReport = probe.ReportText();
    ASSERT_TRUE(ParseReport(strReport).bParsed);
    ASSERT_TRUE(PutClipboardText("before"));
    const DWORD dwSequence = ::GetClipboardSequenceNumber();

    HWND hEdit = probe.Item(101);
    ASSERT_TRUE(::PostMessageA(hEdit, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20)));
    std::string strClip;
    EXPECT_TRUE(WaitClipboardText(dwSequence, "before", strClip));
    EXPECT_EQ(strReport, strClip);
    // Every break is CR LF, and none follows the last line.
    size_t nBreaks = 0;
    for (size_t k = 0; k < strClip.size(); ++k) {
        if (strClip[k] == '\r') {
            ASSERT_LT(k + 1, strClip.size());
            EXPECT_EQ('\n', strClip[k + 1]);
            ++nBreaks;
        } else if (strClip[k] == '\n') {
            ASSERT_GT(k, 0u);
            EXPECT_EQ('\r', strClip[k - 1]);
        }
    }
    EXPECT_EQ(SplitLines(strReport).size() - 1, nBreaks);
    EXPECT_EQ(kBottomRule, strClip.substr(strClip.size() - kBottomRule.size()));
    // The edit never saw the double click, so it selected no word.
    DWORD_PTR n = 0;
    ::SendMessageTimeoutA(hEdit, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &n);
    EXPECT_EQ(LOWORD(n), HIWORD(n));
}

TEST(CrashReportDialog, TerminateButtonEndsWithExitCode3)
{
    CProbe probe("thread");
    ASSERT_TRUE(ShowsReport(probe));
    ASSERT_TRUE(::PostMessageA(probe.Item(IDOK), BM_CLICK, 0, 0));
    EXPECT_EQ(3u, probe.WaitForExit());
}

TEST(CrashReportDialog, EscapeEndsWithExitCode3)
{
    CProbe probe("main");
    ASSERT_TRUE(ShowsReport(probe));
    HWND hEdit = probe.Item(101);
    ASSERT_TRUE(::PostMessageA(hEdit, WM_KEYDOWN, VK_ESCAPE, 0x00010001));
    ASSERT_TRUE(::PostMessageA(hEdit, WM_KEYUP, VK_ESCAPE, 0xC0010001));
    EXPECT_EQ(3u, probe.WaitForExit());
}

namespace {

struct CWindowSearch {
    DWORD nPid;
    HWND hFound;
};

BOOL CALLBACK FindProbeMainWindow(HWND hWnd, LPARAM lParam)
{
    CWindowSearch* p = reinterpret_cast<CWindowSearch*>(lParam);
    DWORD nPid = 0;
    ::GetWindowThreadProcessId(hWnd, &nPid);
    char szTitle[32] = "";
    ::GetWindowTextA(hWnd, szTitle, sizeof szTitle);
    if (nPid == p->nPid && strcmp(szTitle, "Kestrelbox probe") == 0) {
        p->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

// The probe's main window ("Kestrelbox probe"), or null.
HWND ProbeMainWindow(const CProbe& probe)
{
    CWindowSearch search = { probe.m_pi.dwProcessId, nullptr };
    ::EnumWindows(FindProbeMainWindow, LPARAM(&search));
    return search.hFound;
}

// An address the probe published as a property of its main window, or 0.
CrashWord ProbeProperty(const CProbe& probe, const char* pszName)
{
    HWND hMain = ProbeMainWindow(probe);
    return hMain ? CrashWord(::GetPropA(hMain, pszName)) : 0;
}

// The report's address is a direct call (E8 and a 32-bit displacement) of
// the function the probe published as "KbThrowCall" and, when the probe
// published the thrower ("KbThrowFunction", a few instructions long), a
// call inside it.
::testing::AssertionResult NamesThePublishedCall(const CProbe& probe, CrashWord nAddress)
{
    const CrashWord nCall = ProbeProperty(probe, "KbThrowCall");
    const CrashWord nFunction = ProbeProperty(probe, "KbThrowFunction");
    if (!nCall)
        return ::testing::AssertionFailure() << "the probe published no call";
    unsigned char code[5] = {};
    if (!probe.Read(nAddress, code, sizeof code) || code[0] != 0xE8)
        return ::testing::AssertionFailure() << "no direct call at " << Hex(nAddress);
    int32_t nDisplacement;
    memcpy(&nDisplacement, code + 1, sizeof nDisplacement);
    const CrashWord nTarget = nAddress + 5 + CrashWord(intptr_t(nDisplacement));
    if (nTarget != nCall)
        return ::testing::AssertionFailure() << "the call at " << Hex(nAddress) << " goes to " << Hex(nTarget)
                                             << ", not to " << Hex(nCall);
    if (nFunction && (nAddress < nFunction || nAddress - nFunction >= 64))
        return ::testing::AssertionFailure() << Hex(nAddress) << " is not in the thrower at " << Hex(nFunction);
    return ::testing::AssertionSuccess();
}

}

TEST(CrashReportDialog, FaultInAWindowHandlerDisablesTheMainWindowBehindTheReport)
{
    CProbe probe("window");
    CParsedReport r;
    ASSERT_TRUE(ShowsReport(probe, &r));
    EXPECT_EQ(r.nAppThread, r.nCrashThread);
    EXPECT_EQ(DWORD(EXCEPTION_ACCESS_VIOLATION), r.nCode);

    HWND hMain = ProbeMainWindow(probe);
    ASSERT_NE(nullptr, hMain);
    EXPECT_EQ(::GetWindowThreadProcessId(hMain, nullptr), ::GetWindowThreadProcessId(probe.m_hDlg, nullptr));
    EXPECT_TRUE(::IsWindowVisible(hMain));
    EXPECT_FALSE(::IsWindowEnabled(hMain)) << "Enter in the command line would start commands behind the report";
    EXPECT_TRUE(::IsWindowEnabled(probe.m_hDlg));
}

TEST(CrashReportDialog, UncaughtExceptionInAWindowHandlerEndsInTheReport)
{
    CProbe probe("throw");
    CParsedReport r;
    ASSERT_TRUE(ShowsReport(probe, &r));
    EXPECT_EQ(r.nAppThread, r.nCrashThread);
    EXPECT_EQ(0xE06D7363u, r.nCode);
    CrashWord nBase = 0, nEnd = 0;
    ASSERT_TRUE(probe.ImageRange(&nBase, &nEnd));
    EXPECT_TRUE(r.nAddress >= nBase && r.nAddress < nEnd) << Hex(r.nAddress);
    // The address is the runtime's call that threw bad_alloc, not the
    // dispatcher that caught it nor a place in the report's own code.
    EXPECT_TRUE(NamesThePublishedCall(probe, r.nAddress));
    EXPECT_FALSE(r.scan.empty()) << "the stack still shows where the program was";
    HWND hMain = ProbeMainWindow(probe);
    ASSERT_NE(nullptr, hMain);
    EXPECT_FALSE(::IsWindowEnabled(hMain));

    ASSERT_TRUE(::PostMessageA(probe.Item(IDOK), BM_CLICK, 0, 0));
    EXPECT_EQ(3u, probe.WaitForExit());
}

TEST(CrashReportDialog, UncaughtExceptionInPreTranslateMessageEndsInTheReport)
{
    CProbe probe("pretranslate");
    CParsedReport r;
    ASSERT_TRUE(ShowsReport(probe, &r));
    EXPECT_EQ(r.nAppThread, r.nCrashThread);
    EXPECT_EQ(0xE06D7363u, r.nCode);
    HWND hMain = ProbeMainWindow(probe);
    ASSERT_NE(nullptr, hMain);
    EXPECT_FALSE(::IsWindowEnabled(hMain));
}

// A C++ exception that ends the program is reported at the call that threw
// it, on the thread where it ended: a reader thread's throw, one in a window
// handler, one in OnProcessOutput, and one that nothing catches (on 64-bit
// the runtime's own system exception reaches the top-level filter first,
// which must let the throw go on to the report).
struct CThrowCase {
    const char* pszProbe;
    bool bReaderThread;
};

class CrashReportThrowSite : public ::testing::TestWithParam<CThrowCase> {};

TEST_P(CrashReportThrowSite, IsReportedAtTheThrowingCallOnItsThread)
{
    CProbe probe(GetParam().pszProbe);
    CParsedReport r;
    ASSERT_TRUE(ShowsReport(probe, &r));
    RecordProperty("report", probe.ReportText());   // for --gtest_output=xml
    if (GetParam().bReaderThread) {
        EXPECT_NE(r.nAppThread, r.nCrashThread);
        EXPECT_EQ(r.nCrashThread, ::GetWindowThreadProcessId(probe.m_hDlg, nullptr));
    } else {
        EXPECT_EQ(r.nAppThread, r.nCrashThread);
    }
    EXPECT_EQ(0xE06D7363u, r.nCode);
    EXPECT_TRUE(NamesThePublishedCall(probe, r.nAddress));
}

INSTANTIATE_TEST_SUITE_P(CrashReportDialog, CrashReportThrowSite,
                         ::testing::Values(CThrowCase { "readerthrow", true }, CThrowCase { "handlerthrow", false },
                                           CThrowCase { "outputthrow", true }, CThrowCase { "uncaught", false }),
                         [](const ::testing::TestParamInfo<CThrowCase>& info) { return std::string(info.param.pszProbe); });

TEST(CrashReportDialog, ExceptionRaisedAgainFromAnotherThreadIsReportedWhereItEnded)
{
    CProbe probe("rethrow");
    CParsedReport r;
    ASSERT_TRUE(ShowsReport(probe, &r));
    EXPECT_EQ(r.nAppThread, r.nCrashThread);
    EXPECT_EQ(0xE06D7363u, r.nCode);
    EXPECT_TRUE(NamesThePublishedCall(probe, r.nAddress));
}
