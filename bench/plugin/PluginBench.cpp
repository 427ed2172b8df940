// Cost of the plug-in host's real-time work: adding one MIDI event (MIDI thread), one
// hand-over of the event list (audio thread, once per block) and the output stage per frame.
// After the usual table, every figure is set beside the block period at 64 frames / 96 kHz.

#include "plugin/EventList.h"
#include "plugin/OutputStage.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kBlockFrames = 64;
constexpr double kSampleRate = 96000.0;
constexpr double kBlockPeriodSeconds = kBlockFrames / kSampleRate;
constexpr float kRate = 96000.0f;

void BM_AddMidiEvent(benchmark::State& state)
{
    auto list = std::make_unique<CVstEventList>();
    std::uint32_t timestamp = 0;
    std::uint32_t added = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list->AddMidiEvent(0x90, 60, 100, kRate, ++timestamp));
        // Keep the list from filling up (one hand-over per 1,000 events, not counted apart).
        if (++added == 1000) {
            benchmark::DoNotOptimize(list->HandOver(kBlockFrames));
            added = 0;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_AddSysExEvent(benchmark::State& state)
{
    auto list = std::make_unique<CVstEventList>();
    std::vector<unsigned char> message(static_cast<std::size_t>(state.range(0)), 0x11);
    std::uint32_t added = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list->AddSysExEvent(message.data(), state.range(0), kRate, 1));
        if (++added == 500) {
            benchmark::DoNotOptimize(list->HandOver(kBlockFrames));
            added = 0;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// One block's hand-over with N events queued: the swap plus clamping each event; the adds
// are part of the loop, so subtract N x BM_AddMidiEvent for the hand-over alone.
void BM_EventsThenHandOver(benchmark::State& state)
{
    auto list = std::make_unique<CVstEventList>();
    const auto events = static_cast<std::uint32_t>(state.range(0));
    std::uint32_t timestamp = 0;
    for (auto _ : state) {
        for (std::uint32_t i = 0; i < events; ++i)
            list->AddMidiEvent(0x90, 60, 100, kRate, ++timestamp);
        benchmark::DoNotOptimize(list->HandOver(kBlockFrames));
    }
}

// Both output channels of one block.
void BM_OutputStage(benchmark::State& state)
{
    const auto frames = static_cast<std::int32_t>(state.range(0));
    std::vector<float> left(static_cast<std::size_t>(frames));
    std::vector<float> right(static_cast<std::size_t>(frames));
    for (std::int32_t i = 0; i < frames; ++i) {
        left[static_cast<std::size_t>(i)] = 1.3f * std::sin(0.01f * static_cast<float>(i));
        right[static_cast<std::size_t>(i)] = -left[static_cast<std::size_t>(i)];
    }
    for (auto _ : state) {
        // Fresh input each time would cost more than the stage; the values settle into
        // [-1, 1] after the first pass, which takes the same path through the loop.
        ScaleAndLimit(left.data(), frames);
        ScaleAndLimit(right.data(), frames);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * frames);
}

// The usual table, then each benchmark's CPU time per iteration as a share of the period.
class BlockShareReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            const double seconds = run.GetAdjustedCPUTime()
                                   / benchmark::GetTimeUnitMultiplier(run.time_unit);
            m_shares.emplace_back(run.benchmark_name(), seconds);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nBeside the block period of %d frames at %.0f kHz (%.1f us):\n",
                    kBlockFrames, kSampleRate / 1000.0, kBlockPeriodSeconds * 1e6);
        for (const auto& [name, seconds] : m_shares) {
            std::printf("  %-28s %10.1f ns  %8.4f %% of the period\n", name.c_str(),
                        seconds * 1e9, 100.0 * seconds / kBlockPeriodSeconds);
        }
    }

private:
    std::vector<std::pair<std::string, double>> m_shares;
};

}  // namespace

BENCHMARK(BM_AddMidiEvent);
BENCHMARK(BM_AddSysExEvent)->Arg(3)->Arg(100);
BENCHMARK(BM_EventsThenHandOver)->Arg(0)->Arg(1)->Arg(16)->Arg(256);
BENCHMARK(BM_OutputStage)->Arg(kBlockFrames)->Arg(2048);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    BlockShareReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
