#include "audio/SampleConversion.h"

#include <cstdint>
#include <cstring>

namespace {

// Reads assemble little-endian bytes explicitly, so the code does not depend on the host's
// byte order or on the alignment of the driver's buffers.

void int16ToFloat(float* out, const unsigned char* in, long frames)
{
    const float scale = 1.0f / 32768.0f;
    for (long i = 0; i < frames; ++i, in += 2) {
        const auto v = static_cast<std::int16_t>(in[0] | (in[1] << 8));
        out[i] = static_cast<float>(v) * scale;
    }
}

void int24ToFloat(float* out, const unsigned char* in, long frames)
{
    // The three bytes fill the top of a 32-bit word; the word is exact in a float (24
    // significant bits), and both factors are powers of two, so the result is v / 2^23.
    const float scale = (1.0f / 8388608.0f) * (1.0f / 256.0f);
    for (long i = 0; i < frames; ++i, in += 3) {
        const std::uint32_t word = (std::uint32_t(in[2]) << 24) | (std::uint32_t(in[1]) << 16)
                                   | (std::uint32_t(in[0]) << 8);
        out[i] = static_cast<float>(static_cast<std::int32_t>(word)) * scale;
    }
}

void int32ToFloat(float* out, const unsigned char* in, long frames)
{
    const float scale = 1.0f / 2147483648.0f;
    for (long i = 0; i < frames; ++i, in += 4) {
        const std::uint32_t word = std::uint32_t(in[0]) | (std::uint32_t(in[1]) << 8)
                                   | (std::uint32_t(in[2]) << 16) | (std::uint32_t(in[3]) << 24);
        out[i] = static_cast<float>(static_cast<std::int32_t>(word)) * scale;
    }
}

// The sample widened to double and limited to [-1, 1]; NaN becomes 0. Within that range
// every scaled product fits a 32-bit integer, so truncating to 32 bits gives the same low
// bits as truncating to 64 bits, and stays a single instruction on 32-bit targets too.
inline double limitedSample(float x)
{
    double v = x;
    v = v > 1.0 ? 1.0 : v;
    v = v < -1.0 ? -1.0 : v;
    return v == v ? v : 0.0;
}

inline std::int32_t scaled(float x, double factor)
{
    return static_cast<std::int32_t>(limitedSample(x) * factor);
}

void floatToInt16(unsigned char* out, const float* in, long frames)
{
    const double factor = 32767.0 + 0.49999;
    for (long i = 0; i < frames; ++i, out += 2) {
        const auto v = static_cast<std::uint32_t>(scaled(in[i], factor));
        out[0] = static_cast<unsigned char>(v);
        out[1] = static_cast<unsigned char>(v >> 8);
    }
}

void floatToInt24(unsigned char* out, const float* in, long frames)
{
    const double factor = 8388607.0;
    for (long i = 0; i < frames; ++i, out += 3) {
        const auto v = static_cast<std::uint32_t>(scaled(in[i], factor));
        out[0] = static_cast<unsigned char>(v);
        out[1] = static_cast<unsigned char>(v >> 8);
        out[2] = static_cast<unsigned char>(v >> 16);
    }
}

void floatToInt32(unsigned char* out, const float* in, long frames)
{
    const double factor = 2147483647.0 + 0.49999;
    for (long i = 0; i < frames; ++i, out += 4) {
        const auto v = static_cast<std::uint32_t>(scaled(in[i], factor));
        out[0] = static_cast<unsigned char>(v);
        out[1] = static_cast<unsigned char>(v >> 8);
        out[2] = static_cast<unsigned char>(v >> 16);
        out[3] = static_cast<unsigned char>(v >> 24);
    }
}

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
        return floatToInt16;
    case ASIOSTInt24LSB:
        return floatToInt24;
    case ASIOSTInt32LSB:
        return floatToInt32;
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
        int16ToFloat(destination, in, frames);
        break;
    case ASIOSTInt24LSB:
        int24ToFloat(destination, in, frames);
        break;
    case ASIOSTInt32LSB:
        int32ToFloat(destination, in, frames);
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
