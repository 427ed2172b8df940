// Cost of the demo instrument per block with 1, 4 and 16 sounding voices, reported per voice
// per block and as a share of the block period at 48 kHz.

#include "Synth.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr double kRate = 48000.0;

void BM_Render(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    const int voices = static_cast<int>(state.range(1));
    demo::Synth synth;
    synth.setSampleRate(static_cast<float>(kRate));
    std::vector<demo::TimedMidi> chord;
    for (int i = 0; i < voices; ++i)
        chord.push_back({0, {0x90, static_cast<unsigned char>(40 + 3 * i), 100}});
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    synth.render(left.data(), right.data(), frames, chord.data(), static_cast<int>(chord.size()));
    for (auto _ : state) {
        synth.render(left.data(), right.data(), frames, nullptr, 0);
        benchmark::DoNotOptimize(left.data());
    }
    // Inverted iteration-invariant rates divide the time per iteration by the given value
    // (both are shown with a seconds suffix; pct_of_period is a plain percentage).
    using C = benchmark::Counter;
    const double blockSeconds = frames / kRate;
    state.counters["s/voice/block"] = C(voices, C::kIsIterationInvariantRate | C::kInvert);
    state.counters["pct_of_period"] = C(blockSeconds / 100.0, C::kIsIterationInvariantRate | C::kInvert);
}

}  // namespace

BENCHMARK(BM_Render)->ArgsProduct({{64, 256, 2048}, {1, 4, 16}});
BENCHMARK_MAIN();
