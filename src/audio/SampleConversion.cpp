#include "audio/SampleConversion.h"

#include "audio/SampleConversionAvx2.h"
#include "base/ProcessorFeatures.h"
#include "audio/SampleConversionReference.h"
#include "audio/SampleConversionSse2.h"

#include <atomic>
#include <cstring>

namespace {

#ifdef ZUMBREL_SAMPLE_CONVERSION_SSE2
constexpr SampleConversionLoops kSse2Loops = {
    "sse2",
    sse2::int16ToFloat, sse2::int24ToFloat, sse2::int32ToFloat,
    sse2::floatToInt16, sse2::floatToInt24, sse2::floatToInt32,
};
#else
constexpr SampleConversionLoops kReferenceLoops = {
    "reference",
    reference::int16ToFloat, reference::int24ToFloat, reference::int32ToFloat,
    reference::floatToInt16, reference::floatToInt24, reference::floatToInt32,
};
#endif

#ifdef ZUMBREL_SAMPLE_CONVERSION_AVX2
constexpr SampleConversionLoops kAvx2Loops = {
    "avx2",
    avx2::int16ToFloat, avx2::int24ToFloat, avx2::int32ToFloat,
    avx2::floatToInt16, avx2::floatToInt24, avx2::floatToInt32,
};
#endif

// Every loop set this build holds, slowest first; the processor may run only the first.
constexpr const SampleConversionLoops* kLoopSets[] = {
#ifdef ZUMBREL_SAMPLE_CONVERSION_SSE2
    &kSse2Loops,
#else
    &kReferenceLoops,
#endif
#ifdef ZUMBREL_SAMPLE_CONVERSION_AVX2
    &kAvx2Loops,
#endif
};

int runnableLoopSetCount()
{
#ifdef ZUMBREL_SAMPLE_CONVERSION_AVX2
    if (!processorRunsAvx2())
        return 1;
#endif
    return static_cast<int>(sizeof kLoopSets / sizeof kLoopSets[0]);
}

std::atomic<const SampleConversionLoops*> g_activeLoops{nullptr};
static_assert(std::atomic<const SampleConversionLoops*>::is_always_lock_free);

const SampleConversionLoops& chooseLoops()
{
    const SampleConversionLoops* chosen = kLoopSets[runnableLoopSetCount() - 1];
    g_activeLoops.store(chosen, std::memory_order_relaxed);
    return *chosen;
}

// Asks the processor while the program starts, not on the audio thread's first block.
[[maybe_unused]] const bool g_loopsChosenAtStart = (chooseLoops(), true);

void floatToFloat32(unsigned char* out, const float* in, long frames)
{
    std::memcpy(out, in, static_cast<std::size_t>(frames) * sizeof(float));
}

void float32ToFloat(float* out, const unsigned char* in, long frames)
{
    std::memcpy(out, in, static_cast<std::size_t>(frames) * sizeof(float));
}

// Input the stream cannot convert reads as silence.
void silenceToFloat(float* out, const unsigned char*, long frames)
{
    std::memset(out, 0, static_cast<std::size_t>(frames) * sizeof(float));
}

// Output of a known width the stream cannot convert gets silence; of an unknown width, nothing.
template <int Width>
void silenceOfWidth(unsigned char* out, const float*, long frames)
{
    std::memset(out, 0, static_cast<std::size_t>(frames) * Width);
}

void leaveUntouched(unsigned char*, const float*, long) {}

using FromFloat = FromFloatLoop;

// The writer of each output type the stream converts; null for every other type.
FromFloat fromFloatWriter(ASIOSampleType type)
{
    const SampleConversionLoops& loops = activeConversionLoops();
    switch (type) {
    case ASIOSTInt16LSB:
        return loops.floatToInt16;
    case ASIOSTInt24LSB:
        return loops.floatToInt24;
    case ASIOSTInt32LSB:
        return loops.floatToInt32;
    case ASIOSTFloat32LSB:
        return floatToFloat32;
    default:
        return nullptr;
    }
}

}  // namespace

int conversionLoopSetCount()
{
    return runnableLoopSetCount();
}

const SampleConversionLoops& conversionLoopSet(int index)
{
    return *kLoopSets[index];
}

const SampleConversionLoops& activeConversionLoops()
{
    const SampleConversionLoops* loops = g_activeLoops.load(std::memory_order_relaxed);
    return loops != nullptr ? *loops : chooseLoops();
}

int sampleWidth(ASIOSampleType type)
{
    switch (type) {
    case ASIOSTInt16LSB:
    case ASIOSTInt16MSB:
        return 2;
    case ASIOSTInt24LSB:
    case ASIOSTInt24MSB:
        return 3;
    case ASIOSTInt32LSB:
    case ASIOSTFloat32LSB:
    case ASIOSTInt32MSB:
    case ASIOSTFloat32MSB:
    case ASIOSTInt32MSB16:
    case ASIOSTInt32MSB18:
    case ASIOSTInt32MSB20:
    case ASIOSTInt32MSB24:
    case ASIOSTInt32LSB16:
    case ASIOSTInt32LSB18:
    case ASIOSTInt32LSB20:
    case ASIOSTInt32LSB24:
        return 4;
    case ASIOSTFloat64LSB:
    case ASIOSTFloat64MSB:
        return 8;
    default:
        return 0;
    }
}

ToFloatLoop toFloatLoop(ASIOSampleType type)
{
    const SampleConversionLoops& loops = activeConversionLoops();
    switch (type) {
    case ASIOSTInt16LSB:
        return loops.int16ToFloat;
    case ASIOSTInt24LSB:
        return loops.int24ToFloat;
    case ASIOSTInt32LSB:
        return loops.int32ToFloat;
    case ASIOSTFloat32LSB:
        return float32ToFloat;
    default:
        return silenceToFloat;
    }
}

FromFloatLoop fromFloatLoop(ASIOSampleType type)
{
    if (const FromFloat write = fromFloatWriter(type))
        return write;
    switch (sampleWidth(type)) {
    case 2:
        return silenceOfWidth<2>;
    case 3:
        return silenceOfWidth<3>;
    case 4:
        return silenceOfWidth<4>;
    case 8:
        return silenceOfWidth<8>;
    default:
        return leaveUntouched;
    }
}

void convertToFloat(float* destination, const void* source, ASIOSampleType type, long frames)
{
    if (frames > 0)
        toFloatLoop(type)(destination, static_cast<const unsigned char*>(source), frames);
}

bool convertsSampleType(ASIOSampleType type)
{
    return fromFloatWriter(type) != nullptr;
}

void convertFromFloat(const float* source, void* destination, ASIOSampleType type, long frames)
{
    if (frames > 0)
        fromFloatLoop(type)(static_cast<unsigned char*>(destination), source, frames);
}
