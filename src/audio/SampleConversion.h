#pragma once
// Conversion of one channel's half-buffer between 32-bit floats and a driver sample format.
//
// Four little-endian formats are converted: Int16LSB, Int24LSB, Int32LSB and Float32LSB.
// Every other format whose sample width is known (big-endian, 64-bit float, 32-bit containers
// with fewer significant bits) is answered with silence; formats of unknown width are left
// untouched on output. Neither routine allocates; the format is chosen once per call. The
// arithmetic is defined sample by sample in audio/SampleConversionReference.h; the stream runs
// the SSE2 loops of audio/SampleConversionSse2.h, which give the same bytes.

#include "audio/AsioSampleType.h"

// Bytes one sample of the given type occupies in a driver buffer; 0 for a type whose width
// is not known (such a channel is never written).
int sampleWidth(ASIOSampleType type);

// Whether convertFromFloat writes the signal itself in this type (not silence, not nothing).
bool convertsSampleType(ASIOSampleType type);

// Fills `frames` floats from the driver buffer. Input the stream cannot convert reads as 0.0.
void convertToFloat(float* destination, const void* source, ASIOSampleType type, long frames);

// Writes `frames` samples of the given type. Integer formats scale by 32767.49999, 8388607
// and 2147483647.49999 and truncate toward zero, so +1.0 and -1.0 map to symmetric values
// and the most negative integer is never produced. Values beyond [-1, 1] are clipped to the
// full scale and NaN is written as silence: an out-of-range sample must not wrap around
// into a full-scale click of the opposite sign. Float32 is copied bit for bit.
void convertFromFloat(const float* source, void* destination, ASIOSampleType type, long frames);
