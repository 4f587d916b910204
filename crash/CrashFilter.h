#pragma once
// The process's top-level filter for faults that nothing handles. It runs
// on the faulting thread, shows the crash report and ends the program; it
// never returns.
#include <windows.h>

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pExceptionInfo);

// The code the report gives a C++ exception that nothing caught (the code
// that Windows tools know as a C++ exception).
const DWORD kUncaughtCppException = 0xE06D7363;

// Makes CrashFilter the top-level filter, and sends every C++ exception that
// nothing catches (std::terminate, on any thread) to the same report.
void InstallCrashFilter();
