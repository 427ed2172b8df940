#pragma once
// Test support for the stream: a render function that records what it was called with, and
// waiting for the simulated card's statistics.

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

struct RenderProbe {
    static constexpr int kMaxCalls = 256;
    enum class Output { Silence, Sine, SineAndLoopback, Untouched };

    Output output = Output::Silence;
    double sampleRate = 48000.0;
    double frequency = 1000.0;
    double amplitude = 0.5;

    std::atomic<int> calls{0};
    std::int32_t positions[kMaxCalls] = {};
    unsigned long threads[kMaxCalls] = {};
    std::int32_t inputChannels = -1;
    std::int32_t outputChannels = -1;
    std::int32_t frames = -1;
    float firstInputs[kMaxCalls] = {};  // input 0, frame 0 of each call
};

// The render function for CAsioStream::openStream, with a RenderProbe as owner.
std::int32_t probeRender(float** inputs, float** outputs, std::int32_t inputChannels,
                         std::int32_t outputChannels, std::int32_t frames,
                         std::int32_t blockPosition, void* owner);

// The value the probe's sine render writes at a frame position.
float probeSine(const RenderProbe& probe, std::int64_t position);

// Waits until the probe has rendered `calls` blocks; false when the time is up.
bool waitForCalls(const RenderProbe& probe, int calls, unsigned timeoutMs = 10000);

// Waits until the statistics file shows `key` at `value` or more; the last reading.
std::map<std::string, double> waitForStat(const std::string& path, const char* key, double value,
                                          unsigned timeoutMs = 10000);
