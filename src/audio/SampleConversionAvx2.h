#pragma once
// The conversions of audio/SampleConversionReference.h with AVX2: eight
// samples per instruction, the same arithmetic as the SSE2 loops (audio/SampleConversionSse2.h)
// on twice the width, so the results are the reference's, bit for bit, for every input. The
// last frames of a block go to the SSE2 loops, which finish with the reference loops.
//
// Each function is compiled for AVX2 alone (ZUMBREL_AVX2_FUNCTION) and runs only where
// processorRunsAvx2() holds; the dispatch in SampleConversion.cpp is the only caller.

#include "base/ProcessorFeatures.h"
#include "audio/SampleConversionSse2.h"

#if defined(ZUMBREL_X86_AVX2_DISPATCH) && defined(ZUMBREL_SAMPLE_CONVERSION_SSE2)
#define ZUMBREL_SAMPLE_CONVERSION_AVX2 1

namespace avx2 {

void int16ToFloat(float* out, const unsigned char* in, long frames);
void int24ToFloat(float* out, const unsigned char* in, long frames);
void int32ToFloat(float* out, const unsigned char* in, long frames);

void floatToInt16(unsigned char* out, const float* in, long frames);
void floatToInt24(unsigned char* out, const float* in, long frames);
void floatToInt32(unsigned char* out, const float* in, long frames);

}  // namespace avx2

#endif
