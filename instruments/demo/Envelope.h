#pragma once
// Attack-decay-sustain-release envelope. The attack is a straight ramp from wherever the level
// is, so a retriggered or stolen voice never jumps; decay and release approach their targets
// exponentially. A level that has fallen below audibility ends the envelope at exactly 0.

#include <cmath>

namespace demo {

class Envelope {
public:
    void configure(float sampleRate, float attack, float decay, float sustain, float release)
    {
        attackStep = 1.0f / std::fmax(attack * sampleRate, 1.0f);
        decayFactor = factorFor(decay, sampleRate);
        releaseFactor = factorFor(release, sampleRate);
        sustainLevel = sustain;
    }

    void noteOn() { stage = Stage::Attack; }
    void noteOff()
    {
        if (stage != Stage::Idle)
            stage = Stage::Release;
    }
    void reset()
    {
        stage = Stage::Idle;
        level = 0.0f;
    }

    bool active() const { return stage != Stage::Idle; }
    bool released() const { return stage == Stage::Release || stage == Stage::Idle; }
    float current() const { return level; }

    float next()
    {
        switch (stage) {
        case Stage::Idle:
            break;
        case Stage::Attack:
            level += attackStep;
            if (level >= 1.0f) {
                level = 1.0f;
                stage = Stage::Decay;
            }
            break;
        case Stage::Decay:
            level = sustainLevel + (level - sustainLevel) * decayFactor;
            if (level - sustainLevel < kSilence)
                stage = Stage::Sustain;
            break;
        case Stage::Sustain:
            level = sustainLevel;
            if (level < kSilence)
                reset();
            break;
        case Stage::Release:
            level *= releaseFactor;
            if (level < kSilence)
                reset();
            break;
        }
        return level;
    }

private:
    enum class Stage { Idle, Attack, Decay, Sustain, Release };
    static constexpr float kSilence = 1e-4f;  // -80 dB

    // Per-sample factor that brings a distance down to 1/1000 (-60 dB) in `seconds`.
    static float factorFor(float seconds, float sampleRate)
    {
        return std::exp(std::log(1e-3f) / std::fmax(seconds * sampleRate, 1.0f));
    }

    Stage stage = Stage::Idle;
    float level = 0.0f;
    float attackStep = 1.0f;
    float decayFactor = 0.0f;
    float releaseFactor = 0.0f;
    float sustainLevel = 0.0f;
};

}  // namespace demo
