// The call guard: faults of every kind end the call with the right code and module, exceptions
// handled inside pass through, guards nest, and a stack overflow is caught more than once.

#include "base/FaultGuard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void Count(void* calls)
{
    ++*static_cast<int*>(calls);
}

}  // namespace

TEST(FaultGuard, ACallThatReturnsRunsOnceAndIsNoFault)
{
    int calls = 0;
    FaultRecord fault;
    EXPECT_TRUE(RunGuarded(&Count, &calls, fault));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(fault.code, 0u);
}

TEST(FaultGuard, DescriptionNamesCallCodeAndModule)
{
    FaultRecord fault;
    fault.code = kFaultAccessViolation;
    fault.address = 0x1234;
    std::strcpy(fault.module, "synth.dll");
    char text[128];
    DescribeFault("process", fault, text, sizeof text);
    EXPECT_STREQ(text, "process faulted: access violation (0xC0000005) at 0x1234 in synth.dll");
    fault.code = 0xE0000001u;
    fault.module[0] = '\0';
    DescribeFault(nullptr, fault, text, sizeof text);
    EXPECT_STREQ(text, "exception (0xE0000001) at 0x1234 in no module");
}

#ifdef _WIN32

namespace {

volatile std::uintptr_t unmappedAddress = 16;
volatile int divisor = 0;
volatile int sink = 0;

void AccessViolation(void*)
{
    *reinterpret_cast<volatile int*>(unmappedAddress) = 1;
}

void IllegalInstruction(void*)
{
    __builtin_trap();
}

void DivideByZero(void*)
{
    sink = (sink + 1) / divisor;
}

void RaiseCustom(void*)
{
    RaiseException(0xE0000001u, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

void RaiseMsvcCpp(void*)
{
    RaiseException(kFaultMsvcCppException, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
__attribute__((noinline)) int Recurse(volatile char* previous)
{
    volatile char frame[1024];
    frame[0] = static_cast<char>(previous[0] + 1);
    return Recurse(frame) + frame[0];
}
#pragma GCC diagnostic pop

void StackOverflow(void*)
{
    char first = 0;
    sink = Recurse(&first);
}

std::string ProgramFileName()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string full(path, length);
    return full.substr(full.find_last_of("\\/") + 1).substr(0, kFaultModuleBytes - 1);
}

struct FaultCase {
    const char* name;
    GuardedFunction function;
    std::uint32_t code;
};

}  // namespace

TEST(FaultGuard, EveryKindOfFaultIsCaughtWithItsCodeAndModule)
{
    const FaultCase cases[] = {
        {"access violation", &AccessViolation, kFaultAccessViolation},
        {"illegal instruction", &IllegalInstruction, kFaultIllegalInstruction},
        {"division by zero", &DivideByZero, kFaultIntegerDivideByZero},
        {"raised code", &RaiseCustom, 0xE0000001u},
        {"C++ exception code", &RaiseMsvcCpp, kFaultMsvcCppException},
        {"stack overflow", &StackOverflow, kFaultStackOverflow},
        {"stack overflow again", &StackOverflow, kFaultStackOverflow},
    };
    for (const FaultCase& c : cases) {
        FaultRecord fault;
        EXPECT_FALSE(RunGuarded(c.function, nullptr, fault)) << c.name;
        EXPECT_EQ(fault.code, c.code) << c.name;
        // Raised exceptions happen inside the system: the module blamed is their caller's.
        EXPECT_EQ(fault.module, ProgramFileName()) << c.name;
        EXPECT_NE(fault.address, 0u) << c.name;
    }
}

namespace {

struct Nesting {
    bool innerReturned = true;
    FaultRecord innerFault;
    int after = 0;
};

void FaultInsideInnerGuard(void* context)
{
    auto& nesting = *static_cast<Nesting*>(context);
    nesting.innerReturned = RunGuarded(&AccessViolation, nullptr, nesting.innerFault);
    ++nesting.after;
}

LONG WINAPI ContinueOwnCode(EXCEPTION_POINTERS* pointers)
{
    return pointers->ExceptionRecord->ExceptionCode == 0xE0000002u
               ? EXCEPTION_CONTINUE_EXECUTION
               : EXCEPTION_CONTINUE_SEARCH;
}

void RaiseAndContinue(void* context)
{
    void* handler = AddVectoredExceptionHandler(1, &ContinueOwnCode);
    RaiseException(0xE0000002u, 0, 0, nullptr);
    RemoveVectoredExceptionHandler(handler);
    ++static_cast<Nesting*>(context)->after;
}

void ThrowAndCatch(void* context)
{
    try {
        throw std::string("handled inside");
    } catch (const std::string&) {
        ++static_cast<Nesting*>(context)->after;
    }
}

}  // namespace

TEST(FaultGuard, ExceptionsHandledInsideTheCallPassThrough)
{
    const FaultCase cases[] = {
        {"inner guard", &FaultInsideInnerGuard, 0},
        {"vectored handler", &RaiseAndContinue, 0},
        {"C++ try and catch", &ThrowAndCatch, 0},
    };
    for (const FaultCase& c : cases) {
        Nesting nesting;
        FaultRecord outer;
        EXPECT_TRUE(RunGuarded(c.function, &nesting, outer)) << c.name;
        EXPECT_EQ(nesting.after, 1) << c.name;
    }
    Nesting nesting;
    FaultRecord outer;
    ASSERT_TRUE(RunGuarded(&FaultInsideInnerGuard, &nesting, outer));
    EXPECT_FALSE(nesting.innerReturned);  // the innermost guard reports
    EXPECT_EQ(nesting.innerFault.code, kFaultAccessViolation);
}

TEST(FaultGuard, AReplacedFilterIsPutBack)
{
    InstallLastResortFaultHandler();
    EXPECT_FALSE(RestoreLastResortFaultHandler());
    SetUnhandledExceptionFilter(&ContinueOwnCode);
    EXPECT_TRUE(RestoreLastResortFaultHandler());
    EXPECT_FALSE(RestoreLastResortFaultHandler());
    // The guard never needs the filter: a fault is still caught with another one in place.
    SetUnhandledExceptionFilter(nullptr);
    FaultRecord fault;
    EXPECT_FALSE(RunGuarded(&AccessViolation, nullptr, fault));
}

#endif
