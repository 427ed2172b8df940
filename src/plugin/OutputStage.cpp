#include "plugin/OutputStage.h"

void ScaleAndLimit(float* samples, std::int32_t frames)
{
    for (std::int32_t i = 0; i < frames; ++i) {
        float v = static_cast<float>(static_cast<double>(samples[i]) * kOutputGain);
        v = v > 1.0f ? 1.0f : v;
        v = v < -1.0f ? -1.0f : v;
        samples[i] = v == v ? v : 0.0f;  // only NaN differs from itself
    }
}
