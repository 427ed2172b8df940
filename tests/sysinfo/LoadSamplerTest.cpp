#include "sysinfo/LoadSampler.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <limits>

using namespace sysinfo;

namespace {
constexpr std::int64_t kSecond = 10000000; // in 100 ns units
}

struct LoadCase {
    const char* what;
    std::int64_t previousValue, value, previousTime, time;
    std::int32_t expected;
};

// Names the case in test listings.
void PrintTo(const LoadCase& c, std::ostream* os)
{
    *os << c.what;
}

class LoadPercentTest : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadPercentTest, Computes)
{
    const LoadCase& c = GetParam();
    EXPECT_EQ(LoadPercent(c.previousValue, c.value, c.previousTime, c.time), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadPercentTest,
    testing::Values(
        LoadCase{"idle", 500, 500, 0, kSecond, 0},
        LoadCase{"37 percent", 0, 37 * kSecond / 100, 0, kSecond, 37},
        LoadCase{"truncated toward zero", 0, 379 * kSecond / 1000, 0, kSecond, 37},
        LoadCase{"one processor busy", 10, 10 + kSecond, 5, 5 + kSecond, 100},
        LoadCase{"two processors busy", 0, 2 * kSecond, 0, kSecond, 200},
        LoadCase{"counter went backwards", 2 * kSecond, kSecond, 0, kSecond, 0},
        LoadCase{"equal times, busy", 0, kSecond, kSecond, kSecond, 0},
        LoadCase{"equal times, idle", 7, 7, kSecond, kSecond, 0},
        LoadCase{"time went backwards", 0, kSecond, kSecond, 0, 0},
        LoadCase{"low 32 bits of a huge load", 0, (std::int64_t{1} << 32) + 5, 0, 100, 5},
        LoadCase{"beyond 64 bits", 0, std::numeric_limits<std::int64_t>::max(), 0, 1, 0},
        LoadCase{"missing instance after a value", kSecond, -1, 0, kSecond, 0},
        LoadCase{"value after a missing instance", -1, kSecond / 2 - 1, 0, kSecond, 50}));

TEST(LoadSampler, FirstSampleOnlyRecords)
{
    CLoadSampler sampler;
    EXPECT_TRUE(sampler.IsFirstSample());
    EXPECT_EQ(sampler.Sample(LoadSource::PerfData, 5 * kSecond, 100 * kSecond), 0);
    EXPECT_FALSE(sampler.IsFirstSample());
    EXPECT_EQ(sampler.Sample(LoadSource::PerfData, 5 * kSecond + kSecond / 4, 101 * kSecond), 25);
}

TEST(LoadSampler, EachSampleMeasuresAgainstThePreviousOne)
{
    CLoadSampler sampler;
    sampler.Sample(LoadSource::ProcessTimes, 0, 0);
    EXPECT_EQ(sampler.Sample(LoadSource::ProcessTimes, kSecond / 2, kSecond), 50);
    EXPECT_EQ(sampler.Sample(LoadSource::ProcessTimes, kSecond / 2, 2 * kSecond), 0);
    EXPECT_EQ(sampler.Sample(LoadSource::ProcessTimes, kSecond / 2, 2 * kSecond), 0);
    EXPECT_EQ(sampler.Sample(LoadSource::ProcessTimes, 2 * kSecond + kSecond / 2, 3 * kSecond), 200);
}

// Readings from the performance data and from the process's own clocks use different
// origins: when the source changes the sample starts afresh instead of mixing them.
TEST(LoadSampler, ChangeOfSourceStartsAfresh)
{
    CLoadSampler sampler;
    sampler.Sample(LoadSource::PerfData, 900 * kSecond, 5000 * kSecond);
    EXPECT_EQ(sampler.Sample(LoadSource::ProcessTimes, kSecond, 2 * kSecond), 0);
    EXPECT_EQ(sampler.Sample(LoadSource::ProcessTimes, kSecond + kSecond / 10, 3 * kSecond), 10);
}
