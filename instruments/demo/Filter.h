#pragma once
// Resonant low-pass filter in the topology-preserving state-variable form: stable at any cutoff
// and resonance, and free of the zipper noise of a direct-form filter when the cutoff moves.

#include <cmath>

namespace demo {

class LowPass {
public:
    // Cutoff in Hz (kept below 45 % of the rate), resonance 0 .. 0.95.
    void set(float cutoff, float resonance, float sampleRate)
    {
        const float limited = std::fmin(std::fmax(cutoff, 20.0f), 0.45f * sampleRate);
        g = std::tan(3.14159265f * limited / sampleRate);
        k = 2.0f - 1.9f * std::fmin(std::fmax(resonance, 0.0f), 0.95f);
        a1 = 1.0f / (1.0f + g * (g + k));
    }

    float process(float in)
    {
        const float v1 = a1 * (s1 + g * (in - s2));
        const float v2 = s2 + g * v1;
        s1 = 2.0f * v1 - s1;
        s2 = 2.0f * v2 - s2;
        return v2;
    }

    void reset() { s1 = s2 = 0.0f; }

private:
    float g = 0.0f;
    float k = 2.0f;
    float a1 = 1.0f;
    float s1 = 0.0f;
    float s2 = 0.0f;
};

}  // namespace demo
