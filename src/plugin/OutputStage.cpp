#include "plugin/OutputStage.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ZUMBREL_OUTPUT_STAGE_SSE2 1
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

}  // namespace

void ScaleAndLimit(float* samples, std::int32_t frames)
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

#else

void ScaleAndLimit(float* samples, std::int32_t frames)
{
    ScaleAndLimitReference(samples, frames);
}

#endif
