#pragma once
// The last step of every rendered block before the stream converts it to the driver's format
// (audio/StreamBlock.h): each sample of the two played output channels is scaled by 0.9 (a double-precision product stored
// back as a float) and limited to [-1, 1]. A non-finite sample (NaN, +Inf, -Inf) becomes 0.0:
// a blown-up filter in the plug-in must never reach the driver as a full-scale click or square
// wave.
//
// ScaleAndLimitReference is that definition, one sample at a time. ScaleAndLimit gives the
// same result for every input with vector loops: eight samples per AVX2 instruction where the
// processor and the system run it, else four per SSE2 instruction. The loop is chosen once,
// while the program starts; a call made before that (from another file's static initialiser)
// chooses it itself and stores the same pointer in an atomic, so on the audio thread a call
// is one relaxed load and an indirect call. Neither allocates; both run on the audio thread.

#include <cstdint>

constexpr double kOutputGain = 0.9;
// The output channels an instrument plays: the stage's channels.
constexpr std::int32_t kPlayedOutputs = 2;

void ScaleAndLimit(float* samples, std::int32_t frames);
void ScaleAndLimitReference(float* samples, std::int32_t frames);

// One loop of ScaleAndLimit, named by its instruction set ("avx2", "sse2", "reference").
struct OutputStageLoop {
    const char* name;
    void (*run)(float* samples, std::int32_t frames);
};

// The loops this processor runs, slowest first, for the tests and the exhaustive check; the
// last is the one ScaleAndLimit calls.
int OutputStageLoopCount();
const OutputStageLoop& OutputStageLoopAt(int index);
