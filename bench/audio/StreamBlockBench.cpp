// The stream's own cost per block: 2 inputs converted to floats, an empty render function,
// 2 outputs converted back, and one call standing in for the driver's outputReady; and the
// same for a large card, 64 channels each way in Int24 at 64 frames. Printed as ns per block
// and as the share of the block's period at 96 kHz.

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
constexpr int kWideChannels = 64;  // each way, for the large card
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

// `each`: channels in and out.
void BM_StreamBlock(benchmark::State& state, ASIOSampleType type, int each)
{
    const auto frames = static_cast<std::int32_t>(state.range(0));
    const int channelCount = 2 * each;
    const std::size_t perChannel = 2 * kMaxFrames * kMaxSampleBytes;
    std::vector<unsigned char> driver(channelCount * perChannel);
    for (std::size_t i = 0; i < driver.size(); ++i)
        driver[i] = static_cast<unsigned char>(std::lround(100.0 * std::sin(0.01 * i)));
    std::vector<ASIOBufferInfo> infos(channelCount);
    std::vector<ASIOChannelInfo> channels(channelCount);
    for (int k = 0; k < channelCount; ++k) {
        unsigned char* base = driver.data() + k * perChannel;
        infos[k] = ASIOBufferInfo{k < each, k % each, {base, base + kMaxFrames * kMaxSampleBytes}};
        channels[k].type = type;
    }
    std::vector<ChannelLoops> loops(channelCount);
    chooseChannelLoops(channels.data(), channelCount, loops.data());
    std::vector<float> floats(channelCount * static_cast<std::size_t>(frames));
    std::vector<float*> arrays(channelCount);
    for (int k = 0; k < channelCount; ++k)
        arrays[k] = floats.data() + k * static_cast<std::size_t>(frames);
    float** in = arrays.data();
    float** out = arrays.data() + each;
    const StreamBlock block{infos.data(), loops.data(), in, out, each, each, frames,
                            emptyRender, nullptr};
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

void printRow(const TimingReporter& reporter, const std::string& name, const char* label,
              std::int32_t frames)
{
    const auto it = reporter.nsPerIteration.find(name);
    if (it == reporter.nsPerIteration.end())
        return;
    const double period = frames / kRate * 1e9;
    std::printf("%-11s %6d %12.1f %12.0f %9.4f%%\n", label, frames, it->second, period,
                100.0 * it->second / period);
}

void printSummary(const TimingReporter& reporter)
{
    std::printf("\n2 in / 2 out, empty render; period at %.0f Hz\n", kRate);
    std::printf("%-11s %6s %12s %12s %10s\n", "format", "frames", "ns/block", "period ns",
                "% period");
    for (const Format& format : kFormats) {
        for (std::int32_t frames : kSizes)
            printRow(reporter,
                     std::string("streamBlock/") + format.name + "/" + std::to_string(frames),
                     format.name, frames);
    }
    std::printf("\n%d in / %d out, empty render; the goal: under 1%% of the period\n",
                kWideChannels, kWideChannels);
    printRow(reporter, "streamBlockWide/Int24LSB/64", "Int24LSB", 64);
}

}  // namespace

int main(int argc, char** argv)
{
    for (const Format& format : kFormats) {
        auto* bm = benchmark::RegisterBenchmark((std::string("streamBlock/") + format.name).c_str(),
                                                BM_StreamBlock, format.type, 2);
        for (std::int32_t frames : kSizes)
            bm->Arg(frames);
    }
    benchmark::RegisterBenchmark("streamBlockWide/Int24LSB", BM_StreamBlock, ASIOSTInt24LSB,
                                 kWideChannels)
        ->Arg(64);
    benchmark::Initialize(&argc, argv);
    TimingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
