#include "plugin/OutputStage.h"

void ScaleAndLimit(float* samples, std::int32_t frames)
{
    for (std::int32_t i = 0; i < frames; ++i) {
        const float in = samples[i];
        // in - in is 0 for every finite value and NaN for NaN and both infinities.
        const float finite = in - in == 0.0f ? in : 0.0f;
        float v = static_cast<float>(static_cast<double>(finite) * kOutputGain);
        v = v > 1.0f ? 1.0f : v;
        v = v < -1.0f ? -1.0f : v;
        samples[i] = v;
    }
}
