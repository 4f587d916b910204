#include "SelfSpawn.h"

#include "StdIo.h"

#include <vector>

namespace {

// The standard handles may have been given to us non-inheritable; an
// inheritable duplicate makes sure the child really shares them.
HANDLE DuplicateInheritable(DWORD nWhich)
{
    HANDLE h = GetStdHandle(nWhich);
    if (h == NULL || h == INVALID_HANDLE_VALUE)
        return NULL;
    HANDLE hDup = NULL;
    if (!DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &hDup, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        return NULL;
    return hDup;
}

} // namespace

HANDLE SpawnSelf(const std::wstring& strArgs)
{
    std::wstring strCmd = L"\"" + GetSelfPathW() + L"\" " + strArgs;
    std::vector<wchar_t> cmd(strCmd.begin(), strCmd.end());
    cmd.push_back(L'\0');

    // Our standard input is for us alone: a background child that kept the
    // read end of the caller's input pipe would keep that pipe open.
    HANDLE hIn = GetStdHandle(STD_INPUT_HANDLE);
    if (hIn != NULL && hIn != INVALID_HANDLE_VALUE)
        SetHandleInformation(hIn, HANDLE_FLAG_INHERIT, 0);

    HANDLE hOut = DuplicateInheritable(STD_OUTPUT_HANDLE);
    HANDLE hErr = DuplicateInheritable(STD_ERROR_HANDLE);

    STARTUPINFOW si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = NULL;
    si.hStdOutput = hOut;
    si.hStdError = hErr;

    // The child starts in the program's own folder, so that a background
    // process does not keep the caller's working folder in use.
    std::wstring strDir = GetSelfPathW();
    size_t nSlash = strDir.find_last_of(L"\\/");
    const wchar_t* pszDir = NULL;
    if (nSlash != std::wstring::npos)
    {
        strDir.resize(nSlash + 1);
        pszDir = strDir.c_str();
    }

    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof(pi));
    BOOL bOk = CreateProcessW(NULL, cmd.data(), NULL, NULL, TRUE,
                              DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, NULL, pszDir, &si, &pi);
    DWORD nError = GetLastError();
    if (hOut != NULL)
        CloseHandle(hOut);
    if (hErr != NULL)
        CloseHandle(hErr);
    if (!bOk)
    {
        SetLastError(nError);
        return NULL;
    }
    CloseHandle(pi.hThread);
    return pi.hProcess;
}
