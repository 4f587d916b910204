#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Writes straight to the process's standard handles with WriteFile: the
// caller is usually a pipe whose reader wants every byte at once, so no
// C runtime buffering sits in between.
bool WriteStd(DWORD nWhich, const void* pData, size_t nSize);
bool WriteOut(const std::string& str);
bool WriteErr(const std::string& str);

// adb's own messages end in CR LF, as a Windows console program's text-mode
// output does.
bool WriteOutLine(const std::string& str);
bool WriteErrLine(const std::string& str);

// The full path of this program, as the system reports it.
std::string GetSelfPath();
std::wstring GetSelfPathW();

// UTF-8 text (paths, names from the device file) for the system's wide calls.
std::wstring WidenUtf8(const std::string& str);

// Reads a variable from the process environment; empty when it is not set.
std::string GetEnv(const char* pszName);
