// --sim-poke H: writes "poke\n" to the handle whose number is H, if this
// process has such a handle open. A test passes the number of a pipe end
// of its own: the text arrives in that pipe only when the handle was
// inherited, which shows what a parent lets its children take.
#include "SimScript.h"

void CSimScript::Poke(uint64_t nHandle)
{
    HANDLE h = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(nHandle));
    DWORD dwFlags = 0;
    // No such handle here: nothing was inherited, which is a result too.
    if (!GetHandleInformation(h, &dwFlags) || GetFileType(h) != FILE_TYPE_PIPE)
        return;
    DWORD dwWritten = 0;
    WriteFile(h, "poke\n", 5, &dwWritten, NULL);
}
