#pragma once
// Conversion of one channel's half-buffer between 32-bit floats and a driver sample format.
//
// Four little-endian formats are converted: Int16LSB, Int24LSB, Int32LSB and Float32LSB.
// Every other format whose sample width is known (big-endian, 64-bit float, 32-bit containers
// with fewer significant bits) is answered with silence; formats of unknown width are left
// untouched on output. Neither routine allocates; the format is chosen once per call. The
// arithmetic is defined sample by sample in audio/SampleConversionReference.h; the stream runs
// vector loops that give the same bytes: AVX2 (audio/SampleConversionAvx2.h) where the
// processor and the system run it, SSE2 (audio/SampleConversionSse2.h) everywhere else.
//
// The loop set is chosen once, while the program starts (static initialisation of this
// library); a call made before that, from another file's static initialiser, chooses it
// itself. Both store the same pointer to a constant table in an atomic, so the race is
// harmless, and a call on the audio thread is one relaxed load: no lock, no allocation.

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

// The loop that converts one channel of the given type, for a stream to choose once when its
// buffers are made instead of looking the type up in every block. Each does exactly what
// convertToFloat or convertFromFloat does for that type.
using ToFloatLoop = void (*)(float* out, const unsigned char* in, long frames);
using FromFloatLoop = void (*)(unsigned char* out, const float* in, long frames);
ToFloatLoop toFloatLoop(ASIOSampleType type);
FromFloatLoop fromFloatLoop(ASIOSampleType type);

// The loops of one instruction set, for each direction of each integer format.
struct SampleConversionLoops {
    const char* name;  // "avx2", "sse2" or "reference"
    void (*int16ToFloat)(float* out, const unsigned char* in, long frames);
    void (*int24ToFloat)(float* out, const unsigned char* in, long frames);
    void (*int32ToFloat)(float* out, const unsigned char* in, long frames);
    void (*floatToInt16)(unsigned char* out, const float* in, long frames);
    void (*floatToInt24)(unsigned char* out, const float* in, long frames);
    void (*floatToInt32)(unsigned char* out, const float* in, long frames);
};

// The vector loop sets this processor runs, slowest first (the reference loops alone on a
// build without SSE2), for the tests and the exhaustive check; the last is the stream's.
int conversionLoopSetCount();
const SampleConversionLoops& conversionLoopSet(int index);
const SampleConversionLoops& activeConversionLoops();
