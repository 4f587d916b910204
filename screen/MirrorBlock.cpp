#include "screen/MirrorBlock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#endif

namespace {

size_t Granularity()
{
#ifdef _WIN32
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    return si.dwAllocationGranularity;
#else
    return size_t(sysconf(_SC_PAGESIZE));
#endif
}

}

bool CMirrorBlock::Allocate(size_t nMin)
{
    Free();
    const size_t nGrain = Granularity();
    const size_t nSize = (nMin + nGrain - 1) / nGrain * nGrain;
    if (nSize == 0 || nSize > (~size_t(0) >> 2))
        return false;
    return Map(nSize);
}

#ifdef _WIN32

void* AllocatePages(size_t nBytes)
{
    return VirtualAlloc(nullptr, nBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreePages(void* p, size_t)
{
    if (p)
        VirtualFree(p, 0, MEM_RELEASE);
}

bool CMirrorBlock::Map(size_t nSize)
{
    const unsigned long long nBytes = nSize;
    HANDLE hSection = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, DWORD(nBytes >> 32),
                                         DWORD(nBytes & 0xFFFFFFFF), nullptr);
    if (!hSection)
        return false;
    // Another thread may take the free address range between the look and
    // the mapping: try a few times.
    for (int i = 0; i < 8 && !m_pData; ++i) {
        char* pRange = static_cast<char*>(VirtualAlloc(nullptr, 2 * nSize, MEM_RESERVE, PAGE_NOACCESS));
        if (!pRange)
            break;
        VirtualFree(pRange, 0, MEM_RELEASE);
        void* pFirst = MapViewOfFileEx(hSection, FILE_MAP_ALL_ACCESS, 0, 0, nSize, pRange);
        if (!pFirst)
            continue;
        void* pSecond = MapViewOfFileEx(hSection, FILE_MAP_ALL_ACCESS, 0, 0, nSize, pRange + nSize);
        if (!pSecond) {
            UnmapViewOfFile(pFirst);
            continue;
        }
        m_pData = pRange;
        m_nSize = nSize;
    }
    // The views keep the section.
    CloseHandle(hSection);
    return m_pData != nullptr;
}

void CMirrorBlock::Free()
{
    if (!m_pData)
        return;
    UnmapViewOfFile(m_pData + m_nSize);
    UnmapViewOfFile(m_pData);
    m_pData = nullptr;
    m_nSize = 0;
}

#else

void* AllocatePages(size_t nBytes)
{
    void* p = mmap(nullptr, nBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void FreePages(void* p, size_t nBytes)
{
    if (p)
        munmap(p, nBytes);
}

bool CMirrorBlock::Map(size_t nSize)
{
    char szName[] = "/tmp/kb-mirror-XXXXXX";
    const int fd = mkstemp(szName);
    if (fd < 0)
        return false;
    unlink(szName);
    bool bOk = ftruncate(fd, off_t(nSize)) == 0;
    // The range is reserved whole, so nothing else can land between the two
    // mappings that replace it.
    char* pRange = nullptr;
    if (bOk) {
        void* p = mmap(nullptr, 2 * nSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        bOk = p != MAP_FAILED;
        pRange = bOk ? static_cast<char*>(p) : nullptr;
    }
    if (bOk) {
        bOk = mmap(pRange, nSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) != MAP_FAILED
            && mmap(pRange + nSize, nSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) != MAP_FAILED;
        if (!bOk)
            munmap(pRange, 2 * nSize);
    }
    close(fd);
    if (!bOk)
        return false;
    m_pData = pRange;
    m_nSize = nSize;
    return true;
}

void CMirrorBlock::Free()
{
    if (!m_pData)
        return;
    munmap(m_pData, 2 * m_nSize);
    m_pData = nullptr;
    m_nSize = 0;
}

#endif
