#include "audio/SampleConversionSse2.h"

#ifdef ZUMBREL_SAMPLE_CONVERSION_SSE2

#include "audio/SampleConversionReference.h"

#include <emmintrin.h>

// The reference multiplies in double precision. Converting four floats to double and back
// costs more than the rest of the work, so each output format is computed from float
// operations that are exact, or whose rounding provably cannot change the truncated result;
// the rare groups where that cannot be decided cheaply take the double arithmetic itself.
// The exhaustive check (bench/exhaustive) compares all 2^32 inputs of every format.

namespace {

inline __m128 magnitudeMask()
{
    return _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
}

// Int16: the reference truncates x * 32767.49999 = x * 32767.5 - x * 1.0e-5 (rounded to
// double); the float product p rounds x * 32767.5 to its grid, which for |p| >= 1/2 is at
// least 2^-24 of p, while x * 1.0e-5 is 3.1e-10 of p. Integers lie on that grid, so an
// integer can separate p from the reference's product only when p is that integer: the
// truncated float product is exact everywhere else. Beyond +1 the truncated products saturate
// to 32767 in the pack as the reference clips them. Products at or below -32768, beyond the
// int32 range (they truncate to the most negative integer) and NaN all pack to -32768; those
// lanes, like the integral products, take the reference's arithmetic in double.

// Lanes whose product is integral and at least one half in magnitude (products below one
// half truncate to 0 either way; silence is all such lanes).
inline int integralProducts(__m128 product, __m128 integral)
{
    const __m128 magnitude = _mm_and_ps(product, magnitudeMask());
    return _mm_movemask_ps(_mm_and_ps(integral, _mm_cmpnlt_ps(magnitude, _mm_set1_ps(0.5f))));
}

// The reference's own arithmetic for four samples: limited to [-1, 1] with NaN as 0, widened
// to double, multiplied by 32767.49999 and truncated. For the rare groups the float product
// cannot decide.
inline __m128i int16ValuesInDouble(const float* in)
{
    __m128 x = _mm_loadu_ps(in);
    x = _mm_and_ps(x, _mm_cmpord_ps(x, x));
    x = _mm_min_ps(_mm_max_ps(x, _mm_set1_ps(-1.0f)), _mm_set1_ps(1.0f));
    const __m128d factor = _mm_set1_pd(32767.0 + 0.49999);
    const __m128i low = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtps_pd(x), factor));
    const __m128i high = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(x, x)), factor));
    return _mm_unpacklo_epi64(low, high);
}

// Int24: x * 8388607 = y - x with y = x * 2^23 exact; y - x is not exact in float, so it is
// truncated in exact steps: t = trunc(y), f = y - t, d = f - x. With d in (-1, 1), trunc(y - x)
// is t - 1 when x > 0 > d, t + 1 when x < 0 < d, else t. (d = 0 only for x = 0, both zeros
// compare equal to 0, and the sign of d computed in float is exact.) NaN converts to the most
// negative integer, whose low 24 bits are 0.
inline __m128i int24Values(__m128 x)
{
    const __m128 limited = _mm_min_ps(_mm_set1_ps(1.0f), _mm_max_ps(_mm_set1_ps(-1.0f), x));
    const __m128 y = _mm_mul_ps(limited, _mm_set1_ps(8388608.0f));
    const __m128i t = _mm_cvttps_epi32(y);
    const __m128 d = _mm_sub_ps(_mm_sub_ps(y, _mm_cvtepi32_ps(t)), limited);
    const __m128i dNegative = _mm_castps_si128(_mm_cmplt_ps(d, _mm_setzero_ps()));
    const __m128i xNegative = _mm_castps_si128(_mm_cmplt_ps(limited, _mm_setzero_ps()));
    return _mm_sub_epi32(_mm_add_epi32(t, dNegative), xNegative);
}

// Int32: a * 2147483647.49999 = A - 0.50001 a with A = a * 2^31 exact. A nonzero fractional
// part of A is at least a * 2^8 (A keeps 24 significant bits), so the truncation is A - 1
// when A is an integer and floor(A) otherwise: ceil(A) - 1 in both cases. Computed on -A,
// since -2^31 fits an int32 and 2^31 does not: with t = trunc(-A) = ceil(-A), the magnitude
// ceil(A) - 1 is -(t - 1) for integral -A and -t otherwise.
// The magnitude is limited to [2^-40, 1], NaN going to 2^-40: like any |x| below 2^-31, that
// converts to 0, and it keeps zero (ceil(0) - 1 is not 0) and NaN out of the formula.
inline __m128i int32Values(__m128 x)
{
    const __m128 magnitude = _mm_and_ps(x, magnitudeMask());
    const __m128 a = _mm_min_ps(_mm_max_ps(magnitude, _mm_set1_ps(0x1p-40f)), _mm_set1_ps(1.0f));
    const __m128 negative = _mm_mul_ps(a, _mm_set1_ps(-2147483648.0f));
    const __m128i t = _mm_cvttps_epi32(negative);
    const __m128 integral = _mm_cmpeq_ps(negative, _mm_cvtepi32_ps(t));
    const __m128i negatedMagnitude = _mm_sub_epi32(t, _mm_castps_si128(integral));
    const __m128i sign = _mm_srai_epi32(_mm_castps_si128(x), 31);  // all ones where negative
    return _mm_sub_epi32(sign, _mm_xor_si128(negatedMagnitude, sign));
}

