#include "audio/SampleConversion.h"

#include "audio/SampleConversionReference.h"
#include "audio/SampleConversionSse2.h"

#include <cstring>

namespace {

#ifdef ZUMBREL_SAMPLE_CONVERSION_SSE2
namespace loops = sse2;
#else
namespace loops = reference;
#endif

void floatToFloat32(unsigned char* out, const float* in, long frames)
{
    std::memcpy(out, in, static_cast<std::size_t>(frames) * sizeof(float));
}

using FromFloat = void (*)(unsigned char* out, const float* in, long frames);

// The writer of each output type the stream converts; null for every other type.
FromFloat fromFloatWriter(ASIOSampleType type)
{
    switch (type) {
    case ASIOSTInt16LSB:
        return loops::floatToInt16;
    case ASIOSTInt24LSB:
        return loops::floatToInt24;
    case ASIOSTInt32LSB:
        return loops::floatToInt32;
    case ASIOSTFloat32LSB:
        return floatToFloat32;
    default:
        return nullptr;
    }
}

}  // namespace

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

void convertToFloat(float* destination, const void* source, ASIOSampleType type, long frames)
{
    if (frames <= 0)
        return;
    const auto* in = static_cast<const unsigned char*>(source);
    switch (type) {
    case ASIOSTInt16LSB:
        loops::int16ToFloat(destination, in, frames);
        break;
    case ASIOSTInt24LSB:
        loops::int24ToFloat(destination, in, frames);
        break;
    case ASIOSTInt32LSB:
        loops::int32ToFloat(destination, in, frames);
        break;
    case ASIOSTFloat32LSB:
        std::memcpy(destination, in, static_cast<std::size_t>(frames) * sizeof(float));
        break;
    default:
        std::memset(destination, 0, static_cast<std::size_t>(frames) * sizeof(float));
        break;
    }
}

bool convertsSampleType(ASIOSampleType type)
{
    return fromFloatWriter(type) != nullptr;
}

void convertFromFloat(const float* source, void* destination, ASIOSampleType type, long frames)
{
    if (frames <= 0)
        return;
    auto* out = static_cast<unsigned char*>(destination);
    if (const FromFloat write = fromFloatWriter(type)) {
        write(out, source, frames);
        return;
    }
    // Known widths get silence; unknown ones (width 0) keep the driver's contents.
    std::memset(out, 0,
                static_cast<std::size_t>(frames) * static_cast<std::size_t>(sampleWidth(type)));
}
