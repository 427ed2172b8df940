#include "audio/SampleConversion.h"
#include "audio/SampleConversionReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr unsigned char kGuard = 0xAA;

// Converts `in` to the given type into a buffer pre-filled with guard bytes and one spare
// sample's worth of room, so overruns and untouched regions show.
std::vector<unsigned char> toDriver(const std::vector<float>& in, ASIOSampleType type, long frames)
{
    std::vector<unsigned char> out((in.size() + 1) * 8, kGuard);
    convertFromFloat(in.data(), out.data(), type, frames);
    return out;
}

std::vector<unsigned char> toDriver(const std::vector<float>& in, ASIOSampleType type)
{
    return toDriver(in, type, static_cast<long>(in.size()));
}

std::vector<float> toFloat(const std::vector<unsigned char>& in, ASIOSampleType type, long frames)
{
    std::vector<float> out(static_cast<size_t>(frames > 0 ? frames : 0) + 1, 123.0f);
    convertToFloat(out.data(), in.data(), type, frames);
    return out;
}

std::vector<unsigned char> bytes(std::initializer_list<int> list)
{
    std::vector<unsigned char> out;
    for (int b : list)
        out.push_back(static_cast<unsigned char>(b));
    return out;
}

std::vector<unsigned char> slice(const std::vector<unsigned char>& v, size_t from, size_t count)
{
    return {v.begin() + static_cast<long>(from), v.begin() + static_cast<long>(from + count)};
}

// Every 65537th float bit pattern (all signs, exponents and mantissa ends), then the values at
// the conversions' edges: zeros, the full scales and their neighbours on both sides, denormals,
// infinities and NaNs.
std::vector<float> sampledFloats()
{
    std::vector<float> out;
    for (std::uint64_t bits = 0; bits < (1ull << 32); bits += 65537) {
        const auto u = static_cast<std::uint32_t>(bits);
        float f;
        std::memcpy(&f, &u, sizeof f);
        out.push_back(f);
    }
    using limits = std::numeric_limits<float>;
    for (float edge : {1.0f, 0.5f, 2.0f, 0x1p-23f, 0x1p-31f, limits::min(), limits::denorm_min(),
                       limits::max(), limits::infinity(), limits::quiet_NaN(), 0.0f}) {
        for (float v : {edge, std::nextafter(edge, 0.0f), std::nextafter(edge, limits::infinity())})
            out.insert(out.end(), {v, -v});
    }
    return out;
}

// Converts `frames` samples in blocks of `block` frames, the way the stream calls in turns.
template <typename In, typename Out, typename Convert>
void inBlocks(const In* in, int inWidth, Out* out, int outWidth, long frames, long block,
              Convert convert)
{
    for (long done = 0; done < frames; done += block)
        convert(in + done * inWidth, out + done * outWidth, std::min(block, frames - done));
}

struct OutputCase {
    ASIOSampleType type;
    float sample;
    std::vector<unsigned char> expected;  // little-endian bytes
};

}  // namespace

TEST(SampleConversionOutput, IntegerFormatsScaleAndTruncateTowardZero)
{
    const std::vector<OutputCase> cases = {
        {ASIOSTInt16LSB, 1.0f, bytes({0xFF, 0x7F})},              // 32767
        {ASIOSTInt16LSB, -1.0f, bytes({0x01, 0x80})},             // -32767
        {ASIOSTInt16LSB, 0.5f, bytes({0xFF, 0x3F})},              // 16383
        {ASIOSTInt16LSB, -0.5f, bytes({0x01, 0xC0})},             // -16383
        {ASIOSTInt16LSB, 0.0f, bytes({0x00, 0x00})},
        {ASIOSTInt24LSB, 1.0f, bytes({0xFF, 0xFF, 0x7F})},        // 8388607
        {ASIOSTInt24LSB, -1.0f, bytes({0x01, 0x00, 0x80})},       // -8388607
        {ASIOSTInt24LSB, 0.5f, bytes({0xFF, 0xFF, 0x3F})},        // 4194303 (truncated .5)
        {ASIOSTInt24LSB, -0.5f, bytes({0x01, 0x00, 0xC0})},
        {ASIOSTInt24LSB, 0.0f, bytes({0x00, 0x00, 0x00})},
        {ASIOSTInt32LSB, 1.0f, bytes({0xFF, 0xFF, 0xFF, 0x7F})},  // 2147483647
        {ASIOSTInt32LSB, -1.0f, bytes({0x01, 0x00, 0x00, 0x80})}, // -2147483647
        {ASIOSTInt32LSB, 0.5f, bytes({0xFF, 0xFF, 0xFF, 0x3F})},  // 1073741823
        {ASIOSTInt32LSB, -0.5f, bytes({0x01, 0x00, 0x00, 0xC0})},
        {ASIOSTInt32LSB, 0.0f, bytes({0x00, 0x00, 0x00, 0x00})},
    };
    for (const auto& c : cases) {
        const auto out = toDriver({c.sample}, c.type);
        EXPECT_EQ(slice(out, 0, c.expected.size()), c.expected)
            << "type " << c.type << " sample " << c.sample;
        EXPECT_EQ(out[c.expected.size()], kGuard) << "type " << c.type << " wrote past one sample";
    }
}

