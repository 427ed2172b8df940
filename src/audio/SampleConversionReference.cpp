#include "audio/SampleConversionReference.h"

#include <cstdint>

namespace {

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

}  // namespace

namespace reference {

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

}  // namespace reference
