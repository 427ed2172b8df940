#pragma once
// Band-limited saw and pulse oscillators: a naive waveform whose steps are smoothed by a
// two-sample polynomial residual (polyBLEP), which removes most of the aliasing that makes high
// notes sound harsh, at a few operations per sample.

namespace demo {

// Correction around a step at phase 0 for a phase advancing `increment` per sample.
inline float polyBlep(float phase, float increment)
{
    if (phase < increment) {
        const float t = phase / increment;
        return t + t - t * t - 1.0f;
    }
    if (phase > 1.0f - increment) {
        const float t = (phase - 1.0f) / increment;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

class Oscillator {
public:
    void setIncrement(float cyclesPerSample) { increment = cyclesPerSample; }
    float phaseNow() const { return phase; }

    float saw() const { return 2.0f * phase - 1.0f - polyBlep(phase, increment); }

    float pulse(float width) const
    {
        float shifted = phase - width;
        if (shifted < 0.0f)
            shifted += 1.0f;
        const float naive = phase < width ? 1.0f : -1.0f;
        return naive + polyBlep(phase, increment) - polyBlep(shifted, increment);
    }

    void advance()
    {
        phase += increment;
        if (phase >= 1.0f)
            phase -= 1.0f;
    }

private:
    float phase = 0.0f;
    float increment = 0.0f;
};

}  // namespace demo
