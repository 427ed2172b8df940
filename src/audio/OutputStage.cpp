#include "audio/OutputStage.h"

#include "base/ProcessorFeatures.h"

#include <atomic>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ZUMBREL_OUTPUT_STAGE_SSE2 1
#if defined(ZUMBREL_X86_AVX2_DISPATCH)
#include <immintrin.h>
#define ZUMBREL_OUTPUT_STAGE_AVX2 1
#endif
#endif

void ScaleAndLimitReference(float* samples, std::int32_t frames)
{
    for (std::int32_t i = 0; i < frames; ++i) {
        const float in = samples[i];
        // in - in is 0 for every finite value and NaN for NaN and both infinities.
        const float finite = in - in == 0.0f ? in : 0.0f;
        float v = static_cast<float>(static_cast<double>(finite) * kOutputGain);
        v = v > 1.0f ? 1.0f : v;
        v = v < -1.0f ? -1.0f : v;
        samples[i] = v;
    }
}

#ifdef ZUMBREL_OUTPUT_STAGE_SSE2

namespace {

// The double product rounded to float is the float nearest to 9x/10: it differs from 9x/10 by
// less than 2^-53 of itself, and 9x/10 either lies exactly halfway between two floats or at
// least a tenth of a float step away from such a point. In float arithmetic x - x * 0.1f
// rounds to that same float: the product is off from x/10 by at most 1/16 + 1/32 of the
// result's last place (x/10 is under an eighth of 9x/10), and in the halfway case x/10 is
// itself a float, which the product hits exactly. Below 2^-122 the product loses precision to
// underflow; such results, zeros and non-finite samples are left to the reference.
constexpr float kSmallestExact = 0x1p-122f;

struct Group {
    __m128 x;
    __m128 limited;    // x - x * 0.1f limited to [-1, 1]
    __m128 uncertain;  // lanes whose result is below kSmallestExact in magnitude, or NaN
};

inline Group scaleGroup(const float* in)
{
    const __m128 magnitudeMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    Group g;
    g.x = _mm_loadu_ps(in);
    const __m128 scaled = _mm_sub_ps(g.x, _mm_mul_ps(g.x, _mm_set1_ps(0.1f)));
    g.limited = _mm_min_ps(_mm_max_ps(scaled, _mm_set1_ps(-1.0f)), _mm_set1_ps(1.0f));
    g.uncertain = _mm_cmpnle_ps(_mm_set1_ps(kSmallestExact), _mm_and_ps(scaled, magnitudeMask));
    return g;
}

// Stores a group whose quick results may not all be certain.
void storeGroup(float* out, const Group& g)
{
    const int uncertain = _mm_movemask_ps(g.uncertain);
    // Zeros are exact except for the sign, which x - x * 0.1f loses for -0.
    const int zeros = _mm_movemask_ps(_mm_cmpeq_ps(g.x, _mm_setzero_ps()));
    if ((uncertain & ~zeros) != 0) {
        ScaleAndLimitReference(out, 4);
        return;
    }
    const __m128 sign = _mm_and_ps(g.x, _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN)));
    _mm_storeu_ps(out, _mm_or_ps(g.limited, sign));
}

void ScaleAndLimitSse2(float* samples, std::int32_t frames)
{
    std::int32_t i = 0;
    for (; i + 8 <= frames; i += 8) {
        const Group a = scaleGroup(samples + i);
        const Group b = scaleGroup(samples + i + 4);
        if (_mm_movemask_ps(_mm_or_ps(a.uncertain, b.uncertain)) == 0) {
            _mm_storeu_ps(samples + i, a.limited);
            _mm_storeu_ps(samples + i + 4, b.limited);
        } else {
            storeGroup(samples + i, a);
            storeGroup(samples + i + 4, b);
        }
    }
    if (i + 4 <= frames) {
        storeGroup(samples + i, scaleGroup(samples + i));
        i += 4;
    }
    ScaleAndLimitReference(samples + i, frames - i);
}

#ifdef ZUMBREL_OUTPUT_STAGE_AVX2

// The SSE2 loop on eight lanes: the same operations in the same operand order, with the quiet
// comparison that matches the SSE2 one. Every value stays in a register (the 64-bit Windows
// compiler cannot align a 256-bit spill slot); the compiler adds vzeroupper on return. The
// last frames go to the SSE2 loop.
struct WideGroup {
    __m256 x;
    __m256 limited;
    __m256 uncertain;
};

