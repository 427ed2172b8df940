#include "Voice.h"

#include <cmath>

namespace demo {

namespace {

constexpr float kTwoPi = 6.28318531f;
constexpr float kMiddleC = 261.625565f;
constexpr float kVoiceLevel = 0.25f;

float noteFrequency(int note)
{
    return 440.0f * std::exp2((static_cast<float>(note) - 69.0f) / 12.0f);
}

}  // namespace

void Voice::start(int note, int velocity, const VoiceContext& context, unsigned startOrder)
{
    const Patch& patch = *context.patch;
    const float v = static_cast<float>(velocity) / 127.0f;
    currentNote = note;
    order = startOrder;
    sustained = false;
    velocityLevel = 1.0f - patch.velocityToLevel + patch.velocityToLevel * v * v;
    velocityOctaves = patch.velocityOctaves * (v - 0.5f);
    if (!amp.active()) {
        filter.reset();
        subPhase = 0.0f;
    }
    amp.configure(context.sampleRate, patch.ampAttack, patch.ampDecay, patch.ampSustain, patch.ampRelease);
    // The filter envelope advances once per control interval.
    filterEnvelope.configure(context.sampleRate / kControlInterval, patch.filterAttack, patch.filterDecay,
                             patch.filterSustain, patch.filterRelease);
    amp.noteOn();
    filterEnvelope.noteOn();
    untilControl = 0;
}

void Voice::silence()
{
    amp.reset();
    filterEnvelope.reset();
    filter.reset();
    sustained = false;
    currentNote = -1;
}

void Voice::updateFilter(const VoiceContext& context, float envelope)
{
    const Patch& patch = *context.patch;
    const float keyOctaves = std::log2(noteFrequency(currentNote) / kMiddleC) * patch.keyTracking;
    const float octaves = keyOctaves + velocityOctaves + patch.envelopeOctaves * envelope + context.modOctaves;
    filter.set(patch.cutoff * std::exp2(octaves), patch.resonance, context.sampleRate);
}

void Voice::render(float* mix, int frames, const VoiceContext& context)
{
    const Patch& patch = *context.patch;
    const float frequency = noteFrequency(currentNote) * context.bendRatio;
    const float spread = std::exp2(patch.detuneCents / 1200.0f);
    const float perSample = 1.0f / context.sampleRate;
    // Above the Nyquist limit a partial only aliases; keep every oscillator below it.
    const float limit = 0.45f;
    sawUp.setIncrement(std::fmin(frequency * spread * perSample, limit));
    sawDown.setIncrement(std::fmin(frequency / spread * perSample, limit));
    square.setIncrement(std::fmin(frequency * perSample, limit));
    const float subIncrement = std::fmin(0.5f * frequency * perSample, limit);
    const float gain = kVoiceLevel * patch.gain * velocityLevel;
    const float sawLevel = 0.5f * patch.saw;

    for (int i = 0; i < frames && amp.active(); ++i) {
        if (untilControl-- == 0) {
            untilControl = kControlInterval - 1;
            updateFilter(context, filterEnvelope.next());
        }
        const float raw = sawLevel * (sawUp.saw() + sawDown.saw()) + patch.pulse * square.pulse(patch.pulseWidth)
                          + patch.sub * std::sin(kTwoPi * subPhase);
        sawUp.advance();
        sawDown.advance();
        square.advance();
        subPhase += subIncrement;
        if (subPhase >= 1.0f)
            subPhase -= 1.0f;
        mix[i] += filter.process(raw) * amp.next() * gain;
    }
    if (!amp.active())
        silence();
}

}  // namespace demo
