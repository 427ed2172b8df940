#pragma once
// The conversions of audio/SampleConversionReference.h with SSE2, the baseline of every x86-64
// processor and of our 32-bit build: four samples per instruction, unaligned loads and stores
// (driver buffers have any alignment), the last frames of a block by the reference loops.
// The results are the reference's, bit for bit, for every input. Without SSE2 the stream
// calls the reference loops directly.

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define ZUMBREL_SAMPLE_CONVERSION_SSE2 1

namespace sse2 {

void int16ToFloat(float* out, const unsigned char* in, long frames);
void int24ToFloat(float* out, const unsigned char* in, long frames);
void int32ToFloat(float* out, const unsigned char* in, long frames);

void floatToInt16(unsigned char* out, const float* in, long frames);
void floatToInt24(unsigned char* out, const float* in, long frames);
void floatToInt32(unsigned char* out, const float* in, long frames);

}  // namespace sse2

#endif
