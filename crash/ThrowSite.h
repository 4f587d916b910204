#pragma once
// Where this program's C++ exceptions were thrown. The link routes the C++
// runtime's throw entry through a wrapper (--wrap=__cxa_throw) that notes,
// per thread, the object being thrown and the address the entry would
// return to in the function that threw. A report made after the exception
// was caught far from there (a window procedure's dispatcher, a reader
// thread's start) still names the throwing call.
#include <cstdint>

class CThrowSite {
public:
    // Notes a throw on this thread. Allocates nothing, so that a bad_alloc
    // thrown when memory has run out is noted too, and leaves the thread's
    // last-error value as it was.
    static void Note(const void* pObject, uintptr_t nReturn);
    // The return address noted for pObject on this thread, or 0 when this
    // thread's last noted throw was of another object (a nested throw after
    // it, or an exception raised without the throw entry, as
    // std::rethrow_exception does).
    static uintptr_t Find(const void* pObject);
    // Find for the exception being handled on this thread (in a catch block
    // or a terminate handler); 0 when there is none.
    static uintptr_t OfCurrentException();
};
