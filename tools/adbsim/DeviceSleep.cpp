// The device shell's "sleep SECONDS": the shell waits without reading its
// input, as a real one does while a command runs in the foreground. Tests
// use it for a shell whose input pipe fills up.
#include "DeviceShell.h"

#include "Numbers.h"

#include <windows.h>

int CDeviceShell::Sleep(const Words& words)
{
    uint64_t nSeconds = 0;
    // A day is far more than any test needs.
    if (words.size() != 2 || !ParseUnsigned(words[1], 86400, nSeconds))
    {
        Err("sleep: bad number of seconds\n");
        return 1;
    }
    ::Sleep(static_cast<DWORD>(nSeconds * 1000));
    return 0;
}