TEST(SampleConversionOutput, FramesAreWrittenInOrderAtTheFormatsStride)
{
    const std::vector<float> in = {0.0f, 1.0f, -1.0f, 0.5f};
    const auto out24 = toDriver(in, ASIOSTInt24LSB);
    EXPECT_EQ(slice(out24, 0, 12), bytes({0, 0, 0, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x80, 0xFF, 0xFF, 0x3F}));
    EXPECT_EQ(out24[12], kGuard);

    const auto out16 = toDriver(in, ASIOSTInt16LSB);
    EXPECT_EQ(slice(out16, 0, 8), bytes({0, 0, 0xFF, 0x7F, 0x01, 0x80, 0xFF, 0x3F}));
    EXPECT_EQ(out16[8], kGuard);
}

TEST(SampleConversionOutput, OutOfRangeSamplesClipToFullScaleAndNaNIsSilent)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto out16 = toDriver({1.5f, -3.0f, inf, -inf, nan}, ASIOSTInt16LSB);
    EXPECT_EQ(slice(out16, 0, 10), bytes({0xFF, 0x7F, 0x01, 0x80, 0xFF, 0x7F, 0x01, 0x80, 0, 0}));

    const auto out24 = toDriver({1.01f, -1.01f, nan}, ASIOSTInt24LSB);
    EXPECT_EQ(slice(out24, 0, 9), bytes({0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x80, 0, 0, 0}));

    const auto out32 = toDriver({2.0f, -2.0f, nan}, ASIOSTInt32LSB);
    EXPECT_EQ(slice(out32, 0, 12), bytes({0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0x80, 0, 0, 0, 0}));
}

TEST(SampleConversionOutput, Float32IsCopiedBitForBit)
{
    const std::vector<float> in = {0.25f, -1.75f, std::numeric_limits<float>::quiet_NaN(), 1e-40f};
    const auto out = toDriver(in, ASIOSTFloat32LSB);
    EXPECT_EQ(std::memcmp(out.data(), in.data(), in.size() * sizeof(float)), 0);
    EXPECT_EQ(out[in.size() * sizeof(float)], kGuard);
}

TEST(SampleConversionOutput, FormatsOfKnownWidthGetExactlyThatManyZeroBytes)
{
    const struct { ASIOSampleType type; size_t width; } silent[] = {
        {ASIOSTInt16MSB, 2},   {ASIOSTInt24MSB, 3},   {ASIOSTInt32MSB, 4},   {ASIOSTFloat32MSB, 4},
        {ASIOSTInt32MSB16, 4}, {ASIOSTInt32MSB18, 4}, {ASIOSTInt32MSB20, 4}, {ASIOSTInt32MSB24, 4},
        {ASIOSTInt32LSB16, 4}, {ASIOSTInt32LSB18, 4}, {ASIOSTInt32LSB20, 4}, {ASIOSTInt32LSB24, 4},
        {ASIOSTFloat64MSB, 8}, {ASIOSTFloat64LSB, 8},
    };
    const std::vector<float> in = {0.5f, -0.5f, 1.0f};
    for (const auto& s : silent) {
        const auto out = toDriver(in, s.type);
        const size_t written = s.width * in.size();
        EXPECT_EQ(slice(out, 0, written), std::vector<unsigned char>(written, 0)) << "type " << s.type;
        EXPECT_EQ(out[written], kGuard) << "type " << s.type << " wrote past the block";
    }
}

