#include "audio/SampleConversionAvx2.h"

#ifdef ZUMBREL_SAMPLE_CONVERSION_AVX2

#include <immintrin.h>

// The formulas, and why each is exact, are those of SampleConversionSse2.cpp; only the width
// differs. Comparisons use the quiet predicates that match the SSE2 ones (NaN compares false,
// or true for "not less or equal"), and min and max keep the SSE2 operand order, which decides
// what a NaN lane becomes. The compiler clears the upper register halves on return
// (vzeroupper), so SSE2 code after these functions runs at full speed.
//
// The 64-bit Windows compiler cannot align its stack to 32 bytes, so a 256-bit value spilled
// there would be stored with an aligned move to a 16-byte slot and fault: these loops are kept
// small enough that every value stays in a register (checked in the disassembly by
// scripts/bench.sh).

namespace {

ZUMBREL_AVX2_FUNCTION inline __m256 magnitude(__m256 x)
{
    return _mm256_and_ps(x, _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF)));
}

ZUMBREL_AVX2_FUNCTION inline __m256i int24Values(__m256 x)
{
    const __m256 limited =
        _mm256_min_ps(_mm256_set1_ps(1.0f), _mm256_max_ps(_mm256_set1_ps(-1.0f), x));
    const __m256 y = _mm256_mul_ps(limited, _mm256_set1_ps(8388608.0f));
    const __m256i t = _mm256_cvttps_epi32(y);
    const __m256 d = _mm256_sub_ps(_mm256_sub_ps(y, _mm256_cvtepi32_ps(t)), limited);
    const __m256i dNegative =
        _mm256_castps_si256(_mm256_cmp_ps(d, _mm256_setzero_ps(), _CMP_LT_OQ));
    const __m256i xNegative =
        _mm256_castps_si256(_mm256_cmp_ps(limited, _mm256_setzero_ps(), _CMP_LT_OQ));
    return _mm256_sub_epi32(_mm256_add_epi32(t, dNegative), xNegative);
}

ZUMBREL_AVX2_FUNCTION inline __m256i int32Values(__m256 x)
{
    const __m256 a = _mm256_min_ps(_mm256_max_ps(magnitude(x), _mm256_set1_ps(0x1p-40f)),
                                   _mm256_set1_ps(1.0f));
    const __m256 negative = _mm256_mul_ps(a, _mm256_set1_ps(-2147483648.0f));
    const __m256i t = _mm256_cvttps_epi32(negative);
    const __m256 integral = _mm256_cmp_ps(negative, _mm256_cvtepi32_ps(t), _CMP_EQ_OQ);
    const __m256i negatedMagnitude = _mm256_sub_epi32(t, _mm256_castps_si256(integral));
    const __m256i sign = _mm256_srai_epi32(_mm256_castps_si256(x), 31);
    return _mm256_sub_epi32(sign, _mm256_xor_si256(negatedMagnitude, sign));
}

// Int16: the products of 16 samples truncated and packed with saturation, and whether the
// group must take the exact arithmetic: as in SampleConversionSse2.cpp, a cheap test for
// integral products or the most negative value first, the exact condition (integral products
// of at least one half, or the most negative value) only when that fires.
struct Int16Group {
    __m256i packed;
    bool unsure;
};

ZUMBREL_AVX2_FUNCTION inline int integralProducts(__m256 product, __m256 integral)
{
    const __m256 notSmall = _mm256_cmp_ps(magnitude(product), _mm256_set1_ps(0.5f), _CMP_NLT_UQ);
    return _mm256_movemask_ps(_mm256_and_ps(integral, notSmall));
}

