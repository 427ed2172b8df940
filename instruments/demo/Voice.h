#pragma once
// One sounding note: two detuned saws, a pulse and a sub sine through a resonant low-pass,
// shaped by an amplitude and a filter envelope.

#include "Envelope.h"
#include "Filter.h"
#include "Oscillator.h"
#include "Patch.h"

namespace demo {

// What every voice shares for one block: the rate, the patch and the performance controls.
struct VoiceContext {
    float sampleRate;
    const Patch* patch;
    float bendRatio;        // frequency factor from the pitch wheel
    float modOctaves;       // cutoff lift from the modulation wheel
};

class Voice {
public:
    // Starts `note`. A voice taken over from another note keeps its phase, filter state and
    // level, so the change is heard as a new attack and never as a click.
    void start(int note, int velocity, const VoiceContext& context, unsigned order);
    void release() { amp.noteOff(); filterEnvelope.noteOff(); }
    void silence();

    // Adds `frames` samples of this voice to `mix`.
    void render(float* mix, int frames, const VoiceContext& context);

    bool active() const { return amp.active(); }
    bool released() const { return amp.released(); }
    float level() const { return amp.current(); }
    int note() const { return currentNote; }
    unsigned startOrder() const { return order; }

    bool sustained = false;  // released by the player, held by the pedal

private:
    void updateFilter(const VoiceContext& context, float envelope);

    static constexpr int kControlInterval = 16;  // samples between filter updates

    Oscillator sawUp;
    Oscillator sawDown;
    Oscillator square;
    float subPhase = 0.0f;
    LowPass filter;
    Envelope amp;
    Envelope filterEnvelope;
    int currentNote = -1;
    float velocityLevel = 1.0f;
    float velocityOctaves = 0.0f;
    unsigned order = 0;
    int untilControl = 0;   // samples left before the next filter update
};

}  // namespace demo