TEST(SampleConversionOutput, FormatsOfUnknownWidthAreLeftUntouched)
{
    const std::vector<float> in = {0.5f, -0.5f};
    for (ASIOSampleType type : {5, 6, 7, 12, 13, 14, 15, 21, 22, 23, 28, 32, 33, 40, 1000, -1}) {
        const auto out = toDriver(in, type);
        EXPECT_EQ(out, std::vector<unsigned char>(out.size(), kGuard)) << "type " << type;
    }
}

TEST(SampleConversionInput, IntegerFormatsScaleByPowersOfTwo)
{
    const auto in16 = toFloat(bytes({0x00, 0x80, 0xFF, 0x7F, 0x00, 0x40, 0x01, 0x00}), ASIOSTInt16LSB, 4);
    EXPECT_EQ(in16[0], -1.0f);
    EXPECT_EQ(in16[1], 0.999969482421875f);
    EXPECT_EQ(in16[2], 0.5f);
    EXPECT_EQ(in16[3], std::ldexp(1.0f, -15));

    const auto in24 = toFloat(bytes({0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF}),
                              ASIOSTInt24LSB, 4);
    EXPECT_EQ(in24[0], -1.0f);
    EXPECT_EQ(in24[1], 8388607.0f / 8388608.0f);
    EXPECT_EQ(in24[2], std::ldexp(1.0f, -23));
    EXPECT_EQ(in24[3], -std::ldexp(1.0f, -23));

    const auto in32 = toFloat(bytes({0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 0x00}),
                              ASIOSTInt32LSB, 3);
    EXPECT_EQ(in32[0], -1.0f);
    EXPECT_EQ(in32[1], 0.5f);
    EXPECT_EQ(in32[2], std::ldexp(1.0f, -31));
    EXPECT_EQ(in32[3], 123.0f) << "read one frame too many";
}

TEST(SampleConversionInput, Float32IsCopiedAndOtherFormatsReadAsSilence)
{
    const float values[] = {0.125f, -7.5f};
    std::vector<unsigned char> raw(sizeof values);
    std::memcpy(raw.data(), values, sizeof values);
    const auto copied = toFloat(raw, ASIOSTFloat32LSB, 2);
    EXPECT_EQ(copied[0], 0.125f);
    EXPECT_EQ(copied[1], -7.5f);

    const std::vector<unsigned char> loud(64, 0x7F);
    for (ASIOSampleType type : {0, 1, 2, 3, 4, 5, 8, 11, 12, 15, 20, 21, 24, 27, 32, 99}) {
        const auto out = toFloat(loud, type, 4);
        EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 4), std::vector<float>(4, 0.0f)) << "type " << type;
        EXPECT_EQ(out[4], 123.0f) << "type " << type;
    }
}

TEST(SampleConversion, RoundTripsStayWithinOneStepAndNeverGainLevel)
{
    const struct { ASIOSampleType type; double step; } formats[] = {
        {ASIOSTInt16LSB, 1.0 / 32768}, {ASIOSTInt24LSB, 1.0 / 8388608}, {ASIOSTInt32LSB, 1.0 / 2147483648.0},
    };
    std::vector<float> in;
    for (int i = -1000; i <= 1000; ++i)
        in.push_back(static_cast<float>(i) / 1000.0f);
    for (const auto& f : formats) {
        std::vector<unsigned char> raw(in.size() * 4);
        std::vector<float> back(in.size());
        convertFromFloat(in.data(), raw.data(), f.type, static_cast<long>(in.size()));
        convertToFloat(back.data(), raw.data(), f.type, static_cast<long>(in.size()));
        for (size_t i = 0; i < in.size(); ++i) {
            const double error = std::fabs(double(back[i]) - double(in[i]));
            ASSERT_LE(error, 2 * f.step + 1e-7 * std::fabs(in[i])) << "type " << f.type << " at " << in[i];
            ASSERT_LE(std::fabs(back[i]), std::fabs(in[i]) + 1e-7f) << "type " << f.type << " at " << in[i];
        }
    }
    // A half read from the driver goes back one step lower: the output factor is smaller.
    const auto half = toFloat(bytes({0x00, 0x40}), ASIOSTInt16LSB, 1);
    EXPECT_EQ(slice(toDriver({half[0]}, ASIOSTInt16LSB), 0, 2), bytes({0xFF, 0x3F}));
}

