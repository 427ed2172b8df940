// Cost of the plug-in host's real-time work: adding one MIDI event (MIDI thread), one
// hand-over of the event list (audio thread, once per block) and the output stage per sample.
// After the usual table, every figure is set beside the block period at 64 frames / 96 kHz,
// and the output stage, for each loop this processor runs (SSE2, and AVX2 where it runs),
// beside a memcpy of its samples.

#include "audio/OutputStage.h"
#include "plugin/EventList.h"

#include "common/TimingReporter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
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

// The output stage on one channel of fresh samples (1.3 sin: a third of them are limited),
// block after block over 4096 samples refreshed by one copy per pass, so no block is read
// right behind the copy's stores. BM_OutputStageCopy is that copy alone, a memcpy of the same
// bytes; the stage's own cost is the difference.
constexpr std::size_t kStageSamples = 4096;

struct StageBuffers {
    std::vector<float> input = std::vector<float>(kStageSamples);
    std::vector<float> samples = std::vector<float>(kStageSamples);
    StageBuffers()
    {
        for (std::size_t i = 0; i < kStageSamples; ++i)
            input[i] = 1.3f * std::sin(0.01f * static_cast<float>(i));
    }
    void refresh() { std::memcpy(samples.data(), input.data(), kStageSamples * sizeof(float)); }
};

// `loop` null: ScaleAndLimit itself, dispatch included.
void BM_OutputStage(benchmark::State& state, void (*loop)(float*, std::int32_t))
{
    const auto frames = static_cast<std::size_t>(state.range(0));
    StageBuffers buffers;
    for (auto _ : state) {
        buffers.refresh();
        for (std::size_t block = 0; block + frames <= kStageSamples; block += frames) {
            float* samples = buffers.samples.data() + block;
            if (loop != nullptr)
                loop(samples, static_cast<std::int32_t>(frames));
            else
                ScaleAndLimit(samples, static_cast<std::int32_t>(frames));
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kStageSamples));
}

void BM_OutputStageCopy(benchmark::State& state)
{
    StageBuffers buffers;
    for (auto _ : state) {
        buffers.refresh();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kStageSamples));
}

// The usual table, then each benchmark's CPU time per iteration as a share of the period.
class BlockShareReporter : public TimingReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        TimingReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            // The output stage runs many blocks per iteration; its share follows its summary.
            if (run.benchmark_name().rfind("BM_OutputStage", 0) == 0)
                continue;
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

constexpr double kOutputStageGoalNs = 0.2;
const long kOutputStageFrames[] = {kBlockFrames, 512, 2048};

// The name of the output stage's benchmark for one of its loops.
std::string outputStageName(int loop)
{
    return std::string("BM_OutputStage/") + OutputStageLoopAt(loop).name;
}

// The output stage per sample of one channel (stage and copy, less the copy) beside the memcpy
// of the same bytes, per loop this processor runs and block size (ScaleAndLimit's loop, the
// last, marked *); then one line on the goal for that loop, judged by the slowest size.
void printOutputStageSummary(const TimingReporter& reporter)
{
    const double copy = reporter.ns("BM_OutputStageCopy");
    if (copy < 0.0)
        return;
    const double memcpyPerSample = copy / static_cast<double>(kStageSamples);
    std::printf("\n%-13s %-6s %6s %12s %12s %9s\n", "output stage", "loop", "frames", "ns/sample",
                "memcpy ns/s", "x memcpy");
    const int used = OutputStageLoopCount() - 1;
    double worst = -1.0;
    for (int loop = 0; loop <= used; ++loop) {
        const std::string name = std::string(OutputStageLoopAt(loop).name) + (loop == used ? "*" : "");
        for (long frames : kOutputStageFrames) {
            const double both = reporter.ns(outputStageName(loop) + "/" + std::to_string(frames));
            if (both < 0.0)
                continue;
            const double stage = (both - copy) / static_cast<double>(kStageSamples);
            std::printf("%-13s %-6s %6ld %12.3f %12.3f %9.2f\n", "", name.c_str(), frames, stage,
                        memcpyPerSample, stage / memcpyPerSample);
            if (loop == used)
                worst = std::max(worst, stage);
        }
    }
    if (worst < 0.0)
        return;
    const double block = worst * 2 * kBlockFrames;  // both output channels
    std::printf("* the loop ScaleAndLimit uses on this processor\n");
    std::printf("per block of %d frames, both channels: %.1f ns, %.4f %% of the period\n",
                kBlockFrames, block, 100.0 * block * 1e-9 / kBlockPeriodSeconds);
    std::printf("goal: output stage (%s) at most %.2f ns per sample: %.3f, %s\n",
                OutputStageLoopAt(used).name, kOutputStageGoalNs, worst,
                worst <= kOutputStageGoalNs ? "met" : "NOT met");
}

}  // namespace

BENCHMARK(BM_AddMidiEvent);
BENCHMARK(BM_AddSysExEvent)->Arg(3)->Arg(100);
BENCHMARK(BM_EventsThenHandOver)->Arg(0)->Arg(1)->Arg(16)->Arg(256);
BENCHMARK(BM_OutputStageCopy);

int main(int argc, char** argv)
{
    // Each loop of the output stage; the last, ScaleAndLimit's, through ScaleAndLimit itself.
    const int used = OutputStageLoopCount() - 1;
    for (int loop = 0; loop <= used; ++loop)
        benchmark::RegisterBenchmark(outputStageName(loop).c_str(), BM_OutputStage,
                                     loop == used ? nullptr : OutputStageLoopAt(loop).run)
            ->Arg(kBlockFrames)->Arg(512)->Arg(2048);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    BlockShareReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printOutputStageSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
