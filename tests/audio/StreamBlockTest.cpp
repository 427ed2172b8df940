// The per-block work on plain memory: inputs converted before the render function sees
// them, its outputs converted after, every channel with its own format; and the float
// arrays' storage.
#include "audio/StreamBlock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::int32_t kFrames = 8;

struct Recorded {
    int calls = 0;
    std::int32_t position = 0;
    std::int32_t inputs = -1, outputs = -1, frames = -1;
    float seenInput[2][kFrames] = {};
    void* owner = nullptr;
};

Recorded* recorded;

// Records its inputs and writes output j as input j times (j + 1) (1.0 when no input).
std::int32_t recordingRender(float** in, float** out, std::int32_t inputs, std::int32_t outputs,
                             std::int32_t frames, std::int32_t position, void* owner)
{
    recorded->calls++;
    recorded->position = position;
    recorded->inputs = inputs;
    recorded->outputs = outputs;
    recorded->frames = frames;
    recorded->owner = owner;
    for (std::int32_t i = 0; i < inputs && i < 2; ++i)
        std::memcpy(recorded->seenInput[i], in[i], sizeof(float) * kFrames);
    for (std::int32_t j = 0; j < outputs; ++j)
        for (std::int32_t f = 0; f < frames; ++f)
            out[j][f] = (j < inputs ? in[j][f] : 0.25f) * static_cast<float>(j + 1) * 0.5f;
    return 0;
}

// Driver-side double buffers for 2 inputs and 2 outputs in the given formats.
struct DriverSide {
    std::vector<std::vector<unsigned char>> memory;
    ASIOBufferInfo infos[4] = {};
    ASIOChannelInfo channels[4] = {};
    explicit DriverSide(const ASIOSampleType (&types)[4])
    {
        for (int k = 0; k < 4; ++k) {
            memory.emplace_back(2 * kFrames * 8, 0xEE);
            infos[k] = ASIOBufferInfo{k < 2, k % 2, {memory[k].data(), memory[k].data() + kFrames * 8}};
            channels[k].channel = k % 2;
            channels[k].isInput = k < 2;
            channels[k].type = types[k];
        }
    }
};

class StreamBlockProcess : public testing::Test {
protected:
    void SetUp() override { recorded = &log; }
    Recorded log;
};

TEST_F(StreamBlockProcess, ConvertsInRendersAndConvertsOutPerChannelFormat)
{
    const ASIOSampleType types[4] = {ASIOSTInt16LSB, ASIOSTFloat32LSB, ASIOSTInt32LSB,
                                     ASIOSTFloat32LSB};
    DriverSide driver(types);
    // Input 0 (Int16) half 1: 0x4000 = 0.5; input 1 (Float32) half 1: 0.75.
    for (int f = 0; f < kFrames; ++f) {
        driver.memory[0][kFrames * 8 + 2 * f] = 0x00;
        driver.memory[0][kFrames * 8 + 2 * f + 1] = 0x40;
        const float v = 0.75f;
        std::memcpy(&driver.memory[1][kFrames * 8 + 4 * f], &v, 4);
    }
    CChannelArrays arrays;
    float* in[kMaxInputChannels] = {};
    float* out[kMaxOutputChannels] = {};
    ASSERT_TRUE(arrays.allocate(2, 2, kFrames, in, out));
    int owner = 0;
    ChannelLoops loops[4];
    chooseChannelLoops(driver.channels, 4, loops);
    const StreamBlock block{driver.infos, loops, in, out, 2, 2, kFrames, recordingRender, &owner};
    processStreamBlock(block, 1, -kFrames);

    ASSERT_EQ(log.calls, 1);
    EXPECT_EQ(log.position, -kFrames);
    EXPECT_EQ(log.inputs, 2);
    EXPECT_EQ(log.outputs, 2);
    EXPECT_EQ(log.frames, kFrames);
    EXPECT_EQ(log.owner, &owner);
    EXPECT_EQ(log.seenInput[0][kFrames - 1], 0.5f);
    EXPECT_EQ(log.seenInput[1][0], 0.75f);
    // Output 0 (Int32): 0.5 * 0.5 = 0.25 → 0x1FFFFFFF; output 1 (Float32): 0.75 * 1.0.
    std::int32_t word;
    std::memcpy(&word, &driver.memory[2][kFrames * 8], 4);
    EXPECT_EQ(word, 536870911);
    float f;
    std::memcpy(&f, &driver.memory[3][kFrames * 8 + 4 * (kFrames - 1)], 4);
    EXPECT_EQ(f, 0.75f);
    // Half 0 is not touched.
    EXPECT_EQ(driver.memory[2][0], 0xEE);
    EXPECT_EQ(driver.memory[3][4 * kFrames - 1], 0xEE);
}

