#include "audio/OutputStage.h"

#include "base/DenormalGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

struct StageCase {
    float in;
    float out;
};

}  // namespace

TEST(OutputStage, ScalesByNineTenthsAndLimitsToUnity)
{
    const std::vector<StageCase> cases = {
        {0.0f, 0.0f},    {0.5f, 0.45f},  {-0.5f, -0.45f}, {1.0f, 0.9f},
        {1.1f, 0.99f},   {1.2f, 1.0f},   {-1.5f, -1.0f},  {100.0f, 1.0f},
        {-1.1f, -0.99f}, {std::numeric_limits<float>::max(), 1.0f},
        {-std::numeric_limits<float>::max(), -1.0f},
    };
    std::vector<float> samples;
    for (const auto& c : cases)
        samples.push_back(c.in);
    ScaleAndLimit(samples.data(), static_cast<std::int32_t>(samples.size()));
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(samples[i], cases[i].out) << "input " << cases[i].in;
}

// A blown-up filter is silenced, never played at full scale.
TEST(OutputStage, NonFiniteSamplesBecomeSilence)
{
    std::vector<float> samples = {std::numeric_limits<float>::quiet_NaN(), 0.5f,
                                  -std::numeric_limits<float>::quiet_NaN(), kInf, -kInf,
                                  std::numeric_limits<float>::signaling_NaN()};
    ScaleAndLimit(samples.data(), static_cast<std::int32_t>(samples.size()));
    EXPECT_EQ(samples, (std::vector<float>{0.0f, 0.45f, 0.0f, 0.0f, 0.0f, 0.0f}));
}

TEST(OutputStage, TouchesOnlyTheBlock)
{
    std::vector<float> samples = {2.0f, 2.0f, 2.0f};
    ScaleAndLimit(samples.data(), 2);
    EXPECT_EQ(samples[1], 1.0f);
    EXPECT_EQ(samples[2], 2.0f);
    ScaleAndLimit(samples.data(), 0);
    EXPECT_EQ(samples[0], 1.0f);
}

// Each vector loop this processor runs against the per-sample definition: every 65537th bit
// pattern and the values around the limits, zero and the smallest result the vector arithmetic
// takes as exact, in one call and in blocks of lengths that end inside and between its groups
// of 4, 8 and 16, with and without denormals flushed (the render flushes them).
TEST(OutputStage, VectorLoopsGiveTheReferenceResult)
{
    std::vector<float> input;
    for (std::uint64_t bits = 0; bits < (1ull << 32); bits += 65537) {
        const auto u = static_cast<std::uint32_t>(bits);
        float f;
        std::memcpy(&f, &u, sizeof f);
        input.push_back(f);
    }
    for (float edge : {1.0f, 1.1111112f, 0x1p-122f, std::numeric_limits<float>::min(),
                       std::numeric_limits<float>::denorm_min(), kInf, 0.0f}) {
        for (float v : {edge, std::nextafter(edge, 0.0f), std::nextafter(edge, kInf)})
            input.insert(input.end(), {v, -v});
    }
    const auto frames = static_cast<std::int32_t>(input.size());
    ASSERT_GE(OutputStageLoopCount(), 1);
    for (bool flush : {false, true}) {
        const auto inMode = [flush](auto run) {
            if (flush) {
                const CDenormalGuard guard;
                run();
            } else {
                run();
            }
        };
        std::vector<float> expected = input;
        inMode([&] { ScaleAndLimitReference(expected.data(), frames); });
        for (int loop = 0; loop < OutputStageLoopCount(); ++loop) {
            const OutputStageLoop& stage = OutputStageLoopAt(loop);
            for (std::int32_t block : {frames, 1, 3, 4, 5, 7, 8, 9, 12, 15, 16, 17, 23, 24, 33}) {
                std::vector<float> samples(input.size() + 1);
                std::copy(input.begin(), input.end(), samples.begin() + 1);
                inMode([&] {
                    for (std::int32_t done = 0; done < frames; done += block)
                        stage.run(samples.data() + 1 + done, std::min(block, frames - done));
                });
                ASSERT_EQ(std::memcmp(samples.data() + 1, expected.data(),
                                      expected.size() * sizeof(float)),
                          0)
                    << stage.name << " in blocks of " << block
                    << (flush ? ", denormals flushed" : "");
            }
        }
    }
}