ZUMBREL_AVX2_FUNCTION inline Int16Group int16Group(const float* in)
{
    const __m256 factor = _mm256_set1_ps(32767.5f);
    const __m256 p0 = _mm256_mul_ps(_mm256_loadu_ps(in), factor);
    const __m256 p1 = _mm256_mul_ps(_mm256_loadu_ps(in + 8), factor);
    const __m256i t0 = _mm256_cvttps_epi32(p0);
    const __m256i t1 = _mm256_cvttps_epi32(p1);
    // The pack works within 128-bit lanes (samples 0-3, 8-11, 4-7, 12-15): restore the order.
    const __m256i packed =
        _mm256_permute4x64_epi64(_mm256_packs_epi32(t0, t1), _MM_SHUFFLE(3, 1, 2, 0));
    const __m256i mostNegative = _mm256_cmpeq_epi16(packed, _mm256_set1_epi16(-32768));
    const __m256 integral0 = _mm256_cmp_ps(p0, _mm256_cvtepi32_ps(t0), _CMP_EQ_OQ);
    const __m256 integral1 = _mm256_cmp_ps(p1, _mm256_cvtepi32_ps(t1), _CMP_EQ_OQ);
    const __m256i unsure =
        _mm256_or_si256(mostNegative, _mm256_castps_si256(_mm256_or_ps(integral0, integral1)));
    if (_mm256_testz_si256(unsure, unsure))
        return {packed, false};
    return {packed, (_mm256_movemask_epi8(mostNegative) | integralProducts(p0, integral0)
                     | integralProducts(p1, integral1)) != 0};
}

// Eight 32-bit words whose top bits hold samples, converted to v / 2^31 (exact: the words are
// exact in a float and the factor is a power of two, as in the reference).
ZUMBREL_AVX2_FUNCTION inline void storeWordsAsFloats(float* out, __m256i words)
{
    _mm256_storeu_ps(out, _mm256_mul_ps(_mm256_cvtepi32_ps(words), _mm256_set1_ps(0x1p-31f)));
}

}  // namespace

namespace avx2 {

ZUMBREL_AVX2_FUNCTION void int16ToFloat(float* out, const unsigned char* in, long frames)
{
    long i = 0;
    for (; i + 8 <= frames; i += 8, in += 16) {
        const __m256i v = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
        storeWordsAsFloats(out + i, _mm256_slli_epi32(v, 16));
    }
    sse2::int16ToFloat(out + i, in, frames - i);
}

ZUMBREL_AVX2_FUNCTION void int24ToFloat(float* out, const unsigned char* in, long frames)
{
    // The low lane holds bytes 0-15 (samples 0-3 in its first 12), the high lane bytes 8-23
    // (samples 4-7 in its last 12): nothing past the eighth frame is read. Each sample's three
    // bytes move to the top of its word, the low byte zero.
    const __m256i spread = _mm256_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11,
                                            -1, 4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15);
    long i = 0;
    for (; i + 8 <= frames; i += 8, in += 24) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8));
        const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
        storeWordsAsFloats(out + i, _mm256_shuffle_epi8(v, spread));
    }
    sse2::int24ToFloat(out + i, in, frames - i);
}

ZUMBREL_AVX2_FUNCTION void int32ToFloat(float* out, const unsigned char* in, long frames)
{
    long i = 0;
    for (; i + 8 <= frames; i += 8, in += 32)
        storeWordsAsFloats(out + i, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)));
    sse2::int32ToFloat(out + i, in, frames - i);
}

ZUMBREL_AVX2_FUNCTION void floatToInt16(unsigned char* out, const float* in, long frames)
{
    long i = 0;
    for (; i + 16 <= frames; i += 16, out += 32) {
        const Int16Group g = int16Group(in + i);
        if (g.unsure)
            sse2::floatToInt16(out, in + i, 16);
        else
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), g.packed);
    }
    sse2::floatToInt16(out, in + i, frames - i);
}

ZUMBREL_AVX2_FUNCTION void floatToInt24(unsigned char* out, const float* in, long frames)
{
    // The low three bytes of each word are gathered to the first 12 bytes of each 128-bit
    // lane, the two lanes' 12 bytes joined to 24, and those stored as 16 and 8 bytes.
    const __m256i gather = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                            0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    long i = 0;
    for (; i + 8 <= frames; i += 8, out += 24) {
        const __m256i v = int24Values(_mm256_loadu_ps(in + i));
        const __m256i joined = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, gather), join);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(joined));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(joined, 1));
    }
    sse2::floatToInt24(out, in + i, frames - i);
}

ZUMBREL_AVX2_FUNCTION void floatToInt32(unsigned char* out, const float* in, long frames)
{
    long i = 0;
    for (; i + 8 <= frames; i += 8, out += 32)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), int32Values(_mm256_loadu_ps(in + i)));
    sse2::floatToInt32(out, in + i, frames - i);
}

}  // namespace avx2

#endif
