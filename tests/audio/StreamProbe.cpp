#include "StreamProbe.h"

#include "SimDrivers.h"

#include <windows.h>

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr DWORD kPollMs = 5;
}

float probeSine(const RenderProbe& probe, std::int64_t position)
{
    return static_cast<float>(probe.amplitude
                              * std::sin(kTwoPi * probe.frequency * static_cast<double>(position)
                                         / probe.sampleRate));
}

std::int32_t probeRender(float** inputs, float** outputs, std::int32_t inputChannels,
                         std::int32_t outputChannels, std::int32_t frames,
                         std::int32_t blockPosition, void* owner)
{
    auto* probe = static_cast<RenderProbe*>(owner);
    const int call = probe->calls.load(std::memory_order_relaxed);
    if (call < RenderProbe::kMaxCalls) {
        probe->positions[call] = blockPosition;
        probe->threads[call] = GetCurrentThreadId();
        probe->firstInputs[call] = inputChannels > 0 ? inputs[0][0] : 0.0f;
    }
    probe->inputChannels = inputChannels;
    probe->outputChannels = outputChannels;
    probe->frames = frames;
    for (std::int32_t c = 0; c < outputChannels && c < 2; ++c) {
        for (std::int32_t f = 0; f < frames; ++f) {
            switch (probe->output) {
            case RenderProbe::Output::Silence:
                outputs[c][f] = 0.0f;
                break;
            case RenderProbe::Output::Sine:
                outputs[c][f] = probeSine(*probe, std::int64_t{blockPosition} + f);
                break;
            case RenderProbe::Output::SineAndLoopback:
                outputs[c][f] = c == 0 ? probeSine(*probe, std::int64_t{blockPosition} + f)
                                       : (inputChannels > 0 ? inputs[0][f] : 0.0f);
                break;
            case RenderProbe::Output::Untouched:
                break;
            }
        }
    }
    probe->calls.store(call + 1, std::memory_order_release);
    return 0;
}

std::map<std::string, double> waitForStat(const std::string& path, const char* key, double value,
                                          unsigned timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    std::map<std::string, double> stats;
    do {
        stats = readStats(path);
        if (stats.count(key) && stats[key] >= value)
            return stats;
        Sleep(kPollMs);
    } while (GetTickCount64() < end);
    return stats;
}

bool waitForCalls(const RenderProbe& probe, int calls, unsigned timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (probe.calls.load() < calls) {
        if (GetTickCount64() >= end)
            return false;
        Sleep(1);
    }
    return true;
}