TEST(SampleConversion, ZeroOrNegativeFrameCountsTouchNothing)
{
    for (long frames : {0L, -1L, -4096L}) {
        for (ASIOSampleType type : {ASIOSTInt16LSB, ASIOSTInt24LSB, ASIOSTInt32LSB, ASIOSTFloat32LSB,
                                    ASIOSTInt32MSB, ASIOSTFloat64LSB, 12}) {
            const auto out = toDriver({0.5f, 0.5f}, type, frames);
            EXPECT_EQ(out, std::vector<unsigned char>(out.size(), kGuard)) << "type " << type << " frames " << frames;
            const auto in = toFloat(std::vector<unsigned char>(16, 0x11), type, frames);
            EXPECT_EQ(in[0], 123.0f) << "type " << type << " frames " << frames;
        }
    }
}

TEST(SampleConversion, TheStreamUsesTheLastLoopSetTheProcessorRuns)
{
    ASSERT_GE(conversionLoopSetCount(), 1);
    EXPECT_EQ(&activeConversionLoops(), &conversionLoopSet(conversionLoopSetCount() - 1));
}

// Each vector loop set this processor runs against the per-sample definitions, in one call and
// in blocks of lengths that end inside and between their groups of 4, 8 and 16 frames, from
// buffers that are not 16-byte aligned.
TEST(SampleConversion, LoopsGiveTheReferenceResultInWholeAndSplitBlocks)
{
    const std::vector<float> floats = sampledFloats();
    const auto frames = static_cast<long>(floats.size());
    std::vector<unsigned char> driverBytes(static_cast<size_t>(frames) * 4 + 1);
    for (size_t i = 0; i < driverBytes.size(); ++i)
        driverBytes[i] = static_cast<unsigned char>((i * 2654435761u) >> 13);

    using ToInt = void (*)(unsigned char*, const float*, long);
    using ToFloat = void (*)(float*, const unsigned char*, long);
    using L = SampleConversionLoops;
    const struct {
        int width;
        ToInt toInt;
        ToFloat toFloat;
        ToInt L::*loopToInt;
        ToFloat L::*loopToFloat;
    } formats[] = {
        {2, reference::floatToInt16, reference::int16ToFloat, &L::floatToInt16, &L::int16ToFloat},
        {3, reference::floatToInt24, reference::int24ToFloat, &L::floatToInt24, &L::int24ToFloat},
        {4, reference::floatToInt32, reference::int32ToFloat, &L::floatToInt32, &L::int32ToFloat},
    };
    for (int set = 0; set < conversionLoopSetCount(); ++set) {
        const L& loops = conversionLoopSet(set);
        for (const auto& f : formats) {
            std::vector<unsigned char> expectedBytes(static_cast<size_t>(frames) * f.width);
            f.toInt(expectedBytes.data(), floats.data(), frames);
            std::vector<float> expectedFloats(static_cast<size_t>(frames));
            f.toFloat(expectedFloats.data(), driverBytes.data() + 1, frames);
            for (long block : {frames, 1L, 2L, 3L, 5L, 7L, 8L, 9L, 12L, 13L, 16L, 17L, 24L, 31L, 33L}) {
                std::vector<unsigned char> bytes(expectedBytes.size() + 1);
                inBlocks(floats.data(), 1, bytes.data() + 1, f.width, frames, block,
                         [&](const float* in, unsigned char* out, long n) { (loops.*f.loopToInt)(out, in, n); });
                ASSERT_EQ(std::memcmp(bytes.data() + 1, expectedBytes.data(), expectedBytes.size()), 0)
                    << loops.name << ": float -> " << f.width << " bytes in blocks of " << block;

                std::vector<float> back(static_cast<size_t>(frames) + 1);
                inBlocks(driverBytes.data() + 1, f.width, back.data() + 1, 1, frames, block,
                         [&](const unsigned char* in, float* out, long n) { (loops.*f.loopToFloat)(out, in, n); });
                ASSERT_EQ(std::memcmp(back.data() + 1, expectedFloats.data(), expectedFloats.size() * sizeof(float)), 0)
                    << loops.name << ": " << f.width << " bytes -> float in blocks of " << block;
            }
        }
    }
}
