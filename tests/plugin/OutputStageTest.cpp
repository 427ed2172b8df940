#include "plugin/OutputStage.h"

#include <gtest/gtest.h>

#include <cmath>
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