TEST_F(StreamBlockProcess, WithoutRenderFunctionTheArraysAreConvertedAsTheyAre)
{
    const ASIOSampleType types[4] = {ASIOSTInt16LSB, ASIOSTInt16LSB, ASIOSTInt16LSB,
                                     ASIOSTInt16LSB};
    DriverSide driver(types);
    CChannelArrays arrays;
    float* in[kMaxInputChannels] = {};
    float* out[kMaxOutputChannels] = {};
    ASSERT_TRUE(arrays.allocate(2, 2, kFrames, in, out));
    ChannelLoops loops[4];
    chooseChannelLoops(driver.channels, 4, loops);
    const StreamBlock block{driver.infos, loops, in, out, 2, 2, kFrames, nullptr, nullptr};
    processStreamBlock(block, 0, 0);
    EXPECT_EQ(log.calls, 0);
    for (int k = 2; k < 4; ++k)
        for (int b = 0; b < 2 * kFrames; ++b)
            ASSERT_EQ(driver.memory[k][b], 0) << k;  // zeroed floats give silence
}

TEST(StreamBlockArrays, AllocationIsZeroedAndReleaseClearsThePointers)
{
    CChannelArrays arrays;
    float* in[kMaxInputChannels] = {};
    float* out[kMaxOutputChannels] = {};
    ASSERT_TRUE(arrays.allocate(3, 4, 64, in, out));
    for (int c = 0; c < 3; ++c)
        for (int f = 0; f < 64; ++f)
            ASSERT_EQ(in[c][f], 0.0f);
    for (int c = 0; c < 4; ++c) {
        ASSERT_NE(out[c], nullptr);
        for (int f = 0; f < 64; ++f)
            ASSERT_EQ(out[c][f], 0.0f);
        out[c][63] = 1.0f;  // the arrays do not overlap: writing the last frame of each...
    }
    EXPECT_EQ(out[0][63], 1.0f);
    EXPECT_EQ(in[2][63], 0.0f);  // ...leaves the neighbours alone
    EXPECT_EQ(in[3], nullptr);
    EXPECT_EQ(out[4], nullptr);
    ASSERT_TRUE(arrays.allocate(1, 1, 16, in, out));  // a new open starts clean again
    EXPECT_EQ(in[1], nullptr);
    EXPECT_EQ(out[1], nullptr);
    EXPECT_EQ(out[0][15], 0.0f);
    arrays.release(in, out);
    EXPECT_EQ(in[0], nullptr);
    EXPECT_EQ(out[0], nullptr);
}

TEST(StreamBlockArrays, RefusesNonsenseSizes)
{
    CChannelArrays arrays;
    float* in[kMaxInputChannels] = {};
    float* out[kMaxOutputChannels] = {};
    EXPECT_FALSE(arrays.allocate(2, 2, 0, in, out));
    EXPECT_FALSE(arrays.allocate(-1, 2, 16, in, out));
    EXPECT_EQ(out[0], nullptr);
}

}  // namespace