ZUMBREL_AVX2_FUNCTION inline WideGroup scaleWideGroup(const float* in)
{
    const __m256 magnitudeMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    WideGroup g;
    g.x = _mm256_loadu_ps(in);
    const __m256 scaled = _mm256_sub_ps(g.x, _mm256_mul_ps(g.x, _mm256_set1_ps(0.1f)));
    g.limited = _mm256_min_ps(_mm256_max_ps(scaled, _mm256_set1_ps(-1.0f)), _mm256_set1_ps(1.0f));
    g.uncertain = _mm256_cmp_ps(_mm256_set1_ps(kSmallestExact),
                                _mm256_and_ps(scaled, magnitudeMask), _CMP_NLE_UQ);
    return g;
}

ZUMBREL_AVX2_FUNCTION inline void storeWideGroup(float* out, const WideGroup& g)
{
    const int uncertain = _mm256_movemask_ps(g.uncertain);
    const int zeros = _mm256_movemask_ps(_mm256_cmp_ps(g.x, _mm256_setzero_ps(), _CMP_EQ_OQ));
    if ((uncertain & ~zeros) != 0) {
        ScaleAndLimitReference(out, 8);
        return;
    }
    const __m256 sign = _mm256_and_ps(g.x, _mm256_castsi256_ps(_mm256_set1_epi32(INT32_MIN)));
    _mm256_storeu_ps(out, _mm256_or_ps(g.limited, sign));
}

ZUMBREL_AVX2_FUNCTION void ScaleAndLimitAvx2(float* samples, std::int32_t frames)
{
    std::int32_t i = 0;
    for (; i + 16 <= frames; i += 16) {
        const WideGroup a = scaleWideGroup(samples + i);
        const WideGroup b = scaleWideGroup(samples + i + 8);
        if (_mm256_movemask_ps(_mm256_or_ps(a.uncertain, b.uncertain)) == 0) {
            _mm256_storeu_ps(samples + i, a.limited);
            _mm256_storeu_ps(samples + i + 8, b.limited);
        } else {
            storeWideGroup(samples + i, a);
            storeWideGroup(samples + i + 8, b);
        }
    }
    if (i + 8 <= frames) {
        storeWideGroup(samples + i, scaleWideGroup(samples + i));
        i += 8;
    }
    ScaleAndLimitSse2(samples + i, frames - i);
}

#endif

}  // namespace

#endif

namespace {

// Every loop this build holds, slowest first, and how many of them this processor runs.
constexpr OutputStageLoop kLoops[] = {
#ifdef ZUMBREL_OUTPUT_STAGE_SSE2
    {"sse2", ScaleAndLimitSse2},
#else
    {"reference", ScaleAndLimitReference},
#endif
#ifdef ZUMBREL_OUTPUT_STAGE_AVX2
    {"avx2", ScaleAndLimitAvx2},
#endif
};

int runnableLoopCount()
{
#ifdef ZUMBREL_OUTPUT_STAGE_AVX2
    if (!processorRunsAvx2())
        return 1;
#endif
    return static_cast<int>(sizeof kLoops / sizeof kLoops[0]);
}

using StageLoop = void (*)(float* samples, std::int32_t frames);
std::atomic<StageLoop> g_activeLoop{nullptr};
static_assert(std::atomic<StageLoop>::is_always_lock_free);

StageLoop chooseLoop()
{
    const StageLoop chosen = kLoops[runnableLoopCount() - 1].run;
    g_activeLoop.store(chosen, std::memory_order_relaxed);
    return chosen;
}

// Asks the processor while the program starts, not on the audio thread's first block.
[[maybe_unused]] const StageLoop g_loopChosenAtStart = chooseLoop();

}  // namespace

void ScaleAndLimit(float* samples, std::int32_t frames)
{
    const StageLoop loop = g_activeLoop.load(std::memory_order_relaxed);
    (loop != nullptr ? loop : chooseLoop())(samples, frames);
}

int OutputStageLoopCount()
{
    return runnableLoopCount();
}

const OutputStageLoop& OutputStageLoopAt(int index)
{
    return kLoops[index];
}
