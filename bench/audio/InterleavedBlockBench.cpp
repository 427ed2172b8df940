// The Windows-audio device's cost per period: the fill-level query, the render (empty) and
// output stage, the conversion into the endpoint's interleaved buffer, and the release; the
// two system calls are stand-ins here (their own cost under Wine is the system's). 2 played
// channels into a 2-channel endpoint at 48000 Hz, 10 ms and 3 ms periods, in each format the
// endpoint may mix in. The goal: under 1 % of the period.

#include "audio/InterleavedBlock.h"

#include "common/TimingReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 48000.0;
const std::int32_t kPeriods[] = {480, 144};  // 10 ms and 3 ms

struct Format {
    std::int32_t bits;
    bool isFloat;
    const char* name;
};
const Format kFormats[] = {{32, true, "Float32"}, {16, false, "Int16"}, {24, false, "Int24"},
                           {32, false, "Int32"}};

std::int32_t emptyRender(float**, float**, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                         void*)
{
    return 0;
}

// Stand-ins for the render client's calls: the buffer is always all free, its memory the bench's.
unsigned padding(unsigned) { return 0; }
unsigned char* getBuffer(std::vector<unsigned char>& memory) { return memory.data(); }
void releaseBuffer(unsigned) {}
unsigned (*volatile queryPadding)(unsigned) = padding;
unsigned char* (*volatile acquire)(std::vector<unsigned char>&) = getBuffer;
void (*volatile release)(unsigned) = releaseBuffer;

void BM_InterleavedBlock(benchmark::State& state, Format f)
{
    const auto frames = static_cast<std::int32_t>(state.range(0));
    const InterleavedFormat format = interleavedFormat(2, f.bits, f.isFloat);
    std::vector<float> floats(2 * static_cast<std::size_t>(frames), 0.25f);
    std::vector<unsigned char> scratch(static_cast<std::size_t>(frames) * format.bytesPerSample);
    std::vector<unsigned char> endpoint(static_cast<std::size_t>(frames) * 2 * format.bytesPerSample);
    const InterleavedBlock block{format, fromFloatLoop(format.sampleType),
                                 {floats.data(), floats.data() + frames}, scratch.data(),
                                 frames, emptyRender, nullptr};
    std::int32_t position = 0;
    for (auto _ : state) {
        const unsigned free = static_cast<unsigned>(frames) - queryPadding(0);
        renderInterleavedBlock(block, acquire(endpoint), static_cast<std::int32_t>(free), position);
        release(free);
        position += frames;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void printSummary(const TimingReporter& reporter)
{
    std::printf("\n2 played channels into a 2-channel endpoint at %.0f Hz; the goal: under 1%% "
                "of the period\n", kRate);
    std::printf("%-8s %6s %12s %12s %10s\n", "format", "frames", "ns/period", "period ns",
                "% period");
    for (const Format& format : kFormats) {
        for (std::int32_t frames : kPeriods) {
            const double ns = reporter.ns(std::string("interleavedBlock/") + format.name + "/" +
                                          std::to_string(frames));
            const double period = frames / kRate * 1e9;
            if (ns >= 0.0)
                std::printf("%-8s %6d %12.1f %12.0f %9.4f%%\n", format.name, frames, ns, period,
                            100.0 * ns / period);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    for (const Format& format : kFormats) {
        auto* bm = benchmark::RegisterBenchmark(
            (std::string("interleavedBlock/") + format.name).c_str(), BM_InterleavedBlock, format);
        for (std::int32_t frames : kPeriods)
            bm->Arg(frames);
    }
    benchmark::Initialize(&argc, argv);
    TimingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