// Four 32-bit words whose top 24 bits hold samples, converted to v / 2^23.
inline void storeWordsAsFloats(float* out, __m128i words)
{
    _mm_storeu_ps(out, _mm_mul_ps(_mm_cvtepi32_ps(words), _mm_set1_ps(0x1p-31f)));
}

}  // namespace

namespace sse2 {

void int16ToFloat(float* out, const unsigned char* in, long frames)
{
    long i = 0;
    for (; i + 8 <= frames; i += 8, in += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        storeWordsAsFloats(out + i, _mm_unpacklo_epi16(_mm_setzero_si128(), v));
        storeWordsAsFloats(out + i + 4, _mm_unpackhi_epi16(_mm_setzero_si128(), v));
    }
    reference::int16ToFloat(out + i, in, frames - i);
}

void int24ToFloat(float* out, const unsigned char* in, long frames)
{
    // Each 8-byte half of `v` starts with two samples (bytes 0-7 and 6-13; reading 14 bytes
    // needs a fifth frame). The first sample of a half moves to the top of the low word by
    // a word shift, the second to the top of the high word by a shift of the whole half.
    const __m128i lowWords = _mm_set_epi32(0, -1, 0, -1);
    const __m128i highWordsTop24 = _mm_set_epi32(-256, 0, -256, 0);
    long i = 0;
    for (; i + 5 <= frames; i += 4, in += 12) {
        const __m128i v =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 6)));
        const __m128i first = _mm_and_si128(_mm_slli_epi32(v, 8), lowWords);
        const __m128i second = _mm_and_si128(_mm_slli_epi64(v, 16), highWordsTop24);
        storeWordsAsFloats(out + i, _mm_or_si128(first, second));
    }
    reference::int24ToFloat(out + i, in, frames - i);
}

void int32ToFloat(float* out, const unsigned char* in, long frames)
{
    long i = 0;
    for (; i + 4 <= frames; i += 4, in += 16)
        storeWordsAsFloats(out + i, _mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
    reference::int32ToFloat(out + i, in, frames - i);
}

void floatToInt16(unsigned char* out, const float* in, long frames)
{
    const __m128 factor = _mm_set1_ps(32767.5f);
    long i = 0;
    for (; i + 8 <= frames; i += 8, out += 16) {
        const __m128 p0 = _mm_mul_ps(_mm_loadu_ps(in + i), factor);
        const __m128 p1 = _mm_mul_ps(_mm_loadu_ps(in + i + 4), factor);
        const __m128i t0 = _mm_cvttps_epi32(p0);
        const __m128i t1 = _mm_cvttps_epi32(p1);
        const __m128i packed = _mm_packs_epi32(t0, t1);
        const __m128i mostNegative = _mm_cmpeq_epi16(packed, _mm_set1_epi16(-32768));
        const __m128 integral0 = _mm_cmpeq_ps(p0, _mm_cvtepi32_ps(t0));
        const __m128 integral1 = _mm_cmpeq_ps(p1, _mm_cvtepi32_ps(t1));
        const __m128i unsure =
            _mm_or_si128(mostNegative, _mm_castps_si128(_mm_or_ps(integral0, integral1)));
        if (_mm_movemask_epi8(unsure) != 0
            && (_mm_movemask_epi8(mostNegative) | integralProducts(p0, integral0)
                | integralProducts(p1, integral1)) != 0) {
            const __m128i exact = _mm_packs_epi32(int16ValuesInDouble(in + i),
                                                  int16ValuesInDouble(in + i + 4));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), exact);
            continue;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), packed);
    }
    reference::floatToInt16(out, in + i, frames - i);
}

void floatToInt24(unsigned char* out, const float* in, long frames)
{
    // The two samples of each 64-bit half are joined into 6 bytes, and each half is stored
    // with 8 bytes; the 2 extra bytes land on the next frame (hence a fifth frame), which is
    // written after them.
    const __m128i firstOfHalf = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
    const __m128i secondOfHalf = _mm_set_epi32(0x0000FFFF, -16777216, 0x0000FFFF, -16777216);
    long i = 0;
    for (; i + 5 <= frames; i += 4, out += 12) {
        const __m128i v = int24Values(_mm_loadu_ps(in + i));
        const __m128i joined = _mm_or_si128(_mm_and_si128(v, firstOfHalf),
                                            _mm_and_si128(_mm_srli_epi64(v, 8), secondOfHalf));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), joined);
        _mm_storeh_pi(reinterpret_cast<__m64*>(out + 6), _mm_castsi128_ps(joined));
    }
    reference::floatToInt24(out, in + i, frames - i);
}

void floatToInt32(unsigned char* out, const float* in, long frames)
{
    long i = 0;
    for (; i + 4 <= frames; i += 4, out += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), int32Values(_mm_loadu_ps(in + i)));
    reference::floatToInt32(out, in + i, frames - i);
}

}  // namespace sse2

#endif
