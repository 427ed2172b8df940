#pragma once
// Flushes denormal numbers to zero on the calling thread while the guard lives, and gives the
// thread its own floating-point mode back afterwards. A decaying reverb tail or filter state
// that sinks into the denormal range costs up to a hundred times more per operation on x86;
// on the audio thread that is a dropout. The driver's thread keeps whatever mode it had.
//
// Portable: no operating-system headers. Where the processor has no SSE control register the
// guard does nothing.

#if defined(__SSE__) || defined(__x86_64__) || defined(_M_X64) || defined(_M_IX86)
#include <xmmintrin.h>
#define ZUMBREL_HAS_MXCSR 1
#endif

class CDenormalGuard {
public:
    static constexpr unsigned kFlushToZero = 0x8000;      // results that would be denormal
    static constexpr unsigned kDenormalsAreZero = 0x0040; // denormal operands

#ifdef ZUMBREL_HAS_MXCSR
    CDenormalGuard() noexcept : m_saved(_mm_getcsr())
    {
        _mm_setcsr(m_saved | kFlushToZero | kDenormalsAreZero);
    }
    ~CDenormalGuard() { _mm_setcsr(m_saved); }

private:
    unsigned m_saved;
#else
    CDenormalGuard() noexcept {}
#endif

public:
    CDenormalGuard(const CDenormalGuard&) = delete;
    CDenormalGuard& operator=(const CDenormalGuard&) = delete;
};
