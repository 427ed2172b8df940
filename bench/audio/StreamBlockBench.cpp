// The stream's own cost per block: 2 inputs converted to floats, an empty render function,
// 2 outputs converted back, and one call standing in for the driver's outputReady. Printed
// as ns per block and as the share of the block's period at 96 kHz.

#include "audio/StreamBlock.h"

#include "common/TimingReporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t kMaxFrames = 2048;
constexpr int kChannels = 4;  // 2 in, 2 out
constexpr double kRate = 96000.0;
constexpr int kMaxSampleBytes = 8;

struct Format {
    ASIOSampleType type;
    const char* name;
};
const Format kFormats[] = {{ASIOSTInt16LSB, "Int16LSB"},     {ASIOSTInt24LSB, "Int24LSB"},
                           {ASIOSTInt32LSB, "Int32LSB"},     {ASIOSTFloat32LSB, "Float32LSB"},
                           {ASIOSTInt32MSB, "Int32MSB"},     {ASIOSTFloat64LSB, "Float64LSB"}};
const std::int32_t kSizes[] = {64, 256, 2048};

std::int32_t emptyRender(float**, float**, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                         void*)
{
    return 0;
}

ASIOError outputReadyStandIn()
{
    return ASE_OK;
}
ASIOError (*volatile outputReady)() = outputReadyStandIn;

void BM_StreamBlock(benchmark::State& state, ASIOSampleType type)
{
    const auto frames = static_cast<std::int32_t>(state.range(0));
    std::vector<unsigned char> driver(kChannels * 2 * kMaxFrames * kMaxSampleBytes);
    for (std::size_t i = 0; i < driver.size(); ++i)
        driver[i] = static_cast<unsigned char>(std::lround(100.0 * std::sin(0.01 * i)));
    ASIOBufferInfo infos[kChannels];
    ASIOChannelInfo channels[kChannels] = {};
    for (int k = 0; k < kChannels; ++k) {
        unsigned char* base = driver.data() + k * 2 * kMaxFrames * kMaxSampleBytes;
        infos[k] = ASIOBufferInfo{k < 2, k % 2, {base, base + kMaxFrames * kMaxSampleBytes}};
        channels[k].type = type;
    }
    CChannelArrays arrays;
    float* in[kMaxInputChannels] = {};
    float* out[kMaxOutputChannels] = {};
    arrays.allocate(2, 2, frames, in, out);
    const StreamBlock block{infos, channels, in, out, 2, 2, frames, emptyRender, nullptr};
    AsioLong index = 0;
    std::int32_t position = -frames;
    for (auto _ : state) {
        processStreamBlock(block, index, position);
        outputReady();
        index ^= 1;
        position += frames;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void printSummary(const TimingReporter& reporter)
{
    std::printf("\n2 in / 2 out, empty render; period at %.0f Hz\n", kRate);
    std::printf("%-11s %6s %12s %12s %10s\n", "format", "frames", "ns/block", "period ns",
                "% period");
    for (const Format& format : kFormats) {
        for (std::int32_t frames : kSizes) {
            const auto it = reporter.nsPerIteration.find(std::string("streamBlock/") + format.name
                                                     + "/" + std::to_string(frames));
            if (it == reporter.nsPerIteration.end())
                continue;
            const double period = frames / kRate * 1e9;
            std::printf("%-11s %6d %12.1f %12.0f %9.4f%%\n", format.name, frames, it->second,
                        period, 100.0 * it->second / period);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    for (const Format& format : kFormats) {
        auto* bm = benchmark::RegisterBenchmark((std::string("streamBlock/") + format.name).c_str(),
                                                BM_StreamBlock, format.type);
        for (std::int32_t frames : kSizes)
            bm->Arg(frames);
    }
    benchmark::Initialize(&argc, argv);
    TimingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
