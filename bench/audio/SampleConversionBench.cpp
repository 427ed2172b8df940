// Cost of converting one channel's half-buffer in each direction, beside a plain memcpy of the
// same bytes. Prints the usual benchmark table, then ns per sample and the ratio to memcpy for
// every format, direction and block size, and a line per integer conversion on its goal.

#include "audio/SampleConversion.h"

#include "common/TimingReporter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr long kMaxFrames = 2048;
const ASIOSampleType kFormats[] = {ASIOSTInt16LSB, ASIOSTInt24LSB, ASIOSTInt32LSB, ASIOSTFloat32LSB};
const char* const kFormatNames[] = {"Int16LSB", "Int24LSB", "Int32LSB", "Float32LSB"};

struct Buffers {
    std::vector<float> floats = std::vector<float>(kMaxFrames);
    std::vector<unsigned char> driver = std::vector<unsigned char>(kMaxFrames * 4);
    std::vector<unsigned char> copy = std::vector<unsigned char>(kMaxFrames * 4);
    Buffers()
    {
        for (long i = 0; i < kMaxFrames; ++i)
            floats[i] = 0.8f * std::sin(0.01f * static_cast<float>(i));
        convertFromFloat(floats.data(), driver.data(), ASIOSTInt32LSB, kMaxFrames);
    }
};

Buffers& buffers()
{
    static Buffers b;
    return b;
}

void BM_FromFloat(benchmark::State& state, ASIOSampleType type)
{
    auto& b = buffers();
    const long frames = state.range(0);
    for (auto _ : state) {
        convertFromFloat(b.floats.data(), b.driver.data(), type, frames);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_ToFloat(benchmark::State& state, ASIOSampleType type)
{
    auto& b = buffers();
    const long frames = state.range(0);
    for (auto _ : state) {
        convertToFloat(b.floats.data(), b.driver.data(), type, frames);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

// The same number of driver bytes as the format moves, copied as they are.
void BM_Memcpy(benchmark::State& state, ASIOSampleType type)
{
    auto& b = buffers();
    const auto bytes = static_cast<size_t>(state.range(0) * sampleWidth(type));
    for (auto _ : state) {
        std::memcpy(b.copy.data(), b.driver.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What each conversion should cost at most, per sample of one channel.
constexpr double kGoalNsPerSample = 0.3;

// Every conversion per sample beside the memcpy of its own format and size, then one line per
// integer conversion on the goal, judged by its slowest block size.
void printSummary(const TimingReporter& reporter)
{
    std::printf("\n%-11s %-10s %6s %12s %12s %9s\n", "format", "direction", "frames", "ns/sample",
                "memcpy ns/s", "x memcpy");
    std::vector<std::pair<std::string, double>> slowest;
    for (const char* format : kFormatNames) {
        for (const char* direction : {"fromFloat", "toFloat"}) {
            double worst = -1.0;
            for (long frames : {64L, 512L, 2048L}) {
                const std::string size = "/" + std::to_string(frames);
                const double copy = reporter.ns(std::string("memcpy/") + format + size);
                const double conversion = reporter.ns(std::string(direction) + "/" + format + size);
                if (copy < 0.0 || conversion < 0.0)
                    continue;
                std::printf("%-11s %-10s %6ld %12.3f %12.3f %9.2f\n", format, direction, frames,
                            conversion / frames, copy / frames, conversion / copy);
                worst = std::max(worst, conversion / frames);
            }
            const bool isInteger = std::strcmp(format, "Float32LSB") != 0;
            if (worst >= 0.0 && isInteger) {
                const bool out = std::strcmp(direction, "fromFloat") == 0;
                slowest.emplace_back(out ? std::string("float -> ") + format
                                         : std::string(format) + " -> float",
                                     worst);
            }
        }
    }
    std::printf("\n");
    for (const auto& [name, ns] : slowest)
        std::printf("goal: %s at most %.2f ns per sample: %.3f, %s\n", name.c_str(),
                    kGoalNsPerSample, ns, ns <= kGoalNsPerSample ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv)
{
    for (size_t i = 0; i < 4; ++i) {
        const std::string name = kFormatNames[i];
        for (auto* bm : {benchmark::RegisterBenchmark(("fromFloat/" + name).c_str(), BM_FromFloat, kFormats[i]),
                         benchmark::RegisterBenchmark(("toFloat/" + name).c_str(), BM_ToFloat, kFormats[i]),
                         benchmark::RegisterBenchmark(("memcpy/" + name).c_str(), BM_Memcpy, kFormats[i])})
            bm->Arg(64)->Arg(512)->Arg(2048);
    }
    benchmark::Initialize(&argc, argv);
    TimingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
