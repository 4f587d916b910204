#include "crash/CrashReport.h"

#include <cstdarg>

namespace {

// Words and addresses are printed at their full width: 8 hex digits on x86,
// 16 on x86_64.
#ifdef _WIN64
#define KB_WORD "%016llX"
#else
#define KB_WORD "%08X"
#endif

const char* const s_pszVersion = "1.00";
const char* const s_pszTopRule =
    "---- Ba-bah! report ----------------------------------------------------------------";
const char* const s_pszBottomRule =
    "====================================================================================";

bool ReadWord(CrashWord nAddress, CrashWord* pValue)
{
    return CCrashReport::ReadMemory(nAddress, pValue, sizeof *pValue);
}

}

bool CCrashReport::ReadMemory(CrashWord nAddress, void* pDest, size_t n)
{
    // The faulting thread's stack may end in unmapped memory, and a damaged
    // module may point anywhere. Every page is asked first: Wine's
    // ReadProcessMemory on its own process copies even from reserved,
    // inaccessible and freed pages. The copy itself still goes through the
    // kernel, which fails instead of faulting should a page go away between
    // the two.
    if (n == 0)
        return true;
    const CrashWord nLast = nAddress + (n - 1);
    if (nLast < nAddress)
        return false;
    const DWORD nReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    CrashWord nAt = nAddress;
    for (;;) {
        MEMORY_BASIC_INFORMATION mbi;
        if (::VirtualQuery(reinterpret_cast<LPCVOID>(nAt), &mbi, sizeof mbi) != sizeof mbi)
            return false;
        if (mbi.State != MEM_COMMIT || (mbi.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(mbi.Protect & nReadable))
            return false;
        const CrashWord nRegionEnd = CrashWord(mbi.BaseAddress) + mbi.RegionSize;
        if (nRegionEnd == 0 || nRegionEnd > nLast)
            break;
        nAt = nRegionEnd;
    }
    SIZE_T nRead = 0;
    if (!::ReadProcessMemory(::GetCurrentProcess(), reinterpret_cast<LPCVOID>(nAddress), pDest, n, &nRead))
        return false;
    return nRead == n;
}

void CCrashReport::AddLine(const char* pszText)
{
    if (!m_strReport.IsEmpty())
        m_strReport += "\r\n";
    m_strReport += pszText;
}

void CCrashReport::AddLineF(const char* pszFormat, ...)
{
    CString strLine;
    va_list args;
    va_start(args, pszFormat);
    strLine.FormatV(pszFormat, args);
    va_end(args);
    AddLine(strLine);
}

void CCrashReport::AppendF(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    m_strReport.AppendFormatV(pszFormat, args);
    va_end(args);
}

void CCrashReport::Build(const EXCEPTION_POINTERS* pExceptionInfo, DWORD nAppThread, DWORD nCrashThread,
                         const void* pImageBase)
{
    const EXCEPTION_RECORD* pRecord = pExceptionInfo ? pExceptionInfo->ExceptionRecord : nullptr;
    const CONTEXT* pContext = pExceptionInfo ? pExceptionInfo->ContextRecord : nullptr;
    CONTEXT none = {};
    const CONTEXT& ctx = pContext ? *pContext : none;

    AddLine(s_pszTopRule);
    AddLineF(" Kestrelbox: %s", s_pszVersion);
    AddLineF("  AppThread: %04X", unsigned(nAppThread));
    AddLineF("CrashThread: %04X", unsigned(nCrashThread));
    AddLineF("    Address: " KB_WORD, pRecord ? CrashWord(pRecord->ExceptionAddress) : CrashWord(0));
    AddLineF("  Exception: %08X", pRecord ? unsigned(pRecord->ExceptionCode) : 0u);
    AddLine("");
#ifdef _WIN64
    AddLineF("eax: " KB_WORD "  ebx: " KB_WORD "  ecx: " KB_WORD "  edx: " KB_WORD,
             CrashWord(ctx.Rax), CrashWord(ctx.Rbx), CrashWord(ctx.Rcx), CrashWord(ctx.Rdx));
    AddLineF("esi: " KB_WORD "  edi: " KB_WORD "  ebp: " KB_WORD "  esp: " KB_WORD,
             CrashWord(ctx.Rsi), CrashWord(ctx.Rdi), CrashWord(ctx.Rbp), CrashWord(ctx.Rsp));
    const CrashWord nStack = CrashWord(ctx.Rsp);
#else
    AddLineF("eax: " KB_WORD "  ebx: " KB_WORD "  ecx: " KB_WORD "  edx: " KB_WORD,
             CrashWord(ctx.Eax), CrashWord(ctx.Ebx), CrashWord(ctx.Ecx), CrashWord(ctx.Edx));
    AddLineF("esi: " KB_WORD "  edi: " KB_WORD "  ebp: " KB_WORD "  esp: " KB_WORD,
             CrashWord(ctx.Esi), CrashWord(ctx.Edi), CrashWord(ctx.Ebp), CrashWord(ctx.Esp));
    const CrashWord nStack = CrashWord(ctx.Esp);
#endif
    AddLine("");
    AddStackDump(nStack, StackWords);
    AddImageScan(nStack, StackWords, pImageBase);
    AddLine(s_pszBottomRule);
}

void CCrashReport::AddStackDump(CrashWord nStart, int nWords)
{
    AddLine(" -------- Stack dump");
    for (int i = 0; i < nWords; ++i) {
        const CrashWord nAddress = nStart + CrashWord(i) * sizeof(CrashWord);
        if (i % WordsPerRow == 0)
            AddLineF(" " KB_WORD ":", nAddress);
        if (i % 4 == 0)
            AppendF(" ");
        CrashWord nValue;
        if (!ReadWord(nAddress, &nValue)) {
            AddLine("  (abort)");
            break;
        }
        AppendF(" " KB_WORD, nValue);
    }
    AddLine("");
}

void CCrashReport::AddImageScan(CrashWord nStart, int nWords, const void* pImageBase)
{
    AddLine(" -------- App space ");
    const CrashWord nBase = CrashWord(pImageBase);
    WORD nMagic = 0;
    DWORD nPeOffset = 0;
    DWORD nSignature = 0;
    DWORD nSize = 0;
    if (!ReadMemory(nBase, &nMagic, sizeof nMagic) || nMagic != 0x5A4D) {
        AddLineF(" No MZ sign at " KB_WORD, nBase);
        AddLine("  (abort)");
    } else {
        // Until the header's offset is read, the offset field is where it fails.
        CrashWord nHeader = nBase + 0x3C;
        bool bPe = ReadMemory(nBase + 0x3C, &nPeOffset, sizeof nPeOffset);
        if (bPe) {
            nHeader = nBase + nPeOffset;
            bPe = ReadMemory(nHeader, &nSignature, sizeof nSignature) && nSignature == 0x4550;
        }
        if (bPe)
            bPe = ReadMemory(nHeader + 0x50, &nSize, sizeof nSize);
        if (!bPe) {
            AddLineF(" No PE sign at " KB_WORD, nHeader);
            AddLine("  (abort)");
        } else {
            for (int i = 0; i < nWords; ++i) {
                const CrashWord nAddress = nStart + CrashWord(i) * sizeof(CrashWord);
                CrashWord nValue;
                if (!ReadWord(nAddress, &nValue)) {
                    AddLine("  (abort)");
                    break;
                }
                // Written as a difference so that an image at the very top
                // of the address space cannot wrap the bound around.
                if (nValue >= nBase && nValue - nBase < nSize)
                    AddLineF(" " KB_WORD ":  " KB_WORD, nAddress, nValue);
            }
        }
    }
    AddLine("");
}

CString BuildCrashReport(const EXCEPTION_POINTERS* pExceptionInfo, DWORD nAppThread, DWORD nCrashThread,
                         const void* pImageBase)
{
    CCrashReport report;
    report.Build(pExceptionInfo, nAppThread, nCrashThread, pImageBase);
    return report.m_strReport;
}
