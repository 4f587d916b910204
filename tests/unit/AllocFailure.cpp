// The test program's global operator new: malloc, except that a guard can
// make the large allocations of one thread fail.
#include "support/AllocFailure.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<DWORD> s_nThread{ 0 };
std::atomic<size_t> s_nLimit{ 0 };
std::atomic<size_t> s_nRefused{ 0 };

void* Allocate(size_t n)
{
    if (s_nThread.load() != 0 && s_nThread.load() == ::GetCurrentThreadId() && n >= s_nLimit.load()) {
        s_nRefused++;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
}

CFailLargeAllocations::CFailLargeAllocations(size_t nBytes)
{
    s_nRefused = 0;
    s_nLimit = nBytes;
    s_nThread = ::GetCurrentThreadId();
}

CFailLargeAllocations::~CFailLargeAllocations()
{
    s_nThread = 0;
}

size_t CFailLargeAllocations::Refused()
{
    return s_nRefused.load();
}

void* operator new(size_t n)
{
    return Allocate(n);
}

void* operator new[](size_t n)
{
    return Allocate(n);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, size_t) noexcept
{
    std::free(p);
}
