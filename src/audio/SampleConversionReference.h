#pragma once
// The conversions between 32-bit floats and the little-endian integer formats, written as one
// plain loop per sample. These loops are the definition: the vector loops the stream runs
// (audio/SampleConversionSse2.h, audio/SampleConversionAvx2.h) produce the same bytes for
// every input, finish each block's last frames with these, and the tests and the exhaustive
// check compare against them.
//
// Input: a sample v of n bits reads as v / 2^(n-1), exactly (every such value is a float).
// Output: the sample is widened to double and limited to [-1, 1] (NaN becomes 0), multiplied
// in double by 32767.49999, 8388607 or 2147483647.49999 and truncated toward zero, so +1.0 and
// -1.0 map to symmetric values and the most negative integer is never produced.

namespace reference {

void int16ToFloat(float* out, const unsigned char* in, long frames);
void int24ToFloat(float* out, const unsigned char* in, long frames);
void int32ToFloat(float* out, const unsigned char* in, long frames);

void floatToInt16(unsigned char* out, const float* in, long frames);
void floatToInt24(unsigned char* out, const float* in, long frames);
void floatToInt32(unsigned char* out, const float* in, long frames);

}  // namespace reference
