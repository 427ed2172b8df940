#pragma once
// The last step of every rendered block before the stream converts it to the driver's format:
// each sample of the two output channels is scaled by 0.9 (a double-precision product stored
// back as a float) and limited to [-1, 1]. NaN becomes 0.0, so that a plug-in's NaN can never
// reach the driver as a full-scale click; infinities are limited like any other value.

#include <cstdint>

constexpr double kOutputGain = 0.9;

void ScaleAndLimit(float* samples, std::int32_t frames);
