// Cost of converting one channel's half-buffer in each direction, beside a plain memcpy of the
// same bytes, for every vector loop this processor runs (SSE2, and AVX2 where it runs). The
// loop the stream uses is timed through convertFromFloat and convertToFloat, dispatch
// included; the others are called directly. Prints the usual benchmark table, then ns per
// sample and the ratio to memcpy for every format, direction, loop and block size, and a line
// per integer conversion on its goal for the loop the stream uses.

#include "audio/SampleConversion.h"

#include "common/TimingReporter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
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

using FromFloatLoop = void (*)(unsigned char* out, const float* in, long frames);
using ToFloatLoop = void (*)(float* out, const unsigned char* in, long frames);

// `loop` null: the stream's own entry point.
void BM_FromFloat(benchmark::State& state, ASIOSampleType type, FromFloatLoop loop)
{
    auto& b = buffers();
    const long frames = state.range(0);
    for (auto _ : state) {
        if (loop != nullptr)
            loop(b.driver.data(), b.floats.data(), frames);
        else
            convertFromFloat(b.floats.data(), b.driver.data(), type, frames);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_ToFloat(benchmark::State& state, ASIOSampleType type, ToFloatLoop loop)
{
    auto& b = buffers();
    const long frames = state.range(0);
    for (auto _ : state) {
        if (loop != nullptr)
            loop(b.floats.data(), b.driver.data(), frames);
        else
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

// One timed loop: a format's direction on one loop set.
struct Timed {
    ASIOSampleType type;
    std::string format;
    std::string direction;  // "fromFloat" or "toFloat"
    std::string loop;       // "sse2", "avx2", or "copy" for Float32LSB
    bool used;              // the loop the stream runs
    FromFloatLoop fromFloat;
    ToFloatLoop toFloat;
};

template <typename Loop>
void addLoops(std::vector<Timed>& out, ASIOSampleType type, const char* format,
              const char* direction, Loop SampleConversionLoops::*member)
{
    for (int set = 0; set < conversionLoopSetCount(); ++set) {
        const SampleConversionLoops& loops = conversionLoopSet(set);
        const bool used = &loops == &activeConversionLoops();
        Timed t{type, format, direction, loops.name, used, nullptr, nullptr};
        if constexpr (std::is_same_v<Loop, FromFloatLoop>)
            t.fromFloat = used ? nullptr : loops.*member;
        else
            t.toFloat = used ? nullptr : loops.*member;
        out.push_back(t);
    }
}

std::vector<Timed> timedLoops()
{
    std::vector<Timed> out;
    using L = SampleConversionLoops;
    addLoops(out, ASIOSTInt16LSB, "Int16LSB", "fromFloat", &L::floatToInt16);
    addLoops(out, ASIOSTInt16LSB, "Int16LSB", "toFloat", &L::int16ToFloat);
    addLoops(out, ASIOSTInt24LSB, "Int24LSB", "fromFloat", &L::floatToInt24);
    addLoops(out, ASIOSTInt24LSB, "Int24LSB", "toFloat", &L::int24ToFloat);
    addLoops(out, ASIOSTInt32LSB, "Int32LSB", "fromFloat", &L::floatToInt32);
    addLoops(out, ASIOSTInt32LSB, "Int32LSB", "toFloat", &L::int32ToFloat);
    out.push_back({ASIOSTFloat32LSB, "Float32LSB", "fromFloat", "copy", true, nullptr, nullptr});
    out.push_back({ASIOSTFloat32LSB, "Float32LSB", "toFloat", "copy", true, nullptr, nullptr});
    return out;
}

std::string benchmarkName(const Timed& t)
{
    return t.direction + "/" + t.format + "/" + t.loop;
}

// What each conversion should cost at most, per sample of one channel.
constexpr double kGoalNsPerSample = 0.3;

// Every timed loop per sample beside the memcpy of its own format and size (the stream's
// marked *), then one line per integer conversion of the stream on the goal, judged by its
// slowest block size.
void printSummary(const TimingReporter& reporter, const std::vector<Timed>& timed)
{
    std::printf("\n%-11s %-10s %-6s %6s %12s %12s %9s\n", "format", "direction", "loop", "frames",
                "ns/sample", "memcpy ns/s", "x memcpy");
    std::vector<std::pair<std::string, double>> slowest;
    for (const Timed& t : timed) {
        double worst = -1.0;
        for (long frames : {64L, 512L, 2048L}) {
            const std::string size = "/" + std::to_string(frames);
            const double copy = reporter.ns("memcpy/" + t.format + size);
            const double conversion = reporter.ns(benchmarkName(t) + size);
            if (copy < 0.0 || conversion < 0.0)
                continue;
            std::printf("%-11s %-10s %-6s %6ld %12.3f %12.3f %9.2f\n", t.format.c_str(),
                        t.direction.c_str(), (t.loop + (t.used ? "*" : "")).c_str(), frames,
                        conversion / frames, copy / frames, conversion / copy);
            worst = std::max(worst, conversion / frames);
        }
        if (worst >= 0.0 && t.used && t.format != "Float32LSB") {
            const std::string name = t.direction == "fromFloat" ? "float -> " + t.format
                                                                : t.format + " -> float";
            slowest.emplace_back(name + " (" + t.loop + ")", worst);
        }
    }
    std::printf("* the loop the stream uses on this processor (%s set)\n\n",
                activeConversionLoops().name);
    for (const auto& [name, ns] : slowest)
        std::printf("goal: %s at most %.2f ns per sample: %.3f, %s\n", name.c_str(),
                    kGoalNsPerSample, ns, ns <= kGoalNsPerSample ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<Timed> timed = timedLoops();
    for (const Timed& t : timed) {
        auto* bm = t.direction == "fromFloat"
                       ? benchmark::RegisterBenchmark(benchmarkName(t).c_str(), BM_FromFloat, t.type, t.fromFloat)
                       : benchmark::RegisterBenchmark(benchmarkName(t).c_str(), BM_ToFloat, t.type, t.toFloat);
        bm->Arg(64)->Arg(512)->Arg(2048);
    }
    for (size_t i = 0; i < 4; ++i)
        benchmark::RegisterBenchmark((std::string("memcpy/") + kFormatNames[i]).c_str(), BM_Memcpy, kFormats[i])
            ->Arg(64)->Arg(512)->Arg(2048);
    benchmark::Initialize(&argc, argv);
    TimingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter, timed);
    benchmark::Shutdown();
    return 0;
}
