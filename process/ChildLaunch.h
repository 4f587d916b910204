#pragma once
// Starts a child with the three standard handles given, without a window.
// It inherits those handles and no other: they are inheritable only while
// the child is made, under a lock that every child of the program shares,
// so that a child started at the same moment on another thread cannot take
// them, even on systems without an explicit list of handles to inherit.
#include <windows.h>

bool LaunchChild(wchar_t* pszCommand, HANDLE hStdin, HANDLE hStdout, HANDLE hStderr, PROCESS_INFORMATION& pi);
