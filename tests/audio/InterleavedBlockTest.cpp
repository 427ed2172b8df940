// The interleaved block on plain memory: every device format takes the two played outputs in
// its first channels and silence in the others, through the output stage.
#include "audio/InterleavedBlock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::int32_t kMaxFrames = 16;

// Left 0.5, right -0.25 (before the output stage), for every frame.
std::int32_t constantRender(float**, float** out, std::int32_t inputs, std::int32_t outputs,
                            std::int32_t frames, std::int32_t, void* owner)
{
    ++*static_cast<int*>(owner);
    EXPECT_EQ(inputs, 0);
    EXPECT_EQ(outputs, 2);
    for (std::int32_t f = 0; f < frames; ++f) {
        out[0][f] = 0.5f;
        out[1][f] = -0.25f;
    }
    return 0;
}

// The sample at `channel` of `frame` as a float of full scale 1.
double SampleAt(const std::vector<unsigned char>& device, const InterleavedFormat& format,
                std::int32_t frame, std::int32_t channel)
{
    const unsigned char* p = device.data() + (frame * format.channels + channel) * format.bytesPerSample;
    switch (format.sampleType) {
    case ASIOSTFloat32LSB: {
        float value;
        std::memcpy(&value, p, sizeof value);
        return value;
    }
    case ASIOSTInt16LSB: return static_cast<std::int16_t>(p[0] | p[1] << 8) / 32767.0;
    case ASIOSTInt24LSB:
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) /
               2147483647.0;
    default:
        return static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24) /
               2147483647.0;
    }
}

TEST(InterleavedFormat, WidthsAndKindsTheLoopsWrite)
{
    struct Case {
        std::int32_t bits;
        bool isFloat;
        ASIOSampleType type;
        bool written;
    };
    const Case cases[] = {{32, true, ASIOSTFloat32LSB, true}, {16, false, ASIOSTInt16LSB, true},
                          {24, false, ASIOSTInt24LSB, true},  {32, false, ASIOSTInt32LSB, true},
                          {64, true, 0, false},               {8, false, 0, false},
                          {16, true, 0, false}};
    for (const Case& c : cases) {
        const InterleavedFormat format = interleavedFormat(2, c.bits, c.isFloat);
        EXPECT_EQ(writesInterleaved(format), c.written) << c.bits << c.isFloat;
        if (c.written) {
            EXPECT_EQ(format.sampleType, c.type);
            EXPECT_EQ(format.bytesPerSample, c.bits / 8);
        }
    }
    EXPECT_FALSE(writesInterleaved(interleavedFormat(0, 32, true)));
}

TEST(InterleavedBlock, PlayedOutputsFillTheFirstChannelsAndTheRestIsSilent)
{
    for (const std::int32_t channels : {1, 2, 6}) {
        for (const auto& [bits, isFloat] : {std::pair{32, true}, {16, false}, {24, false}, {32, false}}) {
            const InterleavedFormat format = interleavedFormat(channels, bits, isFloat);
            std::vector<float> floats(2 * kMaxFrames);
            std::vector<unsigned char> scratch(kMaxFrames * 4);
            std::vector<unsigned char> device(kMaxFrames * channels * format.bytesPerSample, 0x55);
            int calls = 0;
            const InterleavedBlock block{format, fromFloatLoop(format.sampleType),
                                         {floats.data(), floats.data() + kMaxFrames},
                                         scratch.data(), kMaxFrames, &constantRender, &calls};
            const std::int32_t frames = 5;
            renderInterleavedBlock(block, device.data(), frames, 0);
            EXPECT_EQ(calls, 1);
            const double expected[] = {0.5 * kOutputGain, -0.25 * kOutputGain};
            for (std::int32_t f = 0; f < frames; ++f)
                for (std::int32_t c = 0; c < channels; ++c)
                    EXPECT_NEAR(SampleAt(device, format, f, c), c < 2 ? expected[c] : 0.0, 1e-4)
                        << bits << (isFloat ? " float, " : " int, ") << channels << " channels, frame "
                        << f << ", channel " << c;
            // Frames past the block are left alone.
            EXPECT_EQ(device[frames * channels * format.bytesPerSample], 0x55);
        }
    }
}

TEST(InterleavedBlock, ABlockLargerThanTheArraysIsCutAndAnEmptyOneRendersNothing)
{
    const InterleavedFormat format = interleavedFormat(2, 32, true);
    std::vector<float> floats(2 * kMaxFrames);
    std::vector<unsigned char> scratch(kMaxFrames * 4);
    std::vector<unsigned char> device((kMaxFrames + 4) * 8, 0x55);
    int calls = 0;
    const InterleavedBlock block{format, fromFloatLoop(format.sampleType),
                                 {floats.data(), floats.data() + kMaxFrames}, scratch.data(),
                                 kMaxFrames, &constantRender, &calls};
    renderInterleavedBlock(block, device.data(), 0, 0);
    EXPECT_EQ(calls, 0);
    renderInterleavedBlock(block, device.data(), kMaxFrames + 4, 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(device[kMaxFrames * 8], 0x55);
}

}  // namespace
