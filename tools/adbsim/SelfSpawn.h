#pragma once

#include <windows.h>

#include <string>

// Starts this program again, detached, with the given arguments. The child
// inherits every inheritable handle (bInheritHandles TRUE) and gets this
// process's standard output and error as its own, so it holds the same
// output pipe as its parent; it gets no standard input. Returns the child's
// process handle (the caller closes it) or NULL with the last error set.
HANDLE SpawnSelf(const std::wstring& strArgs);
