#include "process/ChildLaunch.h"

#include <mutex>
#include <vector>

namespace {

// The calls that give a child an explicit list of handles to inherit; older
// systems lack them.
struct CAttributeApi {
    typedef BOOL(WINAPI* InitFn)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
    typedef BOOL(WINAPI* UpdateFn)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T, PVOID, PSIZE_T);
    typedef VOID(WINAPI* DeleteFn)(LPPROC_THREAD_ATTRIBUTE_LIST);
    InitFn pInit = nullptr;
    UpdateFn pUpdate = nullptr;
    DeleteFn pDelete = nullptr;

    CAttributeApi()
    {
        HMODULE hKernel = GetModuleHandleA("kernel32.dll");
        if (!hKernel)
            return;
        pInit = reinterpret_cast<InitFn>(
            reinterpret_cast<void*>(GetProcAddress(hKernel, "InitializeProcThreadAttributeList")));
        pUpdate = reinterpret_cast<UpdateFn>(
            reinterpret_cast<void*>(GetProcAddress(hKernel, "UpdateProcThreadAttribute")));
        pDelete = reinterpret_cast<DeleteFn>(
            reinterpret_cast<void*>(GetProcAddress(hKernel, "DeleteProcThreadAttributeList")));
        if (!pInit || !pUpdate || !pDelete)
            pInit = nullptr;
    }
};

const CAttributeApi& AttributeApi()
{
    static const CAttributeApi s_api;
    return s_api;
}

// A child's ends are inheritable only while its CreateProcess runs, under
// this lock, so that a child that the other runner starts at that moment
// cannot take them even where no handle list exists.
std::mutex& InheritLock()
{
    static std::mutex s_lock;
    return s_lock;
}

}

bool LaunchChild(wchar_t* pszCommand, HANDLE hStdin, HANDLE hStdout, HANDLE hStderr, PROCESS_INFORMATION& pi)
{
    // The list must not name a handle twice (stdout and stderr often share one).
    HANDLE hInherit[3] = { hStdin, hStdout, hStderr };
    size_t nInherit = 0;
    for (HANDLE h : { hStdin, hStdout, hStderr }) {
        bool bSeen = false;
        for (size_t i = 0; i < nInherit; ++i)
            bSeen = bSeen || hInherit[i] == h;
        if (!bSeen)
            hInherit[nInherit++] = h;
    }
    STARTUPINFOEXW si = {};
    si.StartupInfo.cb = sizeof(STARTUPINFOW);
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    si.StartupInfo.hStdInput = hStdin;
    si.StartupInfo.hStdOutput = hStdout;
    si.StartupInfo.hStdError = hStderr;
    DWORD dwFlags = CREATE_NO_WINDOW;
    const CAttributeApi& api = AttributeApi();
    std::vector<char> attributes;
    LPPROC_THREAD_ATTRIBUTE_LIST pList = nullptr;
    if (api.pInit) {
        SIZE_T cb = 0;
        api.pInit(nullptr, 1, 0, &cb);
        if (cb > 0) {
            attributes.resize(cb);
            pList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
            if (!api.pInit(pList, 1, 0, &cb)) {
                pList = nullptr;
            } else if (!api.pUpdate(pList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, hInherit, nInherit * sizeof(HANDLE),
                                    nullptr, nullptr)) {
                api.pDelete(pList);
                pList = nullptr;
            }
        }
    }
    if (pList) {
        si.StartupInfo.cb = sizeof(si);
        si.lpAttributeList = pList;
        dwFlags |= EXTENDED_STARTUPINFO_PRESENT;
    }

    BOOL bCreated;
    DWORD dwError;
    {
        std::lock_guard<std::mutex> lock(InheritLock());
        for (size_t i = 0; i < nInherit; ++i)
            SetHandleInformation(hInherit[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        bCreated = CreateProcessW(nullptr, pszCommand, nullptr, nullptr, TRUE, dwFlags, nullptr, nullptr,
                                  &si.StartupInfo, &pi);
        dwError = GetLastError();
        for (size_t i = 0; i < nInherit; ++i)
            SetHandleInformation(hInherit[i], HANDLE_FLAG_INHERIT, 0);
    }
    if (pList)
        api.pDelete(pList);
    SetLastError(dwError);
    return bCreated != FALSE;
}
