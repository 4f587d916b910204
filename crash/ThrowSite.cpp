#include "crash/ThrowSite.h"

#include <windows.h>

#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

namespace {

// Two slots of the system's thread-local table, taken on first use by
// whichever thread throws first. Setting a slot below the first 64 never
// allocates, unlike the compiler's emulated thread_local.
volatile LONG s_nObjectSlot = LONG(TLS_OUT_OF_INDEXES);
volatile LONG s_nSiteSlot = LONG(TLS_OUT_OF_INDEXES);

DWORD Slot(volatile LONG* pSlot, bool bTake)
{
    const LONG nSlot = *pSlot;
    if (nSlot != LONG(TLS_OUT_OF_INDEXES) || !bTake)
        return DWORD(nSlot);
    const DWORD nNew = ::TlsAlloc();
    if (nNew == TLS_OUT_OF_INDEXES)
        return nNew;
    const LONG nWinner = ::InterlockedCompareExchange(pSlot, LONG(nNew), LONG(TLS_OUT_OF_INDEXES));
    if (nWinner != LONG(TLS_OUT_OF_INDEXES)) {
        ::TlsFree(nNew);   // another thread took it first
        return DWORD(nWinner);
    }
    return nNew;
}

}

void CThrowSite::Note(const void* pObject, uintptr_t nReturn)
{
    // A thrower may have set the last error for its handler to read.
    const DWORD nError = ::GetLastError();
    const DWORD nObjectSlot = Slot(&s_nObjectSlot, true);
    const DWORD nSiteSlot = Slot(&s_nSiteSlot, true);
    if (nObjectSlot != TLS_OUT_OF_INDEXES && nSiteSlot != TLS_OUT_OF_INDEXES) {
        ::TlsSetValue(nObjectSlot, const_cast<void*>(pObject));
        ::TlsSetValue(nSiteSlot, reinterpret_cast<void*>(nReturn));
    }
    ::SetLastError(nError);
}

uintptr_t CThrowSite::Find(const void* pObject)
{
    const DWORD nObjectSlot = Slot(&s_nObjectSlot, false);
    const DWORD nSiteSlot = Slot(&s_nSiteSlot, false);
    if (!pObject || nObjectSlot == TLS_OUT_OF_INDEXES || nSiteSlot == TLS_OUT_OF_INDEXES)
        return 0;
    if (::TlsGetValue(nObjectSlot) != pObject)
        return 0;
    return reinterpret_cast<uintptr_t>(::TlsGetValue(nSiteSlot));
}

uintptr_t CThrowSite::OfCurrentException()
{
    const std::exception_ptr p = std::current_exception();
    if (!p)
        return 0;
    // The C++ runtime's exception_ptr is the thrown object's address and
    // nothing else: the same address its throw entry was given.
    static_assert(sizeof p == sizeof(void*), "exception_ptr holds only the object's address");
    void* pObject = nullptr;
    memcpy(&pObject, static_cast<const void*>(&p), sizeof pObject);
    return Find(pObject);
}

// Every "throw" of the program, and of the C++ runtime linked into it,
// comes here instead of __cxa_throw; the exception unwinds through this
// frame to the thrower's handlers as before.
extern "C" {
[[noreturn]] void __real___cxa_throw(void* pObject, std::type_info* pType,
                                     void(_GLIBCXX_CDTOR_CALLABI* pfnDestroy)(void*));

[[noreturn]] void __wrap___cxa_throw(void* pObject, std::type_info* pType,
                                     void(_GLIBCXX_CDTOR_CALLABI* pfnDestroy)(void*))
{
    CThrowSite::Note(pObject, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
    __real___cxa_throw(pObject, pType, pfnDestroy);
}
}
