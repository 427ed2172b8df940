#pragma once
// The last step of every rendered block before the stream converts it to the driver's format:
// each sample of the two output channels is scaled by 0.9 (a double-precision product stored
// back as a float) and limited to [-1, 1]. A non-finite sample (NaN, +Inf, -Inf) becomes 0.0:
// a blown-up filter in the plug-in must never reach the driver as a full-scale click or square
// wave.
//
// ScaleAndLimitReference is that definition, one sample at a time. ScaleAndLimit gives the
// same result for every input, four samples per SSE2 instruction where the processor has it.
// Neither allocates; both run on the audio thread.

#include <cstdint>

constexpr double kOutputGain = 0.9;

void ScaleAndLimit(float* samples, std::int32_t frames);
void ScaleAndLimitReference(float* samples, std::int32_t frames);
