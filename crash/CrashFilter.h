#pragma once
// The process's top-level filter for faults that nothing handles. It runs
// on the faulting thread, shows the crash report and ends the program; it
// never returns.
#include <windows.h>

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pExceptionInfo);
