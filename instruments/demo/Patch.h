#pragma once
// The demo instrument's factory sounds, one per program. The plug-in's parameters (Parameters.h)
// take over some of these fields; the others stay as the program's fixed character.

namespace demo {

struct Patch {
    const char* name;
    // Oscillator levels: two detuned band-limited saws, a band-limited pulse, a sine an octave down.
    float saw;
    float pulse;
    float sub;
    float pulseWidth;     // 0.05 .. 0.95
    float detuneCents;    // spread of the two saws
    // Low-pass filter: cutoff in Hz at middle C, resonance 0 .. 0.95, envelope depth in octaves,
    // how far the cutoff follows the key (1 = fully), and velocity's reach in octaves.
    float cutoff;
    float resonance;
    float envelopeOctaves;
    float keyTracking;
    float velocityOctaves;
    // Amplitude and filter envelopes: attack, decay, release in seconds; sustain level 0..1.
    float ampAttack, ampDecay, ampSustain, ampRelease;
    float filterAttack, filterDecay, filterSustain, filterRelease;
    float velocityToLevel;  // 0: velocity ignored, 1: level follows velocity fully
    float gain;
};

constexpr int kPatchCount = 8;
extern const Patch kPatches[kPatchCount];

}  // namespace demo
