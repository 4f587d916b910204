#pragma once
// Makes the C++ allocations of one thread fail, for tests of what a failed
// allocation does. The test program replaces the global operator new
// (tests/unit/AllocFailure.cpp); outside a guard it only forwards to malloc.
#include <cstddef>

class CFailLargeAllocations {
public:
    // From now until the guard ends, every operator new of at least nBytes on
    // the calling thread throws std::bad_alloc.
    explicit CFailLargeAllocations(size_t nBytes);
    ~CFailLargeAllocations();
    CFailLargeAllocations(const CFailLargeAllocations&) = delete;
    CFailLargeAllocations& operator=(const CFailLargeAllocations&) = delete;

    // Allocations refused since the guard began.
    static size_t Refused();
};
