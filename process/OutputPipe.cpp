#include "process/OutputPipe.h"

bool CreateOutputPipe(HANDLE& hRead, HANDLE& hWrite, DWORD cbBuffer)
{
    SECURITY_ATTRIBUTES sa = { sizeof(sa), nullptr, FALSE };
    if (!CreatePipe(&hRead, &hWrite, &sa, cbBuffer))
        return false;
    DWORD dwMode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    if (!SetNamedPipeHandleState(hRead, &dwMode, nullptr, nullptr)) {
        DWORD dwError = GetLastError();
        CloseHandle(hRead);
        CloseHandle(hWrite);
        hRead = hWrite = nullptr;
        SetLastError(dwError);
        return false;
    }
    return true;
}

DWORD ReadWaiting(HANDLE hRead, char* p, DWORD cbMax)
{
    // In no-wait mode an empty pipe fails the read with ERROR_NO_DATA.
    DWORD dwRead = 0;
    if (!ReadFile(hRead, p, cbMax, &dwRead, nullptr))
        return 0;
    return dwRead;
}
