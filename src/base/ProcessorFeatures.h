#pragma once
// Which vector instruction sets the sample conversions and the output stage may use on this
// processor, asked once while the program starts. Header-only: both portable libraries
// include it.
//
// AVX2 needs the processor's support and the operating system's: the 256-bit registers are
// usable only when the system saves them on a thread switch (CPUID.1:ECX.OSXSAVE, then bits 1
// and 2 of XCR0). The compiler's own query is combined with that test, which older runtime
// libraries left out.

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ZUMBREL_X86_AVX2_DISPATCH 1
#include <cpuid.h>
#endif

#ifdef ZUMBREL_X86_AVX2_DISPATCH

// Expands to the attribute that compiles one function for AVX2 (and not FMA: the loops are
// exact only with every product rounded on its own). Such a function runs only when
// processorRunsAvx2() said so, and only a dispatch calls it.
#define ZUMBREL_AVX2_FUNCTION __attribute__((target("avx2")))

inline bool processorRunsAvx2()
{
    constexpr unsigned kOsxsave = 1u << 27;       // CPUID.1:ECX
    constexpr unsigned kAvx = 1u << 28;           // CPUID.1:ECX
    constexpr unsigned kXmmAndYmmState = 0x6u;    // XCR0 bits 1 and 2
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & (kOsxsave | kAvx)) != (kOsxsave | kAvx))
        return false;
    unsigned xcr0Low = 0, xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    if ((xcr0Low & kXmmAndYmmState) != kXmmAndYmmState)
        return false;
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}

#else

inline bool processorRunsAvx2()
{
    return false;
}

#endif
