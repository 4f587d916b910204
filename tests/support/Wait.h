#pragma once
// Waiting for a condition with a bound, from any thread. Every wait of the
// tests goes through here or through the message pump of TestWindows.h, so
// that none of them sleeps for a fixed time.
#include <windows.h>

#include <functional>

// Polls until pred() holds or dwTimeout ms pass; true if it held. pred() is
// asked once more at the bound, so that a condition met during the last
// step is not missed. The steps grow from 2 to 15 ms: a quick answer is seen
// at once, and a slow one is not asked for so often that the asking gets in
// its way (a clipboard held open, a screen copied again and again).
inline bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeout = 10000)
{
    const DWORD dwStart = ::GetTickCount();
    DWORD dwStep = 2;
    for (;;) {
        if (pred())
            return true;
        if (::GetTickCount() - dwStart > dwTimeout)
            return pred();
        ::Sleep(dwStep);
        dwStep = dwStep < 8 ? dwStep * 2 : 15;
    }
}

// How long a test watches for something that must not happen: several of a
// reader thread's polls, posted messages and repaints on a loaded machine.
const DWORD kQuietMs = 3000;
