#pragma once
// The plain-text report of a fault that nothing handled: version, threads,
// fault address and code, registers, a dump of the faulting thread's stack
// and the stack words that point into the program's own image. Building it
// needs no window, and every read of memory that may be unmapped goes
// through a call that fails instead of faulting again.
#include <windows.h>

#include <cstdint>

#include "framework/String.h"

// A stack word: 32 bits on x86, 64 on x86_64.
using CrashWord = uintptr_t;

class CCrashReport {
public:
    enum { StackWords = 128, WordsPerRow = 8 };

    // Lines are separated by CR LF, with none after the last line.
    CString m_strReport;

    // A new line (an empty text makes an empty line).
    void AddLine(const char* pszText);
    void AddLineF(const char* pszFormat, ...);
    // Appends to the current last line.
    void AppendF(const char* pszFormat, ...);

    // The whole report. pImageBase is the program's module base.
    void Build(const EXCEPTION_POINTERS* pExceptionInfo, DWORD nAppThread, DWORD nCrashThread,
               const void* pImageBase);
    // nWords stack words from nStart, eight to a row; an unreadable word
    // ends the dump with "  (abort)".
    void AddStackDump(CrashWord nStart, int nWords);
    // The same words again, listing only those that lie inside the image
    // whose headers are at pImageBase.
    void AddImageScan(CrashWord nStart, int nWords, const void* pImageBase);

    // Reads n bytes of this process's memory; false if any of them is unmapped
    // or unreadable.
    static bool ReadMemory(CrashWord nAddress, void* pDest, size_t n);
};

CString BuildCrashReport(const EXCEPTION_POINTERS* pExceptionInfo, DWORD nAppThread, DWORD nCrashThread,
                         const void* pImageBase);
