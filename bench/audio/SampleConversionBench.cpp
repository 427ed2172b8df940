// Cost of converting one channel's half-buffer in each direction, beside a plain memcpy of the
// same bytes. Prints the usual benchmark table, then ns per frame and the ratio to memcpy.

#include "audio/SampleConversion.h"

#include "common/TimingReporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
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

// Keeps each run's time per iteration so the summary can set every conversion against the
// memcpy of its own format and size.
void printSummary(const TimingReporter& reporter)
{
    std::printf("\n%-11s %-10s %6s %12s %12s %9s\n", "format", "direction", "frames", "ns/frame",
                "memcpy ns/fr", "x memcpy");
    for (const char* format : kFormatNames) {
        for (long frames : {64L, 512L, 2048L}) {
            const std::string size = "/" + std::to_string(frames);
            const auto copy = reporter.nsPerIteration.find(std::string("memcpy/") + format + size);
            if (copy == reporter.nsPerIteration.end())
                continue;
            for (const char* direction : {"fromFloat", "toFloat"}) {
                const auto it = reporter.nsPerIteration.find(std::string(direction) + "/" + format + size);
                if (it == reporter.nsPerIteration.end())
                    continue;
                std::printf("%-11s %-10s %6ld %12.3f %12.3f %9.2f\n", format, direction, frames,
                            it->second / frames, copy->second / frames, it->second / copy->second);
            }
        }
    }
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
