#pragma once

#include <windows.h>

#include <string>

// Starts this program again, detached, as a background process with the
// given arguments followed by "--reply-event <handle>". The child inherits
// every inheritable handle (bInheritHandles TRUE) and gets this process's
// standard output and error as its own, so it holds the same output pipe as
// its parent; it gets no standard input. The child must set the reply event
// once it is up.
//
// Until then the child sits in a job that kills it if this process dies:
// under Wine, a child whose parent is terminated while the child starts can
// hang in its start-up for ever, holding every handle it inherited.
//
// True once the child has set the event within nReadyWaitMs; otherwise the
// child is ended, *pnError says why, and the result is false.
bool SpawnSelf(const std::wstring& strArgs, DWORD nReadyWaitMs, DWORD* pnError);

// The handle value that follows "--reply-event", or NULL for a bad text.
HANDLE ParseReplyEvent(const std::string& str);
