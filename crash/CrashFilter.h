#pragma once
// The process's top-level filter for faults that nothing handles. It runs
// on the faulting thread, shows the crash report and ends the program; it
// never returns.
#include <windows.h>

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pExceptionInfo);

// The code the report gives a C++ exception that nothing caught (the code
// that Windows tools know as a C++ exception).
const DWORD kUncaughtCppException = 0xE06D7363;

// The system exception that the C++ runtime raises for a throw on 64-bit;
// the next two codes are its unwind and its forced unwind.
const DWORD kGccThrow = 0x20474343;

// A continuable system exception of the C++ runtime's: a throw still
// looking for its handler, which CrashFilter lets go on.
bool IsRuntimeThrow(const EXCEPTION_RECORD* pRecord);

// Makes CrashFilter the top-level filter, and sends every C++ exception that
// nothing catches (std::terminate, on any thread) to the same report.
void InstallCrashFilter();
