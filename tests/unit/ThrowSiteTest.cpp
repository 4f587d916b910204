// Where exceptions were thrown, as the crash report learns it: every throw
// passes the wrapper of the runtime's throw entry on its own thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cxxabi.h>
#include <thread>

#include "crash/CrashFilter.h"
#include "crash/ThrowSite.h"

namespace {

struct CFirstError {
    int m_nCode;
};
struct CSecondError {
    int m_nCode;
};

volatile int s_nCode = 41;

[[noreturn]] __attribute__((noinline, noipa)) void ThrowFirst()
{
    throw CFirstError{s_nCode};
}

[[noreturn]] __attribute__((noinline, noipa)) void ThrowSecond()
{
    throw CSecondError{s_nCode + 1};
}

// Where the direct call (E8 and a 32-bit displacement) that returns to
// nReturn goes, or 0 when the bytes before nReturn are no such call.
uintptr_t CallTarget(uintptr_t nReturn)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(nReturn - 5);
    if (p[0] != 0xE8)
        return 0;
    int32_t nDisplacement;
    memcpy(&nDisplacement, p + 1, sizeof nDisplacement);
    return nReturn + uintptr_t(intptr_t(nDisplacement));
}

// The throw entry as the program's calls reach it (the wrapper).
uintptr_t ThrowEntry()
{
    return reinterpret_cast<uintptr_t>(&__cxxabiv1::__cxa_throw);
}

// nReturn returns from a call of the throw entry inside fn, a thrower of a
// few instructions.
::testing::AssertionResult ReturnsInto(uintptr_t nReturn, void (*fn)())
{
    const uintptr_t nStart = reinterpret_cast<uintptr_t>(fn);
    if (nReturn <= nStart || nReturn - nStart > 64)
        return ::testing::AssertionFailure() << std::hex << nReturn << " is not in the thrower at " << nStart;
    if (CallTarget(nReturn) != ThrowEntry())
        return ::testing::AssertionFailure() << std::hex << "the call before " << nReturn << " goes to "
                                             << CallTarget(nReturn) << ", not " << ThrowEntry();
    return ::testing::AssertionSuccess();
}

}

TEST(ThrowSite, NamesTheCallThatThrewTheCaughtException)
{
    uintptr_t nReturn = 0;
    try {
        ThrowFirst();
    } catch (const CFirstError&) {
        nReturn = CThrowSite::OfCurrentException();
    }
    EXPECT_TRUE(ReturnsInto(nReturn, ThrowFirst));
}

// A throw inside a handler is noted over the outer one: the outer exception
// then has no site, rather than the inner one's.
TEST(ThrowSite, ThrowInsideAHandlerLeavesTheOuterExceptionWithoutASite)
{
    uintptr_t nInner = 0, nOuter = 1;
    try {
        ThrowFirst();
    } catch (const CFirstError&) {
        try {
            ThrowSecond();
        } catch (const CSecondError&) {
            nInner = CThrowSite::OfCurrentException();
        }
        nOuter = CThrowSite::OfCurrentException();
    }
    EXPECT_TRUE(ReturnsInto(nInner, ThrowSecond));
    EXPECT_EQ(0u, nOuter);
}

TEST(ThrowSite, ThrowLeavesTheLastErrorForTheHandler)
{
    DWORD nError = 0;
    try {
        ::SetLastError(ERROR_BROKEN_PIPE);
        ThrowFirst();
    } catch (const CFirstError&) {
        nError = ::GetLastError();
    }
    EXPECT_EQ(DWORD(ERROR_BROKEN_PIPE), nError);
}

// Two threads inside their handlers at once, each throwing while the other
// holds its exception: each keeps its own site.
TEST(ThrowSite, EachThreadKeepsItsOwnSite)
{
    HANDLE hFirstCaught = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hSecondCaught = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(hFirstCaught && hSecondCaught);
    uintptr_t nFirst = 0, nSecond = 0;
    bool bFirstWaited = false;
    std::thread first([&] {
        try {
            ThrowFirst();
        } catch (const CFirstError&) {
            ::SetEvent(hFirstCaught);
            // The other thread throws now, while this one is in its handler.
            bFirstWaited = ::WaitForSingleObject(hSecondCaught, 20000) == WAIT_OBJECT_0;
            nFirst = CThrowSite::OfCurrentException();
        }
    });
    std::thread second([&] {
        if (::WaitForSingleObject(hFirstCaught, 20000) != WAIT_OBJECT_0)
            return;
        try {
            ThrowSecond();
        } catch (const CSecondError&) {
            nSecond = CThrowSite::OfCurrentException();
            ::SetEvent(hSecondCaught);
        }
    });
    first.join();
    second.join();
    ::CloseHandle(hFirstCaught);
    ::CloseHandle(hSecondCaught);
    EXPECT_TRUE(bFirstWaited);
    EXPECT_TRUE(ReturnsInto(nFirst, ThrowFirst));
    EXPECT_TRUE(ReturnsInto(nSecond, ThrowSecond));
}

// Windows asks the top-level filter about a 64-bit throw that no frame
// handles before the runtime ends it in std::terminate; Wine does not, so
// the decision is checked here.
TEST(CrashFilter, LetsOnlyTheRuntimesContinuableThrowsGoOn)
{
    EXCEPTION_RECORD rec = {};
    for (DWORD nCode : std::initializer_list<DWORD>{0x20474343, 0x21474343, 0x22474343}) {
        rec.ExceptionCode = nCode;
        rec.ExceptionFlags = 0;
        EXPECT_TRUE(IsRuntimeThrow(&rec)) << std::hex << nCode;
        rec.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
        EXPECT_FALSE(IsRuntimeThrow(&rec)) << std::hex << nCode;
    }
    rec.ExceptionFlags = 0;
    for (DWORD nCode : std::initializer_list<DWORD>{0xE06D7363, EXCEPTION_ACCESS_VIOLATION, 0x20474344, 0x23474343,
                                                   0x60474343, 0x00474343}) {
        rec.ExceptionCode = nCode;
        EXPECT_FALSE(IsRuntimeThrow(&rec)) << std::hex << nCode;
    }
    EXPECT_FALSE(IsRuntimeThrow(nullptr));
}
